// The barcode scanner emulator object: its settings and what a scan becomes.
#include "ScanSim.h"

#include "TextCodec.h"
#include "scansim_dialogs.h"

// The window's controls (resources/scansim.rc).
namespace {
constexpr int kCodeField = 100;
constexpr int kReasonLabel = 103;
constexpr int kFirstRecentButton = 111;
} // namespace

std::u16string ScanEvent(std::u16string_view line, const TScanSettings& settings, TInputEvent& event) {
  std::u16string code(TrimBlanks(line));
  if (code.empty())
    return u"Пустой штрихкод";
  if (settings.GsSymbol != 0) {
    const std::u16string symbol = CharacterText(settings.GsSymbol);
    for (size_t at = code.find(symbol); at != std::u16string::npos; at = code.find(symbol, at + 1))
      code.replace(at, symbol.size(), 1, kGroupSeparator);
  }
  const bool base64 = settings.GsAsBase64 && code.find(kGroupSeparator) != std::u16string::npos;
  event.Name = settings.EnglishName ? u"Barcode" : u"Штрихкод";
  if (base64) {
    event.Name += u"Base64";
    event.Data = EncodeBase64(Utf16ToUtf8(code));
  } else {
    event.Data = std::move(code);
  }
  return {};
}

void TScanSim_3001::AfterConstruction() {
  EquipmentName = kScanEquipmentName;
  EquipmentType = kScanEquipmentType;
  TSetEmulator::AfterConstruction();
}

void TScanSim_3001::GetParameters(tVariant& result, TParams& params) {
  static constexpr TSettingParameter kParameters[] = {
      {u"EventName", u"Имя события (Штрихкод или Barcode)", u"String", u"Штрихкод"},
      {u"GSEvent", u"Коды с символом GS (Base64 или Plain)", u"String", u"Base64"},
      {u"GSSymbolKey", u"Код символа, заменяющего GS при вводе (-1 — нет)", u"Number", u"-1"},
      {u"Show", u"Показывать окно ввода", u"Boolean", u"true"},
  };
  params.SetText(0, DeviceSettingsXml(kParameters, LogFilePath));
  SetResult(result, true);
}

// Names in any letter case. The serial-port settings of a real scanner's
// driver (Port, Speed, DataBits, StopBit, Prefix, Suffix, Timeout and the
// like) mean nothing to the emulator and are taken and ignored, as every
// other unknown name.
void TScanSim_3001::SetParameter(tVariant& result, TParams& params) {
  const std::lock_guard lock(SettingsLock);
  const std::u16string_view name = params.TextView(0);
  if (EqualIgnoringAsciiCase(name, u"EventName")) {
    const std::u16string_view value = TrimBlanks(params.TextView(1));
    if (value == u"Штрихкод")
      settings_.EnglishName = false;
    else if (EqualIgnoringAsciiCase(value, u"Barcode"))
      settings_.EnglishName = true;
    else
      return Fail(result, u"Параметр EventName: ожидается Штрихкод или Barcode");
  } else if (EqualIgnoringAsciiCase(name, u"GSEvent")) {
    const std::u16string_view value = TrimBlanks(params.TextView(1));
    if (EqualIgnoringAsciiCase(value, u"Base64"))
      settings_.GsAsBase64 = true;
    else if (EqualIgnoringAsciiCase(value, u"Plain"))
      settings_.GsAsBase64 = false;
    else
      return Fail(result, u"Параметр GSEvent: ожидается Base64 или Plain");
  } else if (EqualIgnoringAsciiCase(name, u"GSSymbolKey")) {
    char32_t code = 0;
    std::u16string message;
    if (!ReadCharacterCode(params, 1, u"GSSymbolKey", code, message))
      return Fail(result, message);
    settings_.GsSymbol = code;
  } else if (EqualIgnoringAsciiCase(name, u"Show")) {
    ShowOnScreen = params.Bool(1);
  }
  SetResult(result, true);
}

TScanSettings TScanSim_3001::CurrentSettings() const {
  const std::lock_guard lock(SettingsLock);
  return settings_;
}

std::u16string TScanSim_3001::MakeEvents(std::u16string_view line, std::vector<TInputEvent>& events) const {
  TInputEvent event;
  if (std::u16string reason = ScanEvent(line, CurrentSettings(), event); !reason.empty())
    return reason;
  events.push_back(std::move(event));
  return {};
}

std::u16string TScanSim_3001::JoinFields(std::span<const std::u16string> fields) const {
  return fields.empty() ? std::u16string() : fields[0];
}

TInputWindowLayout TScanSim_3001::WindowLayout() const {
  return {.Template = &dialogs::ORVIK_DLG_SCAN,
          .ClassName = "ScanSim",
          .X = kScanWindowX,
          .Y = kScanWindowY,
          .Fields = {kCodeField},
          .ReasonId = kReasonLabel,
          .FirstRecentId = kFirstRecentButton};
}
