// The data collection terminal emulator: goods uploaded in batches
// (UploadTable), the records collected on the terminal handed back
// (DownloadTable) until ClearTable empties them.
//
// The terminal's state (its goods, an upload in progress, the collected
// records) lives in the data folder, in <Component>_terminal.xml, replaced
// whole at every change under a lock every process takes
// (<Component>_terminal.lock), so that objects and processes share one
// terminal and a restart finds it as it was.
//
// What is collected comes from a person through the input window "Терминал
// сбора данных" (a code, a quantity, the default button adds the record), or,
// with nobody at the screen, from the control file's "collect=<code>;<quantity>"
// lines: they are taken at DownloadTable, each line that was not there (as
// many times) at the previous DownloadTable, so that a test's lines are
// collected exactly once however often it asks. Every record taken is also
// appended to <Component>_collected.txt ("<code>\t<quantity>"), which a test
// reads instead of the screen.
#pragma once

#include "DeviceSet.h"
#include "TerminalTable.h"
#include "Window.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char16_t kDctEquipmentName[] = u"Эмулятор терминала сбора данных";
inline constexpr char16_t kDctEquipmentType[] = u"ТерминалСбораДанных";
// The input window: right of the scanner's and the card reader's (50, 170
// and 50, 430), below the customer display.
inline constexpr int kDctWindowX = 400;
inline constexpr int kDctWindowY = 330;
// The window's buttons of uploaded goods (the first ones uploaded).
inline constexpr size_t kDctGoodsButtons = 5;

class TDctSim_3001 : public TSetEmulator, private ui::IInputHandler {
public:
  ~TDctSim_3001() override;

  std::string ClassName() const override { return "TDctSim_3001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;
  void Open(tVariant& result, TParams& params) override;
  void Close(tVariant& result, TParams& params) override;

  // UploadTable (DeviceID, goods table XML, package status) -> Boolean.
  void UploadTable(tVariant& result, TParams& params);
  // DownloadTable (DeviceID, collected table XML out) -> Boolean.
  void DownloadTable(tVariant& result, TParams& params);
  // ClearTable (DeviceID) -> Boolean.
  void ClearTable(tVariant& result, TParams& params);

  // A record collected on the terminal (the window's default button): empty
  // when it was taken, else the reason. quantity empty means 1.
  std::u16string CollectTyped(std::u16string_view code, std::u16string_view quantity);

  // The input window's handler, for the tests that play the person.
  ui::IInputHandler& WindowHandler() { return *this; }
  // The window's button texts of the uploaded goods (empty: no good).
  std::vector<std::u16string> GoodsButtons();
  // The window's label about what was collected last.
  std::u16string CollectedLabel();

  std::u16string StateFileName() const;     // <Component>_terminal.xml
  std::u16string CollectedFileName() const; // <Component>_collected.txt

  bool ShowOnScreen = true; // the "Show" setting: the window at Open when a person answers

private:
  std::u16string Submit(std::span<const std::u16string> fields) override;
  void Command(int id) override;

  // Reads the state under the locks, lets change alter it and writes it back
  // when change asks to: the empty text, or why the state could not be read,
  // changed (change's own reason) or written.
  std::u16string Change(const std::function<std::u16string(TTerminalState&, bool& write)>& change);
  // Appends the records taken to the readable record.
  void Record(const std::vector<TCollected>& taken);
  // Gives the window what the state shows now.
  void ShowState(const TTerminalState& state, const std::u16string* lastCode);
  void OpenWindow();
  void CloseWindow(); // never under windowLock_: the window waits for its handler

  std::mutex stateLock_; // the threads of this process; the lock file keeps other processes out
  std::mutex windowLock_;
  std::unique_ptr<ui::TInputWindow> window_; // made and destroyed on the host's thread
  ui::TInputWindow* windowView_ = nullptr;   // the window while it may be told new texts
  std::vector<std::u16string> buttonCodes_;  // the goods buttons' codes
  std::vector<std::u16string> buttonTexts_;
  std::u16string label_;
};
