// tw::os from memory: no files, no processes; standard input is a buffer,
// standard output and error swallow what they are given.
#include "tests/fuzz/os_fuzz.h"

#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fenv.h>
#include <signal.h>

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

namespace {

Machine g_m;

constexpr std::size_t kStreamCap = 256 * 1024;
char g_out[kStreamCap], g_err[kStreamCap];
std::size_t g_out_len = 0, g_err_len = 0, g_out_total = 0;

struct MemFile {
  bool used;
  char name[264];
  char data[kFileCap];
  std::size_t len;
  bool can_write;
};
constexpr int kFiles = 4;
constexpr tw::os::Handle kFileBase = 10;
MemFile g_files[kFiles];
int g_opens = 0;
long g_file_total = 0;

tw::os::TrapHandler g_trap_handler = nullptr;
struct sigaction g_old_fpe;
bool g_fpe_installed = false;

void keep(char* buf, std::size_t* len, const char* p, std::size_t n) {
  std::size_t k = kStreamCap - *len < n ? kStreamCap - *len : n;
  std::memcpy(buf + *len, p, k);
  *len += k;
}

MemFile* file_of(tw::os::Handle h) {
  long i = static_cast<long>(h - kFileBase);
  if (i < 0 || i >= kFiles || !g_files[i].used) return nullptr;
  return &g_files[i];
}

void on_sigfpe(int, siginfo_t* info, void*) {
  fedisableexcept(FE_ALL_EXCEPT);
  tw::os::Trap t = tw::os::Trap::Invalid;
  if (info->si_code == FPE_FLTDIV || info->si_code == FPE_INTDIV) t = tw::os::Trap::DivByZero;
  if (info->si_code == FPE_FLTOVF || info->si_code == FPE_INTOVF) t = tw::os::Trap::Overflow;
  if (g_trap_handler) g_trap_handler(t);
  std::abort();
}

}  // namespace

void set_machine(const Machine& m) {
  g_m = m;
  g_out_len = g_err_len = g_out_total = 0;
  for (MemFile& f : g_files) f.used = false;
  g_opens = 0;
  g_file_total = 0;
  if (m.files && m.old_files) {
    static const char* const kNames[2] = {"TWOPHMAP.out", "TWOPHMAP.plp"};
    for (int i = 0; i < 2; ++i) {
      MemFile& f = g_files[i];
      f.used = true;
      std::strcpy(f.name, kNames[i]);
      std::strcpy(f.data, "OLD\r\n");
      f.len = 5;
    }
  }
}

const char* out_bytes(std::size_t* len) { *len = g_out_len; return g_out; }
const char* err_bytes(std::size_t* len) { *len = g_err_len; return g_err; }
const char* file_bytes(const char* name, std::size_t* len) {
  for (MemFile& f : g_files)
    if (f.used && std::strcmp(f.name, name) == 0) { *len = f.len; return f.data; }
  *len = 0;
  return nullptr;
}

void restore_fp() {
  fedisableexcept(FE_ALL_EXCEPT);
  feclearexcept(FE_ALL_EXCEPT);
  if (g_fpe_installed) {
    sigaction(SIGFPE, &g_old_fpe, nullptr);
    g_fpe_installed = false;
  }
  sigset_t s;
  sigemptyset(&s);
  sigaddset(&s, SIGFPE);
  sigprocmask(SIG_UNBLOCK, &s, nullptr);
  g_trap_handler = nullptr;
}

}  // namespace fuzz_os

namespace tw::os {

void init() {}
Handle std_handle(Std which) { return static_cast<Handle>(which); }
bool is_char_device(Handle h) { return fuzz_os::g_console && (h == 0 || h == 1); }
OpenResult open_file(const char* name) {
  using namespace fuzz_os;
  OpenResult r;
  r.err = Err::Access;
  if (!g_m.files) return r;
  int nth = g_opens++;
  if (nth == g_m.refuse_open) return r;
  int free_slot = -1, at = -1;
  for (int i = 0; i < kFiles; ++i) {
    if (g_files[i].used && std::strcmp(g_files[i].name, name) == 0) at = i;
    if (!g_files[i].used && free_slot < 0) free_slot = i;
  }
  if (at < 0) {
    if (free_slot < 0 || std::strlen(name) >= sizeof g_files[0].name) {
      r.err = Err::TooMany;
      return r;
    }
    at = free_slot;
    MemFile& f = g_files[at];
    f.used = true;
    std::strcpy(f.name, name);
    f.len = 0;
    r.created = true;
  }
  g_files[at].can_write = nth != g_m.read_only_open;
  r.h = kFileBase + at;
  r.regular = true;
  r.can_write = g_files[at].can_write;
  r.write_err = r.can_write ? Err::None : Err::Access;
  r.err = Err::None;
  return r;
}
Err truncate_file(Handle h) {
  fuzz_os::MemFile* f = fuzz_os::file_of(h);
  if (!f) return fuzz_os::g_m.files ? Err::BadHandle : Err::None;
  f->len = 0;
  return Err::None;
}
Err write_all(Handle h, const char* data, std::size_t n, std::size_t* accepted) {
  using namespace fuzz_os;
  if (accepted) *accepted = n;
  if (!g_m.files && g_m.console_room < 0) return Err::None;
  if (h == 1) {
    std::size_t k = n;
    Err e = Err::None;
    if (g_m.console_room >= 0 && g_out_total + n > static_cast<std::size_t>(g_m.console_room)) {
      k = static_cast<std::size_t>(g_m.console_room) - g_out_total;
      e = Err::BrokenPipe;
    }
    keep(g_out, &g_out_len, data, k);
    g_out_total += k;
    if (accepted) *accepted = k;
    return e;
  }
  if (h == 2) {
    keep(g_err, &g_err_len, data, n);
    return Err::None;
  }
  MemFile* f = file_of(h);
  if (!f) {
    if (accepted) *accepted = 0;
    return Err::BadHandle;
  }
  std::size_t room = kFileCap - f->len;
  Err e = Err::None;
  if (g_m.file_room >= 0 && static_cast<std::size_t>(g_m.file_room - g_file_total) < room)
    room = static_cast<std::size_t>(g_m.file_room - g_file_total);
  std::size_t k = n;
  if (k > room) {
    k = room;
    e = Err::NoSpace;
  }
  std::memcpy(f->data + f->len, data, k);
  f->len += k;
  g_file_total += static_cast<long>(k);
  if (accepted) *accepted = k;
  return e;
}
Err close_file(Handle h) {
  if (fuzz_os::g_m.files && !fuzz_os::file_of(h)) return Err::BadHandle;
  return Err::None;
}
long read_some(Handle h, char* buf, std::size_t n, Err* err) {
  if (err) *err = Err::None;
  if (h == 0 && fuzz_os::g_m.stdin_refused) {
    if (err) *err = Err::Io;
    return -1;
  }
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
void enable_fp_traps(TrapHandler handler) {
  using namespace fuzz_os;
  if (!g_m.real_traps) return;
  g_trap_handler = handler;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_sigaction = on_sigfpe;
  sa.sa_flags = SA_SIGINFO;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGFPE, &sa, g_fpe_installed ? nullptr : &g_old_fpe);
  g_fpe_installed = true;
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}
void exit_process(int status) { std::longjmp(fuzz_os::exit_jump, status + 1); }

}  // namespace tw::os
