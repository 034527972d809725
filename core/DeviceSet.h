// The emulator core: method identifiers and name tables, the base class of
// every device emulator with the common driver methods, the call log and the
// driver XML documents.
#pragma once

#include "ClassTable.h"
#include "Params.h"
#include "Unattended.h"
#include "UserObject.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Every driver method of every equipment type. The numbering is fixed.
enum TMethodID : int32_t {
  m_Unknown = 0,
  m_GetVersion = 1,
  m_GetDescription = 2,
  m_GetDescription_3001 = 3,
  m_GetLastError = 4,
  m_GetParameters = 5,
  m_SetParameter = 6,
  m_Open = 7,
  m_Close = 8,
  m_DeviceTest = 9,
  m_GetAdditionalActions = 10,
  m_DoAdditionalAction = 11,
  m_GetDataKKT = 12,
  m_OperationFN = 13,
  m_OpenShift = 14,
  m_CloseShift = 15,
  m_ProcessCheck = 16,
  m_ProcessCorrectionCheck = 17,
  m_PrintTextDocument = 18,
  m_CashInOutcome = 19,
  m_PrintXReport = 20,
  m_GetCurrentStatus = 21,
  m_ReportCurrentStatusOfSettlements = 22,
  m_OpenCashDrawer = 23,
  m_GetLineLength = 24,
  m_GetInterfaceRevision = 25,
  m_PrintCheckCopy = 26,
  m_Calibrate = 27,
  m_GetWeight = 28,
  m_UploadGoods = 29,
  m_ClearGoods = 30,
  m_StringOutputOnPanelSim = 31,
  m_ClearPanelSim = 32,
  m_GetOutputOptions = 33,
  m_UploadTable = 34,
  m_DownloadTable = 35,
  m_ClearTable = 36,
  m_cp_PrintTextDocument = 37,
  m_cp_OpenCashDrawer = 38,
  m_cp_GetLineLength = 39,
  m_InitializePrinter = 40,
  m_PrintLabels = 41,
  m_OpenSessionRFID = 42,
  m_CloseSessionRFID = 43,
  m_GetDataTagsRFID = 44,
  m_SaveDataTagRFID = 45,
  m_PayByPaymentCard = 46,
  m_ReturnPaymentByPaymentCard = 47,
  m_CancelPaymentByPaymentCard = 48,
  m_AuthorisationByPaymentCard = 49,
  m_AuthConfirmationByPaymentCard = 50,
  m_CancelAuthorisationByPaymentCard = 51,
  m_EmergencyReversal = 52,
  m_Settlement = 53,
  m_PrintSlipOnTerminal = 54,
  m_OpenSessionRegistrationKM = 55,
  m_CloseSessionRegistrationKM = 56,
  m_RequestKM = 57,
  m_GetProcessingKMResult = 58,
  m_ConfirmKM = 59,
};
inline constexpr int kMethodIdCount = 60;

// A method table: four parallel arrays of equal length.
struct TMethodTable {
  std::span<const char16_t* const> English;
  std::span<const char16_t* const> Russian;
  std::span<const int32_t> ParamCounts;
  std::span<const int32_t> Ids;
};

// A table of names only (equipment types no deliverable registers).
struct TNameTable {
  std::span<const char16_t* const> English;
  std::span<const char16_t* const> Russian;
};

extern const TMethodTable CommonMethods2001;
extern const TMethodTable CommonMethods3001;
extern const TMethodTable LabelScaleMethods;
extern const TMethodTable CustomerDisplayMethods;
extern const TMethodTable CardTerminalMethods;
extern const TMethodTable ElectronicScaleMethods;
extern const TMethodTable ReceiptPrinterMethods;
extern const TMethodTable LabelPrinterMethods;
extern const TMethodTable FiscalRegisterMethods3;

extern const TNameTable ElectronicScaleNames;
extern const TNameTable DataCollectionTerminalNames;
extern const TNameTable ReceiptPrinterNames;
extern const TNameTable LabelPrinterNames;
extern const TNameTable FiscalRegisterNames1;
extern const TNameTable FiscalRegisterNames2;
extern const TNameTable FiscalRegisterNames3;

class TCallLog;     // the call log (file behind an OS seam, CallLog.h)
class TEventSender; // the object's events on their way to the host (EventSender.h)
class TInputSpool;  // the folder of dropped input files (InputSpool.h)
struct TEvent;      // one event for the host (EventSender.h)

class TSetEmulator : public TV8UserObject {
public:
  TSetEmulator();
  ~TSetEmulator() override; // destruction start: last log entry, log closed

  // The class name as declared ("TScaleSim_3001"); the component name and the
  // interface revision are derived from it. Every device class overrides it.
  virtual std::string ClassName() const = 0;

  // Construction completion (runs once, from the class table, after construction).
  void AfterConstruction() override;
  bool CallMethod(const std::u16string& methodName, long methodIndex, tVariant& retValue, tVariant* params,
                  long paramCount) override;

  // Registry of methods: appends a whole table (names, counts, has-return-value, ids).
  void RegisterMethodTable(const TMethodTable& table);
  // True when id is in DeviceList, compared without regard to letter case.
  bool DeviceIDExists(std::u16string_view id) const;
  // The device check of a device method: true when parameter 0 names an open
  // device; otherwise the method fails with DeviceNotFoundText of it.
  bool RequireDevice(tVariant& result, const TParams& params);
  // A failed check: the last error becomes message and the result false.
  void Fail(tVariant& result, std::u16string_view message);
  // "DeviceID <id>не найдено!" (no blank before "не"); Close names no id.
  static std::u16string DeviceNotFoundText(std::u16string_view id);
  // Appends one entry to the call log (nothing when no log is open). Any
  // thread may write: entries never mix.
  void WriteLog(std::u16string_view text);
  // Adds a line to the log entry of the call in progress, after its inputs.
  void NoteInLog(std::u16string_view line);
  // Who answers an operator window that the call in progress is about to
  // show, read now from the control file or the variable; an automatic
  // answer is noted in the call's log entry.
  TOperatorSetting OperatorSetting();
  // True while the call log file is open.
  bool LogIsOpen() const { return Log != nullptr; }
  // The bitness of this build, as the creation entry of the log reports it.
  static constexpr int Bitness() { return static_cast<int>(sizeof(void*) * 8); }

  // The boolean result of a method.
  void SetResult(tVariant& result, bool b);
  // A scripted fault of the control file: a line "fail.<Method>=<message>"
  // (the method's English or Russian name, any letter case) makes every call
  // of that method answer false with the message before it does anything.
  // True when the call at index is so refused; methods that answer no
  // boolean (the version, the revision, GetLastError) are never refused.
  bool FailByRule(TMethodID methodId, long methodIndex, tVariant& result);
  // A device that keeps a last-error state of its own besides the text
  // forgets it here when a call is refused by such a rule.
  virtual void ForgetDeviceError() {}

  // ---- Host events and the input spool, for devices that send events ----
  // Asks the host to keep up to depth events of this object (as drivers do at
  // Open); never lowers a deeper queue. False when the host refuses or has no
  // event queue; the outcome is noted in the call's log entry.
  bool RaiseEventBuffer(long depth);
  // Starts (at Open) and stops (at Close) the object's event thread. After
  // StopEvents returns, no event reaches the host; the events still queued
  // are offered once each and those refused are logged as lost.
  void StartEvents();
  void StopEvents();
  // Queues an event for the host from any thread; false, logged as lost,
  // while the events are stopped. Every delivery and every loss is logged.
  bool PostEvent(std::u16string_view source, std::u16string_view name, std::u16string_view data);
  // Starts watching the folder <Component>_input/ of the data folder: each
  // item (a line of a file dropped there) goes to OnInputItem, on the spool's
  // thread. False, logged, when the folder cannot be made.
  bool StartInput();
  // Stops watching; OnInputItem is not called after StopInput returns. A
  // device that watches its spool stops it in its own destructor: the base's
  // destructor runs after the device's part of the object is gone.
  void StopInput();
  // An event the host took, on the event thread, as it takes it; it must not
  // throw (the event would be logged as lost). A device
  // that keeps a readable record of its events overrides it, and then stops
  // its events in its own destructor (the base's runs too late for it).
  virtual void OnEventDelivered(const TEvent& /*event*/) {}
  // One item of the spool (a device posts an event for it, say).
  virtual void OnInputItem(std::u16string_view /*item*/, std::u16string_view /*fileName*/) {}
  // The spool's folder (exists once StartInput has made it).
  std::u16string InputFolder() const;

  // Virtual operations, in slot order.
  virtual void RegisterDeviceMethods() {}
  virtual void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params);
  virtual void GetVersion(tVariant& result, TParams& params);
  virtual void GetDescription(tVariant& result, TParams& params);
  virtual void GetParameters(tVariant& result, TParams& params);
  virtual void SetParameter(tVariant& result, TParams& params);
  virtual void GetLastError(tVariant& result, TParams& params);
  virtual void Open(tVariant& result, TParams& params);
  virtual void Close(tVariant& result, TParams& params);
  virtual void GetAdditionalActions(tVariant& result, TParams& params);
  virtual void DeviceTest(tVariant& result, TParams& params);
  virtual void GetDescription_3001(tVariant& result, TParams& params);
  virtual void GetInterfaceRevision(tVariant& result, TParams& params);

  // Fields, in order.
  std::string ComponentName;
  std::vector<std::string> ParamSnapshot;
  std::u16string LogFilePath;
  bool Connected = false;
  std::u16string EquipmentName;
  std::u16string EquipmentType;
  std::u16string LastErrorText;
  std::vector<std::u16string> DeviceList;
  int32_t DeviceCounter = 0;
  std::u16string Version;
  int32_t InterfaceRevision = -1;
  std::vector<int32_t> MethodIds;
  std::u16string LastDeviceID;

protected:
  std::unique_ptr<TCallLog> Log;

private:
  std::mutex logLock_; // entries of the host's thread and of the event and spool threads
  std::unique_ptr<TEventSender> events_;
  std::unique_ptr<TInputSpool> input_;
  bool constructed_ = false;
  std::u16string callNotes_; // lines for the log entry of the call in progress
};

// The maker's page about the add-ins, reported in the driver description.
extern const char16_t* const kMakerAddinPage;

// Replaces the five XML special characters by their entities, and tab, CR and
// LF by character references.
std::u16string XmlEscape(std::u16string_view text);
std::u16string DriverDescriptionXml(const TSetEmulator& emulator);
std::u16string SettingsXml(const TSetEmulator& emulator);
// One parameter of a device's own settings page.
struct TSettingParameter {
  const char16_t* Name;
  const char16_t* Caption;
  const char16_t* Type; // "Number", "Boolean", "String"
  const char16_t* Value;
};
// A Settings document with a page "Параметры" of the device's parameters,
// then the read-only log file parameter.
std::u16string DeviceSettingsXml(std::span<const TSettingParameter> parameters,
                                 std::u16string_view logFilePath);
std::u16string ActionsXml();

// The four numbers of this library's file version joined by dots ("0.0.0.0"
// when the library carries none). Version_win.cpp / Version_posix.cpp.
std::u16string LibraryVersion();
