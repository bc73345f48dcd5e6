#pragma once

namespace tw {

// The main sequence; ends the run itself and does not return.
[[noreturn]] void run_program();

}  // namespace tw
