// The customer display's logic without a window: row splitting, the running
// line, the cells that painting shows, the settings and the display methods.
#include "PanelSim.h"
#include "EmulatorFixture.h"
#include "TestEnv.h"
#include "TestHost.h"
#ifndef _WIN32
#include "FileSizeLimit_posix.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(PanelRows, SplittingReplacesOnlyRowsWithText) {
  TPanelRows rows;
  rows.Split(u"A\nB\nC", 2);
  EXPECT_EQ(rows.RowText[0], u"A");
  EXPECT_EQ(rows.RowText[1], u"B");
  EXPECT_EQ(rows.RowText[2], u""); // C lies beyond the last row
  rows.Split(u"X", 2);
  rows.Split(u"\nY", 2);
  EXPECT_EQ(rows.RowText[0], u"X");
  EXPECT_EQ(rows.RowText[1], u"Y");
  rows.Split(u"AB\r\nC\rD", 2);
  EXPECT_EQ(rows.RowText[1], u"CD");
  EXPECT_EQ(rows.RowLength[1], 2);
  rows.Split(u"\r\r\n", 2);
  EXPECT_EQ(rows.RowText[0], u"AB");

  // Never more than ten rows; a long row is kept whole and starts again at
  // its head, its dwell counter untouched; lengths count UTF-16 units.
  std::u16string text = std::u16string(5000, u'x') + u"\n\U0001F600z\n";
  for (char16_t c = u'c'; c < u'c' + 10; ++c)
    text += std::u16string(1, c) + u"\n";
  rows.RowOffset[0] = 7;
  rows.RowPause[0] = 3;
  rows.Split(text, 200);
  EXPECT_EQ(rows.RowLength[0], 5000);
  EXPECT_EQ(rows.RowOffset[0], 0);
  EXPECT_EQ(rows.RowPause[0], 3);
  EXPECT_EQ(rows.RowLength[1], 3);
  EXPECT_EQ(rows.CellCount(1, 20), 2); // painting counts the pair as one
  EXPECT_EQ(rows.RowText[9], u"j");
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
  EXPECT_EQ(offsets, (std::vector<int32_t>{1, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 0, 1}));
  EXPECT_EQ(std::count(moved.begin(), moved.end(), true), 7);
  EXPECT_EQ(rows.RowOffset[1], 0); // a row that fits never moves
}

TEST(PanelRows, CellsNeverReachPastTheText) {
  TPanelRows rows;
  rows.Split(u"ABCDEFGHIJKLMNOPQRSTUVWXY", 1);
  for (int tick = 0; tick < 5; ++tick)
    rows.Tick(20);
  // At the end of the run the last character stands in the last column.
  EXPECT_EQ(rows.CellUnit(0, 0), u'F');
  EXPECT_EQ(rows.CellUnit(0, 19), u'Y');

  // The display grows to 30 columns while the row stands scrolled: the cells
  // past the end of the text stay blank, and the next tick shows the row,
  // which fits now, from its start.
  ASSERT_EQ(rows.CellCount(0, 30), 25);
  for (int32_t cell = 20; cell < 30; ++cell)
    EXPECT_EQ(rows.CellUnit(0, cell), 0) << cell;
  EXPECT_TRUE(rows.Tick(30));
  EXPECT_EQ(rows.CellUnit(0, 0), u'A');

  EXPECT_EQ(rows.CellUnit(10, 0), 0);
  EXPECT_EQ(rows.CellUnit(0, -1), 0);
  rows.ClearText();
  EXPECT_EQ(rows.CellCount(0, 30), 0);
  EXPECT_EQ(rows.RowLength[0], 25); // lengths stay until the next output
}

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
  EXPECT_EQ(PanelSettingsXml(u"/a&b <\"c'>.log"),
            fixed + u"/a&amp;b &lt;&quot;c&apos;&gt;.log\"/></Settings>");
}

// The emulator object, called as the bridge calls it.
class PanelObject : public testenv::EmulatorFixture<TPanelSim_3001> {
protected:
  TPanelSim_3001& panel = object;
};

TEST_F(PanelObject, DisplayMethodsCheckTheDevice) {
  EXPECT_EQ(id, u"PanelSim_3001#1");
  EXPECT_EQ(panel.FindMethod(u"ВывестиСтрокуНаДисплейПокупателя"), 10);
  EXPECT_EQ(Call(u"StringOutputOnPanelSim", {Str(id), Str(u"A\nB")}), 1);

  EXPECT_EQ(Call(u"StringOutputOnPanelSim", {Str(u"PanelSim_3001#9"), Str(u"X")}), 0);
  EXPECT_EQ(LastError(), u"DeviceID PanelSim_3001#9не найдено!");
  EXPECT_EQ(Call(u"ClearPanelSim", {Str(u"nobody")}), 0);
  EXPECT_EQ(LastError(), u"DeviceID nobodyне найдено!");
  EXPECT_EQ(Call(u"GetOutputOptions", {testhost::IntValue(5)}, 3), 0); // not text: no DeviceID
  EXPECT_EQ(testhost::TypeOf((*params)[1]), VTYPE_EMPTY);
  EXPECT_EQ(Call(u"GetOutputOptions", {}), 0); // too few parameters
  EXPECT_EQ(panel.Lines.RowText[1], u"B");

  // Another letter case names the same device; a text of another type is
  // accepted and changes nothing.
  EXPECT_EQ(Call(u"ClearPanelSim", {Str(u"PANELSIM_3001#1")}), 1);
  EXPECT_EQ(panel.Lines.RowText[0], u"");
  panel.Lines.RowText[0] = u"kept";
  EXPECT_EQ(Call(u"StringOutputOnPanelSim", {Str(id), testhost::IntValue(42)}), 1);
  EXPECT_EQ(panel.Lines.RowText[0], u"kept");
  params.reset();
  EXPECT_TRUE(memory.Clean()) << memory.Summary();
}

TEST_F(PanelObject, OutputIsSplitOverItsStatedLength) {
  // An embedded U+0000 is one more character: the rows after it are kept.
  EXPECT_EQ(Call(u"StringOutputOnPanelSim", {Str(id), Str(std::u16string(u"A\0x\nB", 5))}), 1);
  EXPECT_EQ(panel.Lines.RowText[0], std::u16string(u"A\0x", 3));
  EXPECT_EQ(panel.Lines.RowLength[0], 3);
  EXPECT_EQ(panel.Lines.RowText[1], u"B");
}

TEST_F(PanelObject, SettingsAreClampedAndTakeEffectOnTheNextOutput) {
  const auto options = [&] {
    EXPECT_EQ(Call(u"GetOutputOptions", {Str(id)}, 3), 1);
    return std::vector<int32_t>{Int(1), Int(2)};
  };
  EXPECT_EQ(options(), (std::vector<int32_t>{20, 2}));
  Call(u"SetParameter", {Str(u"DeviceColumns"), testhost::IntValue(0)});
  Call(u"SetParameter", {Str(u"DEVICEROWS"), testhost::IntValue(11)});
  EXPECT_EQ(options(), (std::vector<int32_t>{1, 10}));
  Call(u"SetParameter", {Str(u"devicecolumns"), testhost::IntValue(500)});
  Call(u"SetParameter", {Str(u"DeviceRows"), testhost::IntValue(-7)});
  EXPECT_EQ(options(), (std::vector<int32_t>{200, 1}));
  Call(u"SetParameter", {Str(u"DeviceColumns"), Str(u"33")});
  // Other names, the log file among them, and a missing name are ignored.
  EXPECT_EQ(Call(u"SetParameter", {Str(u"LogFile"), Str(u"x")}), 1);
  EXPECT_EQ(Call(u"SetParameter", {}), 1);
  EXPECT_EQ(options(), (std::vector<int32_t>{33, 1}));

  Call(u"StringOutputOnPanelSim", {Str(id), Str(u"one\ntwo")});
  EXPECT_EQ(panel.Lines.RowText[1], u""); // one row only
  Call(u"SetParameter", {Str(u"Scroll"), testhost::BoolValue(false)});
  EXPECT_FALSE(panel.RunningLine);

  // The device test (no window on this platform) leaves its rows...
  EXPECT_EQ(Call(u"DeviceTest", {}, 2), 1);
  EXPECT_EQ(Text(0), u"Эмулятор дисплея покупателя " + panel.Version);
  EXPECT_EQ(panel.Lines.RowText[0], u"Тест устройства:");
  EXPECT_EQ(panel.Lines.RowLength[1], 109);
  // ...unless the display is not shown.
  panel.Lines.ClearText();
  Call(u"SetParameter", {Str(u"show"), testhost::BoolValue(false)});
  EXPECT_EQ(Call(u"DeviceTest", {}, 2), 1);
  EXPECT_EQ(panel.Lines.RowText[0], u"");

  EXPECT_EQ(Call(u"GetParameters", {}, 1), 1);
  EXPECT_EQ(Text(0), PanelSettingsXml(panel.LogFilePath)); // defaults, not the settings
}

#ifndef _WIN32
// A record that cannot be written (a file size limit): every method that
// shows rows fails with the reason; the rows and the record stay as they were
// and no temporary file is left.
TEST_F(PanelObject, ShowingRowsWhoseRecordCannotBeWrittenFails) {
  const std::filesystem::path record(testenv::LogFilePath(panel.RecordFileName()));
  EXPECT_EQ(Call(u"StringOutputOnPanelSim", {Str(id), Str(u"Старое")}), 1);
  const std::string before = testenv::ReadFileBytes(record);
  {
    testenv::TFileSizeLimit limit(3); // less than even the cleared rows' line ends
    ASSERT_TRUE(limit.Set());
    const std::u16string message = u"Не удалось записать строки дисплея в файл " + record.u16string() +
                                   u": файл превысил допустимый размер";
    EXPECT_EQ(Call(u"StringOutputOnPanelSim", {Str(id), Str(u"Новое")}), 0);
    EXPECT_EQ(LastError(), message);
    EXPECT_EQ(Call(u"ClearPanelSim", {Str(id)}), 0);
    EXPECT_EQ(LastError(), message);
    EXPECT_EQ(Call(u"DeviceTest", {}, 2), 0);
    EXPECT_EQ(LastError(), message);
  }
  EXPECT_EQ(panel.Lines.RowText[0], u"Старое");
  EXPECT_EQ(testenv::ReadFileBytes(record), before);
  for (const auto& entry : std::filesystem::directory_iterator(record.parent_path()))
    EXPECT_EQ(entry.path().native().find(".tmp"), std::string::npos) << entry.path();
  EXPECT_EQ(Call(u"ClearPanelSim", {Str(id)}), 1);
  EXPECT_EQ(testenv::ReadFileBytes(record), "\r\n\r\n");
}
#endif

} // namespace
