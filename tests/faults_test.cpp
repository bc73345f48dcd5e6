// Faults of the machine met by the real program: a full disk, files and
// directories it may not write, standard streams closed or gone. Each ends
// with one report and the records the system took still in the files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support.h"

namespace {

const std::string kDefaults = "0,0\n0,0\n";
// rhoG above rhoL: the power in U0 fails after the two range records.
const std::string kBadPower = "1,2000\n0,0\n0,0\n";

struct Reference {
  std::string out, plp, console;
};

// The bytes of an undisturbed run with the default answers.
const Reference& reference() {
  static const Reference ref = [] {
    twt::TempDir d;
    twt::RunResult r = twt::run({.dir = d.path, .input = kDefaults, .env = {{"COMSPEC", "/bin/true"}}});
    EXPECT_EQ(r.status, 0) << r.err;
    return Reference{d.read("TWOPHMAP.out"), d.read("TWOPHMAP.plp"), r.out};
  }();
  return ref;
}

// The real program in a forked child, with whatever run_child set up.
// A copy of the program that an unprivileged user can reach and run, wherever
// the build directory stands.
const std::string& program_copy() {
  static twt::TempDir bin;
  static const std::string path = [] {
    std::string p = bin.file("twophmap");
    twt::write_file(p, twt::read_file(TWOPHMAP_EXE));
    chmod(p.c_str(), 0755);
    chmod(bin.path.c_str(), 0755);
    return p;
  }();
  return path;
}

// The console may go to /dev/null, out of reach of a file size limit.
twt::RunResult run_program(const twt::ChildOptions& opt, bool close_stderr = false, bool null_stdout = false) {
  const std::string exe = program_copy();
  return twt::run_child(
      [close_stderr, null_stdout, exe] {
        setenv("COMSPEC", "/bin/true", 1);
        if (close_stderr) close(2);
        if (null_stdout && !freopen("/dev/null", "wb", stdout)) _exit(126);
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
      },
      opt);
}

int count(const std::string& hay, const std::string& needle) {
  int n = 0;
  for (std::size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++n;
  return n;
}

// Exactly one file-layer report, on the statement given.
void expect_one_file_report(const twt::RunResult& r, const std::string& stmt) {
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(count(r.err, "run-time error "), 1) << r.err;
  EXPECT_NE(r.err.find("run-time error F6"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(stmt), std::string::npos) << r.err;
}

std::string size_of(const twt::TempDir& d, const char* name) {
  struct stat sb;
  if (stat(d.file(name).c_str(), &sb) != 0) return "missing";
  return std::to_string(sb.st_size);
}

// The disk fills at a given size: the file holds exactly the bytes the
// system took, the refused buffer is not retried, and the plot settings
// still get their records at the end of the run. The limit binds every
// file of the child, its standard error too, which the report must fit.
TEST(Faults, DiskFullKeepsExactlyTheAcceptedBytes) {
  const Reference& ref = reference();
  for (long limit : {300L, 1024L, 1500L, 2500L, 7000L}) {
    SCOPED_TRACE(limit);
    twt::TempDir d;
    twt::RunResult r = run_program({.dir = d.path, .input = kDefaults, .file_size_limit = limit}, false, true);
    expect_one_file_report(r, ": WRITE(TWOPHMAP.out)");
    EXPECT_NE(r.err.find("file too large"), std::string::npos) << r.err;
    EXPECT_EQ(d.read("TWOPHMAP.out"), ref.out.substr(0, static_cast<std::size_t>(limit)));
    EXPECT_EQ(d.read("TWOPHMAP.plp"), ref.plp);
  }
}

struct Refusal {
  const char* name;
  std::string setup;  // what stands in the directory before the run
  const char* stmt;   // the statement of the report
};

class Refused : public ::testing::TestWithParam<Refusal> {};

// Existing files the program may not write, a directory in place of a file,
// a directory where nothing may be created. Run as an unprivileged user,
// since file modes refuse nothing to root.
TEST_P(Refused, ReportsOnceAndKeepsOldFiles) {
  const Refusal& c = GetParam();
  const Reference& ref = reference();
  twt::TempDir d;
  const std::string old = "old contents\r\n";
  auto put_readonly = [&](const char* name) {
    d.write(name, old);
    chmod(d.file(name).c_str(), 0444);
  };
  mode_t dir_mode = 0777;
  if (c.setup == "out-readonly") put_readonly("TWOPHMAP.out");
  if (c.setup == "plp-readonly") put_readonly("TWOPHMAP.plp");
  if (c.setup == "out-dir") mkdir(d.file("TWOPHMAP.out").c_str(), 0777);
  if (c.setup == "plp-dir") mkdir(d.file("TWOPHMAP.plp").c_str(), 0777);
  if (c.setup == "dir-readonly") dir_mode = 0555;
  chmod(d.path.c_str(), dir_mode);

  twt::RunResult r = run_program({.dir = d.path, .input = kDefaults, .as_nobody = true});
  chmod(d.path.c_str(), 0777);
  if (r.status == twt::kChildCannotDrop) GTEST_SKIP() << "cannot drop to an unprivileged user";
  expect_one_file_report(r, c.stmt);

  if (c.setup == "out-readonly") {
    EXPECT_EQ(d.read("TWOPHMAP.out"), old);
    EXPECT_EQ(d.read("TWOPHMAP.plp"), ref.plp);  // written out at the end of the run
  }
  if (c.setup == "plp-readonly") {
    EXPECT_EQ(d.read("TWOPHMAP.plp"), old);
    EXPECT_EQ(d.read("TWOPHMAP.out"), ref.out);  // closed before the settings file
  }
  if (c.setup == "out-dir") {
    EXPECT_EQ(size_of(d, "TWOPHMAP.plp"), "missing");
  }
  if (c.setup == "plp-dir") {
    EXPECT_EQ(size_of(d, "TWOPHMAP.out"), "0");
  }
  if (c.setup == "dir-readonly") {
    EXPECT_EQ(size_of(d, "TWOPHMAP.out"), "missing");
    EXPECT_EQ(size_of(d, "TWOPHMAP.plp"), "missing");
  }
  // Failures of opening come before the menu: nothing on the console.
  if (std::string(c.stmt).find("OPEN") != std::string::npos) {
    EXPECT_EQ(r.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Refused,
    ::testing::Values(Refusal{"OutReadOnly", "out-readonly", ": WRITE(TWOPHMAP.out)"},
                      Refusal{"PlpReadOnly", "plp-readonly", ": CLOSE(TWOPHMAP.plp)"},
                      Refusal{"OutDirectory", "out-dir", ": OPEN(TWOPHMAP.out)"},
                      Refusal{"PlpDirectory", "plp-dir", ": OPEN(TWOPHMAP.plp)"},
                      Refusal{"DirReadOnly", "dir-readonly", ": OPEN(TWOPHMAP.out)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Standard output closed: the first console record is refused, reported on
// the console statement, and no file opened earlier stands in for it.
TEST(Faults, StdoutClosed) {
  twt::TempDir d;
  twt::RunResult r = twt::run({.dir = d.path, .input = kDefaults, .close_stdout = true});
  expect_one_file_report(r, ": WRITE(CON)");
  EXPECT_EQ(size_of(d, "TWOPHMAP.out"), "0");
  EXPECT_EQ(size_of(d, "TWOPHMAP.plp"), "0");
}

// A pipe whose reader is gone: no death by SIGPIPE, the same report.
TEST(Faults, StdoutBrokenPipe) {
  twt::TempDir d;
  twt::RunResult r = run_program({.dir = d.path, .out = twt::ChildOptions::Out::BrokenPipe, .input = kDefaults});
  EXPECT_NE(r.status, 128 + SIGPIPE);
  expect_one_file_report(r, ": WRITE(CON)");
  EXPECT_NE(r.err.find("broken pipe"), std::string::npos) << r.err;
  EXPECT_EQ(size_of(d, "TWOPHMAP.out"), "0");
}

// Standard output is a file that fills: it holds exactly the bytes taken,
// a prefix of the normal console output, and nothing follows the refusal.
TEST(Faults, StdoutFullStopsTheConsole) {
  const Reference& ref = reference();
  twt::TempDir d;
  twt::TempDir outdir;
  std::string stdout_path = outdir.file("console");
  twt::RunResult r = twt::run_child(
      [&] {
        setenv("COMSPEC", "/bin/true", 1);
        FILE* f = freopen(stdout_path.c_str(), "wb", stdout);
        if (!f) _exit(126);
        execl(TWOPHMAP_EXE, TWOPHMAP_EXE, static_cast<char*>(nullptr));
        _exit(127);
      },
      {.dir = d.path, .input = kDefaults, .file_size_limit = 300});
  expect_one_file_report(r, ": WRITE(CON)");
  EXPECT_EQ(twt::read_file(stdout_path), ref.console.substr(0, 300));
}

// Standard input closed: the refused read fails like a bad answer, both
// menus return and the default map is written. An old curve file holding a
// stop answer must not become standard input.
TEST(Faults, StdinClosedGivesTheDefaultMap) {
  const Reference& ref = reference();
  twt::TempDir d;
  d.write("TWOPHMAP.out", "-1,0\r\n");
  twt::RunResult r = twt::run({.dir = d.path, .env = {{"COMSPEC", "/bin/true"}}, .close_stdin = true});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out.find("Retour DOS"), std::string::npos);
  EXPECT_EQ(d.read("TWOPHMAP.out"), ref.out);
  EXPECT_EQ(d.read("TWOPHMAP.plp"), ref.plp);
}

// Standard error closed: a normal run is unchanged; a failing run still
// exits 1, and its report lands in no file opened in the meantime.
TEST(Faults, StderrClosed) {
  const Reference& ref = reference();
  {
    twt::TempDir d;
    twt::RunResult r = run_program({.dir = d.path, .input = kDefaults}, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ref.console);
    EXPECT_EQ(d.read("TWOPHMAP.out"), ref.out);
  }
  {
    twt::TempDir d;
    twt::RunResult r = run_program({.dir = d.path, .input = kBadPower}, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(d.read("TWOPHMAP.out"), "");
    std::string plp = d.read("TWOPHMAP.plp");
    EXPECT_EQ(plp, ref.plp.substr(0, plp.size()));
    EXPECT_EQ(twt::records(plp).size(), 2u) << plp;
  }
}

}  // namespace
