// The barcode scanner through its library and the test host, as the platform
// drives it: scans dropped into the spool arrive once from the DeviceID, with
// the settings' event names and data; nothing after Close or the object's
// end; two objects on one spool; a host queue that nobody empties.
#include "InputHost.h"
#include "TextCodec.h"

#include <cstdio>
#include <map>
#include <thread>

namespace {

using namespace inputtest;

class ScanAddIn : public InputTest {
protected:
  ScanAddIn() : InputTest("ScanSim_3001") {}
};

std::u16string U(std::string_view utf8) {
  return testhost::Utf8ToUtf16(std::string(utf8));
}

TEST_F(ScanAddIn, SpoolCodesArriveOnceFromTheLatestOpenDeviceUntilClose) {
  Device scanner(SCANSIM_FILE, u"Orvik_ScanSim_3001");
  const std::u16string first = scanner.Open();
  EXPECT_EQ(scanner.connection.Depth(), 10) << "the event buffer is raised at Open";
  const std::u16string second = scanner.Open();
  ASSERT_NE(first, second);

  Drop(spool, "001.txt", "  4601234567893 \r\n\r\n");
  std::vector<testhost::HostEvent> got = scanner.connection.TakeEvents(1, 5s);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, second);
  EXPECT_EQ(got[0].event, u"Штрихкод");
  EXPECT_EQ(got[0].data, u"4601234567893");
  EXPECT_TRUE(scanner.connection.TakeEvents(1, 300ms).empty()) << "a scan delivered twice";
  EXPECT_EQ(SpoolFiles(), 0u);

  ASSERT_TRUE(scanner.Close(second));
  Drop(spool, "002.txt", "2000000000015\n");
  got = scanner.connection.TakeEvents(1, 5s);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, first) << "the device still open is the source";

  ASSERT_TRUE(scanner.Close(first));
  Drop(spool, "003.txt", "after close\n");
  EXPECT_TRUE(scanner.connection.TakeEvents(1, 500ms).empty()) << "an event after Close";
  EXPECT_TRUE(fs::exists(spool / "003.txt"));

  const std::u16string log = LogText(component, logStart);
  EXPECT_NE(log.find(u"Из файла ввода 001.txt получено:   4601234567893"), std::u16string::npos);
  EXPECT_NE(log.find(u"Событие передано: " + second + u" | Штрихкод | 4601234567893"), std::u16string::npos);
  const std::string expected = testhost::Utf16ToUtf8(second + u"\tШтрихкод\t4601234567893\r\n" + first +
                                                     u"\tШтрихкод\t2000000000015\r\n");
  EXPECT_EQ(Record(expected), expected);
}

TEST_F(ScanAddIn, EventNameAndGroupSeparatorSettingsShapeTheEvent) {
  Device scanner(SCANSIM_FILE, u"Orvik_ScanSim_3001");
  EXPECT_FALSE(scanner.Set(u"EventName", u"Scan"));
  EXPECT_NE(scanner.LastError().find(u"EventName"), std::u16string::npos);
  EXPECT_FALSE(scanner.Set(u"GSSymbolKey", testhost::IntValue(0x110000)));
  EXPECT_FALSE(scanner.Set(u"GSSymbolKey", u"abc"));
  EXPECT_FALSE(scanner.Set(u"GSEvent", u"Hex"));
  EXPECT_TRUE(scanner.Set(u"Port", testhost::IntValue(3))) << "a real scanner's setting is taken and ignored";
  ASSERT_TRUE(scanner.Set(u"eventname", u"Barcode"));
  const std::u16string id = scanner.Open();

  // GS1 code with group separators: Base64 of its UTF-8 by default.
  const std::string gs1 = "0104601234567893215abc\x1D"
                          "93Zя";
  Drop(spool, "001.txt", gs1 + "\n");
  std::vector<testhost::HostEvent> got = scanner.connection.TakeEvents(1, 5s);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].event, u"BarcodeBase64");
  std::string decoded;
  ASSERT_TRUE(DecodeBase64(testhost::Utf16ToUtf8(got[0].data), decoded));
  EXPECT_EQ(decoded, gs1);

  ASSERT_TRUE(scanner.Set(u"GSEvent", u"Plain"));
  ASSERT_TRUE(scanner.Set(u"GSSymbolKey", testhost::IntValue('~')));
  ASSERT_TRUE(scanner.Set(u"EventName", u"Штрихкод"));
  Drop(spool, "002.txt", "0104601234567893~93Zя\n" + gs1 + "\n");
  got = scanner.connection.TakeEvents(2, 5s);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].event, u"Штрихкод");
  EXPECT_EQ(got[0].data, U("0104601234567893\x1D"
                           "93Zя"))
      << "the stand-in becomes GS";
  EXPECT_EQ(got[1].data, U(gs1)) << "a literal GS always counts";

  ASSERT_TRUE(scanner.Set(u"GSSymbolKey", u"-1"));
  Drop(spool, "003.txt", "a~b\n");
  got = scanner.connection.TakeEvents(1, 5s);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"a~b");
  EXPECT_TRUE(scanner.Close(id));
}

// Each line reaches exactly one object; each object's lines keep their order.
TEST_F(ScanAddIn, TwoObjectsOnOneSpoolDeliverEachLineOnce) {
  constexpr int kFiles = 40, kLines = 5;
  std::map<std::u16string, int> seen;
  {
    Device a(SCANSIM_FILE, u"Orvik_ScanSim_3001");
    Device b(SCANSIM_FILE, u"Orvik_ScanSim_3001");
    a.Open();
    b.Open();
    for (int f = 0; f < kFiles; ++f) {
      std::string text;
      for (int l = 0; l < kLines; ++l)
        text += std::to_string(f * 10 + l) + "\n";
      char name[16];
      std::snprintf(name, sizeof name, "%03d.txt", f);
      Drop(spool, name, text);
    }
    std::vector<testhost::HostEvent> fromA, fromB;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (fromA.size() + fromB.size() < size_t{kFiles * kLines} &&
           std::chrono::steady_clock::now() < deadline) {
      for (auto& e : a.connection.TakeEvents(1, 20ms))
        fromA.push_back(e);
      for (auto& e : b.connection.TakeEvents(1, 20ms))
        fromB.push_back(e);
    }
    for (const auto* list : {&fromA, &fromB}) {
      int last = -1;
      for (const testhost::HostEvent& e : *list) {
        ++seen[e.data];
        const int n = std::stoi(testhost::Utf16ToUtf8(e.data));
        EXPECT_GT(n, last) << "out of order";
        last = n;
      }
    }
    // The objects go while open: their spool stops with them.
  }
  EXPECT_EQ(seen.size(), size_t{kFiles * kLines});
  for (const auto& [data, count] : seen)
    EXPECT_EQ(count, 1) << Narrow(data);
  Drop(spool, "late.txt", "1\n");
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(fs::exists(spool / "late.txt")) << "a destroyed object still watches";
}

// The platform's queue holds one event and nobody takes it: the next is
// offered again for a while, then logged as lost; neither it nor its record
// line is reported as delivered.
TEST_F(ScanAddIn, AFullHostQueueIsRetriedThenTheLossIsLogged) {
  Device scanner(SCANSIM_FILE, u"Orvik_ScanSim_3001");
  const std::u16string id = scanner.Open();
  scanner.connection.SetDepth(1);
  Drop(spool, "001.txt", "first\nsecond\n");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (LogText(component, logStart).find(u"second потеряно") == std::u16string::npos &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(50ms);
  const std::u16string log = LogText(component, logStart);
  EXPECT_NE(log.find(u"Событие " + id + u" | Штрихкод | second потеряно"), std::u16string::npos);
  EXPECT_GT(scanner.connection.Refused(), 1u) << "offered again before it was given up";
  const std::vector<testhost::HostEvent> got = scanner.connection.TakeEvents();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"first");
  const std::string expected = testhost::Utf16ToUtf8(id + u"\tШтрихкод\tfirst\r\n");
  EXPECT_EQ(Record(expected), expected);
  EXPECT_TRUE(scanner.Close(id));
}

} // namespace
