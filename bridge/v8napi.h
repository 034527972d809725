// The host bridge: exports and class table, the component's interface tables,
// the host-visible object with its property and method registry, and the host
// values. Everything that crosses the host boundary goes through here.
#pragma once

#include "Abi.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------
// Errors

// Raised by an operation that cannot complete at all. The bridge catches it at
// the host boundary and reports its message through AddError. The message is
// UTF-8 (std::runtime_error::what()).
class EV8Error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Text helpers (host text is UTF-16)

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text); // lone surrogates become U+FFFD

// Host text up to its terminating zero; a null pointer is empty text.
std::u16string_view HostText(const WCHAR_T* text);
inline const char16_t* AsU16(const WCHAR_T* p) {
  return reinterpret_cast<const char16_t*>(p);
}
inline const WCHAR_T* AsHost(const char16_t* p) {
  return reinterpret_cast<const WCHAR_T*>(p);
}

// ---------------------------------------------------------------------------
// Host services

// The host's allocator. A null manager, or a failed allocation, gives null.
class HostMemory {
public:
  explicit HostMemory(v8abi::MemoryManager* manager = nullptr) : manager_(manager) {}
  void* Alloc(size_t bytes) const;
  void Free(void* block) const;
  // A host-allocated copy of text with its terminating zero, or null.
  WCHAR_T* CopyString(std::u16string_view text) const;
  v8abi::MemoryManager* Manager() const { return manager_; }

private:
  v8abi::MemoryManager* manager_;
};

// ---------------------------------------------------------------------------
// Host values. Writers take the owning object's memory manager; the program
// writes only text, 32-bit integers and booleans.

void ClearValue(const HostMemory& memory, tVariant& value);
bool SetWideStringValue(const HostMemory& memory, tVariant& value, std::u16string_view text);
void SetIntValue(const HostMemory& memory, tVariant& value, int32_t n);
void SetBoolValue(const HostMemory& memory, tVariant& value, bool b);
WCHAR_T* CopyStringToHost(const HostMemory& memory, std::u16string_view text);

inline uint16_t TypeOf(const tVariant& value) {
  return value.vt & VTYPE_TYPEMASK;
}

// Text of a VTYPE_PWSTR value up to its first zero; empty for any other type.
std::u16string GetStringValue(const tVariant& value);
// The UTF-16 units of a VTYPE_PWSTR value as its stated length gives them,
// never reaching past a terminating zero; empty for any other type.
std::u16string_view GetStringUnits(const tVariant& value);
int32_t GetIntValue(const tVariant& value);
bool GetBoolValue(const tVariant& value);
double GetDoubleValue(const tVariant& value);

// Readable text of a value for the call log.
std::u16string ValueToLogText(const tVariant& value);
// A text that changes whenever the value changes (type code, blank, contents).
std::string ValueFingerprint(const tVariant& value);
// Number text: general format, at most 15 significant digits, "." as the
// decimal separator, never an exponent.
std::string FormatNumber(double value);
std::string FormatNumber(float value);
// "dd.mm.yyyy hh:nn:ss"; false when the value is no representable date.
bool FormatDateTime(int year, int month, int day, int hour, int minute, int second, std::u16string& out);
bool OleDateToText(double date, std::u16string& out);

// ---------------------------------------------------------------------------
// Host-visible object

class TV8UserObject {
public:
  TV8UserObject() = default;
  TV8UserObject(const TV8UserObject&) = delete;
  TV8UserObject& operator=(const TV8UserObject&) = delete;
  virtual ~TV8UserObject() = default;

  // Runs once after default construction, before the host sees the object:
  // subclasses register their properties and methods here.
  virtual void AfterConstruction() {}

  // The seven operations the adapters forward to.
  virtual void GetParamDefValue(const std::u16string& methodName, long methodIndex, long paramIndex,
                                tVariant& value);
  virtual bool CallMethod(const std::u16string& methodName, long methodIndex, tVariant& retValue,
                          tVariant* params, long paramCount);
  virtual long GetInfo();
  virtual void LocaleChanged();
  virtual bool AccessProperty(long propIndex, const std::u16string& propName, tVariant& value, bool isGet);
  virtual void OnInit(v8abi::Connection* connection);
  virtual void OnDone();

  // Registry (indexes are the host's, 0-based).
  void AddProperty(std::u16string english, std::u16string russian, std::u16string access);
  void AddMethod(std::u16string english, std::u16string russian, int32_t paramCount, bool hasRetVal);
  long FindProperty(std::u16string_view name) const;
  long FindMethod(std::u16string_view name) const;

  HostMemory Memory() const { return HostMemory(MemManager); }

  std::u16string Name;
  v8abi::Connection* Connection = nullptr;
  std::vector<std::u16string> PropNames;
  std::vector<std::u16string> PropNamesRu;
  std::vector<std::u16string> PropAccess;
  std::vector<std::u16string> MethNames;
  std::vector<std::u16string> MethNamesRu;
  std::vector<int32_t> MethParamCounts;
  std::vector<bool> MethHasRetVal;
  v8abi::MemoryManager* MemManager = nullptr;
  std::u16string Locale;
  std::u16string UserInterfaceLanguage; // set by newer hosts, kept only
};

// ---------------------------------------------------------------------------
// Class table and exports

using UserObjectFactory = std::unique_ptr<TV8UserObject> (*)();
inline constexpr int kClassSlots = 10;

// Puts the class into the first empty slot of ten; ignored when all are taken.
void RegisterUserClass(UserObjectFactory factory, std::u16string_view name);

template <class T> void RegisterUserClass(std::u16string_view name) {
  RegisterUserClass([]() -> std::unique_ptr<TV8UserObject> { return std::make_unique<T>(); }, name);
}

// Registers a class when the library is loaded:
//   static const ClassRegistration registration{RegisterUserClass<TFoo>, u"Name"};
struct ClassRegistration {
  template <class F> ClassRegistration(F registerClass, std::u16string_view name) { registerClass(name); }
};

// The name-comparison rule of the platform (case-sensitive; linguistic on Windows).
bool HostNamesEqual(std::u16string_view a, std::u16string_view b);

// What the library's three exports do (bridge/Exports.cpp exports them by name).
long CreateHostComponent(const WCHAR_T* wsName, void** pIntf); // GetClassObject
long DestroyHostComponent(void** pIntf);                       // DestroyObject
const WCHAR_T* RegisteredClassNames();                         // GetClassNames
