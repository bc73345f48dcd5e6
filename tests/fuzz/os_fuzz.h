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

// For the whole-program target. Off (the default): every open is refused
// and standard output and error are swallowed, as above.
struct Machine {
  bool files = false;          // files in memory, made on first open
  long file_room = -1;         // bytes every file together takes; then a full disk
  int refuse_open = -1;        // this open (0: the first) is refused
  int read_only_open = -1;     // this open finds a file it may only read
  bool old_files = false;      // both files exist, holding old records
  long console_room = -1;      // bytes standard output takes; then a broken pipe
  bool stdin_refused = false;  // every read of standard input fails
  bool real_traps = false;     // enable_fp_traps does enable them, on SIGFPE
};
void set_machine(const Machine& m);
// What the run left: standard output and error, and a file by name
// (nullptr when it was never made). Output beyond 256 KiB is counted only.
const char* out_bytes(std::size_t* len);
const char* err_bytes(std::size_t* len);
const char* file_bytes(const char* name, std::size_t* len);
// After a run that may have trapped: traps off, flags clear, SIGFPE back to
// the handler it had before the run and unblocked.
void restore_fp();

inline constexpr std::size_t kFileCap = 1 << 20;  // a larger file is a full disk

}  // namespace fuzz_os
