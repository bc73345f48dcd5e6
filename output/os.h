// The one door to the operating system. Everything the program asks of the
// machine goes through these calls; os_posix.cpp and os_windows.cpp are the
// only files that include a system header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::os {

// Why an operation was refused, in words of our own; each platform maps its
// error codes onto these so that the failure report reads the same everywhere.
enum class Err : int {
  None = 0,
  NotFound,
  Access,
  IsDir,
  NoSpace,
  TooLarge,
  BrokenPipe,
  BadHandle,
  TooMany,
  ReadOnlyFs,
  NameTooLong,
  Io,
  Other,
  BadName,  // a file name the system cannot take (an embedded NUL)
};

using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

enum class Std { In = 0, Out = 1, Err = 2 };

// Once, first thing: broken pipes must come back as errors, not kill us.
void init();

Handle std_handle(Std which);
// A terminal (or the Windows console): changes how the console behaves.
bool is_char_device(Handle h);

struct OpenResult {
  Handle h = kNoHandle;
  bool created = false;    // the file did not exist and was made empty
  bool regular = false;    // a plain file: cutting it makes sense
  bool can_write = false;  // opened read-write or write-only
  Err err = Err::None;     // set when h is kNoHandle
  Err write_err = Err::None;  // why writing was refused, when !can_write
};
// Opens an existing file read-write, else read-only, else write-only, or
// creates it; a directory is refused. The handle never takes the place of a
// standard stream, and a child process does not inherit it.
OpenResult open_file(const char* name);
// Cuts the file to zero length (the handle stands at its start).
Err truncate_file(Handle h);
// Writes all n bytes unless refused; *accepted tells how many the system took.
Err write_all(Handle h, const char* data, std::size_t n, std::size_t* accepted);
Err close_file(Handle h);
// Up to n bytes; 0 at the end of input; -1 when refused (*err tells why).
long read_some(Handle h, char* buf, std::size_t n, Err* err);

// The value of an environment variable into buf (cap bytes, NUL added).
// Returns false when it is not set; *len is its full length, which may
// exceed cap - 1, in which case buf holds only the start of it.
bool get_env(const char* name, char* buf, std::size_t cap, std::size_t* len);

// Runs the interpreter on the command with the argument "/c", inheriting the
// standard streams, environment and working directory; waits without limit.
// interpreter may be null when COMSPEC was not set: then "cmd.exe" runs the
// command (on POSIX the first cmd.exe on PATH, else /bin/sh -c). A named
// interpreter is never replaced: one that cannot be started gives -1.
// On POSIX a name without a slash is looked for on PATH.
// Returns the exit code (128 + signal number for a child killed by a signal)
// or -1 when the interpreter could not be started.
int run_command(const char* interpreter, const char* command);

// Floating-point traps for invalid operation, division by zero and overflow,
// each reported through the handler (which does not return).
enum class Trap { Invalid, DivByZero, Overflow };
using TrapHandler = void (*)(Trap);
void enable_fp_traps(TrapHandler handler);

[[noreturn]] void exit_process(int status);

}  // namespace tw::os
