// The map constants and the five transition curves, written to unit 6.
#pragma once

namespace tw {

void map_constants_g_ld_u0();     // g, LD, U0
void map_constants_shared();      // alpha, UMT, UGSE, ULSE
void curve_E();
void curve_G();
void curve_F();
void curve_H();
void curve_J();

}  // namespace tw
