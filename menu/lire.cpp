#include "menu/lire.h"

namespace tw {

void LIRE(const char*, int, std::int32_t&, const char*, int, double*, const char*, int) {}
void lire_reset() {}

}  // namespace tw
