#include "FiscalMemory.h"
#include "Calendar.h"
#include "Json.h"

#include "CallLog.h"
#include "JournalFile.h"
#include "TextCodec.h"
#include "Unattended.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace fiscal {

namespace {

using json::Find;
using json::Integer;
using json::ParseObject;
using json::Quote;
using json::String;
using json::TMembers;

constexpr TLocalSeconds kDay = kSecondsPerDay;

constexpr std::pair<TDocumentType, std::string_view> kTypeNames[] = {
    {TDocumentType::Registration, "registration"},
    {TDocumentType::ChangeRegistration, "change_registration"},
    {TDocumentType::OpenShift, "open_shift"},
    {TDocumentType::Receipt, "receipt"},
    {TDocumentType::Correction, "correction"},
    {TDocumentType::SettlementsReport, "settlements_report"},
    {TDocumentType::CloseShift, "close_shift"},
    {TDocumentType::CloseDrive, "close_drive"},
    {TDocumentType::CashIn, "cash_in"},
    {TDocumentType::CashOut, "cash_out"},
    {TDocumentType::XReport, "x_report"},
    {TDocumentType::MarkingNotice, "marking_notice"},
};

// The keys the memory writes itself; a caller's members may not repeat them.
constexpr std::string_view kOwnKeys[] = {"type", "1040", "1038", "1042", "1012", "1041",   "1054", "1020",
                                         "1031", "1081", "1215", "1216", "1217", "change", "1077"};

bool IsReceipt(TDocumentType type) {
  return type == TDocumentType::Receipt || type == TDocumentType::Correction;
}
bool WithinShift(TDocumentType type) {
  return IsReceipt(type) || type == TDocumentType::CashIn || type == TDocumentType::CashOut ||
         type == TDocumentType::XReport || type == TDocumentType::OpenShift ||
         type == TDocumentType::CloseShift || type == TDocumentType::MarkingNotice;
}
// Whether the operation's cash goes out of the drawer (returns of a sale, purchases).
bool PaysOut(int operation) {
  return operation == 2 || operation == 3;
}

// Applies one journal line to the state; empty when it fits, else why not.
std::u16string Apply(TFiscalState& state, const TMembers& members, std::string_view line) {
  const std::optional<std::string> typeName = String(members, "type");
  const TDocumentType* type = nullptr;
  for (const auto& [value, name] : kTypeNames)
    if (typeName && *typeName == name)
      type = &value;
  if (type == nullptr)
    return u"неизвестный тип документа";
  const std::optional<std::string> date = String(members, "1012");
  if (!date || !ParseDateTime(*date))
    return u"нет даты документа";
  TLastDocument last{0, *type, *date, {}, std::string(line)};
  if (IsFiscal(*type)) {
    const std::optional<int64_t> number = Integer(members, "1040");
    if (!number || *number != state.NextDocumentNumber)
      return u"номер документа не следует за предыдущим (ожидался " + Decimal(state.NextDocumentNumber) +
             u")";
    const std::optional<std::string> sign = String(members, "1077");
    if (!sign || sign->size() != 10)
      return u"нет фискального признака";
    last.Number = *number;
    last.FiscalSign = *sign;
    state.LastFiscalAt = *ParseDateTime(*date);
    state.NextDocumentNumber = *number + 1;
  }
  const std::optional<int64_t> shift = Integer(members, "1038");
  if (WithinShift(*type) && (!shift || *shift < 1))
    return u"нет номера смены";
  switch (*type) {
  case TDocumentType::Registration:
  case TDocumentType::ChangeRegistration:
    state.Registered = true;
    state.Registration = std::string(line);
    break;
  case TDocumentType::OpenShift:
    state.Shift = TShiftState::Open;
    state.ShiftNumber = *shift;
    state.ShiftOpenedAt = *date;
    state.ShiftOpenedAtSeconds = *ParseDateTime(*date);
    state.NextReceiptNumber = 1;
    for (TOperationCounters& counters : state.Counters)
      counters = {};
    break;
  case TDocumentType::CloseShift:
    state.Shift = TShiftState::Closed;
    break;
  case TDocumentType::CloseDrive:
    state.DriveClosed = true;
    break;
  case TDocumentType::Receipt:
  case TDocumentType::Correction: {
    const std::optional<int64_t> receipt = Integer(members, "1042");
    const std::optional<int64_t> operation = Integer(members, "1054");
    const std::optional<int64_t> total = Integer(members, "1020");
    const std::optional<int64_t> cash = Integer(members, "1031");
    if (!receipt || *receipt != state.NextReceiptNumber)
      return u"номер чека в смене не следует за предыдущим";
    if (!operation || *operation < 1 || *operation > 4 || !total || !cash)
      return u"нет типа расчёта или суммы чека";
    state.NextReceiptNumber = *receipt + 1;
    TOperationCounters& counters = state.Counters[*operation - 1];
    if (*type == TDocumentType::Receipt) {
      ++counters.CheckCount;
      counters.TotalChecksAmount += *total;
    } else {
      ++counters.CorrectionCheckCount;
      counters.TotalCorrectionChecksAmount += *total;
    }
    state.CashBalance += PaysOut(static_cast<int>(*operation)) ? -*cash : *cash;
    break;
  }
  case TDocumentType::CashIn:
  case TDocumentType::CashOut: {
    const std::optional<int64_t> amount = Integer(members, "1020");
    if (!amount)
      return u"нет суммы";
    state.CashBalance += *type == TDocumentType::CashIn ? *amount : -*amount;
    break;
  }
  case TDocumentType::SettlementsReport:
  case TDocumentType::XReport:
  case TDocumentType::MarkingNotice:
    break;
  }
  ++state.Documents;
  state.Last = std::move(last);
  return {};
}

std::u16string CheckAmounts(const TDocument& d) {
  for (const int64_t amount :
       {d.Total, d.Cash, d.Change, d.Electronic, d.Prepayment, d.Postpayment, d.Barter})
    if (amount < 0 || amount > 1'000'000'000'000'000)
      return u"Неверная сумма в документе";
  if (d.Change > d.Cash)
    return u"Сдача больше суммы наличными";
  if (IsReceipt(d.Type) && (d.OperationType < 1 || d.OperationType > 4))
    return u"Неверный тип расчета";
  return {};
}

} // namespace

std::string_view TypeName(TDocumentType type) {
  for (const auto& [value, name] : kTypeNames)
    if (value == type)
      return name;
  return {};
}

bool IsFiscal(TDocumentType type) {
  return type != TDocumentType::CashIn && type != TDocumentType::CashOut && type != TDocumentType::XReport;
}

std::string TFiscalMemory::FiscalSign(std::string_view key, std::string_view signedPart) {
  uint64_t hash = 14695981039346656037ull;
  auto mix = [&hash](std::string_view bytes) {
    for (const char c : bytes) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ull;
    }
  };
  mix(key);
  mix(std::string_view("\0", 1));
  mix(signedPart);
  const uint32_t folded = static_cast<uint32_t>(hash ^ (hash >> 32));
  char text[16];
  std::snprintf(text, sizeof text, "%010u", static_cast<unsigned>(folded));
  return text;
}

TFiscalMemory::TFiscalMemory(std::filesystem::path journal, TClock clock, std::string driveSerial,
                             std::string driveKey)
    : Path_(std::move(journal)), Clock_(std::move(clock)), Serial_(std::move(driveSerial)),
      Key_(std::move(driveKey)) {}

TFiscalMemory::~TFiscalMemory() = default;

std::u16string TFiscalMemory::Failure(std::u16string_view what, int error) const {
  return TDataFileResult{TCallLog::DisplayPath(Path_), TCallLog::ErrorText(error)}.FailureText(what);
}

std::u16string TFiscalMemory::ReadFailure(int error) const {
  return u"Не удалось прочитать журнал " + TCallLog::DisplayPath(Path_) + u": " + TCallLog::ErrorText(error);
}

void TFiscalMemory::ForgetState() {
  State_ = {};
  Offset_ = 0;
}

std::u16string TFiscalMemory::Open() {
  // Another process may move the journal aside (a reset) between our opening
  // and our lock: then the lock is on the old file, and the new one is opened.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (File_ == nullptr) {
      int error = 0;
      File_ = TJournalFile::Open(Path_, error);
      if (File_ == nullptr)
        return TDataFileResult{TCallLog::DisplayPath(Path_), TCallLog::ErrorText(error)}.FailureText(
            u"документ");
      ForgetState();
    }
    if (const int error = File_->Lock(); error != 0)
      return ReadFailure(error);
    if (File_->IsAt(Path_))
      return {};
    File_->Unlock();
    File_.reset();
  }
  return u"Не удалось открыть журнал " + TCallLog::DisplayPath(Path_) + u": его всё время подменяют";
}

std::u16string TFiscalMemory::CatchUp() {
  uint64_t size = 0;
  if (const int error = File_->Size(size); error != 0)
    return ReadFailure(error);
  if (size < Offset_) // shortened behind our back: read it all again
    ForgetState();
  // The new tail in pieces of a megabyte, so that a long journal read for
  // the first time does not need its whole size in memory at once.
  constexpr size_t kPiece = 1 << 20;
  std::string tail;
  uint64_t readTo = Offset_;
  bool unreadable = false;
  while (readTo < size && !unreadable) {
    std::string piece;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(kPiece, size - readTo));
    if (const int error = File_->Read(readTo, count, piece); error != 0)
      return ReadFailure(error);
    if (piece.empty())
      break;
    readTo += piece.size();
    tail += piece;
    size_t start = 0;
    for (size_t end; (end = tail.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string_view line = std::string_view(tail).substr(start, end - start);
      TMembers members;
      if (!ParseObject(line, members, nullptr)) {
        if (end + 1 == tail.size() && readTo == size) {
          unreadable = true; // the last line, unreadable: a torn record, cut below
          break;
        }
        return u"Журнал фискальной памяти повреждён: " + TCallLog::DisplayPath(Path_) + u", строка " +
               Decimal(State_.Documents + 1) + u" не читается";
      }
      if (std::u16string why = Apply(State_, members, line); !why.empty())
        return u"Журнал фискальной памяти повреждён: " + TCallLog::DisplayPath(Path_) + u", строка " +
               Decimal(State_.Documents + 1) + u": " + why;
      Offset_ += end + 1 - start;
    }
    tail.erase(0, start);
  }
  // A tail without its line feed, or a last line that does not read, is a
  // record whose writer died before its flush ended: the writer answers the
  // host only after the flush, so nobody was ever told that this document
  // exists, and cutting it keeps "whole or not at all". It is cut under the
  // lock, so no one appends after it first.
  if (Offset_ < size)
    if (const int error = File_->CutTo(Offset_); error != 0)
      return Failure(u"документ", error);
  return {};
}

TFiscalMemory::TTransaction TFiscalMemory::Begin() {
  TTransaction transaction(this);
  transaction.Error_ = Open();
  if (!transaction.Error_.empty()) {
    transaction.Memory_ = nullptr;
    return transaction;
  }
  try {
    transaction.Error_ = CatchUp();
  } catch (...) {
    // A refused allocation may stop a line half applied: the state is then
    // read again from the start at the next transaction.
    ForgetState();
    throw;
  }
  if (State_.Shift != TShiftState::Closed)
    State_.Shift = Clock_() - State_.ShiftOpenedAtSeconds >= kDay ? TShiftState::Expired : TShiftState::Open;
  return transaction;
}

TFiscalMemory::TTransaction::~TTransaction() {
  if (Memory_ != nullptr && Memory_->File_ != nullptr)
    Memory_->File_->Unlock();
}

TFiscalMemory::TTransaction::TTransaction(TTransaction&& other) noexcept
    : Memory_(std::exchange(other.Memory_, nullptr)), Error_(std::move(other.Error_)) {}

const TFiscalState& TFiscalMemory::TTransaction::State() const {
  static const TFiscalState kNone;
  return Memory_ != nullptr ? Memory_->State_ : kNone;
}

std::u16string TFiscalMemory::Compose(const TFiscalState& state, TLocalSeconds now, const TDocument& document,
                                      std::string& line, TFiscalState& next) const {
  const TDocumentType type = document.Type;
  const bool open = state.Shift != TShiftState::Closed;
  const bool expired = open && now - state.ShiftOpenedAtSeconds >= kDay;

  // The register's state rules, checked under the lock.
  std::u16string refusal = CheckAmounts(document);
  if (refusal.empty()) {
    if (state.DriveClosed)
      refusal = u"Фискальный накопитель закрыт - операция невозможна";
    // A drive takes its documents in the order of time, as a real one does.
    else if (IsFiscal(type) && state.NextDocumentNumber > 1 && now < state.LastFiscalAt)
      refusal = u"Дата и время документа " + Utf8ToUtf16(FormatDateTime(now)) +
                u" раньше даты последнего фискального документа " +
                Utf8ToUtf16(FormatDateTime(state.LastFiscalAt)) + u" - операция невозможна";
    else if (type == TDocumentType::Registration && state.Registered)
      refusal = u"ККТ уже зарегистрирована - операция невозможна";
    else if (type != TDocumentType::Registration && !state.Registered)
      refusal = u"ККТ не зарегистрирована - операция невозможна";
    else if ((type == TDocumentType::OpenShift || type == TDocumentType::CloseDrive ||
              type == TDocumentType::ChangeRegistration) &&
             open)
      refusal = expired ? u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет"
                        : u"Смена открыта - операция невозможна";
    else if (type == TDocumentType::CloseShift && !open)
      refusal = u"Смена закрыта - операция невозможна";
    else if ((IsReceipt(type) || type == TDocumentType::CashIn || type == TDocumentType::CashOut ||
              type == TDocumentType::XReport || type == TDocumentType::MarkingNotice) &&
             !open)
      refusal = u"Смена закрыта - операция невозможна";
    else if ((IsReceipt(type) || type == TDocumentType::CashIn || type == TDocumentType::CashOut ||
              type == TDocumentType::XReport) &&
             expired)
      refusal = u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет";
    else if ((type == TDocumentType::CashOut && document.Total > state.CashBalance) ||
             (IsReceipt(type) && PaysOut(document.OperationType) &&
              document.Cash - document.Change > state.CashBalance))
      refusal = u"Недостаточно наличных в кассе";
  }
  std::string extra;
  if (refusal.empty() && !document.Extra.empty()) {
    TMembers members;
    if (!ParseObject(document.Extra, members, &extra))
      refusal = u"Неверные данные документа: не объект JSON";
    for (const auto& [key, value] : members)
      for (const std::string_view own : kOwnKeys)
        if (refusal.empty() && key == own)
          refusal = u"Неверные данные документа: ключ " + Utf8ToUtf16(key) + u" заполняет фискальная память";
  }
  if (!refusal.empty())
    return refusal;

  // The line: the memory's members, the caller's, then the sign of all before it.
  const bool fiscal = IsFiscal(type);
  line = "{\"type\":\"" + std::string(TypeName(type)) + "\"";
  auto member = [&line](std::string_view key, const std::string& value) {
    line += ",\"";
    line += key;
    line += "\":";
    line += value;
  };
  if (fiscal)
    member("1040", std::to_string(state.NextDocumentNumber));
  if (WithinShift(type))
    member("1038",
           std::to_string(type == TDocumentType::OpenShift ? state.ShiftNumber + 1 : state.ShiftNumber));
  if (IsReceipt(type))
    member("1042", std::to_string(state.NextReceiptNumber));
  member("1012", Quote(FormatDateTime(now)));
  if (fiscal)
    member("1041", Quote(Serial_));
  if (IsReceipt(type)) {
    member("1054", std::to_string(document.OperationType));
    member("1020", std::to_string(document.Total));
    member("1031", std::to_string(document.Cash - document.Change));
    member("1081", std::to_string(document.Electronic));
    member("1215", std::to_string(document.Prepayment));
    member("1216", std::to_string(document.Postpayment));
    member("1217", std::to_string(document.Barter));
    if (document.Change > 0)
      member("change", std::to_string(document.Change));
  } else if (type == TDocumentType::CashIn || type == TDocumentType::CashOut) {
    member("1020", std::to_string(document.Total));
  }
  if (extra.size() > 2) {
    line += ',';
    line.append(extra, 1, extra.size() - 2);
  }
  if (fiscal)
    member("1077", Quote(FiscalSign(Key_, line)));
  line += '}';

  next = state;
  TMembers members;
  if (!ParseObject(line, members, nullptr) || !Apply(next, members, line).empty())
    return u"Фискальная память не смогла составить документ";
  if (next.Shift == TShiftState::Open && expired)
    next.Shift = TShiftState::Expired;
  return {};
}

TCommitResult TFiscalMemory::TTransaction::Commit(const TDocument& document) {
  return Commit(document, nullptr);
}

TCommitResult TFiscalMemory::TTransaction::Commit(const TDocument& document, const TFollowUp& followUp) {
  TCommitResult result;
  if (Memory_ == nullptr || !Error_.empty()) {
    result.Error = Error_.empty() ? u"Фискальная память недоступна" : Error_;
    return result;
  }
  TFiscalMemory& memory = *Memory_;
  TFiscalState& state = memory.State_;
  const TLocalSeconds now = memory.Clock_();
  std::string line;
  TFiscalState next;
  if (std::u16string refusal = memory.Compose(state, now, document, line, next); !refusal.empty()) {
    result.Error = std::move(refusal);
    return result;
  }
  std::string record = line + '\n';
  TLastDocument first = *next.Last;
  // The follow-up is built on the state the first document leaves, at the
  // same moment, and goes into the same record: a refusal of it refuses both.
  std::optional<TLastDocument> followed;
  if (followUp) {
    if (const std::optional<TDocument> second = followUp(next, *next.Last)) {
      TFiscalState after;
      if (std::u16string refusal = memory.Compose(next, now, *second, line, after); !refusal.empty()) {
        result.Error = std::move(refusal);
        return result;
      }
      record += line + '\n';
      followed = *after.Last;
      next = std::move(after);
    }
  }
  // Written and flushed whole, or cut back to where it began: only then are
  // the documents answered.
  if (const int error = memory.File_->WriteDurably(memory.Offset_, record); error != 0) {
    result.Error = memory.Failure(u"документ", error);
    return result;
  }
  memory.Offset_ += record.size();
  state = std::move(next);
  result.Ok = true;
  result.Document = std::move(first);
  result.FollowUp = std::move(followed);
  return result;
}

std::u16string TFiscalMemory::Reset() {
  if (std::u16string error = Open(); !error.empty())
    return error;
  // An empty journal is a new register already: nothing is set aside.
  if (uint64_t size = 0; File_->Size(size) == 0 && size == 0) {
    File_->Unlock();
    File_.reset();
    ForgetState();
    return {};
  }
  // The name aside: the journal's name with the local time before its extension.
  const std::string stamp = FormatDateTime(Clock_());
  std::string compact;
  for (const char c : stamp)
    if (c != ':' && c != '-')
      compact.push_back(c == 'T' ? '-' : c);
  std::filesystem::path aside;
  for (int n = 1; n < 1000; ++n) {
    std::filesystem::path name = Path_.stem();
    name += "." + compact + (n > 1 ? "-" + std::to_string(n) : std::string());
    name += Path_.extension();
    aside = Path_.parent_path() / name;
    if (!TJournalFile::Exists(aside))
      break;
  }
  std::u16string result;
  if (const int error = TJournalFile::Rename(Path_, aside); error != 0) {
    result = u"Не удалось переименовать журнал " + TCallLog::DisplayPath(Path_) + u": " +
             TCallLog::ErrorText(error);
  } else {
    int openError = 0;
    if (TJournalFile::Open(Path_, openError) == nullptr)
      result = Failure(u"новый журнал", openError);
  }
  File_->Unlock();
  File_.reset();
  ForgetState();
  return result;
}

} // namespace fiscal
