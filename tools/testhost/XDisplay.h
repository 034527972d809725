// Tests of real windows on Linux: a Xvfb display of the test program's own,
// and the windows of this process seen and driven from outside, as a user or
// a window manager would, with the X tools (xdotool, xwininfo, xprop,
// ImageMagick's import).
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace xtest {

// Starts, once per program, a Xvfb display of its own and points DISPLAY at
// it (never at the user's screen). Empty when it runs; else the reason it
// cannot (Xvfb or a tool missing), for GTEST_SKIP.
std::string UseOwnDisplay();
// Unsets DISPLAY: the libraries must behave as where there is no screen.
// Call it while no window of the libraries is open.
void UseNoDisplay();

// The standard output of a shell command; its exit status in *status.
std::string Run(const std::string& command, int* status = nullptr);

// Top-level windows of this process with the class name (WM_CLASS).
std::vector<unsigned long> Windows(const std::string& className);

struct TGeometry {
  int X = 0; // on the screen for a top-level window, in its parent for a child
  int Y = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TGeometry&) const = default;
};
std::optional<TGeometry> GeometryOf(unsigned long window);
// A property as xprop shows it: the text after " = " (a UTF-8 text without
// its quotes), or empty when the window lacks it.
std::string PropertyOf(unsigned long window, const std::string& name);

struct TChild {
  unsigned long Id = 0;
  std::string Name; // UTF-8
  TGeometry Geometry;
};
// The children of a window, in the order xwininfo lists them.
std::vector<TChild> ChildrenOf(unsigned long window);
// Every child of a window, those with no name too (an empty field, a button
// with no text), oldest first: a dialog's controls in template order.
std::vector<TChild> ControlsOf(unsigned long window);

// The pixels of a window as the screen shows them.
struct TPicture {
  int Width = 0;
  int Height = 0;
  std::vector<unsigned char> Rgb; // three bytes a pixel, row by row

  // Cells (0-based) of a row of 12-by-30-pixel cells behind a one-pixel
  // margin that show strongly green pixels.
  std::vector<int> LitCells(int row, int columns) const;
  // Pixels with any red or blue: neither black nor a shade of pure green.
  int Foreign() const;
};
std::optional<TPicture> PictureOf(unsigned long window);

// Input through the X server's test extension, to whatever has the focus or
// lies under the pointer.
void Key(const std::string& keys);
// Types text (UTF-8, no single quotes) key by key.
void Type(const std::string& text);
void Click(int x, int y);
// The window manager's close: a WM_DELETE_WINDOW message to the window.
void CloseByWindowManager(unsigned long window);
// Someone else destroys the window.
void DestroyFromOutside(unsigned long window);

// Threads of this process.
int ThreadCount();

// An operator at the screen, on a thread of its own, for a modal window that
// the host's call shows: waits for the one top-level window of className of
// this process, hands it to act (which reads it and answers), then waits for
// Finish, called once the host's call has returned. A window whose call does
// not return is closed; a call that does not return even then ends the program.
class TOperatorThread {
public:
  TOperatorThread(std::string className, std::function<void(unsigned long window)> act);
  ~TOperatorThread();
  TOperatorThread(const TOperatorThread&) = delete;
  TOperatorThread& operator=(const TOperatorThread&) = delete;
  // The window found, 0 when none appeared before the call returned.
  unsigned long Finish();
  // For act: whether the host's call has returned.
  bool Returned() const { return returned_; }

private:
  void Drive(const std::string& className, const std::function<void(unsigned long)>& act);
  std::atomic<bool> returned_{false};
  unsigned long window_ = 0;
  std::thread thread_;
};

// Polls until done() holds or ms milliseconds pass; done()'s last answer.
inline bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end)
      return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

} // namespace xtest
