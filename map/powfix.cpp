#include "map/powfix.h"

#include <bit>
#include <cstdint>

// x^y = 2^k * exp(r) with y*log(x) = k*ln2 + r, all in double-double: pairs
// (hi, lo) of doubles whose sum carries about 106 bits. Only +, -, * and /
// are used, and the build never fuses them, so every compiler gets the same
// bits. The double-double value decides the rounding unless it lies within
// its error bound of a half-way point; exact half-way cases are then found
// with integer arithmetic and rounded to even.

namespace tw {

namespace {

using u64 = std::uint64_t;

struct DD {
  double hi, lo;
};

DD two_sum(double a, double b) {
  double s = a + b;
  double bb = s - a;
  double e = (a - (s - bb)) + (b - bb);
  return {s, e};
}

// Needs |a| >= |b| (or a == 0).
DD fast_two_sum(double a, double b) {
  double s = a + b;
  double e = b - (s - a);
  return {s, e};
}

void split(double a, double* hi, double* lo) {
  double t = 134217729.0 * a;  // 2^27 + 1
  double h = t - (t - a);
  *hi = h;
  *lo = a - h;
}

// The exact product as a pair, without a fused multiply-add.
DD two_prod(double a, double b) {
  double p = a * b;
  double ah, al, bh, bl;
  split(a, &ah, &al);
  split(b, &bh, &bl);
  double e = (((ah * bh - p) + ah * bl) + al * bh) + al * bl;
  return {p, e};
}

DD neg(DD a) { return {-a.hi, -a.lo}; }

DD add(DD a, DD b) {
  DD s = two_sum(a.hi, b.hi);
  DD t = two_sum(a.lo, b.lo);
  s.lo += t.hi;
  s = fast_two_sum(s.hi, s.lo);
  s.lo += t.lo;
  return fast_two_sum(s.hi, s.lo);
}

DD add_d(DD a, double b) {
  DD s = two_sum(a.hi, b);
  s.lo += a.lo;
  return fast_two_sum(s.hi, s.lo);
}

DD mul(DD a, DD b) {
  DD p = two_prod(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return fast_two_sum(p.hi, p.lo);
}

DD mul_d(DD a, double b) {
  DD p = two_prod(a.hi, b);
  p.lo += a.lo * b;
  return fast_two_sum(p.hi, p.lo);
}

DD div(DD a, DD b) {
  double q1 = a.hi / b.hi;
  DD r = add(a, neg(mul_d(b, q1)));
  double q2 = r.hi / b.hi;
  r = add(r, neg(mul_d(b, q2)));
  double q3 = r.hi / b.hi;
  return add_d(fast_two_sum(q1, q2), q3);
}

DD div_d(DD a, double b) { return div(a, DD{b, 0.0}); }

// ln 2 in three parts; the first two are the usual double-double pair.
constexpr double kLn2Hi = 6.93147180559945286227e-01;
constexpr double kLn2Lo = 2.31904681384629955842e-17;
constexpr double kLn2Lo2 = 5.70770843841621207588e-34;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kSqrt2 = 1.41421356237309514547e+00;

constexpr int kLogTerms = 23;  // |s| <= 0.172: s^46 / 47 < 2^-116
constexpr int kExpTerms = 14;  // |r| <= 0.011: r^14 / 14! < 2^-117
constexpr int kExpHalvings = 5;

struct Tables {
  DD odd_inv[kLogTerms];   // 1 / (2j + 1)
  DD fact_inv[kExpTerms];  // 1 / n!
};

Tables make_tables() {
  Tables t{};
  for (int j = 0; j < kLogTerms; ++j) t.odd_inv[j] = div_d(DD{1.0, 0.0}, 2.0 * j + 1.0);
  double f = 1.0;
  for (int n = 0; n < kExpTerms; ++n) {
    if (n > 0) f *= n;  // exact up to 22!
    t.fact_inv[n] = div_d(DD{1.0, 0.0}, f);
  }
  return t;
}

const Tables& tables() {
  static const Tables t = make_tables();
  return t;
}

// log m for m in [sqrt(1/2), sqrt(2)]: 2 atanh(s), s = (m - 1) / (m + 1).
DD log_reduced(double m) {
  const Tables& tb = tables();
  DD s = div(DD{m - 1.0, 0.0}, two_sum(m, 1.0));  // m - 1 is exact here
  DD s2 = mul(s, s);
  DD q = tb.odd_inv[kLogTerms - 1];
  for (int j = kLogTerms - 2; j >= 0; --j) q = add(tb.odd_inv[j], mul(s2, q));
  DD l = mul(s, q);
  return {2.0 * l.hi, 2.0 * l.lo};
}

// exp r for |r| <= 0.36: Taylor series on r / 32, then squared five times.
DD exp_reduced(DD r) {
  const Tables& tb = tables();
  const double scale = 1.0 / (1 << kExpHalvings);
  DD u{r.hi * scale, r.lo * scale};
  DD p = tb.fact_inv[kExpTerms - 1];
  for (int n = kExpTerms - 2; n >= 0; --n) p = add(tb.fact_inv[n], mul(u, p));
  for (int i = 0; i < kExpHalvings; ++i) p = mul(p, p);
  return p;
}

u64 bits(double d) { return std::bit_cast<u64>(d); }
double from_bits(u64 b) { return std::bit_cast<double>(b); }
int exp_field(u64 b) { return static_cast<int>((b >> 52) & 0x7ff); }
constexpr u64 kFrac = (u64{1} << 52) - 1;

double two_pow(int k) { return from_bits(static_cast<u64>(1023 + k) << 52); }

// y = p / q in lowest terms with q a power of two up to 32 and 0 < p <= 40.
// Larger p or q cannot give a half-way point (see is_exact_midpoint).
bool small_ratio(double y, int* p, int* q) {
  if (!(y > 0.0) || y > 40.0) return false;
  for (int qq = 1; qq <= 32; qq *= 2) {
    double t = y * qq;  // exact
    int pp = static_cast<int>(t);
    if (static_cast<double>(pp) == t) {
      if (pp > 40) return false;
      *p = pp;
      *q = qq;
      return true;
    }
  }
  return false;
}

// Numbers of up to 40 limbs of 64 bits, enough for 2200 bits.
constexpr int kLimbs = 40;
struct Big {
  u64 limb[kLimbs];
  int n;
};

bool big_mul_small(Big* b, u64 v) {
  unsigned __int128 carry = 0;
  for (int i = 0; i < b->n; ++i) {
    unsigned __int128 t = static_cast<unsigned __int128>(b->limb[i]) * v + carry;
    b->limb[i] = static_cast<u64>(t);
    carry = t >> 64;
  }
  if (carry != 0) {
    if (b->n == kLimbs) return false;
    b->limb[b->n++] = static_cast<u64>(carry);
  }
  return true;
}

bool big_power(u64 base, int e, Big* out) {
  out->limb[0] = 1;
  out->n = 1;
  for (int i = 0; i < e; ++i)
    if (!big_mul_small(out, base)) return false;
  return true;
}

// Whether x^y is exactly b * 2^eb, b odd with 54 bits. With y = p / q in
// lowest terms and x = a * 2^ea, a odd: a^p = b^q, so a = c^q and b = c^p
// for an odd c >= 3; b < 2^54 bounds p by 34 and a < 2^53 bounds q by 33.
bool is_exact_midpoint(double x, double y, u64 b, long eb) {
  int p = 0, q = 0;
  if (!small_ratio(y, &p, &q)) return false;
  u64 ux = bits(x);
  int ex = exp_field(ux);
  u64 a = ux & kFrac;
  long ea = -1074;
  if (ex != 0) {
    a |= u64{1} << 52;
    ea = ex - 1075;
  }
  if (a == 0) return false;
  while ((a & 1) == 0) {
    a >>= 1;
    ++ea;
  }
  if (a == 1) return false;
  if (ea * p != eb * q) return false;
  Big ap, bq;
  if (!big_power(a, p, &ap) || !big_power(b, q, &bq)) return false;
  if (ap.n != bq.n) return false;
  for (int i = 0; i < ap.n; ++i)
    if (ap.limb[i] != bq.limb[i]) return false;
  return true;
}

// The correctly rounded value of x^y for x > 0, both finite, x^y within the
// normal range by a wide margin; 0 when that cannot be told here.
double pow_positive(double x, double y) {
  const double x0 = x;
  u64 ux = bits(x);
  int ex = exp_field(ux);
  int e = 0;
  if (ex == 0) {  // subnormal: scale up, exactly
    x = x * 18014398509481984.0;  // 2^54
    e = -54;
    ux = bits(x);
    ex = exp_field(ux);
  }
  e += ex - 1023;
  double m = from_bits((ux & kFrac) | (u64{1023} << 52));  // [1, 2)
  if (m > kSqrt2) {
    m = m * 0.5;
    e += 1;
  }

  const double ed = static_cast<double>(e);
  DD eln2 = two_prod(ed, kLn2Hi);
  eln2.lo += ed * kLn2Lo + ed * kLn2Lo2;
  eln2 = fast_two_sum(eln2.hi, eln2.lo);
  DD lx = add(eln2, log_reduced(m));
  DD t = mul_d(lx, y);
  // Far from both ends of the range, so that 2^k stays a normal number.
  if (t.hi > 700.0 || t.hi < -700.0) return 0.0;

  double kd = t.hi * kInvLn2;
  int k = static_cast<int>(kd >= 0.0 ? kd + 0.5 : kd - 0.5);
  const double kk = static_cast<double>(k);
  DD r = add(t, neg(two_prod(kk, kLn2Hi)));
  r = add_d(r, -(kk * kLn2Lo));
  r = add_d(r, -(kk * kLn2Lo2));
  DD v = exp_reduced(r);
  v = fast_two_sum(v.hi, v.lo);

  double c = v.hi;
  if (v.lo != 0.0) {
    // The neighbour of hi on the side of lo, and the half-way point.
    u64 uh = bits(v.hi);
    double n = from_bits(v.lo > 0.0 ? uh + 1 : uh - 1);
    double half = (n - v.hi) * 0.5;
    double lo_abs = v.lo > 0.0 ? v.lo : -v.lo;
    double half_abs = half > 0.0 ? half : -half;
    double diff = lo_abs - half_abs;
    // The error of the double-double value, with a wide margin.
    const double eps = v.hi * 3.2311742677852644e-27;  // 2^-88
    if (diff > eps) {
      c = n;
    } else if (diff >= -eps) {
      double lower = n < v.hi ? n : v.hi;
      u64 ul = bits(lower);
      u64 b = 2 * ((ul & kFrac) | (u64{1} << 52)) + 1;
      long eb = static_cast<long>(exp_field(ul)) - 1076 + k;
      if (is_exact_midpoint(x0, y, b, eb)) {
        c = (bits(v.hi) & 1) == 0 ? v.hi : n;  // ties to even
      } else {
        c = diff > 0.0 ? n : v.hi;
      }
    }
  }
  return c * two_pow(k);
}

// The map's sampling loops raise the same number to the same power at every
// point; the last answer is kept (the program has one thread).
struct Last {
  u64 x, y, approx, result;
  bool valid;
};
Last g_last = {0, 0, 0, 0, false};

double pow_checked(double x, double y, double approx);

}  // namespace

double pow_rounded(double x, double y, double approx) {
  u64 ux = bits(x), uy = bits(y), ua = bits(approx);
  if (g_last.valid && g_last.x == ux && g_last.y == uy && g_last.approx == ua)
    return from_bits(g_last.result);
  double r = pow_checked(x, y, approx);
  g_last = {ux, uy, ua, bits(r), true};
  return r;
}

namespace {

double pow_checked(double x, double y, double approx) {
  u64 ux = bits(x), uy = bits(y), ua = bits(approx);
  if (exp_field(ux) == 0x7ff || exp_field(uy) == 0x7ff) return approx;
  if ((ux << 1) == 0 || (uy << 1) == 0) return approx;  // x or y zero
  if (exp_field(ua) == 0x7ff || exp_field(ua) == 0) return approx;  // result 0, subnormal, inf, NaN
  if (exp_field(uy) >= 1023 + 64) return approx;  // |y| >= 2^64: 1, 0 or inf
  bool negate = false;
  if (ux >> 63) {
    // A negative base only with an integer exponent; its parity gives the sign.
    int ey = exp_field(uy) - 1075;  // y = mantissa * 2^ey
    u64 mant = (uy & kFrac) | (u64{1} << 52);
    if (ey < -52) return approx;
    if (ey < 0) {
      if (mant & ((u64{1} << -ey) - 1)) return approx;
      negate = ((mant >> -ey) & 1) != 0;
    } else if (ey == 0) {
      negate = (mant & 1) != 0;
    }
    x = -x;
    ux = bits(x);
  }
  if (ux == bits(1.0) || uy == bits(1.0)) return approx;
  double r;
  if (uy == bits(2.0) && exp_field(ux) > 1023 - 500 && exp_field(ux) < 1023 + 500) {
    r = x * x;  // correctly rounded by the hardware, half-way cases too
  } else {
    r = pow_positive(x, y);
    if (r == 0.0) return approx;
  }
  // Only a neighbour of the platform's value is taken: a result further off
  // would mean a fault here rather than in the platform.
  u64 ur = bits(r);
  u64 ua_abs = ua & ~(u64{1} << 63);
  u64 gap = ur > ua_abs ? ur - ua_abs : ua_abs - ur;
  if (gap > 1) return approx;
  return negate ? -r : r;
}

}  // namespace

}  // namespace tw
