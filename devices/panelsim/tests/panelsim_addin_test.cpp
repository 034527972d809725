// The real library through its exports, on every platform: what the host sees
// of the customer display apart from its windows.
#include "PanelHost.h"

namespace {

using testhost::ValueList;

TEST(PanelAddIn, OffersTheDisplayClass) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  EXPECT_EQ(host.AddIn().ClassNames(), u"Orvik_PanelSim_3001");
}

TEST(PanelAddIn, SessionThroughTheHostInterface) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  EXPECT_EQ(id, u"PanelSim_3001#1");

  EXPECT_EQ(host.Output(id, u"Итого: 100,00\r\nСпасибо за покупку, приходите ещё!"), 1);
  EXPECT_EQ(host.Output(u"PanelSim_3001#2", u"x"), 0);
  ValueList error(host.Memory());
  error.Add(testhost::EmptyValue());
  host.Call(u"GetLastError", error);
  EXPECT_EQ(testhost::TextOf(error[0]), u"DeviceID PanelSim_3001#2не найдено!");

  EXPECT_EQ(host.SetParameter(u"DeviceColumns", testhost::IntValue(1000)), 1);
  EXPECT_EQ(host.SetParameter(u"DeviceRows", testhost::IntValue(0)), 1);
  ValueList options(host.Memory());
  options.AddString(id);
  options.Add(testhost::EmptyValue());
  options.Add(testhost::EmptyValue());
  // The Russian name reaches the same method.
  EXPECT_EQ(host.Call(u"ПолучитьПараметрыВывода", options), 1);
  EXPECT_EQ(testhost::DescribeValue(options[1]), "200");
  EXPECT_EQ(testhost::DescribeValue(options[2]), "1");

  EXPECT_EQ(host.Clear(id), 1);
  ValueList close(host.Memory());
  close.AddString(id);
  EXPECT_EQ(host.Call(u"Close", close), 1);
  EXPECT_EQ(host.Output(id, u"closed"), 0);
  EXPECT_TRUE(host.Connection().Errors().empty());
}

TEST(PanelAddIn, SettingsDocument) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  ValueList params(host.Memory());
  params.Add(testhost::EmptyValue());
  EXPECT_EQ(host.Call(u"GetParameters", params), 1);
  EXPECT_EQ(testhost::CheckHostText(host.Memory(), params[0]), "");
  const std::u16string xml = testhost::TextOf(params[0], &host.Memory());
  ASSERT_GT(xml.size(), 591u);
  EXPECT_EQ(xml.substr(0, 40), u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  EXPECT_EQ(xml.substr(561, 30), u"ReadOnly=\"true\" DefaultValue=\"");
  EXPECT_TRUE(xml.ends_with(u"PanelSim_3001_emulator.log\"/></Settings>")) << testhost::Utf16ToUtf8(xml);
}

TEST(PanelAddIn, HostMemoryStaysClean) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  host.SetParameter(u"Show", testhost::BoolValue(false)); // no windows here
  for (int i = 0; i < 5; ++i) {
    host.Output(id, std::u16string(300, u'ж') + u"\n" + std::u16string(10, u'1'));
    EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ");
  }
  host.Destroy();
  EXPECT_TRUE(host.Memory().Faults().empty());
  EXPECT_EQ(host.Memory().LiveBlocks(), 0u) << host.Memory().Summary();
}

} // namespace
