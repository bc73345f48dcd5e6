// Runs a command line through the command interpreter and waits for it.
#pragma once

namespace tw {

// The interpreter's exit code, or -1 when it could not be started.
int run_command(const char* text, int len);

}  // namespace tw
