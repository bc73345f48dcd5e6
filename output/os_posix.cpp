// The POSIX side of the operating-system layer (all of os.h except
// run_command, which lives in os_posix_process.cpp).
#include "output/os.h"

#include <errno.h>
#include <fcntl.h>
#include <fenv.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tw::os {

namespace {

Err from_errno(int e) {
  switch (e) {
    case 0: return Err::None;
    case ENOENT: case ENOTDIR: return Err::NotFound;
    case EACCES: case EPERM: case ETXTBSY: return Err::Access;
    case EISDIR: return Err::IsDir;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
      return Err::NoSpace;
    case EFBIG: return Err::TooLarge;
    case EPIPE: return Err::BrokenPipe;
    case EBADF: return Err::BadHandle;
    case EMFILE: case ENFILE: return Err::TooMany;
    case EROFS: return Err::ReadOnlyFs;
    case ENAMETOOLONG: return Err::NameTooLong;
    case EIO: return Err::Io;
    default: return Err::Other;
  }
}

int fd_of(Handle h) { return static_cast<int>(h); }

// A non-blocking stream that is full (or empty) is waited for rather than
// refused: the program itself never asks for non-blocking streams.
bool wait_ready(int fd, short events) {
  struct pollfd p;
  p.fd = fd;
  p.events = events;
  p.revents = 0;
  for (;;) {
    int r = ::poll(&p, 1, -1);
    if (r >= 0) return true;
    if (errno != EINTR) return false;
  }
}

int open_retry(const char* name, int flags, mode_t mode) {
  for (;;) {
    int fd = ::open(name, flags, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

// Keeps the handle clear of the standard stream numbers, so that a closed
// standard output never writes into one of our files.
int above_std(int fd, int* err) {
  if (fd > 2) return fd;
  int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  int e = errno;
  ::close(fd);
  if (moved < 0) *err = e;
  return moved;
}

TrapHandler g_trap_handler = nullptr;

void on_sigfpe(int, siginfo_t* info, void*) {
  // Nothing that follows should trap again.
  fedisableexcept(FE_ALL_EXCEPT);
  Trap t = Trap::Invalid;
  switch (info->si_code) {
    case FPE_FLTINV: t = Trap::Invalid; break;
    case FPE_FLTDIV: case FPE_INTDIV: t = Trap::DivByZero; break;
    case FPE_FLTOVF: case FPE_INTOVF: t = Trap::Overflow; break;
    default: t = Trap::Invalid; break;
  }
  if (g_trap_handler) g_trap_handler(t);
  _exit(1);
}

}  // namespace

void init() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = SIG_IGN;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGPIPE, &sa, nullptr);
  // A file size limit must come back as a refused write (EFBIG), not kill us.
  ::sigaction(SIGXFSZ, &sa, nullptr);
}

Handle std_handle(Std which) { return static_cast<Handle>(static_cast<int>(which)); }

bool is_char_device(Handle h) {
  struct stat sb;
  if (::fstat(fd_of(h), &sb) != 0) return false;
  return S_ISCHR(sb.st_mode);
}

OpenResult open_file(const char* name) {
  OpenResult r;
  // A file that appears between our open and our create is opened again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    static const int modes[3] = {O_RDWR, O_RDONLY, O_WRONLY};
    int fd = -1, mode = 0, first_err = 0, write_errno = 0;
    bool missing = false;
    for (int m : modes) {
      fd = open_retry(name, m | O_CLOEXEC, 0);
      if (fd >= 0) { mode = m; break; }
      if (errno == ENOENT) { missing = true; break; }
      if (first_err == 0) first_err = errno;
      if (m == O_RDWR) write_errno = errno;
    }
    if (fd < 0 && missing) {
      fd = open_retry(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno == EEXIST) continue;
      if (fd < 0) { r.err = from_errno(errno); return r; }
      r.created = true;
      mode = O_RDWR;
    }
    if (fd < 0) {
      r.err = from_errno(first_err);
      return r;
    }
    struct stat sb;
    if (::fstat(fd, &sb) != 0) {
      r.err = from_errno(errno);
      ::close(fd);
      return r;
    }
    if (S_ISDIR(sb.st_mode)) {
      ::close(fd);
      r.err = Err::IsDir;
      return r;
    }
    int e = 0;
    fd = above_std(fd, &e);
    if (fd < 0) { r.err = from_errno(e); return r; }
    r.h = fd;
    r.regular = S_ISREG(sb.st_mode);
    r.can_write = mode != O_RDONLY;
    r.write_err = r.can_write ? Err::None : from_errno(write_errno);
    if (r.write_err == Err::None && !r.can_write) r.write_err = Err::Access;
    return r;
  }
  r.err = Err::Other;
  return r;
}

Err truncate_file(Handle h) {
  for (;;) {
    if (::ftruncate(fd_of(h), 0) == 0) return Err::None;
    if (errno != EINTR) return from_errno(errno);
  }
}

Err write_all(Handle h, const char* data, std::size_t n, std::size_t* accepted) {
  std::size_t done = 0;
  Err err = Err::None;
  while (done < n) {
    ssize_t w = ::write(fd_of(h), data + done, n - done);
    if (w > 0) { done += static_cast<std::size_t>(w); continue; }
    if (w == 0) { err = Err::Io; break; }
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && wait_ready(fd_of(h), POLLOUT)) continue;
    err = from_errno(errno);
    break;
  }
  if (accepted) *accepted = done;
  return err;
}

Err close_file(Handle h) {
  // Not retried on EINTR: on Linux the handle is gone either way.
  if (::close(fd_of(h)) == 0 || errno == EINTR) return Err::None;
  return from_errno(errno);
}

long read_some(Handle h, char* buf, std::size_t n, Err* err) {
  for (;;) {
    ssize_t r = ::read(fd_of(h), buf, n);
    if (r >= 0) {
      if (err) *err = Err::None;
      return static_cast<long>(r);
    }
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && wait_ready(fd_of(h), POLLIN)) continue;
    if (err) *err = from_errno(errno);
    return -1;
  }
}

bool get_env(const char* name, char* buf, std::size_t cap, std::size_t* len) {
  const char* v = std::getenv(name);
  if (!v) {
    if (len) *len = 0;
    if (buf && cap > 0) buf[0] = '\0';
    return false;
  }
  std::size_t n = std::strlen(v);
  if (len) *len = n;
  if (buf && cap > 0) {
    std::size_t k = n < cap - 1 ? n : cap - 1;
    std::memcpy(buf, v, k);
    buf[k] = '\0';
  }
  return true;
}

void enable_fp_traps(TrapHandler handler) {
  g_trap_handler = handler;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_sigaction = on_sigfpe;
  sa.sa_flags = SA_SIGINFO;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGFPE, &sa, nullptr);
  // Flags left over from before must not trap at the first operation.
  feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
}

void exit_process(int status) { _exit(status); }

}  // namespace tw::os
