#include "v8napi.h"

#include <windows.h>

#include <climits>

// The platform's linguistic comparison for the user's default locale, without
// flags: case-sensitive, but it calls strings equal that differ only by
// ignorable characters (a soft hyphen, a zero-width joiner) or by composition.
bool HostNamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() > INT_MAX || b.size() > INT_MAX)
    return a == b;
  if (a.empty() || b.empty())
    return a.empty() && b.empty();
  return CompareStringW(LOCALE_USER_DEFAULT, 0, reinterpret_cast<const wchar_t*>(a.data()),
                        static_cast<int>(a.size()), reinterpret_cast<const wchar_t*>(b.data()),
                        static_cast<int>(b.size())) == CSTR_EQUAL;
}
