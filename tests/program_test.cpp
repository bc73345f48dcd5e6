// The whole program, run as a child with piped answers, checked against the
// records the map must produce.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/support.h"

namespace {

using Recs = std::vector<std::string>;

struct Block {
  std::string title;
  Recs pairs;
};

// Splits the curve data file into its blocks; every block must be a title,
// its pairs and two empty records, and every line must end in CR LF.
std::vector<Block> blocks_of(const std::string& bytes) {
  std::vector<Block> out;
  Recs recs = twt::records(bytes);
  std::size_t i = 0;
  while (i < recs.size()) {
    Block b;
    b.title = recs[i++];
    EXPECT_EQ(b.title.rfind("Transtion ", 0), 0u) << "record " << i;
    while (i < recs.size() && !recs[i].empty() && recs[i] != "<no CRLF>") {
      EXPECT_EQ(recs[i].size(), 28u) << recs[i];
      b.pairs.push_back(recs[i++]);
    }
    EXPECT_TRUE(i + 1 < recs.size() && recs[i].empty() && recs[i + 1].empty())
        << "block " << b.title << " lacks its separator";
    i += 2;
    out.push_back(b);
  }
  return out;
}

std::string titles(const std::vector<Block>& bs) {
  std::string s;
  for (auto& b : bs) s += b.title.back();
  return s;
}

struct MapRun {
  twt::RunResult r;
  std::string out, plp;
  bool out_exists, plp_exists;
};

// An interpreter that exits with the given code, named by COMSPEC.
std::string stub_interpreter(const twt::TempDir& dir, int code) {
  std::string path = dir.file("stubshell.sh");
  twt::write_file(path, "#!/bin/sh\nexit " + std::to_string(code) + "\n");
  chmod(path.c_str(), 0755);
  return path;
}

// Answers for each menu, each ending with 0,0 to leave it.
MapRun run_map(const twt::TempDir& dir, const std::string& fluid, const std::string& map,
            int launch = 0) {
  MapRun run;
  twt::RunOptions o;
  o.dir = dir.path;
  o.input = fluid + "0,0\n" + map + "0,0\n";
  o.env = {{"COMSPEC", stub_interpreter(dir, launch)}};
  run.r = twt::run(o);
  run.out_exists = dir.exists("TWOPHMAP.out");
  run.plp_exists = dir.exists("TWOPHMAP.plp");
  run.out = dir.read("TWOPHMAP.out");
  // Only a plain file is read back: a device such as /dev/full never ends.
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(dir.file("TWOPHMAP.plp"))))
    run.plp = dir.read("TWOPHMAP.plp");
  return run;
}

const Recs kDefaultPlp = {" set xrange[ 2.000E-02: 2.000E+02]", " set yrange[ 2.000E-03: 2.000E+01]",
                          " larg=1"};

std::vector<Block> default_blocks() {
  static std::vector<Block> bs = [] {
    twt::TempDir d;
    return blocks_of(run_map(d, "", "").out);
  }();
  return bs;
}

TEST(Program, DefaultMapHasEveryStatedRecord) {
  twt::TempDir dir;
  MapRun run = run_map(dir, "", "");
  ASSERT_EQ(run.r.status, 0) << run.r.err;
  EXPECT_EQ(run.r.err, "");
  EXPECT_EQ(run.plp, twt::crlf(kDefaultPlp));
  EXPECT_EQ(run.r.out.find("Gnuplot"), std::string::npos);

  Recs recs = twt::records(run.out);
  EXPECT_EQ(recs.size(), 265u);
  EXPECT_EQ(run.out.substr(run.out.size() - 4), "\r\n\r\n");

  auto bs = blocks_of(run.out);
  ASSERT_EQ(titles(bs), "EGFHJ");
  const std::size_t counts[] = {58, 22, 35, 53, 82};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(bs[i].pairs.size(), counts[i]) << bs[i].title;
  ASSERT_EQ(recs.size(), 265u);

  auto& E = bs[0].pairs;
  EXPECT_EQ(E.front(), "  5.465278E-02  2.000000E-03");
  EXPECT_EQ(E[56], "  4.746243E-01  1.261915E+00");
  EXPECT_EQ(E.back(), "  4.755113E-01  1.264576E+00");
  auto& G = bs[1].pairs;
  EXPECT_EQ(G.front(), "  9.479650E-01  7.921220E-01");
  EXPECT_EQ(G[1], "  1.623715E+00  1.415892E+00");
  EXPECT_EQ(G[20], "  1.376058E+01  1.261915E+01");
  EXPECT_EQ(G.back(), "  1.458448E+01  1.337968E+01");
  auto& F = bs[2].pairs;
  EXPECT_EQ(F.front(), "  2.000000E-02  1.720087E+00");
  EXPECT_EQ(F[33], "  8.933672E-01  8.467198E-01");
  EXPECT_EQ(F.back(), G.front());
  auto& H = bs[3].pairs;
  EXPECT_EQ(H.front(), "  1.016889E+00  2.000000E-03");
  EXPECT_EQ(H[51], "  3.092625E-01  7.096268E-01");
  EXPECT_EQ(H.back(), "  2.952119E-01  7.236774E-01");
  auto& J = bs[4].pairs;
  EXPECT_EQ(J.front(), "  1.458448E+01  2.000000E-03");
  EXPECT_EQ(J[80], "  1.458448E+01  2.000000E+01");
  EXPECT_EQ(J.back(), "  1.458448E+01  2.244037E+01");
}

// What one change in a menu must do to the two files.
TEST(Program, ParameterChanges) {
  const auto base = default_blocks();
  struct Case {
    const char* name;
    const char* fluid;
    const char* map;
    void (*check)(const std::vector<Block>& bs, const Recs& plp, const std::vector<Block>& base);
  } cases[] = {
      {"tube of 10 m ends H on the 0.52 line", "7,10\n", "",
       [](auto& bs, auto& plp, auto& base) {
         EXPECT_EQ(plp, kDefaultPlp);
         ASSERT_EQ(bs[3].pairs.size(), 62u);
         EXPECT_EQ(bs[3].pairs.back(), "  2.386450E+00  2.119955E+00");
         for (int i : {0, 1, 2, 4}) EXPECT_EQ(bs[i].pairs, base[i].pairs) << bs[i].title;
       }},
      {"38.6 mm keeps larg=1", "6,38.6\n", "",
       [](auto&, auto& plp, auto&) { EXPECT_EQ(plp[2], " larg=1"); }},
      {"38.7 mm gives larg=3", "6,38.7\n", "",
       [](auto&, auto& plp, auto&) { EXPECT_EQ(plp[2], " larg=3"); }},
      // Between the limits of 3.78 as a float and as a double: only the
      // float constant makes this one larg=3.
      {"38.6860694 mm is above the float limit", "6,38.6860694\n", "",
       [](auto&, auto& plp, auto&) { EXPECT_EQ(plp[2], " larg=3"); }},
      {"38.686069 mm is below it", "6,38.686069\n", "",
       [](auto&, auto& plp, auto&) { EXPECT_EQ(plp[2], " larg=1"); }},
      {"40 mm gives larg=3", "6,40\n", "",
       [](auto&, auto& plp, auto&) { EXPECT_EQ(plp[2], " larg=3"); }},
      {"UGSmax changes only the xrange record", "", "2,150\n",
       [](auto& bs, auto& plp, auto& base) {
         EXPECT_EQ(plp, (Recs{" set xrange[ 2.000E-02: 1.500E+02]", kDefaultPlp[1], kDefaultPlp[2]}));
         for (int i = 0; i < 5; ++i) EXPECT_EQ(bs[i].pairs, base[i].pairs);
       }},
      {"nG changes only block F", "", "5,10\n",
       [](auto& bs, auto& plp, auto& base) {
         EXPECT_EQ(plp, kDefaultPlp);
         for (int i : {0, 1, 3, 4}) EXPECT_EQ(bs[i].pairs, base[i].pairs) << bs[i].title;
         EXPECT_EQ(bs[2].pairs.size(), 18u);
         EXPECT_EQ(bs[2].pairs.front(), base[2].pairs.front());
         EXPECT_EQ(bs[2].pairs.back(), base[2].pairs.back());
       }},
      {"muG changes nothing", "3,5e-3\n", "",
       [](auto& bs, auto& plp, auto& base) {
         EXPECT_EQ(plp, kDefaultPlp);
         for (int i = 0; i < 5; ++i) EXPECT_EQ(bs[i].pairs, base[i].pairs);
       }},
      {"ULSmin above ULSE leaves E two pairs", "", "3,1.5\n",
       [](auto& bs, auto&, auto&) {
         ASSERT_EQ(bs[0].pairs.size(), 2u);
         EXPECT_EQ(bs[0].pairs[0].substr(14), "  1.500000E+00");
         EXPECT_EQ(bs[0].pairs[1], "  4.755113E-01  1.264576E+00");
       }},
      {"LD below 12.354 makes UMH negative", "7,0.25\n", "",
       [](auto& bs, auto&, auto&) {
         ASSERT_EQ(bs[3].pairs.size(), 2u);
         EXPECT_EQ(bs[3].pairs[0].substr(0, 2), " -");
         EXPECT_EQ(bs[3].pairs[0].substr(14), "  2.000000E-03");
         EXPECT_EQ(bs[3].pairs[1].substr(14, 2), " -");
       }},
      {"ULSmin above ULSmax leaves J one pair", "", "3,25\n",
       [](auto& bs, auto& plp, auto&) {
         EXPECT_EQ(plp[1], " set yrange[ 2.500E+01: 2.000E+01]");
         ASSERT_EQ(bs[4].pairs.size(), 1u);
         EXPECT_EQ(bs[4].pairs[0], "  1.458448E+01  2.500000E+01");
         EXPECT_EQ(bs[0].pairs.size(), 2u);
         EXPECT_EQ(bs[1].pairs.size(), 3u);  // opening, the sample at 25, closing
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    twt::TempDir dir;
    MapRun run = run_map(dir, c.fluid, c.map);
    ASSERT_EQ(run.r.status, 0) << run.r.err;
    auto bs = blocks_of(run.out);
    ASSERT_EQ(titles(bs), "EGFHJ");
    c.check(bs, twt::records(run.plp), base);
  }
}

// The report's layout with the position left free.
std::string report(const std::string& number, const std::string& message) {
  const std::string pos = "[A-Za-z0-9_.]+\\([0-9]+\\)";
  return "\r\n" + pos + " : run-time error " + number + ": MATH\r\n- " + message +
         "\r\n\r\nExecution traceback:\r\n\t\tfrom main program in " + pos + "\r\n";
}

bool matches(const std::string& s, const std::string& re) {
  return std::regex_match(s, std::regex(re));
}

TEST(Program, MathFailuresEndTheRunWithTheirReport) {
  const auto base = default_blocks();
  struct Case {
    const char* name;
    const char* fluid;
    const char* map;
    const char* number;
    const char* message;
    std::size_t plp_records;
    const char* blocks;  // complete blocks in the curve file
  } cases[] = {
      {"rhoG above rhoL", "1,2000\n", "", "M6201", "\\*\\*: DOMAIN error", 2, ""},
      {"negative diameter", "6,-25\n", "", "M6201", "sqrt: DOMAIN error", 2, ""},
      {"negative rhoG", "1,-1\n", "", "M6201", "\\*\\*: DOMAIN error", 3, "E"},
      {"ULSmin of 0", "", "3,0\n", "M6301", "sampling never ends: Transtion E", 3, ""},
      {"ratio exactly 1", "", "6,1e17\n", "M6301", "sampling never ends: Transtion E", 3, ""},
      {"more than 1e8 passes", "", "6,1e9\n", "M6301", "sampling never ends: Transtion E", 3, ""},
      {"falling liquid grid", "", "3,13.5\n6,-200\n", "M6301", "sampling never ends: Transtion G", 3,
       "E"},
      {"thin tube, negative ULSmin, falling grid", "6,0.001\n", "3,-1\n6,-20\n", "M6301",
       "sampling never ends: Transtion G", 3, "E"},
      {"falling gas grid", "", "5,-20\n", "M6301", "sampling never ends: Transtion F", 3, "EG"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    twt::TempDir dir;
    MapRun run = run_map(dir, c.fluid, c.map);
    EXPECT_EQ(run.r.status, 1);
    EXPECT_TRUE(matches(run.r.err, report(c.number, c.message))) << run.r.err;
    Recs plp = twt::records(run.plp);
    ASSERT_EQ(plp.size(), c.plp_records) << run.plp;
    EXPECT_EQ(plp[0], kDefaultPlp[0]);
    if (c.plp_records == 3) {
      EXPECT_EQ(plp[2], " larg=1");
    }
    auto bs = blocks_of(run.out);
    EXPECT_EQ(titles(bs), c.blocks);
  }
  {
    SCOPED_TRACE("negative rhoG keeps block E whole");
    twt::TempDir dir;
    auto bs = blocks_of(run_map(dir, "1,-1\n", "").out);
    ASSERT_EQ(bs.size(), 1u);
    EXPECT_EQ(bs[0].pairs.size(), base[0].pairs.size());
    EXPECT_EQ(bs[0].pairs[0].substr(14), "  2.000000E-03");
  }
  {
    SCOPED_TRACE("thin tube: E rises to its negative stop");
    twt::TempDir dir;
    auto bs = blocks_of(run_map(dir, "6,0.001\n", "3,-1\n6,-20\n").out);
    ASSERT_EQ(bs.size(), 1u);
    EXPECT_EQ(bs[0].pairs.size(), 34u);  // 33 passes and the closing pair
    EXPECT_EQ(bs[0].pairs[0].substr(14), " -1.000000E+00");
  }
}

TEST(Program, RunawayLoopEndsInAnOverflowTrap) {
  twt::TempDir dir;
  MapRun run = run_map(dir, "", "3,-1\n");
  EXPECT_EQ(run.r.status, 1);
  EXPECT_TRUE(matches(run.r.err, report("M6104", "floating-point error: overflow"))) << run.r.err;
  Recs recs = twt::records(run.out);
  ASSERT_GT(recs.size(), 1000u);
  EXPECT_EQ(recs[0], "Transtion E");
  EXPECT_EQ(recs[1].substr(14), " -1.000000E+00");
  for (std::size_t i = 1; i < recs.size(); ++i) ASSERT_EQ(recs[i].size(), 28u) << i;
  EXPECT_EQ(recs.back().substr(25), "308");
}

TEST(Program, ZeroPointsPerDecadeDividesByZeroBeforeAnyRecord) {
  for (const char* answer : {"5,0\n", "6,0\n"}) {
    for (bool existed : {false, true}) {
      SCOPED_TRACE(std::string(answer) + (existed ? " files existed" : " files created"));
      twt::TempDir dir;
      if (existed) {
        dir.write("TWOPHMAP.out", "old curves\r\n");
        dir.write("TWOPHMAP.plp", "old settings");
      }
      MapRun run = run_map(dir, "", answer);
      EXPECT_EQ(run.r.status, 1);
      EXPECT_TRUE(matches(run.r.err, report("M6103", "floating-point error: divide by zero")))
          << run.r.err;
      EXPECT_TRUE(run.out_exists && run.plp_exists);
      EXPECT_EQ(run.out, existed ? "old curves\r\n" : "");
      EXPECT_EQ(run.plp, existed ? "old settings" : "");
    }
  }
}

TEST(Program, StopInTheSecondMenuWritesNothing) {
  twt::TempDir dir;
  dir.write("TWOPHMAP.out", "old curves");
  twt::RunOptions o;
  o.dir = dir.path;
  o.input = "7,3\n0,0\n-1,0\n";
  o.env = {{"COMSPEC", stub_interpreter(dir, 0)}};
  auto r = twt::run(o);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Retour DOS\r\n"), std::string::npos);
  EXPECT_EQ(dir.read("TWOPHMAP.out"), "old curves");
  EXPECT_EQ(dir.read("TWOPHMAP.plp"), "");
}

TEST(Program, CurveFileThatIsADirectoryFailsBeforeAnyMenu) {
  twt::TempDir dir;
  mkdir(dir.file("TWOPHMAP.out").c_str(), 0755);
  MapRun run = run_map(dir, "", "");
  EXPECT_EQ(run.r.status, 1);
  EXPECT_NE(run.r.err.find(": OPEN(TWOPHMAP.out"), std::string::npos) << run.r.err;
  EXPECT_TRUE(matches(run.r.err, "\r\n[A-Za-z0-9_.]+\\([0-9]+\\) : run-time error F6[0-9]{3}: OPEN\\(TWOPHMAP\\.out\\)[^]*"
                                 "\r\n\r\nExecution traceback:\r\n\t\tfrom main program in [A-Za-z0-9_.]+\\([0-9]+\\)\r\n"))
      << run.r.err;
  EXPECT_EQ(run.r.out.find("CARTE"), std::string::npos);
  EXPECT_FALSE(run.plp_exists);
}

TEST(Program, RefusedWriteOfTheSettingsFileFails) {
  twt::TempDir dir;
  ASSERT_EQ(symlink("/dev/full", dir.file("TWOPHMAP.plp").c_str()), 0);
  MapRun run = run_map(dir, "", "");
  EXPECT_EQ(run.r.status, 1);
  EXPECT_TRUE(matches(run.r.err, "\r\n[A-Za-z0-9_.]+\\([0-9]+\\) : run-time error F6[0-9]{3}: (WRITE|CLOSE)\\(TWOPHMAP\\.plp\\)[^]*"
                                 "\r\n\r\nExecution traceback:\r\n\t\tfrom main program in [A-Za-z0-9_.]+\\([0-9]+\\)\r\n"))
      << run.r.err;
  // The curve file was closed first and is whole.
  EXPECT_EQ(twt::records(run.out).size(), 265u);
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Program, FailedLaunchIsReportedAndTheRunStillSucceeds) {
  struct Case { int code; const char* tail; } cases[] = {
      {0, "taper -1,0 pour arreter  --->\r\n"},
      {1, "taper -1,0 pour arreter  ---> Gnuplot script launch was not successful :  1\r\n"},
      {42, "taper -1,0 pour arreter  ---> Gnuplot script launch was not successful : 42\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    twt::TempDir dir;
    MapRun run = run_map(dir, "", "", c.code);
    EXPECT_EQ(run.r.status, 0);
    EXPECT_TRUE(ends_with(run.r.out, c.tail)) << run.r.out;
    EXPECT_EQ(twt::records(run.out).size(), 265u);
  }
  {
    SCOPED_TRACE("interpreter missing");
    twt::TempDir dir;
    twt::RunOptions o;
    o.dir = dir.path;
    o.input = "0,0\n0,0\n";
    o.env = {{"COMSPEC", dir.file("no-such-shell")}};
    auto r = twt::run(o);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(ends_with(r.out, "---> Gnuplot script launch was not successful : -1\r\n")) << r.out;
  }
}

}  // namespace
