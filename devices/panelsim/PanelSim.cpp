// The customer display emulator object: settings, the three display methods,
// its Settings document, and the rows with their running line.
#include "PanelSim.h"

#include "TextCodec.h"

#include <algorithm>
#include <limits>
#include <mutex>

uint32_t BackgroundColour = 0;

// ---------------------------------------------------------------------------
// Rows

namespace {

int32_t ClampToInt32(size_t n) {
  return n > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ? std::numeric_limits<int32_t>::max()
                                                                      : static_cast<int32_t>(n);
}

bool ValidRow(int row) {
  return row >= 0 && row < kPanelRowSlots;
}

} // namespace

namespace {

// Characters of a text, a surrogate pair counting as one, up to limit.
size_t CountCharacters(std::u16string_view text, size_t limit) {
  size_t count = 0;
  for (size_t i = 0; i < text.size() && count < limit; ++i) {
    if (IsSurrogatePair(text, i))
      ++i;
    ++count;
  }
  return count;
}

} // namespace

int32_t CharacterCount(std::u16string_view text) {
  return ClampToInt32(CountCharacters(text, text.size()));
}

void TPanelRows::Split(std::u16string_view text, int32_t rows) {
  const int32_t last = std::clamp(rows, 0, static_cast<int32_t>(kPanelRowSlots));
  if (last == 0)
    return;
  // The rows' new texts are made whole before any row changes: a refused
  // allocation leaves the display as it was. An empty one keeps its row's text.
  std::array<std::u16string, kPanelRowSlots> fresh;
  int row = 0; // 0-based: row 1 of the display
  // Start of the units not yet copied into the row's text, so that a long
  // row is copied in one piece rather than unit by unit.
  size_t start = 0;
  for (size_t i = 0; i < text.size() && row < last; ++i) {
    const char16_t unit = text[i];
    if (unit != u'\n' && unit != u'\r')
      continue;
    fresh[row].append(text.substr(start, i - start));
    start = i + 1;
    if (unit == u'\n')
      ++row; // carriage returns are skipped; text after the last permitted row is dropped
  }
  if (row < last)
    fresh[row].append(text.substr(start));
  for (int i = 0; i < last; ++i) {
    if (fresh[i].empty())
      continue;
    RowLength[i] = ClampToInt32(fresh[i].size());
    RowText[i] = std::move(fresh[i]);
    RowOffset[i] = 0;
  }
}

void TPanelRows::ClearText() {
  for (std::u16string& text : RowText)
    text.clear();
}

void TPanelRows::SetTestText() {
  ClearText();
  RowText[0] = kPanelTestLine1;
  RowText[1] = kPanelTestLine2;
  for (int i = 0; i < kPanelRowSlots; ++i) {
    RowOffset[i] = 0;
    RowLength[i] = CharacterCount(RowText[i]);
  }
}

bool TPanelRows::Tick(int32_t columns) {
  bool changed = false;
  for (int i = 0; i < kPanelRowSlots; ++i) {
    if (RowLength[i] > columns) {
      if (RowOffset[i] < RowLength[i] - columns) {
        ++RowOffset[i];
        RowPause[i] = kPanelDwellTicks;
        changed = true;
      } else if (RowPause[i] == 0) {
        RowOffset[i] = 0;
        changed = true;
      } else {
        --RowPause[i];
      }
    } else if (RowOffset[i] != 0) {
      // The row fits now (the display grew while it was running): show it
      // from its start instead of leaving its head cut off for good.
      RowOffset[i] = 0;
      changed = true;
    }
  }
  return changed;
}

int32_t TPanelRows::CellCount(int row, int32_t columns) const {
  if (!ValidRow(row) || columns <= 0)
    return 0;
  // Counting stops at the last column: a long row costs no more to paint
  // than a short one.
  return static_cast<int32_t>(CountCharacters(RowText[row], static_cast<size_t>(columns)));
}

char16_t TPanelRows::CellUnit(int row, int32_t cell) const {
  if (!ValidRow(row) || cell < 0 || RowOffset[row] < 0)
    return 0;
  const size_t index = static_cast<size_t>(RowOffset[row]) + static_cast<size_t>(cell);
  const std::u16string& text = RowText[row];
  return index < text.size() ? text[index] : char16_t{0};
}

// ---------------------------------------------------------------------------
// Settings document

std::u16string PanelSettingsXml(std::u16string_view logFilePath) {
  static constexpr TSettingParameter kParameters[] = {
      {u"DeviceColumns", u"Столбцов на дисплее", u"Number", u"20"},
      {u"DeviceRows", u"Строк на дисплее", u"Number", u"2"},
      {u"Show", u"Показывать на экране", u"Boolean", u"true"},
      {u"Scroll", u"Использовать бегущую строку", u"Boolean", u"true"},
  };
  return DeviceSettingsXml(kParameters, logFilePath);
}

// ---------------------------------------------------------------------------
// The emulator object

TPanelSim_2001::~TPanelSim_2001() {
  try {
    DestroyDisplayWindow();
  } catch (...) { // a destructor never throws to the host
  }
}

void TPanelSim_2001::AfterConstruction() {
  EquipmentName = kPanelEquipmentName;
  EquipmentType = kPanelEquipmentType;
  BackgroundColour = 0;
  TSetEmulator::AfterConstruction();
}

void TPanelSim_2001::RegisterDeviceMethods() {
  RegisterMethodTable(CustomerDisplayMethods);
}

void TPanelSim_2001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_StringOutputOnPanelSim:
    StringOutputOnPanelSim(result, params);
    break;
  case m_ClearPanelSim:
    ClearPanelSim(result, params);
    break;
  case m_GetOutputOptions:
    GetOutputOptions(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

void TPanelSim_2001::StringOutputOnPanelSim(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  TPanelRows rows = CurrentRows();
  if (params.IsText(1))
    rows.Split(params.Units(1), Rows);
  if (const std::u16string failure = ShowRows(std::move(rows)); !failure.empty())
    return Fail(result, failure);
  SetResult(result, true);
}

void TPanelSim_2001::ClearPanelSim(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  TPanelRows rows = CurrentRows();
  rows.ClearText();
  if (const std::u16string failure = ShowRows(std::move(rows)); !failure.empty())
    return Fail(result, failure);
  SetResult(result, true);
}

void TPanelSim_2001::GetOutputOptions(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  params.SetInt(1, Columns);
  params.SetInt(2, Rows);
  SetResult(result, true);
}

void TPanelSim_2001::GetParameters(tVariant& result, TParams& params) {
  params.SetText(0, PanelSettingsXml(LogFilePath));
  SetResult(result, true);
}

void TPanelSim_2001::SetParameter(tVariant& result, TParams& params) {
  const std::u16string name = LowerAscii(params.Text(0));
  if (name == u"devicecolumns") {
    const int32_t columns = std::clamp(params.Int(1), 1, kPanelMaxColumns);
    const std::lock_guard lock(StateLock);
    Columns = columns;
  } else if (name == u"devicerows")
    Rows = std::clamp(params.Int(1), 1, kPanelMaxRows);
  else if (name == u"show")
    ShowOnScreen = params.Bool(1);
  else if (name == u"scroll")
    RunningLine = params.Bool(1);
  SetResult(result, true);
}

// The test window's outcome is not reported: an automatic answer, approval
// or refusal, ends the test as either of its buttons does, with the core's
// description and True, and without the window.
void TPanelSim_2001::DeviceTest(tVariant& result, TParams& params) {
  TSetEmulator::DeviceTest(result, params);
  if (!ShowOnScreen)
    return;
  const TOperatorSetting setting = OperatorSetting();
  if (setting.Mode == TOperatorMode::Invalid) {
    LastErrorText = setting.Error;
    SetResult(result, false);
    return;
  }
  TPanelRows rows = CurrentRows();
  rows.SetTestText();
  if (const std::u16string failure = KeepRows(std::move(rows)); !failure.empty())
    return Fail(result, failure);
  if (!setting.Automatic())
    RunTestWindow();
}

std::u16string TPanelSim_2001::RecordFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_display.txt";
}

TPanelRows TPanelSim_2001::CurrentRows() {
  const std::lock_guard lock(StateLock);
  return Lines;
}

std::u16string TPanelSim_2001::RecordDisplay(const TPanelRows& rows) {
  std::u16string text;
  for (int i = 0; i < std::min<int32_t>(Rows, kPanelRowSlots); ++i) {
    text += rows.RowText[static_cast<size_t>(i)];
    text += u"\r\n";
  }
  const TDataFileResult written = WriteDataFile(RecordFileName(), text);
  return written ? std::u16string() : written.FailureText(u"строки дисплея");
}

std::u16string TPanelSim_2001::KeepRows(TPanelRows rows) {
  // The record is what the display promised (whether or not the rows are
  // shown on screen): rows it could not take do not become the display's.
  if (std::u16string failure = RecordDisplay(rows); !failure.empty())
    return failure;
  const std::lock_guard lock(StateLock);
  Lines = std::move(rows);
  return {};
}

std::u16string TPanelSim_2001::ShowRows(TPanelRows rows) {
  if (std::u16string failure = KeepRows(std::move(rows)); !failure.empty())
    return failure;
  if (ShowOnScreen)
    ShowDisplayWindow(); // an open window stays as it is when the rows are hidden
  return {};
}
