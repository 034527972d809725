// A lock for state that a device window's own thread shares with its
// emulator object: the Linux display window ticks on a thread of its own. On
// Windows every window runs on the host's thread and the lock is never
// contended. Use it with std::lock_guard.
#pragma once

#include <memory>

class TStateLock {
public:
  TStateLock();
  ~TStateLock();
  TStateLock(const TStateLock&) = delete;
  TStateLock& operator=(const TStateLock&) = delete;

  void lock();
  void unlock();

private:
  struct TImpl; // StateLock_<platform>.cpp
  std::unique_ptr<TImpl> Impl_;
};
