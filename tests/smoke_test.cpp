#include <gtest/gtest.h>

#include "tests/support.h"

TEST(Smoke, ProgramRunsAndEnds) {
  twt::TempDir dir;
  auto r = twt::run({.dir = dir.path, .input = "0,0\n0,0\n"});
  EXPECT_FALSE(r.timed_out);
}
