// The command runner in-process, with stub interpreters that record how they
// were called.
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "output/runner.h"
#include "tests/support.h"

namespace {

// Saves an environment variable and puts it back at the end of the test.
struct EnvGuard {
  std::string name, value;
  bool had;
  explicit EnvGuard(const char* n) : name(n) {
    const char* v = std::getenv(n);
    had = v != nullptr;
    if (had) value = v;
  }
  ~EnvGuard() {
    if (had) setenv(name.c_str(), value.c_str(), 1);
    else unsetenv(name.c_str());
  }
};

// A stub interpreter writing its arguments, one per line, to args.txt and
// exiting with the code given in the file "code" (0 when absent).
void write_stub(const twt::TempDir& d, const std::string& name) {
  d.write(name,
          "#!/bin/sh\n"
          ": > '" + d.file("args.txt") + "'\n"
          "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + d.file("args.txt") + "'; done\n"
          "if [ -f '" + d.file("code") + "' ]; then read c < '" + d.file("code") + "'; exit $c; fi\n"
          "exit 0\n");
  chmod(d.file(name).c_str(), 0755);
}

int run(const std::string& cmd) { return tw::run_command(cmd.data(), static_cast<int>(cmd.size())); }

class RunnerTest : public ::testing::Test {
 protected:
  EnvGuard comspec{"COMSPEC"};
  EnvGuard path{"PATH"};
  twt::TempDir dir;
  void SetUp() override {
    write_stub(dir, "stub");
    setenv("COMSPEC", dir.file("stub").c_str(), 1);
  }
};

TEST_F(RunnerTest, HandsOverSlashCAndTheTrimmedCommand) {
  // Trailing blanks go; leading and inner blanks, and other characters, stay.
  struct Case { std::string text, arg; } cases[] = {
      {"wgnuplot.exe TWOPHMAP.plt", "wgnuplot.exe TWOPHMAP.plt"},
      {"wgnuplot.exe TWOPHMAP.plt      ", "wgnuplot.exe TWOPHMAP.plt"},
      {"  a  b \"q\" $HOME |x  ", "  a  b \"q\" $HOME |x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.text), 0) << c.text;
    EXPECT_EQ(dir.read("args.txt"), "/c\n" + c.arg + "\n") << c.text;
  }
  // The length given counts, not the NUL: what follows it is not part of it.
  EXPECT_EQ(tw::run_command("echo hi   and more", 7), 0);
  EXPECT_EQ(dir.read("args.txt"), "/c\necho hi\n");
}

TEST_F(RunnerTest, ReturnsTheExitCode) {
  for (int code : {0, 1, 2, 127, 255}) {
    dir.write("code", std::to_string(code));
    EXPECT_EQ(run("x"), code);
  }
  // Started with SIGCHLD ignored, the code must not be lost to automatic
  // reaping; the setting is ours again afterwards.
  signal(SIGCHLD, SIG_IGN);
  dir.write("code", "5");
  EXPECT_EQ(run("x"), 5);
  EXPECT_EQ(signal(SIGCHLD, SIG_DFL), SIG_IGN);
}

TEST_F(RunnerTest, KilledInterpreterGives128PlusSignal) {
  dir.write("killer", "#!/bin/sh\nkill -TERM $$\nsleep 5\n");
  chmod(dir.file("killer").c_str(), 0755);
  setenv("COMSPEC", dir.file("killer").c_str(), 1);
  EXPECT_EQ(run("x"), 128 + 15);
  // SIGPIPE, which the test process may ignore, is back at default in the child.
  dir.write("pipe", "#!/bin/sh\nkill -PIPE $$\nexit 0\n");
  chmod(dir.file("pipe").c_str(), 0755);
  setenv("COMSPEC", dir.file("pipe").c_str(), 1);
  signal(SIGPIPE, SIG_IGN);
  EXPECT_EQ(run("x"), 128 + 13);
  signal(SIGPIPE, SIG_DFL);
}

TEST_F(RunnerTest, InterpreterThatCannotStartGivesMinusOne) {
  setenv("COMSPEC", dir.file("missing").c_str(), 1);
  EXPECT_EQ(run("x"), -1);
  dir.write("noexec", "#!/bin/sh\nexit 0\n");  // not executable
  setenv("COMSPEC", dir.file("noexec").c_str(), 1);
  EXPECT_EQ(run("x"), -1);
  setenv("COMSPEC", dir.path.c_str(), 1);  // a directory
  EXPECT_EQ(run("x"), -1);
  // A name without a slash is searched on PATH and not found there.
  setenv("PATH", dir.path.c_str(), 1);
  setenv("COMSPEC", "no-such-interpreter", 1);
  EXPECT_EQ(run("x"), -1);
  // ... and found there.
  setenv("COMSPEC", "stub", 1);
  dir.write("code", "3");
  EXPECT_EQ(run("x"), 3);
  EXPECT_EQ(dir.read("args.txt"), "/c\nx\n");
}

TEST_F(RunnerTest, LengthLimits) {
  // COMSPEC up to 260 characters is used, 261 refused before anything runs.
  for (size_t len : {260u, 261u}) {
    std::string name = dir.path + "/";
    name += std::string(len - name.size() - 1, 's') + "x";
    ASSERT_EQ(name.size(), len);
    if (len == 260) {
      std::string link = name;
      ASSERT_EQ(symlink(dir.file("stub").c_str(), link.c_str()), 0);
    }
    setenv("COMSPEC", name.c_str(), 1);
    unlink(dir.file("args.txt").c_str());
    int r = run("x");
    if (len == 260) {
      EXPECT_EQ(r, 0);
      EXPECT_TRUE(dir.exists("args.txt"));
    } else {
      ASSERT_EQ(symlink(dir.file("stub").c_str(), name.c_str()), 0);
      EXPECT_EQ(run("x"), -1) << "a runnable COMSPEC of 261 characters";
      EXPECT_FALSE(dir.exists("args.txt"));
    }
  }
  setenv("COMSPEC", dir.file("stub").c_str(), 1);
  // 1024 characters after trimming run; 1025 do not.
  std::string cmd(1024, 'c');
  EXPECT_EQ(run(cmd + "    "), 0);
  EXPECT_EQ(dir.read("args.txt"), "/c\n" + cmd + "\n");
  unlink(dir.file("args.txt").c_str());
  EXPECT_EQ(run(cmd + "d"), -1);
  EXPECT_EQ(run(cmd + "d  "), -1);
  EXPECT_FALSE(dir.exists("args.txt"));
}

TEST_F(RunnerTest, WithoutComspecCmdExeOnPathElseShell) {
  const std::string flag = dir.file("flag");
  const std::string cmd = "echo ran > '" + flag + "'; exit 7";
  // No cmd.exe on PATH: /bin/sh -c runs the command itself.
  setenv("PATH", (dir.path + ":/usr/bin:/bin").c_str(), 1);
  for (bool empty : {true, false}) {
    if (empty) setenv("COMSPEC", "", 1);
    else unsetenv("COMSPEC");
    unlink(flag.c_str());
    EXPECT_EQ(run(cmd), 7) << (empty ? "empty" : "unset");
    EXPECT_EQ(dir.read("flag"), "ran\n") << (empty ? "empty" : "unset");
  }
  // A cmd.exe on PATH takes the place of the shell and gets "/c".
  write_stub(dir, "cmd.exe");
  unsetenv("COMSPEC");
  unlink(flag.c_str());
  EXPECT_EQ(run(cmd), 0);
  EXPECT_EQ(dir.read("args.txt"), "/c\n" + cmd + "\n");
  EXPECT_FALSE(dir.exists("flag"));
}

}  // namespace
