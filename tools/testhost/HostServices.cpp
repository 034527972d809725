// The host's services as the component sees them: a memory manager and a
// connection, each a hand-filled table whose first word the component calls through.
#include "TestHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testhost {

namespace {

// Requests beyond this are refused as a real host would run out of memory.
constexpr size_t kLargestBlock = size_t{1} << 30;
constexpr unsigned char kFreshByte = 0xCD; // filled into new blocks: a component must not rely on zeros
constexpr unsigned char kDeadByte = 0xDD;  // filled into freed blocks: reads after free show up

} // namespace

std::string Describe(const MemoryFault& fault) {
  const char* what = "";
  switch (fault.kind) {
  case MemoryFaultKind::NullArgument:
    what = "FreeMemory with a null argument";
    break;
  case MemoryFaultKind::NullBlock:
    what = "FreeMemory of a null block";
    break;
  case MemoryFaultKind::ForeignBlock:
    what = "FreeMemory of a block the host never handed out";
    break;
  case MemoryFaultKind::DoubleFree:
    what = "FreeMemory of a block already freed";
    break;
  case MemoryFaultKind::UnterminatedText:
    what = "host text without a terminating zero inside its block";
    break;
  }
  char address[32];
  std::snprintf(address, sizeof address, " (%p)", fault.block);
  return std::string(what) + address;
}

// ---- CountingMemory ----

const v8abi::MemoryManagerTable CountingMemory::kTable = {
    {}, &CountingMemory::AllocThunk, &CountingMemory::FreeThunk};

CountingMemory::CountingMemory() : port_{&kTable, this} {}

CountingMemory::~CountingMemory() {
  for (auto& [block, size] : live_)
    std::free(block);
}

void* CountingMemory::Allocate(size_t bytes) {
  if (failNext_ > 0) {
    --failNext_;
    ++failed_;
    return nullptr;
  }
  if (bytes > kLargestBlock) {
    ++failed_;
    return nullptr;
  }
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) {
    ++failed_;
    return nullptr;
  }
  std::memset(block, kFreshByte, bytes == 0 ? 1 : bytes);
  try {
    live_.emplace(block, bytes);
    freed_.erase(block);
  } catch (...) {
    std::free(block);
    ++failed_;
    return nullptr;
  }
  ++allocations_;
  return block;
}

void CountingMemory::Free(void* block) {
  if (block == nullptr) {
    RecordFault(MemoryFaultKind::NullBlock, nullptr);
    return;
  }
  auto it = live_.find(block);
  if (it == live_.end()) {
    RecordFault(freed_.count(block) != 0 ? MemoryFaultKind::DoubleFree : MemoryFaultKind::ForeignBlock,
                block);
    return;
  }
  std::memset(block, kDeadByte, it->second == 0 ? 1 : it->second);
  live_.erase(it);
  freed_.insert(block);
  std::free(block);
  ++frees_;
}

size_t CountingMemory::BlockSize(const void* block) const {
  auto it = live_.find(const_cast<void*>(block));
  return it == live_.end() ? 0 : it->second;
}

std::string CountingMemory::Summary() const {
  return std::to_string(allocations_) + " allocations, " + std::to_string(frees_) + " frees, " +
         std::to_string(live_.size()) + " live, " + std::to_string(faults_.size()) + " faults";
}

bool ADDIN_API CountingMemory::AllocThunk(void* self, void** block, unsigned long bytes) {
  if (self == nullptr || block == nullptr)
    return false;
  try {
    *block = static_cast<Port*>(self)->owner->Allocate(bytes);
  } catch (...) {
    *block = nullptr;
  }
  return *block != nullptr;
}

void ADDIN_API CountingMemory::FreeThunk(void* self, void** block) {
  if (self == nullptr)
    return;
  CountingMemory& memory = *static_cast<Port*>(self)->owner;
  try {
    if (block == nullptr) {
      memory.RecordFault(MemoryFaultKind::NullArgument, nullptr);
      return;
    }
    memory.Free(*block);
    *block = nullptr;
  } catch (...) {
  }
}

// ---- RecordingConnection ----

const v8abi::ConnectionTable RecordingConnection::kTable = {{},
                                                            &RecordingConnection::AddErrorThunk,
                                                            nullptr,
                                                            nullptr,
                                                            nullptr,
                                                            &RecordingConnection::SetEventBufferDepthThunk,
                                                            &RecordingConnection::GetEventBufferDepthThunk,
                                                            &RecordingConnection::ExternalEventThunk,
                                                            &RecordingConnection::CleanEventBufferThunk,
                                                            nullptr,
                                                            nullptr};

RecordingConnection::RecordingConnection() : port_{&kTable, this} {}

namespace {

std::u16string CopyHostText(const WCHAR_T* p) {
  return p == nullptr ? std::u16string() : std::u16string(U16Ptr(p));
}

} // namespace

bool ADDIN_API RecordingConnection::AddErrorThunk(void* self, unsigned short code, const WCHAR_T* source,
                                                  const WCHAR_T* descr, long scode) {
  if (self == nullptr)
    return false;
  try {
    static_cast<Port*>(self)->owner->errors_.push_back(
        {code, CopyHostText(source), CopyHostText(descr), scode});
    return true;
  } catch (...) {
    return false;
  }
}

bool ADDIN_API RecordingConnection::SetEventBufferDepthThunk(void* self, long depth) {
  if (self == nullptr || depth < 1)
    return false;
  static_cast<Port*>(self)->owner->SetDepth(depth);
  return true;
}

long ADDIN_API RecordingConnection::GetEventBufferDepthThunk(void* self) {
  return self == nullptr ? 0 : static_cast<Port*>(self)->owner->Depth();
}

bool ADDIN_API RecordingConnection::ExternalEventThunk(void* self, WCHAR_T* source, WCHAR_T* message,
                                                       WCHAR_T* data) {
  if (self == nullptr)
    return false;
  RecordingConnection& c = *static_cast<Port*>(self)->owner;
  try {
    HostEvent event{CopyHostText(source), CopyHostText(message), CopyHostText(data)};
    std::lock_guard lock(c.eventLock_);
    if (c.events_.size() >= static_cast<size_t>(c.depth_)) {
      ++c.refused_;
      return false;
    }
    c.events_.push_back(std::move(event));
    ++c.accepted_;
  } catch (...) {
    return false;
  }
  c.eventArrived_.notify_all();
  return true;
}

void ADDIN_API RecordingConnection::CleanEventBufferThunk(void* self) {
  if (self == nullptr)
    return;
  RecordingConnection& c = *static_cast<Port*>(self)->owner;
  std::lock_guard lock(c.eventLock_);
  c.events_.clear();
}

std::vector<HostEvent> RecordingConnection::TakeEvents() {
  std::lock_guard lock(eventLock_);
  std::vector<HostEvent> taken(std::make_move_iterator(events_.begin()),
                               std::make_move_iterator(events_.end()));
  events_.clear();
  return taken;
}

std::vector<HostEvent> RecordingConnection::TakeEvents(size_t count, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  std::vector<HostEvent> taken;
  std::unique_lock lock(eventLock_);
  while (taken.size() < count) {
    while (!events_.empty() && taken.size() < count) {
      taken.push_back(std::move(events_.front()));
      events_.pop_front();
    }
    if (taken.size() >= count || !eventArrived_.wait_until(lock, until, [&] { return !events_.empty(); }))
      break;
  }
  return taken;
}

bool RecordingConnection::WaitQueued(std::chrono::milliseconds timeout) {
  std::unique_lock lock(eventLock_);
  return eventArrived_.wait_for(lock, timeout, [&] { return !events_.empty(); });
}

void RecordingConnection::SetDepth(long depth) {
  std::lock_guard lock(eventLock_);
  depth_ = depth < 1 ? 1 : depth;
}

long RecordingConnection::Depth() const {
  std::lock_guard lock(eventLock_);
  return depth_;
}

size_t RecordingConnection::Queued() const {
  std::lock_guard lock(eventLock_);
  return events_.size();
}

size_t RecordingConnection::Accepted() const {
  std::lock_guard lock(eventLock_);
  return accepted_;
}

size_t RecordingConnection::Refused() const {
  std::lock_guard lock(eventLock_);
  return refused_;
}

} // namespace testhost
