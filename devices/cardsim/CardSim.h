// The payment card terminal emulator: a bank card terminal of the equipment
// type "ЭквайринговыйТерминал". Every card operation asks the operator in a
// modal window (AskOperator), unless an automatic answer is set from
// outside (Unattended.h); an approval fills the operation's output parameters
// with freshly generated digit strings, or with the control file's values.
#pragma once

#include "Clock.h"
#include "DeviceSet.h"
#include "Window.h"

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------
// The operator seam

// What the operation window ended with.
inline constexpr int kPromptApproved = ui::kOk;     // the operation button (or Enter)
inline constexpr int kPromptRefused = ui::kCancel;  // "Закрыть", Escape or the close box
inline constexpr int kPromptFailed = ui::kNoWindow; // the window could not be shown at all

// Asks the operator to approve one card operation in the dialog ORVIK_DLG_PAY:
// the operation on its default button, the amount beside its label. Blocks
// until the operator answers; one of the kPrompt* values above (any other
// counts as a refusal). Where nothing can be shown at all (no display) the
// operation is refused as if the operator had closed the window.
int AskOperator(ui::IOperatorPrompt& prompt, const std::u16string& caption, const std::u16string& amountText);

// ---------------------------------------------------------------------------
// Texts and digits

// The amount as the operation window shows it: two decimals (rounded half
// away from zero on the decimal value), "." as separator, right-aligned with
// blanks in 15 characters; a longer text is not cut. Values that are no
// number show as "NAN", "INF" or "-INF", in the same field.
std::u16string AmountText(double amount);

// The two library-wide texts the operation window shows: set immediately
// before the window opens, kept until the next operation.
std::u16string& CardAmountText();
std::u16string& CardOperationCaption();

// A digit string of exactly n characters: decimal forms of draws from 0 to
// 999999999 appended until there are at least n characters, then cut to n.
std::u16string RandomDigits(std::mt19937& generator, int n);

// The library's generator of approval digits. Reseed at each approval.
class TApprovalDigits {
public:
  // Seeds from the tick count, mixed with a per-process approval counter and
  // a draw from the generator's previous state (see the definition for why).
  void Reseed(uint32_t tickCount);
  std::u16string Next(int n) { return RandomDigits(generator_, n); }

private:
  std::mt19937 generator_;
  uint64_t approvals_ = 0;
};
TApprovalDigits& LibraryApprovalDigits();

// ---------------------------------------------------------------------------
// The device object

inline constexpr char16_t kCardEquipmentName[] = u"Эмулятор эквайрингового терминала";
inline constexpr char16_t kCardEquipmentType[] = u"ЭквайринговыйТерминал";
// Shown when the operation window cannot be created at all (no resources,
// no window station): the operator was never asked, so this is no refusal.
inline constexpr char16_t kCardPromptFailure[] =
    u"Не удалось показать окно операции по банковскому терминалу";
// Shown when the host's allocator refuses the text of an output parameter:
// the host would otherwise get True with its outputs missing.
inline constexpr char16_t kCardNoMemory[] = u"Недостаточно памяти для передачи результата операции";

class TCardSim_2001 : public TSetEmulator {
public:
  TCardSim_2001();
  std::string ClassName() const override { return "TCardSim_2001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;

  // Seams for tests: who answers the operation window and what the clock says.
  std::unique_ptr<ui::IOperatorPrompt> Prompt;
  uint32_t (*TickCount)() = SystemTickCount;

private:
  // Writes text into parameter k; false with kCardNoMemory when the host's
  // allocator refuses it.
  bool WriteOutput(TParams& params, long k, std::u16string_view text);
  void CardOperation(const char16_t* caption, tVariant& result, TParams& params);
  void EmergencyReversal(tVariant& result, TParams& params);
  void Settlement(tVariant& result, TParams& params);
};
