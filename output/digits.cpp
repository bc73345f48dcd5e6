#include "output/digits.h"

#include <bit>

namespace tw {

namespace {

using u128 = unsigned __int128;

constexpr std::uint64_t kE17 = 100000000000000000ull;
constexpr std::uint64_t kE18 = 1000000000000000000ull;

struct Pow10Table {
  u128 p[39];
  constexpr Pow10Table() : p{} {
    p[0] = 1;
    for (int i = 1; i < 39; ++i) p[i] = p[i - 1] * 10;
  }
};
constexpr Pow10Table kPow10;  // 10^38 is the largest below 2^128

// Powers of five that fit a limb: 10^s = 5^s * 2^s, and the factor 2^s
// is a shift, so the big numbers stay a third shorter.
struct Pow5Table {
  std::uint64_t p[28];
  constexpr Pow5Table() : p{} {
    p[0] = 1;
    for (int i = 1; i < 28; ++i) p[i] = p[i - 1] * 5;
  }
};
constexpr Pow5Table kPow5;  // 5^27 is the largest below 2^64

// m * 5^s with 64-bit limbs, little end first: 5^341 * 2^53 needs 13.
struct BigMul {
  static constexpr int kLimbs = 16;
  std::uint64_t l[kLimbs];
  int n;

  void mul(std::uint64_t f) {
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      u128 t = u128(l[i]) * f + carry;
      l[i] = std::uint64_t(t);
      carry = std::uint64_t(t >> 64);
    }
    if (carry != 0) l[n++] = carry;
  }
  std::uint64_t limb(int i) const { return i < n ? l[i] : 0; }
  // The 64 bits of the value starting at bit sh.
  std::uint64_t bits_from(int sh) const {
    int li = sh / 64;
    int bi = sh % 64;
    u128 w = u128(limb(li)) | (u128(limb(li + 1)) << 64);
    return std::uint64_t(w >> bi);
  }
};

// A big number divided down by powers of five, 32-bit limbs so that each
// step is one hardware division: 2^1024 needs 33.
struct BigDiv {
  static constexpr int kLimbs = 36;
  std::uint32_t l[kLimbs];
  int n;

  void div(std::uint32_t q) {
    std::uint64_t rem = 0;
    for (int i = n - 1; i >= 0; --i) {
      std::uint64_t t = (rem << 32) | l[i];
      l[i] = std::uint32_t(t / q);
      rem = t % q;
    }
    while (n > 0 && l[n - 1] == 0) --n;
  }
};

// floor(m * 10^s / 2^sh) for s >= 0, sh > 0; the result is below 2^64.
std::uint64_t scale_down_binary(std::uint64_t m, int s, int sh) {
  if (s <= 38) {
    // m * 10^s in 192 bits: two 64x64 products.
    u128 p = kPow10.p[s];
    u128 lo = u128(m) * std::uint64_t(p);
    u128 hi = u128(m) * std::uint64_t(p >> 64);
    std::uint64_t w0 = std::uint64_t(lo);
    u128 mid = (lo >> 64) + std::uint64_t(hi);
    std::uint64_t w1 = std::uint64_t(mid);
    std::uint64_t w2 = std::uint64_t(hi >> 64) + std::uint64_t(mid >> 64);
    if (sh >= 128) return w2 >> (sh - 128);
    if (sh >= 64) {
      u128 t = (u128(w2) << 64) | w1;
      return std::uint64_t(t >> (sh - 64));
    }
    u128 t = (u128(w1) << 64) | w0;
    return std::uint64_t(t >> sh);  // w2 lies above the 64 bits we keep
  }
  // Here v < 10^-21, so sh exceeds s by far: m * 5^s, then shift by sh - s.
  BigMul b;
  b.l[0] = m;
  b.n = 1;
  int t = s;
  for (; t >= 27; t -= 27) b.mul(kPow5.p[27]);
  if (t > 0) b.mul(kPow5.p[t]);
  return b.bits_from(sh - s);
}

// floor(m * 2^e / 10^t) for e >= t > 0 (v >= 10^18); the result is below 2^64.
// Nested floors are exact: shift by t first, then divide by 5^t.
std::uint64_t scale_down_decimal(std::uint64_t m, int e, int t) {
  BigDiv b;
  int sh = e - t;
  int whole = sh / 32;
  int part = sh % 32;
  for (int i = 0; i < whole; ++i) b.l[i] = 0;
  u128 w = u128(m) << part;  // m < 2^53, part < 32: below 2^85
  b.l[whole] = std::uint32_t(w);
  b.l[whole + 1] = std::uint32_t(w >> 32);
  b.l[whole + 2] = std::uint32_t(w >> 64);
  b.n = whole + 3;
  while (b.n > 0 && b.l[b.n - 1] == 0) --b.n;
  constexpr std::uint32_t k5_13 = 1220703125u;  // 5^13, the largest below 2^32
  for (; t >= 13; t -= 13) b.div(k5_13);
  if (t > 0) b.div(std::uint32_t(kPow5.p[t]));
  std::uint64_t lo = b.n > 0 ? b.l[0] : 0;
  std::uint64_t hi = b.n > 1 ? b.l[1] : 0;
  return lo | (hi << 32);
}

struct PairTable {
  char c[200];
  constexpr PairTable() : c{} {
    for (int i = 0; i < 100; ++i) {
      c[2 * i] = char('0' + i / 10);
      c[2 * i + 1] = char('0' + i % 10);
    }
  }
};
constexpr PairTable kPairs;

void put2(char* p, std::uint32_t v) {
  p[0] = kPairs.c[2 * v];
  p[1] = kPairs.c[2 * v + 1];
}
void put8(char* p, std::uint32_t v) {
  std::uint32_t a = v / 10000;
  std::uint32_t b = v % 10000;
  put2(p, a / 100);
  put2(p + 2, a % 100);
  put2(p + 4, b / 100);
  put2(p + 6, b % 100);
}

}  // namespace

Digits18 digits18(double v) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  int be = int((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t(1) << 52) - 1);
  int e;
  if (be == 0) {
    e = -1074;  // subnormal
  } else {
    m |= std::uint64_t(1) << 52;
    e = be - 1075;
  }
  // floor(log2 v), then k = floor(log10 v) or one less; the multiplier
  // 78913 / 2^18 gives floor(e2 * log10 2) exactly over the double range.
  int e2 = e + (63 - std::countl_zero(m));
  int k = (e2 * 78913) >> 18;
  // With s = 17 - k, v * 10^s lies in [10^17, 2 * 10^18).
  int s = 17 - k;
  std::uint64_t d;
  if (e >= 0) {
    if (s >= 0)
      d = (m << e) * std::uint64_t(kPow10.p[s]);  // an integer below 2 * 10^18
    else
      d = scale_down_decimal(m, e, -s);
  } else {
    // e < 0 means v < 2^53, so s >= 0 here.
    d = scale_down_binary(m, s, -e);
  }
  if (d >= kE18) {
    d /= 10;  // floor of a floor by 10 is the floor of the value by 10
    --s;
  }
  return Digits18{d, 18 - s};
}

DecDigits decimal_digits(double v) {
  DecDigits r;
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  if ((bits << 1) == 0) {
    r.d[0] = '0';
    r.n = 1;
    r.x = 0;
    r.neg = false;
    r.zero = true;
    return r;
  }
  r.neg = (bits >> 63) != 0;
  r.zero = false;
  Digits18 t = digits18(v);
  std::uint64_t q = t.d18 / 10;
  if (t.d18 % 10 >= 5) ++q;
  r.x = t.x;
  if (q == kE17) {  // 99...9 carried out of the first digit
    q = kE17 / 10;
    ++r.x;
  }
  // 17 digits: 9 from the high part, 8 from the low, two at a time.
  std::uint32_t hi = std::uint32_t(q / 100000000u);
  std::uint32_t lo = std::uint32_t(q % 100000000u);
  r.d[0] = char('0' + hi / 100000000u);
  put8(r.d + 1, hi % 100000000u);
  put8(r.d + 9, lo);
  int n = 17;
  while (n > 1 && r.d[n - 1] == '0') --n;
  r.n = n;
  return r;
}

void round_digits(DecDigits& dd, int n) {
  if (n > 16) n = 16;
  if (n < 0) n = 0;
  if (dd.n <= n) return;
  if (dd.d[n] < '5') {
    dd.n = n;
    return;
  }
  int j = n - 1;
  while (j >= 0 && dd.d[j] == '9') --j;
  if (j < 0) {
    dd.d[0] = '1';
    dd.n = 1;
    ++dd.x;
    return;
  }
  ++dd.d[j];
  dd.n = j + 1;
}

}  // namespace tw
