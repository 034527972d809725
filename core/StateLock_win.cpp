// The state lock on Windows: a slim reader/writer lock, taken exclusively.
#include "StateLock.h"

#include <windows.h>

struct TStateLock::TImpl {
  SRWLOCK Lock = SRWLOCK_INIT;
};

TStateLock::TStateLock() : Impl_(std::make_unique<TImpl>()) {}
TStateLock::~TStateLock() = default;

void TStateLock::lock() {
  AcquireSRWLockExclusive(&Impl_->Lock);
}

void TStateLock::unlock() {
  ReleaseSRWLockExclusive(&Impl_->Lock);
}
