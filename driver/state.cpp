#include "driver/state.h"

namespace tw {

State st;

void state_reset() { st = State{}; }

}  // namespace tw
