// The receipt printer emulator object: settings, the three printer methods
// and its Settings document.
#include "ReceiptSim.h"

#include "TextCodec.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// Settings document

std::u16string ReceiptSettingsXml(std::u16string_view logFilePath) {
  static constexpr TSettingParameter kParameters[] = {
      {u"LineLength", u"Ширина строки, символов", u"Number", u"42"},
      {u"Show", u"Показывать на экране", u"Boolean", u"true"},
  };
  return DeviceSettingsXml(kParameters, logFilePath);
}

// ---------------------------------------------------------------------------
// The emulator object

void TReceiptSim_3001::AfterConstruction() {
  EquipmentName = kReceiptEquipmentName;
  EquipmentType = kReceiptEquipmentType;
  TSetEmulator::AfterConstruction();
}

void TReceiptSim_3001::RegisterDeviceMethods() {
  RegisterMethodTable(ReceiptPrinterMethods);
}

void TReceiptSim_3001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_cp_PrintTextDocument:
    PrintTextDocument(result, params);
    break;
  case m_cp_OpenCashDrawer:
    OpenCashDrawer(result, params);
    break;
  case m_cp_GetLineLength:
    GetLineLength(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

void TReceiptSim_3001::PrintTextDocument(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  std::vector<TPrintItem> items;
  // The document is read where the host keeps it; nothing is printed unless
  // all of it is accepted.
  const std::u16string fault = ReadTextDocument(params.TextView(1), items);
  if (!fault.empty())
    return Fail(result, fault);
  if (const std::u16string failure = Feed(LayOutDocument(items, LineLength)); !failure.empty())
    return Fail(result, failure);
  SetResult(result, true);
}

void TReceiptSim_3001::OpenCashDrawer(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const std::u16string failure =
      Feed({TTapeLine{TTapeKind::Drawer, TBarcodeType::EAN13, kReceiptDrawerText}});
  if (!failure.empty())
    return Fail(result, failure);
  SetResult(result, true);
}

void TReceiptSim_3001::GetLineLength(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  params.SetInt(1, LineLength);
  SetResult(result, true);
}

void TReceiptSim_3001::GetParameters(tVariant& result, TParams& params) {
  params.SetText(0, ReceiptSettingsXml(LogFilePath));
  SetResult(result, true);
}

void TReceiptSim_3001::SetParameter(tVariant& result, TParams& params) {
  const std::u16string name = LowerAscii(params.Text(0));
  if (name == u"linelength")
    LineLength = std::clamp(params.Int(1), kReceiptMinLineLength, kReceiptMaxLineLength);
  else if (name == u"show")
    ShowOnScreen = params.Bool(1);
  SetResult(result, true);
}

std::u16string TReceiptSim_3001::TapeFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_tape.txt";
}

std::u16string TReceiptSim_3001::Feed(const std::vector<TTapeLine>& lines) {
  return Paper.Feed(lines, TapeFileName(), LineLength, ShowOnScreen, EquipmentName);
}

std::vector<TTapeLine> TReceiptSim_3001::NewestLines() {
  return Paper.NewestLines();
}
