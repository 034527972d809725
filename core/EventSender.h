// The events of one device object on their way to the host: posted from any
// thread, handed to the host in the order posted by one thread of the sender's
// own, so that no poster ever waits for the host. An event the host refuses
// (its queue is full) is offered again after a short pause, for a bounded
// time; after that it is written to the log as lost. No event disappears
// without a log line.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

struct TEvent {
  std::u16string Source;
  std::u16string Name;
  std::u16string Data;
};

class TEventSender {
public:
  // Hands one event to the host: true when it took it.
  using TDeliver = std::function<bool(const TEvent& event)>;
  // Writes one line to the object's log; called from the sender's thread and
  // from posting threads, so it must be safe from any thread.
  using TNote = std::function<void(std::u16string_view line)>;

  // Events waiting beyond this many are lost at once (and logged): a host
  // that takes nothing must not make the object grow without end.
  static constexpr size_t kQueueLimit = 65536;

  // patience: how long a refused event is offered again before it is lost.
  TEventSender(TDeliver deliver, TNote note, std::chrono::milliseconds patience = std::chrono::seconds(2),
               size_t queueLimit = kQueueLimit);
  ~TEventSender(); // Stop
  TEventSender(const TEventSender&) = delete;
  TEventSender& operator=(const TEventSender&) = delete;

  // Starts the thread (at Open); events posted before are lost.
  void Start();
  // Queues an event; false (and logged as lost) while the sender is stopped
  // or its queue is full.
  bool Post(TEvent event);
  // Ends delivery (at Close and before the object goes): what is still queued
  // is offered to the host once each, without waiting, and an event it refuses
  // is logged as lost; then the thread is joined. Once Stop returns nothing is
  // handed to the host and neither function given above is called by the
  // thread again.
  void Stop();
  bool Running() const;

  // The log lines about one event.
  static std::u16string DeliveredText(const TEvent& event);
  static std::u16string LostText(const TEvent& event, std::u16string_view reason);

private:
  void Run();
  // Offers the event until the host takes it, the patience is used up or (when
  // patient is false, or once Stop is asked) once; true when taken.
  bool Deliver(const TEvent& event, bool patient);

  TDeliver deliver_;
  TNote note_;
  std::chrono::milliseconds patience_;
  size_t queueLimit_;

  mutable std::mutex lock_;
  std::condition_variable wake_;
  std::deque<TEvent> queue_;
  bool running_ = false;  // posts are taken
  bool stopping_ = false; // the thread drains and ends
  std::thread thread_;
  std::mutex control_; // Start and Stop one at a time
};
