// The record formatter in-process: fields, the walk over the program's own
// format texts, the exact digits, and the writes that must end the run.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "output/digits.h"
#include "output/fileio.h"
#include "output/format.h"
#include "output/os.h"
#include "tests/support.h"

namespace {

using tw::Item;
using tw::it_int;
using tw::it_real;
using tw::it_text;

struct Rec {
  std::string text;
  bool left_open;
};

void capture(void* ctx, const char* rec, std::size_t len, bool left_open) {
  static_cast<std::vector<Rec>*>(ctx)->push_back(Rec{std::string(rec, len), left_open});
}

std::vector<Rec> write_recs(const tw::Format& f, const std::vector<Item>& items) {
  std::vector<Rec> out;
  tw::Dest d{tw::Dest::Callback, 0, nullptr, 0, capture, &out};
  format_write(d, f, items.data(), int(items.size()));
  return out;
}

tw::Format compile(const std::string& text) { return tw::format_compile(text.data(), text.size()); }

// Records of one write, texts only.
std::vector<std::string> texts(const std::string& fmt, const std::vector<Item>& items = {}) {
  std::vector<std::string> t;
  for (const Rec& r : write_recs(compile(fmt), items)) t.push_back(r.text);
  return t;
}

// The one field a descriptor makes of one item.
std::string field(const std::string& desc, Item item) {
  auto recs = texts("(" + desc + ")", {item});
  EXPECT_EQ(recs.size(), 1u) << desc;
  return recs.empty() ? std::string() : recs[0];
}

Item text_item(const char* s) { return it_text(s, int(std::strlen(s))); }

struct FieldCase {
  Item item;
  const char* desc;
  const char* want;
};

TEST(FormatField, TableOfFields) {
  const FieldCase cases[] = {
      {it_real(1.2), "1pe12.3", "   1.200E+00"},
      {it_real(1.812e-05), "1pe12.3", "   1.812E-05"},
      {it_real(1000), "1pe12.3", "   1.000E+03"},
      {it_real(0.0), "1pe12.3", "   0.000E+00"},
      {it_real(-0.0), "1pe12.3", "   0.000E+00"},
      {it_real(-1.5), "1pe12.3", "  -1.500E+00"},
      {it_real(9.9996), "1pe12.3", "   1.000E+01"},
      {it_real(123456.789), "1pe12.3", "   1.235E+05"},
      {it_real(0.02), "1pE10.3", " 2.000E-02"},
      {it_real(-0.02), "1pE10.3", "-2.000E-02"},
      {it_real(200), "1pE10.3", " 2.000E+02"},
      {it_real(0.002), "1p2e14.6", "  2.000000E-03"},
      {it_real(123456.789), "1p2e14.6", "  1.234568E+05"},
      {it_real(0.02), "f12.5", "      .02000"},
      {it_real(0.002), "f12.5", "      .00200"},
      {it_real(20), "f12.5", "    20.00000"},
      {it_real(200), "f12.5", "   200.00000"},
      {it_real(0.0), "f12.5", "      .00000"},
      {it_real(-0.0), "f12.5", "      .00000"},
      {it_real(-0.5), "f12.5", "     -.50000"},
      {it_real(0.000006), "f12.5", "      .00001"},
      {it_real(-0.000004), "f12.5", "      .00000"},
      {it_real(-0.0000004), "f12.5", "      .00000"},
      {it_real(123456), "f12.5", "123456.00000"},
      {it_real(1.0e7), "f12.5", "************"},
      {it_int(1), "i3", "  1"},
      {it_int(-1), "i3", " -1"},
      {it_int(999), "i3", "999"},
      {it_int(1000), "i3", "***"},
      {it_int(-100), "i3", "***"},
      {it_int(0), "i3", "  0"},
      {it_int(std::numeric_limits<std::int32_t>::min()), "i11", "-2147483648"},
      // Rounding follows the stored binary value, half up.
      {it_real(0.125), "F12.2", "         .13"},
      {it_real(2.675), "F12.2", "        2.67"},
      // The 18th digit carries; digits from the 19th on are ignored.
      {it_real(1.0000015), "1pe14.6", "  1.000002E+00"},
      {it_real(1e100), "1pe12.3", "   1.000+100"},
      {it_real(-1e-100), "1pe12.3", "  -1.000-100"},
      {it_real(1e99), "1pe12.3", "   1.000E+99"},
      {it_real(0.3), "F4.0", "  0."},
      {it_real(0.6), "F4.0", "  1."},
      {it_real(-0.3), "F4.0", "  0."},
      {it_real(-0.6), "F4.0", " -1."},
      {it_real(0.5), "F12.0", "          1."},
      {it_real(0.049), "F5.1", "   .0"},
      {it_real(0.05), "F5.1", "   .1"},
      {it_real(99.996), "F6.2", "100.00"},
      {it_real(99.996), "F5.2", "*****"},
      // More digits asked than the string holds: zeros, rounded at 16.
      {it_real(0.1), "F30.25", "    .1000000000000000000000000"},
      {it_real(1.0 / 3.0), "1pe26.20", "3.33333333333333300000E-01"},
      // Scale factors other than 1.
      {it_real(1.2), "e12.3", "    .120E+01"},
      {it_real(1.2), "-1pe12.3", "    .012E+02"},
      {it_real(1.2), "2pe12.3", "   12.00E-01"},
      {it_real(1.2), "5pe12.3", "************"},
      {it_real(1.2), "1pf12.3", "      12.000"},
      {it_real(1.2), "-2pf12.3", "        .012"},
      {it_real(5.0), "e12.0", "       .E+02"},
      // Texts.
      {text_item("f12.5"), "A7", "  f12.5"},
      {text_item("1pe12.3"), "A7", "1pe12.3"},
      {text_item("abcdefghij"), "A7", "abcdefg"},
      {text_item("abc"), "a", "abc"},
      // A zero width gives an empty field.
      {it_real(1.5), "f0.2", ""},
      {it_int(7), "i0", ""},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.desc);
    if (c.item.kind == Item::Real) SCOPED_TRACE(c.item.r);
    EXPECT_EQ(field(c.desc, c.item), c.want) << "value " << c.item.r << " / " << c.item.i;
  }
}

TEST(FormatField, TwoEditsFromOneRepeat) {
  EXPECT_EQ(texts("(1p2e14.6)", {it_real(0.002), it_real(-123456.789)}),
            std::vector<std::string>{"  2.000000E-03 -1.234568E+05"});
}

// ---- the exact digits ------------------------------------------------------

// The first 18 significant digits of the exact value, cut, and the exponent
// x with v = 0.ddd * 10^x, from the C library's exact long expansion.
void reference18(double v, int prec, std::uint64_t* d18, int* x) {
  char buf[1024];
  std::snprintf(buf, sizeof buf, "%.*e", prec, std::fabs(v));
  std::string digits;
  const char* p = buf;
  for (; *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  *x = std::atoi(p + 1) + 1;
  *d18 = std::stoull(digits.substr(0, 18));
}

// The 17-digit string from the 18: half up by the 18th, trailing zeros off.
std::string rounded17(std::uint64_t d18, int* x) {
  std::uint64_t q = d18 / 10 + (d18 % 10 >= 5 ? 1 : 0);
  if (q == 100000000000000000ull) {
    q /= 10;
    ++*x;
  }
  std::string s = std::to_string(q);
  while (s.size() > 1 && s.back() == '0') s.pop_back();
  return s;
}

void expect_digits(double v, int prec) {
  std::uint64_t want = 0;
  int wx = 0;
  reference18(v, prec, &want, &wx);
  tw::Digits18 got = tw::digits18(v);
  ASSERT_EQ(got.d18, want) << "value " << std::hexfloat << v;
  ASSERT_EQ(got.x, wx) << "value " << std::hexfloat << v;
  tw::DecDigits dd = tw::decimal_digits(v);
  std::string ws = rounded17(want, &wx);
  ASSERT_EQ(std::string(dd.d, std::size_t(dd.n)), ws) << "value " << std::hexfloat << v;
  ASSERT_EQ(dd.x, wx) << "value " << std::hexfloat << v;
  ASSERT_EQ(dd.neg, std::signbit(v));
}

TEST(FormatDigits, ExtremesAndSubnormals) {
  const double values[] = {
      std::numeric_limits<double>::max(),
      std::numeric_limits<double>::denorm_min(),
      std::numeric_limits<double>::min(),
      std::nextafter(std::numeric_limits<double>::min(), 0.0),
      2.2250738585072009e-308,
      1e-320,
      -3.5e-310,
      4.9406564584124654e-324 * 12345,
      1e308,
      9007199254740993.0,
      9007199254740992.0 * 1024,
      1e18,
      1e17,
      999999999999999999.0,
      1.0,
      0.1,
      -2.675,
  };
  for (double v : values) expect_digits(v, 40);
  EXPECT_EQ(field("1pe12.3", it_real(std::numeric_limits<double>::max())), "   1.798+308");
  EXPECT_EQ(field("1pe12.3", it_real(std::numeric_limits<double>::denorm_min())), "   4.941-324");
}

TEST(FormatDigits, PowersOfTenAndTheirNeighbours) {
  // Where the decimal exponent changes: the estimate of the scale is corrected.
  for (int p = -323; p <= 308; ++p) {
    double v = std::strtod(("1e" + std::to_string(p)).c_str(), nullptr);
    expect_digits(v, 60);
    expect_digits(std::nextafter(v, 0.0), 60);
    expect_digits(std::nextafter(v, 2 * v), 60);
  }
  for (int e = -1074; e <= 1023; ++e) {
    double v = std::ldexp(1.0, e);
    expect_digits(v, 60);
    if (e > -1074) expect_digits(std::nextafter(v, 0.0), 60);
  }
}

TEST(FormatDigits, RandomDoublesAgreeWithExactExpansion) {
  std::mt19937_64 gen(20240611);
  int checked = 0;
  for (int n = 0; n < 300000; ++n) {
    std::uint64_t bits = gen();
    if (n % 4 == 0) bits &= 0x800fffffffffffffull;  // subnormals
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v) || v == 0) continue;
    expect_digits(v, 60);
    ++checked;
    if (HasFatalFailure()) return;
  }
  // A few in the range the program's numbers live in.
  std::uniform_real_distribution<double> expo(-12, 12);
  for (int n = 0; n < 100000; ++n) {
    expect_digits(std::pow(10.0, expo(gen)), 60);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(checked, 250000);
}

// The program prints with the floating-point traps on: formatting must not
// do a floating-point operation, whatever the value.
void format_with_traps_on() {
  tw::os::enable_fp_traps([](tw::os::Trap) { std::_Exit(3); });
  const double values[] = {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
                           1e-310, 1.0000015, -0.0, 0.0, 1e22, 1e23, 123456.789};
  const char* descs[] = {"1pe12.3", "1p2e14.6", "f12.5", "f0.2", "e12.3", "-1pe12.3", "3pf40.10"};
  std::size_t chars = 0;
  for (double v : values)
    for (const char* d : descs) chars += field(d, it_real(v)).size();
  std::_Exit(chars > 0 ? 0 : 4);
}

TEST(FormatDigits, NoTrapWhileFormatting) {
  EXPECT_EXIT(format_with_traps_on(), testing::ExitedWithCode(0), "");
}

// ---- the walk over the program's format texts --------------------------------

TEST(FormatWalk, MenuTitleAndEmptyRecords) {
  const char* title = "CARTE D'ECOULEMENT DE TAITEL ET DUKLER  ";
  auto r = texts("(1x,t20,a40/)", {it_text(title, 40)});
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], std::string(19, ' ') + title);
  EXPECT_EQ(r[0].size(), 59u);
  EXPECT_EQ(r[1], "");
  EXPECT_EQ(texts("(/)"), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(texts("(//' Entrer le numero du parametre,nouvelle valeur')"),
            (std::vector<std::string>{"", "", " Entrer le numero du parametre,nouvelle valeur"}));
}

TEST(FormatWalk, PromptLeavesItsLastRecordOpen) {
  std::string fmt = "(' taper 0,0 pour sortir du menu'/" + std::string(33, ' ') +
                    "' taper -1,0 pour arreter  --->'\\)";
  ASSERT_EQ(fmt.size(), 101u);
  auto r = write_recs(compile(fmt), {});
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].text, " taper 0,0 pour sortir du menu");
  EXPECT_FALSE(r[0].left_open);
  EXPECT_EQ(r[1].text, " taper -1,0 pour arreter  --->");
  EXPECT_TRUE(r[1].left_open);
  // With items left the no-advance edit does nothing.
  auto r2 = write_recs(compile("(i2\\)"), {it_int(1), it_int(2)});
  ASSERT_EQ(r2.size(), 2u);
  EXPECT_FALSE(r2[0].left_open);
  EXPECT_TRUE(r2[1].left_open);
  EXPECT_TRUE(write_recs(compile("($)"), {})[0].left_open);
}

// The menu's row format, built at run time into a 31-character text.
std::string row_format(const char* desc) {
  char var[31];
  std::memset(var, '#', sizeof var);
  tw::Dest d{tw::Dest::Text, 0, var, 31};
  Item it = text_item(desc);
  format_write(d, TW_FORMAT("('(i3,'' ---> '',a40,'' : '',',A7,')')"), &it, 1);
  return std::string(var, 31);
}

TEST(FormatWalk, MenuRowFormatsAndReversion) {
  EXPECT_EQ(row_format("1pe12.3"), "(i3,' ---> ',a40,' : ',1pe12.3)");
  EXPECT_EQ(row_format("f12.5"), "(i3,' ---> ',a40,' : ',  f12.5)");

  std::string fmt = row_format("1pe12.3");
  std::vector<std::string> labels;
  std::vector<Item> items;
  labels.reserve(7);
  for (int k = 0; k < 7; ++k) labels.push_back(std::string("LABEL ") + char('A' + k) + std::string(33, ' '));
  for (int k = 0; k < 7; ++k) {
    items.push_back(it_int(k + 1));
    items.push_back(it_text(labels[k].data(), 40));
    items.push_back(it_real(1.2 * (k + 1)));
  }
  auto r = texts(fmt, items);
  ASSERT_EQ(r.size(), 7u);
  for (const std::string& rec : r) EXPECT_EQ(rec.size(), 64u);
  EXPECT_EQ(r[0], "  1 ---> " + labels[0] + " :    1.200E+00");
  EXPECT_EQ(r[6], "  7 ---> " + labels[6] + " :    8.400E+00");

  // The f12.5 row, written after a scaled one, is not scaled.
  auto f = texts(row_format("f12.5"), {it_int(3), it_text(labels[2].data(), 40), it_real(0.02)});
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0], "  3 ---> " + labels[2] + " :       .02000");
}

TEST(FormatWalk, ScaleFactorKeptAcrossReversionAndResetPerWrite) {
  // The scale item comes after a field: the first pass is unscaled, the
  // re-read one is not.
  EXPECT_EQ(texts("(e12.3,1p)", {it_real(1.2), it_real(1.2)}),
            (std::vector<std::string>{"    .120E+01", "   1.200E+00"}));
  EXPECT_EQ(texts("(f8.3,2p)", {it_real(1.5), it_real(1.5)}),
            (std::vector<std::string>{"   1.500", " 150.000"}));
  const tw::Format& scaled = TW_FORMAT("(1pe12.3)");
  const tw::Format& plain = TW_FORMAT("(e12.3)");
  Item it = it_real(1.2);
  (void)write_recs(scaled, {it});
  EXPECT_EQ(write_recs(plain, {it})[0].text, "    .120E+01");
}

TEST(FormatWalk, PlotFileAndConsoleRecords) {
  EXPECT_EQ(texts("(' set xrange[',1pE10.3,':',1pE10.3,']')", {it_real(0.02), it_real(200)}),
            std::vector<std::string>{" set xrange[ 2.000E-02: 2.000E+02]"});
  EXPECT_EQ(texts("(' set yrange[',1pE10.3,':',1pE10.3,']')", {it_real(-0.02), it_real(1e-3)}),
            std::vector<std::string>{" set yrange[-2.000E-02: 1.000E-03]"});
  EXPECT_EQ(texts("(' larg=1')"), std::vector<std::string>{" larg=1"});
  EXPECT_EQ(texts("(' larg=3')"), std::vector<std::string>{" larg=3"});
  EXPECT_EQ(texts("('Transtion E')"), std::vector<std::string>{"Transtion E"});
  EXPECT_EQ(texts("('Transtion J')"), std::vector<std::string>{"Transtion J"});
  const char* launch = "(' Gnuplot script launch was not successful :',i3)";
  EXPECT_EQ(texts(launch, {it_int(1)}),
            std::vector<std::string>{" Gnuplot script launch was not successful :  1"});
  EXPECT_EQ(texts(launch, {it_int(-1)}),
            std::vector<std::string>{" Gnuplot script launch was not successful : -1"});
  EXPECT_EQ(texts(launch, {it_int(1000)}),
            std::vector<std::string>{" Gnuplot script launch was not successful :***"});
  EXPECT_EQ(texts("(1p2e14.6)", {it_real(1.0000015), it_real(2.5e-7)}),
            std::vector<std::string>{"  1.000002E+00  2.500000E-07"});
}

TEST(FormatWalk, PositionsAndPendingBlanks) {
  // Blanks of X or T that nothing follows never end a record.
  EXPECT_EQ(texts("('ab',5x)"), std::vector<std::string>{"ab"});
  EXPECT_EQ(texts("('ab',t30/'c')"), (std::vector<std::string>{"ab", "c"}));
  EXPECT_EQ(texts("('ab',3x,'c')"), std::vector<std::string>{"ab   c"});
  EXPECT_EQ(texts("(x'a')"), std::vector<std::string>{" a"});
  // T backwards overwrites; the record keeps its length.
  EXPECT_EQ(texts("('abcdef',t2,'XY')"), std::vector<std::string>{"aXYdef"});
  EXPECT_EQ(texts("('abc',t10,'z',t2,'Q')"), std::vector<std::string>{"aQc      z"});
  // Items end the walk at the next data edit; what comes before it is written.
  EXPECT_EQ(texts("('[',i2,']',i2,'never')", {it_int(5)}), std::vector<std::string>{"[ 5]"});
}

TEST(FormatWalk, ReadingTheText) {
  // Blanks, letter case, optional commas, doubled apostrophes, repeats.
  EXPECT_EQ(texts("  ( 1 P E 1 2 . 3 'x' I 3 )  ", {it_real(1.2), it_int(4)}),
            std::vector<std::string>{"   1.200E+00x  4"});
  EXPECT_EQ(texts("('it''s'/'''')"), (std::vector<std::string>{"it's", "'"}));
  EXPECT_EQ(texts("('a',,'b')"), std::vector<std::string>{"ab"});
  EXPECT_EQ(texts("(3i2)", {it_int(1), it_int(2), it_int(3)}), std::vector<std::string>{" 1 2 3"});
  EXPECT_EQ(texts("(2/)"), (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(texts("('a''')"), std::vector<std::string>{"a'"});
  EXPECT_EQ(texts("(' x ')"), std::vector<std::string>{" x "});
}

TEST(FormatWalk, TextVariableTakesTheFirstRecordOnly) {
  char var[8];
  std::memset(var, '#', sizeof var);
  tw::Dest d{tw::Dest::Text, 0, var, 8};
  Item items[2] = {it_int(12), it_int(34)};
  format_write(d, TW_FORMAT("(i3)"), items, 2);
  EXPECT_EQ(std::string(var, 8), " 12     ");
  format_write(d, TW_FORMAT("('0123456789')"), nullptr, 0);
  EXPECT_EQ(std::string(var, 8), "01234567");
}

TEST(FormatWalk, WideFieldsStayInsideTheRecord) {
  // A field as wide as the record is fine; a huge digit count overflows it.
  auto r = texts("(f2048.2)", {it_real(1.5)});
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].size(), 2048u);
  EXPECT_EQ(r[0].substr(2044), "1.50");
  EXPECT_EQ(texts("(f10.30000)", {it_real(1.5)}), std::vector<std::string>{"**********"});
  EXPECT_EQ(texts("(1pe10.30000)", {it_real(1.5)}), std::vector<std::string>{"**********"});
  EXPECT_EQ(texts("(30000pf10.2)", {it_real(1.5)}), std::vector<std::string>{"**********"});
  EXPECT_EQ(texts("(-30000pf10.2)", {it_real(1.5)}), std::vector<std::string>{"       .00"});
}

// ---- writes that end the run -------------------------------------------------

void write_and_die(const std::string& fmt, std::vector<Item> items) {
  tw::Format f = compile(fmt);
  char var[4];
  tw::Dest d{tw::Dest::Text, 0, var, 4};
  format_write(d, f, items.data(), int(items.size()));
}

TEST(FormatDeath, UnreadableTextsEndTheRunAtTheWrite) {
  const char* bad[] = {
      "",     "i3",         "(i3",      "('abc)",      "((i3))",     "(i3)x",     "(q5)",
      "(i)",  "(e12)",      "(e12.)",   "(f.3)",       "(i3.2)",     "(t)",       "(t0)",
      "(3t5)", "(-2x)",     "(p)",      "(0i3)",       "(5'ab')",    "(i99999)",  "(e1.2e3)",
      "(g12.4)", "(tl3)",   "(\"x\")",
  };
  for (const char* b : bad) {
    EXPECT_FALSE(compile(b).ok) << b;
    EXPECT_EXIT(write_and_die(b, {}), testing::ExitedWithCode(1), "") << b;
  }
  // Too many edits, too long a literal pool.
  EXPECT_EQ(compile("(200i1)").fault, tw::FormatFault::TooLong);
  EXPECT_EQ(compile("('" + std::string(600, 'a') + "')").fault, tw::FormatFault::TooLong);
  EXPECT_EQ(compile("(q)").fault, tw::FormatFault::Syntax);
}

TEST(FormatDeath, WrongItemKindsEndTheRun) {
  struct Case {
    const char* fmt;
    Item item;
  } cases[] = {
      {"(i3)", it_real(1)},       {"(i3)", text_item("a")}, {"(e12.3)", it_int(1)},
      {"(f12.3)", it_int(1)},     {"(f12.3)", text_item("a")}, {"(a)", it_int(1)},
      {"(a5)", it_real(1)},       {"(e12.3)", text_item("a")},
  };
  for (const Case& c : cases) EXPECT_EXIT(write_and_die(c.fmt, {c.item}), testing::ExitedWithCode(1), "") << c.fmt;
  // Items that no edit of the text takes would revert for ever.
  EXPECT_EXIT(write_and_die("(' larg=1')", {it_int(1)}), testing::ExitedWithCode(1), "");
}

TEST(FormatDeath, RecordsLongerThanTheLimitEndTheRun) {
  EXPECT_EXIT(write_and_die("(f2049.2)", {it_real(1)}), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(write_and_die("(t2048,'ab')", {}), testing::ExitedWithCode(1), "");
  EXPECT_EXIT(write_and_die("(30000x,'a')", {}), testing::ExitedWithCode(1), "");
  std::vector<Item> many(100, it_real(1.5));
  EXPECT_EXIT(write_and_die("(100f30.2)", many), testing::ExitedWithCode(1), "");
  // Right at the limit is still a record.
  EXPECT_EQ(texts("(t2048,'a')")[0].size(), 2048u);
}

}  // namespace

namespace {

void bad_write_to(tw::Dest d) {
  Item it = it_real(1);
  format_write(d, TW_FORMAT("(i3)"), &it, 1);
}

void bad_write_to_unit(const std::string& path) {
  tw::fileio_reset();
  tw::unit_open(6, path.data(), int(path.size()));
  bad_write_to(tw::Dest{tw::Dest::Unit, 6, nullptr, 0});
}

TEST(FormatDeath, FailuresNameTheDestination) {
  char var[4];
  EXPECT_EXIT(bad_write_to(tw::Dest{tw::Dest::Text, 0, var, 4}), testing::ExitedWithCode(1),
              "WRITE\\(internal\\)");
  EXPECT_EXIT(bad_write_to(tw::Dest{tw::Dest::Console, 0, nullptr, 0}), testing::ExitedWithCode(1),
              "WRITE\\(CON\\)");
  twt::TempDir dir;
  EXPECT_EXIT(bad_write_to_unit(dir.file("CURVES.out")), testing::ExitedWithCode(1), "CURVES\\.out\\)");
}

}  // namespace
