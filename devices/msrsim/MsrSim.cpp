// The magnetic card reader emulator object: its settings and what a card becomes.
#include "MsrSim.h"

#include "TextCodec.h"
#include "msrsim_dialogs.h"

#include <algorithm>

// The window's controls (resources/msrsim.rc).
namespace {
constexpr int kFirstTrackField = 100; // 100, 101, 102
constexpr int kReasonLabel = 103;
constexpr int kFirstRecentButton = 111;
} // namespace

std::u16string CardEvent(std::u16string_view line, const TMsrSettings& settings, TInputEvent& event) {
  std::array<std::u16string_view, kMsrTracks> tracks;
  size_t count = 0;
  for (size_t start = 0;; ++count) {
    const size_t tab = line.find(u'\t', start);
    if (count == tracks.size())
      return u"Больше трёх дорожек в строке";
    tracks[count] = TrimBlanks(line.substr(start, tab == std::u16string_view::npos ? tab : tab - start));
    if (tab == std::u16string_view::npos)
      break;
    start = tab + 1;
  }
  const std::u16string prefix = CharacterText(settings.Prefix);
  const std::u16string suffix = CharacterText(settings.Suffix);
  std::u16string data = prefix;
  bool any = false;
  for (std::u16string_view track : tracks) {
    if (track.empty())
      continue;
    any = true;
    data += track;
    data += suffix;
  }
  if (!any)
    return u"Нет данных дорожек";
  event.Name = settings.EnglishName ? u"TracksData" : u"ДанныеКарты";
  event.Data = std::move(data);
  return {};
}

void TMsrSim_3001::AfterConstruction() {
  EquipmentName = kMsrEquipmentName;
  EquipmentType = kMsrEquipmentType;
  TSetEmulator::AfterConstruction();
}

void TMsrSim_3001::GetParameters(tVariant& result, TParams& params) {
  static constexpr TSettingParameter kParameters[] = {
      {u"EventName", u"Имя события (ДанныеКарты или TracksData)", u"String", u"ДанныеКарты"},
      {u"Prefix", u"Код символа перед данными карты (-1 — нет)", u"Number", u"-1"},
      {u"Suffix", u"Код символа после каждой дорожки (-1 — нет)", u"Number", u"13"},
      {u"Show", u"Показывать окно ввода", u"Boolean", u"true"},
  };
  params.SetText(0, DeviceSettingsXml(kParameters, LogFilePath));
  SetResult(result, true);
}

// Names in any letter case; other names are taken and ignored.
void TMsrSim_3001::SetParameter(tVariant& result, TParams& params) {
  const std::lock_guard lock(SettingsLock);
  const std::u16string_view name = params.TextView(0);
  if (EqualIgnoringAsciiCase(name, u"EventName")) {
    const std::u16string_view value = TrimBlanks(params.TextView(1));
    if (value == u"ДанныеКарты")
      settings_.EnglishName = false;
    else if (EqualIgnoringAsciiCase(value, u"TracksData"))
      settings_.EnglishName = true;
    else
      return Fail(result, u"Параметр EventName: ожидается ДанныеКарты или TracksData");
  } else if (EqualIgnoringAsciiCase(name, u"Prefix") || EqualIgnoringAsciiCase(name, u"Suffix")) {
    const bool prefix = EqualIgnoringAsciiCase(name, u"Prefix");
    char32_t code = 0;
    std::u16string message;
    if (!ReadCharacterCode(params, 1, prefix ? u"Prefix" : u"Suffix", code, message))
      return Fail(result, message);
    (prefix ? settings_.Prefix : settings_.Suffix) = code;
  } else if (EqualIgnoringAsciiCase(name, u"Show")) {
    ShowOnScreen = params.Bool(1);
  }
  SetResult(result, true);
}

TMsrSettings TMsrSim_3001::CurrentSettings() const {
  const std::lock_guard lock(SettingsLock);
  return settings_;
}

std::u16string TMsrSim_3001::MakeEvents(std::u16string_view line, std::vector<TInputEvent>& events) const {
  TInputEvent event;
  if (std::u16string reason = CardEvent(line, CurrentSettings(), event); !reason.empty())
    return reason;
  events.push_back(std::move(event));
  return {};
}

// Empty fields after the last track typed are left out: the card is the same
// as the spool line without them, and so is its recent button ("a | b").
std::u16string TMsrSim_3001::JoinFields(std::span<const std::u16string> fields) const {
  size_t used = std::min(fields.size(), static_cast<size_t>(kMsrTracks));
  while (used > 0 && TrimBlanks(fields[used - 1]).empty())
    --used;
  std::u16string line;
  for (size_t i = 0; i < used; ++i) {
    if (i > 0)
      line += u'\t';
    line += fields[i];
  }
  return line;
}

TInputWindowLayout TMsrSim_3001::WindowLayout() const {
  return {.Template = &dialogs::ORVIK_DLG_MSR,
          .ClassName = "MsrSim",
          .X = kMsrWindowX,
          .Y = kMsrWindowY,
          .Fields = {kFirstTrackField, kFirstTrackField + 1, kFirstTrackField + 2},
          .ReasonId = kReasonLabel,
          .FirstRecentId = kFirstRecentButton};
}
