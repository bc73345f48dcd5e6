// The in-memory operating-system layer of the fuzz targets.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

namespace fuzz_os {

// Standard input from these bytes. A console hands out one line per read,
// as a terminal in line mode does, and takes byte 4 as Ctrl-D.
void set_input(const std::uint8_t* data, std::size_t size, bool console);

// exit_process jumps here, with the status plus one.
extern std::jmp_buf exit_jump;

}  // namespace fuzz_os
