// The free-form read: one answer into a list of targets. Input is fetched
// in pieces of at most 132 bytes and whatever a request leaves unread is
// kept for the next one.
#include "menu/reader.h"

#include <bit>
#include <cstdint>

#include "output/fileio.h"

namespace tw {

namespace {

constexpr char kCtrlZ = 26;

// ---------------------------------------------------------------------------
// Input pieces

struct Input {
  char buf[kReadPiece + 1];  // room for the line feed added to a short piece
  int len;
  int pos;
  bool need_check;  // console: the line starting at pos is not checked yet
  bool after_lf;    // the last byte taken was a line feed, or none was taken
};

Input g_in = {{}, 0, 0, true, true};
bool g_console = false;

enum class Got { Char, Eof, Fail, Overlong };

Got fetch() {
  g_in.pos = 0;
  g_in.len = 0;
  long r = console_fetch(g_in.buf, kReadPiece);
  if (r < 0) return Got::Fail;
  if (r == 0) return Got::Eof;
  if (r > kReadPiece) r = kReadPiece;
  int n = static_cast<int>(r);
  // Not a console: a piece whose third byte from the end is Ctrl-Z ends it.
  if (!g_console && n >= 3 && g_in.buf[n - 3] == kCtrlZ) return Got::Eof;
  g_in.len = n;
  if (n < kReadPiece && g_in.buf[n - 1] != '\n') g_in.buf[g_in.len++] = '\n';
  g_in.need_check = true;
  return Got::Char;
}

// Drops everything up to and including the next line feed, fetching as
// needed; continuation pieces of the line are not checked as lines.
Got skip_past_lf() {
  for (;;) {
    if (g_in.pos >= g_in.len) {
      Got g = fetch();
      if (g != Got::Char) return g;
    }
    char c = g_in.buf[g_in.pos++];
    if (c == '\n') {
      g_in.after_lf = true;
      g_in.need_check = true;
      return Got::Char;
    }
    g_in.after_lf = false;
  }
}

// A console line must fit the buffer: at most 130 characters before its
// line end. Ctrl-Z just before the line end is the end of input (Windows
// sends "^Z\r\n", a POSIX terminal "^Z\n"), and the line goes with it.
Got check_console_line() {
  g_in.need_check = false;
  int e = g_in.pos;
  while (e < g_in.len && g_in.buf[e] != '\r' && g_in.buf[e] != '\n') ++e;
  if (e == g_in.len) {
    // A whole piece without a line end: the line did not fit. A line that
    // starts inside a piece goes on in the next one and is checked there.
    return g_in.pos == 0 ? Got::Overlong : Got::Char;
  }
  if (e - g_in.pos > kMaxConsoleLine) return Got::Overlong;
  if (e > g_in.pos && g_in.buf[e - 1] == kCtrlZ) {
    skip_past_lf();
    return Got::Eof;
  }
  return Got::Char;
}

Got next(char* c) {
  if (g_in.pos >= g_in.len) {
    Got g = fetch();
    if (g != Got::Char) return g;
  }
  if (g_console && g_in.need_check) {
    Got g = check_console_line();
    if (g != Got::Char) return g;
  }
  *c = g_in.buf[g_in.pos++];
  g_in.after_lf = *c == '\n';
  if (g_in.after_lf) g_in.need_check = true;
  return Got::Char;
}

// ---------------------------------------------------------------------------
// Integer conversion

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return -1;
}

// ---------------------------------------------------------------------------
// Exact decimal to double, in integers only: the program runs with
// floating-point traps on, and 1e400 must be a failed read, not a trap.

constexpr int kLimbs = 48;  // 1536 bits: 10^348 shifted by 64 still fits

struct Big {
  std::uint32_t d[kLimbs];
  int n;  // limbs in use; d[n-1] != 0 unless n == 0
};

void big_set(Big& b, std::uint64_t v) {
  b.n = 0;
  while (v) {
    b.d[b.n++] = static_cast<std::uint32_t>(v);
    v >>= 32;
  }
}

void big_mul_add(Big& b, std::uint32_t m, std::uint32_t a) {
  std::uint64_t carry = a;
  for (int i = 0; i < b.n; ++i) {
    std::uint64_t t = static_cast<std::uint64_t>(b.d[i]) * m + carry;
    b.d[i] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  if (carry && b.n < kLimbs) b.d[b.n++] = static_cast<std::uint32_t>(carry);
}

int big_bits(const Big& b) {
  if (b.n == 0) return 0;
  return (b.n - 1) * 32 + (32 - std::countl_zero(b.d[b.n - 1]));
}

bool big_bit(const Big& b, int i) {
  int limb = i / 32;
  return limb < b.n && ((b.d[limb] >> (i % 32)) & 1u);
}

void big_shl(Big& b, int s) {
  if (b.n == 0 || s == 0) return;
  int limbs = s / 32, bits = s % 32;
  int n = b.n + limbs + 1;
  if (n > kLimbs) n = kLimbs;
  for (int i = n - 1; i >= 0; --i) {
    int src = i - limbs;
    std::uint32_t hi = (src >= 0 && src < b.n) ? b.d[src] : 0;
    std::uint32_t lo = (src - 1 >= 0 && src - 1 < b.n) ? b.d[src - 1] : 0;
    b.d[i] = bits ? (hi << bits) | (lo >> (32 - bits)) : hi;
  }
  b.n = n;
  while (b.n > 0 && b.d[b.n - 1] == 0) --b.n;
}

void big_shr1(Big& b) {
  for (int i = 0; i < b.n; ++i) {
    std::uint32_t next = i + 1 < b.n ? b.d[i + 1] : 0;
    b.d[i] = (b.d[i] >> 1) | (next << 31);
  }
  while (b.n > 0 && b.d[b.n - 1] == 0) --b.n;
}

int big_cmp(const Big& a, const Big& b) {
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  for (int i = a.n - 1; i >= 0; --i)
    if (a.d[i] != b.d[i]) return a.d[i] < b.d[i] ? -1 : 1;
  return 0;
}

void big_sub(Big& a, const Big& b) {  // a >= b
  std::int64_t borrow = 0;
  for (int i = 0; i < a.n; ++i) {
    std::int64_t t = static_cast<std::int64_t>(a.d[i]) - (i < b.n ? b.d[i] : 0) - borrow;
    borrow = t < 0;
    a.d[i] = static_cast<std::uint32_t>(t + (borrow << 32));
  }
  while (a.n > 0 && a.d[a.n - 1] == 0) --a.n;
}

void big_pow10(Big& b, int e) {
  for (; e >= 9; e -= 9) big_mul_add(b, 1000000000u, 0);
  std::uint32_t m = 1;
  while (e-- > 0) m *= 10;
  big_mul_add(b, m, 0);
}

// q * 2^e2, plus a little more when sticky, rounded to the nearest double
// (ties to even). False when the result is beyond the largest double.
bool to_double(std::uint64_t q, int e2, bool sticky, bool neg, double* out) {
  int b = 64 - std::countl_zero(q);
  int ex = b - 1 + e2;
  if (ex > 1023) return false;
  bool normal = ex >= -1022;
  int drop = normal ? b - 53 : -1074 - e2;
  std::uint64_t m;
  if (drop <= 0) {
    m = q << -drop;
  } else if (drop > 64) {
    m = 0;
  } else {
    m = drop == 64 ? 0 : q >> drop;
    std::uint64_t rem = drop == 64 ? q : q & ((std::uint64_t{1} << drop) - 1);
    std::uint64_t half = std::uint64_t{1} << (drop - 1);
    if (rem > half || (rem == half && (sticky || (m & 1)))) ++m;
  }
  std::uint64_t bits;
  if (normal) {
    if (m == (std::uint64_t{1} << 53)) {
      m >>= 1;
      ++ex;
      if (ex > 1023) return false;
    }
    bits = (static_cast<std::uint64_t>(ex + 1023) << 52) | (m & ((std::uint64_t{1} << 52) - 1));
  } else {
    bits = m;  // 2^52 after a carry is the smallest normal, as wanted
  }
  if (neg) bits |= std::uint64_t{1} << 63;
  *out = std::bit_cast<double>(bits);
  return true;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// ---------------------------------------------------------------------------
// One request

struct Request {
  char last_sep;  // ',', ' ' or '/'
  int repeat;     // further targets that take the current value again
  char text[kMaxValueText];
  int text_len;
  bool too_long;  // the value had more than kMaxValueText characters
  bool line_end;  // the last value scanned was ended by a line end
};

enum class Scan { Value, Eof, Fail, Overlong };

Scan from_got(Got g) {
  return g == Got::Eof ? Scan::Eof : g == Got::Overlong ? Scan::Overlong : Scan::Fail;
}

// A complex or quoted value: skipped up to its closing character, which may
// be on a later line; then a failure for the targets we have.
Scan skip_delimited(char open) {
  char close = open == '(' ? ')' : open;
  for (;;) {
    char c;
    Got g = next(&c);
    if (g != Got::Char) return from_got(g);
    if (c == '\n') console_line_end_consumed();
    if (c == close) return Scan::Fail;
  }
}

Scan scan_value(Request& q) {
  q.text_len = 0;
  q.too_long = false;
  for (;;) {
    char c;
    Got g = next(&c);
    if (g != Got::Char) return from_got(g);
    bool empty = q.text_len == 0;
    switch (c) {
      case '\r':
      case '\n': {
        // The rest of the line goes; the line end then acts as a blank.
        if (c == '\r') {
          Got s = skip_past_lf();
          if (s == Got::Fail) return Scan::Fail;
        }
        console_line_end_consumed();
        if (empty && q.repeat == 0) break;
        q.last_sep = ' ';
        q.line_end = true;
        return Scan::Value;
      }
      case ' ':
      case '\t':
        if (empty && q.repeat == 0) break;
        q.last_sep = ' ';
        q.line_end = false;
        return Scan::Value;
      case ',':
        if (empty && q.last_sep == ' ' && q.repeat == 0) {
          q.last_sep = ',';
          break;
        }
        q.last_sep = ',';
        q.line_end = false;
        return Scan::Value;
      case '/':
        q.last_sep = '/';
        q.line_end = false;
        return Scan::Value;
      case '*': {
        std::int32_t r = 0;
        // A count below 1, a minus sign included, is refused: such a count
        // would hand the next value to every remaining target.
        if (empty || q.too_long || q.repeat > 0) return Scan::Fail;
        if (!convert_int(q.text, q.text_len, &r) || r < 1) return Scan::Fail;
        q.repeat = r - 1;
        q.text_len = 0;
        break;
      }
      case '(':
      case '\'':
      case '"':
        if (empty) return skip_delimited(c);
        [[fallthrough]];
      default:
        if (q.text_len < kMaxValueText)
          q.text[q.text_len++] = c;
        else
          q.too_long = true;
        break;
    }
  }
}

bool assign(const Target& t, const Request& q) {
  if (q.too_long) return false;
  if (t.kind == Target::Int) {
    std::int32_t v;
    if (!convert_int(q.text, q.text_len, &v)) return false;
    *static_cast<std::int32_t*>(t.p) = v;
  } else {
    double v;
    if (!convert_real(q.text, q.text_len, &v)) return false;
    *static_cast<double*>(t.p) = v;
  }
  return true;
}

// After a failure a shared console loses the rest of the current line; a
// line whose end has been taken already is not the current one any more.
ReadOutcome failed(Scan why) {
  if (g_console) {
    if (why == Scan::Overlong || !g_in.after_lf) skip_past_lf();
  }
  return ReadOutcome::Failed;
}

}  // namespace

bool convert_int(const char* s, int len, std::int32_t* out) {
  static const char kMin[] = "-2147483648";
  if (len == 11) {
    bool same = true;
    for (int i = 0; i < 11; ++i) same = same && s[i] == kMin[i];
    if (same) {
      *out = INT32_MIN;
      return true;
    }
  }
  int i = 0;
  bool neg = false;
  if (len > 0 && (s[0] == '+' || s[0] == '-')) {
    neg = s[0] == '-';
    i = 1;
  }
  std::uint64_t v = 0;
  std::uint64_t base = 10;
  bool hash = false;
  int digits = 0;
  for (; i < len; ++i) {
    char c = s[i];
    if (c == '#') {
      if (hash) return false;
      hash = true;
      if (digits == 0) v = 16;
      if (v < 2 || v > 36) return false;
      base = v;
      v = 0;
      digits = 0;
      continue;
    }
    int d = digit_value(c);
    if (d < 0 || static_cast<std::uint64_t>(d) >= base) return false;
    v = v * base + static_cast<std::uint64_t>(d);
    if (v > 0xFFFFFFFFu) return false;
    ++digits;
  }
  if (hash && digits == 0) return false;  // "16#" names no number
  std::uint32_t pattern;
  if (base == 10) {
    if (v > 2147483647u) return false;
    pattern = static_cast<std::uint32_t>(v);
  } else {
    pattern = static_cast<std::uint32_t>(v);  // any 32-bit pattern
  }
  if (neg) pattern = 0u - pattern;
  *out = std::bit_cast<std::int32_t>(pattern);
  return true;
}

bool convert_real(const char* s, int len, double* out) {
  int i = 0;
  bool neg = false;
  if (i < len && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';

  // Mantissa: keep at most 24 significant digits.
  constexpr int kSig = 24;
  char sig[kSig];
  int nsig = 0, before_point = 0, leading_zeros = 0, digits = 0;
  bool point = false, nonzero = false;
  for (; i < len; ++i) {
    char c = s[i];
    if (is_digit(c)) {
      ++digits;
      if (!point) ++before_point;
      if (!nonzero && c == '0') {
        ++leading_zeros;
        continue;
      }
      nonzero = true;
      if (nsig < kSig) sig[nsig++] = c;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;

  // Exponent: a letter E, e, D or d with an optional sign, or a bare sign.
  int exp = 0;
  if (i < len) {
    char c = s[i];
    bool esign = false;
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++i;
      if (i < len && (s[i] == '+' || s[i] == '-')) esign = s[i++] == '-';
    } else if (c == '+' || c == '-') {
      esign = c == '-';
      ++i;
    } else {
      return false;
    }
    int edigits = 0;
    for (; i < len && is_digit(s[i]); ++i, ++edigits)
      if (exp < 100000) exp = exp * 10 + (s[i] - '0');
    if (edigits == 0 || i != len) return false;
    if (esign) exp = -exp;
  }

  if (!nonzero) {
    *out = std::bit_cast<double>(neg ? std::uint64_t{1} << 63 : std::uint64_t{0});
    return true;
  }
  // The value is d1.d2d3... times 10^lead.
  int lead = before_point - leading_zeros + exp - 1;
  if (lead > 308) return false;  // at least 1e309
  if (lead < -325) {             // below half the smallest subnormal
    *out = std::bit_cast<double>(neg ? std::uint64_t{1} << 63 : std::uint64_t{0});
    return true;
  }
  int e10 = lead + 1 - nsig;  // value = digits * 10^e10

  Big m;
  big_set(m, 0);
  for (int k = 0; k < nsig; ++k) {
    if (m.n == 0)
      big_set(m, static_cast<std::uint64_t>(sig[k] - '0'));
    else
      big_mul_add(m, 10, static_cast<std::uint32_t>(sig[k] - '0'));
  }

  std::uint64_t q = 0;
  int e2 = 0;
  bool sticky = false;
  if (e10 >= 0) {
    big_pow10(m, e10);
    int bits = big_bits(m);
    int shift = bits > 64 ? bits - 64 : 0;
    for (int k = 0; k < shift && !sticky; ++k) sticky = big_bit(m, k);
    for (int k = 0; k < 64 && shift + k < bits; ++k)
      if (big_bit(m, shift + k)) q |= std::uint64_t{1} << k;
    e2 = shift;
  } else {
    Big d;
    big_set(d, 1);
    big_pow10(d, -e10);
    // Scale so that the quotient lies in [2^62, 2^64).
    int k = 63 + big_bits(d) - big_bits(m);
    if (k >= 0)
      big_shl(m, k);
    else
      big_shl(d, -k);
    big_shl(d, 63);
    for (int bit = 63; bit >= 0; --bit) {
      if (big_cmp(d, m) <= 0) {
        big_sub(m, d);
        q |= std::uint64_t{1} << bit;
      }
      big_shr1(d);
    }
    sticky = m.n != 0;
    e2 = -k;
  }
  return to_double(q, e2, sticky, neg, out);
}

ReadOutcome free_read(const Target* targets, int n) {
  g_console = console_shared();
  console_read_start();
  Request q;
  q.last_sep = ',';
  q.repeat = 0;
  q.text_len = 0;
  q.too_long = false;
  q.line_end = false;
  for (int t = 0; t < n; ++t) {
    if (q.last_sep == '/' && q.repeat == 0) continue;
    if (q.repeat > 0) {
      --q.repeat;
    } else {
      Scan s = scan_value(q);
      if (s == Scan::Eof) return ReadOutcome::EndOfInput;
      if (s != Scan::Value) return failed(s);
    }
    if (q.text_len == 0 && !q.too_long) continue;  // null: the target keeps its value
    if (!assign(targets[t], q)) return failed(Scan::Fail);
  }
  // Whatever else the line holds is not for this request.
  if (!q.line_end) {
    skip_past_lf();
    console_line_end_consumed();
  }
  return ReadOutcome::Completed;
}

void reader_reset() { g_in = Input{{}, 0, 0, true, true}; }

}  // namespace tw
