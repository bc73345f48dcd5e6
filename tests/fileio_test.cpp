// File units through real files: when old contents go, record bytes, buffer
// boundaries, and every refusal with its report.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "output/fileio.h"
#include "output/os.h"
#include "tests/support.h"

namespace {

using twt::ChildOptions;
using twt::RunResult;

RunResult child(const twt::TempDir& dir, const std::function<void()>& body, ChildOptions opt = {}) {
  opt.dir = dir.path;
  return twt::run_layers(body, opt);
}

void open(int unit, const std::string& name) { tw::unit_open(unit, name.data(), static_cast<int>(name.size())); }
void put(int unit, const std::string& rec) { tw::unit_record(unit, rec.data(), rec.size(), false); }

std::string report(const std::string& stmt_and_name, const std::string& number, const std::string& message) {
  return "\r\nrun-time error " + number + stmt_and_name + "\r\n- " + message + "\r\n\r\nExecution traceback:\r\n";
}

TEST(FileUnit, ExistingFileUntouchedUntilFirstRecord) {
  twt::TempDir dir;
  const std::string old = "old contents\r\nsecond line without end";
  dir.write("f.out", old);
  // Opened and closed; opened and left by a stop; opened and left by a failure.
  RunResult closed = child(dir, [] {
    open(6, "f.out");
    tw::unit_close(6);
  });
  EXPECT_EQ(closed.status, 0);
  EXPECT_EQ(dir.read("f.out"), old);
  RunResult stopped = child(dir, [] {
    open(6, "f.out");
    tw::stop_with_message("Retour DOS");
  });
  EXPECT_EQ(stopped.status, 0);
  EXPECT_EQ(dir.read("f.out"), old);
  RunResult failed = child(dir, [] {
    open(6, "f.out");
    tw::fail_trap(tw::os::Trap::DivByZero);
  });
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(dir.read("f.out"), old);
}

TEST(FileUnit, FirstRecordReplacesOldContents) {
  twt::TempDir dir;
  dir.write("f.out", std::string(5000, 'x'));
  RunResult r = child(dir, [] {
    open(6, "f.out");
    put(6, "Transtion E");
    put(6, "");
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("f.out"), "Transtion E\r\n\r\n");
}

TEST(FileUnit, MissingFileIsCreatedEmpty) {
  twt::TempDir dir;
  RunResult r = child(dir, [] {
    open(6, "new.out");
    tw::unit_close(6);
  });
  EXPECT_EQ(r.status, 0);
  ASSERT_TRUE(dir.exists("new.out"));
  EXPECT_EQ(dir.read("new.out"), "");
  struct stat sb;
  ASSERT_EQ(stat(dir.file("new.out").c_str(), &sb), 0);
  EXPECT_TRUE(S_ISREG(sb.st_mode));
}

TEST(FileUnit, RecordsCrossingBufferBoundariesArriveIntact) {
  twt::TempDir dir;
  dir.write("b.out", "stale");
  std::string big(3000, ' ');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + i % 23);
  std::string expect_a = big + "\r\n", expect_b;
  for (int i = 0; i < 700; ++i) {
    std::string rec(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
    expect_a += rec + "\r\n";
    expect_b += std::to_string(i) + "\r\n";
  }
  // Unit 6 closed explicitly, unit 7 written out by the end of the run.
  RunResult r = child(dir, [&] {
    open(6, "a.out");
    open(7, "b.out");
    put(6, big);
    for (int i = 0; i < 700; ++i) {
      put(6, std::string(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26)));
      put(7, std::to_string(i));
    }
    tw::unit_close(6);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(dir.read("a.out"), expect_a);
  EXPECT_EQ(dir.read("b.out"), expect_b);
}

TEST(FileUnit, ReopeningAUnitClosesItsFirstFile) {
  twt::TempDir dir;
  RunResult r = child(dir, [] {
    open(6, "one.out");
    put(6, "first");
    open(6, "two.out");
    put(6, "second");
    int len = 0;
    const char* name = tw::unit_name(6, &len);
    if (std::string(name, static_cast<std::size_t>(len)) != "two.out") tw::end_run(3);
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.read("one.out"), "first\r\n");
  EXPECT_EQ(dir.read("two.out"), "second\r\n");
}

TEST(FileUnit, RefusedOpens) {
  twt::TempDir dir;
  ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0777), 0);
  // 261 characters that the system itself would take.
  const std::string too_long = "./sub/" + std::string(255, 'n');
  struct Case {
    std::string name, number, reason;
  } cases[] = {
      {"sub", "F6003", "is a directory"},
      {"missing/f.out", "F6001", "no such file or directory"},
      {too_long, "F6010", "file name too long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    RunResult r = child(dir, [&] { open(6, c.name); });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, report(": OPEN(" + c.name + ")", c.number, "cannot open file: " + c.reason));
  }
  // 260 characters is still a name.
  const std::string longest = "./sub/" + std::string(254, 'n');
  RunResult ok = child(dir, [&] {
    open(6, longest);
    tw::unit_close(6);
  });
  EXPECT_EQ(ok.status, 0);
  EXPECT_TRUE(dir.exists(longest));
}

TEST(FileUnit, FullDeviceFailsAtWriteOutOnce) {
  twt::TempDir dir;
  ASSERT_EQ(symlink("/dev/full", dir.file("full").c_str()), 0);
  ASSERT_EQ(symlink("/dev/full", dir.file("full2").c_str()), 0);
  const std::string rec(99, 'r');

  // Devices are never cut (cutting /dev/full would be refused on its own).
  // A buffer that fills: the write is refused. The other units are still
  // written out at the end (the regular one), silently dropped (the device).
  RunResult w = child(dir, [&] {
    open(7, "full2");
    open(8, "kept.out");
    open(6, "full");
    put(7, "buffered");
    put(8, "kept");
    for (int i = 0; i < 20; ++i) put(6, rec);
  });
  EXPECT_EQ(w.status, 1);
  EXPECT_EQ(w.err, report(": WRITE(full)", "F6004", "cannot write file: disk full"));
  EXPECT_EQ(dir.read("kept.out"), "kept\r\n");

  // A short write-out at the close, explicit or at the end of the run.
  RunResult c = child(dir, [&] {
    open(6, "full");
    put(6, rec);
    tw::unit_close(6);
  });
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.err, report(": CLOSE(full)", "F6004", "cannot close file: disk full"));
  RunResult e = child(dir, [&] {
    open(6, "full");
    put(6, rec);
  });
  EXPECT_EQ(e.status, 1);
  EXPECT_EQ(e.err, c.err);
}

TEST(FileUnit, AcceptedRecordsStayAfterARefusal) {
  twt::TempDir dir;
  ChildOptions limit;
  limit.file_size_limit = 1500;
  const std::string rec(99, 's');
  std::string all;
  for (int i = 0; i < 40; ++i) all += rec + "\r\n";
  RunResult r = child(
      dir,
      [&] {
        open(6, "f.out");
        for (int i = 0; i < 40; ++i) put(6, rec);
      },
      limit);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report(": WRITE(f.out)", "F6005", "cannot write file: file too large"));
  EXPECT_EQ(dir.read("f.out"), all.substr(0, 1500));
}

TEST(FileUnit, ReadOnlyFileFailsAtFirstWriteOut) {
  twt::TempDir dir;
  dir.write("ro.out", "old\r\n");
  ASSERT_EQ(chmod(dir.file("ro.out").c_str(), 0444), 0);
  ChildOptions nobody;
  nobody.as_nobody = true;
  const std::string rec(99, 'q');

  RunResult full = child(
      dir,
      [&] {
        open(6, "ro.out");
        for (int i = 0; i < 20; ++i) put(6, rec);
      },
      nobody);
  if (full.status == twt::kChildCannotDrop) GTEST_SKIP() << "cannot run the child as an unprivileged user";
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, report(": WRITE(ro.out)", "F6002", "cannot write file: permission denied"));
  EXPECT_EQ(dir.read("ro.out"), "old\r\n");

  RunResult at_close = child(
      dir,
      [&] {
        open(6, "ro.out");
        put(6, rec);
      },
      nobody);
  EXPECT_EQ(at_close.status, 1);
  EXPECT_EQ(at_close.err, report(": CLOSE(ro.out)", "F6002", "cannot close file: permission denied"));
  EXPECT_EQ(dir.read("ro.out"), "old\r\n");
}

TEST(FileUnit, HandleNeverTakesAClosedStandardOutput) {
  twt::TempDir dir;
  ChildOptions closed;
  closed.close_stdout = true;
  RunResult r = child(
      dir,
      [] {
        open(6, "f.out");
        put(6, "data");
        tw::console_record(" hello", 6, false);
      },
      closed);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, report(": WRITE(CON)", "F6007", "cannot write file: bad file handle"));
  EXPECT_EQ(dir.read("f.out"), "data\r\n");
}

}  // namespace
