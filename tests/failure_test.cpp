// The failure report on standard error, byte for byte, and what the end of
// a failed run still does.
#include <gtest/gtest.h>

#include <cfloat>
#include <string>

#include "output/failure.h"
#include "output/fileio.h"
#include "output/os.h"
#include "tests/support.h"

namespace {

using twt::RunResult;

RunResult child(const std::function<void()>& body, twt::ChildOptions opt = {}) {
  return twt::run_layers(body, opt);
}

// The main program at line 42 of its file, as the driver sets it up.
void main_frame() {
  tw::frame_push(nullptr, "twophmap.cpp", 10);
  tw::frame_at("twophmap.cpp", 42);
}

// clang-format off
void step_here() { TW_AT(); } constexpr int kStepLine = __LINE__;
// clang-format on

const std::string kMainLine = "\t\tfrom main program in twophmap.cpp(42)\r\n";

TEST(FailureReport, FileFailureInMainProgramAndInLire) {
  twt::TempDir dir;
  twt::ChildOptions in_dir;
  in_dir.dir = dir.path;
  RunResult main_only = child(
      [] {
        main_frame();
        tw::unit_open(6, "nodir/f.out", 11);
      },
      in_dir);
  ASSERT_EQ(main_only.status, 1);
  EXPECT_EQ(main_only.err,
            "\r\ntwophmap.cpp(42) : run-time error F6001: OPEN(nodir/f.out)\r\n"
            "- cannot open file: no such file or directory\r\n"
            "\r\nExecution traceback:\r\n" +
                kMainLine);

  RunResult in_lire = child([] {
    main_frame();
    tw::frame_push("LIRE", "lire.cpp", 20);
    tw::frame_push("LIRE", "lire.cpp", 20);
    tw::frame_pop();
    tw::frame_at("lire.cpp", 77);
    tw::fail_file(tw::Stmt::Write, "CON", 3, tw::os::Err::BrokenPipe);
  });
  ASSERT_EQ(in_lire.status, 1);
  EXPECT_EQ(in_lire.err,
            "\r\nlire.cpp(77) : run-time error F6006: WRITE(CON)\r\n"
            "- cannot write file: broken pipe\r\n"
            "\r\nExecution traceback:\r\n"
            "\t\tfrom LIRE in lire.cpp(77)\r\n" +
                kMainLine);
}

TEST(FailureReport, TrapsFromTheFloatingPointUnit) {
  struct Case {
    const char* name;
    double (*op)();
    std::string head;
  } cases[] = {
      {"divide", [] { volatile double a = 1.0, z = 0.0; return a / z; },
       "M6103: MATH\r\n- floating-point error: divide by zero"},
      {"invalid", [] { volatile double z = 0.0; return z / z; }, "M6101: MATH\r\n- floating-point error: invalid"},
      {"overflow", [] { volatile double b = DBL_MAX; return b * 10.0; },
       "M6104: MATH\r\n- floating-point error: overflow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunResult r = child([&] {
      tw::os::enable_fp_traps(&tw::fail_trap);
      main_frame();
      volatile double v = c.op();
      (void)v;
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\r\ntwophmap.cpp(42) : run-time error " + c.head +
                         "\r\n\r\nExecution traceback:\r\n" + kMainLine);
  }
  // Underflow and inexact results go on with their default values.
  RunResult quiet = child([] {
    tw::os::enable_fp_traps(&tw::fail_trap);
    volatile double tiny = 1e-308, third = 1.0;
    volatile double u = tiny * 1e-10, q = third / 3.0;
    tw::end_run(u >= 0.0 && q > 0.3 ? 0 : 3);
  });
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
}

TEST(FailureReport, RoutineAndMathFailures) {
  struct Case {
    std::function<void()> fail;
    std::string head;
  } cases[] = {
      {[] { tw::fail_routine("**", tw::RoutineErr::Domain); }, "M6201: MATH\r\n- **: DOMAIN error"},
      {[] { tw::fail_routine("sqrt", tw::RoutineErr::Domain); }, "M6201: MATH\r\n- sqrt: DOMAIN error"},
      {[] { tw::fail_routine("**", tw::RoutineErr::Sing); }, "M6202: MATH\r\n- **: SING error"},
      {[] { tw::fail_routine("**", tw::RoutineErr::Overflow); }, "M6203: MATH\r\n- **: OVERFLOW error"},
      {[] { tw::fail_math(6301, "sampling never ends: Transtion E"); },
       "M6301: MATH\r\n- sampling never ends: Transtion E"},
      {[] { tw::fail_format(tw::FormatFault::WrongItem, "TWOPHMAP.out", 12); },
       "F6501: WRITE(TWOPHMAP.out)\r\n- data item of the wrong kind for its edit"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.head);
    RunResult r = child([&] {
      main_frame();
      c.fail();
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "\r\ntwophmap.cpp(42) : run-time error " + c.head +
                         "\r\n\r\nExecution traceback:\r\n" + kMainLine);
  }
}

TEST(FailureReport, WithoutFramesAndWithTheSourcePositionMacro) {
  RunResult bare = child([] { tw::fail_routine("sqrt", tw::RoutineErr::Domain); });
  EXPECT_EQ(bare.status, 1);
  EXPECT_EQ(bare.err, "\r\nrun-time error M6201: MATH\r\n- sqrt: DOMAIN error\r\n\r\nExecution traceback:\r\n");

  // The position carries the file's own name, no directories.
  RunResult at = child([] {
    tw::frame_push(nullptr, "elsewhere.cpp", 1);
    step_here();
    tw::fail_math(6301, "x");
  });
  const std::string pos = "failure_test.cpp(" + std::to_string(kStepLine) + ")";
  EXPECT_EQ(at.err.rfind("\r\n" + pos + " : run-time error M6301", 0), 0u) << at.err;
  EXPECT_NE(at.err.find("\t\tfrom main program in " + pos + "\r\n"), std::string::npos);
}

TEST(FailureReport, EndOfRunWritesFilesAndOwedLineBreak) {
  twt::TempDir dir;
  dir.write("TWOPHMAP.plp", "old\r\n");
  twt::ChildOptions in_dir;
  in_dir.dir = dir.path;
  RunResult r = child(
      [] {
        tw::os::enable_fp_traps(&tw::fail_trap);
        main_frame();
        tw::unit_open(7, "TWOPHMAP.plp", 12);
        tw::unit_record(7, " set xrange[ 2.000E-02: 2.000E+02]", 34, false);
        tw::console_record(" shown", 6, false);
        volatile double a = 1.0, z = 0.0;
        volatile double q = a / z;
        (void)q;
      },
      in_dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(dir.read("TWOPHMAP.plp"), " set xrange[ 2.000E-02: 2.000E+02]\r\n");
  EXPECT_EQ(r.out, "shown\r\n");
  EXPECT_NE(r.err.find("M6103"), std::string::npos);
}

}  // namespace
