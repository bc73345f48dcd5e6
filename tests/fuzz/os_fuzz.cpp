// tw::os from memory: no files, no processes; standard input is a buffer,
// standard output and error swallow what they are given.
#include "tests/fuzz/os_fuzz.h"

#include <csetjmp>
#include <cstring>

#include "output/os.h"

namespace fuzz_os {

std::jmp_buf exit_jump;

namespace {
const std::uint8_t* g_data = nullptr;
std::size_t g_size = 0, g_pos = 0;
bool g_console = false;
}  // namespace

void set_input(const std::uint8_t* data, std::size_t size, bool console) {
  g_data = data;
  g_size = size;
  g_pos = 0;
  g_console = console;
}

long read_input(char* buf, std::size_t n) {
  if (!g_console) {
    std::size_t k = g_size - g_pos < n ? g_size - g_pos : n;
    std::memcpy(buf, g_data + g_pos, k);
    g_pos += k;
    return static_cast<long>(k);
  }
  // A terminal line: up to and including a line feed, or up to a Ctrl-D
  // (which is taken and not delivered); Ctrl-D at a line start reads 0.
  std::size_t k = 0;
  while (k < n && g_pos < g_size) {
    std::uint8_t c = g_data[g_pos];
    if (c == 4) {
      ++g_pos;
      break;
    }
    buf[k++] = static_cast<char>(c);
    ++g_pos;
    if (c == '\n') break;
  }
  return static_cast<long>(k);
}

}  // namespace fuzz_os

namespace tw::os {

void init() {}
Handle std_handle(Std which) { return static_cast<Handle>(which); }
bool is_char_device(Handle h) { return fuzz_os::g_console && (h == 0 || h == 1); }
OpenResult open_file(const char*) {
  OpenResult r;
  r.err = Err::Access;
  return r;
}
Err truncate_file(Handle) { return Err::None; }
Err write_all(Handle, const char*, std::size_t n, std::size_t* accepted) {
  if (accepted) *accepted = n;
  return Err::None;
}
Err close_file(Handle) { return Err::None; }
long read_some(Handle h, char* buf, std::size_t n, Err* err) {
  if (err) *err = Err::None;
  if (h != 0) {
    if (err) *err = Err::BadHandle;
    return -1;
  }
  return fuzz_os::read_input(buf, n);
}
bool get_env(const char*, char* buf, std::size_t cap, std::size_t* len) {
  if (len) *len = 0;
  if (buf && cap) buf[0] = '\0';
  return false;
}
int run_command(const char*, const char*) { return -1; }
void enable_fp_traps(TrapHandler) {}
void exit_process(int status) { std::longjmp(fuzz_os::exit_jump, status + 1); }

}  // namespace tw::os
