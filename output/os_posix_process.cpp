// os::run_command on POSIX. There is no command-line string to hand over:
// the interpreter gets "/c" and the command as its two arguments, as
// "cmd.exe /c command" would split them.
#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "output/os.h"

extern char** environ;

namespace tw::os {

namespace {

constexpr std::size_t kMaxPath = 4096;

// The first executable regular file "cmd.exe" on PATH, into out.
bool find_cmd_exe(char* out, std::size_t cap) {
  static const char kName[] = "cmd.exe";
  const char* path = std::getenv("PATH");
  if (path == nullptr) path = "/bin:/usr/bin";
  const char* p = path;
  for (;;) {
    const char* end = std::strchr(p, ':');
    std::size_t n = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    // An empty entry is the working directory.
    const char* dir = n == 0 ? "." : p;
    std::size_t dn = n == 0 ? 1 : n;
    if (dn + 1 + sizeof kName <= cap) {
      std::memcpy(out, dir, dn);
      out[dn] = '/';
      std::memcpy(out + dn + 1, kName, sizeof kName);
      struct stat sb;
      if (::stat(out, &sb) == 0 && S_ISREG(sb.st_mode) && ::access(out, X_OK) == 0) return true;
    }
    if (end == nullptr) return false;
    p = end + 1;
  }
}

// Starts the program; false when it cannot be started.
bool spawn(const char* program, bool search, char* const argv[], pid_t* pid) {
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) return false;
  // We ignore these two for ourselves; the child gets them back at default.
  sigset_t def;
  sigemptyset(&def);
  sigaddset(&def, SIGPIPE);
  sigaddset(&def, SIGXFSZ);
  bool ok = posix_spawnattr_setsigdefault(&attr, &def) == 0 &&
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF) == 0;
  if (ok) {
    int e = search ? posix_spawnp(pid, program, nullptr, &attr, argv, environ)
                   : posix_spawn(pid, program, nullptr, &attr, argv, environ);
    ok = e == 0;
  }
  posix_spawnattr_destroy(&attr);
  return ok;
}

}  // namespace

int run_command(const char* interpreter, const char* command) {
  char found[kMaxPath];
  const char* argv[4] = {nullptr, nullptr, command, nullptr};
  const char* program = nullptr;
  bool search = false;
  if (interpreter != nullptr) {
    // A name without a slash is looked for on PATH, as the shell would.
    program = interpreter;
    search = std::strchr(interpreter, '/') == nullptr;
    argv[0] = interpreter;
    argv[1] = "/c";
  } else if (find_cmd_exe(found, sizeof found)) {
    program = found;
    argv[0] = "cmd.exe";
    argv[1] = "/c";
  } else {
    // Neither COMSPEC nor cmd.exe: our own shell runs the command.
    program = "/bin/sh";
    argv[0] = "sh";
    argv[1] = "-c";
  }

  // With SIGCHLD ignored (inherited from whoever started us) the system
  // reaps the child itself and its exit code is lost: wait with the default
  // in place, and put the inherited setting back afterwards.
  struct sigaction old_chld;
  bool chld_restore = false;
  if (::sigaction(SIGCHLD, nullptr, &old_chld) == 0 && old_chld.sa_handler == SIG_IGN &&
      !(old_chld.sa_flags & SA_SIGINFO)) {
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    chld_restore = ::sigaction(SIGCHLD, &dfl, nullptr) == 0;
  }

  int result = -1;
  pid_t pid = 0;
  if (spawn(program, search, const_cast<char* const*>(argv), &pid)) {
    int status = 0;
    pid_t r;
    do {
      r = ::waitpid(pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    if (r == pid) {
      if (WIFEXITED(status)) result = WEXITSTATUS(status);
      else if (WIFSIGNALED(status)) result = 128 + WTERMSIG(status);
    }
  }
  if (chld_restore) ::sigaction(SIGCHLD, &old_chld, nullptr);
  return result;
}

}  // namespace tw::os
