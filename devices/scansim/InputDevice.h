// What the devices that send input to the host share (the barcode scanner and
// the magnetic card reader): the host's event queue raised and the events and
// the input spool started at Open, stopped when the last device closes; every
// input, from a line of the spool or from the input window, made into events
// by the device and posted from the DeviceID Open returned; the recent inputs
// on the window's buttons; and the readable record of the events the host
// took (<Component>_events.txt). No platform code: the window is the window
// layer's.
#pragma once

#include "DeviceSet.h"
#include "Window.h"

#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// An event a device makes of one input.
struct TInputEvent {
  std::u16string Name;
  std::u16string Data;
};

// Where an input came from, for the log.
enum class TInputOrigin { Spool, Window, Repeat };

// The most recent distinct inputs, newest first.
class TRecentInputs {
public:
  static constexpr size_t kCount = 5;
  // Puts input first, dropping an equal older one and the oldest beyond kCount.
  void Add(std::u16string input);
  const std::deque<std::u16string>& Items() const { return items_; }

private:
  std::deque<std::u16string> items_;
};

// A character code as the application gives it through SetParameter (a
// number, or text of a whole number): -1 and 0 mean none (0 is returned),
// otherwise a Unicode scalar value. False, with the message, for anything
// else.
bool ReadCharacterCode(const TParams& params, long k, std::u16string_view name, char32_t& code,
                       std::u16string& message);
// The character of a code (empty for 0).
std::u16string CharacterText(char32_t code);
// A text with blanks (spaces, tabs, no-break spaces) removed at both ends.
std::u16string_view TrimBlanks(std::u16string_view text);
// A text for a button or a record line: control characters as \xNN, "\" as "\\".
std::u16string VisibleText(std::u16string_view text);

// The layout of an input window: its template's fields, the label of the
// reason and the five buttons of the recent inputs.
struct TInputWindowLayout {
  const ui::TDialogTemplate* Template = nullptr;
  const char* ClassName = "Orvik";
  int X = 0;
  int Y = 0;
  std::vector<int> Fields;
  int ReasonId = 0;
  int FirstRecentId = 0; // the buttons FirstRecentId .. FirstRecentId + 4
};

class TInputDevice : public TSetEmulator, private ui::IInputHandler {
public:
  ~TInputDevice() override; // the window, the spool and the events end first

  void Open(tVariant& result, TParams& params) override;
  void Close(tVariant& result, TParams& params) override;
  void OnInputItem(std::u16string_view item, std::u16string_view fileName) override;
  void OnEventDelivered(const TEvent& event) override;

  // What one input becomes: its events, or the reason it is refused. line is
  // an input as a spool line gives it (the window's fields joined the same way).
  virtual std::u16string MakeEvents(std::u16string_view line, std::vector<TInputEvent>& events) const = 0;
  // The window's fields joined into a line.
  virtual std::u16string JoinFields(std::span<const std::u16string> fields) const = 0;
  virtual TInputWindowLayout WindowLayout() const = 0;

  // Makes the events of one input and posts them from the current DeviceID:
  // empty when they were posted, else the reason (also logged). A taken input
  // goes first among the recent ones.
  std::u16string Send(std::u16string_view line, TInputOrigin origin);
  // The input window's handler, for the tests that play the person.
  ui::IInputHandler& WindowHandler() { return *this; }
  std::vector<std::u16string> RecentInputs();
  // "<component>_events.txt".
  std::u16string RecordFileName() const;

  // The window setting ("Show"): an input window at Open when a person
  // answers the operator's windows.
  bool ShowOnScreen = true;

protected:
  // Guards a device's settings, which SetParameter changes on the host's
  // thread while the spool's and the window's threads read them.
  mutable std::mutex SettingsLock;

  // Closes the window, then stops the spool and the events: the destructor of
  // every device class calls it first, while its settings are still there.
  void StopAll();

private:
  std::u16string Submit(std::span<const std::u16string> fields) override;
  void Command(int id) override;
  void OpenWindow();
  void CloseWindow(); // never under inputLock_: the window waits for its handler
  // The buttons' texts for the recent inputs; under inputLock_.
  std::vector<std::pair<int, std::u16string>> RecentTexts() const;

  std::mutex inputLock_;  // what the spool's and the window's threads share
  std::u16string source_; // the DeviceID events come from
  bool open_ = false;     // a device is open
  TRecentInputs recent_;
  ui::TInputWindow* windowView_ = nullptr;   // the window while it may be told new texts
  std::unique_ptr<ui::TInputWindow> window_; // made and destroyed on the host's thread
  std::mutex recordLock_;                    // appends of the record, one at a time
};
