// The case folding over every code point of its table and of Unicode: each
// upper-case letter of a run goes to its lower-case letter, every other code
// point of the run stays, and lower-casing twice changes nothing more.
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct TRun {
  char32_t first;
  char32_t last;
  int32_t delta;
  int32_t stride;
};

constexpr TRun kRuns[] = {
#include "UnicodeLower.inc"
};

char32_t Lower(char32_t cp) {
  std::u16string one;
  AppendUtf16(one, cp);
  const std::u16string lower = LowerCaseFull(one);
  if (lower.size() == 1)
    return lower[0];
  if (lower.size() == 2 && IsSurrogatePair(lower, 0))
    return CombineSurrogates(lower[0], lower[1]);
  return 0xFFFFFFFF; // more than one character
}

// Runs where upper and lower case alternate (Latin Extended-A and -B,
// Cyrillic and its supplement, Greek, Coptic, Glagolitic, ...): the upper
// letter of each pair goes to the lower one, which stays as it is.
TEST(LowerCase, EveryLetterOfTheAlternatingRuns) {
  size_t pairs = 0;
  for (const TRun& run : kRuns) {
    if (run.stride != 2)
      continue;
    for (char32_t cp = run.first; cp <= run.last; cp += 2, ++pairs) {
      const auto lower = static_cast<char32_t>(static_cast<int32_t>(cp) + run.delta);
      EXPECT_EQ(Lower(cp), lower) << std::hex << uint32_t(cp);
      EXPECT_EQ(Lower(lower), lower) << std::hex << uint32_t(lower);
      if (cp + 1 <= run.last) {
        EXPECT_EQ(Lower(cp + 1), cp + 1) << std::hex << uint32_t(cp + 1);
      }
    }
  }
  EXPECT_GT(pairs, 500u); // the table has these runs at all
}

// The runs of consecutive letters (A-Z, Cyrillic А-Я, Deseret, ...) alike,
// with the code point after each run.
TEST(LowerCase, EveryLetterOfTheConsecutiveRuns) {
  for (const TRun& run : kRuns) {
    if (run.stride != 1)
      continue;
    for (char32_t cp = run.first; cp <= run.last; ++cp)
      EXPECT_EQ(Lower(cp), static_cast<char32_t>(static_cast<int32_t>(cp) + run.delta))
          << std::hex << uint32_t(cp);
  }
  EXPECT_EQ(Lower(U'Z' + 1), U'Z' + 1);
  EXPECT_EQ(Lower(U'Я' + 1), U'Я' + 1); // а: already lower-case
}

TEST(LowerCase, TwiceIsOnceOverAllOfUnicode) {
  std::u16string all;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp)
    if (cp < 0xD800 || cp > 0xDFFF)
      AppendUtf16(all, cp);
  const std::u16string once = LowerCaseFull(all);
  EXPECT_TRUE(LowerCaseFull(once) == once);
  // Only U+0130 becomes two characters.
  EXPECT_EQ(once.size(), all.size() + 1);
}

} // namespace
