// The map's constants and its power, square-root and loop guards, in process.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

#include "driver/state.h"
#include "map/curves.h"
#include "map/mathfn.h"
#include "map/sampling.h"
#include "output/failure.h"
#include "output/fileio.h"
#include "output/os.h"

namespace {

using namespace tw;

// Defaults taken the way the driver takes them, up to the shared quantities.
void default_constants() {
  state_reset();
  take_fluid();
  take_map();
  map_constants_g_ld_u0();
  map_constants_shared();
}

TEST(MapConstants, DefaultsGiveThePublishedValues) {
  default_constants();
  EXPECT_EQ(st.D, 0.025);
  EXPECT_EQ(st.nuL, 1.0e-06);
  EXPECT_EQ(st.LD, 100.0);
  EXPECT_EQ(st.rL, 1.1220184543019633);
  EXPECT_EQ(st.rG, st.rL);
  EXPECT_NEAR(st.U0, 0.2493512, 5e-8);
  EXPECT_NEAR(st.UMT, 1.740087, 5e-7);
  EXPECT_NEAR(st.UGSE, 0.4755113, 5e-8);
  EXPECT_NEAR(st.ULSE, 1.264576, 5e-7);
  EXPECT_NEAR(st.UGSE + st.ULSE, st.UMT, 1e-15);
  EXPECT_EQ(st.alpha, 0.25);
}

TEST(MapConstants, GridRatiosComeFromThePowerFunction) {
  struct Case { double n, ratio; } cases[] = {
      {1.0, 10.0}, {0.5, 100.0}, {2.5, std::pow(10.0, 0.4)}, {20.0, std::pow(10.0, 0.05)}};
  for (const auto& c : cases) {
    state_reset();
    st.params.values[4] = c.n;
    st.params.values[5] = c.n;
    take_map();
    EXPECT_EQ(st.rG, c.ratio) << c.n;
    EXPECT_EQ(st.rL, c.ratio) << c.n;
  }
}

// Routine errors end the run: each case runs in a child with the traps on,
// as in the program, so a trap would show as M61xx instead of M62xx.
void with_traps() { os::enable_fp_traps(fail_trap); }

volatile double sink;

TEST(MathRoutines, ErrorsAreTheRoutinesOwnNotTraps) {
  struct Case { const char* name; double (*op)(); const char* report; } cases[] = {
      {"negative base", [] { return pw(-1.0, 0.5); }, "M6201: MATH\r\n- \\*\\*: DOMAIN error\r\n"},
      {"zero to a negative power", [] { return pw(0.0, -1.0); }, "M6202: MATH\r\n- \\*\\*: SING error\r\n"},
      {"too large", [] { return pw(10.0, 400.0); }, "M6203: MATH\r\n- \\*\\*: OVERFLOW error\r\n"},
      {"negative square root", [] { return sq(-1.0); }, "M6201: MATH\r\n- sqrt: DOMAIN error\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          with_traps();
          sink = c.op();
          std::_Exit(0);
        },
        testing::ExitedWithCode(1), c.report)
        << c.name;
  }
}

TEST(MathRoutines, UnderflowIsUsedAndTrapsStayOn) {
  // An underflowing power gives its result; afterwards a division by zero
  // must still trap, and no flag of the held power may fire late.
  EXPECT_EXIT(
      {
        with_traps();
        double tiny = pw(10.0, -400.0);
        double denormal = pw(2.0, -1074.0);
        double root = sq(4.0);
        if (tiny != 0.0 || denormal != std::ldexp(1.0, -1074) || root != 2.0) std::_Exit(3);
        volatile double zero = 0.0;
        sink = 1.0 / zero;
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "M6103: MATH\r\n- floating-point error: divide by zero\r\n");
}

TEST(Sampling, LoopsThatNeverEndAreFoundAndTheOthersPass) {
  const double r20 = std::pow(10.0, 0.05);
  struct Case { const char* name; double start, ratio, stop; bool ends; } cases[] = {
      {"default E", 0.002, r20, 1.264576, true},
      {"start above stop", 5.0, r20, 1.0, true},
      {"start of zero", 0.0, r20, 1.0, false},
      {"ratio exactly 1", 0.002, std::pow(10.0, 1e-17), 1.0, false},
      {"more than 1e8 passes", 0.002, std::pow(10.0, 1e-9), 1.264576, false},
      {"falling ratio", 13.5, std::pow(10.0, -0.005), 13.37968, false},
      {"negative start rising to a negative stop", -1.0, std::pow(10.0, -0.05), -0.02, true},
      {"negative start running away", -1.0, r20, 1.0, true},
      {"ratio underflowed to zero", 1.0, 0.0, 2.0, false},
  };
  for (const auto& c : cases) EXPECT_EQ(sampling_ends(c.start, c.ratio, c.stop), c.ends) << c.name;
  // J's bound is ratio * top.
  EXPECT_TRUE(sampling_ends_bound(0.002, r20, 20.0));
  EXPECT_TRUE(sampling_ends_bound(0.002, r20, 1e308));  // the bound itself overflows
  EXPECT_FALSE(sampling_ends_bound(0.0, r20, 20.0));
}

TEST(Sampling, TheGuardTrapsNothingAndLeavesTheTrapsOn) {
  EXPECT_EXIT(
      {
        with_traps();
        if (!sampling_ends(-1.0, std::pow(10.0, 0.05), 1.0)) std::_Exit(3);
        if (std::fetestexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO)) std::_Exit(4);
        volatile double big = 1e308;
        sink = big * 10.0;
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "M6104: MATH\r\n- floating-point error: overflow\r\n");
}

TEST(Sampling, RefusalNamesTheCurve) {
  EXPECT_EXIT(
      {
        with_traps();
        require_end('H', 0.0, 2.0, 1.0);
        std::_Exit(0);
      },
      testing::ExitedWithCode(1), "M6301: MATH\r\n- sampling never ends: Transtion H\r\n");
}

}  // namespace
