#include "map/mathfn.h"

#include <cmath>

namespace tw {

double pw(double x, double y) { return std::pow(x, y); }
double sq(double x) { return std::sqrt(x); }

}  // namespace tw
