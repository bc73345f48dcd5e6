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

constexpr std::uint32_t kPow10Small[10] = {1,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};

// A fixed-size unsigned integer, 32-bit limbs, little end first. 40 limbs
// hold m * 10^341 (the smallest subnormal) and 2^1024 with room to spare.
struct Big {
  static constexpr int kLimbs = 40;
  std::uint32_t l[kLimbs];
  int n;

  void mul_small(std::uint32_t f) {
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      std::uint64_t t = std::uint64_t(l[i]) * f + carry;
      l[i] = std::uint32_t(t);
      carry = t >> 32;
    }
    if (carry != 0) l[n++] = std::uint32_t(carry);
  }
  void div_small(std::uint32_t q) {
    std::uint64_t rem = 0;
    for (int i = n - 1; i >= 0; --i) {
      std::uint64_t t = (rem << 32) | l[i];
      l[i] = std::uint32_t(t / q);
      rem = t % q;
    }
    while (n > 0 && l[n - 1] == 0) --n;
  }
  std::uint32_t limb(int i) const { return (i >= 0 && i < n) ? l[i] : 0; }
  // 64 bits of the value starting at bit sh.
  std::uint64_t bits_from(int sh) const {
    int li = sh / 32;
    int bi = sh % 32;
    u128 w = u128(limb(li)) | (u128(limb(li + 1)) << 32) | (u128(limb(li + 2)) << 64);
    return std::uint64_t(w >> bi);
  }
};

Big big_from(std::uint64_t m) {
  Big b;
  b.l[0] = std::uint32_t(m);
  b.l[1] = std::uint32_t(m >> 32);
  b.n = b.l[1] != 0 ? 2 : 1;
  return b;
}

void big_mul_pow10(Big& b, int s) {
  for (; s >= 9; s -= 9) b.mul_small(kPow10Small[9]);
  if (s > 0) b.mul_small(kPow10Small[s]);
}

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
  Big b = big_from(m);
  big_mul_pow10(b, s);
  return b.bits_from(sh);
}

// floor(m * 2^e / 10^t) for e >= 0, t > 0; the result is below 2^64.
std::uint64_t scale_down_decimal(std::uint64_t m, int e, int t) {
  Big b = big_from(m);
  // Shift left by e: whole limbs, then the rest.
  int whole = e / 32;
  int part = e % 32;
  if (whole > 0) {
    for (int i = b.n - 1; i >= 0; --i) b.l[i + whole] = b.l[i];
    for (int i = 0; i < whole; ++i) b.l[i] = 0;
    b.n += whole;
  }
  if (part > 0) b.mul_small(std::uint32_t(1) << part);
  for (; t >= 9; t -= 9) b.div_small(kPow10Small[9]);
  if (t > 0) b.div_small(kPow10Small[t]);
  return std::uint64_t(b.limb(0)) | (std::uint64_t(b.limb(1)) << 32);
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
  for (int i = 16; i >= 0; --i) {
    r.d[i] = char('0' + q % 10);
    q /= 10;
  }
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
