// The fiscal register emulator: a register of the equipment type "ККТ" that
// keeps its documents in the fiscal memory (the journal in the data folder),
// answers the fourteen fiscal methods and the five of marking codes, and
// prints each document on its paper tape (the tape file and the window
// "Фискальный регистратор").
//
// Every fiscal call is one transaction of the fiscal memory: its lock taken,
// the state read, the document checked, committed durably, and only then
// printed from the committed journal line, so that the paper and a later copy
// are the same. A call that fails writes nothing, neither journal nor tape.
#pragma once

#include "DeviceSet.h"
#include "FiscalDocuments.h"
#include "FiscalMemory.h"
#include "FiscalRecord.h"
#include "Marking.h"
#include "PaperTape.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char16_t kFiscalEquipmentName[] = u"Эмулятор фискального регистратора";
inline constexpr char16_t kFiscalEquipmentType[] = u"ККТ";
inline constexpr char16_t kFiscalWindowTitle[] = u"Фискальный регистратор";
inline constexpr int32_t kFiscalDefaultLineLength = 42;
inline constexpr char16_t kFiscalTaxSite[] = u"www.nalog.gov.ru";

// The codes GetLastError answers with, one per kind of refusal; 0 when the
// last call succeeded.
enum class TFiscalError : int32_t {
  None = 0,
  Device = 1,       // no such device, or a failure of its own
  BadDocument = 2,  // an XML document or a parameter the register cannot read
  ShiftClosed = 3,  // the operation needs an open shift
  ShiftOpen = 4,    // the operation needs a closed shift
  ShiftExpired = 5, // the shift is 24 hours old: only closing it is possible
  Receipt = 6,      // the register's rules on a receipt
  NoCash = 7,       // not enough cash in the drawer
  DriveClosed = 8,  // the fiscal drive is closed
  NotFound = 9,     // no document of that number
  Clock = 10,       // the clock key of operator.txt is malformed, or the time is before the last document
  Memory = 11,      // the fiscal memory could not be read or written
  Registration = 12,
  Marking = 13, // the rules of the marking codes' session
};

// The settings the register registers itself with.
struct TFiscalSettings {
  std::u16string CompanyName = u"ООО \"Орвик\"";
  std::u16string Inn = u"7707083893";
  std::u16string SaleAddress = u"г. Москва, ул. Тверская, д. 1";
  std::u16string SaleLocation = u"Торговый зал";
  std::u16string TaxationSystems = u"0";
  std::u16string KktNumber = u"0000000001012345";
  std::u16string KktSerial = u"00106700000001";
  std::u16string DriveSerial = u"9999078900001234";
  std::u16string FfdVersion = u"1.2";
  int32_t LineLength = kFiscalDefaultLineLength;
  bool ShowOnScreen = true;
};

std::u16string FiscalSettingsXml(const TFiscalSettings& settings, std::u16string_view logFilePath);

// The register's clock from operator.txt's key "clock": an absolute
// "YYYY-MM-DDTHH:MM:SS" or an offset "+25h", "-30m", "+90s", "+2d" to the
// system clock. Moment is the register's time for now (local seconds); false
// with a message when the value is malformed.
struct TFiscalClock {
  bool Ok = true;
  std::u16string Error;
  std::u16string Key; // the key's value as given; empty when not in force
  int64_t Moment = 0; // the register's time when the key was read
  // A moment the key fixes stands still; otherwise the register's time is
  // the system's plus Offset whenever it is read: a document is dated under
  // the journal's lock, after any other process's document before it.
  bool Fixed = false;
  int64_t Offset = 0;
};
TFiscalClock FiscalClockOf(const std::u16string* key, int64_t systemNow);

// A sum as the host passes it (a double, in roubles) converted to kopecks
// exactly: false for NaN, infinities, more than two decimals or more than
// the register can count.
bool AmountToKopecks(double amount, int64_t& kopecks);

// One code requested in the session of marking codes.
struct TKmRequest {
  std::u16string Guid;
  std::u16string Base64; // MarkingCode as given
  fiscal::TMarkingCode Code;
  int32_t PlannedStatus = 0;
  bool LocalOnly = false; // NotSendToServer: the drive's check alone, nothing to wait for
  bool Sent = false;      // sent to the marking system (a code the drive read, not local only)
  fiscal::TKmAnswer Answer;
  int64_t AnswerAt = 0; // milliseconds of the steady clock when the system's answer comes
  enum class TState { Pending, Received, Unreachable } State = TState::Received;
  int32_t Confirmed = -1; // -1 not yet, 0 to be sold, 1 not to be sold
  // Tag 2106: the drive's bits, and the system's when it answered.
  int32_t ResultCode() const;
  // May stand in a receipt: read by the drive, resolved, confirmed for sale
  // (or checked locally only) and not refused by the system.
  bool Sellable() const;
};

struct TKmSession {
  bool Open = false;
  std::vector<TKmRequest> Requests;
  // The request waiting for the system's answer: nothing else runs meanwhile.
  bool Waiting() const { return !Requests.empty() && Requests.back().State == TKmRequest::TState::Pending; }
};

class TFiscalSim_3004 : public TSetEmulator {
public:
  TFiscalSim_3004() = default;

  std::string ClassName() const override { return "TFiscalSim_3004"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;
  void GetLastError(tVariant& result, TParams& params) override;
  // A call refused by a fault rule of the control file reports the device's
  // general code.
  void ForgetDeviceError() override { ErrorCode_ = TFiscalError::None; }
  void GetAdditionalActions(tVariant& result, TParams& params) override;
  void DoAdditionalAction(tVariant& result, TParams& params);

  // The fiscal methods.
  void GetDataKKT(tVariant& result, TParams& params);
  void OperationFN(tVariant& result, TParams& params);
  void OpenShift(tVariant& result, TParams& params);
  void CloseShift(tVariant& result, TParams& params);
  void ProcessCheck(tVariant& result, TParams& params, bool correction);
  void PrintTextDocument(tVariant& result, TParams& params);
  void CashInOutcome(tVariant& result, TParams& params);
  void PrintXReport(tVariant& result, TParams& params);
  void PrintCheckCopy(tVariant& result, TParams& params);
  void GetCurrentStatus(tVariant& result, TParams& params, bool settlements);
  void OpenCashDrawer(tVariant& result, TParams& params);
  void GetLineLength(tVariant& result, TParams& params);

  // The marking codes (FiscalMarking.cpp).
  void OpenSessionRegistrationKM(tVariant& result, TParams& params);
  void CloseSessionRegistrationKM(tVariant& result, TParams& params);
  void RequestKM(tVariant& result, TParams& params);
  void GetProcessingKMResult(tVariant& result, TParams& params);
  void ConfirmKM(tVariant& result, TParams& params);

  // "<component>_tape.txt" and "<component>_journal.jsonl" in the data folder.
  std::u16string TapeFileName() const;
  std::u16string JournalFileName() const;

  TFiscalSettings Settings;
  TPaperTape Paper{{.Title = kFiscalWindowTitle, .ClassName = "FiscalSim", .X = kPaperWindowX + 430}};

private:
  // A refusal: the result false, the message and its code for GetLastError.
  void Refuse(tVariant& result, TFiscalError code, std::u16string_view message);
  // The fiscal memory (made on first use, at the drive serial in force) and
  // the register's clock for this call; false when the call has failed.
  bool Prepare(tVariant& result);
  // Registers from the settings when the journal is empty; false when the
  // call has failed.
  bool RegisterIfNew(tVariant& result, fiscal::TFiscalMemory::TTransaction& transaction);
  // The start of a fiscal call once its inputs are read: Prepare, the
  // transaction begun and the register registered if it is new. Nothing when
  // the call has failed.
  std::optional<fiscal::TFiscalMemory::TTransaction> BeginFiscalCall(tVariant& result);
  // Commits a document, its Extra completed with the clock key; false when
  // refused (the call then has failed). A follow-up (its Extra as built) goes
  // into the same record, and its document into followed when one was made.
  std::optional<fiscal::TLastDocument> Commit(tVariant& result,
                                              fiscal::TFiscalMemory::TTransaction& transaction,
                                              fiscal::TDocument document, const std::string& members,
                                              const fiscal::TFollowUp& followUp = {},
                                              std::optional<fiscal::TLastDocument>* followed = nullptr);
  // Prints a committed journal line (unless print is false: the caller's
  // InputParameters asked for no paper); a tape that cannot be written is
  // noted in the log (the document stands in the fiscal memory).
  void PrintLine(const std::string& line, bool copy, bool print = true);
  // Prints lines on the tape; the failure's message or empty.
  std::u16string Feed(const std::vector<TTapeLine>& lines);
  // The requisites of the settings (a first registration).
  fiscal::TRequisites SettingsRequisites() const;

  // True when the method may not run while a code waits for the system's
  // answer (the call is then refused).
  bool RefusedWhileWaiting(TMethodID methodId, tVariant& result);
  // The receipt's lines with a MarkingCode against the session: each must be
  // a code of it that may be sold, once. Fills each line's Marking; empty
  // when all may be sold, else the message naming the line.
  std::u16string CheckMarkedLines(TReceipt& receipt);
  // After a receipt is recorded, with the notice of the sale of its marked
  // lines written with it (when it had any): the session closed.
  void FinishMarkedReceipt(const std::optional<fiscal::TLastDocument>& notice);

  TKmSession Km_;
  std::unique_ptr<fiscal::TFiscalMemory> Memory_;
  std::u16string MemorySerial_; // the drive serial setting Memory_ was made at
  TFiscalClock Clock_;
  TFiscalError ErrorCode_ = TFiscalError::None;
};
