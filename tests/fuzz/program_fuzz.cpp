// The whole dialogue and computation in one process. The first byte picks
// the console mode and a fault of the machine, the second sizes the fault,
// the rest answers both menus. Every run must end with status 0 or 1, one
// report exactly when the status is 1, the five blocks in order after a
// full run, and after a refused write only bytes that a run without the
// fault would have written, up to exactly what the system took.
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/program.h"
#include "driver/state.h"
#include "menu/lire.h"
#include "menu/reader.h"
#include "output/failure.h"
#include "output/fileio.h"
#include "tests/fuzz/os_fuzz.h"

namespace {

// A legal dense map is not a hang: more points per decade than this are
// left out, and so are minimum velocities of the map whose dry runs would
// step towards nothing for 10^8 passes (zero, negative, below 10^-30).
constexpr double kMaxPerDecade = 1000.0;

void check(bool ok) {
  if (!ok) std::abort();
}

// The menus alone, over the same bytes, to see the map parameters asked for.
bool dense(const std::uint8_t* data, std::size_t size, bool console) {
  fuzz_os::set_machine({});
  fuzz_os::set_input(data, size, console);
  tw::state_reset();
  tw::fileio_reset();
  tw::failure_reset();
  tw::reader_reset();
  tw::lire_reset();
  if (setjmp(fuzz_os::exit_jump) == 0) {
    tw::ParamSet& fl = tw::st.fluid;
    tw::st.count = 7;
    tw::LIRE(fl.title, tw::kTextLen, tw::st.count, &fl.labels[0][0], tw::kTextLen, fl.values, fl.desc,
             fl.desc_len);
    tw::ParamSet& pm = tw::st.params;
    tw::st.count = 6;
    tw::LIRE(pm.title, tw::kTextLen, tw::st.count, &pm.labels[0][0], tw::kTextLen, pm.values, pm.desc,
             pm.desc_len);
  }
  const double* v = tw::st.params.values;
  for (int i : {4, 5})
    if (!(v[i] >= -kMaxPerDecade && v[i] <= kMaxPerDecade)) return true;
  for (int i : {0, 2})
    if (!(v[i] > 1e-30)) return true;
  return false;
}

struct Run {
  int status;
  std::string out, err, curves, plot;
  bool curves_made, plot_made;
};

Run run(const std::uint8_t* data, std::size_t size, const fuzz_os::Machine& m, bool console) {
  fuzz_os::set_machine(m);
  fuzz_os::set_input(data, size, console);
  int code = setjmp(fuzz_os::exit_jump);
  if (code == 0) tw::run_program();
  fuzz_os::restore_fp();
  Run r;
  r.status = code - 1;
  std::size_t n = 0;
  const char* p = fuzz_os::out_bytes(&n);
  r.out.assign(p, n);
  p = fuzz_os::err_bytes(&n);
  r.err.assign(p, n);
  p = fuzz_os::file_bytes("TWOPHMAP.out", &n);
  r.curves_made = p != nullptr;
  if (p) r.curves.assign(p, n);
  p = fuzz_os::file_bytes("TWOPHMAP.plp", &n);
  r.plot_made = p != nullptr;
  if (p) r.plot.assign(p, n);
  return r;
}

int count(const std::string& hay, const char* needle) {
  int k = 0;
  for (std::size_t at = hay.find(needle); at != std::string::npos; at = hay.find(needle, at + 1)) ++k;
  return k;
}

bool prefix_of(const std::string& part, const std::string& whole) {
  return part.size() <= whole.size() && whole.compare(0, part.size(), part) == 0;
}

// A complete curve file: five blocks E, G, F, H, J, each a title, pair
// records of 28 characters and two empty records, every line ended by CR LF.
void check_curves(const std::string& bytes) {
  static const char kOrder[] = "EGFHJ";
  std::size_t at = 0;
  for (int b = 0; b < 5; ++b) {
    std::string title = std::string("Transtion ") + kOrder[b] + "\r\n";
    check(bytes.compare(at, title.size(), title) == 0);
    at += title.size();
    while (at < bytes.size() && bytes[at] != '\r') {
      check(at + 30 <= bytes.size() && bytes.compare(at + 28, 2, "\r\n") == 0);
      at += 30;
    }
    check(bytes.compare(at, 4, "\r\n\r\n") == 0);
    at += 4;
  }
  check(at == bytes.size());
}

void check_plot(const std::string& bytes) {
  check(bytes.rfind(" set xrange[", 0) == 0);
  check(bytes.find("\r\n set yrange[") != std::string::npos);
  check(bytes.size() > 11 && (bytes.compare(bytes.size() - 11, 11, "\r\n larg=1\r\n") == 0 ||
                              bytes.compare(bytes.size() - 11, 11, "\r\n larg=3\r\n") == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool console = data[0] & 1;
  const int fault = (data[0] >> 1) & 7;
  const long amount = static_cast<long>(data[1]) * 37;
  data += 2;
  size -= 2;
  if (dense(data, size, console)) return 0;

  fuzz_os::Machine m;
  m.files = true;
  m.real_traps = true;
  switch (fault) {
    case 1: m.file_room = amount; break;
    case 2: m.refuse_open = static_cast<int>(amount & 1); break;
    case 3: m.read_only_open = static_cast<int>(amount & 1); break;
    case 4: m.old_files = true; break;
    case 5: m.console_room = amount * 4; break;
    case 6: m.stdin_refused = true; break;
    default: break;
  }
  Run r = run(data, size, m, console);

  check(r.status == 0 || r.status == 1);
  if (r.status == 1) {
    check(count(r.err, "run-time error ") == 1);
    check(r.err.rfind("\r\n", 0) == 0);
  } else {
    check(r.err.empty());
  }
  const bool stopped = count(r.out, "Retour DOS\r\n") > 0 && r.status == 0;
  const std::string old = m.old_files ? "OLD\r\n" : "";
  if (stopped) {
    // A stop in a menu writes nothing: old files stay as they were.
    check(r.curves == old && r.plot == old);
  }
  if (r.status == 0 && !stopped) {
    check_curves(r.curves);
    check_plot(r.plot);
  }

  if (fault == 1 || fault == 5) {
    fuzz_os::Machine plain;
    plain.files = true;
    plain.real_traps = true;
    Run ref = run(data, size, plain, console);
    check(ref.status == r.status || r.status == 1);
    check(prefix_of(r.curves, ref.curves));
    check(prefix_of(r.plot, ref.plot));
    if (fault == 1) {
      long total = static_cast<long>(ref.curves.size() + ref.plot.size());
      if (total > m.file_room && ref.curves.size() < fuzz_os::kFileCap) {
        // The full disk is met: exactly the bytes it took, and one report.
        check(r.status == 1);
        check(static_cast<long>(r.curves.size() + r.plot.size()) == m.file_room);
      }
    } else {
      check(prefix_of(r.out, ref.out));
      if (static_cast<long>(ref.out.size()) > m.console_room && ref.out.size() < 256 * 1024) {
        // The console goes dead where the pipe broke; nothing follows.
        check(r.status == 1);
        check(static_cast<long>(r.out.size()) == m.console_room);
        check(r.err.find(": WRITE(CON)") != std::string::npos);
      }
    }
  }
  return 0;
}
