// The host's binary interface, declared by hand: value records, the component's
// interface tables and the host's own (memory manager, connection).
//
// The tables are plain arrays of function pointers, never C++ classes with
// virtual functions: the Windows host is built with MSVC, whose virtual
// destructor takes one table slot, while g++ and MinGW g++ lay out two. Each
// table therefore starts with kDestructorSlots destructor words, then the
// methods. The platform never calls them (it ends an object through the
// export DestroyObject), but other hosts built on the same interface end an
// object with `delete` through its interface: the component's tables give
// them a body that ends the object as DestroyObject does (Adapter.cpp). The
// host's tables that the component calls keep theirs empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

#if defined(_WIN32)
using WCHAR_T = wchar_t;
#define ADDIN_API __stdcall
#else
using WCHAR_T = char16_t;
#define ADDIN_API
#endif

static_assert(sizeof(WCHAR_T) == 2, "host text is UTF-16");

// The destructor's calling convention: MSVC's __thiscall on x86 (this in
// ECX, the other arguments on the stack, popped by the callee); the one
// convention of the platform elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define ADDIN_DESTRUCTOR_API __attribute__((thiscall))
#else
#define ADDIN_DESTRUCTOR_API
#endif

namespace v8abi {

#if defined(_WIN32)
// MSVC: one slot, the scalar deleting destructor; bit 0 of flags asks it to
// free the object's memory too. It gives back the object's address.
inline constexpr int kDestructorSlots = 1;
using DestructorSlot = void*(ADDIN_DESTRUCTOR_API*)(void* self, unsigned flags);
#else
// Itanium C++ ABI: slot 0 the complete-object destructor (an explicit call of
// the destructor), slot 1 the deleting destructor (what `delete p` calls).
inline constexpr int kDestructorSlots = 2;
using DestructorSlot = void (*)(void* self);
#endif

} // namespace v8abi

// Type codes of tVariant::vt (test them masked with 0xFFF).
enum VariantType : uint16_t {
  VTYPE_EMPTY = 0,
  VTYPE_NULL = 1,
  VTYPE_I2 = 2,
  VTYPE_I4 = 3,
  VTYPE_R4 = 4,
  VTYPE_R8 = 5,
  VTYPE_DATE = 6,
  VTYPE_TM = 7,
  VTYPE_PSTR = 8,
  VTYPE_INTERFACE = 9,
  VTYPE_ERROR = 10,
  VTYPE_BOOL = 11,
  VTYPE_VARIANT = 12,
  VTYPE_I1 = 13,
  VTYPE_UI1 = 14,
  VTYPE_UI2 = 15,
  VTYPE_UI4 = 16,
  VTYPE_I8 = 17,
  VTYPE_UI8 = 18,
  VTYPE_INT = 19,
  VTYPE_UINT = 20,
  VTYPE_HRESULT = 21,
  VTYPE_PWSTR = 22,
  VTYPE_BLOB = 23,
  VTYPE_CLSID = 24,
};
inline constexpr uint16_t VTYPE_TYPEMASK = 0x0FFF;

struct HostGuid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

struct tVariant {
  union {
    int8_t i8Val;
    int16_t shortVal;
    int32_t lVal;
    int intVal;
    unsigned int uintVal;
    int64_t llVal;
    uint8_t ui8Val;
    uint16_t ushortVal;
    uint32_t ulVal;
    uint64_t ullVal;
    int32_t errCode;
    long hRes;
    float fltVal;
    double dblVal;
    bool bVal;
    char chVal;
    wchar_t wchVal;
    double date;
    HostGuid IDVal;
    tVariant* pvarVal;
    struct tm tmVal;
    struct {
      void* pInterfaceVal;
      HostGuid InterfaceID;
    };
    struct {
      char* pstrVal;
      uint32_t strLen;
    };
    struct {
      WCHAR_T* pwstrVal;
      uint32_t wstrLen;
    };
  };
  uint32_t cbElements;
  uint16_t vt;
};

#if defined(_WIN32)
static_assert(sizeof(struct tm) == 36);
static_assert(offsetof(tVariant, cbElements) == 40);
static_assert(offsetof(tVariant, vt) == 44);
static_assert(sizeof(tVariant) == 48);
static_assert(alignof(tVariant) == 8);
#else
static_assert(sizeof(struct tm) == 56);
static_assert(offsetof(tVariant, cbElements) == 56);
static_assert(offsetof(tVariant, vt) == 60);
static_assert(sizeof(tVariant) == 64);
#endif
static_assert(offsetof(tVariant, wstrLen) == sizeof(void*));

namespace v8abi {

// ---- Host side: tables the component calls ----

struct MemoryManagerTable {
  DestructorSlot destructor[kDestructorSlots];
  bool(ADDIN_API* AllocMemory)(void* self, void** block, unsigned long bytes);
  void(ADDIN_API* FreeMemory)(void* self, void** block);
};

struct ConnectionTable {
  DestructorSlot destructor[kDestructorSlots];
  bool(ADDIN_API* AddError)(void* self, unsigned short code, const WCHAR_T* source, const WCHAR_T* descr,
                            long scode);
  void* Read;
  void* Write;
  void* RegisterProfileAs;
  bool(ADDIN_API* SetEventBufferDepth)(void* self, long depth);
  long(ADDIN_API* GetEventBufferDepth)(void* self);
  // The host copies the three texts during the call; false when its queue
  // for this object is full and the event is lost.
  bool(ADDIN_API* ExternalEvent)(void* self, WCHAR_T* source, WCHAR_T* message, WCHAR_T* data);
  void(ADDIN_API* CleanEventBuffer)(void* self);
  void* SetStatusLine;
  void* ResetStatusLine;
};

// A host object as the component sees it: its first word is its table.
template <class Table> struct HostObject { const Table* table; };
using MemoryManager = HostObject<MemoryManagerTable>;
using Connection = HostObject<ConnectionTable>;

// ---- Component side: tables the host calls ----
// Every slot receives the address of the table word it was called through.

struct InitDoneTable {
  DestructorSlot destructor[kDestructorSlots];
  bool(ADDIN_API* Init)(void* self, void* connection);
  bool(ADDIN_API* setMemManager)(void* self, void* memory);
  long(ADDIN_API* GetInfo)(void* self);
  void(ADDIN_API* Done)(void* self);
};

struct LanguageExtenderTable {
  DestructorSlot destructor[kDestructorSlots];
  bool(ADDIN_API* RegisterExtensionAs)(void* self, WCHAR_T** name);
  long(ADDIN_API* GetNProps)(void* self);
  long(ADDIN_API* FindProp)(void* self, const WCHAR_T* name);
  const WCHAR_T*(ADDIN_API* GetPropName)(void* self, long num, long alias);
  bool(ADDIN_API* GetPropVal)(void* self, long num, tVariant* value);
  bool(ADDIN_API* SetPropVal)(void* self, long num, tVariant* value);
  bool(ADDIN_API* IsPropReadable)(void* self, long num);
  bool(ADDIN_API* IsPropWritable)(void* self, long num);
  long(ADDIN_API* GetNMethods)(void* self);
  long(ADDIN_API* FindMethod)(void* self, const WCHAR_T* name);
  const WCHAR_T*(ADDIN_API* GetMethodName)(void* self, long num, long alias);
  long(ADDIN_API* GetNParams)(void* self, long num);
  bool(ADDIN_API* GetParamDefValue)(void* self, long num, long param, tVariant* value);
  bool(ADDIN_API* HasRetVal)(void* self, long num);
  bool(ADDIN_API* CallAsProc)(void* self, long num, tVariant* params, long count);
  bool(ADDIN_API* CallAsFunc)(void* self, long num, tVariant* ret, tVariant* params, long count);
};

struct LocaleTable {
  DestructorSlot destructor[kDestructorSlots];
  void(ADDIN_API* SetLocale)(void* self, const WCHAR_T* locale);
};

struct UserLanguageTable {
  DestructorSlot destructor[kDestructorSlots];
  void(ADDIN_API* SetUserInterfaceLanguageCode)(void* self, const WCHAR_T* code);
};

// The block the host receives as its component pointer. The host calls the
// interfaces through the addresses of the first four words; each adapter finds
// the user object four words past the word it was called through.
struct HostComponentBlock {
  const InitDoneTable* initDone;
  const LanguageExtenderTable* languageExtender;
  const LocaleTable* locale;
  const UserLanguageTable* userLanguage;
  void* object[4];
};
static_assert(sizeof(HostComponentBlock) == 8 * sizeof(void*));
inline constexpr int kObjectDistance = 4;

// Exported entry points, as the host resolves them by name.
using GetClassObjectFn = long (*)(const WCHAR_T* name, void** component);
using DestroyObjectFn = long (*)(void** component);
using GetClassNamesFn = const WCHAR_T* (*)();

} // namespace v8abi
