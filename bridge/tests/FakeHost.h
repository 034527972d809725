// A minimal in-process host: a memory manager that counts and can refuse, and
// a connection that records AddError.
#pragma once

#include "v8napi.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

struct FakeMemory : v8abi::MemoryManager {
  std::set<void*> live;
  int allocs = 0, frees = 0, badFrees = 0, refuse = 0;

  FakeMemory() { table = &kTable; }
  ~FakeMemory() {
    for (void* p : live)
      std::free(p);
  }
  static bool ADDIN_API Alloc(void* self, void** p, unsigned long bytes) {
    auto* m = static_cast<FakeMemory*>(static_cast<v8abi::MemoryManager*>(self));
    if (m->refuse > 0) {
      --m->refuse;
      return false;
    }
    *p = std::malloc(bytes ? bytes : 1);
    m->live.insert(*p);
    ++m->allocs;
    return true;
  }
  static void ADDIN_API Free(void* self, void** p) {
    auto* m = static_cast<FakeMemory*>(static_cast<v8abi::MemoryManager*>(self));
    if (m->live.erase(*p) == 0) {
      ++m->badFrees;
      return;
    }
    std::free(*p);
    *p = nullptr;
    ++m->frees;
  }
  static inline const v8abi::MemoryManagerTable kTable = {{}, Alloc, Free};
};

struct FakeConnection : v8abi::Connection {
  struct Error {
    unsigned short code;
    std::u16string source, descr;
    long scode;
  };
  std::vector<Error> errors;

  FakeConnection() { table = &kTable; }
  static bool ADDIN_API AddError(void* self, unsigned short code, const WCHAR_T* source, const WCHAR_T* descr,
                                 long scode) {
    auto* c = static_cast<FakeConnection*>(static_cast<v8abi::Connection*>(self));
    c->errors.push_back({code, std::u16string(HostText(source)), std::u16string(HostText(descr)), scode});
    return true;
  }
  static inline const v8abi::ConnectionTable kTable = {{}, AddError};
};
