#include "map/mathfn.h"

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>

#include "map/powfix.h"
#include "output/failure.h"

namespace tw {

namespace {

// Flags raised while the traps were held, traps back on afterwards with no
// flag left over to fire later.
struct Held {
  std::fenv_t saved;
  Held() { std::feholdexcept(&saved); }
  int flags() const { return std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }
  ~Held() { std::fesetenv(&saved); }
};

// Underflow is no failure: the result is used as it came. A NaN counts as a
// domain error even without the flag: some C libraries return NaN for a
// negative base or root and raise nothing.
void check(const char* routine, int flags, double r) {
  if ((flags & FE_INVALID) || std::isnan(r)) fail_routine(routine, RoutineErr::Domain);
  if (flags & FE_DIVBYZERO) fail_routine(routine, RoutineErr::Sing);
  if ((flags & FE_OVERFLOW) && std::isinf(r)) fail_routine(routine, RoutineErr::Overflow);
}

// The sampling loops ask for the same power at every pass; a repeat needs
// neither the hold of the traps nor the power itself.
// Compared bit for bit, so that -0.0 is not taken for 0.0.
struct LastPower {
  std::uint64_t x, y;
  double r;
  bool valid;
};
LastPower last_power{0, 0, 0.0, false};

}  // namespace

double pw(double x, double y) {
  const std::uint64_t bx = std::bit_cast<std::uint64_t>(x), by = std::bit_cast<std::uint64_t>(y);
  if (last_power.valid && bx == last_power.x && by == last_power.y) return last_power.r;
  double r;
  int flags;
  {
    Held h;
    // volatile keeps the operation between the hold and the test
    volatile double vx = x, vy = y;
    volatile double vr = std::pow(vx, vy);
    flags = h.flags();
    // The same last bit on every platform; still under the hold, after the
    // flags of the power itself have been read.
    r = pow_rounded(vx, vy, vr);
  }
  check("**", flags, r);
  last_power = LastPower{bx, by, r, true};
  return r;
}

double sq(double x) {
  double r;
  int flags;
  {
    Held h;
    volatile double vx = x;
    volatile double vr = std::sqrt(vx);
    flags = h.flags();
    r = vr;
  }
  check("sqrt", flags, r);
  return r;
}

}  // namespace tw
