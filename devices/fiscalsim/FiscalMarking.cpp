// The register's session of marking codes: each code requested is read by the
// drive at once, then answered by the marking system as the control file
// scripts it (accepted unless told otherwise), confirmed by the caller, and
// only then sold; the receipt that sells codes records the notice of their
// sale and closes the session.
#include "FiscalSim.h"

#include "TextCodec.h"

#include <chrono>

namespace {

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Codes one session may hold: far more than a receipt has lines.
constexpr size_t kSessionCodesMax = 1000;

constexpr char16_t kNoSession[] = u"Сессия регистрации кодов маркировки не открыта - операция невозможна";

// The drive's bits of a code it read: checked, and positive when it read well.
int32_t DriveBits(const fiscal::TMarkingCode& code) {
  return code.Ok ? 1 | 2 : 1;
}

// The control file's rule for a GTIN: its own key km.<GTIN>, else km, else
// acceptance. Nothing, with error set, when the rule in force is malformed.
std::optional<fiscal::TKmAnswer> KmRuleFor(const TOperatorSetting& setting, const std::string& gtin,
                                           std::u16string& error) {
  const std::u16string own = u"km." + Utf8ToUtf16(gtin);
  const std::u16string* value = gtin.empty() ? nullptr : setting.Value(own);
  const std::u16string key = value != nullptr ? own : u"km";
  if (value == nullptr)
    value = setting.Value(u"km");
  if (value == nullptr) {
    fiscal::TKmAnswer answer;
    answer.Rule = u"km=accept (по умолчанию)";
    return answer;
  }
  std::optional<fiscal::TKmAnswer> answer = fiscal::ParseKmAnswer(*value, error);
  if (!answer) {
    error = u"Неверный ответ системы маркировки в operator.txt: " + key + u"=" + *value + u": " + error;
    return std::nullopt;
  }
  answer->Rule = key + u"=" + *value;
  return answer;
}

} // namespace

int32_t TKmRequest::ResultCode() const {
  const int32_t drive = DriveBits(Code);
  if (!Sent || State != TState::Received)
    return drive;
  return Answer.Kind == fiscal::TKmAnswer::TKind::Accept ? 15 : Answer.ResultCode;
}

bool TKmRequest::Sellable() const {
  if (!Code.Ok)
    return false;
  if (LocalOnly)
    return Confirmed != 1;
  return State != TState::Pending && Confirmed == 0 &&
         !(State == TState::Received && Answer.Kind == fiscal::TKmAnswer::TKind::Reject);
}

bool TFiscalSim_3004::RefusedWhileWaiting(TMethodID methodId, tVariant& result) {
  if (!Km_.Open || !Km_.Waiting())
    return false;
  // Only the answer's polling, the session's closing and the methods every
  // device has run while a code waits for the marking system.
  switch (methodId) {
  case m_GetDataKKT:
  case m_OperationFN:
  case m_OpenShift:
  case m_CloseShift:
  case m_ProcessCheck:
  case m_ProcessCorrectionCheck:
  case m_PrintTextDocument:
  case m_CashInOutcome:
  case m_PrintXReport:
  case m_PrintCheckCopy:
  case m_GetCurrentStatus:
  case m_ReportCurrentStatusOfSettlements:
  case m_OpenCashDrawer:
  case m_GetLineLength:
  case m_OpenSessionRegistrationKM:
  case m_RequestKM:
  case m_ConfirmKM:
    Refuse(result, TFiscalError::Marking,
           u"Код маркировки " + Km_.Requests.back().Guid +
               u" ожидает ответа системы маркировки: до его получения (ПолучитьРезультатыЗапросаКМ) "
               u"операция невозможна");
    return true;
  default:
    return false;
  }
}

void TFiscalSim_3004::OpenSessionRegistrationKM(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  // A session left open (a receipt abandoned) is replaced by the new one.
  if (Km_.Open && !Km_.Requests.empty())
    NoteInLog(u"Прежняя сессия регистрации кодов маркировки закрыта: запрошенные коды отменены (" +
              Decimal(static_cast<long long>(Km_.Requests.size())) + u")");
  Km_ = TKmSession{};
  Km_.Open = true;
  SetResult(result, true);
}

void TFiscalSim_3004::CloseSessionRegistrationKM(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  if (!Km_.Open)
    NoteInLog(u"Сессия регистрации кодов маркировки не была открыта");
  else if (!Km_.Requests.empty())
    NoteInLog(u"Сессия регистрации кодов маркировки закрыта: запрошенные коды отменены (" +
              Decimal(static_cast<long long>(Km_.Requests.size())) + u")");
  Km_ = TKmSession{};
  SetResult(result, true);
}

void TFiscalSim_3004::RequestKM(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  if (!Km_.Open)
    return Refuse(result, TFiscalError::Marking, kNoSession);
  fiscal::TRequestKm request;
  if (const std::u16string fault = fiscal::ReadRequestKm(params.TextView(1), request); !fault.empty())
    return Refuse(result, TFiscalError::BadDocument, fault);
  if (Km_.Requests.size() >= kSessionCodesMax)
    return Refuse(result, TFiscalError::Marking,
                  u"В сессии регистрации кодов маркировки уже " +
                      Decimal(static_cast<long long>(kSessionCodesMax)) +
                      u" кодов: закройте её чеком или ЗакрытьСессиюРегистрацииКМ");
  for (const TKmRequest& earlier : Km_.Requests)
    if (earlier.Guid == request.Guid)
      return Refuse(result, TFiscalError::Marking,
                    u"Запрос с идентификатором " + request.Guid + u" уже был в этой сессии");
  TKmRequest km;
  km.Guid = request.Guid;
  km.Base64 = request.MarkingCode;
  km.Code = fiscal::ReadMarkingCodeBase64(Utf16ToUtf8(request.MarkingCode));
  km.PlannedStatus = request.PlannedStatus;
  km.LocalOnly = request.NotSendToServer;
  km.Sent = km.Code.Ok && !km.LocalOnly;
  if (km.Sent) {
    std::u16string error;
    std::optional<fiscal::TKmAnswer> answer = KmRuleFor(OperatorSetting(), km.Code.Gtin, error);
    if (!answer)
      return Refuse(result, TFiscalError::Marking, error);
    km.Answer = std::move(*answer);
    km.State = TKmRequest::TState::Pending;
    km.AnswerAt = SteadyMilliseconds() + int64_t{km.Answer.DelaySeconds} * 1000;
    NoteInLog(u"Код " + fiscal::ShortMarkingCode(km.Code.Raw, 40) + u" (GTIN " + Utf8ToUtf16(km.Code.Gtin) +
              u"): ответ системы маркировки по правилу " + km.Answer.Rule);
  } else if (!km.Code.Ok) {
    NoteInLog(u"Код не прошёл проверку в ФН: " + km.Code.Error);
  } else {
    NoteInLog(u"Код проверен только в ФН (NotSendToServer)");
  }
  params.SetText(2, fiscal::RequestKmResultXml(true, km.Code.Ok));
  Km_.Requests.push_back(std::move(km));
  SetResult(result, true);
}

void TFiscalSim_3004::GetProcessingKMResult(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  if (!Km_.Open)
    return Refuse(result, TFiscalError::Marking, kNoSession);
  if (Km_.Requests.empty())
    return Refuse(result, TFiscalError::Marking, u"В сессии нет запроса кода маркировки");
  // The last request is the one polled: an earlier one was resolved before
  // the next could be made.
  TKmRequest& km = Km_.Requests.back();
  if (km.State == TKmRequest::TState::Pending && SteadyMilliseconds() >= km.AnswerAt)
    km.State = km.Answer.Kind == fiscal::TKmAnswer::TKind::Unreachable ? TKmRequest::TState::Unreachable
                                                                       : TKmRequest::TState::Received;
  fiscal::TProcessingKmResult answer;
  answer.Guid = km.Guid;
  answer.ResultCode = km.ResultCode();
  int32_t status = 0;
  if (km.State == TKmRequest::TState::Pending) {
    status = 1;
  } else if (km.State == TKmRequest::TState::Unreachable) {
    status = 2;
  } else {
    // The system's verdict, or the drive's for a code not sent (a reject
    // rule's result code says what it says, the code stays refused).
    answer.Result = km.Sent ? km.Answer.Kind == fiscal::TKmAnswer::TKind::Accept : km.Code.Ok;
    // Table 106: 1 the planned status is correct, 2 it is not.
    answer.StatusInfo = km.Sent ? (answer.Result ? 1 : 2) : 0;
  }
  if (status != 1)
    NoteInLog(u"Ответ по коду " + km.Guid + u": статус " + Decimal(status) + u", код результата " +
              Decimal(answer.ResultCode) + (km.Sent ? u" (" + km.Answer.Rule + u")" : std::u16string()));
  params.SetText(1, fiscal::ProcessingKmResultXml(answer));
  params.SetInt(2, status);
  SetResult(result, true);
}

void TFiscalSim_3004::ConfirmKM(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  if (!Km_.Open)
    return Refuse(result, TFiscalError::Marking, kNoSession);
  const std::u16string guid = params.Text(1);
  const int32_t type = params.Int(2);
  if (type != 0 && type != 1)
    return Refuse(result, TFiscalError::BadDocument,
                  u"Неверный тип подтверждения: " + Decimal(type) + u" (ожидается 0 или 1)");
  for (TKmRequest& km : Km_.Requests) {
    if (km.Guid != guid)
      continue;
    if (km.State == TKmRequest::TState::Pending)
      return Refuse(result, TFiscalError::Marking,
                    u"Ответ системы маркировки по запросу " + guid + u" ещё не получен");
    km.Confirmed = type;
    NoteInLog(type == 0 ? u"Код будет реализован в документе" : u"Код не будет реализован");
    return SetResult(result, true);
  }
  Refuse(result, TFiscalError::Marking, u"Запрос с идентификатором " + guid + u" не найден в сессии");
}

std::u16string TFiscalSim_3004::CheckMarkedLines(TReceipt& receipt) {
  int32_t number = 0;
  std::vector<const TKmRequest*> sold;
  for (TPosition& position : receipt.Positions) {
    if (position.Kind != TPositionKind::Fiscal)
      continue;
    ++number;
    TFiscalLine& line = position.Line;
    if (line.MarkingCode.empty())
      continue;
    const std::u16string where = u"Код маркировки в строке " + Decimal(number) + u" \"" + line.Name + u"\" ";
    // The same code may come in another Base64 spelling: compared decoded.
    const fiscal::TMarkingCode given = fiscal::ReadMarkingCodeBase64(Utf16ToUtf8(line.MarkingCode));
    const TKmRequest* found = nullptr;
    for (const TKmRequest& km : Km_.Requests)
      if (km.Base64 == line.MarkingCode || (!given.Raw.empty() && km.Code.Raw == given.Raw))
        found = &km;
    if (!Km_.Open || found == nullptr)
      return where + u"не был запрошен в сессии регистрации кодов маркировки (ЗапросКМ)";
    for (const TKmRequest* other : sold)
      if (other == found)
        return where + u"уже указан в другой строке чека";
    sold.push_back(found);
    if (!found->Code.Ok)
      return where + u"не прошёл проверку в ФН: " + found->Code.Error;
    if (found->State == TKmRequest::TState::Received && found->Sent &&
        found->Answer.Kind == fiscal::TKmAnswer::TKind::Reject)
      return where + u"отклонён системой маркировки (код результата " + Decimal(found->ResultCode()) + u")";
    if (found->Confirmed == 1)
      return where + u"отказан при подтверждении (ПодтвердитьКМ с типом 1)";
    if (!found->Sellable())
      return where + u"не подтверждён к реализации (ПодтвердитьКМ)";
    TLineMarking& marking = line.Marking.emplace();
    marking.Code = found->Code.Raw;
    marking.Gtin = found->Code.Gtin;
    marking.Serial = found->Code.Serial;
    marking.PlannedStatus = found->PlannedStatus;
    marking.ResultCode = found->ResultCode();
    marking.Rule = found->Sent ? found->Answer.Rule : u"NotSendToServer";
  }
  return {};
}

void TFiscalSim_3004::FinishMarkedReceipt(const std::optional<fiscal::TLastDocument>& notice) {
  if (Km_.Open)
    NoteInLog(u"Сессия регистрации кодов маркировки закрыта чеком");
  Km_ = TKmSession{};
  if (notice)
    NoteInLog(u"Уведомление о реализации маркированного товара записано: документ № " +
              Decimal(notice->Number));
}
