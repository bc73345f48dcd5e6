// The record formatter: a format text is read once into a list of edits,
// then each write walks that list over its items and hands finished records
// to a destination (a file unit, the console, or a fixed-length text).
#pragma once

#include <cstddef>
#include <cstdint>

#include "output/failure.h"

namespace tw {

struct Item {
  enum Kind : std::uint8_t { Int, Real, Text };
  Kind kind;
  std::int32_t i;
  double r;
  const char* s;
  std::int32_t len;
};
constexpr Item it_int(std::int32_t v) { return Item{Item::Int, v, 0.0, nullptr, 0}; }
constexpr Item it_real(double v) { return Item{Item::Real, 0, v, nullptr, 0}; }
constexpr Item it_text(const char* s, std::int32_t len) { return Item{Item::Text, 0, 0.0, s, len}; }

struct Edit {
  enum Kind : std::uint8_t {
    Literal,    // pool[a .. a+b)
    X,          // a places right
    T,          // to position a
    Slash,      // record end
    NoAdvance,  // backslash or dollar
    Scale,      // scale factor a
    E,          // width a, digits b
    F,          // width a, digits b
    I,          // width a
    A,          // width a, or the item's own length when a < 0
  };
  Kind kind;
  std::int32_t a;
  std::int32_t b;
};

inline constexpr int kMaxEdits = 128;
inline constexpr int kMaxPool = 512;
inline constexpr int kMaxRecord = 2048;

struct Format {
  Edit edits[kMaxEdits];
  int count = 0;
  char pool[kMaxPool];
  int pool_len = 0;
  bool ok = false;  // a format that cannot be read fails at its first write
  FormatFault fault = FormatFault::Syntax;  // when !ok
};

// Reads the format text once. Never fails by itself: an unreadable text
// gives a Format with ok false, and writing with it ends the run.
Format format_compile(const char* text, std::size_t len);

// A record handed to a caller's function (tests and benchmarks).
using RecordSink = void (*)(void* ctx, const char* rec, std::size_t len, bool left_open);

// Where records go. Text keeps only the first record of a write.
struct Dest {
  enum Kind : std::uint8_t { Unit, Console, Text, Callback };
  Kind kind;
  int unit;      // Unit
  char* text;    // Text: the variable, filled out with blanks
  int text_len;  // Text
  RecordSink sink = nullptr;  // Callback
  void* ctx = nullptr;        // Callback
};

void format_write(const Dest& dest, const Format& f, const Item* items, int n);

// Compiles a literal format text on first use and keeps it.
#define TW_FORMAT(literal)                                                     \
  ([]() -> const ::tw::Format& {                                               \
    static const ::tw::Format compiled =                                       \
        ::tw::format_compile(literal, sizeof(literal) - 1);                    \
    return compiled;                                                           \
  }())

}  // namespace tw
