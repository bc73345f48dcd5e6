// The free-form read, in-process: standard input on a file (split console)
// or on a terminal (shared console), answers read one request at a time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <bit>
#include <cfenv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "menu/reader.h"
#include "output/fileio.h"
#include "tests/support.h"

namespace {

using tw::ReadOutcome;
constexpr ReadOutcome C = ReadOutcome::Completed;
constexpr ReadOutcome F = ReadOutcome::Failed;
constexpr ReadOutcome E = ReadOutcome::EndOfInput;

// What the targets hold before each request: "kept" shows as these.
constexpr std::int32_t KI = -99;
constexpr double KR = -99.5;

struct Step {
  ReadOutcome out;
  std::int32_t a = KI;
  double b = KR;
};

bool operator==(const Step& x, const Step& y) {
  return x.out == y.out && x.a == y.a && std::bit_cast<std::uint64_t>(x.b) == std::bit_cast<std::uint64_t>(y.b);
}

std::string show(const std::vector<Step>& v) {
  std::string s;
  for (const Step& st : v) {
    const char* o = st.out == C ? "C" : st.out == F ? "F" : "E";
    char buf[80];
    std::snprintf(buf, sizeof buf, "{%s,%d,%.17g} ", o, st.a, st.b);
    s += buf;
  }
  return s;
}

enum class Mode { Split, Console };

// Requests of two targets (an integer and a double) until the end of input
// or a bound. Console: the input is typed on a terminal in line mode (no
// echo, CR left alone, no signals), then two Ctrl-D.
std::vector<Step> read_all(const std::string& input, Mode mode) {
  std::vector<Step> steps;
  std::fflush(stdout);
  int save0 = dup(0), save1 = dup(1);
  int master = -1;
  twt::TempDir dir;
  if (mode == Mode::Console) {
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return steps;
    termios t;
    tcgetattr(slave, &t);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ISIG);
    t.c_lflag |= ICANON;
    t.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tcsetattr(slave, TCSANOW, &t);
    dup2(slave, 0);
    dup2(slave, 1);
    close(slave);
    std::string typed = input + "\x04\x04";
    ssize_t w = write(master, typed.data(), typed.size());
    (void)w;
  } else {
    dir.write("in", input);
    int fd = open(dir.file("in").c_str(), O_RDONLY);
    dup2(fd, 0);
    close(fd);
  }
  tw::fileio_reset();
  tw::reader_reset();
  alarm(30);  // a read that waits for more is a failure, not a hang
  for (int k = 0; k < 12; ++k) {
    Step s{C};
    tw::Target t[2] = {{tw::Target::Int, &s.a}, {tw::Target::Real, &s.b}};
    s.out = tw::free_read(t, 2);
    steps.push_back(s);
    if (s.out == E) break;
  }
  alarm(0);
  dup2(save0, 0);
  dup2(save1, 1);
  close(save0);
  close(save1);
  if (master >= 0) close(master);
  tw::fileio_reset();
  tw::reader_reset();
  return steps;
}

struct Case {
  const char* name;
  std::string input;
  std::vector<Step> split;    // as read from a file
  std::vector<Step> console;  // as typed on a terminal; empty: same as split
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Step> got = read_all(c.input, Mode::Split);
    EXPECT_EQ(got, c.split) << "split: " << show(got);
    std::vector<Step> want = c.console.empty() ? c.split : c.console;
    got = read_all(c.input, Mode::Console);
    EXPECT_EQ(got, want) << "console: " << show(got);
  }
}

TEST(Reader, AnswersAndWhatIsLeftUnread) {
  run_cases({
      {"comma", "3,5\n", {{C, 3, 5}, {E}}},
      {"blank", "3 5\n", {{C, 3, 5}, {E}}},
      {"blank comma blank", "3 , 5\n", {{C, 3, 5}, {E}}},
      {"comma blank", "3, 5\n", {{C, 3, 5}, {E}}},
      {"tab", "3\t2.5\n", {{C, 3, 2.5}, {E}}},
      {"two lines", "3\n2.5\n", {{C, 3, 2.5}, {E}}},
      {"empty lines first", "\n   \n3,5\n", {{C, 3, 5}, {E}}},
      {"null second, rest ignored", "3,,5\n1,2\n", {{C, 3}, {C, 1, 2}, {E}}},
      {"third value ignored", "3,2,5\n1,2\n", {{C, 3, 2}, {C, 1, 2}, {E}}},
      {"slash", "3/\n1,2\n", {{C, 3}, {C, 1, 2}, {E}}},
      {"slash alone", "/\n", {{C}, {E}}},
      {"null first", ",5\n", {{C, KI, 5}, {E}}},
      {"comma at line end", "3,\n5\n", {{C, 3, 5}, {E}}},
      {"line end then comma joins", "3\n,5\n", {{C, 3, 5}, {E}}},
      {"0 waits for a value", "0\n5\n", {{C, 0, 5}, {E}}},
      {"0/ complete at once", "0/\n1,2\n", {{C, 0}, {C, 1, 2}, {E}}},
      {"lone minus is 0", "- 3\n", {{C, 0, 3}, {E}}},
      {"value as integer", "3,3\n", {{C, 3, 3.0}, {E}}},
      {"windows line ends", "3\r\n5\r\n", {{C, 3, 5}, {E}}},
      {"carriage return drops the rest", "3\r5\n7,8\n", {{C, 3, 7}, {E}}},
      {"input without a last line end", "3,5", {{C, 3, 5}, {E}}},
      {"end after the first value", "3\n", {{E, 3}}},
      // The 7 ends with a comma, so its line is dropped, line end and all.
      {"value after a line end, then a comma", "3\n5,7\n1,2\n", {{C, 3, 5}, {C, 1, 2}, {E}}},
      // Failures: a file goes on after the separator, a terminal drops the line.
      {"decimal point in the entry", "3.0,5\n1,2\n", {{F}, {C, 5, 1}, {E}}, {{F}, {C, 1, 2}, {E}}},
      {"letters in the entry", "x,5\n1,2\n", {{F}, {C, 5, 1}, {E}}, {{F}, {C, 1, 2}, {E}}},
      {"letters in the value", "3,abc\n1,2\n", {{F, 3}, {C, 1, 2}, {E}}},
      {"value too large", "3,1e400 9\n1,2\n", {{F, 3}, {C, 9, 1}, {E}}, {{F, 3}, {C, 1, 2}, {E}}},
      {"complex value", "(1,2) 4,5\n", {{F}, {C, 4, 5}, {E}}, {{F}, {E}}},
      {"quoted value over two lines", "'a\nb' 4,5\n", {{F}, {C, 4, 5}, {E}}, {{F}, {E}}},
      {"quote inside a value", "3a'b,5\n", {{F}, {E, 5}}, {{F}, {E}}},
  });
}

TEST(Reader, RepeatCounts) {
  run_cases({
      {"2*7", "2*7\n", {{C, 7, 7}, {E}}},
      {"2*4 then more", "2*4 9\n1,2\n", {{C, 4, 4}, {C, 1, 2}, {E}}},
      {"2* comma", "2*,\n1,2\n", {{C}, {C, 1, 2}, {E}}},
      {"2* blank", "2* 9\n1,2\n", {{C}, {C, 1, 2}, {E}}},
      {"1* blank takes the next value", "1* 9,8\n", {{C, 9, 8}, {E}}},
      {"count in a base", "#2*6\n", {{C, 6, 6}, {E}}},
      {"repeat then slash", "3*5/\n", {{C, 5, 5}, {E}}},
      {"empty count", "*5\n1,2\n", {{F}, {C, 5, 1}, {E}}, {{F}, {C, 1, 2}, {E}}},
      {"zero count", "0*4\n1,2\n", {{F}, {C, 4, 1}, {E}}, {{F}, {C, 1, 2}, {E}}},
      {"negative count", "-2*4\n1,2\n", {{F}, {C, 4, 1}, {E}}, {{F}, {C, 1, 2}, {E}}},
      {"count that does not convert", "2.0*4\n1,2\n", {{F}, {C, 4, 1}, {E}}, {{F}, {C, 1, 2}, {E}}},
      {"second asterisk", "2*3*4\n1,2\n", {{F}, {C, 4, 1}, {E}}, {{F}, {C, 1, 2}, {E}}},
      {"repeated value fails for the integer", "2*1.5\n1,2\n", {{F}, {C, 1, 2}, {E}}},
  });
}

// Ctrl-Z: a file ends where a piece has it third from its end; a terminal
// line ends the input when Ctrl-Z stands just before its line end.
TEST(Reader, CtrlZEndsInput) {
  std::string full = "3,5" + std::string(128, ' ') + "\n";  // exactly one piece
  ASSERT_EQ(full.size(), 132u);
  run_cases({
      {"alone, CR LF", "\x1a\r\n", {{E}}},
      {"alone, LF", "\x1a\n", {{F}, {E}}, {{E}}},
      {"after text, CR LF", "3,5\x1a\r\n", {{E}}},
      {"after an answer", "3,5\n\x1a\r\n", {{E}}, {{C, 3, 5}, {E}}},
      {"in the next piece", full + "\x1a\r\n", {{C, 3, 5}, {E}}, {{F}, {E}}},  // 131 characters
      {"ended terminal line", "3,5\n7\x1a\n", {{C, 3, 5}, {F}, {E}}, {{C, 3, 5}, {E}}},
  });
}

TEST(Reader, ConsoleLineLimit) {
  auto line = [](std::size_t n) { return "1,2" + std::string(n - 3, ' '); };
  run_cases({
      {"130 characters", line(130) + "\n4,5\n", {{C, 1, 2}, {C, 4, 5}, {E}}},
      {"130 characters, CR LF", line(130) + "\r\n4,5\r\n", {{C, 1, 2}, {C, 4, 5}, {E}}},
      {"131 characters", line(131) + "\n4,5\n", {{C, 1, 2}, {C, 4, 5}, {E}}, {{F}, {C, 4, 5}, {E}}},
      {"longer than a piece", line(300) + "\n4,5\n", {{C, 1, 2}, {C, 4, 5}, {E}}, {{F}, {C, 4, 5}, {E}}},
  });
}

// Only a file can hold values that long; a piece boundary inside a value
// does not end it.
TEST(Reader, LongValues) {
  std::string v260 = "1" + std::string(259, '0');
  std::string v261 = "1" + std::string(260, '0');
  struct {
    std::string input;
    std::vector<Step> want;
  } cases[] = {
      {"1," + v260 + "\n4,5\n", {{C, 1, 1e259}, {C, 4, 5}, {E}}},
      {"1," + v261 + "\n4,5\n", {{F, 1}, {C, 4, 5}, {E}}},
      {"1,0." + std::string(300, '0') + "5 4,5\n", {{F, 1}, {C, 4, 5}, {E}}},
  };
  for (auto& c : cases) {
    std::vector<Step> got = read_all(c.input, Mode::Split);
    EXPECT_EQ(got, c.want) << show(got);
  }
}

// Traps on, as in the program: no conversion may raise one.
class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  }
  void TearDown() override { fedisableexcept(FE_ALL_EXCEPT); }
};

TEST_F(Conversion, Integers) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct {
    const char* text;
    bool ok;
    std::int32_t want;
  } cases[] = {
      {"0", true, 0}, {"7", true, 7}, {"+7", true, 7}, {"-7", true, -7}, {"007", true, 7},
      {"2147483647", true, kMax}, {"2147483648", false, 0}, {"+2147483648", false, 0},
      {"-2147483648", true, kMin}, {"-2147483649", false, 0}, {"99999999999999", false, 0},
      {"-", true, 0}, {"+", true, 0},
      {"2#101", true, 5}, {"#FF", true, 255}, {"#ff", true, 255}, {"16#7f", true, 127},
      {"36#Zz", true, 35 * 36 + 35}, {"8#17777777777", true, kMax},
      {"#FFFFFFFF", true, -1}, {"16#FFFFFFFF", true, -1}, {"#80000000", true, kMin},
      {"2#11111111111111111111111111111111", true, -1}, {"#100000000", false, 0},
      {"10#2147483647", true, kMax}, {"10#2147483648", false, 0}, {"-#10", true, -16},
      {"1#0", false, 0}, {"37#1", false, 0}, {"0#1", false, 0}, {"2#2", false, 0},
      {"#1#2", false, 0}, {"#", false, 0}, {"16#", false, 0}, {"F#1", false, 0},
      {"3.0", false, 0}, {"3.", false, 0}, {"3e0", false, 0}, {"1-", false, 0},
      {"+-3", false, 0}, {"FF", false, 0}, {"3 ", false, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::int32_t v = 12345;
    bool ok = tw::convert_int(c.text, static_cast<int>(std::strlen(c.text)), &v);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(v, c.ok ? c.want : 12345);
  }
  EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0);
}

TEST_F(Conversion, Doubles) {
  constexpr double kMaxD = std::numeric_limits<double>::max();
  constexpr double kTiny = std::numeric_limits<double>::denorm_min();
  struct {
    std::string text;
    bool ok;
    double want;
  } cases[] = {
      {"1", true, 1.0}, {"1.", true, 1.0}, {"1.0", true, 1.0}, {"+1", true, 1.0},
      {".5", true, 0.5}, {"0.5", true, 0.5}, {"+.5", true, 0.5}, {"-1.5", true, -1.5},
      {"1e-3", true, 0.001}, {"1E-3", true, 0.001}, {"1d-3", true, 0.001}, {"1D-3", true, 0.001},
      {"1-3", true, 0.001}, {"1.5-3", true, 1.5e-3}, {"2+4", true, 2e4},
      {"1.0E+2", true, 100.0}, {"1e2", true, 100.0}, {"1E02", true, 100.0}, {"1d2", true, 100.0},
      {"1+2", true, 100.0}, {"0.1", true, 0.1}, {"123456.789", true, 123456.789},
      {"1.812e-05", true, 1.812e-05}, {"1e23", true, 1e23}, {"8.98846567431158e307", true, 8.98846567431158e307},
      {"-0", true, -0.0}, {"0e400", true, 0.0}, {"000.000001e6", true, 1.0},
      {"9007199254740993", true, 9007199254740992.0},  // a tie goes to even
      {"9007199254740995", true, 9007199254740996.0},
      {"1e-400", true, 0.0}, {"-1e-400", true, -0.0}, {"1e400", false, 0}, {"-1e400", false, 0},
      {"1e99999999999999999999", false, 0}, {"1e-99999999999999999999", true, 0.0},
      {"1.7976931348623157e308", true, kMaxD}, {"1.7976931348623158e308", true, kMaxD},
      {"1.7976931348623159e308", false, 0}, {"2.2250738585072014e-308", true, 2.2250738585072014e-308},
      {"2.2250738585072011e-308", true, 2.2250738585072011e-308},  // largest subnormal region
      {"4.9406564584124654e-324", true, kTiny}, {"2.4703282292062328e-324", true, kTiny},
      {"2.4703282292062327e-324", true, 0.0},
      // Only 24 significant digits count: just above the halfway point
      // between 1 and the next double, cut to 24 digits it is below.
      {"1.000000000000000111022302462515654042363166809082031251", true, 1.0},
      {"1.00000000000000011102230246", true, 1.0},
      {"0." + std::string(37, '0') + "1234567890123456789012349999e38", true, 1.23456789012345678901234},
      {".", false, 0}, {"-", false, 0}, {"+", false, 0}, {"e5", false, 0}, {"1e", false, 0},
      {"1d+", false, 0}, {"1e+", false, 0}, {"1.2.3", false, 0}, {"1e5.5", false, 0},
      {"0x10", false, 0}, {"inf", false, 0}, {"nan", false, 0}, {"1e5e5", false, 0},
      {"1+", false, 0}, {"1,5", false, 0}, {"1 ", false, 0}, {"--1", false, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    double v = 7.25;
    bool ok = tw::convert_real(c.text.data(), static_cast<int>(c.text.size()), &v);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(v), std::bit_cast<std::uint64_t>(c.ok ? c.want : 7.25));
  }
  EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0);
}

// The same values through the read, with traps on: 1e400 is a failed read.
TEST_F(Conversion, ThroughTheRead) {
  std::vector<Step> got = read_all("3,1e400\n4,1e-400\n5,1d308\n", Mode::Split);
  std::vector<Step> want = {{F, 3}, {C, 4, 0.0}, {C, 5, 1e308}, {E}};
  EXPECT_EQ(got, want) << show(got);
}

}  // namespace
