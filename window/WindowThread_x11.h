// A non-modal device window on Linux, served by a thread of its own: the
// thread owns the connection and the window, repaints on exposure and on the
// host's request, runs an optional timer, and ends when the window is closed
// or the host stops it. The device paints through the functions it hands
// over, which run on the window's thread.
//
// Include after every other header (X11_x11.h).
#pragma once

#include "X11_x11.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace x11 {

class TWindowThread {
public:
  // Makes what the window is painted on, once the window is on the screen.
  using TSurfaceMaker = std::function<std::shared_ptr<void>(TConnection&, const TTopWindow&)>;
  // Paints, or ticks, on that surface.
  using TSurfaceCall = std::function<void(void* surface)>;

  // What a window that takes input adds, each part optional: Prepare fits
  // the spec on the thread's connection before the window is made (its size
  // from a font's measures, say); Event gets every event of the window and
  // of its children but the close, never once a stop was asked; Woken runs
  // on the thread, on the surface, after a Poke.
  struct TInputHooks {
    std::function<void(TConnection&, TTopWindowSpec&)> Prepare;
    std::function<void(void* surface, XEvent& event)> Event;
    TSurfaceCall Woken;
  };

  // Starts the thread: it opens displayName, makes the window of spec (its
  // event mask gains ExposureMask), makes the surface and paints it, then
  // serves the window. tick, when set, runs every period.
  TWindowThread(const std::string& displayName, TTopWindowSpec spec, TSurfaceMaker make, TSurfaceCall paint,
                TSurfaceCall tick, std::chrono::milliseconds period, TInputHooks hooks = {});
  ~TWindowThread(); // stops the thread first
  TWindowThread(const TWindowThread&) = delete;
  TWindowThread& operator=(const TWindowThread&) = delete;

  // Waits until the window is on the screen (true) or the thread gave up.
  bool WaitShown(std::chrono::steady_clock::duration limit);
  // The window was closed (by the user or by someone else) or never came.
  bool Ended();
  // Asks the thread to paint the window again. Unless the caller holds the X
  // lock, it waits (a second at most) until the thread has read what befell
  // the window so far: false when the window turned out to be closed or
  // destroyed, so that the caller makes a new one instead.
  bool Repaint();
  // Closes the window and ends the thread; nothing of it runs afterwards.
  void Stop();
  // Has the thread run the hooks' Woken soon; never waits.
  void Poke();

private:
  enum class TState { Starting, Shown, Ended };

  void Link();
  void Unlink();
  void AskStop(); // Stop without waiting for the thread
  void Left();    // the thread is done with Run
  void Wake();
  void SetState(TState state);
  void Run(const std::string& displayName);
  void Serve(TConnection& connection, const TTopWindow& window, void* surface);
  friend struct TUnloadStop;

  const TTopWindowSpec Spec_;
  const TSurfaceMaker Make_;
  const TSurfaceCall Paint_;
  const TSurfaceCall Tick_;
  const std::chrono::milliseconds Period_;
  const TInputHooks Hooks_;
  std::atomic<bool> Stopping_{false}; // StopAsked_, read between the events
  std::mutex Lock_;                   // guards the five below
  std::condition_variable Changed_;
  TState State_ = TState::Starting;
  bool StopAsked_ = false;
  bool RepaintAsked_ = false;
  bool PokeAsked_ = false;
  unsigned long long Asked_ = 0; // repaints asked for, and the last one
  unsigned long long Read_ = 0;  // after which the window's events were read
  int Wake_[2] = {-1, -1};
  std::thread Thread_;
  TWindowThread* Previous_ = nullptr; // under the list's lock
  TWindowThread* Next_ = nullptr;
};

} // namespace x11
