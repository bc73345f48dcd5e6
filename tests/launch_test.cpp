// The plot launch at the end of a whole run: stub interpreters in place of
// cmd.exe check what they find and answer with a chosen exit code.
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "output/format.h"
#include "tests/support.h"

namespace {

const std::string kPrompt = "--->";
const std::string kMessage = " Gnuplot script launch was not successful :";

// Copies both files as it finds them, says on standard output that it ran,
// and exits with the given code.
std::string stub(int code) {
  return "#!/bin/sh\n"
         "cp TWOPHMAP.out seen.out && cp TWOPHMAP.plp seen.plp\n"
         "printf '%s|%s' \"$1\" \"$2\" > seen.args\n"
         "printf 'STUB'\n"
         "exit " + std::to_string(code) + "\n";
}

struct Launch {
  twt::TempDir dir;
  twt::RunResult res;
  explicit Launch(const std::string& comspec_script, const char* comspec_name = "stub.sh") {
    std::string comspec = dir.file(comspec_name);
    if (!comspec_script.empty()) {
      dir.write(comspec_name, comspec_script);
      chmod(comspec.c_str(), 0755);
    }
    twt::RunOptions o;
    o.dir = dir.path;
    o.input = "0,0\n0,0\n";
    o.env = {{"COMSPEC", comspec}};
    res = twt::run(o);
  }
};

TEST(Launch, ResultDecidesTheMessage) {
  struct Case { int code; std::string tail; } cases[] = {
      {0, ""},
      {1, kMessage + "  1"},
      {255, kMessage + "255"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("exit code " + std::to_string(c.code));
    Launch l(stub(c.code));
    EXPECT_EQ(l.res.status, 0);
    EXPECT_EQ(l.res.err, "");
    // On a pipe the last prompt's line is still open: the interpreter's own
    // output follows it, then the message with its leading blank, then the
    // owed line break.
    const std::string want = kPrompt + "STUB" + c.tail + "\r\n";
    ASSERT_GE(l.res.out.size(), want.size());
    EXPECT_EQ(l.res.out.substr(l.res.out.size() - want.size()), want);
    EXPECT_EQ(l.dir.read("seen.args"), "/c|wgnuplot.exe TWOPHMAP.plt");
  }
}

TEST(Launch, MissingInterpreterGivesMinusOne) {
  Launch l("", "no-such-interpreter");
  EXPECT_EQ(l.res.status, 0);
  const std::string want = kPrompt + kMessage + " -1\r\n";
  ASSERT_GE(l.res.out.size(), want.size());
  EXPECT_EQ(l.res.out.substr(l.res.out.size() - want.size()), want);
  // The files are written all the same.
  EXPECT_EQ(twt::records(l.dir.read("TWOPHMAP.plp")).size(), 3u);
}

TEST(Launch, BothFilesCompleteWhenTheInterpreterStarts) {
  Launch l(stub(0));
  ASSERT_EQ(l.res.status, 0);
  ASSERT_TRUE(l.dir.exists("seen.out"));
  const std::string out = l.dir.read("seen.out"), plp = l.dir.read("seen.plp");
  EXPECT_EQ(out, l.dir.read("TWOPHMAP.out"));
  EXPECT_EQ(plp, l.dir.read("TWOPHMAP.plp"));

  auto recs = twt::records(out);
  ASSERT_EQ(recs.size(), 265u);
  EXPECT_EQ(recs[0], "Transtion E");
  EXPECT_EQ(recs[262], "  1.458448E+01  2.244037E+01");
  EXPECT_EQ(recs[263], "");
  EXPECT_EQ(recs[264], "");
  EXPECT_EQ(out.size(), 7585u);
  EXPECT_EQ(plp, twt::crlf({" set xrange[ 2.000E-02: 2.000E+02]",
                            " set yrange[ 2.000E-03: 2.000E+01]",
                            " larg=1"}));
}

// An exit code of 1000 cannot come from a POSIX child: the message is
// checked through the formatter alone.
TEST(Launch, MessageFieldOfThreeCharacters) {
  struct Case { int result; const char* field; } cases[] = {
      {1, "  1"}, {-1, " -1"}, {999, "999"}, {-99, "-99"}, {1000, "***"}, {-100, "***"},
  };
  const tw::Format& f = TW_FORMAT("(' Gnuplot script launch was not successful :',i3)");
  for (const auto& c : cases) {
    char text[46];
    tw::Dest d{tw::Dest::Text, 0, text, static_cast<int>(sizeof text)};
    tw::Item item = tw::it_int(c.result);
    tw::format_write(d, f, &item, 1);
    EXPECT_EQ(std::string(text, sizeof text), kMessage + c.field) << c.result;
  }
}

}  // namespace
