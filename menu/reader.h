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

ReadOutcome free_read(const Target* targets, int n);

// Forget any unread input (a new run in the same process).
void reader_reset();

}  // namespace tw
