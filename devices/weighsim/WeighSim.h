// The electronic scale emulator: a checkout scale of the equipment type
// "ЭлектронныеВесы". The gross weight on the platform comes from the operator,
// who types it in the modal window "Весы" (AskWeight), unless an automatic
// answer is set from outside (Unattended.h): then it comes from the control
// file's "weight=" line or from the DefaultWeight setting. GetWeight hands
// out the net weight, gross minus the tare that Calibrate set, in kilograms
// to the gram.
#pragma once

#include "DeviceSet.h"
#include "Window.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------
// Weights

// Weights are kept in whole grams. The scale takes nothing above its limit:
// a load or a tare above 1000 kg is no weighing but a typing error.
inline constexpr int64_t kWeighLimitGrams = 1000000;
inline constexpr int64_t kWeighDefaultGrams = 1000;

// What is wrong with a weight given as text or as a number.
enum class TWeightFault {
  Ok,
  NotNumber, // not a decimal number (text, NaN, infinity, a boolean)
  Negative,
  TooHeavy, // above kWeighLimitGrams
};

struct TWeightReading {
  TWeightFault Fault = TWeightFault::Ok;
  int64_t Grams = 0; // when Fault is Ok
};

// A weight in kilograms typed by a person or written in a file: blanks around
// it, an optional sign, digits with at most one "." or "," as the decimal
// separator (no exponent), rounded half up to the gram on its decimal digits.
TWeightReading ReadWeight(std::u16string_view text);
// A weight in kilograms given as a number, rounded to the gram on the
// shortest decimal text of the double (what the host's user typed).
TWeightReading ReadWeight(double kilograms);
// The message about a faulty weight; subject names it ("Вес тары").
std::u16string WeightFaultText(TWeightFault fault, std::u16string_view subject);
// Grams as kilograms with three decimals and "." as separator: "1.250", "-0.300".
std::u16string WeightText(int64_t grams);

// ---------------------------------------------------------------------------
// The operator seam

// What the weighing window ended with.
inline constexpr int kWeightEntered = ui::kOk;        // the weighing button (or Enter) with a sound weight
inline constexpr int kWeightRefused = ui::kCancel;    // "Закрыть", Escape or the close box
inline constexpr int kWeightNoWindow = ui::kNoWindow; // the window could not be shown at all

// Asks the operator for the gross weight in the dialog ORVIK_DLG_WEIGH.
// weight comes in as the text to prefill and, on kWeightEntered, holds what
// the operator confirmed, which ReadWeight accepts: the window keeps itself
// open on anything else and names the fault under the weight. Where nothing
// can be shown at all the answer is kWeightNoWindow.
int AskWeight(ui::IOperatorPrompt& prompt, std::u16string& weight);

// ---------------------------------------------------------------------------
// The device object

inline constexpr char16_t kWeighEquipmentName[] = u"Эмулятор электронных весов";
inline constexpr char16_t kWeighEquipmentType[] = u"ЭлектронныеВесы";
inline constexpr char16_t kWeighWindowTitle[] = u"Весы";
inline constexpr char16_t kWeighRefusedText[] = u"Взвешивание отменено: окно \"Весы\" закрыто без веса";
inline constexpr char16_t kWeighNoWindowText[] = u"Не удалось показать окно \"Весы\" для ввода веса";
// The window's hint under the weight, replaced by the fault of a wrong entry.
inline constexpr char16_t kWeighHint[] = u"От 0 до 1000 кг, разделитель \",\" или \".\"";

// The electronic scale's own Settings document: the default weight of
// automatic weighings and the log file.
std::u16string WeighSettingsXml(std::u16string_view logFilePath);

class TWeighSim_3001 : public TSetEmulator {
public:
  TWeighSim_3001();
  std::string ClassName() const override { return "TWeighSim_3001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;
  void DeviceTest(tVariant& result, TParams& params) override;

  // Seam for tests: who answers the weighing window.
  std::unique_ptr<ui::IOperatorPrompt> Prompt;

  int64_t TareGrams = 0;
  int64_t DefaultGrams = kWeighDefaultGrams; // the weight of an automatic approval
  std::optional<int64_t> LastGrossGrams;     // prefills the window; DefaultGrams before the first

private:
  void Calibrate(tVariant& result, TParams& params);
  void GetWeight(tVariant& result, TParams& params);
  // The gross weight of one weighing, or nullopt with the call failed.
  std::optional<int64_t> GrossWeight(tVariant& result);
};
