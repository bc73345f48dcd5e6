// Guards the sampling loops against running without end.
#pragma once

namespace tw {

inline constexpr long kMaxPasses = 100000000;

// True when stepping start by ratio reaches stop (or overflows, where the
// real loop then fails as it must) within kMaxPasses multiplications.
// Nothing here traps: the arithmetic runs with the traps held.
bool sampling_ends(double start, double ratio, double stop);
// The same for J, whose bound is ratio * top.
bool sampling_ends_bound(double start, double ratio, double top);

// Ends the run with M6301 unless the loop of the curve named by letter ends.
void require_end(char letter, double start, double ratio, double stop);
void require_end_bound(char letter, double start, double ratio, double top);

}  // namespace tw
