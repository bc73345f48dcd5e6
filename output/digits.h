// Exact decimal digits of a double, with integer arithmetic only: the
// floating-point traps stay on while we print, so no floating-point
// operation may happen here.
#pragma once

#include <cstdint>

namespace tw {

// The first 18 significant decimal digits of |v|, cut (not rounded), as an
// integer D18 in [10^17, 10^18), and x with |v| = 0.D18... * 10^x.
// v must be finite and not zero.
struct Digits18 {
  std::uint64_t d18;
  int x;
};
Digits18 digits18(double v);

// The digit string both real forms start from: 18 exact digits rounded
// half up to 17 by the 18th, trailing zeros dropped. |v| = 0.d1 d2 ... * 10^x.
// Zero of either sign is the one digit 0 with x = 0 and no sign.
struct DecDigits {
  char d[17];  // ASCII digits, d[0] is not '0' unless the value is zero
  int n;       // 1 to 17
  int x;
  bool neg;    // sign bit of a non-zero value
  bool zero;
};
DecDigits decimal_digits(double v);

// Rounds the string half up to n digits (n >= 0, at most 16 used): a carry
// out of the first digit gives 1 and raises x. n = 0 leaves the one digit 1
// (carry) or nothing. Digits of a shorter string are left as they are.
void round_digits(DecDigits& dd, int n);

}  // namespace tw
