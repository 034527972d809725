#include "EventSender.h"

#include <algorithm>

namespace {

constexpr auto kFirstPause = std::chrono::milliseconds(5);
constexpr auto kLongestPause = std::chrono::milliseconds(100);

constexpr char16_t kQueueFull[] = u"очередь событий платформы заполнена";
constexpr char16_t kNotRunning[] = u"устройство не подключено";
constexpr char16_t kTooMany[] = u"очередь событий устройства заполнена";

std::u16string Describe(const TEvent& event) {
  return event.Source + u" | " + event.Name + u" | " + event.Data;
}

} // namespace

std::u16string TEventSender::DeliveredText(const TEvent& event) {
  return u"Событие передано: " + Describe(event);
}

std::u16string TEventSender::LostText(const TEvent& event, std::u16string_view reason) {
  return u"Событие " + Describe(event) + u" потеряно: " + std::u16string(reason);
}

TEventSender::TEventSender(TDeliver deliver, TNote note, std::chrono::milliseconds patience,
                           size_t queueLimit)
    : deliver_(std::move(deliver)), note_(std::move(note)), patience_(patience), queueLimit_(queueLimit) {}

TEventSender::~TEventSender() {
  Stop();
}

void TEventSender::Start() {
  std::lock_guard control(control_);
  std::lock_guard lock(lock_);
  if (running_)
    return;
  queue_.clear();
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
  running_ = true; // after the thread exists: a failed start leaves the sender stopped
}

bool TEventSender::Running() const {
  std::lock_guard lock(lock_);
  return running_;
}

bool TEventSender::Post(TEvent event) {
  const char16_t* reason = kNotRunning;
  {
    std::lock_guard lock(lock_);
    if (running_ && queue_.size() < queueLimit_) {
      queue_.push_back(std::move(event));
      wake_.notify_all();
      return true;
    }
    if (running_)
      reason = kTooMany;
  }
  note_(LostText(event, reason));
  return false;
}

void TEventSender::Stop() {
  std::lock_guard control(control_);
  {
    std::lock_guard lock(lock_);
    if (!running_)
      return;
    running_ = false; // no further posts
    stopping_ = true;
    wake_.notify_all();
  }
  thread_.join();
}

void TEventSender::Run() {
  std::unique_lock lock(lock_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty())
      return; // stopping, nothing left
    TEvent event = std::move(queue_.front());
    queue_.pop_front();
    const bool patient = !stopping_;
    lock.unlock();
    try {
      if (Deliver(event, patient))
        note_(DeliveredText(event));
      else
        note_(LostText(event, kQueueFull));
    } catch (...) {
      // No memory for the offer or its note: said if it can be, and the
      // next event is tried all the same.
      try {
        note_(LostText(event, u"недостаточно памяти"));
      } catch (...) {
      }
    }
    lock.lock();
  }
}

bool TEventSender::Deliver(const TEvent& event, bool patient) {
  const auto giveUp = std::chrono::steady_clock::now() + patience_;
  auto pause = std::chrono::milliseconds(kFirstPause);
  for (;;) {
    if (deliver_(event))
      return true;
    std::unique_lock lock(lock_);
    if (!patient || stopping_)
      return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= giveUp)
      return false;
    // A Stop wakes the pause: one more offer, then the event is given up.
    wake_.wait_until(lock, std::min(giveUp, now + pause), [this] { return stopping_; });
    pause = std::min(pause * 2, std::chrono::milliseconds(kLongestPause));
  }
}
