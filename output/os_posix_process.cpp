#include "output/os.h"

namespace tw::os {

int run_command(const char*, const char*) { return -1; }

}  // namespace tw::os
