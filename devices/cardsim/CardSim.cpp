// The card terminal emulator: its nine methods, the amount text and the
// approval digits.
#include "CardSim.h"

#include "cardsim_dialogs.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

// ---------------------------------------------------------------------------
// Amount text

namespace {

// The controls of the operation window that show the operation and the amount.
constexpr int kPayOperationButton = 1;
constexpr int kPayAmountLabel = 45;

constexpr size_t kAmountField = 15;

// |amount| with exactly two decimals. The rounding works on the shortest
// decimal text that reads back as the same double (what the host's user
// typed), half away from zero: 1.005 and 2.675 are 1.01 and 2.68 as on a
// receipt, where rounding the binary value would give 1.00 and 2.67.
std::string TwoDecimals(double amount) {
  // The shortest fixed form of any finite double is below 330 characters
  // (309 integer digits at the top, 324 fractional at the bottom).
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(amount), std::chars_format::fixed);
  if (error != std::errc())
    return "0.00";
  const std::string_view text(buffer, static_cast<size_t>(end - buffer));
  const size_t point = text.find('.');
  std::string digits(text.substr(0, point)); // the integer part, at least "0"
  std::string fraction(point == std::string_view::npos ? std::string_view() : text.substr(point + 1));
  fraction.resize(std::max<size_t>(fraction.size(), 3), '0');
  const bool roundUp = fraction[2] >= '5';
  digits += fraction.substr(0, 2);
  if (roundUp) {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9')
      digits[--i] = '0';
    if (i == 0)
      digits.insert(digits.begin(), '1');
    else
      ++digits[i - 1];
  }
  const bool zero = digits.find_first_not_of('0') == std::string::npos;
  std::string out = std::signbit(amount) && !zero ? "-" : "";
  out.append(digits, 0, digits.size() - 2);
  out += '.';
  out.append(digits, digits.size() - 2, 2);
  return out;
}

} // namespace

std::u16string AmountText(double amount) {
  std::string text;
  if (std::isnan(amount))
    text = "NAN";
  else if (std::isinf(amount))
    text = amount < 0 ? "-INF" : "INF";
  else
    text = TwoDecimals(amount);
  if (text.size() < kAmountField)
    text.insert(0, kAmountField - text.size(), ' ');
  return std::u16string(text.begin(), text.end()); // ASCII only
}

std::u16string& CardAmountText() {
  static std::u16string text;
  return text;
}

std::u16string& CardOperationCaption() {
  static std::u16string text;
  return text;
}

// ---------------------------------------------------------------------------
// Approval digits

std::u16string RandomDigits(std::mt19937& generator, int n) {
  std::uniform_int_distribution<uint32_t> draw(0, 999999999);
  std::u16string text;
  while (static_cast<int>(text.size()) < n) {
    const std::string number = std::to_string(draw(generator));
    text.append(number.begin(), number.end());
  }
  text.resize(static_cast<size_t>(std::max(n, 0)));
  return text;
}

// The generator is seeded from the system tick count at every approval. The
// tick count alone would repeat: two approvals within one millisecond (a host
// that approves in a loop, or a coarse timer that advances in 10-16 ms steps)
// would get the same seed and hand out the same digits. So the seed sequence
// mixes the tick count with a per-process count of approvals, which never
// repeats, and with a draw from the generator as the previous approval left
// it; std::seed_seq spreads any difference in its inputs over the whole
// mt19937 state. The tick count stays in, so digits differ between runs of
// the host as well.
void TApprovalDigits::Reseed(uint32_t tickCount) {
  ++approvals_;
  const uint32_t previous = static_cast<uint32_t>(generator_());
  std::seed_seq seed{tickCount, static_cast<uint32_t>(approvals_), static_cast<uint32_t>(approvals_ >> 32),
                     previous};
  generator_.seed(seed);
}

TApprovalDigits& LibraryApprovalDigits() {
  static TApprovalDigits digits;
  return digits;
}

// ---------------------------------------------------------------------------
// The device object

namespace {

// The operation window's button caption for each card operation.
const char16_t* OperationCaption(TMethodID id) {
  switch (id) {
  case m_PayByPaymentCard:
    return u"Оплата";
  case m_ReturnPaymentByPaymentCard:
    return u"Возврат";
  case m_CancelPaymentByPaymentCard:
    return u"Отмена платежа";
  case m_AuthorisationByPaymentCard:
    return u"Преавторизация";
  case m_AuthConfirmationByPaymentCard:
    return u"Завершение преавторизации";
  case m_CancelAuthorisationByPaymentCard:
    return u"Отмена преавторизации";
  default:
    return nullptr;
  }
}

} // namespace

int AskOperator(ui::IOperatorPrompt& prompt, const std::u16string& caption,
                const std::u16string& amountText) {
  ui::TDialogRun run(dialogs::ORVIK_DLG_PAY);
  run.ClassName = "CardSim";
  run.Texts = {{kPayOperationButton, caption}, {kPayAmountLabel, amountText}};
  const int answer = prompt.Ask(run);
  return answer == ui::kNoDisplay ? kPromptRefused : answer;
}

TCardSim_2001::TCardSim_2001() : Prompt(ui::ScreenPrompt()) {}

void TCardSim_2001::AfterConstruction() {
  TSetEmulator::AfterConstruction();
  EquipmentName = kCardEquipmentName;
  EquipmentType = kCardEquipmentType;
}

void TCardSim_2001::RegisterDeviceMethods() {
  RegisterMethodTable(CardTerminalMethods);
}

void TCardSim_2001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  if (const char16_t* caption = OperationCaption(methodId)) {
    CardOperation(caption, result, params);
    return;
  }
  switch (methodId) {
  case m_EmergencyReversal:
    EmergencyReversal(result, params);
    break;
  case m_Settlement:
    Settlement(result, params);
    break;
  case m_PrintSlipOnTerminal:
    // The emulated terminal prints no slips itself; the application does.
    SetResult(result, false);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

bool TCardSim_2001::WriteOutput(TParams& params, long k, std::u16string_view text) {
  if (params.SetText(k, text))
    return true;
  LastErrorText = kCardNoMemory;
  return false;
}

namespace {

// The outputs of an approval: the parameter, its count of fresh digits, and
// the key of a control-file line that fixes its value for tests.
struct ApprovalOutput {
  long param;
  int digits;
  const char16_t* key;
};
constexpr ApprovalOutput kApprovalOutputs[] = {{1, 20, u"CardNumber"},
                                               {3, 5, u"ReceiptNumber"},
                                               {4, 12, u"RRNCode"},
                                               {5, 6, u"AuthorizationCode"},
                                               {6, 0, u"Slip"}};

} // namespace

// Parameters: 0 DeviceID, 1 card number, 2 amount, 3 receipt number,
// 4 reference number, 5 authorisation code, 6 slip text. Only 0 and 2 are
// read; the rest are written on approval and left alone otherwise.
void TCardSim_2001::CardOperation(const char16_t* caption, tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  CardAmountText() = AmountText(params.Double(2));
  CardOperationCaption() = caption;
  // An automatic answer leaves the window unmade; a person answers otherwise.
  const TOperatorSetting setting = OperatorSetting();
  int answer = kPromptFailed;
  switch (setting.Mode) {
  case TOperatorMode::Invalid:
    LastErrorText = setting.Error;
    SetResult(result, false);
    return;
  case TOperatorMode::Approve:
    answer = kPromptApproved;
    break;
  case TOperatorMode::Refuse:
    answer = kPromptRefused;
    break;
  case TOperatorMode::Dialog:
    answer = Prompt ? AskOperator(*Prompt, CardOperationCaption(), CardAmountText()) : kPromptFailed;
    break;
  }
  if (answer != kPromptApproved) {
    if (answer == kPromptFailed)
      LastErrorText = kCardPromptFailure;
    SetResult(result, false);
    return;
  }
  TApprovalDigits& digits = LibraryApprovalDigits();
  digits.Reseed(TickCount());
  bool written = true;
  std::u16string fixedKeys;
  for (const ApprovalOutput& output : kApprovalOutputs) {
    const std::u16string* fixed = setting.Value(output.key);
    if (fixed != nullptr)
      fixedKeys += (fixedKeys.empty() ? u"" : u", ") + std::u16string(output.key);
    written =
        written && WriteOutput(params, output.param, fixed != nullptr ? *fixed : digits.Next(output.digits));
  }
  if (!fixedKeys.empty())
    NoteInLog(u"Значения из файла " + setting.Origin + u": " + fixedKeys);
  SetResult(result, written);
}

void TCardSim_2001::EmergencyReversal(tVariant& result, TParams& params) {
  if (RequireDevice(result, params))
    SetResult(result, true);
}

void TCardSim_2001::Settlement(tVariant& result, TParams& params) {
  if (RequireDevice(result, params))
    SetResult(result, WriteOutput(params, 1, u""));
}
