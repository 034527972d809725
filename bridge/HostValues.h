// Host values: reading and writing the host's value records. Writers take the
// owning object's memory manager; the program writes only text, 32-bit
// integers, booleans and (the electronic scale's weight) doubles.
#pragma once

#include "Abi.h"
#include "UserObject.h"

#include <cstdint>
#include <string>
#include <string_view>

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

// Host text up to its terminating zero; a null pointer is empty text.
std::u16string_view HostText(const WCHAR_T* text);
inline const char16_t* AsU16(const WCHAR_T* p) {
  return reinterpret_cast<const char16_t*>(p);
}
inline const WCHAR_T* AsHost(const char16_t* p) {
  return reinterpret_cast<const WCHAR_T*>(p);
}

void ClearValue(const HostMemory& memory, tVariant& value);
bool SetWideStringValue(const HostMemory& memory, tVariant& value, std::u16string_view text);
void SetIntValue(const HostMemory& memory, tVariant& value, int32_t n);
void SetBoolValue(const HostMemory& memory, tVariant& value, bool b);
void SetDoubleValue(const HostMemory& memory, tVariant& value, double d);
WCHAR_T* CopyStringToHost(const HostMemory& memory, std::u16string_view text);

inline uint16_t TypeOf(const tVariant& value) {
  return value.vt & VTYPE_TYPEMASK;
}

// Text of a VTYPE_PWSTR value up to its first zero; empty for any other type.
std::u16string GetStringValue(const tVariant& value);
// The UTF-16 units of a VTYPE_PWSTR value as its stated length gives them,
// never reaching past a terminating zero; empty for any other type.
std::u16string_view GetStringUnits(const tVariant& value);
// All the UTF-16 units of a VTYPE_PWSTR value that its stated length gives,
// zeros included; empty for any other type.
std::u16string_view GetStatedUnits(const tVariant& value);
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
