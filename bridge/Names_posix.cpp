#include "v8napi.h"

// Exact, case-sensitive comparison of UTF-16 units.
bool HostNamesEqual(std::u16string_view a, std::u16string_view b) {
  return a == b;
}
