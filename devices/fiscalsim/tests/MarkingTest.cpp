// The drive's reading of marking codes, table by table, and the control
// file's rules of the marking system's answers.
#include "Marking.h"

#include "TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using fiscal::ReadMarkingCode;

// A well-formed full code of GTIN 04607000000014.
const std::string kFull = std::string("0104607000000014215Ab!c%ZxY0tQ\x1d") + "91EE06\x1d" + "92dGVzdGtleQ==";

TEST(MarkingCode, ReadsTheFormsADriveAccepts) {
  struct TCase {
    std::string Raw;
    std::string Gtin;
    std::string Serial;
  };
  const TCase cases[] = {
      {kFull, "04607000000014", "5Ab!c%ZxY0tQ"},
      {"]d2" + kFull, "04607000000014", "5Ab!c%ZxY0tQ"},
      {"\x1d" + kFull, "04607000000014", "5Ab!c%ZxY0tQ"},
      // Dairy and water: the short verification field 93, a weight after it.
      {"010462020200120721abcDEF\x1d"
       "93ab12\x1d"
       "3103000450",
       "04620202001207", "abcDEF"},
      // A serial of 20 characters runs to the code's end when nothing follows
      // but the fields after a separator.
      {"010460700000001421ABCDEFGHIJKLMNOPQRST\x1d"
       "93zz",
       "04607000000014", "ABCDEFGHIJKLMNOPQRST"},
      // A tobacco pack: GTIN, serial 7, price 4, verification 4.
      {"04607000000014-Ab3<x5AB-cZx9=", "04607000000014", "-Ab3<x5"},
  };
  for (const TCase& c : cases) {
    const fiscal::TMarkingCode code = ReadMarkingCode(c.Raw);
    EXPECT_TRUE(code.Ok) << c.Raw << ": " << Utf16ToUtf8(code.Error);
    EXPECT_EQ(code.Gtin, c.Gtin) << c.Raw;
    EXPECT_EQ(code.Serial, c.Serial) << c.Raw;
  }
  const fiscal::TMarkingCode fromBase64 = fiscal::ReadMarkingCodeBase64(Utf16ToUtf8(EncodeBase64(kFull)));
  EXPECT_TRUE(fromBase64.Ok);
  EXPECT_EQ(fromBase64.Raw, kFull);
}

TEST(MarkingCode, RefusesWhatADriveRefuses) {
  const std::string cases[] = {
      "",
      "]d2",
      "0104607000000015215Ab\x1d"
      "91EE06\x1d"
      "92abc", // the GTIN's check digit
      "01046070000000\x1d"
      "91EE06\x1d"
      "92abc", // a GTIN of 12 digits
      "010460700000001491EE06\x1d"
      "92abc", // no serial
      "010460700000001421\x1d"
      "91EE06\x1d"
      "92abc", // an empty serial
      "010460700000001421ABCDEFGHIJKLMNOPQRSTU\x1d"
      "93zz", // a serial of 21
      "010460700000001421AB CD\x1d"
      "93zz", // a blank in the serial
      "010460700000001421ABCD\x1d"
      "91EE06",                 // a key without its code
      "010460700000001421ABCD", // no verification at all
      "010460700000001421ABCD\x1d"
      "77xx", // an unknown field
      "010460700000001421ABCD\x1d"
      "93", // an empty field
      "010460700000001421AB\xd0\x96"
      "CD\x1d"
      "93zz",                          // a character outside ASCII
      "04607000000015-Ab3<x5AB-cZx9=", // a pack with a wrong check digit
      "04607000000014-Ab3<x5AB-cZx9",  // a pack one short
  };
  for (const std::string& raw : cases) {
    const fiscal::TMarkingCode code = ReadMarkingCode(raw);
    EXPECT_FALSE(code.Ok) << raw;
    EXPECT_FALSE(code.Error.empty()) << raw;
    EXPECT_TRUE(code.Gtin.empty()) << raw;
  }
  for (const char* base64 : {"", "not base64!", "MDEwNDYw*"})
    EXPECT_FALSE(fiscal::ReadMarkingCodeBase64(base64).Ok) << base64;
}

TEST(MarkingRule, ReadsTheAnswersAndRefusesTheRest) {
  using TKind = fiscal::TKmAnswer::TKind;
  struct TCase {
    std::u16string Value;
    TKind Kind;
    int32_t ResultCode;
    int32_t Delay;
  };
  const TCase good[] = {
      {u"accept", TKind::Accept, 15, 0},
      {u"REJECT", TKind::Reject, 7, 0},
      {u"reject:5", TKind::Reject, 5, 0},
      {u"delay:2, reject", TKind::Reject, 7, 2},
      {u"unreachable,delay:1", TKind::Unreachable, 15, 1},
      {u"delay:3600", TKind::Accept, 15, 3600},
  };
  for (const TCase& c : good) {
    std::u16string error;
    const auto answer = fiscal::ParseKmAnswer(c.Value, error);
    ASSERT_TRUE(answer) << Utf16ToUtf8(c.Value) << ": " << Utf16ToUtf8(error);
    EXPECT_EQ(answer->Kind, c.Kind) << Utf16ToUtf8(c.Value);
    EXPECT_EQ(answer->ResultCode, c.ResultCode) << Utf16ToUtf8(c.Value);
    EXPECT_EQ(answer->DelaySeconds, c.Delay) << Utf16ToUtf8(c.Value);
  }
  for (const std::u16string bad : {u"", u"maybe", u"reject:16", u"reject:", u"delay:x", u"delay:3601",
                                   u"accept,reject", u"accept,", u"delay:-1"}) {
    std::u16string error;
    EXPECT_FALSE(fiscal::ParseKmAnswer(bad, error)) << Utf16ToUtf8(bad);
    EXPECT_FALSE(error.empty());
  }
}

} // namespace
