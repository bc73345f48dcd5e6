#include "map/curves.h"

namespace tw {

void map_constants_g_ld_u0() {}
void map_constants_shared() {}
void curve_E() {}
void curve_G() {}
void curve_F() {}
void curve_H() {}
void curve_J() {}

}  // namespace tw
