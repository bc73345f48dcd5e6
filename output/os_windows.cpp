// The Windows side of the operating-system layer: every call of os.h on top of
// the Win32 API. No C stdio anywhere, so no byte is ever translated.
#include "output/os.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>

namespace tw::os {

namespace {

Err from_win32(DWORD e) {
  switch (e) {
    case ERROR_SUCCESS: return Err::None;
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: case ERROR_BAD_NET_NAME: case ERROR_BAD_PATHNAME:
      return Err::NotFound;
    case ERROR_ACCESS_DENIED: case ERROR_SHARING_VIOLATION: case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED: case ERROR_PRIVILEGE_NOT_HELD:
      return Err::Access;
    case ERROR_DISK_FULL: case ERROR_HANDLE_DISK_FULL:
      return Err::NoSpace;
    case ERROR_FILE_TOO_LARGE: return Err::TooLarge;
    case ERROR_BROKEN_PIPE: case ERROR_NO_DATA: case ERROR_PIPE_NOT_CONNECTED:
      return Err::BrokenPipe;
    case ERROR_INVALID_HANDLE: return Err::BadHandle;
    case ERROR_TOO_MANY_OPEN_FILES: return Err::TooMany;
    case ERROR_WRITE_PROTECT: return Err::ReadOnlyFs;
    case ERROR_FILENAME_EXCED_RANGE: case ERROR_BUFFER_OVERFLOW: return Err::NameTooLong;
    case ERROR_INVALID_NAME: return Err::BadName;
    case ERROR_CRC: case ERROR_READ_FAULT: case ERROR_WRITE_FAULT: case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE: case ERROR_NOT_READY: case ERROR_SEEK: case ERROR_SECTOR_NOT_FOUND:
      return Err::Io;
    default: return Err::Other;
  }
}

HANDLE win_of(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle of_win(HANDLE h) { return reinterpret_cast<Handle>(h); }

bool is_directory(const char* name) {
  DWORD a = ::GetFileAttributesA(name);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Shared both ways, binary, never inherited by the plot launch.
HANDLE open_existing(const char* name, DWORD access) {
  return ::CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Bits of the SSE control and status register.
constexpr unsigned kMxInvalid = 0x01, kMxDivZero = 0x04, kMxOverflow = 0x08;
constexpr unsigned kMxFlags = 0x3F;
constexpr unsigned kMxMaskShift = 7;
constexpr unsigned kMxAllMasked = 0x1F80;

unsigned get_mxcsr() {
  unsigned v;
  __asm__ __volatile__("stmxcsr %0" : "=m"(v));
  return v;
}
void set_mxcsr(unsigned v) { __asm__ __volatile__("ldmxcsr %0" : : "m"(v)); }
unsigned short get_x87_cw() {
  unsigned short v;
  __asm__ __volatile__("fnstcw %0" : "=m"(v));
  return v;
}
void set_x87_cw(unsigned short v) { __asm__ __volatile__("fldcw %0" : : "m"(v)); }
void clear_x87_flags() { __asm__ __volatile__("fnclex"); }

// Everything masked and no flag left, so the report itself cannot trap.
void fp_quiet() {
  clear_x87_flags();
  set_x87_cw(static_cast<unsigned short>(get_x87_cw() | 0x3F));
  set_mxcsr((get_mxcsr() | kMxAllMasked) & ~kMxFlags);
}

TrapHandler g_trap_handler = nullptr;

// An unmasked SSE exception arrives as one of the "multiple traps" codes;
// the flags raised and not masked in MXCSR tell which one it was.
bool trap_from_mxcsr(unsigned mx, Trap* t) {
  unsigned live = mx & kMxFlags & ~(mx >> kMxMaskShift);
  if (live & kMxInvalid) { *t = Trap::Invalid; return true; }
  if (live & kMxDivZero) { *t = Trap::DivByZero; return true; }
  if (live & kMxOverflow) { *t = Trap::Overflow; return true; }
  return false;
}

bool trap_of(EXCEPTION_POINTERS* info, Trap* t) {
  switch (info->ExceptionRecord->ExceptionCode) {
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_STACK_CHECK:
      *t = Trap::Invalid;
      return true;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      *t = Trap::DivByZero;
      return true;
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_INT_OVERFLOW:
      *t = Trap::Overflow;
      return true;
    case STATUS_FLOAT_MULTIPLE_TRAPS:
    case STATUS_FLOAT_MULTIPLE_FAULTS:
      if (info->ContextRecord && trap_from_mxcsr(info->ContextRecord->MxCsr, t)) return true;
      *t = Trap::Invalid;
      return true;
    default:
      return false;
  }
}

LONG CALLBACK on_exception(EXCEPTION_POINTERS* info) {
  Trap t = Trap::Invalid;
  if (!trap_of(info, &t)) return EXCEPTION_CONTINUE_SEARCH;
  fp_quiet();
  if (g_trap_handler) g_trap_handler(t);
  ::ExitProcess(1);
  return EXCEPTION_CONTINUE_SEARCH;
}

// The command line handed to CreateProcessA, which may write into it.
char g_cmdline[32768];
// The whole value of a variable, so that a long one still yields its start.
char g_envbuf[32768];

}  // namespace

void init() {
  // A missing drive or a broken device comes back as an error code, with no
  // dialog box waiting for someone to click it.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

Handle std_handle(Std which) {
  DWORD id = which == Std::In ? STD_INPUT_HANDLE
             : which == Std::Out ? STD_OUTPUT_HANDLE
                                 : STD_ERROR_HANDLE;
  HANDLE h = ::GetStdHandle(id);
  if (h == nullptr) return kNoHandle;
  return of_win(h);
}

bool is_char_device(Handle h) {
  if (h == kNoHandle) return false;
  return ::GetFileType(win_of(h)) == FILE_TYPE_CHAR;
}

OpenResult open_file(const char* name) {
  OpenResult r;
  if (is_directory(name)) {
    r.err = Err::IsDir;
    return r;
  }
  // A file that appears between our open and our create is opened again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    static const DWORD modes[3] = {GENERIC_READ | GENERIC_WRITE, GENERIC_READ, GENERIC_WRITE};
    HANDLE h = INVALID_HANDLE_VALUE;
    DWORD mode = 0, first_err = 0, write_err = 0;
    bool missing = false;
    for (DWORD m : modes) {
      h = open_existing(name, m);
      if (h != INVALID_HANDLE_VALUE) { mode = m; break; }
      DWORD e = ::GetLastError();
      if (e == ERROR_FILE_NOT_FOUND) { missing = true; break; }
      if (first_err == 0) first_err = e;
      if (m == (GENERIC_READ | GENERIC_WRITE)) write_err = e;
    }
    if (h == INVALID_HANDLE_VALUE && missing) {
      h = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        if (e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS) continue;
        r.err = from_win32(e);
        return r;
      }
      r.created = true;
      mode = GENERIC_READ | GENERIC_WRITE;
    }
    if (h == INVALID_HANDLE_VALUE) {
      // Access refused to a name that turned into a directory meanwhile.
      r.err = is_directory(name) ? Err::IsDir : from_win32(first_err);
      return r;
    }
    r.h = of_win(h);
    r.regular = ::GetFileType(h) == FILE_TYPE_DISK;
    r.can_write = (mode & GENERIC_WRITE) != 0;
    // Kept for the first write, which is where the refusal is reported.
    r.write_err = r.can_write ? Err::None : from_win32(write_err);
    if (r.write_err == Err::None && !r.can_write) r.write_err = Err::Access;
    return r;
  }
  r.err = Err::Other;
  return r;
}

Err truncate_file(Handle h) {
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (!::SetFilePointerEx(win_of(h), zero, nullptr, FILE_BEGIN)) return from_win32(::GetLastError());
  if (!::SetEndOfFile(win_of(h))) return from_win32(::GetLastError());
  return Err::None;
}

Err write_all(Handle h, const char* data, std::size_t n, std::size_t* accepted) {
  std::size_t done = 0;
  Err err = Err::None;
  while (done < n) {
    // Older consoles refuse a single write of more than about 64 KB.
    std::size_t left = n - done;
    DWORD chunk = left > 32768u ? 32768u : static_cast<DWORD>(left);
    DWORD w = 0;
    if (!::WriteFile(win_of(h), data + done, chunk, &w, nullptr)) {
      err = from_win32(::GetLastError());
      done += w;
      break;
    }
    if (w == 0) { err = Err::Io; break; }
    done += w;
  }
  if (accepted) *accepted = done;
  return err;
}

Err close_file(Handle h) {
  if (::CloseHandle(win_of(h))) return Err::None;
  return from_win32(::GetLastError());
}

long read_some(Handle h, char* buf, std::size_t n, Err* err) {
  DWORD want = n > 0x40000000u ? 0x40000000u : static_cast<DWORD>(n);
  DWORD got = 0;
  if (!::ReadFile(win_of(h), buf, want, &got, nullptr)) {
    DWORD e = ::GetLastError();
    // The writer of a pipe has gone: that is the end of the input.
    if (e == ERROR_BROKEN_PIPE || e == ERROR_HANDLE_EOF || e == ERROR_PIPE_NOT_CONNECTED) {
      if (err) *err = Err::None;
      return 0;
    }
    if (err) *err = from_win32(e);
    return -1;
  }
  if (err) *err = Err::None;
  return static_cast<long>(got);
}

bool get_env(const char* name, char* buf, std::size_t cap, std::size_t* len) {
  ::SetLastError(ERROR_SUCCESS);
  DWORD r = ::GetEnvironmentVariableA(name, g_envbuf, sizeof g_envbuf);
  bool set = true;
  std::size_t n = 0;
  if (r == 0) {
    set = ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    g_envbuf[0] = '\0';
  } else if (r >= sizeof g_envbuf) {
    // Longer than any variable Windows keeps: report its length, keep none.
    n = r - 1;
    g_envbuf[0] = '\0';
  } else {
    n = r;
  }
  if (len) *len = set ? n : 0;
  if (buf && cap > 0) {
    std::size_t have = std::strlen(g_envbuf);
    if (!set) have = 0;
    std::size_t k = have < cap - 1 ? have : cap - 1;
    std::memcpy(buf, g_envbuf, k);
    buf[k] = '\0';
  }
  return set;
}

int run_command(const char* interpreter, const char* command) {
  const char* shell = interpreter ? interpreter : "cmd.exe";
  std::size_t ls = std::strlen(shell), lc = std::strlen(command);
  static const char kSwitch[] = " /c ";
  if (ls + 4 + lc + 1 > sizeof g_cmdline) return -1;
  std::memcpy(g_cmdline, shell, ls);
  std::memcpy(g_cmdline + ls, kSwitch, 4);
  std::memcpy(g_cmdline + ls + 4, command, lc);
  g_cmdline[ls + 4 + lc] = '\0';

  // The child shares our console streams; they must be inheritable for that.
  HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE er = ::GetStdHandle(STD_ERROR_HANDLE);
  HANDLE std3[3] = {in, out, er};
  for (HANDLE h : std3) {
    if (h != nullptr && h != INVALID_HANDLE_VALUE)
      ::SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  }
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = er;
  PROCESS_INFORMATION pi;
  std::memset(&pi, 0, sizeof pi);
  if (!::CreateProcessA(nullptr, g_cmdline, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  ::CloseHandle(pi.hThread);
  DWORD code = 0;
  bool ok = ::WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0 &&
            ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  if (!ok) return -1;
  return static_cast<int>(code);
}

void enable_fp_traps(TrapHandler handler) {
  g_trap_handler = handler;
  ::AddVectoredExceptionHandler(1, on_exception);
  // Flags left over from before must not trap at the first operation.
  clear_x87_flags();
  unsigned short cw = get_x87_cw();
  cw = static_cast<unsigned short>(cw & ~(0x01 | 0x04 | 0x08));  // IM, ZM, OM
  set_x87_cw(cw);
  unsigned mx = get_mxcsr() & ~kMxFlags;
  mx &= ~((kMxInvalid | kMxDivZero | kMxOverflow) << kMxMaskShift);
  set_mxcsr(mx);
}

void exit_process(int status) { ::ExitProcess(static_cast<UINT>(status)); }

}  // namespace tw::os
