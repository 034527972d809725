// The fiscal register emulator object: settings, clock, the fourteen fiscal
// methods over the fiscal memory, the additional actions and the tape.
#include "FiscalSim.h"

#include "CallLog.h"
#include "Clock.h"
#include "FiscalRecord.h"
#include "FiscalTape.h"
#include "FiscalValues.h"
#include "HostValues.h"
#include "Json.h"
#include "TextCodec.h"
#include "TextDocument.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace {

namespace json = fiscal::json;

// The system clock as local seconds of the register's calendar.
int64_t SystemLocalSeconds() {
  const TLocalTime now = LocalTimeNow();
  return DaysFromCivil(now.Year, now.Month, now.Day) * kSecondsPerDay + now.Hour * 3600 + now.Minute * 60 +
         now.Second;
}

std::u16string TaxationList(uint32_t mask) {
  std::u16string list;
  for (int32_t code = 0; code <= kTaxationSystemMax; ++code)
    if ((mask & (1u << code)) != 0)
      list += (list.empty() ? u"" : u",") + Decimal(code);
  return list;
}

// A sum as the host gave it, for a message: its shortest decimal form
// ("100.005", "1e+300", "nan").
std::u16string AmountText(double amount) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", amount);
  return Utf8ToUtf16(text);
}

// The kind of a refusal of the fiscal memory, from its message.
TFiscalError MemoryRefusalCode(std::u16string_view message) {
  if (message.starts_with(u"Смена закрыта"))
    return TFiscalError::ShiftClosed;
  if (message.starts_with(u"Смена открыта"))
    return TFiscalError::ShiftOpen;
  if (message.starts_with(u"Длительность смены"))
    return TFiscalError::ShiftExpired;
  if (message.starts_with(u"Недостаточно наличных"))
    return TFiscalError::NoCash;
  if (message.starts_with(u"Фискальный накопитель закрыт"))
    return TFiscalError::DriveClosed;
  if (message.starts_with(u"Дата и время документа"))
    return TFiscalError::Clock;
  if (message.starts_with(u"ККТ"))
    return TFiscalError::Registration;
  return TFiscalError::Memory;
}

const char16_t* FormatVersionText(int64_t code) {
  static constexpr const char16_t* kVersions[] = {u"", u"1.0", u"1.05", u"1.1", u"1.2"};
  return code >= 1 && code <= 4 ? kVersions[code] : u"";
}

// The registration in force, as the journal's registration line holds it.
struct TRegistered {
  json::TMembers Members;
  std::u16string Text(std::string_view key) const {
    return Utf8ToUtf16(json::String(Members, key).value_or(std::string()));
  }
  int64_t Integer(std::string_view key) const { return json::Integer(Members, key).value_or(0); }
};
TRegistered RegisteredOf(const fiscal::TFiscalState& state) {
  TRegistered registered;
  if (!json::ParseObject(state.Registration, registered.Members))
    registered.Members.clear();
  return registered;
}

// The requisites a document carries: the registration's, with the cashier.
fiscal::TRequisites RequisitesOf(const fiscal::TFiscalState& state, const std::u16string& cashier,
                                 const std::u16string& cashierInn) {
  const TRegistered registered = RegisteredOf(state);
  fiscal::TRequisites r;
  r.CompanyName = registered.Text("1048");
  r.Inn = registered.Text("1018");
  r.SaleAddress = registered.Text("1009");
  r.SaleLocation = registered.Text("1187");
  r.RegistrationNumber = registered.Text("1037");
  r.SerialNumber = registered.Text("1013");
  r.FormatVersion = FormatVersionText(registered.Integer("1209"));
  r.TaxationSystems = TaxationList(static_cast<uint32_t>(registered.Integer("1055")));
  r.CashierName = cashier;
  r.CashierInn = cashierInn;
  return r;
}

} // namespace

// ---------------------------------------------------------------------------
// Settings, clock and amounts

std::u16string FiscalSettingsXml(const TFiscalSettings& settings, std::u16string_view logFilePath) {
  const std::u16string lineLength = Decimal(settings.LineLength);
  const std::u16string company = XmlEscape(settings.CompanyName), inn = XmlEscape(settings.Inn),
                       address = XmlEscape(settings.SaleAddress), place = XmlEscape(settings.SaleLocation),
                       taxation = XmlEscape(settings.TaxationSystems), number = XmlEscape(settings.KktNumber),
                       serial = XmlEscape(settings.KktSerial), drive = XmlEscape(settings.DriveSerial),
                       ffd = XmlEscape(settings.FfdVersion);
  const TSettingParameter parameters[] = {
      {u"CompanyName", u"Наименование организации", u"String", company.c_str()},
      {u"INN", u"ИНН организации", u"String", inn.c_str()},
      {u"SaleAddress", u"Адрес расчетов", u"String", address.c_str()},
      {u"SaleLocation", u"Место расчетов", u"String", place.c_str()},
      {u"TaxationSystems", u"Системы налогообложения (коды через запятую)", u"String", taxation.c_str()},
      {u"KKTNumber", u"Регистрационный номер ККТ", u"String", number.c_str()},
      {u"KKTSerialNumber", u"Заводской номер ККТ", u"String", serial.c_str()},
      {u"FNSerialNumber", u"Заводской номер ФН", u"String", drive.c_str()},
      {u"FFDVersion", u"Версия ФФД", u"String", ffd.c_str()},
      {u"LineLength", u"Ширина строки, символов", u"Number", lineLength.c_str()},
      {u"Show", u"Показывать на экране", u"Boolean", settings.ShowOnScreen ? u"true" : u"false"},
  };
  return DeviceSettingsXml(parameters, logFilePath);
}

TFiscalClock FiscalClockOf(const std::u16string* key, int64_t systemNow) {
  TFiscalClock clock;
  clock.Moment = systemNow;
  if (key == nullptr)
    return clock;
  clock.Key = *key;
  const std::string text = Utf16ToUtf8(*key);
  const auto fail = [&] {
    clock.Ok = false;
    clock.Error = u"Неверное значение часов регистратора в operator.txt: clock=" + *key +
                  u" (ожидается ГГГГ-ММ-ДДTЧЧ:ММ:СС или сдвиг вида +25h, -30m, +90s, +2d)";
    return clock;
  };
  if (const std::optional<int64_t> moment = fiscal::ParseDateTime(text)) {
    clock.Moment = *moment;
    clock.Fixed = true;
    return clock;
  }
  // A sign, up to six digits and a unit: years of offset at most.
  if (text.size() < 3 || text.size() > 8 || (text[0] != '+' && text[0] != '-'))
    return fail();
  int64_t count = 0;
  for (size_t k = 1; k + 1 < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9')
      return fail();
    count = count * 10 + (text[k] - '0');
  }
  int64_t unit = 0;
  switch (text.back()) {
  case 's':
    unit = 1;
    break;
  case 'm':
    unit = 60;
    break;
  case 'h':
    unit = 3600;
    break;
  case 'd':
    unit = kSecondsPerDay;
    break;
  default:
    return fail();
  }
  clock.Offset = (text[0] == '-' ? -count : count) * unit;
  clock.Moment = systemNow + clock.Offset;
  return clock;
}

bool AmountToKopecks(double amount, int64_t& kopecks) {
  // At most 10^11 roubles, a two-decimal value to the double's precision.
  if (!std::isfinite(amount) || std::fabs(amount) > 1e11)
    return false;
  const double scaled = amount * 100.0;
  const double rounded = std::round(scaled);
  if (std::fabs(scaled - rounded) > std::max(1e-6, std::fabs(scaled) * 4 * DBL_EPSILON))
    return false;
  kopecks = static_cast<int64_t>(rounded);
  return true;
}

// ---------------------------------------------------------------------------
// The emulator object

void TFiscalSim_3004::AfterConstruction() {
  EquipmentName = kFiscalEquipmentName;
  EquipmentType = kFiscalEquipmentType;
  TSetEmulator::AfterConstruction();
}

void TFiscalSim_3004::RegisterDeviceMethods() {
  RegisterMethodTable(FiscalRegisterMethods3);
}

void TFiscalSim_3004::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  if (methodId != m_GetLastError)
    ErrorCode_ = TFiscalError::None;
  if (RefusedWhileWaiting(methodId, result))
    return;
  switch (methodId) {
  case m_GetDataKKT:
    return GetDataKKT(result, params);
  case m_OperationFN:
    return OperationFN(result, params);
  case m_OpenShift:
    return OpenShift(result, params);
  case m_CloseShift:
    return CloseShift(result, params);
  case m_ProcessCheck:
    return ProcessCheck(result, params, false);
  case m_ProcessCorrectionCheck:
    return ProcessCheck(result, params, true);
  case m_PrintTextDocument:
    return PrintTextDocument(result, params);
  case m_CashInOutcome:
    return CashInOutcome(result, params);
  case m_PrintXReport:
    return PrintXReport(result, params);
  case m_PrintCheckCopy:
    return PrintCheckCopy(result, params);
  case m_GetCurrentStatus:
    return GetCurrentStatus(result, params, false);
  case m_ReportCurrentStatusOfSettlements:
    return GetCurrentStatus(result, params, true);
  case m_OpenCashDrawer:
    return OpenCashDrawer(result, params);
  case m_GetLineLength:
    return GetLineLength(result, params);
  case m_DoAdditionalAction:
    return DoAdditionalAction(result, params);
  case m_OpenSessionRegistrationKM:
    return OpenSessionRegistrationKM(result, params);
  case m_CloseSessionRegistrationKM:
    return CloseSessionRegistrationKM(result, params);
  case m_RequestKM:
    return RequestKM(result, params);
  case m_GetProcessingKMResult:
    return GetProcessingKMResult(result, params);
  case m_ConfirmKM:
    return ConfirmKM(result, params);
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

void TFiscalSim_3004::GetParameters(tVariant& result, TParams& params) {
  params.SetText(0, FiscalSettingsXml(Settings, LogFilePath));
  SetResult(result, true);
}

void TFiscalSim_3004::SetParameter(tVariant& result, TParams& params) {
  const std::u16string name = LowerAscii(params.Text(0));
  const auto text = [&] { return params.Text(1); };
  if (name == u"companyname")
    Settings.CompanyName = text();
  else if (name == u"inn")
    Settings.Inn = text();
  else if (name == u"saleaddress")
    Settings.SaleAddress = text();
  else if (name == u"salelocation")
    Settings.SaleLocation = text();
  else if (name == u"taxationsystems")
    Settings.TaxationSystems = text();
  else if (name == u"kktnumber")
    Settings.KktNumber = text();
  else if (name == u"kktserialnumber")
    Settings.KktSerial = text();
  else if (name == u"fnserialnumber")
    Settings.DriveSerial = text();
  else if (name == u"ffdversion")
    Settings.FfdVersion = text();
  else if (name == u"linelength")
    Settings.LineLength = std::clamp(params.Int(1), kReceiptMinLineLength, kReceiptMaxLineLength);
  else if (name == u"show")
    Settings.ShowOnScreen = params.Bool(1);
  SetResult(result, true);
}

void TFiscalSim_3004::GetLastError(tVariant& result, TParams& params) {
  // The code of the last call's refusal (0 after a success), its message out.
  int32_t code = 0;
  if (!LastErrorText.empty())
    code = static_cast<int32_t>(ErrorCode_ == TFiscalError::None ? TFiscalError::Device : ErrorCode_);
  if (!params.SetText(0, LastErrorText))
    return SetIntValue(Memory(), result, code);
  LastErrorText.clear();
  ErrorCode_ = TFiscalError::None;
  SetIntValue(Memory(), result, code);
}

void TFiscalSim_3004::GetAdditionalActions(tVariant& result, TParams& params) {
  params.SetText(0, u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Actions>"
                    u"<Action Name=\"ResetRegister\" Caption=\"Сбросить регистратор в новое состояние\"/>"
                    u"<Action Name=\"ReplaceDrive\" Caption=\"Заменить фискальный накопитель\"/>"
                    u"</Actions>");
  SetResult(result, true);
}

void TFiscalSim_3004::DoAdditionalAction(tVariant& result, TParams& params) {
  const std::u16string action = LowerAscii(params.Text(0));
  const bool reset = action == u"resetregister";
  if (!reset && action != u"replacedrive")
    return Refuse(result, TFiscalError::BadDocument, u"Неизвестное действие: " + params.Text(0));
  if (!Prepare(result))
    return;
  if (!reset) {
    // Only a closed drive is replaced; the new one numbers from 1.
    auto transaction = Memory_->Begin();
    if (!transaction)
      return Refuse(result, TFiscalError::Memory, transaction.Error());
    if (!transaction.State().DriveClosed)
      return Refuse(result, TFiscalError::Registration,
                    u"Фискальный накопитель не закрыт - замена невозможна");
  }
  if (const std::u16string failure = Memory_->Reset(); !failure.empty())
    return Refuse(result, TFiscalError::Memory, failure);
  Km_ = TKmSession{};
  if (!reset) {
    // The next serial: its trailing digits counted on by one, 9 carrying.
    std::u16string serial = Settings.DriveSerial;
    for (size_t k = serial.size(); k > 0; --k) {
      char16_t& digit = serial[k - 1];
      if (digit < u'0' || digit > u'9')
        break;
      if (digit != u'9') {
        ++digit;
        break;
      }
      digit = u'0';
    }
    Settings.DriveSerial = serial;
    Memory_.reset();
    NoteInLog(u"Фискальный накопитель заменён: новый заводской номер " + serial +
              u", журнал прежнего отложен");
  } else {
    NoteInLog(u"Регистратор сброшен в новое состояние: журнал отложен, регистрация по настройкам при "
              u"следующем вызове");
  }
  SetResult(result, true);
}

std::u16string TFiscalSim_3004::TapeFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_tape.txt";
}

std::u16string TFiscalSim_3004::JournalFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_journal.jsonl";
}

void TFiscalSim_3004::Refuse(tVariant& result, TFiscalError code, std::u16string_view message) {
  Fail(result, message);
  ErrorCode_ = code;
}

bool TFiscalSim_3004::Prepare(tVariant& result) {
  const TOperatorSetting setting = OperatorSetting();
  Clock_ = FiscalClockOf(setting.Value(u"clock"), SystemLocalSeconds());
  if (!Clock_.Ok) {
    Refuse(result, TFiscalError::Clock, Clock_.Error);
    return false;
  }
  if (!Clock_.Key.empty())
    NoteInLog(u"Часы регистратора по operator.txt: clock=" + Clock_.Key + u", время регистратора " +
              Utf8ToUtf16(fiscal::FormatDateTime(Clock_.Moment)));
  if (Memory_ && MemorySerial_ == Settings.DriveSerial)
    return true;
  int error = 0;
  const std::filesystem::path folder = TCallLog::DataFolder(true, &error);
  if (folder.empty()) {
    Refuse(result, TFiscalError::Memory,
           u"Фискальная память недоступна: нет папки данных (" + TCallLog::ErrorText(error) + u")");
    return false;
  }
  const std::filesystem::path journal = folder / std::filesystem::path(JournalFileName());
  const auto make = [&](const std::string& serial) {
    Memory_ = std::make_unique<fiscal::TFiscalMemory>(
        journal, [this] { return Clock_.Fixed ? Clock_.Moment : SystemLocalSeconds() + Clock_.Offset; },
        serial, "orvik-drive-key-" + serial);
  };
  make(Utf16ToUtf8(Settings.DriveSerial));
  MemorySerial_ = Settings.DriveSerial;
  // The setting names the drive of a first registration; a registered journal
  // names its own, which then signs whatever this object's setting says (a
  // drive replaced by another object, or settings saved before it was).
  std::string registered;
  if (auto transaction = Memory_->Begin(); transaction && transaction.State().Registered)
    registered = json::String(RegisteredOf(transaction.State()).Members, "1041").value_or(std::string());
  if (!registered.empty() && registered != Utf16ToUtf8(Settings.DriveSerial))
    make(registered);
  return true;
}

fiscal::TRequisites TFiscalSim_3004::SettingsRequisites() const {
  fiscal::TRequisites r;
  r.CompanyName = Settings.CompanyName;
  r.Inn = Settings.Inn;
  r.SaleAddress = Settings.SaleAddress;
  r.SaleLocation = Settings.SaleLocation;
  r.RegistrationNumber = Settings.KktNumber;
  r.SerialNumber = Settings.KktSerial;
  r.FormatVersion = Settings.FfdVersion;
  r.TaxationSystems = Settings.TaxationSystems;
  return r;
}

std::optional<fiscal::TFiscalMemory::TTransaction> TFiscalSim_3004::BeginFiscalCall(tVariant& result) {
  if (!Prepare(result))
    return std::nullopt;
  auto transaction = Memory_->Begin();
  if (!transaction) {
    Refuse(result, TFiscalError::Memory, transaction.Error());
    return std::nullopt;
  }
  if (!RegisterIfNew(result, transaction))
    return std::nullopt;
  return std::optional<fiscal::TFiscalMemory::TTransaction>(std::move(transaction));
}

bool TFiscalSim_3004::RegisterIfNew(tVariant& result, fiscal::TFiscalMemory::TTransaction& transaction) {
  if (transaction.State().Documents != 0)
    return true;
  // The settings are what a registration would be refused for on a real
  // register: an INN of the wrong form, no taxation system of the codes.
  if (!fiscal::IsInn(Utf16ToUtf8(Settings.Inn))) {
    Refuse(result, TFiscalError::Registration,
           u"Регистрация ККТ невозможна: неверный ИНН организации в настройках \"" + Settings.Inn +
               u"\" (нужно 10 или 12 цифр)");
    return false;
  }
  if (Settings.TaxationSystems.empty() ||
      !fiscal::IsCodeList(Utf16ToUtf8(Settings.TaxationSystems), 0, kTaxationSystemMax)) {
    Refuse(result, TFiscalError::Registration,
           u"Регистрация ККТ невозможна: неверные системы налогообложения в настройках \"" +
               Settings.TaxationSystems + u"\" (коды от 0 до 5 через запятую)");
    return false;
  }
  fiscal::TDocument document;
  document.Type = fiscal::TDocumentType::Registration;
  const std::string members = fiscal::RegistrationRecord(SettingsRequisites());
  const std::optional<fiscal::TLastDocument> committed = Commit(result, transaction, document, members);
  if (!committed)
    return false;
  NoteInLog(u"Регистратор зарегистрирован по настройкам: документ № " + Decimal(committed->Number));
  PrintLine(committed->Line, false);
  return true;
}

std::optional<fiscal::TLastDocument>
TFiscalSim_3004::Commit(tVariant& result, fiscal::TFiscalMemory::TTransaction& transaction,
                        fiscal::TDocument document, const std::string& members,
                        const fiscal::TFollowUp& followUp, std::optional<fiscal::TLastDocument>* followed) {
  // The clock key in force goes into the line as a member of its own.
  std::string extra = members;
  if (!Clock_.Key.empty()) {
    const std::string clock = "\"clock\":" + json::Quote(Utf16ToUtf8(Clock_.Key)) + "}";
    if (extra.size() > 2 && extra.back() == '}') {
      extra.back() = ',';
      extra += clock;
    } else {
      extra = "{" + clock;
    }
  }
  document.Extra = extra;
  fiscal::TCommitResult committed = transaction.Commit(document, followUp);
  if (!committed.Ok) {
    Refuse(result, MemoryRefusalCode(committed.Error), committed.Error);
    return std::nullopt;
  }
  if (followed != nullptr)
    *followed = std::move(committed.FollowUp);
  return std::move(committed.Document);
}

std::u16string TFiscalSim_3004::Feed(const std::vector<TTapeLine>& lines) {
  return Paper.Feed(lines, TapeFileName(), Settings.LineLength, Settings.ShowOnScreen, EquipmentName);
}

void TFiscalSim_3004::PrintLine(const std::string& line, bool copy, bool print) {
  if (!print) {
    NoteInLog(u"Документ не напечатан: печать не требуется (PrintRequired=false)");
    return;
  }
  // The document stands in the fiscal memory whatever the paper does: a tape
  // that cannot be written is said in the log, and the call still succeeds,
  // as a real register's document is made even when its printing jams.
  if (const std::u16string failure = Feed(fiscal::FiscalTapeLines(line, Settings.LineLength, copy));
      !failure.empty())
    NoteInLog(u"Документ записан в фискальную память, но не напечатан: " + failure);
}

// ---------------------------------------------------------------------------
// The fiscal methods

void TFiscalSim_3004::GetDataKKT(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  auto transaction = BeginFiscalCall(result);
  if (!transaction)
    return;
  const fiscal::TFiscalState& state = transaction->State();
  const TRegistered registration = RegisteredOf(state);
  TKktParameters kkt;
  kkt.KKTNumber = registration.Text("1037");
  kkt.KKTSerialNumber = registration.Text("1013");
  kkt.FirmwareVersion = u"1.0";
  kkt.Fiscal = state.Registered && !state.DriveClosed;
  kkt.FFDVersionFN = FormatVersionText(registration.Integer("1209"));
  kkt.FFDVersionKKT = kkt.FFDVersionFN;
  kkt.FNSerialNumber = registration.Text("1041");
  kkt.DocumentNumber = Decimal(registration.Integer("1040"));
  kkt.DateTime = registration.Text("1012");
  kkt.CompanyName = registration.Text("1048");
  kkt.INN = registration.Text("1018");
  kkt.SaleAddress = registration.Text("1009");
  kkt.SaleLocation = registration.Text("1187");
  kkt.TaxationSystems = TaxationList(static_cast<uint32_t>(registration.Integer("1055")));
  kkt.FNSURL = kFiscalTaxSite;
  params.SetText(1, TableParametersKktXml(kkt));
  SetResult(result, true);
}

void TFiscalSim_3004::OperationFN(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const int32_t operation = params.Int(1);
  if (operation < 1 || operation > 3)
    return Refuse(result, TFiscalError::BadDocument,
                  u"Неверный тип операции с ФН: " + Decimal(operation) + u" (ожидается 1, 2 или 3)");
  TParametersFiscal fiscalParameters;
  if (const std::u16string fault = ReadParametersFiscal(params.TextView(2), fiscalParameters); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  if (!Prepare(result))
    return;
  auto transaction = Memory_->Begin();
  if (!transaction)
    return Refuse(result, TFiscalError::Memory, transaction.Error());
  const fiscal::TFiscalState& state = transaction.State();
  // What ParametersFiscal does not give stays as registered (or as set, for
  // a first registration); closing the drive changes nothing.
  const fiscal::TRequisites before = state.Registered ? RequisitesOf(state, {}, {}) : SettingsRequisites();
  fiscal::TRequisites requisites = fiscal::RequisitesOf(fiscalParameters);
  for (auto [given, kept] :
       {std::pair{&requisites.CompanyName, &before.CompanyName}, std::pair{&requisites.Inn, &before.Inn},
        std::pair{&requisites.SaleAddress, &before.SaleAddress},
        std::pair{&requisites.SaleLocation, &before.SaleLocation},
        std::pair{&requisites.RegistrationNumber, &before.RegistrationNumber},
        std::pair{&requisites.SerialNumber, &before.SerialNumber},
        std::pair{&requisites.FormatVersion, &before.FormatVersion},
        std::pair{&requisites.TaxationSystems, &before.TaxationSystems}})
    if (given->empty() || operation == 3)
      *given = *kept;
  fiscal::TDocument document;
  document.Type = operation == 3                        ? fiscal::TDocumentType::CloseDrive
                  : operation == 1 && !state.Registered ? fiscal::TDocumentType::Registration
                                                        : fiscal::TDocumentType::ChangeRegistration;
  const std::string members = fiscal::RegistrationRecord(requisites, fiscalParameters.RegistrationLabelCodes);
  const std::optional<fiscal::TLastDocument> committed = Commit(result, transaction, document, members);
  if (!committed)
    return;
  PrintLine(committed->Line, false);
  SetResult(result, true);
}

namespace {

TShiftOutput ShiftOutputOf(const fiscal::TFiscalState& state, const std::string& dateTime) {
  TShiftOutput output;
  output.ShiftNumber = state.ShiftNumber;
  output.CheckNumber = state.NextDocumentNumber - 1;
  output.ShiftClosingCheckNumber = state.NextReceiptNumber - 1;
  output.DateTime = Utf8ToUtf16(dateTime);
  output.ShiftState = static_cast<int32_t>(state.Shift);
  for (size_t k = 0; k < 4; ++k) {
    output.Counters[k].CheckCount = state.Counters[k].CheckCount;
    output.Counters[k].TotalChecksAmount = state.Counters[k].TotalChecksAmount;
    output.Counters[k].CorrectionCheckCount = state.Counters[k].CorrectionCheckCount;
    output.Counters[k].TotalCorrectionChecksAmount = state.Counters[k].TotalCorrectionChecksAmount;
  }
  output.CashBalance = state.CashBalance;
  return output;
}

} // namespace

void TFiscalSim_3004::OpenShift(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  TInputParameters input;
  if (const std::u16string fault = ReadInputParameters(params.TextView(1), input); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  auto transaction = BeginFiscalCall(result);
  if (!transaction)
    return;
  fiscal::TDocument document;
  document.Type = fiscal::TDocumentType::OpenShift;
  const std::optional<fiscal::TLastDocument> committed =
      Commit(result, *transaction, document,
             fiscal::ShiftRecord(RequisitesOf(transaction->State(), input.CashierName, input.CashierINN)));
  if (!committed)
    return;
  params.SetText(2, OutputParametersXml(TShiftMethod::OpenShift,
                                        ShiftOutputOf(transaction->State(), committed->DateTime)));
  PrintLine(committed->Line, false, input.PrintRequired);
  SetResult(result, true);
}

void TFiscalSim_3004::CloseShift(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  TInputParameters input;
  if (const std::u16string fault = ReadInputParameters(params.TextView(1), input); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  auto transaction = BeginFiscalCall(result);
  if (!transaction)
    return;
  // The report carries the shift's counters as they stood at its close.
  const TShiftOutput before = ShiftOutputOf(transaction->State(), {});
  fiscal::TDocument document;
  document.Type = fiscal::TDocumentType::CloseShift;
  const std::optional<fiscal::TLastDocument> committed =
      Commit(result, *transaction, document,
             fiscal::ReportRecord(document.Type,
                                  RequisitesOf(transaction->State(), input.CashierName, input.CashierINN),
                                  transaction->State()));
  if (!committed)
    return;
  TShiftOutput output = ShiftOutputOf(transaction->State(), committed->DateTime);
  output.Counters = before.Counters;
  params.SetText(2, OutputParametersXml(TShiftMethod::CloseShift, output));
  PrintLine(committed->Line, false, input.PrintRequired);
  SetResult(result, true);
}

void TFiscalSim_3004::ProcessCheck(tVariant& result, TParams& params, bool correction) {
  if (!RequireDevice(result, params))
    return;
  const long packageAt = correction ? 1 : 2;
  const bool electronically = !correction && params.Bool(1);
  TReceipt receipt;
  if (const std::u16string fault = ReadCheckPackage(params.TextView(packageAt), receipt); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  auto transaction = BeginFiscalCall(result);
  if (!transaction)
    return;
  const fiscal::TFiscalState& state = transaction->State();
  // The state comes before the receipt's own rules, as on a real register.
  if (state.DriveClosed)
    return Refuse(result, TFiscalError::DriveClosed, u"Фискальный накопитель закрыт - операция невозможна");
  if (state.Shift == fiscal::TShiftState::Closed)
    return Refuse(result, TFiscalError::ShiftClosed, u"Смена закрыта - операция невозможна");
  if (state.Shift == fiscal::TShiftState::Expired)
    return Refuse(result, TFiscalError::ShiftExpired,
                  u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет");
  TRegistration registration;
  registration.TaxationSystems = static_cast<uint32_t>(RegisteredOf(state).Integer("1055"));
  const TReceiptVerdict verdict = CheckReceiptRules(receipt, registration, state.CashBalance, correction);
  if (verdict.Fault != TReceiptFault::None)
    return Refuse(result,
                  verdict.Fault == TReceiptFault::NoCash ? TFiscalError::NoCash : TFiscalError::Receipt,
                  verdict.Message);
  if (const std::u16string refusal = CheckMarkedLines(receipt); !refusal.empty())
    return Refuse(result, TFiscalError::Marking, refusal);
  const TReceiptTotals& totals = verdict.Totals;
  fiscal::TDocument document;
  document.Type = correction ? fiscal::TDocumentType::Correction : fiscal::TDocumentType::Receipt;
  document.OperationType = static_cast<int>(receipt.OperationType);
  document.Total = totals.Total;
  document.Cash = totals.Cash;
  document.Change = totals.Change;
  document.Electronic = totals.Electronic;
  document.Prepayment = totals.Prepayment;
  document.Postpayment = totals.Postpayment;
  document.Barter = totals.Barter;
  const std::string members = fiscal::ReceiptRecord(RequisitesOf(state, {}, {}), receipt, totals);
  // The notice of the sale of the receipt's marked lines, formed with it in
  // one record: the receipt stands only with its notice.
  const fiscal::TFollowUp notice =
      [&receipt](const fiscal::TFiscalState& after,
                 const fiscal::TLastDocument& first) -> std::optional<fiscal::TDocument> {
    std::string members = fiscal::MarkingNoticeRecord(
        RequisitesOf(after, receipt.CashierName, receipt.CashierINN), receipt, first.Number);
    if (members.empty())
      return std::nullopt;
    fiscal::TDocument document;
    document.Type = fiscal::TDocumentType::MarkingNotice;
    document.Extra = std::move(members);
    return document;
  };
  std::optional<fiscal::TLastDocument> noticed;
  const std::optional<fiscal::TLastDocument> committed =
      Commit(result, *transaction, document, members, notice, &noticed);
  if (!committed)
    return;
  TDocumentOutput output;
  output.ShiftNumber = transaction->State().ShiftNumber;
  output.CheckNumber = committed->Number;
  output.ShiftClosingCheckNumber = transaction->State().NextReceiptNumber - 1;
  output.AddressSiteInspections = kFiscalTaxSite;
  output.FiscalSign = Utf8ToUtf16(committed->FiscalSign);
  output.DateTime = Utf8ToUtf16(committed->DateTime);
  params.SetText(packageAt + 1, DocumentOutputParametersXml(output));
  FinishMarkedReceipt(noticed);
  if (electronically)
    NoteInLog(u"Чек сформирован в электронной форме: не напечатан");
  else
    PrintLine(committed->Line, false);
  SetResult(result, true);
}

void TFiscalSim_3004::PrintTextDocument(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  // The same Document as the receipt printer's, with the register's four
  // barcode types: its reader is the register's.
  std::vector<TPrintItem> items;
  if (const std::u16string fault = ReadTextDocument(params.TextView(1), items); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  if (const std::u16string failure = Feed(LayOutDocument(items, Settings.LineLength)); !failure.empty())
    return Refuse(result, TFiscalError::Device, failure);
  SetResult(result, true);
}

void TFiscalSim_3004::CashInOutcome(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  TInputParameters input;
  if (const std::u16string fault = ReadInputParameters(params.TextView(1), input); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  const double amount = params.Double(2);
  int64_t kopecks = 0;
  if (!AmountToKopecks(amount, kopecks))
    return Refuse(result, TFiscalError::BadDocument,
                  u"Неверная сумма внесения или выплаты: " + AmountText(amount) +
                      u" (ожидается сумма в рублях не более чем с двумя знаками после запятой)");
  auto transaction = BeginFiscalCall(result);
  if (!transaction)
    return;
  fiscal::TDocument document;
  // 0 and more is a deposit, below 0 a withdrawal.
  document.Type = kopecks >= 0 ? fiscal::TDocumentType::CashIn : fiscal::TDocumentType::CashOut;
  document.Total = kopecks >= 0 ? kopecks : -kopecks;
  const std::optional<fiscal::TLastDocument> committed =
      Commit(result, *transaction, document,
             fiscal::ShiftRecord(RequisitesOf(transaction->State(), input.CashierName, input.CashierINN)));
  if (!committed)
    return;
  PrintLine(committed->Line, false, input.PrintRequired);
  SetResult(result, true);
}

void TFiscalSim_3004::PrintXReport(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  TInputParameters input;
  if (const std::u16string fault = ReadInputParameters(params.TextView(1), input); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  auto transaction = BeginFiscalCall(result);
  if (!transaction)
    return;
  fiscal::TDocument document;
  document.Type = fiscal::TDocumentType::XReport;
  const std::optional<fiscal::TLastDocument> committed =
      Commit(result, *transaction, document,
             fiscal::ReportRecord(document.Type,
                                  RequisitesOf(transaction->State(), input.CashierName, input.CashierINN),
                                  transaction->State()));
  if (!committed)
    return;
  PrintLine(committed->Line, false, input.PrintRequired);
  SetResult(result, true);
}

void TFiscalSim_3004::PrintCheckCopy(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const std::u16string given = params.Text(1);
  int32_t number = 0;
  const std::string digits = Utf16ToUtf8(given);
  if (!digits.empty() && !fiscal::ParseInt(digits, 1, INT32_MAX, number))
    return Refuse(result, TFiscalError::BadDocument, u"Неверный номер документа: " + given);
  if (!Prepare(result))
    return;
  auto transaction = Memory_->Begin();
  if (!transaction)
    return Refuse(result, TFiscalError::Memory, transaction.Error());
  // Empty means the last fiscal document.
  const fiscal::TFiscalState& state = transaction.State();
  const int64_t wanted = digits.empty() ? state.NextDocumentNumber - 1 : number;
  std::string found;
  if (wanted >= 1 && wanted < state.NextDocumentNumber) {
    // Every fiscal line begins {"type":"<name>","1040":<number>, so the
    // number is found at its place without reading the line whole.
    std::ifstream journal(Memory_->Path(), std::ios::binary);
    const std::string key = ",\"1040\":" + std::to_string(wanted) + ",";
    for (std::string line; found.empty() && std::getline(journal, line);)
      if (const size_t at = line.find(key); at != std::string::npos && line.find(',') == at)
        found = line;
  }
  if (found.empty())
    return Refuse(result, TFiscalError::NotFound,
                  u"Документ № " + (digits.empty() ? u"0" : given) + u" не найден в фискальном накопителе");
  if (const std::u16string failure = Feed(fiscal::FiscalTapeLines(found, Settings.LineLength, true));
      !failure.empty())
    return Refuse(result, TFiscalError::Device, failure);
  SetResult(result, true);
}

void TFiscalSim_3004::GetCurrentStatus(tVariant& result, TParams& params, bool settlements) {
  if (!RequireDevice(result, params))
    return;
  TInputParameters input;
  if (const std::u16string fault = ReadInputParameters(params.TextView(1), input); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  auto transaction = BeginFiscalCall(result);
  if (!transaction)
    return;
  std::string dateTime;
  if (settlements) {
    // The settlements report is a fiscal document of its own.
    fiscal::TDocument document;
    document.Type = fiscal::TDocumentType::SettlementsReport;
    const std::optional<fiscal::TLastDocument> committed =
        Commit(result, *transaction, document,
               fiscal::ReportRecord(document.Type,
                                    RequisitesOf(transaction->State(), input.CashierName, input.CashierINN),
                                    transaction->State()));
    if (!committed)
      return;
    dateTime = committed->DateTime;
    PrintLine(committed->Line, false, input.PrintRequired);
  }
  params.SetText(2, OutputParametersXml(settlements ? TShiftMethod::ReportCurrentStatusOfSettlements
                                                    : TShiftMethod::GetCurrentStatus,
                                        ShiftOutputOf(transaction->State(), dateTime)));
  SetResult(result, true);
}

void TFiscalSim_3004::OpenCashDrawer(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  if (const std::u16string failure =
          Feed({TTapeLine{TTapeKind::Drawer, TBarcodeType::EAN13, u"*** Денежный ящик открыт ***"}});
      !failure.empty())
    return Refuse(result, TFiscalError::Device, failure);
  SetResult(result, true);
}

void TFiscalSim_3004::GetLineLength(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  params.SetInt(1, Settings.LineLength);
  SetResult(result, true);
}
