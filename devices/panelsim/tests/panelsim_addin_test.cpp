// The real library through its exports, on every platform: a session as the
// host runs it, apart from the windows.
#include "PanelHost.h"

namespace {

using testhost::ValueList;

TEST(PanelAddIn, SessionThroughTheHostInterface) {
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  EXPECT_EQ(host.AddIn().ClassNames(), u"Orvik_PanelSim_3001");
  host.SetParameter(u"Show", testhost::BoolValue(false)); // no window wanted here
  const std::u16string id = host.Open();
  EXPECT_EQ(host.Output(id, u"Итого: 100,00\r\n" + std::u16string(300, u'ж')), 1);
  EXPECT_EQ(host.Output(u"PanelSim_3001#2", u"x"), 0);

  host.SetParameter(u"DeviceColumns", testhost::IntValue(1000));
  ValueList options(host.Memory());
  options.AddString(id);
  options.Add(testhost::EmptyValue());
  options.Add(testhost::EmptyValue());
  EXPECT_EQ(host.Call(u"ПолучитьПараметрыВывода", options), 1);
  EXPECT_EQ(testhost::DescribeValue(options[1]), "200");
  EXPECT_EQ(testhost::DescribeValue(options[2]), "2");

  ValueList settings(host.Memory());
  settings.Add(testhost::EmptyValue());
  EXPECT_EQ(host.Call(u"GetParameters", settings), 1);
  EXPECT_EQ(testhost::CheckHostText(host.Memory(), settings[0]), "");
  const std::u16string xml = testhost::TextOf(settings[0], &host.Memory());
  EXPECT_EQ(xml.substr(561, 30), u"ReadOnly=\"true\" DefaultValue=\"");
  EXPECT_TRUE(xml.ends_with(u"PanelSim_3001_emulator.log\"/></Settings>")) << testhost::Utf16ToUtf8(xml);

  EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ");
  EXPECT_EQ(host.Clear(id), 1);
  ValueList close(host.Memory());
  close.AddString(id);
  EXPECT_EQ(host.Call(u"Close", close), 1);
  EXPECT_EQ(host.Output(id, u"closed"), 0);
  EXPECT_TRUE(host.Connection().Errors().empty());

  options.Release();
  settings.Release();
  close.Release();
  host.Destroy();
  EXPECT_TRUE(host.Memory().Clean()) << host.Memory().Summary();
}

} // namespace
