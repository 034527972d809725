// The barcode scanner's logic in-process: what a scan becomes, the recent
// inputs, and the input window's handler played as a person would, without a
// window.
#include "ScanSim.h"
#include "TestHost.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace {

using namespace std::chrono_literals;

TEST(ScanEvent, TrimsBlanksAndTurnsGroupSeparatorsIntoTheChosenForm) {
  TScanSettings settings;
  TInputEvent event;
  EXPECT_EQ(ScanEvent(u" \t4601234567893\u00A0 ", settings, event), u"");
  EXPECT_EQ(event.Name, u"Штрихкод");
  EXPECT_EQ(event.Data, u"4601234567893");
  EXPECT_NE(ScanEvent(u"  \t ", settings, event), u"") << "nothing left is no scan";

  // A GS at the end is part of the code, not a blank.
  const std::u16string gs1 = u"0104601234567893\u001D93ЯЯ\u001D";
  ASSERT_EQ(ScanEvent(gs1, settings, event), u"");
  EXPECT_EQ(event.Name, u"ШтрихкодBase64");
  std::string bytes;
  ASSERT_TRUE(DecodeBase64(Utf16ToUtf8(event.Data), bytes));
  EXPECT_EQ(Utf8ToUtf16(bytes), gs1);

  settings.EnglishName = true;
  settings.GsAsBase64 = false;
  ASSERT_EQ(ScanEvent(gs1, settings, event), u"");
  EXPECT_EQ(event.Name, u"Barcode");
  EXPECT_EQ(event.Data, gs1);

  // A stand-in outside the BMP (a surrogate pair) is replaced whole.
  settings.GsSymbol = 0x1F600;
  ASSERT_EQ(ScanEvent(u"01\U0001F60093\U0001F600", settings, event), u"");
  EXPECT_EQ(event.Data, u"01\u001D93\u001D");
}

TEST(EncodeBase64, RoundTripsEveryTailLength) {
  for (const std::string bytes : {"", "a", "ab", "abc", "abcd", "\xFF\x00\x1D"}) {
    std::string back;
    ASSERT_TRUE(DecodeBase64(Utf16ToUtf8(EncodeBase64(bytes)), back));
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(EncodeBase64(bytes).size() % 4, 0u);
  }
  EXPECT_EQ(EncodeBase64("\x1D"), u"HQ==");
}

TEST(RecentInputs, KeepsFiveDistinctNewestFirst) {
  TRecentInputs recent;
  for (const char16_t* code : {u"1", u"2", u"3", u"2", u"4", u"5", u"6"})
    recent.Add(code);
  EXPECT_EQ(std::vector<std::u16string>(recent.Items().begin(), recent.Items().end()),
            (std::vector<std::u16string>{u"6", u"5", u"4", u"2", u"3"}));
}

// The window's handler: a submitted code goes like a spool line and becomes
// the first recent one; a blank one and one after Close are refused with a
// reason; a recent button sends its code again.
TEST(ScanWindow, TheHandlerSendsLikeASpoolLineAndKeepsTheRecentCodes) {
  testhost::FreshDataFolder();
  testhost::CountingMemory memory;
  testhost::RecordingConnection connection;
  auto object = std::make_unique<TScanSim_3001>();
  object->AfterConstruction();
  object->MemManager = static_cast<decltype(object->MemManager)>(memory.HostPointer());
  object->Connection = static_cast<decltype(object->Connection)>(connection.HostPointer());
  object->ShowOnScreen = false;
  const auto call = [&](std::u16string_view method, testhost::ValueList& params) {
    tVariant result = testhost::EmptyValue();
    object->CallMethod(std::u16string(method), object->FindMethod(method), result, params.Data(),
                       params.Count());
    return testhost::TypeOf(result) == VTYPE_BOOL && result.bVal;
  };
  testhost::ValueList open(memory);
  open.Add(testhost::EmptyValue());
  ASSERT_TRUE(call(u"Open", open));
  const std::u16string id = testhost::TextOf(open[0]);

  ui::IInputHandler& handler = object->WindowHandler();
  const std::u16string typed[] = {u" 4601234567893 "};
  EXPECT_EQ(handler.Submit(typed), u"");
  const std::u16string blank[] = {u"   "};
  EXPECT_NE(handler.Submit(blank), u"");
  const std::u16string other[] = {u"2000000000015"};
  EXPECT_EQ(handler.Submit(other), u"");
  EXPECT_EQ(object->RecentInputs(), (std::vector<std::u16string>{u"2000000000015", u" 4601234567893 "}));
  handler.Command(112); // the second recent button
  EXPECT_EQ(object->RecentInputs().front(), u" 4601234567893 ");
  handler.Command(115); // an empty button does nothing

  const std::vector<testhost::HostEvent> got = connection.TakeEvents(3, 5s);
  ASSERT_EQ(got.size(), 3u);
  for (const testhost::HostEvent& e : got)
    EXPECT_EQ(e.source, id);
  EXPECT_EQ(got[0].data, u"4601234567893");
  EXPECT_EQ(got[1].data, u"2000000000015");
  EXPECT_EQ(got[2].data, u"4601234567893");

  testhost::ValueList close(memory);
  close.AddString(id);
  ASSERT_TRUE(call(u"Close", close));
  EXPECT_NE(handler.Submit(other), u"") << "a closed device sends nothing";
  EXPECT_TRUE(connection.TakeEvents(1, 200ms).empty());
  object.reset();
  open.Release();
  close.Release();
  EXPECT_TRUE(memory.Clean()) << memory.Summary();
}

} // namespace
