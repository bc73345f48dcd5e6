// The power function gives the same bits on every platform. C libraries'
// pow differ in the last bit now and then, and a grid ratio one bit off can
// add or drop a sampled point, so the map rounds x^y itself.
#pragma once

namespace tw {

// The correctly rounded x^y, given approx = std::pow(x, y) from the
// platform. The value is evaluated in double-double precision with plain
// IEEE additions, multiplications and divisions, so it is the same on every
// compiler; approx is returned as it is for the cases left to the platform
// (x <= 0 with a fractional y, x or y not finite, results that are zero,
// subnormal, infinite or near the ends of the double range) and whenever
// the platform's value is more than one unit in the last place away.
// Raises no invalid, divide-by-zero or overflow flag.
double pow_rounded(double x, double y, double approx);

}  // namespace tw
