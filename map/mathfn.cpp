#include "map/mathfn.h"

#include <cfenv>
#include <cmath>

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

// Underflow is no failure: the result is used as it came.
void check(const char* routine, int flags, double r) {
  if (flags & FE_INVALID) fail_routine(routine, RoutineErr::Domain);
  if (flags & FE_DIVBYZERO) fail_routine(routine, RoutineErr::Sing);
  if ((flags & FE_OVERFLOW) && std::isinf(r)) fail_routine(routine, RoutineErr::Overflow);
}

}  // namespace

double pw(double x, double y) {
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
