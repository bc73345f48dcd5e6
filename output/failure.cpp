// The run-time failure report on standard error, then the end of the run.
// It is also written from the floating-point trap handler, so it uses no
// heap and no stdio: a fixed buffer and os::write_all only.
//
// Failure catalogue (class letter, number, message):
//
//   M6101  floating-point error: invalid
//   M6103  floating-point error: divide by zero
//   M6104  floating-point error: overflow
//   M6201  <routine>: DOMAIN error      (routine "**" or "sqrt")
//   M6202  <routine>: SING error
//   M6203  <routine>: OVERFLOW error
//   M6301  and up: the map's own failures, number and message from the caller
//
//   File layer, one number per reason; the message names the operation
//   ("cannot open file", "cannot write file", "cannot close file") and the
//   reason:
//   F6001  no such file or directory
//   F6002  permission denied
//   F6003  is a directory
//   F6004  disk full
//   F6005  file too large
//   F6006  broken pipe
//   F6007  bad file handle
//   F6008  too many open files
//   F6009  read-only file system
//   F6010  file name too long
//   F6011  input/output error
//   F6012  system error
//   F6013  invalid file name
//
//   Format faults, reported as a refused write on the destination:
//   F6500  syntax error in format
//   F6501  data item of the wrong kind for its edit
//   F6502  format too long
//   F6503  record too long
#include "output/failure.h"

#include "output/fileio.h"

namespace tw {

namespace {

constexpr int kMaxFrames = 8;

struct Frame {
  const char* routine;  // nullptr: the main program
  const char* file;
  int line;
};

Frame g_frames[kMaxFrames];
int g_depth = 0;  // may exceed kMaxFrames: the deeper frames are not kept
volatile bool g_in_failure = false;

int cstrlen(const char* s) {
  int n = 0;
  if (s)
    while (s[n]) ++n;
  return n;
}

// Collects the report and writes it to standard error in pieces; a refused
// write silences the rest of the report.
struct Report {
  char buf[512];
  int len = 0;
  bool dead = false;

  void flush() {
    if (len > 0 && !dead) {
      std::size_t acc = 0;
      if (os::write_all(os::std_handle(os::Std::Err), buf, static_cast<std::size_t>(len), &acc) !=
          os::Err::None)
        dead = true;
    }
    len = 0;
  }
  void put(const char* s, int n) {
    for (int i = 0; i < n; ++i) {
      if (len == static_cast<int>(sizeof buf)) flush();
      buf[len++] = s[i];
    }
  }
  void put(const char* s) { put(s, cstrlen(s)); }
  void num(int v, int min_digits) {
    char d[12];
    int n = 0;
    unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
    do {
      d[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u != 0);
    while (n < min_digits) d[n++] = '0';
    if (v < 0) put("-", 1);
    while (n > 0) put(&d[--n], 1);
  }
  void position(const Frame& f) {
    put(f.file);
    put("(");
    num(f.line, 1);
    put(")");
  }
};

struct Identity {
  char cls;
  int number;
};

// Everything up to and including the class letter and number.
void head(Report& r, Identity id) {
  r.put("\r\n");
  if (g_depth > 0) {
    r.position(g_frames[(g_depth < kMaxFrames ? g_depth : kMaxFrames) - 1]);
    r.put(" : ");
  }
  r.put("run-time error ");
  r.put(&id.cls, 1);
  r.num(id.number, 4);
}

[[noreturn]] void tail(Report& r) {
  r.put("\r\n\r\nExecution traceback:\r\n");
  for (int i = (g_depth < kMaxFrames ? g_depth : kMaxFrames) - 1; i >= 0; --i) {
    r.put("\t\tfrom ");
    if (g_frames[i].routine)
      r.put(g_frames[i].routine);
    else
      r.put("main program");
    r.put(" in ");
    r.position(g_frames[i]);
    r.put("\r\n");
  }
  r.flush();
  end_run(1);
}

// A failure met while one is being reported ends the run quietly.
bool begin() {
  if (g_in_failure) return false;
  g_in_failure = true;
  return true;
}

const char* stmt_text(Stmt s) {
  switch (s) {
    case Stmt::Open: return ": OPEN(";
    case Stmt::Write: return ": WRITE(";
    case Stmt::Close: return ": CLOSE(";
  }
  return ": WRITE(";
}

const char* stmt_verb(Stmt s) {
  switch (s) {
    case Stmt::Open: return "cannot open file: ";
    case Stmt::Write: return "cannot write file: ";
    case Stmt::Close: return "cannot close file: ";
  }
  return "cannot write file: ";
}

struct Reason {
  int number;
  const char* text;
};

Reason reason_of(os::Err e) {
  switch (e) {
    case os::Err::NotFound: return {6001, "no such file or directory"};
    case os::Err::Access: return {6002, "permission denied"};
    case os::Err::IsDir: return {6003, "is a directory"};
    case os::Err::NoSpace: return {6004, "disk full"};
    case os::Err::TooLarge: return {6005, "file too large"};
    case os::Err::BrokenPipe: return {6006, "broken pipe"};
    case os::Err::BadHandle: return {6007, "bad file handle"};
    case os::Err::TooMany: return {6008, "too many open files"};
    case os::Err::ReadOnlyFs: return {6009, "read-only file system"};
    case os::Err::NameTooLong: return {6010, "file name too long"};
    case os::Err::Io: return {6011, "input/output error"};
    case os::Err::BadName: return {6013, "invalid file name"};
    case os::Err::None:
    case os::Err::Other: break;
  }
  return {6012, "system error"};
}

Reason format_reason(FormatFault f) {
  switch (f) {
    case FormatFault::Syntax: return {6500, "syntax error in format"};
    case FormatFault::WrongItem: return {6501, "data item of the wrong kind for its edit"};
    case FormatFault::TooLong: return {6502, "format too long"};
    case FormatFault::RecordTooLong: return {6503, "record too long"};
  }
  return {6500, "syntax error in format"};
}

[[noreturn]] void file_report(Stmt stmt, const char* name, int name_len, int number,
                              const char* verb, const char* message) {
  if (!begin()) end_run(1);
  Report r;
  head(r, Identity{'F', number});
  r.put(stmt_text(stmt));
  if (name && name_len > 0) r.put(name, name_len);
  r.put(")\r\n- ");
  if (verb) r.put(verb);
  r.put(message);
  tail(r);
}

[[noreturn]] void math_report(int number, const char* part1, const char* part2) {
  if (!begin()) end_run(1);
  Report r;
  head(r, Identity{'M', number});
  r.put(": MATH\r\n- ");
  r.put(part1);
  if (part2) r.put(part2);
  tail(r);
}

}  // namespace

void frame_push(const char* routine, const char* file, int line) {
  if (g_depth < kMaxFrames) g_frames[g_depth] = Frame{routine, file, line};
  ++g_depth;
}

void frame_pop() {
  if (g_depth > 0) --g_depth;
}

void frame_at(const char* file, int line) {
  if (g_depth > 0 && g_depth <= kMaxFrames) {
    g_frames[g_depth - 1].file = file;
    g_frames[g_depth - 1].line = line;
  }
}

void fail_file(Stmt stmt, const char* name, int name_len, os::Err why) {
  Reason rs = reason_of(why);
  file_report(stmt, name, name_len, rs.number, stmt_verb(stmt), rs.text);
}

void fail_format(FormatFault fault, const char* name, int name_len) {
  Reason rs = format_reason(fault);
  file_report(Stmt::Write, name, name_len, rs.number, nullptr, rs.text);
}

void fail_trap(os::Trap trap) {
  switch (trap) {
    case os::Trap::Invalid: math_report(6101, "floating-point error: invalid", nullptr);
    case os::Trap::DivByZero: math_report(6103, "floating-point error: divide by zero", nullptr);
    case os::Trap::Overflow: math_report(6104, "floating-point error: overflow", nullptr);
  }
  math_report(6101, "floating-point error: invalid", nullptr);
}

void fail_routine(const char* routine, RoutineErr kind) {
  // "<routine>: KIND error" is built in two pieces to stay off any buffer.
  char rest[24];
  const char* k = kind == RoutineErr::Domain ? "DOMAIN" : kind == RoutineErr::Sing ? "SING" : "OVERFLOW";
  int n = 0;
  for (const char* p = ": "; *p; ++p) rest[n++] = *p;
  for (const char* p = k; *p; ++p) rest[n++] = *p;
  for (const char* p = " error"; *p; ++p) rest[n++] = *p;
  rest[n] = '\0';
  math_report(6201 + static_cast<int>(kind), routine ? routine : "", rest);
}

void fail_math(int number, const char* message) { math_report(number, message ? message : "", nullptr); }

void failure_reset() {
  g_depth = 0;
  g_in_failure = false;
}

bool in_failure() { return g_in_failure; }

}  // namespace tw
