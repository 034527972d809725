// UTF-8 to and from UTF-16 over whole classes of input: every malformed
// sequence of a class becomes exactly one U+FFFD and what follows it is read
// as it would be on its own; no lone surrogate is ever joined to the unit
// after it. The test host converts with a codec of its own (as a real host
// would), which must give the same answers.
#include "TextCodec.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr char kFffd[] = "\xEF\xBF\xBD";

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
    out += ' ';
  }
  return out;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (const int v : values)
    out.push_back(static_cast<char>(v));
  return out;
}

// Expects bad, put between "a" and "b", to read as "a", one U+FFFD, "b"; and
// followed by a two-byte character, that character kept.
void ExpectOneReplacement(std::string_view bad) {
  const std::string text = "a" + std::string(bad) + "b";
  EXPECT_EQ(Utf8ToUtf16(text), u"a\uFFFDb") << Hex(bad);
  EXPECT_EQ(testhost::Utf8ToUtf16(text), u"a\uFFFDb") << Hex(bad);
  const std::string beforeLetter = std::string(bad) + "ж";
  EXPECT_EQ(Utf8ToUtf16(beforeLetter), u"\uFFFDж") << Hex(bad);
}

TEST(Utf8Decoder, EncodedSurrogatesAreOneReplacementEach) {
  for (int unit = 0xD800; unit <= 0xDFFF; ++unit)
    ExpectOneReplacement(Bytes({0xED, 0x80 | ((unit >> 6) & 0x3F), 0x80 | (unit & 0x3F)}));
  // An encoded pair is two of them, not the character the pair would make.
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\xBD\xED\xB8\x80"), u"\uFFFD\uFFFD");
  // Its neighbours are characters.
  EXPECT_EQ(Utf8ToUtf16("\xED\x9F\xBF\xEE\x80\x80"), u"\uD7FF\uE000");
}

TEST(Utf8Decoder, OverlongFormsAreOneReplacementEach) {
  for (int lead = 0xC0; lead <= 0xC1; ++lead)
    for (int c = 0x80; c <= 0xBF; ++c)
      ExpectOneReplacement(Bytes({lead, c}));
  for (int c1 = 0x80; c1 <= 0x9F; ++c1)
    for (int c2 = 0x80; c2 <= 0xBF; ++c2)
      ExpectOneReplacement(Bytes({0xE0, c1, c2}));
  for (int c1 = 0x80; c1 <= 0x8F; ++c1)
    for (int c2 = 0x80; c2 <= 0xBF; c2 += 0x3F)
      for (int c3 = 0x80; c3 <= 0xBF; ++c3)
        ExpectOneReplacement(Bytes({0xF0, c1, c2, c3}));
  // The shortest forms just above them are characters.
  EXPECT_EQ(Utf8ToUtf16("\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"), u"\u0080\u0800\U00010000");
}

TEST(Utf8Decoder, CodePointsAboveTheLastAreOneReplacementEach) {
  for (int c1 = 0x90; c1 <= 0xBF; ++c1)
    for (int c3 = 0x80; c3 <= 0xBF; ++c3)
      ExpectOneReplacement(Bytes({0xF4, c1, 0x80, c3}));
  for (int lead = 0xF5; lead <= 0xF7; ++lead)
    ExpectOneReplacement(Bytes({lead, 0x80, 0x80, 0x80}));
  for (int lead = 0xF5; lead <= 0xFF; ++lead)
    ExpectOneReplacement(Bytes({lead}));
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(Utf8Decoder, TruncatedSequencesAndLoneContinuationBytes) {
  // Every beginning of a character of two, three and four bytes, at the end,
  // before an ASCII character and before another character's lead byte.
  for (const std::string whole :
       {"\xD0\x96", "\xE2\x82\xAC", "\xEF\xBF\xBF", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"})
    for (size_t n = 1; n < whole.size(); ++n) {
      const std::string cut = whole.substr(0, n);
      ExpectOneReplacement(cut);
      EXPECT_EQ(Utf8ToUtf16("a" + cut), u"a\uFFFD") << Hex(cut);
      EXPECT_EQ(testhost::Utf8ToUtf16("a" + cut), u"a\uFFFD") << Hex(cut);
      EXPECT_EQ(Utf8ToUtf16(cut + cut + "\xF0\x9F\x98\x80"), u"\uFFFD\uFFFD\U0001F600") << Hex(cut);
    }
  // Each continuation byte without a lead is a sequence of its own.
  for (int c = 0x80; c <= 0xBF; ++c) {
    ExpectOneReplacement(Bytes({c}));
    EXPECT_EQ(Utf8ToUtf16(Bytes({c, c})), u"\uFFFD\uFFFD");
  }
  // Past a whole character, a further continuation byte stands alone.
  EXPECT_EQ(Utf8ToUtf16("\xD0\x96\x96"), u"Ж\uFFFD");
}

TEST(Utf8Codec, EveryCodePointGoesThereAndBack) {
  std::u16string all;
  size_t bytes = 0;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF)
      continue;
    AppendUtf16(all, cp);
    bytes += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  }
  const std::string utf8 = Utf16ToUtf8(all);
  EXPECT_EQ(utf8.size(), bytes);
  EXPECT_EQ(Utf8Size(all), bytes);
  EXPECT_TRUE(Utf8ToUtf16(utf8) == all);
  EXPECT_TRUE(testhost::Utf16ToUtf8(all) == utf8);
}

// The encoder: a surrogate without its partner is one U+FFFD, and the unit
// after it is written as it is, at every place in a run of ASCII (runs of four
// take a shortcut).
TEST(Utf8Encoder, LoneSurrogatesAreOneReplacementEach) {
  const std::string pair = "\xF0\x90\x80\x80"; // U+10000
  const struct {
    std::u16string units;
    std::string utf8;
  } cases[] = {
      {u"\xD800"
       u"b",
       std::string(kFffd) + "b"},
      {u"\xDBFF", kFffd}, // a high one at the end
      {u"\xDC00"
       u"b",
       std::string(kFffd) + "b"},
      {u"\xDC00\xD800", std::string(kFffd) + kFffd}, // a pair the wrong way round
      {u"\xD800\xD800\xDC00", kFffd + pair},         // a high one before a pair
      {u"\xD800\xDC00\xDC00", pair + kFffd},         // a low one after a pair
      {u"\xD800"
       u"ж",
       std::string(kFffd) + "ж"},
  };
  for (const auto& c : cases)
    for (size_t ascii = 0; ascii <= 5; ++ascii) {
      const std::u16string units = std::u16string(ascii, u'x') + c.units + u"yyyy";
      const std::string utf8 = std::string(ascii, 'x') + c.utf8 + "yyyy";
      EXPECT_EQ(Hex(Utf16ToUtf8(units)), Hex(utf8)) << ascii;
      EXPECT_EQ(Utf8Size(units), utf8.size()) << ascii;
      EXPECT_EQ(Hex(testhost::Utf16ToUtf8(units)), Hex(utf8)) << ascii;
    }
}

} // namespace
