// The customer display emulator: the emulator object with its settings and
// the three display methods, the rows with their running line, and the
// display window with the device test's window (Display.cpp).
#pragma once

#include "DeviceSet.h"
#include "StateLock.h"
#include "Window.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Fixed values of the display.
inline constexpr int kPanelRowSlots = 10; // rows kept, whatever Rows says
inline constexpr int32_t kPanelMaxColumns = 200;
inline constexpr int32_t kPanelMaxRows = 10;
inline constexpr int32_t kPanelDefaultColumns = 20;
inline constexpr int32_t kPanelDefaultRows = 2;
inline constexpr int32_t kPanelDwellTicks = 10; // ticks a running line rests at its end
inline constexpr int kPanelCellWidth = 12;      // pixels
inline constexpr int kPanelRowPitch = 30;       // pixels
inline constexpr unsigned kPanelTimerId = 12110;
inline constexpr int kPanelTimerPeriodMs = 400;
inline constexpr int kPanelWindowX = 50;
inline constexpr int kPanelWindowY = 50;

inline constexpr char16_t kPanelEquipmentName[] = u"Эмулятор дисплея покупателя";
inline constexpr char16_t kPanelEquipmentType[] = u"ДисплейПокупателя";
inline constexpr char16_t kPanelWindowTitle[] = u"Дисплей покупателя";
inline constexpr char16_t kPanelTestLine1[] = u"Тест устройства:";
inline constexpr char16_t kPanelTestLine2[] =
    u"0000000000 1111111111 2222222222 3333333333 4444444444 5555555555 6666666666 7777777777 8888888888 "
    u"9999999999";

// The rows of the display, index 0 being row 1. Plain data and logic: no window.
struct TPanelRows {
  std::array<std::u16string, kPanelRowSlots> RowText;
  // 0-based index of the first UTF-16 unit shown.
  std::array<int32_t, kPanelRowSlots> RowOffset{};
  // Length of the row as the running line counts it.
  std::array<int32_t, kPanelRowSlots> RowLength{};
  // Dwell counter of the running line.
  std::array<int32_t, kPanelRowSlots> RowPause{};

  // Splits output text (UTF-16 units, line feeds between rows, carriage
  // returns ignored) into rows 1..rows. A row is replaced only by a non-empty
  // segment; text after the last permitted row is dropped.
  void Split(std::u16string_view text, int32_t rows);
  // Empties the text of every row; offsets, lengths and pauses stay.
  void ClearText();
  // The device test's rows: the title and the digit pattern, offsets 0.
  void SetTestText();
  // One tick of the running line; true when any row moved.
  bool Tick(int32_t columns);
  // Number of cells painted in a row: its length in characters (a surrogate
  // pair counting as one), cut to columns.
  int32_t CellCount(int row, int32_t columns) const;
  // The UTF-16 unit that cell (0-based) of a row shows, or 0 when the cell
  // lies past the end of the text and stays blank.
  char16_t CellUnit(int row, int32_t cell) const;
};

// Number of characters of a text, a surrogate pair counting as one.
int32_t CharacterCount(std::u16string_view text);

// The customer display's own Settings document.
std::u16string PanelSettingsXml(std::u16string_view logFilePath);

// Process-wide background colour of the display (0xRRGGBB).
extern uint32_t BackgroundColour;

class TPanelSim_2001;

// Paints the rows of a display into a window: the display window or the
// device test's.
class TRowsPainter final : public ui::IPainter {
public:
  TRowsPainter(TPanelSim_2001& panel, bool isTest) : Panel_(panel), IsTest_(isTest) {}
  void Paint(ui::ICanvas& canvas) override;
  bool Tick() override;

private:
  TPanelSim_2001& Panel_;
  bool IsTest_;
};

class TPanelSim_2001 : public TSetEmulator {
public:
  TPanelSim_2001() = default;
  ~TPanelSim_2001() override; // destroys the display window first

  std::string ClassName() const override { return "TPanelSim_2001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;
  void DeviceTest(tVariant& result, TParams& params) override;

  // The display methods.
  void StringOutputOnPanelSim(tVariant& result, TParams& params);
  void ClearPanelSim(tVariant& result, TParams& params);
  void GetOutputOptions(tVariant& result, TParams& params);

  // A copy of the rows as they are, for a method to change and then show.
  TPanelRows CurrentRows();
  // Records new rows, then makes them the display's. When the record cannot
  // be written the rows stay as they were and the message says why; empty on
  // success.
  std::u16string KeepRows(TPanelRows rows);
  // KeepRows, then makes the display window when there is none, else repaints it.
  std::u16string ShowRows(TPanelRows rows);
  // Rewrites the readable record of the rows (RecordFileName in the data
  // folder): rows 1 to Rows, one a line, UTF-8, CR LF. Empty on success,
  // else the message naming the file and the reason.
  std::u16string RecordDisplay(const TPanelRows& rows);
  // "<component>_display.txt".
  std::u16string RecordFileName() const;

  // One tick of the running line; true when any row moved.
  bool TickRows();

  // Guards Lines and Columns, which a display window that ticks on a thread of
  // its own (Linux) reads and changes while the host calls.
  TStateLock StateLock;

  // Settings.
  int32_t Columns = kPanelDefaultColumns; // written under StateLock
  int32_t Rows = kPanelDefaultRows;
  bool ShowOnScreen = true;
  TPanelRows Lines; // changed under StateLock
  bool RunningLine = true;

private:
  friend class TRowsPainter;
  // The windows (Display.cpp).
  bool ShowDisplayWindow();    // make or repaint the display window
  void DestroyDisplayWindow(); // its timer and window
  void RunTestWindow();        // the modal device-test window

  TRowsPainter DisplayPainter_{*this, false};
  TRowsPainter TestPainter_{*this, true};
  std::unique_ptr<ui::TDeviceWindow> Display_; // the display window, if one was made
};

class TPanelSim_3001 : public TPanelSim_2001 {
public:
  std::string ClassName() const override { return "TPanelSim_3001"; }
};
