#include "output/runner.h"

#include <cstddef>

#include "output/os.h"

namespace tw {

namespace {

constexpr int kMaxCommand = 1024;
constexpr std::size_t kMaxInterpreter = 260;

}  // namespace

int run_command(const char* text, int len) {
  if (text == nullptr || len < 0) len = 0;
  while (len > 0 && text[len - 1] == ' ') --len;
  if (len > kMaxCommand) return -1;

  char command[kMaxCommand + 1];
  for (int i = 0; i < len; ++i) command[i] = text[i];
  command[len] = '\0';

  // One byte more than the longest name we accept, so that a name that is
  // too long is seen as such rather than cut.
  char comspec[kMaxInterpreter + 2];
  std::size_t comspec_len = 0;
  bool set = os::get_env("COMSPEC", comspec, sizeof comspec, &comspec_len);
  if (set && comspec_len > kMaxInterpreter) return -1;
  // Without COMSPEC the layer runs "cmd.exe" (or, where there is none, the
  // platform's own shell): a null name says so.
  const char* interpreter = (set && comspec_len > 0) ? comspec : nullptr;

  return os::run_command(interpreter, command);
}

}  // namespace tw
