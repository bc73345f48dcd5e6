// End to end with the real gnuplot: the program's fixed command reaches the
// wgnuplot.exe launcher through /bin/sh, and the plot script draws the map.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "tests/support.h"

namespace {

const std::string kSource = TWOPHMAP_SOURCE_DIR;
const std::string kMessage = "Gnuplot script launch was not successful :";

bool have_gnuplot() { return std::system("command -v gnuplot >/dev/null 2>&1") == 0; }

#define REQUIRE_GNUPLOT()                                                      \
  do {                                                                         \
    if (!have_gnuplot()) {                                                     \
      const char* ci = std::getenv("CI");                                      \
      if (ci != nullptr && std::string(ci) == "true")                          \
        FAIL() << "gnuplot is missing (CI must install gnuplot-nox)";          \
      GTEST_SKIP() << "gnuplot is not installed: end-to-end plot not checked"; \
    }                                                                          \
  } while (0)

// The run that tools/run.sh makes: the plot script in the working
// directory, the launcher first on PATH, no COMSPEC and no display.
twt::RunResult run_map(const twt::TempDir& dir, const std::string& input,
                       const std::string& path_prefix = kSource + "/plot",
                       bool with_script = true) {
  if (with_script) dir.write("TWOPHMAP.plt", twt::read_file(kSource + "/plot/TWOPHMAP.plt"));
  const char* path = std::getenv("PATH");
  twt::RunOptions o;
  o.dir = dir.path;
  o.input = input;
  o.env = {{"PATH", path_prefix + ":" + (path ? path : "/usr/bin:/bin")}};
  o.unset_env = {"COMSPEC", "DISPLAY", "WAYLAND_DISPLAY", "TWOPHMAP_WINDOW"};
  return twt::run(o);
}

unsigned be32(const std::string& s, std::size_t at) {
  unsigned v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

void expect_png(const std::string& png) {
  ASSERT_GT(png.size(), 10000u) << "too small for a drawn map";
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(be32(png, 16), 960u);  // width
  EXPECT_EQ(be32(png, 20), 720u);  // height
}

TEST(Plot, DefaultAndWideTubeMaps) {
  REQUIRE_GNUPLOT();
  twt::TempDir narrow, wide;
  auto a = run_map(narrow, "0,0\n0,0\n");
  auto b = run_map(wide, "6,40\n0,0\n0,0\n");
  for (const auto* r : {&a, &b}) {
    EXPECT_EQ(r->status, 0);
    EXPECT_EQ(r->out.find(kMessage), std::string::npos) << r->out;
  }
  EXPECT_NE(a.err.find("TWOPHMAP.png : carte tracée (larg=1)"), std::string::npos) << a.err;
  EXPECT_NE(b.err.find("TWOPHMAP.png : carte tracée (larg=3)"), std::string::npos) << b.err;
  ASSERT_TRUE(narrow.exists("TWOPHMAP.png"));
  ASSERT_TRUE(wide.exists("TWOPHMAP.png"));
  const std::string pa = narrow.read("TWOPHMAP.png"), pb = wide.read("TWOPHMAP.png");
  expect_png(pa);
  expect_png(pb);
  EXPECT_TRUE(pa != pb) << "the wide tube drew the same picture as the narrow one";
}

TEST(Plot, FailuresComeBackAsTheMessage) {
  REQUIRE_GNUPLOT();
  {
    // gnuplot runs but finds no plot script: its own exit code, 1.
    twt::TempDir dir;
    auto r = run_map(dir, "0,0\n0,0\n", kSource + "/plot", false);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kMessage + "  1\r\n"), std::string::npos) << r.out;
    EXPECT_FALSE(dir.exists("TWOPHMAP.png"));
  }
  {
    // No launcher on PATH: the shell's "not found", 127.
    twt::TempDir dir, empty;
    auto r = run_map(dir, "0,0\n0,0\n", empty.path);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kMessage + "127\r\n"), std::string::npos) << r.out;
  }
}

}  // namespace
