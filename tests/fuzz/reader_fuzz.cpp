// Fuzzing the free-form read. The first byte chooses the console mode and
// the target list, or asks for the conversion check against strtod; the
// rest is standard input (or the makings of a number).
#include <cerrno>
#include <cfenv>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "menu/reader.h"
#include "output/failure.h"
#include "output/fileio.h"
#include "tests/fuzz/os_fuzz.h"

namespace {

constexpr int kTraps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

void no_trap_raised() {
  if (std::fetestexcept(kTraps)) std::abort();
}

// Requests until the end of input, over one of four target lists.
void reads(const std::uint8_t* data, std::size_t size, bool console, int layout) {
  fuzz_os::set_input(data, size, console);
  if (setjmp(fuzz_os::exit_jump)) return;
  tw::failure_reset();
  tw::fileio_reset();
  tw::reader_reset();
  for (int k = 0; k < 10000; ++k) {
    std::int32_t i1 = 0, i2 = 0;
    double r1 = 0, r2 = 0, r3 = 0;
    tw::Target t[4];
    int n = 0;
    switch (layout) {
      case 0: t[0] = {tw::Target::Int, &i1}; t[1] = {tw::Target::Real, &r1}; n = 2; break;
      case 1: t[0] = {tw::Target::Real, &r1}; t[1] = {tw::Target::Int, &i1};
              t[2] = {tw::Target::Int, &i2}; n = 3; break;
      case 2: t[0] = {tw::Target::Int, &i1}; n = 1; break;
      default: t[0] = {tw::Target::Real, &r1}; t[1] = {tw::Target::Real, &r2};
               t[2] = {tw::Target::Real, &r3}; t[3] = {tw::Target::Int, &i2}; n = 4; break;
    }
    std::feclearexcept(FE_ALL_EXCEPT);
    tw::ReadOutcome o = tw::free_read(t, n);
    no_trap_raised();
    if (o == tw::ReadOutcome::EndOfInput) return;
  }
}

// A number in one of the read's spellings, built from the bytes, next to
// the same number for strtod with every digit after the 24th significant
// one made 0.
void conversion(const std::uint8_t* d, std::size_t size) {
  if (size < 4) return;
  std::string text, ref;
  std::uint8_t f = d[0];
  if (f & 1) { text += '-'; ref += '-'; }
  else if (f & 2) text += '+';
  int ndig = 1 + d[1] % 60;
  int point = (f & 4) ? d[2] % (ndig + 1) : -1;
  int sig = 0;
  std::size_t at = 4;
  for (int k = 0; k < ndig; ++k) {
    if (k == point) { text += '.'; ref += '.'; }
    std::uint8_t b = at < size ? d[at++] : 0;
    char c = static_cast<char>('0' + b % 10);
    // Leading zeros now and then, to move the first significant digit.
    if ((b & 0x80) && sig == 0) c = '0';
    text += c;
    if (c != '0' || sig > 0) ++sig;
    ref += sig > 24 ? '0' : c;
  }
  if (point == ndig) { text += '.'; ref += '.'; }
  int e = static_cast<int>(d[3]) * 3 - 380;  // -380 .. 385
  if (f & 8) e = e * 1000;
  if (f & 0x30) {
    static const char kLetters[] = "EeDd";
    std::string digits = std::to_string(e < 0 ? -e : e);
    if ((f & 0x30) == 0x30) {
      // The bare-sign exponent.
      text += e < 0 ? '-' : '+';
    } else {
      text += kLetters[(f >> 6) & 3];
      if (e < 0) text += '-';
      else if (f & 0x40) text += '+';
    }
    text += digits;
    ref += "e" + std::to_string(e);
  }
  double got = 12.5;
  std::feclearexcept(FE_ALL_EXCEPT);
  bool ok = tw::convert_real(text.data(), static_cast<int>(text.size()), &got);
  no_trap_raised();
  errno = 0;
  double want = std::strtod(ref.c_str(), nullptr);
  bool overflow = errno == ERANGE && (want > 1.0 || want < -1.0);
  std::feclearexcept(FE_ALL_EXCEPT);
  if (ok == overflow) std::abort();
  if (ok && std::memcmp(&got, &want, sizeof got) != 0) std::abort();
  if (!ok && got != 12.5) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint8_t ctl = data[0];
  if ((ctl & 0xF0) == 0xF0) {
    conversion(data + 1, size - 1);
    return 0;
  }
  reads(data + 1, size - 1, ctl & 1, (ctl >> 1) & 3);
  return 0;
}
