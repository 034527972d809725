// Full Unicode lower-casing. The mapping table is generated
// (tools/gen_lowercase.py); it is the same on every platform, whatever the
// system locale.
#include "TextCodec.h"

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
    return FoldAscii(static_cast<char16_t>(cp));
  const auto* run = std::lower_bound(std::begin(kLowerRuns), std::end(kLowerRuns), cp,
                                     [](const LowerRun& r, char32_t c) { return r.last < c; });
  if (run == std::end(kLowerRuns) || cp < run->first ||
      (cp - run->first) % static_cast<char32_t>(run->stride) != 0)
    return cp;
  return static_cast<char32_t>(static_cast<int32_t>(cp) + run->delta);
}

} // namespace

std::u16string LowerCaseFull(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsSurrogatePair(text, i)) {
      AppendUtf16(out, LowerCodePoint(CombineSurrogates(unit, text[i + 1])));
      ++i;
    } else if (IsSurrogate(unit)) {
      out.push_back(unit); // a lone surrogate has no case
    } else if (unit == 0x0130) {
      out += u"i\u0307"; // LATIN CAPITAL LETTER I WITH DOT ABOVE
    } else {
      AppendUtf16(out, LowerCodePoint(unit));
    }
  }
  return out;
}
