// Over random sound parameter sets, the real program's curve file keeps its
// shape: blocks E, G, F, H, J in order, each a title, its pairs and two
// empty records; F ends where G begins; loop samples rise along the running
// velocity; J is a vertical line; a closing pair never falls back behind
// the last loop sample.
//
// Values are rounded to 7 significant digits in the file. Neighbouring loop
// samples differ by the grid ratio, at least 10^(1/200) = 1.0116 here, far
// more than that rounding, so they are compared strictly. A closing pair
// may lie just above the last sample and round to the same text, so it is
// compared as not lower.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/support.h"

namespace {

struct Pair {
  double g, l;  // gas, liquid superficial velocity
  std::string text;
};

struct Block {
  std::string title;
  std::vector<Pair> pairs;
};

std::string num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// Log-uniform in [lo, hi].
double logu(std::mt19937_64& rng, double lo, double hi) {
  std::uniform_real_distribution<double> u(std::log(lo), std::log(hi));
  return std::exp(u(rng));
}

std::string answers(std::mt19937_64& rng, std::string* what) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  double rhoL = logu(rng, 50, 3000);
  double rhoG = rhoL * logu(rng, 1e-5, 0.95);
  double fluid[7] = {rhoG, rhoL, logu(rng, 1e-6, 1e-3), logu(rng, 1e-4, 1), logu(rng, 1e-3, 0.5),
                     logu(rng, 1, 500), logu(rng, 0.05, 50)};
  double ugs = logu(rng, 1e-3, 10), uls = logu(rng, 1e-4, 1);
  auto per_decade = [&] {
    double n = 1 + unit(rng) * 199;
    return unit(rng) < 0.5 ? std::floor(n) : n;
  };
  double map[6] = {ugs, ugs * logu(rng, 1.01, 1e4), uls, uls * logu(rng, 1.01, 1e4), per_decade(),
                   per_decade()};
  std::string in;
  for (int i = 0; i < 7; ++i) in += std::to_string(i + 1) + "," + num(fluid[i]) + "\n";
  in += "0,0\n";
  for (int i = 0; i < 6; ++i) in += std::to_string(i + 1) + "," + num(map[i]) + "\n";
  in += "0,0\n";
  *what = in;
  return in;
}

// Splits the curve file at its records; the caller checks the layout.
std::vector<Block> blocks_of(const std::string& bytes, std::string* fault) {
  std::vector<std::string> recs = twt::records(bytes);
  std::vector<Block> out;
  std::size_t i = 0;
  while (i < recs.size()) {
    Block b;
    b.title = recs[i++];
    while (i < recs.size() && !recs[i].empty() && recs[i] != "<no CRLF>") {
      const std::string& r = recs[i++];
      if (r.size() != 28) {
        *fault = "pair record of " + std::to_string(r.size()) + " characters: " + r;
        return out;
      }
      b.pairs.push_back({std::strtod(r.substr(0, 14).c_str(), nullptr),
                         std::strtod(r.substr(14).c_str(), nullptr), r});
    }
    if (!(i + 1 < recs.size() && recs[i].empty() && recs[i + 1].empty())) {
      *fault = "block " + b.title + " lacks its two empty records";
      return out;
    }
    i += 2;
    out.push_back(b);
  }
  return out;
}

double running(const Pair& p, bool gas) { return gas ? p.g : p.l; }

TEST(Property, CurveFileShapeOverRandomParameterSets) {
  std::mt19937_64 rng(20261211);
  twt::TempDir d;
  int complete = 0;
  for (int run = 0; run < 300; ++run) {
    std::string in;
    answers(rng, &in);
    SCOPED_TRACE(in);
    twt::RunResult r = twt::run({.dir = d.path, .input = in, .env = {{"COMSPEC", "/bin/true"}}, .timeout_seconds = 60});
    ASSERT_FALSE(r.timed_out);
    if (r.status == 1) {
      // A sound set may still meet a failure of the formulas; it must be
      // reported as one, never as a crash.
      EXPECT_NE(r.err.find("run-time error M"), std::string::npos) << r.err;
      continue;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    ++complete;
    std::string fault;
    std::vector<Block> bs = blocks_of(d.read("TWOPHMAP.out"), &fault);
    ASSERT_EQ(fault, "");
    ASSERT_EQ(bs.size(), 5u);
    const char* order = "EGFHJ";
    for (int b = 0; b < 5; ++b) ASSERT_EQ(bs[b].title, std::string("Transtion ") + order[b]);
    const Block &E = bs[0], &G = bs[1], &F = bs[2], &H = bs[3], &J = bs[4];
    ASSERT_GE(E.pairs.size(), 2u);  // one pass and the closing pair
    ASSERT_GE(G.pairs.size(), 2u);  // opening and closing pairs
    ASSERT_GE(F.pairs.size(), 2u);
    ASSERT_GE(H.pairs.size(), 2u);
    ASSERT_GE(J.pairs.size(), 1u);
    EXPECT_EQ(F.pairs.back().text, G.pairs.front().text);

    // Loop samples: [from, to) of each block, and its running velocity.
    struct Loop {
      const Block* b;
      std::size_t from, to;
      bool gas;
      bool closing;
    };
    const Loop loops[] = {{&E, 0, E.pairs.size() - 1, false, true},
                          {&G, 1, G.pairs.size() - 1, false, true},
                          {&F, 0, F.pairs.size() - 1, true, true},
                          {&H, 0, H.pairs.size() - 1, false, true},
                          {&J, 0, J.pairs.size(), false, false}};
    for (const Loop& lp : loops) {
      const std::vector<Pair>& p = lp.b->pairs;
      for (std::size_t k = lp.from + 1; k < lp.to; ++k)
        EXPECT_LT(running(p[k - 1], lp.gas), running(p[k], lp.gas)) << lp.b->title << " " << p[k].text;
      // More than the one obligatory pass: the closing pair is not behind.
      if (lp.closing && lp.to >= lp.from + 2) {
        EXPECT_GE(running(p[lp.to], lp.gas), running(p[lp.to - 1], lp.gas)) << lp.b->title;
      }
    }
    for (const Pair& p : J.pairs) EXPECT_EQ(p.text.substr(0, 14), J.pairs[0].text.substr(0, 14));
  }
  RecordProperty("complete_runs", complete);
  std::printf("%d of 300 runs drew the whole map\n", complete);
}

}  // namespace
