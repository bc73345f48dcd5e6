// File units and the console: where formatted records end up, and how a run
// ends. Records reach files as lines ended by CR LF; on the console the first
// character of a record chooses how its line starts.
#pragma once

#include <cstddef>

#include "output/format.h"

namespace tw {

inline constexpr int kUnitBuffer = 1024;

// Files by unit number. An existing file is left untouched until its first
// record is written; then it is cut and rewritten.
void unit_open(int unit, const char* name, int name_len);
void unit_close(int unit);
// The name a unit was opened on, for failure reports.
const char* unit_name(int unit, int* len);

// Convenience writes through the formatter.
void write_unit(int unit, const Format& f, const Item* items, int n);
void write_console(const Format& f, const Item* items, int n);
void write_text(char* text, int text_len, const Format& f, const Item* items, int n);

// Called by the formatter for each finished record; left_open marks the last
// record of a write that ended with the no-advance edit.
void unit_record(int unit, const char* rec, std::size_t len, bool left_open);
void console_record(const char* rec, std::size_t len, bool left_open);

// Console input side, for the free-form reader. Shared means standard input
// and standard output are both character devices: one console both ways.
bool console_shared();
// Up to n bytes of standard input; 0 at its end, -1 when refused.
long console_fetch(char* buf, std::size_t n);
void console_read_start();
void console_line_end_consumed();

// The stop with a message ("Retour DOS"): exit status 0.
[[noreturn]] void stop_with_message(const char* text);
// The end of every run: units written out and closed, an owed line break.
[[noreturn]] void end_run(int status);

// Drops a unit's buffered bytes without writing them (a refused write-out).
void unit_drop_buffer(int unit);

// Start of a run: decides the console mode; forgets every unit.
void fileio_reset();

}  // namespace tw
