// The power and square-root routines of the map. A domain error, a pole or
// an infinite result is reported as the routine's own error, never as a trap.
#pragma once

namespace tw {

double pw(double x, double y);  // reported as "**"
double sq(double x);            // reported as "sqrt"

}  // namespace tw
