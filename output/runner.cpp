#include "output/runner.h"

namespace tw {

int run_command(const char*, int) { return -1; }

}  // namespace tw
