// The electronic scale emulator: weights as text and numbers, the Settings
// document and the two scale methods.
#include "WeighSim.h"

#include "weighsim_dialogs.h"

#include "TextCodec.h"

#include <algorithm>
#include <charconv>
#include <cmath>

// ---------------------------------------------------------------------------
// Weights

namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0';
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

} // namespace

TWeightReading ReadWeight(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  // Whole kilograms (held at one above the limit once past it), then three
  // decimals and the digit that rounds them.
  int64_t kilograms = 0;
  int64_t fraction = 0;
  int decimals = 0;
  bool roundUp = false;
  bool separator = false;
  bool digits = false;
  for (const char16_t c : text) {
    if (c == u'.' || c == u',') {
      if (separator)
        return {TWeightFault::NotNumber};
      separator = true;
    } else if (!IsDigit(c)) {
      return {TWeightFault::NotNumber};
    } else {
      digits = true;
      const int digit = c - u'0';
      if (!separator)
        kilograms = std::min<int64_t>(kilograms * 10 + digit, kWeighLimitGrams / 1000 + 1);
      else if (decimals < 3) {
        fraction = fraction * 10 + digit;
        ++decimals;
      } else if (decimals++ == 3) {
        roundUp = digit >= 5;
      }
    }
  }
  if (!digits)
    return {TWeightFault::NotNumber};
  for (; decimals < 3; ++decimals)
    fraction *= 10;
  const int64_t grams = kilograms * 1000 + fraction + (roundUp ? 1 : 0);
  if (negative && grams != 0)
    return {TWeightFault::Negative};
  if (grams > kWeighLimitGrams)
    return {TWeightFault::TooHeavy};
  return {TWeightFault::Ok, grams};
}

TWeightReading ReadWeight(double kilograms) {
  if (!std::isfinite(kilograms))
    return {TWeightFault::NotNumber};
  if (kilograms == 0)
    return {TWeightFault::Ok, 0}; // -0 too
  // The shortest fixed form of any finite double is below 330 characters.
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, kilograms, std::chars_format::fixed);
  if (error != std::errc())
    return {TWeightFault::NotNumber};
  return ReadWeight(std::u16string(buffer, end)); // ASCII only
}

std::u16string WeightFaultText(TWeightFault fault, std::u16string_view subject) {
  const std::u16string what(subject);
  switch (fault) {
  case TWeightFault::Ok:
    return {};
  case TWeightFault::NotNumber:
    return what + u" должен быть числом килограммов, например 1,250";
  case TWeightFault::Negative:
    return what + u" не может быть отрицательным";
  case TWeightFault::TooHeavy:
    return what + u" больше предела весов 1000 кг";
  }
  return {};
}

std::u16string WeightText(int64_t grams) {
  const uint64_t magnitude = grams < 0 ? 0 - static_cast<uint64_t>(grams) : static_cast<uint64_t>(grams);
  std::string text = std::to_string(magnitude / 1000) + ".";
  const std::string fraction = std::to_string(magnitude % 1000);
  text += std::string(3 - fraction.size(), '0') + fraction;
  if (grams < 0)
    text.insert(0, 1, '-');
  return std::u16string(text.begin(), text.end()); // ASCII only
}

// ---------------------------------------------------------------------------
// Settings document

std::u16string WeighSettingsXml(std::u16string_view logFilePath) {
  static constexpr TSettingParameter kParameters[] = {
      {u"DefaultWeight", u"Вес без оператора, кг", u"Number", u"1"},
  };
  return DeviceSettingsXml(kParameters, logFilePath);
}

// ---------------------------------------------------------------------------
// The device object

namespace {

constexpr char16_t kTareSubject[] = u"Вес тары";
constexpr char16_t kDefaultSubject[] = u"Вес без оператора (DefaultWeight)";

// A weight from a host value; an empty value or blank text is no weight.
std::optional<TWeightReading> ReadParameter(const TParams& params, long k) {
  switch (params.Kind(k)) {
  case TParams::TKind::Empty:
    return std::nullopt;
  case TParams::TKind::Text: {
    const std::u16string_view text = params.TextView(k);
    if (std::all_of(text.begin(), text.end(), IsBlank))
      return std::nullopt;
    return ReadWeight(text);
  }
  case TParams::TKind::Number:
    return ReadWeight(params.Double(k));
  case TParams::TKind::Other:
    break;
  }
  return TWeightReading{TWeightFault::NotNumber};
}

} // namespace

int AskWeight(ui::IOperatorPrompt& prompt, std::u16string& weight) {
  // The controls of the weighing window: the weight and the hint under it.
  constexpr int kWeightField = 46;
  constexpr int kHintLabel = 47;
  ui::TDialogRun run(dialogs::ORVIK_DLG_WEIGH);
  run.ClassName = "WeighSim";
  run.Texts = {{kHintLabel, kWeighHint}};
  run.FieldId = kWeightField;
  run.Field = weight;
  run.FieldLimit = 64;
  run.ReasonId = kHintLabel;
  run.Check = [](const std::u16string& typed) {
    const TWeightReading reading = ReadWeight(typed);
    return reading.Fault == TWeightFault::Ok ? std::u16string() : WeightFaultText(reading.Fault, u"Вес");
  };
  const int answer = prompt.Ask(run);
  if (answer == kWeightEntered)
    weight = run.Field;
  return answer == ui::kNoDisplay ? kWeightNoWindow : answer;
}

TWeighSim_3001::TWeighSim_3001() : Prompt(ui::ScreenPrompt()) {}

void TWeighSim_3001::AfterConstruction() {
  TSetEmulator::AfterConstruction();
  EquipmentName = kWeighEquipmentName;
  EquipmentType = kWeighEquipmentType;
}

void TWeighSim_3001::RegisterDeviceMethods() {
  RegisterMethodTable(ElectronicScaleMethods);
}

void TWeighSim_3001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_Calibrate:
    Calibrate(result, params);
    break;
  case m_GetWeight:
    GetWeight(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

void TWeighSim_3001::GetParameters(tVariant& result, TParams& params) {
  SetResult(result, params.SetText(0, WeighSettingsXml(LogFilePath)));
}

// DefaultWeight is clamped into the scale's range, and an empty value gives
// back its default; a value that is no number at all is refused and the
// setting stays. Other names are accepted and ignored, as by the other devices.
void TWeighSim_3001::SetParameter(tVariant& result, TParams& params) {
  if (EqualIgnoringAsciiCase(params.TextView(0), u"defaultweight")) {
    const TWeightReading reading =
        ReadParameter(params, 1).value_or(TWeightReading{TWeightFault::Ok, kWeighDefaultGrams});
    switch (reading.Fault) {
    case TWeightFault::NotNumber:
      Fail(result, WeightFaultText(reading.Fault, kDefaultSubject));
      return;
    case TWeightFault::Negative:
      DefaultGrams = 0;
      break;
    case TWeightFault::TooHeavy:
      DefaultGrams = kWeighLimitGrams;
      break;
    case TWeightFault::Ok:
      DefaultGrams = reading.Grams;
      break;
    }
  }
  SetResult(result, true);
}

void TWeighSim_3001::DeviceTest(tVariant& result, TParams& params) {
  TSetEmulator::DeviceTest(result, params);
  params.SetText(0, EquipmentName + u" " + Version + u": предел 1000 кг, тара " + WeightText(TareGrams) +
                        u" кг, вес без оператора " + WeightText(DefaultGrams) + u" кг");
}

// Parameters: 0 DeviceID, 1 the tare in kilograms. Nothing, 0 or blank text
// clears the tare; a faulty value fails and leaves the tare as it was.
void TWeighSim_3001::Calibrate(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const TWeightReading reading = ReadParameter(params, 1).value_or(TWeightReading{});
  if (reading.Fault != TWeightFault::Ok) {
    Fail(result, WeightFaultText(reading.Fault, kTareSubject));
    return;
  }
  TareGrams = reading.Grams;
  SetResult(result, true);
}

// Parameters: 0 DeviceID, 1 the net weight out. A net below zero (a tare
// heavier than the load) is handed out as it is, as a scale shows it.
void TWeighSim_3001::GetWeight(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const std::optional<int64_t> gross = GrossWeight(result);
  if (!gross)
    return;
  LastGrossGrams = *gross;
  params.SetDouble(1, static_cast<double>(*gross - TareGrams) / 1000.0);
  SetResult(result, true);
}

std::optional<int64_t> TWeighSim_3001::GrossWeight(tVariant& result) {
  const TOperatorSetting setting = OperatorSetting();
  switch (setting.Mode) {
  case TOperatorMode::Invalid:
    Fail(result, setting.Error);
    return std::nullopt;
  case TOperatorMode::Refuse:
    Fail(result, kWeighRefusedText);
    return std::nullopt;
  case TOperatorMode::Approve: {
    const std::u16string* fixed = setting.Value(u"weight");
    if (fixed == nullptr)
      return DefaultGrams;
    const TWeightReading reading = ReadWeight(*fixed);
    if (reading.Fault != TWeightFault::Ok) {
      Fail(result, WeightFaultText(reading.Fault, u"Вес в файле " + setting.Origin));
      return std::nullopt;
    }
    NoteInLog(u"Вес из файла " + setting.Origin + u": " + WeightText(reading.Grams));
    return reading.Grams;
  }
  case TOperatorMode::Dialog:
    break;
  }
  std::u16string typed = WeightText(LastGrossGrams.value_or(DefaultGrams));
  const int answer = Prompt ? AskWeight(*Prompt, typed) : kWeightNoWindow;
  if (answer == kWeightEntered) {
    const TWeightReading reading = ReadWeight(typed);
    if (reading.Fault == TWeightFault::Ok)
      return reading.Grams;
    Fail(result, WeightFaultText(reading.Fault, u"Вес"));
    return std::nullopt;
  }
  Fail(result, answer == kWeightNoWindow ? kWeighNoWindowText : kWeighRefusedText);
  return std::nullopt;
}
