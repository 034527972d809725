#include "FakeHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

tVariant Empty() {
  tVariant v;
  std::memset(static_cast<void*>(&v), 0, sizeof v);
  return v;
}

template <class F> tVariant Make(uint16_t type, F fill) {
  tVariant v = Empty();
  v.vt = type;
  fill(v);
  return v;
}

std::string Log(const tVariant& v) {
  return Utf16ToUtf8(ValueToLogText(v));
}

struct ValuesTest : ::testing::Test {
  FakeMemory memory;
  HostMemory host{&memory};
};

TEST_F(ValuesTest, WritersReleaseHostTextExactlyOnce) {
  tVariant v = Empty();
  ASSERT_TRUE(SetWideStringValue(host, v, u"первый"));
  EXPECT_EQ(v.vt, VTYPE_PWSTR);
  EXPECT_EQ(v.wstrLen, 6u);
  EXPECT_EQ(GetStringValue(v), u"первый");
  EXPECT_EQ(v.pwstrVal[6], 0);

  SetWideStringValue(host, v, u"x"); // the old text goes back to the host first
  EXPECT_EQ(memory.frees, 1);
  SetIntValue(host, v, -7);
  EXPECT_EQ(memory.frees, 2);
  EXPECT_EQ(v.vt, VTYPE_I4);
  EXPECT_EQ(v.lVal, -7);
  SetBoolValue(host, v, true);
  EXPECT_EQ(v.vt, VTYPE_BOOL);
  ClearValue(host, v);
  EXPECT_EQ(v.vt, VTYPE_EMPTY);
  EXPECT_EQ(memory.allocs, memory.frees);
  EXPECT_EQ(memory.badFrees, 0);

  // A PWSTR type flagged as a vector is still text to release.
  SetWideStringValue(host, v, u"y");
  v.vt |= 0x1000;
  ClearValue(host, v);
  EXPECT_EQ(memory.allocs, memory.frees);
}

TEST_F(ValuesTest, NoMemoryLeavesValuesEmptyInsteadOfCrashing) {
  tVariant v = Empty();
  memory.refuse = 1;
  EXPECT_FALSE(SetWideStringValue(host, v, u"text"));
  EXPECT_EQ(v.vt, VTYPE_EMPTY);

  HostMemory none;
  EXPECT_FALSE(SetWideStringValue(none, v, u"text"));
  EXPECT_EQ(v.vt, VTYPE_EMPTY);
  EXPECT_EQ(CopyStringToHost(none, u"x"), nullptr);
}

TEST_F(ValuesTest, ReadersConvertEveryHostType) {
  EXPECT_EQ(GetStringValue(Make(VTYPE_I4, [](tVariant& v) { v.lVal = 5; })), u"");
  EXPECT_EQ(GetStringValue(Make(VTYPE_PWSTR, [](tVariant& v) { v.pwstrVal = nullptr; })), u"");

  EXPECT_EQ(GetIntValue(Make(VTYPE_I1, [](tVariant& v) { v.i8Val = -3; })), -3);
  EXPECT_EQ(GetIntValue(Make(VTYPE_UI1, [](tVariant& v) { v.ui8Val = 250; })), 250);
  EXPECT_EQ(GetIntValue(Make(VTYPE_UI2, [](tVariant& v) { v.ushortVal = 65535; })), 65535);
  EXPECT_EQ(GetIntValue(Make(VTYPE_UI4, [](tVariant& v) { v.ulVal = 4294967295u; })), -1);
  EXPECT_EQ(GetIntValue(Make(VTYPE_I8, [](tVariant& v) { v.llVal = 0x100000005LL; })), 5);
  EXPECT_EQ(GetIntValue(Make(VTYPE_R8, [](tVariant& v) { v.dblVal = -2.9; })), -2);
  EXPECT_EQ(GetIntValue(Make(VTYPE_R4, [](tVariant& v) { v.fltVal = 7.9f; })), 7);
  EXPECT_EQ(GetIntValue(Make(VTYPE_R8, [](tVariant& v) { v.dblVal = 1e300; })), INT32_MAX);
  EXPECT_EQ(GetIntValue(Make(VTYPE_R8, [](tVariant& v) { v.dblVal = std::nan(""); })), 0);
  EXPECT_EQ(GetIntValue(Make(VTYPE_BOOL, [](tVariant& v) { v.bVal = true; })), 0);

  tVariant text = Empty();
  for (auto [in, out] : std::initializer_list<std::pair<const char16_t*, int32_t>>{
           {u"42", 42}, {u" -17 ", -17}, {u"+5", 5}, {u"12a", 0}, {u"", 0}, {u"99999999999", 0}, {u"٣", 0}}) {
    SetWideStringValue(host, text, in);
    EXPECT_EQ(GetIntValue(text), out) << Utf16ToUtf8(in);
  }

  EXPECT_TRUE(GetBoolValue(Make(VTYPE_BOOL, [](tVariant& v) { v.bVal = true; })));
  EXPECT_TRUE(GetBoolValue(Make(VTYPE_I4, [](tVariant& v) { v.lVal = 2; })));
  EXPECT_FALSE(GetBoolValue(Make(VTYPE_EMPTY, [](tVariant&) {})));

  EXPECT_DOUBLE_EQ(GetDoubleValue(Make(VTYPE_R4, [](tVariant& v) { v.fltVal = 1.5f; })), 1.5);
  EXPECT_DOUBLE_EQ(GetDoubleValue(Make(VTYPE_UI4, [](tVariant& v) { v.ulVal = 4294967295u; })), 4294967295.0);
  EXPECT_DOUBLE_EQ(GetDoubleValue(Make(VTYPE_I8, [](tVariant& v) { v.llVal = -5; })), -5.0);
  EXPECT_DOUBLE_EQ(GetDoubleValue(Make(VTYPE_ERROR, [](tVariant& v) { v.errCode = 5; })), 0.0);
  // The text forms a number takes: either decimal separator, and nothing that
  // is not a finite decimal number (hexadecimal, infinity, a lone sign or dot).
  const std::pair<const char16_t*, double> texts[] = {
      {u"12.5", 12.5}, {u"12,5", 12.5}, {u" 100 ", 100}, {u"abc", 0},     {u"1.2.3", 0}, {u"", 0},
      {u"-.5", -0.5},  {u"5.", 5},      {u"+2e3", 2000}, {u"1E-2", 0.01}, {u"1e", 0},    {u"++1", 0},
      {u"0x10", 0},    {u"inf", 0},     {u"1e999", 0},   {u".", 0},       {u"\n5", 0}};
  for (auto [in, out] : texts) {
    SetWideStringValue(host, text, in);
    EXPECT_DOUBLE_EQ(GetDoubleValue(text), out) << Utf16ToUtf8(in);
  }
  ClearValue(host, text);
}

TEST(NumberText, NeverShowsAnExponent) {
  EXPECT_EQ(FormatNumber(1e-5), "0.00001");
  EXPECT_EQ(FormatNumber(1.5e-5), "0.000015");
  EXPECT_EQ(FormatNumber(-2.5e-3), "-0.0025");
  EXPECT_EQ(FormatNumber(1.5e20), "15" + std::string(19, '0'));
  EXPECT_EQ(FormatNumber(1e20), "1" + std::string(20, '0'));
  EXPECT_EQ(FormatNumber(-1e20), "-1" + std::string(20, '0'));
  EXPECT_EQ(FormatNumber(0.1), "0.1");
  EXPECT_EQ(FormatNumber(0.0), "0");
  EXPECT_EQ(FormatNumber(123456.789), "123456.789");
  EXPECT_EQ(FormatNumber(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FormatNumber(0.1f), "0.1"); // as a float, not widened
  EXPECT_EQ(FormatNumber(1e-7f), "0.0000001");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), "INF");
}

TEST(Dates, OleDatesAndInvalidDates) {
  std::u16string text;
  ASSERT_TRUE(OleDateToText(0.0, text));
  EXPECT_EQ(text, u"30.12.1899 00:00:00");
  ASSERT_TRUE(OleDateToText(45658.75, text)); // 2025-01-01 18:00
  EXPECT_EQ(text, u"01.01.2025 18:00:00");
  ASSERT_TRUE(OleDateToText(-1.25, text)); // the time part of a negative date counts forward
  EXPECT_EQ(text, u"29.12.1899 06:00:00");
  ASSERT_TRUE(OleDateToText(1.0 - 1e-10, text)); // rounds to the next midnight
  EXPECT_EQ(text, u"31.12.1899 00:00:00");
  EXPECT_FALSE(OleDateToText(std::nan(""), text));
  EXPECT_FALSE(OleDateToText(1e12, text));
  EXPECT_FALSE(FormatDateTime(2024, 2, 30, 0, 0, 0, text));
  EXPECT_TRUE(FormatDateTime(2024, 2, 29, 23, 59, 59, text));
}

TEST_F(ValuesTest, LogTextOfEachType) {
  EXPECT_EQ(Log(Make(VTYPE_EMPTY, [](tVariant&) {})), "Неопределено");
  EXPECT_EQ(Log(Make(VTYPE_NULL, [](tVariant&) {})), "NULL");
  EXPECT_EQ(Log(Make(VTYPE_UI4, [](tVariant& v) { v.ulVal = 4294967295u; })), "4294967295");
  EXPECT_EQ(Log(Make(VTYPE_I2, [](tVariant& v) { v.shortVal = -2; })), "-2");
  EXPECT_EQ(Log(Make(VTYPE_I1, [](tVariant& v) { v.i8Val = -128; })), "-128");
  EXPECT_EQ(Log(Make(VTYPE_UI8, [](tVariant& v) { v.ullVal = UINT64_MAX; })), "18446744073709551615");
  EXPECT_EQ(Log(Make(VTYPE_R8, [](tVariant& v) { v.dblVal = 2.5e-6; })), "0.0000025");
  EXPECT_EQ(Log(Make(VTYPE_BOOL, [](tVariant& v) { v.bVal = true; })), "Истина");
  EXPECT_EQ(Log(Make(VTYPE_BOOL, [](tVariant& v) { v.bVal = false; })), "Ложь");
  // A host's boolean byte other than 0 and 1 is true (and read without
  // undefined behaviour: the sanitizer build checks that).
  const tVariant two = Make(VTYPE_BOOL, [](tVariant& v) { std::memset(&v.bVal, 2, 1); });
  EXPECT_EQ(Log(two), "Истина");
  EXPECT_TRUE(GetBoolValue(two));
  EXPECT_EQ(ValueFingerprint(two), "11 True");
  EXPECT_EQ(Log(Make(VTYPE_PSTR, [](tVariant&) {})), "TYPE 8");
  EXPECT_EQ(Log(Make(VTYPE_INT, [](tVariant& v) { v.intVal = 1; })), "TYPE 19");
  EXPECT_EQ(Log(Make(VTYPE_DATE, [](tVariant& v) { v.date = 45658.5; })), "01.01.2025 12:00:00");
  EXPECT_EQ(Log(Make(VTYPE_DATE, [](tVariant& v) { v.date = -1e20; })), "TYPE 6");
  EXPECT_EQ(Log(Make(VTYPE_TM,
                     [](tVariant& v) {
                       v.tmVal.tm_year = 124, v.tmVal.tm_mon = 1, v.tmVal.tm_mday = 29, v.tmVal.tm_hour = 8;
                     })),
            "29.02.2024 08:00:00");
  EXPECT_EQ(Log(Make(VTYPE_TM, [](tVariant& v) { v.tmVal.tm_mon = 13; })), "TYPE 7");

  tVariant text = Empty();
  SetWideStringValue(host, text, u"abc");
  EXPECT_EQ(Log(text), "\"abc\"");
  ClearValue(host, text);
}

TEST_F(ValuesTest, FingerprintsTellValuesApart) {
  EXPECT_EQ(ValueFingerprint(Make(VTYPE_UI2, [](tVariant& v) { v.ushortVal = 256; })), "15 256");
  EXPECT_EQ(ValueFingerprint(Make(VTYPE_EMPTY, [](tVariant&) {})), "0 ");
  EXPECT_EQ(ValueFingerprint(Make(VTYPE_UINT, [](tVariant& v) { v.uintVal = 4294967295u; })),
            "20 4294967295");
  EXPECT_EQ(ValueFingerprint(Make(VTYPE_BOOL, [](tVariant& v) { v.bVal = true; })), "11 True");
  EXPECT_EQ(ValueFingerprint(Make(VTYPE_DATE, [](tVariant& v) { v.date = 1.5; })), "6 1.5");
  EXPECT_EQ(ValueFingerprint(Make(VTYPE_TM, [](tVariant& v) { v.tmVal.tm_sec = 1, v.tmVal.tm_isdst = -1; })),
            "7 1_0_0_0_0_0_0_0_-1_");

  tVariant text = Empty();
  SetWideStringValue(host, text, u"AB");
  EXPECT_EQ(ValueFingerprint(text), "22 41004200");
  // A stated length past the terminating zero never reads beyond it.
  text.wstrLen = 1000000;
  EXPECT_EQ(ValueFingerprint(text), "22 41004200");
  ClearValue(host, text);
}

TEST(TextConversion, Utf8RoundTripAndBrokenInput) {
  const std::u16string mixed = u"Цена 12,50 € 𝄞";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(mixed)), mixed);
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD"); // overlong
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

} // namespace
