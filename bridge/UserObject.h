// The host-visible object: the base of every object the host can create, with
// its property and method registry and the host's services (allocator,
// connection, locale). The host's value record is only named here; its
// contents are the host values' business (HostValues.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct tVariant;
namespace v8abi {
struct MemoryManagerTable;
struct ConnectionTable;
template <class Table> struct HostObject;
using MemoryManager = HostObject<MemoryManagerTable>;
using Connection = HostObject<ConnectionTable>;
} // namespace v8abi

// Raised by an operation that cannot complete at all. The bridge catches it at
// the host boundary and reports its message through AddError. The message is
// UTF-8 (std::runtime_error::what()).
class EV8Error : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class HostMemory; // the host's allocator (HostValues.h)

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

  HostMemory Memory() const;

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
