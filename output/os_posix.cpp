#include "output/os.h"

#include <cstdlib>
#include <unistd.h>

namespace tw::os {

void init() {}
Handle std_handle(Std which) { return static_cast<Handle>(which); }
bool is_char_device(Handle) { return false; }
OpenResult open_file(const char*) { return OpenResult{kNoHandle, false, false, false, Err::Other}; }
Err truncate_file(Handle) { return Err::Other; }
Err write_all(Handle h, const char* data, std::size_t n, std::size_t* accepted) {
  ssize_t w = ::write(static_cast<int>(h), data, n);
  *accepted = w < 0 ? 0 : static_cast<std::size_t>(w);
  return w == static_cast<ssize_t>(n) ? Err::None : Err::Io;
}
Err close_file(Handle) { return Err::None; }
long read_some(Handle h, char* buf, std::size_t n, Err*) { return ::read(static_cast<int>(h), buf, n); }
bool get_env(const char*, char*, std::size_t, std::size_t*) { return false; }
void enable_fp_traps(TrapHandler) {}
void exit_process(int status) { std::_Exit(status); }

}  // namespace tw::os
