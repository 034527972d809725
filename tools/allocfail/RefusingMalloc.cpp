// The refusing allocator (RefusingMalloc.h). The definitions below take the
// place of the C library's malloc, calloc, realloc, posix_memalign,
// aligned_alloc and memalign for the whole process; each forwards to the C
// library's own entry (__libc_*), so free and malloc_usable_size of the C
// library stay right for every block. Nothing here allocates.
#include "RefusingMalloc.h"

#include <cerrno>
#include <cstddef>
#include <link.h>

extern "C" {
void* __libc_malloc(size_t bytes);
void* __libc_calloc(size_t count, size_t bytes);
void* __libc_realloc(void* block, size_t bytes);
void* __libc_memalign(size_t alignment, size_t bytes);
}

namespace refusing {

namespace {

// The test is single-threaded where it arms the countdown; the library's
// other threads (none in the unattended mode) are never inside a call.
uintptr_t watchedStart = 0;
uintptr_t watchedEnd = 0;
uint64_t armedAt = 0;
uint64_t counted = 0;
bool fired = false;
thread_local bool inside = false;

struct Search {
  uintptr_t address;
  uintptr_t start;
  uintptr_t end;
  bool found;
};

int FindObject(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<Search*>(data);
  uintptr_t start = UINTPTR_MAX;
  uintptr_t end = 0;
  bool holds = false;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    if (segment.p_type != PT_LOAD || (segment.p_flags & PF_X) == 0)
      continue;
    const uintptr_t from = info->dlpi_addr + segment.p_vaddr;
    const uintptr_t to = from + segment.p_memsz;
    start = from < start ? from : start;
    end = to > end ? to : end;
    holds = holds || (search->address >= from && search->address < to);
  }
  if (!holds)
    return 0;
  search->start = start;
  search->end = end;
  search->found = true;
  return 1;
}

// Counts an allocation of the watched library's code and tells whether it is
// the one to refuse.
bool Refuse(const void* caller) {
  const auto address = reinterpret_cast<uintptr_t>(caller);
  if (!inside || armedAt == 0 || address < watchedStart || address >= watchedEnd)
    return false;
  if (++counted != armedAt)
    return false;
  armedAt = 0;
  fired = true;
  errno = ENOMEM;
  return true;
}

} // namespace

bool WatchLibraryOf(const void* address) {
  Search search{reinterpret_cast<uintptr_t>(address), 0, 0, false};
  dl_iterate_phdr(FindObject, &search);
  watchedStart = search.found ? search.start : 0;
  watchedEnd = search.found ? search.end : 0;
  return search.found;
}

void Arm(uint64_t n) {
  armedAt = n;
  counted = 0;
  fired = false;
}

bool Fired() {
  return fired;
}

uint64_t Counted() {
  return counted;
}

Inside::Inside() : previous_(inside) {
  inside = true;
}

Inside::~Inside() {
  inside = previous_;
}

} // namespace refusing

#define REFUSING_EXPORT extern "C" __attribute__((visibility("default")))

REFUSING_EXPORT void* malloc(size_t bytes) {
  return refusing::Refuse(__builtin_return_address(0)) ? nullptr : __libc_malloc(bytes);
}

REFUSING_EXPORT void* calloc(size_t count, size_t bytes) {
  return refusing::Refuse(__builtin_return_address(0)) ? nullptr : __libc_calloc(count, bytes);
}

REFUSING_EXPORT void* realloc(void* block, size_t bytes) {
  // A refused growth leaves the block as it was, as the C library's does.
  if (bytes != 0 && refusing::Refuse(__builtin_return_address(0)))
    return nullptr;
  return __libc_realloc(block, bytes);
}

REFUSING_EXPORT void* memalign(size_t alignment, size_t bytes) {
  return refusing::Refuse(__builtin_return_address(0)) ? nullptr : __libc_memalign(alignment, bytes);
}

REFUSING_EXPORT void* aligned_alloc(size_t alignment, size_t bytes) {
  return refusing::Refuse(__builtin_return_address(0)) ? nullptr : __libc_memalign(alignment, bytes);
}

REFUSING_EXPORT int posix_memalign(void** block, size_t alignment, size_t bytes) {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
    return EINVAL;
  if (refusing::Refuse(__builtin_return_address(0)))
    return ENOMEM;
  void* p = __libc_memalign(alignment, bytes);
  if (p == nullptr)
    return ENOMEM;
  *block = p;
  return 0;
}
