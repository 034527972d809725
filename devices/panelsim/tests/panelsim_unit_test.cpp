// The customer display's logic without a window: row splitting, the running
// line, the cells that painting shows, the settings and the display methods.
#include "PanelSim.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testhost::CountingMemory;
using testhost::ValueList;

// ---------------------------------------------------------------------------
// Rows

TEST(PanelRows, SplittingReplacesOnlyRowsWithText) {
  TPanelRows rows;
  rows.Split(u"A\nB\nC", 2);
  EXPECT_EQ(rows.RowText[0], u"A");
  EXPECT_EQ(rows.RowText[1], u"B");
  EXPECT_EQ(rows.RowText[2], u""); // C is beyond the last row

  rows.Split(u"X", 2);
  EXPECT_EQ(rows.RowText[0], u"X");
  EXPECT_EQ(rows.RowText[1], u"B");
  rows.Split(u"\nY", 2);
  EXPECT_EQ(rows.RowText[0], u"X");
  EXPECT_EQ(rows.RowText[1], u"Y");

  rows.Split(u"AB\r\nCD", 2);
  EXPECT_EQ(rows.RowText[0], u"AB");
  EXPECT_EQ(rows.RowText[1], u"CD");
  EXPECT_EQ(rows.RowLength[0], 2);
  rows.Split(u"\r\r\r", 2);
  rows.Split(u"", 2);
  EXPECT_EQ(rows.RowText[0], u"AB");
  EXPECT_EQ(rows.RowText[1], u"CD");

  // Carriage returns inside a line vanish without splitting it.
  rows.Split(u"E\rF", 1);
  EXPECT_EQ(rows.RowText[0], u"EF");
  EXPECT_EQ(rows.RowLength[0], 2);
}

TEST(PanelRows, SplittingKeepsTenRowsAtMost) {
  TPanelRows rows;
  std::u16string text;
  for (char16_t c = u'a'; c < u'a' + 12; ++c)
    text += std::u16string(1, c) + u"\n";
  rows.Split(text, 200); // more than ten rows asked for
  EXPECT_EQ(rows.RowText[9], u"j");
  rows.Split(text, 0);
  EXPECT_EQ(rows.RowText[0], u"a");
}

TEST(PanelRows, SplittingStoresLongRowsWholeAndRestartsThem) {
  TPanelRows rows;
  const std::u16string longRow(5000, u'x');
  rows.RowOffset[0] = 7;
  rows.RowPause[0] = 3;
  rows.Split(longRow + u"\n" + u"\U0001F600z", 2);
  EXPECT_EQ(rows.RowText[0], longRow);
  EXPECT_EQ(rows.RowLength[0], 5000);
  EXPECT_EQ(rows.RowOffset[0], 0);
  EXPECT_EQ(rows.RowPause[0], 3);  // the dwell counter is left alone
  EXPECT_EQ(rows.RowLength[1], 3); // UTF-16 units: a surrogate pair counts twice
  EXPECT_EQ(CharacterCount(rows.RowText[1]), 2);
  EXPECT_EQ(rows.CellCount(1, 20), 2);
}

TEST(PanelRows, RunningLineMovesDwellsAndRestarts) {
  TPanelRows rows;
  rows.Split(u"ABCDEFGHIJKLMNOPQRSTUVWXY\nshort", 2); // 25 characters, 20 columns
  std::vector<int32_t> offsets;
  std::vector<bool> moved;
  for (int tick = 1; tick <= 17; ++tick) {
    moved.push_back(rows.Tick(20));
    offsets.push_back(rows.RowOffset[0]);
  }
  const std::vector<int32_t> expected{1, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 0, 1};
  EXPECT_EQ(offsets, expected);
  const std::vector<bool> expectedMoves{true,  true,  true,  true,  true,  false, false, false, false,
                                        false, false, false, false, false, false, true,  true};
  EXPECT_EQ(moved, expectedMoves);
  EXPECT_EQ(rows.RowOffset[1], 0); // a row that fits never moves

  // The last character stands in the last column at the end of the run.
  rows.RowOffset[0] = 5;
  EXPECT_EQ(rows.CellUnit(0, 19), u'Y');
  EXPECT_EQ(rows.CellUnit(0, 0), u'F');
}

TEST(PanelRows, CellsNeverReachPastTheText) {
  TPanelRows rows;
  rows.Split(u"ABCDEFGHIJKLMNOPQRSTUVWXY", 1);
  for (int tick = 0; tick < 5; ++tick)
    rows.Tick(20);
  ASSERT_EQ(rows.RowOffset[0], 5);

  // The display grows to 30 columns while the row stands scrolled: the cells
  // past the end of the text stay blank.
  ASSERT_EQ(rows.CellCount(0, 30), 25);
  EXPECT_EQ(rows.CellUnit(0, 0), u'F');
  EXPECT_EQ(rows.CellUnit(0, 19), u'Y');
  for (int32_t cell = 20; cell < 30; ++cell)
    EXPECT_EQ(rows.CellUnit(0, cell), 0) << cell;
  // The next tick shows the row, which now fits, from its start.
  EXPECT_TRUE(rows.Tick(30));
  EXPECT_EQ(rows.RowOffset[0], 0);
  EXPECT_EQ(rows.CellUnit(0, 0), u'A');

  // Out-of-range rows and cells, and a cleared row, show nothing.
  EXPECT_EQ(rows.CellUnit(-1, 0), 0);
  EXPECT_EQ(rows.CellUnit(10, 0), 0);
  EXPECT_EQ(rows.CellUnit(0, -1), 0);
  EXPECT_EQ(rows.CellCount(0, 0), 0);
  rows.ClearText();
  EXPECT_EQ(rows.CellCount(0, 30), 0);
  EXPECT_EQ(rows.CellUnit(0, 0), 0);
  EXPECT_EQ(rows.RowLength[0], 25); // lengths stay until the next output
}

TEST(PanelRows, DeviceTestRows) {
  TPanelRows rows;
  rows.Split(u"a\nb\nc", 3);
  rows.RowPause[1] = 4;
  rows.SetTestText();
  EXPECT_EQ(rows.RowText[0], u"Тест устройства:");
  EXPECT_EQ(rows.RowLength[0], 16);
  EXPECT_EQ(rows.RowLength[1], 109);
  EXPECT_EQ(rows.RowText[1].substr(0, 12), u"0000000000 1");
  EXPECT_EQ(rows.RowText[1].substr(99), u"9999999999");
  EXPECT_EQ(rows.RowText[2], u"");
  EXPECT_EQ(rows.RowLength[2], 0);
  EXPECT_EQ(rows.RowPause[1], 4);
  EXPECT_EQ(rows.CellCount(0, 20), 16); // the title fits whole in 20 columns
}

// ---------------------------------------------------------------------------
// Settings document

TEST(PanelSettings, DocumentIsExact) {
  const std::u16string fixed =
      u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Settings><Page Caption=\"Параметры\">"
      u"     <Parameter Name=\"DeviceColumns\" Caption=\"Столбцов на дисплее\" TypeValue=\"Number\" "
      u"DefaultValue=\"20\"/>"
      u"     <Parameter Name=\"DeviceRows\" Caption=\"Строк на дисплее\" TypeValue=\"Number\" "
      u"DefaultValue=\"2\"/>"
      u"     <Parameter Name=\"Show\" Caption=\"Показывать на экране\" TypeValue=\"Boolean\" "
      u"DefaultValue=\"true\"/>"
      u"     <Parameter Name=\"Scroll\" Caption=\"Использовать бегущую строку\" TypeValue=\"Boolean\" "
      u"DefaultValue=\"true\"/>"
      u"</Page><Parameter Name=\"LogFile\" Caption=\"Файл логов\" TypeValue=\"String\" ReadOnly=\"true\" "
      u"DefaultValue=\"";
  ASSERT_EQ(fixed.size(), 591u);
  EXPECT_EQ(PanelSettingsXml(u""), fixed + u"\"/></Settings>");
  EXPECT_EQ(PanelSettingsXml(u"/tmp/a&b <\"c'>/Log.log"),
            fixed + u"/tmp/a&amp;b &lt;&quot;c&apos;&gt;/Log.log\"/></Settings>");
}

// ---------------------------------------------------------------------------
// The emulator object, called as the bridge calls it

class PanelObject : public ::testing::Test {
protected:
  void SetUp() override {
    panel.AfterConstruction();
    panel.MemManager = static_cast<v8abi::MemoryManager*>(memory.HostPointer());
  }

  // Calls a method by its English name; the result's boolean (or -1 when the
  // result is not a boolean).
  int Call(std::u16string_view method, ValueList& params) {
    const long index = panel.FindMethod(method);
    EXPECT_GE(index, 0) << testhost::Utf16ToUtf8(method);
    tVariant result = testhost::EmptyValue();
    panel.CallMethod(std::u16string(method), index, result, params.Data(), params.Count());
    const int outcome = testhost::TypeOf(result) == VTYPE_BOOL ? (result.bVal ? 1 : 0) : -1;
    testhost::ReleaseValue(memory, result);
    return outcome;
  }

  std::u16string OpenDevice() {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    EXPECT_EQ(Call(u"Open", params), 1);
    return testhost::TextOf(params[0]);
  }

  int Output(const std::u16string& id, const tVariant& text) {
    ValueList params(memory);
    params.AddString(id);
    params.Add(text);
    return Call(u"StringOutputOnPanelSim", params);
  }

  int SetParameter(std::u16string_view name, const tVariant& value) {
    ValueList params(memory);
    params.AddString(name);
    params.Add(value);
    return Call(u"SetParameter", params);
  }

  std::u16string LastError() {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    Call(u"GetLastError", params);
    return testhost::TextOf(params[0]);
  }

  CountingMemory memory;
  TPanelSim_3001 panel;
};

TEST_F(PanelObject, IdentityAndMethods) {
  EXPECT_EQ(panel.ComponentName, "PanelSim_3001");
  EXPECT_EQ(panel.InterfaceRevision, 3001);
  EXPECT_EQ(panel.EquipmentName, u"Эмулятор дисплея покупателя");
  EXPECT_EQ(panel.EquipmentType, u"ДисплейПокупателя");
  ASSERT_EQ(panel.MethNames.size(), 13u);
  EXPECT_EQ(panel.MethNames[10], u"StringOutputOnPanelSim");
  EXPECT_EQ(panel.FindMethod(u"ВывестиСтрокуНаДисплейПокупателя"), 10);
  EXPECT_EQ(panel.FindMethod(u"ОчиститьДисплейПокупателя"), 11);
  EXPECT_EQ(panel.FindMethod(u"ПолучитьПараметрыВывода"), 12);
  EXPECT_EQ(panel.MethParamCounts[12], 3);

  TPanelSim_2001 older;
  older.AfterConstruction();
  EXPECT_EQ(older.InterfaceRevision, 2001);
  EXPECT_EQ(older.MethNames[0], u"GetVersion");
  EXPECT_EQ(older.MethNames.size(), 13u);
}

TEST_F(PanelObject, DeviceCheckGuardsTheDisplayMethods) {
  const std::u16string id = OpenDevice();
  EXPECT_EQ(id, u"PanelSim_3001#1");
  EXPECT_EQ(Output(id, testhost::StringValue(memory, u"A\nB")), 1);

  EXPECT_EQ(Output(u"PanelSim_3001#9", testhost::StringValue(memory, u"X")), 0);
  EXPECT_EQ(LastError(), u"DeviceID PanelSim_3001#9не найдено!");
  ValueList clear(memory);
  clear.AddString(u"nobody");
  EXPECT_EQ(Call(u"ClearPanelSim", clear), 0);
  EXPECT_EQ(LastError(), u"DeviceID nobodyне найдено!");
  ValueList options(memory);
  options.Add(testhost::IntValue(5)); // not text: an empty DeviceID
  options.Add(testhost::EmptyValue());
  options.Add(testhost::EmptyValue());
  EXPECT_EQ(Call(u"GetOutputOptions", options), 0);
  EXPECT_EQ(testhost::TypeOf(options[1]), VTYPE_EMPTY);
  EXPECT_EQ(LastError(), u"DeviceID не найдено!");
  EXPECT_EQ(panel.Lines.RowText[0], u"A");
  EXPECT_EQ(panel.Lines.RowText[1], u"B");

  // The DeviceID in other letter case is the same device.
  ValueList otherCase(memory);
  otherCase.AddString(u"PANELSIM_3001#1");
  EXPECT_EQ(Call(u"ClearPanelSim", otherCase), 1);
  EXPECT_EQ(panel.Lines.RowText[0], u"");
  EXPECT_EQ(panel.Lines.RowLength[0], 1);

  // A text of another type is accepted and changes nothing.
  panel.Lines.RowText[0] = u"kept";
  EXPECT_EQ(Output(id, testhost::IntValue(42)), 1);
  EXPECT_EQ(Output(id, testhost::EmptyValue()), 1);
  EXPECT_EQ(panel.Lines.RowText[0], u"kept");

  // Too few parameters: no device, nothing read or written out of bounds.
  ValueList none(memory);
  EXPECT_EQ(Call(u"GetOutputOptions", none), 0);
  EXPECT_TRUE(memory.Faults().empty());
}

TEST_F(PanelObject, SettingsAreClampedAndTakeEffect) {
  const std::u16string id = OpenDevice();
  const auto options = [&](int32_t& columns, int32_t& rows) {
    ValueList params(memory);
    params.AddString(id);
    params.Add(testhost::EmptyValue());
    params.Add(testhost::EmptyValue());
    EXPECT_EQ(Call(u"GetOutputOptions", params), 1);
    EXPECT_EQ(testhost::TypeOf(params[1]), VTYPE_I4);
    columns = params[1].lVal;
    rows = params[2].lVal;
  };
  int32_t columns = 0;
  int32_t rows = 0;
  options(columns, rows);
  EXPECT_EQ(columns, 20);
  EXPECT_EQ(rows, 2);

  EXPECT_EQ(SetParameter(u"DeviceColumns", testhost::IntValue(0)), 1);
  options(columns, rows);
  EXPECT_EQ(columns, 1);
  SetParameter(u"DeviceColumns", testhost::IntValue(500));
  SetParameter(u"DEVICEROWS", testhost::IntValue(11));
  options(columns, rows);
  EXPECT_EQ(columns, 200);
  EXPECT_EQ(rows, 10);
  SetParameter(u"devicerows", testhost::IntValue(-7));
  options(columns, rows);
  EXPECT_EQ(rows, 1);
  SetParameter(u"DeviceColumns", testhost::StringValue(memory, u"33"));
  SetParameter(u"DeviceRows", testhost::DoubleValue(3.0));
  options(columns, rows);
  EXPECT_EQ(columns, 33);
  EXPECT_EQ(rows, 3);

  // Unknown names, the log file and a missing name are ignored, with true.
  EXPECT_EQ(SetParameter(u"LogFile", testhost::StringValue(memory, u"x")), 1);
  EXPECT_EQ(SetParameter(u"Columns", testhost::IntValue(1)), 1);
  ValueList none(memory);
  EXPECT_EQ(Call(u"SetParameter", none), 1);
  options(columns, rows);
  EXPECT_EQ(columns, 33);

  SetParameter(u"Show", testhost::BoolValue(false));
  SetParameter(u"scroll", testhost::BoolValue(false));
  EXPECT_FALSE(panel.ShowOnScreen);
  EXPECT_FALSE(panel.RunningLine);
  SetParameter(u"SHOW", testhost::IntValue(1));
  EXPECT_TRUE(panel.ShowOnScreen);

  // Rows follow the setting on the next output.
  SetParameter(u"DeviceRows", testhost::IntValue(1));
  Output(id, testhost::StringValue(memory, u"one\ntwo"));
  EXPECT_EQ(panel.Lines.RowText[0], u"one");
  EXPECT_EQ(panel.Lines.RowText[1], u"");
}

TEST_F(PanelObject, ParametersDocumentAndDeviceTest) {
  ValueList params(memory);
  params.Add(testhost::EmptyValue());
  EXPECT_EQ(Call(u"GetParameters", params), 1);
  EXPECT_EQ(testhost::TextOf(params[0]), PanelSettingsXml(panel.LogFilePath));

  ValueList test(memory);
  test.Add(testhost::EmptyValue());
  test.Add(testhost::EmptyValue());
  EXPECT_EQ(Call(u"DeviceTest", test), 1);
  EXPECT_EQ(testhost::TextOf(test[0]), u"Эмулятор дисплея покупателя " + panel.Version);
  EXPECT_EQ(testhost::TextOf(test[1]), u"");
  EXPECT_EQ(panel.Lines.RowText[0], u"Тест устройства:");
  EXPECT_EQ(panel.Lines.RowLength[1], 109);

  // Not shown on screen: the core's answer alone, the rows untouched.
  panel.Lines.ClearText();
  SetParameter(u"Show", testhost::BoolValue(false));
  ValueList hidden(memory);
  hidden.Add(testhost::EmptyValue());
  hidden.Add(testhost::EmptyValue());
  EXPECT_EQ(Call(u"DeviceTest", hidden), 1);
  EXPECT_EQ(testhost::TextOf(hidden[0]), u"Эмулятор дисплея покупателя " + panel.Version);
  EXPECT_EQ(panel.Lines.RowText[0], u"");
}

TEST_F(PanelObject, HostStringsAreTheHosts) {
  const std::u16string id = OpenDevice();
  for (int i = 0; i < 3; ++i)
    Output(id, testhost::StringValue(memory, u"text\nmore text than twenty columns"));
  ValueList params(memory);
  params.Add(testhost::EmptyValue());
  Call(u"GetParameters", params);
  params.Release();
  EXPECT_TRUE(memory.Faults().empty());
  EXPECT_EQ(memory.LiveBlocks(), 0u) << memory.Summary();
}

} // namespace
