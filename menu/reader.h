// Free-form reading of the user's answers from standard input: values
// separated by commas, blanks or line ends, stored in order into targets.
#pragma once

#include <cstdint>

namespace tw {

enum class ReadOutcome { Completed, Failed, EndOfInput };

struct Target {
  enum Kind { Int, Real } kind;
  void* p;  // std::int32_t* or double*
};

// Input comes in pieces of at most this many bytes; a console line holds at
// most kMaxConsoleLine characters before its line end.
inline constexpr int kReadPiece = 132;
inline constexpr int kMaxConsoleLine = 130;
// The longest value text taken; a longer value fails the read.
inline constexpr int kMaxValueText = 260;

ReadOutcome free_read(const Target* targets, int n);

// Forget any unread input (a new run in the same process).
void reader_reset();

// The two conversions of a value text, as the read applies them. Neither
// touches *out on failure, and neither does any floating-point arithmetic.
bool convert_int(const char* text, int len, std::int32_t* out);
bool convert_real(const char* text, int len, double* out);

}  // namespace tw
