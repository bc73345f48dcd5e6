// A stand-in command interpreter and environment launcher for the Windows
// tests under Wine (Wine takes COMSPEC from its registry, not from the
// caller, so the tests set it from inside).
//
//   helper.exe CODE /c ...        exits with CODE, after appending its whole
//                                 command line to interp.log in the working
//                                 directory, then a line telling whether both
//                                 output files could be opened unshared
//                                 ("files closed"): nobody holds them open
//   helper.exe --env NAME=VALUE "NAME=VALUE WITH BLANKS" -NAME ... -- LINE
//                                 sets (or, with -NAME, removes) variables,
//                                 runs LINE with the same standard handles,
//                                 exits with its exit code
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// The next token of a command line: blanks separate, double quotes group.
const char* next_token(const char* p, char* out, std::size_t cap) {
  while (*p == ' ' || *p == '\t') ++p;
  std::size_t n = 0;
  bool quoted = false;
  while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
    if (*p == '"') { quoted = !quoted; ++p; continue; }
    if (n + 1 < cap) out[n++] = *p;
    ++p;
  }
  out[n] = '\0';
  return p;
}

void log_line(const char* line) {
  HANDLE f = CreateFileA("interp.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD w = 0;
  WriteFile(f, line, static_cast<DWORD>(std::strlen(line)), &w, nullptr);
  WriteFile(f, "\r\n", 2, &w, nullptr);
  CloseHandle(f);
}

}  // namespace

int main() {
  const char* line = GetCommandLineA();
  static char tok[40000];
  const char* p = next_token(line, tok, sizeof tok);  // our own name
  p = next_token(p, tok, sizeof tok);
  if (std::strcmp(tok, "--env") != 0) {
    log_line(line);
    bool closed = true;
    for (const char* name : {"TWOPHMAP.out", "TWOPHMAP.plp"}) {
      HANDLE f = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
      if (f == INVALID_HANDLE_VALUE) closed = false;
      else CloseHandle(f);
    }
    log_line(closed ? "files closed" : "files still open or missing");
    return std::atoi(tok);
  }
  for (;;) {
    const char* before = p;
    p = next_token(p, tok, sizeof tok);
    if (tok[0] == '\0') return 2;
    if (std::strcmp(tok, "--") == 0) break;
    if (tok[0] == '-') {
      SetEnvironmentVariableA(tok + 1, nullptr);
    } else if (char* eq = std::strchr(tok, '=')) {
      *eq = '\0';
      SetEnvironmentVariableA(tok, eq + 1);
    } else {
      (void)before;
      return 2;
    }
  }
  while (*p == ' ') ++p;
  static char child[40000];
  std::strncpy(child, p, sizeof child - 1);
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION pi;
  if (!CreateProcessA(nullptr, child, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return 3;
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
