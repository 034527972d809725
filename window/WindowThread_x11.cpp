// The window thread of a non-modal device window on Linux.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "WindowThread_x11.h"

namespace x11 {

namespace {

using Clock = std::chrono::steady_clock;

// How long a repaint waits for the thread to read the window's events.
constexpr auto kRepaintWait = std::chrono::seconds(1);

// Window threads that run, so that the end of the process stops them all. A
// plain list, a statically initialised mutex and condition: none has a
// destructor that a late call after the unit's end could trip over.
pthread_mutex_t LiveLock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t LiveEnded = PTHREAD_COND_INITIALIZER; // signalled when Running falls
TWindowThread* LiveHead = nullptr;
int Running = 0; // threads that have not yet left Run, under LiveLock

// How long the end of the process waits for the window threads to end.
constexpr auto kEndWait = std::chrono::seconds(2);

// Keeps this library loaded to the end of the process once it starts a
// window thread: a host that unloads the library under an object it never
// destroyed must not unmap the code the thread runs, and stopping the thread
// inside dlclose would mean waiting, under the dynamic loader's lock, for a
// thread that may be inside Xlib or Xft, which may want that lock themselves.
void PinLibrary() {
  static std::atomic<bool> pinned{false};
  if (pinned.load())
    return;
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&PinLibrary), &info) != 0 && info.dli_fname != nullptr &&
      dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE) != nullptr)
    pinned = true; // the handle is never closed: the library stays
}

} // namespace

// When the process ends under objects the host never destroyed (the library,
// pinned, is not unloaded before), their threads are asked to stop, and the
// process waits a little for them to leave the code and the data that go
// with it. It never joins them: a thread's owner joins it when it destroys
// the object. The windows go with their threads.
struct TUnloadStop {
  ~TUnloadStop() {
    pthread_mutex_lock(&LiveLock);
    for (TWindowThread* thread = LiveHead; thread != nullptr; thread = thread->Next_)
      thread->AskStop();
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += static_cast<time_t>(kEndWait.count());
    while (Running > 0)
      if (pthread_cond_timedwait(&LiveEnded, &LiveLock, &deadline) == ETIMEDOUT)
        break;
    pthread_mutex_unlock(&LiveLock);
  }
};
static TUnloadStop UnloadStop;

TWindowThread::TWindowThread(const std::string& displayName, TTopWindowSpec spec, TSurfaceMaker make,
                             TSurfaceCall paint, TSurfaceCall tick, std::chrono::milliseconds period,
                             TInputHooks hooks)
    : Spec_(std::move(spec)), Make_(std::move(make)), Paint_(std::move(paint)), Tick_(std::move(tick)),
      Period_(period), Hooks_(std::move(hooks)) {
  PinLibrary();
  Link();
  if (pipe2(Wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    Wake_[0] = Wake_[1] = -1;
    State_ = TState::Ended;
    return;
  }
  pthread_mutex_lock(&LiveLock);
  ++Running;
  pthread_mutex_unlock(&LiveLock);
  try {
    Thread_ = std::thread([this, displayName] {
      Run(displayName);
      Left();
    });
  } catch (...) {
    State_ = TState::Ended;
    Left();
  }
}

TWindowThread::~TWindowThread() {
  Stop();
  Unlink();
  for (int fd : Wake_)
    if (fd >= 0)
      close(fd);
}

bool TWindowThread::WaitShown(Clock::duration limit) {
  std::unique_lock lock(Lock_);
  Changed_.wait_for(lock, limit, [this] { return State_ != TState::Starting; });
  return State_ == TState::Shown;
}

bool TWindowThread::Ended() {
  const std::lock_guard lock(Lock_);
  return State_ == TState::Ended;
}

bool TWindowThread::Repaint() {
  std::unique_lock lock(Lock_);
  if (State_ == TState::Ended)
    return false;
  const unsigned long long ticket = ++Asked_;
  if (!std::exchange(RepaintAsked_, true))
    Wake(); // else the thread is woken already and takes this one too
  // A window still on its way, or a caller the thread may be waiting for,
  // does not wait.
  if (State_ == TState::Shown && !TXGuard::Held())
    Changed_.wait_for(lock, kRepaintWait, [&] { return State_ == TState::Ended || Read_ >= ticket; });
  return State_ != TState::Ended;
}

void TWindowThread::Stop() {
  AskStop();
  if (Thread_.joinable() && Thread_.get_id() != std::this_thread::get_id())
    Thread_.join();
}

void TWindowThread::AskStop() {
  {
    const std::lock_guard lock(Lock_);
    StopAsked_ = true;
    Stopping_ = true;
  }
  Wake();
}

void TWindowThread::Poke() {
  bool wake = false;
  {
    const std::lock_guard lock(Lock_);
    wake = State_ != TState::Ended && !std::exchange(PokeAsked_, true);
  }
  if (wake)
    Wake(); // else the thread is woken already, or gone
}

void TWindowThread::Left() {
  pthread_mutex_lock(&LiveLock);
  --Running;
  pthread_cond_broadcast(&LiveEnded);
  pthread_mutex_unlock(&LiveLock);
}

void TWindowThread::Link() {
  pthread_mutex_lock(&LiveLock);
  Next_ = LiveHead;
  if (LiveHead != nullptr)
    LiveHead->Previous_ = this;
  LiveHead = this;
  pthread_mutex_unlock(&LiveLock);
}

void TWindowThread::Unlink() {
  pthread_mutex_lock(&LiveLock);
  if (Previous_ != nullptr)
    Previous_->Next_ = Next_;
  else if (LiveHead == this)
    LiveHead = Next_;
  if (Next_ != nullptr)
    Next_->Previous_ = Previous_;
  Previous_ = Next_ = nullptr;
  pthread_mutex_unlock(&LiveLock);
}

void TWindowThread::Wake() {
  const char byte = 1;
  if (Wake_[1] >= 0 && write(Wake_[1], &byte, 1) < 0) {
    // The pipe is full: the thread has wake-ups enough to read.
  }
}

void TWindowThread::SetState(TState state) {
  {
    const std::lock_guard lock(Lock_);
    State_ = state;
  }
  Changed_.notify_all();
}

void TWindowThread::Run(const std::string& displayName) {
  try {
    const TXGuard guard; // let go while the thread waits
    if (auto connection = TConnection::Open(displayName)) {
      TTopWindowSpec spec = Spec_;
      spec.EventMask |= ExposureMask;
      if (Hooks_.Prepare)
        Hooks_.Prepare(*connection, spec);
      TTopWindow window(*connection, spec);
      if (window.Show()) {
        const std::shared_ptr<void> surface = Make_(*connection, window);
        Paint_(surface.get());
        SetState(TState::Shown);
        Serve(*connection, window, surface.get());
        // Ended before the window leaves the screen: a host that finds it gone
        // and shows a new document must make a new window, not repaint this one.
        SetState(TState::Ended);
      }
    }
  } catch (...) {
    // No error may leave the thread; the window is gone with its objects.
  }
  SetState(TState::Ended);
}

// The window's loop: X events, the host's requests and the ticks, until the
// window is closed or the host stops it.
void TWindowThread::Serve(TConnection& connection, const TTopWindow& window, void* surface) {
  const bool ticking = static_cast<bool>(Tick_) && Period_.count() > 0;
  Clock::time_point next = Clock::now() + Period_;
  unsigned long long seen = 0;
  for (;;) {
    int timeout = -1;
    if (ticking)
      timeout = static_cast<int>(
          std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count()));
    connection.Wait(Wake_[0], timeout);
    char drain[64];
    while (read(Wake_[0], drain, sizeof drain) > 0) {
    }
    bool paint = false;
    bool poked = false;
    unsigned long long asked = 0;
    {
      const std::lock_guard lock(Lock_);
      if (StopAsked_)
        return;
      paint = std::exchange(RepaintAsked_, false);
      poked = std::exchange(PokeAsked_, false);
      asked = Asked_;
    }
    while (connection.X.XPending(connection.Dpy) > 0) {
      XEvent event;
      connection.X.XNextEvent(connection.Dpy, &event);
      if (window.IsCloseRequest(event) || window.IsDestroyed(event))
        return;
      if (event.type == Expose && event.xexpose.count == 0 && event.xexpose.window == window.Id())
        paint = true;
      if (Hooks_.Event) {
        if (Stopping_) // an event handled may call the device: none once it is being destroyed
          return;
        Hooks_.Event(surface, event);
      }
    }
    if (poked && Hooks_.Woken)
      Hooks_.Woken(surface);
    if (asked != seen) { // the window is still there: the host's repaint may go on
      seen = asked;
      {
        const std::lock_guard lock(Lock_);
        Read_ = asked;
      }
      Changed_.notify_all();
    }
    if (ticking && Clock::now() >= next) {
      Tick_(surface);
      next += Period_;
      if (next < Clock::now())
        next = Clock::now() + Period_; // late (a suspended machine): no burst of ticks
    }
    if (paint)
      Paint_(surface);
  }
}

} // namespace x11
