// The real library through its exports, on every platform: a session as the
// host runs it, apart from the windows.
#include "PanelHost.h"
#include "TestEnv.h"

#include <filesystem>
#include <fstream>
#include <sstream>

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

// Unattended: the device test ends at once with the core's description
// whatever the automatic answer; an unknown word fails it. The readable record
// of the rows follows every output, the device test's included.
TEST(PanelAddIn, UnattendedDeviceTestAndTheDisplayRecord) {
  const std::filesystem::path folder(testhost::Utf8ToUtf16(testhost::FreshDataFolder()));
  const auto record = [&] { return testenv::ReadFileBytes(folder / "PanelSim_3001_display.txt"); };
  std::error_code ignored;
  std::filesystem::remove(folder / "operator.txt", ignored);
  PanelHost host;
  ASSERT_TRUE(host.Ready());
  const std::u16string id = host.Open();
  EXPECT_EQ(host.Output(id, u"Итого: 100,00\r\nСпасибо!"), 1);
  EXPECT_EQ(record(), "Итого: 100,00\r\nСпасибо!\r\n");
  for (const char* answer : {"approve", "refuse"}) {
    testhost::SetEnvironment("ORVIK_OPERATOR", answer);
    EXPECT_EQ(host.DeviceTest().substr(0, 28), u"Эмулятор дисплея покупателя ") << answer;
    EXPECT_EQ(record(),
              "Тест устройства:\r\n0000000000 1111111111 2222222222 3333333333 4444444444 5555555555 "
              "6666666666 7777777777 8888888888 9999999999\r\n");
  }
  testhost::SetEnvironment("ORVIK_OPERATOR", "later");
  testhost::ValueList params(host.Memory());
  params.Add(testhost::EmptyValue());
  params.Add(testhost::EmptyValue());
  EXPECT_EQ(host.Call(u"DeviceTest", params), 0);
  testhost::ValueList error(host.Memory());
  error.Add(testhost::EmptyValue());
  host.Call(u"GetLastError", error);
  EXPECT_EQ(testhost::TextOf(error[0], &host.Memory()),
            u"Неизвестный ответ оператора \"later\" в переменной окружения ORVIK_OPERATOR: ожидается dialog, "
            u"approve или refuse");
  testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
  host.SetParameter(u"Show", testhost::BoolValue(false));
  EXPECT_EQ(host.Clear(id), 1);
  EXPECT_EQ(record(), "\r\n\r\n");
  params.Release();
  error.Release();
  host.Destroy();
}

} // namespace
