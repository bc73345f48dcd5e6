#include "tests/support.h"

#include <fcntl.h>
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
