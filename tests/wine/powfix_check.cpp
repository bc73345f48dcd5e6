// Prints a digest of pow_rounded over a fixed set of pairs, made from raw
// bits without any library function, so that a native and a Windows build
// can be compared; writes the platform pow's raw results to the file named
// on the command line, for counting where two C libraries disagree.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "map/powfix.h"

namespace {

std::uint64_t state = 0x9E3779B97F4A7C15u;
std::uint64_t next() {  // xorshift64*
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return state * 0x2545F4914F6CDD1Du;
}
double make(int exp_lo, int exp_hi, bool sign) {
  std::uint64_t r = next();
  int e = exp_lo + static_cast<int>((r >> 52) % static_cast<std::uint64_t>(exp_hi - exp_lo + 1));
  std::uint64_t bits = (static_cast<std::uint64_t>(1023 + e) << 52) | (next() & ((1ull << 52) - 1));
  if (sign && (r & 1)) bits |= 1ull << 63;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  const int kPairs = 200000;
  std::FILE* raw = argc > 1 ? std::fopen(argv[1], "wb") : nullptr;
  std::uint64_t h = 1469598103934665603ull;
  int changed = 0;
  for (int i = 0; i < kPairs + 400; ++i) {
    double x, y;
    if (i < 400) {  // every grid ratio 10^(1/n)
      x = 10.0;
      y = 1.0 / (i + 1);
    } else {
      x = make(-40, 40, false);
      y = make(-12, 3, true);
    }
    double p = std::pow(x, y);
    double r = tw::pow_rounded(x, y, p);
    std::uint64_t b, pb;
    std::memcpy(&b, &r, sizeof b);
    std::memcpy(&pb, &p, sizeof pb);
    if (b != pb) ++changed;
    for (int k = 0; k < 8; ++k) h = (h ^ ((b >> (8 * k)) & 0xff)) * 1099511628211ull;
    if (raw) std::fwrite(&pb, sizeof pb, 1, raw);
  }
  if (raw) std::fclose(raw);
  std::printf("pairs %d digest %016llx pow-corrected %d\n", kPairs + 400,
              static_cast<unsigned long long>(h), changed);
  return 0;
}
