// The formatter on any format text and any items. The first byte picks the
// destination (a text variable, a file unit, the console, a caller's
// function) and the second the length of the format text that follows;
// then come items, each a kind byte and its value. A write either ends the
// run through a report or hands over records; a text variable is filled to
// its length and not a byte beyond; finite values raise no trap flag.
#include <cfenv>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "output/failure.h"
#include "output/fileio.h"
#include "output/format.h"
#include "tests/fuzz/os_fuzz.h"

namespace {

constexpr int kTraps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;
constexpr int kMaxItems = 48;

void check(bool ok) {
  if (!ok) std::abort();
}

struct Sink {
  long records = 0;
  bool open_seen = false;
};

void sink(void* ctx, const char* rec, std::size_t len, bool left_open) {
  Sink* s = static_cast<Sink*>(ctx);
  check(len <= static_cast<std::size_t>(tw::kMaxRecord));
  if (len) check(rec != nullptr);
  // Only the last record of a write may be left open.
  check(!s->open_seen);
  s->open_seen = left_open;
  ++s->records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int dest_kind = data[0] & 3;
  const int text_len = data[0] >> 2;  // 0 to 63
  std::size_t flen = data[1];
  std::size_t at = 2;
  if (flen > size - at) flen = size - at;
  const char* ftext = reinterpret_cast<const char*>(data + at);
  at += flen;

  // Items: kind byte, then 4 bytes for an integer, 8 for a real, or a
  // length byte and the characters for a text.
  tw::Item items[kMaxItems];
  int n = 0;
  bool finite = true;
  while (at < size && n < kMaxItems) {
    std::uint8_t k = data[at++] % 3;
    if (k == 0) {
      std::int32_t v = 0;
      std::size_t take = size - at < 4 ? size - at : 4;
      std::memcpy(&v, data + at, take);
      at += take;
      items[n++] = tw::it_int(v);
    } else if (k == 1) {
      std::uint64_t bits = 0;
      std::size_t take = size - at < 8 ? size - at : 8;
      std::memcpy(&bits, data + at, take);
      at += take;
      double v;
      std::memcpy(&v, &bits, sizeof v);
      if (!std::isfinite(v)) finite = false;
      items[n++] = tw::it_real(v);
    } else {
      std::int32_t len = at < size ? data[at++] % 80 : 0;
      if (static_cast<std::size_t>(len) > size - at) len = static_cast<std::int32_t>(size - at);
      items[n++] = tw::it_text(reinterpret_cast<const char*>(data + at), len);
      at += static_cast<std::size_t>(len);
    }
  }

  fuzz_os::Machine m;
  m.files = true;
  fuzz_os::set_machine(m);
  fuzz_os::set_input(nullptr, 0, false);
  char text[64 + 8];
  std::memset(text, 0x5a, sizeof text);
  Sink s;
  static volatile int status;
  status = -1;
  if (int code = setjmp(fuzz_os::exit_jump)) {
    status = code - 1;
  } else {
    tw::failure_reset();
    tw::fileio_reset();
    tw::Format f = tw::format_compile(ftext, flen);
    std::feclearexcept(FE_ALL_EXCEPT);
    switch (dest_kind) {
      case 0:
        tw::write_text(text, text_len, f, items, n);
        break;
      case 1:
        tw::unit_open(6, "F", 1);
        tw::write_unit(6, f, items, n);
        break;
      case 2:
        tw::write_console(f, items, n);
        break;
      default: {
        tw::Dest d{tw::Dest::Callback, 0, nullptr, 0, sink, &s};
        tw::format_write(d, f, items, n);
        break;
      }
    }
    if (finite) check(std::fetestexcept(kTraps) == 0);
    std::feclearexcept(FE_ALL_EXCEPT);
    tw::end_run(0);
  }
  std::feclearexcept(FE_ALL_EXCEPT);
  check(status == 0 || status == 1);
  std::size_t elen = 0;
  const char* err = fuzz_os::err_bytes(&elen);
  // A report exactly when the run failed.
  check((status == 1) == (elen > 0));
  if (status == 1) check(std::string_view(err, elen).find("run-time error ") != std::string_view::npos);
  for (std::size_t i = static_cast<std::size_t>(text_len); i < sizeof text; ++i)
    check(text[i] == 0x5a);
  return 0;
}
