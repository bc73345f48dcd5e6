// The parameter menu LIRE: a numbered table of one parameter set, edited
// one answer at a time until the user leaves (0) or stops (negative).
#include "menu/lire.h"

#include "menu/reader.h"
#include "output/failure.h"
#include "output/fileio.h"
#include "output/format.h"

namespace tw {

namespace {

constexpr int kField = 40;       // title and labels are shown at 40 characters
constexpr int kRowFormat = 31;   // the row format built at each call
constexpr int kRowsPerWrite = 16;

// Shared by both menus and kept from one answer and one call to the next.
double g_new_value = 0.0;

// The prompt's second format: two literals, a slash, 33 blanks the format
// reader skips, and the no-advance edit that leaves the answer on its line.
constexpr char kPrompt2[] =
    "(' taper 0,0 pour sortir du menu'/"
    "                                 "
    "' taper -1,0 pour arreter  --->'\\)";
static_assert(sizeof(kPrompt2) - 1 == 101);

// A text at exactly 40 characters: cut, or filled out with blanks.
void fit40(char* field, const char* text, int len) {
  for (int i = 0; i < kField; ++i) field[i] = (text && i < len) ? text[i] : ' ';
}

void show_table(const Format& row, std::int32_t count, const char* labels, int label_len,
                const double* values) {
  char lab[kRowsPerWrite][kField];
  Item items[3 * kRowsPerWrite];
  if (count <= 0) {
    // An empty list still makes one (empty) record.
    write_console(row, nullptr, 0);
    return;
  }
  // Several writes of whole rows give the same records as one write.
  long long i = 1;
  while (i <= count) {
    int n = 0;
    for (; n < kRowsPerWrite && i <= count; ++n, ++i) {
      long long at = (i - 1) * (label_len < 0 ? 0 : label_len);
      fit40(lab[n], labels + at, label_len);
      items[3 * n] = it_int(static_cast<std::int32_t>(i));
      items[3 * n + 1] = it_text(lab[n], kField);
      items[3 * n + 2] = it_real(values[i - 1]);
    }
    write_console(row, items, 3 * n);
  }
}

}  // namespace

void LIRE(const char* title, int title_len, std::int32_t& count,
          const char* labels, int label_len, double* values,
          const char* desc, int desc_len) {
  frame_push("LIRE", __FILE_NAME__, __LINE__);

  TW_AT();
  char row_text[kRowFormat];
  Item d = it_text(desc, desc_len < 0 ? 0 : desc_len);
  write_text(row_text, kRowFormat, TW_FORMAT("('(i3,'' ---> '',a40,'' : '',',A7,')')"), &d, 1);
  Format row = format_compile(row_text, kRowFormat);

  TW_AT();
  char head[kField];
  fit40(head, title, title_len);
  Item t = it_text(head, kField);
  write_console(TW_FORMAT("(1x,t20,a40/)"), &t, 1);

  for (;;) {
    TW_AT();
    show_table(row, count, labels, label_len, values);
    // The row counter is left one past the last row.
    std::int32_t entry = count >= 0 && count < INT32_MAX ? count + 1 : count >= 0 ? count : 1;

    TW_AT();
    write_console(TW_FORMAT("(//' Entrer le numero du parametre,nouvelle valeur')"), nullptr, 0);
    TW_AT();
    write_console(TW_FORMAT(kPrompt2), nullptr, 0);

    TW_AT();
    Target targets[2] = {{Target::Int, &entry}, {Target::Real, &g_new_value}};
    ReadOutcome r = free_read(targets, 2);
    if (r == ReadOutcome::Failed) entry = 0;
    if (r == ReadOutcome::EndOfInput) entry = -1;

    TW_AT();
    if (entry >= 1 && entry <= count) values[entry - 1] = g_new_value;
    if (entry == 0) break;
    if (entry < 0) {
      TW_AT();
      stop_with_message("Retour DOS");
    }
  }
  frame_pop();
}

void lire_reset() { g_new_value = 0.0; }

}  // namespace tw
