// Helpers shared by the tests: temporary working directories and runs of the
// real program with chosen input, environment and working directory.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace twt {

// A fresh directory under the system's temporary folder, removed at the end.
struct TempDir {
  std::string path;
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string file(const std::string& name) const { return path + "/" + name; }
  bool exists(const std::string& name) const;
  std::string read(const std::string& name) const;
  void write(const std::string& name, const std::string& bytes) const;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);

struct RunOptions {
  std::string dir;                     // working directory (required)
  std::string input;                   // bytes on standard input (a file, not a terminal)
  std::vector<std::pair<std::string, std::string>> env;  // set these
  std::vector<std::string> unset_env;  // and remove these
  bool close_stdin = false;
  bool close_stdout = false;
  bool close_stderr = false;
  std::string exe;                     // defaults to the program under test
  int timeout_seconds = 300;
};

struct RunResult {
  int status = -1;    // exit status, or 128 + signal number
  bool timed_out = false;
  std::string out;    // standard output bytes
  std::string err;    // standard error bytes
};

RunResult run(const RunOptions& opt);

// Splits file bytes at CR LF; a last piece without CR LF is kept as is and
// marked by a trailing "<no CRLF>" entry.
std::vector<std::string> records(const std::string& bytes);

// Runs body in a forked child of the test process, with standard error (and
// standard output, unless said otherwise) captured to files. The body is
// expected to end the process itself; if it returns, the child exits 99.
struct ChildOptions {
  enum class Out { File, Pty, BrokenPipe };
  std::string dir;          // working directory of the child (optional)
  Out out = Out::File;      // Pty: stdin and stdout on one raw terminal;
                            // BrokenPipe: stdout a pipe whose reader is gone
  std::string input;        // standard input bytes (a file, or typed on the pty)
  bool close_stdin = false;
  bool close_stdout = false;
  bool as_nobody = false;   // drop to an unprivileged user (when root)
  long file_size_limit = -1;  // RLIMIT_FSIZE in bytes
  int timeout_seconds = 60;
};
inline constexpr int kChildCannotDrop = 125;  // as_nobody impossible here
RunResult run_child(const std::function<void()>& body, const ChildOptions& opt = {});
// The same, as a fresh run of the program's layers: they are reset first and
// the run ends normally unless the body ends it.
RunResult run_layers(const std::function<void()>& body, const ChildOptions& opt = {});

// Records joined, each followed by CR LF.
std::string crlf(const std::vector<std::string>& recs);

}  // namespace twt
