// The state lock on Linux: a standard mutex.
#include "StateLock.h"

#include <mutex>

struct TStateLock::TImpl {
  std::mutex Mutex;
};

TStateLock::TStateLock() : Impl_(std::make_unique<TImpl>()) {}
TStateLock::~TStateLock() = default;

void TStateLock::lock() {
  Impl_->Mutex.lock();
}

void TStateLock::unlock() {
  Impl_->Mutex.unlock();
}
