// The whole map at 100 000 points per decade on both grids, written to a
// temp file by a child process, against a plain fwrite of the same bytes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/state.h"
#include "map/curves.h"
#include "output/failure.h"
#include "output/fileio.h"
#include "output/os.h"
#include "output/plotfiles.h"

namespace {

namespace fs = std::filesystem;

constexpr double kPointsPerDecade = 100000.0;

// Made once at start-up, in the parent, before any child is forked.
const fs::path kDir = [] {
  fs::path d = fs::temp_directory_path() / ("twophmap-bench-" + std::to_string(getpid()));
  fs::create_directories(d);
  return d;
}();

const fs::path& work_dir() { return kDir; }

// In the child: the map as the program computes it, unit 6 only.
[[noreturn]] void child_map() {
  using namespace tw;
  if (chdir(work_dir().c_str()) != 0) std::_Exit(2);
  os::init();
  state_reset();
  fileio_reset();
  failure_reset();
  os::enable_fp_traps(fail_trap);
  frame_push(nullptr, __FILE_NAME__, __LINE__);
  st.params.values[4] = kPointsPerDecade;
  st.params.values[5] = kPointsPerDecade;
  unit_open(kCurveUnit, "TWOPHMAP.out", 12);
  take_fluid();
  take_map();
  map_constants_g_ld_u0();
  map_constants_shared();
  curve_E();
  curve_G();
  curve_F();
  curve_H();
  curve_J();
  unit_close(kCurveUnit);
  frame_pop();
  end_run(0);
}

void BM_MapFullDensity(benchmark::State& state) {
  const fs::path& dir = work_dir();
  long maxrss = 0;
  for (auto _ : state) {
    pid_t pid = fork();
    if (pid == 0) child_map();
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("map run failed");
    maxrss = ru.ru_maxrss;
  }
  std::error_code ec;
  auto size = fs::file_size(dir / "TWOPHMAP.out", ec);
  state.counters["bytes"] = static_cast<double>(size);
  state.counters["peak_rss_kB"] = static_cast<double>(maxrss);
  state.SetBytesProcessed(static_cast<int64_t>(size) * state.iterations());
}
BENCHMARK(BM_MapFullDensity)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes, one fwrite a record, for scale.
void BM_PlainFwriteSameBytes(benchmark::State& state) {
  std::ifstream in(work_dir() / "TWOPHMAP.out", std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string bytes = ss.str();
  if (bytes.empty()) {
    state.SkipWithError("run BM_MapFullDensity first");
    return;
  }
  const std::string out = (work_dir() / "plain.out").string();
  for (auto _ : state) {
    FILE* f = std::fopen(out.c_str(), "wb");
    std::size_t pos = 0;
    while (pos < bytes.size()) {
      std::size_t e = bytes.find('\n', pos);
      std::size_t n = (e == std::string::npos ? bytes.size() : e + 1) - pos;
      std::fwrite(bytes.data() + pos, 1, n, f);
      pos += n;
    }
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes.size()) * state.iterations());
}
BENCHMARK(BM_PlainFwriteSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    fs::remove_all(work_dir(), ec);
  }
} cleanup;

}  // namespace
