// The curve file's pair record "(1p2e14.6)": our formatter against the C
// library's fprintf writing the same record (it rounds once, we twice).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "output/digits.h"
#include "output/fileio.h"
#include "output/format.h"

namespace {

// Appends records with CR LF to a 1024-byte buffer, emptied when full, the
// way the file layer fills its unit buffer.
struct Sink {
  char buf[1024];
  std::size_t used = 0;
  std::size_t flushed = 0;
};

void append(void* ctx, const char* rec, std::size_t len, bool) {
  Sink& s = *static_cast<Sink*>(ctx);
  if (s.used + len + 2 > sizeof s.buf) {
    benchmark::DoNotOptimize(s.buf);
    s.flushed += s.used;
    s.used = 0;
  }
  std::memcpy(s.buf + s.used, rec, len);
  s.buf[s.used + len] = '\r';
  s.buf[s.used + len + 1] = '\n';
  s.used += len + 2;
}

// A rising geometric sequence over [lo, hi), and its mirror.
struct Values {
  double x, lo, hi, ratio;
  void next() {
    x *= ratio;
    if (x >= hi) x = lo;
  }
};
constexpr Values kNarrow{1e-3, 1e-3, 1e3, 1.000123};  // the map's velocities
constexpr Values kWide{1e-300, 1e-300, 1e300, 1.0123};

void BM_Ours_Callback(benchmark::State& state, Values v) {
  static Sink sink;
  tw::Dest d{tw::Dest::Callback, 0, nullptr, 0, append, &sink};
  const tw::Format& f = TW_FORMAT("(1p2e14.6)");
  for (auto _ : state) {
    tw::Item items[2] = {tw::it_real(v.x), tw::it_real(-1.0 / v.x)};
    tw::format_write(d, f, items, 2);
    v.next();
  }
  benchmark::DoNotOptimize(sink.used);
}

// Through the real file layer, unit 6 on /dev/null.
void BM_Ours_Unit(benchmark::State& state, Values v) {
  tw::fileio_reset();
  tw::unit_open(6, "/dev/null", 9);
  const tw::Format& f = TW_FORMAT("(1p2e14.6)");
  for (auto _ : state) {
    tw::Item items[2] = {tw::it_real(v.x), tw::it_real(-1.0 / v.x)};
    tw::write_unit(6, f, items, 2);
    v.next();
  }
  tw::unit_close(6);
}

void BM_Fprintf(benchmark::State& state, Values v) {
  std::FILE* f = std::fopen("/dev/null", "wb");
  static char vbuf[1024];
  std::setvbuf(f, vbuf, _IOFBF, sizeof vbuf);
  for (auto _ : state) {
    std::fprintf(f, "%14.6E%14.6E\r\n", v.x, -1.0 / v.x);
    v.next();
  }
  std::fclose(f);
}

BENCHMARK_CAPTURE(BM_Ours_Callback, narrow, kNarrow);
BENCHMARK_CAPTURE(BM_Ours_Unit, narrow, kNarrow);
BENCHMARK_CAPTURE(BM_Fprintf, narrow, kNarrow);
BENCHMARK_CAPTURE(BM_Ours_Callback, wide, kWide);
BENCHMARK_CAPTURE(BM_Ours_Unit, wide, kWide);
BENCHMARK_CAPTURE(BM_Fprintf, wide, kWide);

}  // namespace

namespace {

// The digit generator alone.
void BM_Digits(benchmark::State& state, Values v) {
  for (auto _ : state) {
    tw::DecDigits d = tw::decimal_digits(v.x);
    benchmark::DoNotOptimize(d);
    v.next();
  }
}
BENCHMARK_CAPTURE(BM_Digits, narrow, kNarrow);
BENCHMARK_CAPTURE(BM_Digits, wide, kWide);

}  // namespace
