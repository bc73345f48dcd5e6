#include "output/format.h"

#include <cstring>

#include "output/digits.h"
#include "output/fileio.h"

namespace tw {

namespace {

// Widths, digit counts, positions and scale factors above this are refused
// when the text is read; the record limit catches what is still too wide.
constexpr int kMaxNumber = 32767;

char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// Reads a format text once into the edit list. Blanks outside literals are
// ignored everywhere, inside numbers too.
struct Parser {
  const char* t;
  std::size_t len;
  std::size_t i;
  Format* f;

  bool fail(FormatFault fault) {
    f->fault = fault;
    return false;
  }
  void skip() {
    while (i < len && t[i] == ' ') ++i;
  }
  bool add(Edit::Kind kind, int a, int b) {
    if (f->count >= kMaxEdits) return fail(FormatFault::TooLong);
    f->edits[f->count++] = Edit{kind, a, b};
    return true;
  }
  // An unsigned number, or none. *bad is set for one beyond kMaxNumber.
  bool number(int* out, bool* bad) {
    skip();
    bool any = false;
    int v = 0;
    while (i < len && t[i] >= '0' && t[i] <= '9') {
      if (v <= kMaxNumber) v = v * 10 + (t[i] - '0');
      any = true;
      ++i;
      skip();
    }
    if (v > kMaxNumber) *bad = true;
    if (any) *out = v;
    return any;
  }
  bool required(int* out) {
    bool bad = false;
    if (!number(out, &bad) || bad) return fail(FormatFault::Syntax);
    return true;
  }
  bool literal() {
    ++i;  // the opening apostrophe
    int start = f->pool_len;
    for (;;) {
      if (i >= len) return fail(FormatFault::Syntax);
      char c = t[i++];
      if (c == '\'') {
        if (i < len && t[i] == '\'') {
          ++i;  // a doubled apostrophe stands for one
        } else {
          break;
        }
      }
      if (f->pool_len >= kMaxPool) return fail(FormatFault::TooLong);
      f->pool[f->pool_len++] = c;
    }
    return add(Edit::Literal, start, f->pool_len - start);
  }
  bool repeated(Edit::Kind kind, int r, int a, int b) {
    for (int n = 0; n < r; ++n)
      if (!add(kind, a, b)) return false;
    return true;
  }

  bool parse() {
    skip();
    if (i >= len || t[i] != '(') return fail(FormatFault::Syntax);
    ++i;
    for (;;) {
      skip();
      if (i >= len) return fail(FormatFault::Syntax);
      char c = t[i];
      if (c == ')') {
        ++i;
        skip();
        return i >= len ? true : fail(FormatFault::Syntax);
      }
      if (c == ',') {
        ++i;
        continue;
      }
      if (c == '\'') {
        if (!literal()) return false;
        continue;
      }
      if (c == '\\' || c == '$') {
        ++i;
        if (!add(Edit::NoAdvance, 0, 0)) return false;
        continue;
      }
      bool sign = false;
      bool neg = false;
      if (c == '+' || c == '-') {
        sign = true;
        neg = c == '-';
        ++i;
      }
      int num = 0;
      bool bad = false;
      bool has_num = number(&num, &bad);
      if (bad || (sign && !has_num) || i >= len) return fail(FormatFault::Syntax);
      c = t[i];
      char u = upper(c);
      if (u == 'P') {
        ++i;
        if (!has_num) return fail(FormatFault::Syntax);
        if (!add(Edit::Scale, neg ? -num : num, 0)) return false;
        continue;
      }
      if (sign) return fail(FormatFault::Syntax);
      int r = has_num ? num : 1;
      if (c == '/') {
        ++i;
        if (r == 0) return fail(FormatFault::Syntax);
        if (!repeated(Edit::Slash, r, 0, 0)) return false;
        continue;
      }
      ++i;
      switch (u) {
        case 'X':
          if (!add(Edit::X, r, 0)) return false;
          break;
        case 'T': {
          int pos = 0;
          if (has_num || !required(&pos) || pos == 0) return fail(FormatFault::Syntax);
          if (!add(Edit::T, pos, 0)) return false;
          break;
        }
        case 'E':
        case 'F': {
          int w = 0;
          int d = 0;
          if (r == 0 || !required(&w)) return fail(FormatFault::Syntax);
          skip();
          if (i >= len || t[i] != '.') return fail(FormatFault::Syntax);
          ++i;
          if (!required(&d)) return false;
          if (!repeated(u == 'E' ? Edit::E : Edit::F, r, w, d)) return false;
          break;
        }
        case 'I': {
          int w = 0;
          if (r == 0 || !required(&w)) return fail(FormatFault::Syntax);
          if (!repeated(Edit::I, r, w, 0)) return false;
          break;
        }
        case 'A': {
          int w = -1;
          bool wbad = false;
          if (r == 0 || (number(&w, &wbad) && wbad)) return fail(FormatFault::Syntax);
          if (!repeated(Edit::A, r, w, 0)) return false;
          break;
        }
        default:
          return fail(FormatFault::Syntax);
      }
    }
  }
};

[[noreturn]] void fail_at(const Dest& d, FormatFault fault) {
  switch (d.kind) {
    case Dest::Unit: {
      int n = 0;
      const char* name = unit_name(d.unit, &n);
      fail_format(fault, name, n);
    }
    case Dest::Console:
      fail_format(fault, "CON", 3);
    default:
      fail_format(fault, "internal", 8);
  }
}

// The record being built. Positions past the last character written are
// pending blanks: they appear only when something is written after them.
struct Writer {
  const Dest* dest;
  int len;   // characters in the record
  int pos;   // current position, from 0; at most kMaxRecord + 1
  bool text_done;
  char rec[kMaxRecord];

  char* place(int w) {
    if (w > kMaxRecord - pos) fail_at(*dest, FormatFault::RecordTooLong);
    if (pos > len) std::memset(rec + len, ' ', std::size_t(pos - len));
    char* p = rec + pos;
    pos += w;
    if (pos > len) len = pos;
    return p;
  }
  void move_to(long p) { pos = int(p > kMaxRecord ? kMaxRecord + 1 : p); }

  void end_record(bool left_open) {
    const Dest& d = *dest;
    std::size_t n = std::size_t(len);
    switch (d.kind) {
      case Dest::Unit:
        unit_record(d.unit, rec, n, left_open);
        break;
      case Dest::Console:
        console_record(rec, n, left_open);
        break;
      case Dest::Text:
        if (!text_done && d.text != nullptr && d.text_len > 0) {
          int keep = len < d.text_len ? len : d.text_len;
          std::memcpy(d.text, rec, std::size_t(keep));
          std::memset(d.text + keep, ' ', std::size_t(d.text_len - keep));
        }
        text_done = true;
        break;
      case Dest::Callback:
        if (d.sink != nullptr) d.sink(d.ctx, rec, n, left_open);
        break;
    }
    len = 0;
    pos = 0;
  }
};

void stars(char* out, int w) { std::memset(out, '*', std::size_t(w)); }

// Blanks before a text of tl characters in a field of w; false on overflow.
char* right_align(char* out, int w, int tl) {
  if (tl > w) {
    stars(out, w);
    return nullptr;
  }
  std::memset(out, ' ', std::size_t(w - tl));
  return out + (w - tl);
}

inline char digit_at(const DecDigits& dd, int i) { return i < dd.n ? dd.d[i] : '0'; }

char* put_digits(char* p, const DecDigits& dd, int from, int count) {
  for (int j = 0; j < count; ++j) *p++ = digit_at(dd, from + j);
  return p;
}

void edit_e(char* out, int w, int d, int k, double v) {
  // Outside these bounds the form cannot show the value at all.
  if (k < -d || k > d + 1) {
    stars(out, w);
    return;
  }
  DecDigits dd = decimal_digits(v);
  int n_sig = k > 0 ? d + 1 : d + k;
  round_digits(dd, n_sig);
  int expo = dd.zero ? 0 : dd.x - k;
  bool minus = dd.neg && dd.n > 0;
  int lead = k > 0 ? k : 0;
  int zeros = k < 0 ? -k : 0;
  int after = k > 0 ? d - k + 1 : d + k;
  int mag = expo < 0 ? -expo : expo;
  if (mag > 999) {
    stars(out, w);
    return;
  }
  int tl = int(minus) + lead + 1 + zeros + after + 4;
  char* p = right_align(out, w, tl);
  if (p == nullptr) return;
  if (minus) *p++ = '-';
  p = put_digits(p, dd, 0, lead);
  *p++ = '.';
  std::memset(p, '0', std::size_t(zeros));
  p += zeros;
  p = put_digits(p, dd, lead, after);
  if (mag <= 99) {
    *p++ = 'E';
    *p++ = expo < 0 ? '-' : '+';
  } else {
    *p++ = expo < 0 ? '-' : '+';
    *p++ = char('0' + mag / 100);
  }
  *p++ = char('0' + mag / 10 % 10);
  *p++ = char('0' + mag % 10);
}

void edit_f(char* out, int w, int d, int k, double v) {
  DecDigits dd = decimal_digits(v);
  int ip = dd.zero ? 0 : dd.x + k;  // integer digits
  if (ip < -d) {
    // Below a tenth of the last place: no sign, no digit.
    char* p = right_align(out, w, 1 + d);
    if (p == nullptr) return;
    *p++ = '.';
    std::memset(p, '0', std::size_t(d));
    return;
  }
  int x0 = dd.x;
  round_digits(dd, ip + d);
  ip += dd.x - x0;  // a carry adds an integer digit
  bool minus = dd.neg && dd.n > 0;
  bool lone_zero = ip == 0 && ip + d == 0;
  int tl = int(minus) + (ip > 0 ? ip : int(lone_zero)) + 1 + d;
  char* p = right_align(out, w, tl);
  if (p == nullptr) return;
  if (minus) *p++ = '-';
  if (ip > 0) {
    p = put_digits(p, dd, 0, ip);
    *p++ = '.';
    put_digits(p, dd, ip, d);
  } else {
    if (lone_zero) *p++ = '0';
    *p++ = '.';
    std::memset(p, '0', std::size_t(-ip));
    p += -ip;
    put_digits(p, dd, 0, d + ip);
  }
}

void edit_i(char* out, int w, std::int32_t v) {
  bool neg = v < 0;
  std::uint32_t u = neg ? std::uint32_t(0) - std::uint32_t(v) : std::uint32_t(v);
  char tmp[10];
  int nd = 0;
  do {
    tmp[nd++] = char('0' + u % 10);
    u /= 10;
  } while (u != 0);
  char* p = right_align(out, w, int(neg) + nd);
  if (p == nullptr) return;
  if (neg) *p++ = '-';
  while (nd > 0) *p++ = tmp[--nd];
}

}  // namespace

Format format_compile(const char* text, std::size_t len) {
  Format f{};
  Parser p{text, len, 0, &f};
  f.ok = p.parse();
  return f;
}

void format_write(const Dest& dest, const Format& f, const Item* items, int n) {
  if (!f.ok) fail_at(dest, f.fault);
  Writer w;
  w.dest = &dest;
  w.len = 0;
  w.pos = 0;
  w.text_done = false;
  int scale = 0;       // anew at every write, kept across reversion
  int next = 0;        // the next item
  bool no_advance = false;
  bool took = false;   // an item was used since the text was last started
  int e = 0;
  for (;;) {
    if (e == f.count) {  // the closing parenthesis
      if (next >= n) break;
      // Items left that no edit of the text can take would revert forever.
      if (!took) fail_at(dest, FormatFault::WrongItem);
      w.end_record(false);
      e = 0;
      took = false;
      continue;
    }
    const Edit& ed = f.edits[e++];
    switch (ed.kind) {
      case Edit::Literal:
        std::memcpy(w.place(ed.b), f.pool + ed.a, std::size_t(ed.b));
        continue;
      case Edit::X:
        w.move_to(long(w.pos) + ed.a);
        continue;
      case Edit::T:
        w.move_to(long(ed.a) - 1);
        continue;
      case Edit::Slash:
        w.end_record(false);
        continue;
      case Edit::NoAdvance:
        if (next >= n) no_advance = true;
        continue;
      case Edit::Scale:
        scale = ed.a;
        continue;
      case Edit::E:
      case Edit::F:
      case Edit::I:
      case Edit::A:
        break;
    }
    if (next >= n) break;  // a data edit with nothing left to take
    const Item& it = items[next++];
    took = true;
    switch (ed.kind) {
      case Edit::E:
      case Edit::F:
        if (it.kind != Item::Real) fail_at(dest, FormatFault::WrongItem);
        if (ed.kind == Edit::E)
          edit_e(w.place(ed.a), ed.a, ed.b, scale, it.r);
        else
          edit_f(w.place(ed.a), ed.a, ed.b, scale, it.r);
        break;
      case Edit::I:
        if (it.kind != Item::Int) fail_at(dest, FormatFault::WrongItem);
        edit_i(w.place(ed.a), ed.a, it.i);
        break;
      default: {  // A
        if (it.kind != Item::Text) fail_at(dest, FormatFault::WrongItem);
        int tl = it.len > 0 && it.s != nullptr ? it.len : 0;
        int fw = ed.a < 0 ? tl : ed.a;
        char* out = w.place(fw);
        if (tl >= fw) {
          if (fw > 0) std::memcpy(out, it.s, std::size_t(fw));
        } else {
          std::memset(out, ' ', std::size_t(fw - tl));
          if (tl > 0) std::memcpy(out + (fw - tl), it.s, std::size_t(tl));
        }
        break;
      }
    }
  }
  w.end_record(no_advance);
}

}  // namespace tw
