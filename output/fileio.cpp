#include "output/fileio.h"

namespace tw {

void unit_open(int, const char*, int) {}
void unit_close(int) {}
const char* unit_name(int, int* len) { *len = 0; return ""; }
void write_unit(int unit, const Format& f, const Item* items, int n) {
  format_write(Dest{Dest::Unit, unit, nullptr, 0}, f, items, n);
}
void write_console(const Format& f, const Item* items, int n) {
  format_write(Dest{Dest::Console, 0, nullptr, 0}, f, items, n);
}
void write_text(char* text, int text_len, const Format& f, const Item* items, int n) {
  format_write(Dest{Dest::Text, 0, text, text_len}, f, items, n);
}
void unit_record(int, const char*, std::size_t, bool) {}
void console_record(const char*, std::size_t, bool) {}
bool console_shared() { return false; }
long console_fetch(char*, std::size_t) { return 0; }
void console_read_start() {}
void console_line_end_consumed() {}
void stop_with_message(const char*) { os::exit_process(0); }
void end_run(int status) { os::exit_process(status); }
void unit_drop_buffer(int) {}
void fileio_reset() {}

}  // namespace tw
