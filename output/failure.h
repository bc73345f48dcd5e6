// The run-time failure report: what failed, where, and the routines active.
// Every call here that reports ends the run; none returns.
#pragma once

#include "output/os.h"

namespace tw {

// Routine frames. The main program's frame has no routine name; LIRE's has.
// The current source position is kept up to date with TW_AT() at each step.
void frame_push(const char* routine, const char* file, int line);
void frame_pop();
void frame_at(const char* file, int line);
#define TW_AT() ::tw::frame_at(__FILE_NAME__, __LINE__)

enum class Stmt { Open, Write, Close };

// A file-layer refusal on the named file (the console is "CON").
[[noreturn]] void fail_file(Stmt stmt, const char* name, int name_len, os::Err why);
// A format text that cannot be read, or an item of the wrong kind for its edit.
enum class FormatFault { Syntax, WrongItem, TooLong, RecordTooLong };
[[noreturn]] void fail_format(FormatFault fault, const char* name, int name_len);
// A floating-point trap (M6101, M6103, M6104).
[[noreturn]] void fail_trap(os::Trap trap);
// An error of the power ("**") or square-root ("sqrt") routine.
enum class RoutineErr { Domain, Sing, Overflow };
[[noreturn]] void fail_routine(const char* routine, RoutineErr kind);
// A class M failure of our own with its number and message (M6301).
[[noreturn]] void fail_math(int number, const char* message);

// Forget all frames and the in-failure flag (a new run in the same process).
void failure_reset();

// True once a report has begun: the end of that run reports nothing more.
bool in_failure();

}  // namespace tw
