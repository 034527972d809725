// The magnetic card reader through its library and the test host: a card
// dropped into the spool arrives once from the DeviceID, framed by the prefix
// and suffix set before Open; a line that is no card is logged and skipped;
// nothing after Close.
#include "InputHost.h"

namespace {

using namespace inputtest;

class MsrAddIn : public InputTest {
protected:
  MsrAddIn() : InputTest("MsrSim_3001") {}
};

TEST_F(MsrAddIn, ACardArrivesFramedByThePrefixAndSuffixSetBeforeOpen) {
  Device reader(MSRSIM_FILE, u"Orvik_MsrSim_3001");
  EXPECT_FALSE(reader.Set(u"Prefix", testhost::IntValue(-2)));
  EXPECT_NE(reader.LastError().find(u"Prefix"), std::u16string::npos);
  EXPECT_FALSE(reader.Set(u"Suffix", testhost::IntValue(0xD800)));
  EXPECT_FALSE(reader.Set(u"EventName", u"ДанныеКартыBase64")) << "the library fails on the Base64 events";
  ASSERT_TRUE(reader.Set(u"Prefix", testhost::IntValue(37)));
  ASSERT_TRUE(reader.Set(u"SUFFIX", u"63"));
  const std::u16string id = reader.Open();

  Drop(spool, "001.txt",
       "B4111111111111111^IVANOV/I^2512\t4111111111111111=2512\n"
       "1\t2\t3\t4\n"
       "\t\t3\n");
  const std::vector<testhost::HostEvent> got = reader.connection.TakeEvents(2, 5s);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].source, id);
  EXPECT_EQ(got[0].event, u"ДанныеКарты");
  EXPECT_EQ(got[0].data, u"%B4111111111111111^IVANOV/I^2512?4111111111111111=2512?");
  EXPECT_EQ(got[1].data, u"%3?");
  EXPECT_TRUE(reader.connection.TakeEvents(1, 300ms).empty());
  EXPECT_NE(LogText(component, logStart).find(u"Ввод не передан: Больше трёх дорожек"), std::u16string::npos);

  ASSERT_TRUE(reader.Close(id));
  Drop(spool, "002.txt", "late\n");
  EXPECT_TRUE(reader.connection.TakeEvents(1, 500ms).empty()) << "an event after Close";
  EXPECT_TRUE(fs::exists(spool / "002.txt"));
}

TEST_F(MsrAddIn, TheEnglishEventNameAndTheDefaultSuffix) {
  Device reader(MSRSIM_FILE, u"Orvik_MsrSim_3001");
  ASSERT_TRUE(reader.Set(u"EventName", u"TracksData"));
  const std::u16string id = reader.Open();
  Drop(spool, "001.txt", "\t;1234=5678?\n");
  const std::vector<testhost::HostEvent> got = reader.connection.TakeEvents(1, 5s);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].event, u"TracksData");
  EXPECT_EQ(got[0].data, u";1234=5678?\r");
  const std::string expected = testhost::Utf16ToUtf8(id + u"\tTracksData\t;1234=5678?\\x0D\r\n");
  EXPECT_EQ(Record(expected), expected);
  reader.Destroy(); // without Close: the spool stops with the object
  Drop(spool, "002.txt", "late\n");
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(fs::exists(spool / "002.txt"));
}

} // namespace
