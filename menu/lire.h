// The parameter menu: shows a set as a numbered table and lets the user
// change its values until an answer leaves the menu or stops the program.
#pragma once

#include <cstdint>

namespace tw {

void LIRE(const char* title, int title_len, std::int32_t& count,
          const char* labels, int label_len, double* values,
          const char* desc, int desc_len);

// The menu's new value back at 0.0 (a new run in the same process).
void lire_reset();

}  // namespace tw
