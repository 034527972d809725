// Full Unicode lower-casing for texts the scale quotes back (the package status).
// The mapping table is generated (tools/gen_lowercase.py); it is the same on
// every platform, whatever the system locale.
#include "GoodsList.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct LowerRun {
  char32_t first;
  char32_t last;
  int32_t delta;
  int32_t stride;
};

constexpr LowerRun kLowerRuns[] = {
#include "UnicodeLower.inc"
};

static_assert(std::is_sorted(std::begin(kLowerRuns), std::end(kLowerRuns),
                             [](const LowerRun& a, const LowerRun& b) { return a.last < b.first; }));

char32_t LowerCodePoint(char32_t cp) {
  if (cp < 0x80)
    return cp >= U'A' && cp <= U'Z' ? cp + 32 : cp;
  const auto* run = std::lower_bound(std::begin(kLowerRuns), std::end(kLowerRuns), cp,
                                     [](const LowerRun& r, char32_t c) { return r.last < c; });
  if (run == std::end(kLowerRuns) || cp < run->first ||
      (cp - run->first) % static_cast<char32_t>(run->stride) != 0)
    return cp;
  return static_cast<char32_t>(static_cast<int32_t>(cp) + run->delta);
}

void AppendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

} // namespace

std::u16string LowerCaseFull(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      AppendCodePoint(out, LowerCodePoint(cp));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      out.push_back(unit); // a lone surrogate has no case
    } else if (unit == 0x0130) {
      out += u"i\u0307"; // LATIN CAPITAL LETTER I WITH DOT ABOVE
    } else {
      AppendCodePoint(out, LowerCodePoint(unit));
    }
  }
  return out;
}
