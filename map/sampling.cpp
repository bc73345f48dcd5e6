#include "map/sampling.h"

#include <cfenv>
#include <cmath>

#include "output/failure.h"

namespace tw {

namespace {

// The same multiplications, in the same order, as the real loop.
bool walk(double v, double ratio, double stop) {
  for (long k = 0; k < kMaxPasses; ++k) {
    v = v * ratio;
    if (std::isinf(v)) return true;  // the real loop traps here
    if (!(v < stop)) return true;
  }
  return false;
}

bool held_walk(double start, double ratio, double stop, bool bound) {
  std::fenv_t saved;
  std::feholdexcept(&saved);
  volatile double vs = start, vr = ratio, vt = stop;
  double s = vt;
  if (bound) s = vr * vt;
  volatile bool ends = walk(vs, vr, s);
  std::fesetenv(&saved);
  return ends;
}

[[noreturn]] void refuse(char letter) {
  char msg[] = "sampling never ends: Transtion X";
  msg[sizeof msg - 2] = letter;
  fail_math(6301, msg);
}

}  // namespace

bool sampling_ends(double start, double ratio, double stop) {
  return held_walk(start, ratio, stop, false);
}

bool sampling_ends_bound(double start, double ratio, double top) {
  return held_walk(start, ratio, top, true);
}

void require_end(char letter, double start, double ratio, double stop) {
  if (!sampling_ends(start, ratio, stop)) refuse(letter);
}

void require_end_bound(char letter, double start, double ratio, double top) {
  if (!sampling_ends_bound(start, ratio, top)) refuse(letter);
}

}  // namespace tw
