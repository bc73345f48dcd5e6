// Console bytes on standard output: line starts, pending and open lines,
// reads on a shared terminal, the stop, and a refused write.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "output/fileio.h"
#include "output/os.h"
#include "tests/support.h"

namespace {

using twt::ChildOptions;
using twt::RunResult;

// A fresh run in a child; the body's run ends normally unless it ends itself.
RunResult child(const std::function<void()>& body, ChildOptions opt = {}) {
  return twt::run_layers(body, opt);
}

void rec(const std::string& s, bool left_open = false) { tw::console_record(s.data(), s.size(), left_open); }

struct StartCase {
  char first;
  const char* pending;  // line start after an earlier record
  const char* fresh;    // line start with nothing pending
};

TEST(Console, FirstCharacterChoosesLineStart) {
  const StartCase cases[] = {
      {' ', "\r\n", ""},
      {'0', "\r\n\r\n", "\r\n"},
      {'1', "\r\n\f\r \r", "\r\n\f\r \r"},
      {'+', "\r", "\r"},
      {'x', "\r\n", ""},
  };
  for (const StartCase& c : cases) {
    SCOPED_TRACE(std::string("first character '") + c.first + "'");
    std::string r = std::string(1, c.first) + "ab";
    RunResult fresh = child([&] { rec(r); });
    EXPECT_EQ(fresh.out, std::string(c.fresh) + "ab\r\n");
    RunResult after = child([&] {
      rec(" first");
      rec(r);
    });
    EXPECT_EQ(after.out, std::string("first") + c.pending + "ab\r\n");
    EXPECT_EQ(after.status, 0);
  }
}

TEST(Console, EmptyRecordShowsAsEmptyLine) {
  RunResult r = child([] {
    rec(" a");
    tw::console_record("", 0, false);
    rec(" b");
  });
  EXPECT_EQ(r.out, "a\r\n\r\nb\r\n");
}

TEST(Console, NoAdvanceLeavesLineOpenForWholeNextRecord) {
  // Split console: the read between the two writes changes nothing.
  RunResult r = child([] {
    if (tw::console_shared()) tw::end_run(42);
    rec(" taper -1,0 pour arreter  --->", true);
    tw::console_read_start();
    tw::console_line_end_consumed();
    rec("  1 ---> row");
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "taper -1,0 pour arreter  --->  1 ---> row\r\n");
}

TEST(Console, LongRecordArrivesWhole) {
  std::string text(" ");
  for (int i = 0; i < 400; ++i) text += static_cast<char>('a' + i % 26);
  RunResult r = child([&] {
    rec(" x");
    rec(text);
  });
  EXPECT_EQ(r.out, "x\r\n" + text.substr(1) + "\r\n");
}

TEST(Console, SharedReadAfterPromptWritesNothing) {
  ChildOptions pty;
  pty.out = ChildOptions::Out::Pty;
  RunResult r = child(
      [] {
        if (!tw::console_shared()) tw::end_run(42);
        rec(" prompt --->", true);
        tw::console_read_start();
        tw::console_line_end_consumed();  // the answer's Enter
        rec(" row");
      },
      pty);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "prompt --->row\r\n");
}

TEST(Console, SharedReadAfterPendingLineBreaksIt) {
  ChildOptions pty;
  pty.out = ChildOptions::Out::Pty;
  // A read that meets the end of input before any line end: the line stays
  // pending, so the stop writes a break before its text and the end one more.
  RunResult r = child(
      [] {
        rec(" title");
        tw::console_read_start();
        tw::stop_with_message("Retour DOS");
      },
      pty);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "title\r\n\r\nRetour DOS\r\n\r\n");

  // A read that fails before its line end clears only the open line.
  RunResult failed = child(
      [] {
        rec(" prompt --->", true);
        tw::console_read_start();
        rec(" next");
      },
      pty);
  EXPECT_EQ(failed.out, "prompt --->\r\nnext\r\n");
}

TEST(Console, StopWithMessage) {
  RunResult fresh = child([] { tw::stop_with_message("Retour DOS"); });
  EXPECT_EQ(fresh.status, 0);
  EXPECT_EQ(fresh.out, "Retour DOS\r\n");
  EXPECT_EQ(fresh.err, "");

  // Split console after the prompt: the owed break before, and one at the end.
  RunResult pending = child([] {
    rec(" taper -1,0 pour arreter  --->", true);
    tw::stop_with_message("Retour DOS");
  });
  EXPECT_EQ(pending.status, 0);
  EXPECT_EQ(pending.out, "taper -1,0 pour arreter  --->\r\nRetour DOS\r\n\r\n");
}

TEST(Console, RefusedWriteIsReportedAndEndsTheRun) {
  ChildOptions broken;
  broken.out = ChildOptions::Out::BrokenPipe;
  RunResult r = child([] { rec(" hello"); }, broken);
  EXPECT_EQ(r.status, 1);  // not killed by SIGPIPE
  EXPECT_EQ(r.err,
            "\r\nrun-time error F6006: WRITE(CON)\r\n- cannot write file: broken pipe\r\n"
            "\r\nExecution traceback:\r\n");

  // The stop's own write is refused the same way.
  RunResult stop = child([] { tw::stop_with_message("Retour DOS"); }, broken);
  EXPECT_EQ(stop.status, 1);
  EXPECT_NE(stop.err.find(": WRITE(CON)"), std::string::npos);
}

TEST(Console, FetchReadsStandardInput) {
  ChildOptions in;
  in.input = "3,5\n";
  RunResult r = child(
      [] {
        char buf[132];
        long n = tw::console_fetch(buf, sizeof buf);
        long end = tw::console_fetch(buf + 4, sizeof buf - 4);
        bool ok = n == 4 && std::memcmp(buf, "3,5\n", 4) == 0 && end == 0;
        tw::end_run(ok ? 0 : 3);
      },
      in);
  EXPECT_EQ(r.status, 0);

  ChildOptions closed;
  closed.close_stdin = true;
  RunResult c = child(
      [] {
        char buf[16];
        tw::end_run(tw::console_fetch(buf, sizeof buf) == -1 ? 0 : 3);
      },
      closed);
  EXPECT_EQ(c.status, 0);
}

}  // namespace
