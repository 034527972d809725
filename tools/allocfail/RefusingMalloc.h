// An allocator that refuses one chosen allocation made by the code of one
// library, on the thread that is inside a call into it: the test program
// defines malloc and its relatives, which the library's own C++ runtime
// (libc++, linked into it statically) reaches through the dynamic linker, and
// passes every other request to the C library's allocator.
#pragma once

#include <cstdint>

namespace refusing {

// The library whose allocations may be refused: the code segments of the
// loaded object that holds address. False when no loaded object holds it.
bool WatchLibraryOf(const void* address);

// Arms the countdown: the n-th allocation the watched library makes inside a
// call (Inside) from now on is refused; 0 refuses none.
void Arm(uint64_t n);
// True once the armed allocation has been refused; the countdown is then off.
bool Fired();
// Allocations of the watched library counted since Arm.
uint64_t Counted();

// Marks the calling thread as inside a call into the library while it lives.
class Inside {
public:
  Inside();
  ~Inside();
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;

private:
  bool previous_;
};

} // namespace refusing
