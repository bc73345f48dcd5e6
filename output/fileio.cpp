// File units and the console stream: records to bytes, and the end of a run.
#include "output/fileio.h"

#include "output/os.h"

namespace tw {

namespace {

constexpr int kMaxUnits = 4;
constexpr int kMaxName = 260;
constexpr std::size_t kConsolePiece = 132;

struct Unit {
  bool used;
  int number;
  char name[kMaxName + 1];
  int name_len;
  os::Handle h;
  bool written;    // cut already, or created by the open
  bool can_write;
  bool regular;
  os::Err write_err;  // why a read-only open refused writing
  char buf[kUnitBuffer];
  int fill;
};

Unit g_units[kMaxUnits];

struct Console {
  bool pending;  // a line break is owed
  bool open;     // the last write ended with the no-advance edit
  bool dead;     // standard output refused a write: nothing more goes there
  int mode;      // -1 undecided, 0 split, 1 shared
};

Console g_con = {false, false, false, -1};

Unit* find_unit(int number) {
  for (Unit& u : g_units)
    if (u.used && u.number == number) return &u;
  return nullptr;
}

void release(Unit& u) {
  u.used = false;
  u.fill = 0;
}

// Writes the buffer out; on refusal the buffer is dropped and the reason
// returned, leaving the report to the caller.
os::Err write_out(Unit& u) {
  if (u.fill == 0) return os::Err::None;
  if (!u.can_write) {
    u.fill = 0;
    return u.write_err == os::Err::None ? os::Err::Access : u.write_err;
  }
  std::size_t acc = 0;
  os::Err e = os::write_all(u.h, u.buf, static_cast<std::size_t>(u.fill), &acc);
  u.fill = 0;
  return e;
}

// Writes out, closes and releases; the unit is gone before any report, so
// the end of the run that follows never meets it again.
void close_unit(Unit& u, bool quiet) {
  os::Err e = write_out(u);
  os::Err c = os::close_file(u.h);
  if (e == os::Err::None) e = c;
  char name[kMaxName + 1];
  int len = u.name_len;
  for (int i = 0; i < len; ++i) name[i] = u.name[i];
  release(u);
  if (e != os::Err::None && !quiet) fail_file(Stmt::Close, name, len, e);
}

void add_bytes(Unit& u, const char* p, std::size_t n) {
  while (n > 0) {
    std::size_t room = static_cast<std::size_t>(kUnitBuffer - u.fill);
    std::size_t k = n < room ? n : room;
    for (std::size_t i = 0; i < k; ++i) u.buf[u.fill + static_cast<int>(i)] = p[i];
    u.fill += static_cast<int>(k);
    p += k;
    n -= k;
    if (u.fill == kUnitBuffer) {
      os::Err e = write_out(u);
      if (e != os::Err::None) fail_file(Stmt::Write, u.name, u.name_len, e);
    }
  }
}

bool shared() {
  if (g_con.mode < 0) {
    bool s = os::is_char_device(os::std_handle(os::Std::In)) &&
             os::is_char_device(os::std_handle(os::Std::Out));
    g_con.mode = s ? 1 : 0;
  }
  return g_con.mode == 1;
}

// One write to standard output; a refusal ends the run, and nothing more
// is written there afterwards.
void con_write(const char* p, std::size_t n) {
  if (g_con.dead || n == 0) return;
  std::size_t acc = 0;
  os::Err e = os::write_all(os::std_handle(os::Std::Out), p, n, &acc);
  if (e != os::Err::None) {
    g_con.dead = true;
    if (!in_failure()) fail_file(Stmt::Write, "CON", 3, e);
  }
}

// How a console line starts, by the record's first character.
int line_start(char first, bool pending, char* out) {
  int n = 0;
  auto put = [&](char c) { out[n++] = c; };
  switch (first) {
    case '0':
      if (pending) { put('\r'); put('\n'); }
      put('\r'); put('\n');
      break;
    case '1':
      put('\r'); put('\n'); put('\f'); put('\r'); put(' '); put('\r');
      break;
    case '+':
      put('\r');
      break;
    default:  // blank and any other character
      if (pending) { put('\r'); put('\n'); }
      break;
  }
  return n;
}

}  // namespace

void unit_open(int unit, const char* name, int name_len) {
  if (Unit* old = find_unit(unit)) close_unit(*old, false);
  if (name_len < 0) name_len = 0;
  if (name_len > kMaxName) fail_file(Stmt::Open, name, name_len, os::Err::NameTooLong);
  for (int i = 0; i < name_len; ++i)
    if (name[i] == '\0') fail_file(Stmt::Open, name, i, os::Err::BadName);
  Unit* u = nullptr;
  for (Unit& c : g_units)
    if (!c.used) { u = &c; break; }
  if (!u) fail_file(Stmt::Open, name, name_len, os::Err::TooMany);
  for (int i = 0; i < name_len; ++i) u->name[i] = name[i];
  u->name[name_len] = '\0';
  u->name_len = name_len;
  os::OpenResult r = os::open_file(u->name);
  if (r.h == os::kNoHandle) fail_file(Stmt::Open, name, name_len, r.err);
  u->used = true;
  u->number = unit;
  u->h = r.h;
  u->written = r.created;
  u->can_write = r.can_write;
  u->regular = r.regular;
  u->write_err = r.write_err;
  u->fill = 0;
}

void unit_close(int unit) {
  if (Unit* u = find_unit(unit)) close_unit(*u, false);
}

const char* unit_name(int unit, int* len) {
  if (Unit* u = find_unit(unit)) {
    *len = u->name_len;
    return u->name;
  }
  *len = 0;
  return "";
}

void write_unit(int unit, const Format& f, const Item* items, int n) {
  format_write(Dest{Dest::Unit, unit, nullptr, 0}, f, items, n);
}
void write_console(const Format& f, const Item* items, int n) {
  format_write(Dest{Dest::Console, 0, nullptr, 0}, f, items, n);
}
void write_text(char* text, int text_len, const Format& f, const Item* items, int n) {
  format_write(Dest{Dest::Text, 0, text, text_len}, f, items, n);
}

void unit_record(int unit, const char* rec, std::size_t len, bool left_open) {
  Unit* u = find_unit(unit);
  if (!u) {
    // No file behind the unit: reported under the unit's number.
    char name[12];
    int n = 0;
    unsigned v = unit < 0 ? 0u - static_cast<unsigned>(unit) : static_cast<unsigned>(unit);
    char d[11];
    int k = 0;
    do { d[k++] = static_cast<char>('0' + v % 10); v /= 10; } while (v);
    if (unit < 0) name[n++] = '-';
    while (k > 0) name[n++] = d[--k];
    fail_file(Stmt::Write, name, n, os::Err::BadHandle);
  }
  if (!u->written) {
    // The old contents go with the first record; a device is never cut,
    // and a file opened for reading only fails at its write-out instead.
    if (u->regular && u->can_write) {
      os::Err e = os::truncate_file(u->h);
      if (e != os::Err::None) fail_file(Stmt::Write, u->name, u->name_len, e);
    }
    u->written = true;
  }
  add_bytes(*u, rec, len);
  if (!left_open) add_bytes(*u, "\r\n", 2);
}

void console_record(const char* rec, std::size_t len, bool left_open) {
  if (len == 0) {
    rec = " ";
    len = 1;
  }
  char out[8 + kConsolePiece];
  std::size_t n = 0, from = 0;
  if (!g_con.open) {
    n = static_cast<std::size_t>(line_start(rec[0], g_con.pending, out));
    from = 1;
  }
  // Pieces of at most 132 characters, all on the same line.
  do {
    std::size_t k = len - from < kConsolePiece ? len - from : kConsolePiece;
    for (std::size_t i = 0; i < k; ++i) out[n + i] = rec[from + i];
    con_write(out, n + k);
    from += k;
    n = 0;
  } while (from < len);
  g_con.pending = true;
  g_con.open = left_open;
}

bool console_shared() { return shared(); }

long console_fetch(char* buf, std::size_t n) {
  os::Err e = os::Err::None;
  long r = os::read_some(os::std_handle(os::Std::In), buf, n, &e);
  return r < 0 ? -1 : r;
}

void console_read_start() {
  if (!shared()) return;
  if (g_con.pending && !g_con.open) con_write("\r\n", 2);
  g_con.open = false;
}

void console_line_end_consumed() {
  if (shared()) g_con.pending = false;
}

void stop_with_message(const char* text) {
  char out[160];
  std::size_t n = 0;
  if (g_con.pending) {
    out[n++] = '\r';
    out[n++] = '\n';
  }
  std::size_t len = 0;
  while (text && text[len]) ++len;
  if (n + len + 2 <= sizeof out) {
    for (std::size_t i = 0; i < len; ++i) out[n++] = text[i];
    out[n++] = '\r';
    out[n++] = '\n';
    con_write(out, n);
  } else {
    con_write(out, n);
    con_write(text, len);
    con_write("\r\n", 2);
  }
  end_run(0);
}

void end_run(int status) {
  // A refusal here at a normal end is reported (and the run ends with 1);
  // during a failure's end every further refusal is silent.
  for (Unit& u : g_units)
    if (u.used) close_unit(u, in_failure());
  if (g_con.pending) con_write("\r\n", 2);
  os::exit_process(status);
}

void unit_drop_buffer(int unit) {
  if (Unit* u = find_unit(unit)) u->fill = 0;
}

void fileio_reset() {
  // Handles left by an earlier run in this process are let go unwritten.
  for (Unit& u : g_units) {
    if (u.used) os::close_file(u.h);
    release(u);
  }
  g_con = Console{false, false, false, -1};
  shared();
}

}  // namespace tw
