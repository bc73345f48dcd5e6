#include "tests/support.h"

#include "output/failure.h"
#include "output/fileio.h"
#include "output/os.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace twt {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "twophmap-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path = buf.data();
  chmod(path.c_str(), 0777);  // tests may run the program as another user
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only leftovers of a test must not keep the directory alive.
  for (auto& e : fs::recursive_directory_iterator(path, ec))
    fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path, ec);
}

bool TempDir::exists(const std::string& name) const {
  struct stat sb;
  return lstat(file(name).c_str(), &sb) == 0;
}
std::string TempDir::read(const std::string& name) const { return read_file(file(name)); }
void TempDir::write(const std::string& name, const std::string& bytes) const {
  write_file(file(name), bytes);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

RunResult run(const RunOptions& opt) {
  RunResult r;
  TempDir io;
  std::string in_path = io.file("stdin"), out_path = io.file("stdout"), err_path = io.file("stderr");
  write_file(in_path, opt.input);
  std::string exe = opt.exe.empty() ? std::string(TWOPHMAP_EXE) : opt.exe;

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = open(in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    close(in);
    close(out);
    close(err);
    if (opt.close_stdin) close(0);
    if (opt.close_stdout) close(1);
    if (opt.close_stderr) close(2);
    for (auto& kv : opt.env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
    for (auto& k : opt.unset_env) unsetenv(k.c_str());
    if (chdir(opt.dir.c_str()) != 0) _exit(126);
    signal(SIGPIPE, SIG_DFL);
    execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(opt.timeout_seconds);
  int st = 0;
  for (;;) {
    pid_t w = waitpid(pid, &st, WNOHANG);
    if (w == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &st, 0);
      r.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

RunResult run_child(const std::function<void()>& body, const ChildOptions& opt) {
  RunResult r;
  TempDir io;
  std::string in_path = io.file("stdin"), out_path = io.file("stdout"), err_path = io.file("stderr");
  write_file(in_path, opt.out == ChildOptions::Out::Pty ? std::string() : opt.input);

  int master = -1, slave = -1, pipe_w = -1;
  if (opt.out == ChildOptions::Out::Pty) {
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    termios t;
    tcgetattr(slave, &t);
    cfmakeraw(&t);  // bytes unchanged both ways, no echo
    tcsetattr(slave, TCSANOW, &t);
  } else if (opt.out == ChildOptions::Out::BrokenPipe) {
    int p[2];
    if (pipe(p) != 0) throw std::runtime_error("pipe failed");
    close(p[0]);  // the reader is gone before the child writes
    pipe_w = p[1];
  }

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (opt.out == ChildOptions::Out::Pty) {
      dup2(slave, 0);
      dup2(slave, 1);
      close(slave);
      close(master);
    } else {
      int in = open(in_path.c_str(), O_RDONLY);
      dup2(in, 0);
      close(in);
      if (opt.out == ChildOptions::Out::BrokenPipe) {
        dup2(pipe_w, 1);
        close(pipe_w);
      } else {
        int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        dup2(out, 1);
        close(out);
      }
    }
    dup2(err, 2);
    close(err);
    if (opt.close_stdin) close(0);
    if (opt.close_stdout) close(1);
    if (!opt.dir.empty() && chdir(opt.dir.c_str()) != 0) _exit(126);
    if (opt.file_size_limit >= 0) {
      rlimit rl{static_cast<rlim_t>(opt.file_size_limit), static_cast<rlim_t>(opt.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &rl);
    }
    if (opt.as_nobody && geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(kChildCannotDrop);
    }
    signal(SIGPIPE, SIG_DFL);
    body();
    _exit(99);
  }
  if (slave >= 0) close(slave);
  if (pipe_w >= 0) close(pipe_w);
  if (master >= 0 && !opt.input.empty()) {
    ssize_t w = write(master, opt.input.data(), opt.input.size());
    (void)w;
  }

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(opt.timeout_seconds);
  int st = 0;
  bool exited = false;
  for (;;) {
    if (master >= 0) {
      // Drain the terminal while the child runs, so it never blocks on us.
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 5) > 0) {
        char buf[4096];
        ssize_t n = read(master, buf, sizeof buf);
        if (n > 0) {
          r.out.append(buf, static_cast<std::size_t>(n));
          continue;
        }
        if (exited) break;  // EIO: the child's side is closed and drained
      } else if (exited) {
        break;
      }
    }
    if (!exited) {
      pid_t w = waitpid(pid, &st, WNOHANG);
      if (w == pid) {
        exited = true;
        if (master < 0) break;
        continue;
      }
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &st, 0);
        r.timed_out = true;
        break;
      }
      if (master < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (master >= 0) close(master);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  if (opt.out == ChildOptions::Out::File) r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

RunResult run_layers(const std::function<void()>& body, const ChildOptions& opt) {
  return run_child(
      [&] {
        tw::os::init();
        tw::failure_reset();
        tw::fileio_reset();
        body();
        tw::end_run(0);
      },
      opt);
}

std::vector<std::string> records(const std::string& bytes) {
  std::vector<std::string> recs;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t e = bytes.find("\r\n", pos);
    if (e == std::string::npos) {
      recs.push_back(bytes.substr(pos));
      recs.push_back("<no CRLF>");
      break;
    }
    recs.push_back(bytes.substr(pos, e - pos));
    pos = e + 2;
  }
  return recs;
}

std::string crlf(const std::vector<std::string>& recs) {
  std::string s;
  for (auto& r : recs) s += r + "\r\n";
  return s;
}

}  // namespace twt
