// The register's fiscal memory: the journal of its documents in the data
// folder, and the state that follows from it. The journal is the truth: the
// state (registration, shift, numbers, counters, cash) is derived from its
// lines, so every process that opens it sees the same register.
//
// The journal, <Component>_journal.jsonl: UTF-8, one document per line, each
// line one JSON object ending with a line feed, written whole under the lock
// and flushed to the disk before the caller hears of it. Keys are the fiscal
// format's tag numbers as strings, plus "type" and the caller's own members:
//   "type"  registration, change_registration, open_shift, receipt,
//           correction, settlements_report, close_shift, close_drive,
//           marking_notice (fiscal documents); cash_in, cash_out, x_report (not fiscal: a real
//           register prints them without a document number or a sign, so
//           they carry neither and take no number)
//   "1040"  fiscal document number, 1, 2, 3... over the drive's life (fiscal only)
//   "1038"  shift number (every document within or of a shift)
//   "1042"  receipt number within the shift, from 1 (receipt, correction)
//   "1012"  date and time, "YYYY-MM-DDTHH:MM:SS", the register's local time
//   "1041"  the drive's serial number (fiscal only)
//   "1054"  operation type 1 sale, 2 sale return, 3 purchase, 4 purchase return
//   "1020"  total, in kopecks (receipt, correction, cash_in, cash_out)
//   "1031"  cash part of the total, change already taken off (receipt, correction)
//   "1081"  electronic, "1215" prepayment, "1216" postpayment, "1217" barter
//   "change" change handed back from the cash given (when any)
//   "1077"  fiscal sign, ten digits, always the last member (fiscal only)
// All amounts are integers in kopecks. The caller's members (the receipt's
// lines, the cashier...) come between the memory's own and the sign; they may
// not use the memory's keys.
//
// The fiscal sign: 64-bit FNV-1a over the drive's key, a zero byte, and the
// line's bytes from its opening brace up to (not including) the comma before
// "1077"; the two 32-bit halves of the hash are joined by exclusive or, and the
// number is written with ten digits. Anyone with the key can check a line.
#pragma once

#include "Calendar.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class TJournalFile;

namespace fiscal {

// Seconds of the register's local calendar (as if it were UTC): what the clock
// answers and the journal's dates mean.
using TLocalSeconds = int64_t;
// "YYYY-MM-DDTHH:MM:SS" of a moment, and back (nullopt when malformed).
using ::FormatDateTime;
using ::ParseDateTime;

enum class TDocumentType {
  Registration,
  ChangeRegistration,
  OpenShift,
  Receipt,
  Correction,
  SettlementsReport,
  CloseShift,
  CloseDrive,
  CashIn,
  CashOut,
  XReport,
  MarkingNotice, // the notice of a sale of marked goods, made with its receipt
};
std::string_view TypeName(TDocumentType type);
bool IsFiscal(TDocumentType type);

enum class TShiftState { Closed = 1, Open = 2, Expired = 3 };

// A shift's counters of one operation type.
struct TOperationCounters {
  int64_t CheckCount = 0;
  int64_t TotalChecksAmount = 0; // kopecks
  int64_t CorrectionCheckCount = 0;
  int64_t TotalCorrectionChecksAmount = 0; // kopecks
  bool operator==(const TOperationCounters&) const = default;
};

struct TLastDocument {
  int64_t Number = 0; // 0 for a document that is not fiscal
  TDocumentType Type = TDocumentType::Registration;
  std::string DateTime;
  std::string FiscalSign;
  std::string Line; // the journal line, without its line feed
};

struct TFiscalState {
  bool Registered = false;
  std::string Registration; // the registration document's line
  bool DriveClosed = false;
  TShiftState Shift = TShiftState::Closed; // Expired from the clock, at the transaction's start
  int64_t ShiftNumber = 0;                 // the open shift, or the last one closed
  std::string ShiftOpenedAt;
  TLocalSeconds ShiftOpenedAtSeconds = 0;
  int64_t NextDocumentNumber = 1;
  int64_t NextReceiptNumber = 1;  // within the open shift
  TOperationCounters Counters[4]; // operation types 1..4, of the current shift
  int64_t CashBalance = 0;        // kopecks, carried across shifts
  int64_t Documents = 0;          // lines of the journal
  TLocalSeconds LastFiscalAt = 0; // the moment of the last fiscal document: none may be dated before it
  std::optional<TLastDocument> Last;
};

// What a caller hands over for one document. Amounts in kopecks, not negative.
struct TDocument {
  TDocumentType Type = TDocumentType::Receipt;
  int OperationType = 0; // 1..4 for a receipt or a correction
  int64_t Total = 0;     // receipt, correction; the amount of cash_in / cash_out
  int64_t Cash = 0;      // cash given (receipt, correction)
  int64_t Change = 0;    // handed back out of Cash
  int64_t Electronic = 0;
  int64_t Prepayment = 0;
  int64_t Postpayment = 0;
  int64_t Barter = 0;
  std::string Extra; // a JSON object text of further members, or empty
};

struct TCommitResult {
  bool Ok = false;
  std::u16string Error;   // the message when not Ok
  TLastDocument Document; // when Ok
  // The document written after it in the same record (see TFollowUp), when one was.
  std::optional<TLastDocument> FollowUp;
};

// Builds the document a register makes together with another (a receipt's
// notice of its marked goods) from the state the first leaves and the first
// as it will be written (its number, sign, date); nullopt when none follows.
using TFollowUp =
    std::function<std::optional<TDocument>(const TFiscalState& state, const TLastDocument& first)>;

// One object serves one caller at a time (the device's calls), with one
// transaction at a time; objects in other processes (or several in one) are
// serialised by the journal's lock. A commit costs one flush of the disk
// (fdatasync, FlushFileBuffers): the line (or a document's line and its
// follow-up's) and the file's new size together.
class TFiscalMemory {
public:
  using TClock = std::function<TLocalSeconds()>;
  TFiscalMemory(std::filesystem::path journal, TClock clock, std::string driveSerial, std::string driveKey);
  ~TFiscalMemory();
  TFiscalMemory(const TFiscalMemory&) = delete;
  TFiscalMemory& operator=(const TFiscalMemory&) = delete;

  // One read-check-append: holds the journal's lock from Begin to its end,
  // with the state brought up to date from what others appended meanwhile.
  class TTransaction {
  public:
    ~TTransaction();
    TTransaction(TTransaction&& other) noexcept;
    TTransaction& operator=(TTransaction&&) = delete;
    explicit operator bool() const { return Error_.empty(); }
    const std::u16string& Error() const { return Error_; }
    const TFiscalState& State() const;
    // Checks the document against the state, numbers, dates and signs it,
    // appends it durably and updates the state; or changes nothing.
    TCommitResult Commit(const TDocument& document);
    // The same for a document and its follow-up as one record: both lines,
    // dated alike and numbered one after the other, are written with one
    // flush and the state takes both, or (a refusal of either, a failed
    // write) neither is written and the state stays as it was. With no
    // follow-up, exactly Commit(document).
    TCommitResult Commit(const TDocument& document, const TFollowUp& followUp);

  private:
    friend class TFiscalMemory;
    explicit TTransaction(TFiscalMemory* memory) : Memory_(memory) {}
    TFiscalMemory* Memory_;
    std::u16string Error_;
  };
  TTransaction Begin();
  // The register made new: under the lock the journal is moved aside as
  // <name>.<YYYYMMDD-HHMMSS>[-n].jsonl and a new empty one begins (an empty
  // journal stays as it is). Empty on success, else the message.
  std::u16string Reset();

  // The fiscal sign of a line's signed part with a key (see above).
  static std::string FiscalSign(std::string_view key, std::string_view signedPart);
  const std::filesystem::path& Path() const { return Path_; }

private:
  std::u16string Open();    // opens (or reopens a moved journal) and locks
  std::u16string CatchUp(); // reads the new tail, cutting a torn one
  std::u16string Failure(std::u16string_view what, int error) const;
  std::u16string ReadFailure(int error) const;
  void ForgetState();
  // Checks a document against state at the moment now and makes its line
  // and the state after it; empty on success, else the refusal.
  std::u16string Compose(const TFiscalState& state, TLocalSeconds now, const TDocument& document,
                         std::string& line, TFiscalState& next) const;

  std::filesystem::path Path_;
  TClock Clock_;
  std::string Serial_;
  std::string Key_;
  std::unique_ptr<TJournalFile> File_;
  uint64_t Offset_ = 0; // the end of the last whole line applied
  TFiscalState State_;
};

} // namespace fiscal
