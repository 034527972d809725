// The component's four interface tables and the adapters in them. Each adapter
// finds its user object four words past the word it was called through, and
// nothing leaves an adapter as a C++ exception.
#include "BridgeTables.h"

#include <cstring>

namespace {

const char16_t kErrorSource[] = u"Внешняя компонента";

enum : unsigned short { kMethodFailed = 1006, kPropertyReadFailed = 1007, kPropertyWriteFailed = 1008 };

TV8UserObject* ObjectOf(void* self) {
  if (self == nullptr)
    return nullptr;
  return static_cast<TV8UserObject*>(static_cast<void**>(self)[v8abi::kObjectDistance]);
}

template <class T> bool InRange(const std::vector<T>& list, long index) {
  return index >= 0 && static_cast<unsigned long>(index) < list.size();
}

void ReportError(TV8UserObject& object, unsigned short code, std::u16string_view message) {
  v8abi::Connection* connection = object.Connection;
  if (connection == nullptr || connection->table == nullptr || connection->table->AddError == nullptr)
    return; // no connection yet: nothing to report through
  const std::u16string descr(message);
  connection->table->AddError(connection, code, AsHost(kErrorSource), AsHost(descr.c_str()), 1);
}

// Runs a guarded operation of a call or property access: a raised error is
// reported once through AddError and turns into false.
template <class F> bool Guarded(TV8UserObject& object, unsigned short code, F&& operation) {
  try {
    return operation();
  } catch (const std::exception& e) {
    try {
      ReportError(object, code, Utf8ToUtf16(e.what()));
    } catch (...) {
    }
  } catch (...) {
    try {
      ReportError(object, code, u"");
    } catch (...) {
    }
  }
  return false;
}

// Runs an adapter that cannot fail by design; should memory run out all the
// same, the host gets the fallback.
template <class R, class F> R Safe(void* self, R fallback, F&& operation) {
  TV8UserObject* object = ObjectOf(self);
  if (object == nullptr)
    return fallback;
  try {
    return operation(*object);
  } catch (...) {
    return fallback;
  }
}

const WCHAR_T* CopyName(TV8UserObject& object, const std::vector<std::u16string>& english,
                        const std::vector<std::u16string>& local, long num, long alias) {
  const auto& names = alias == 0 ? english : local;
  if (!InRange(names, num))
    return nullptr;
  return object.Memory().CopyString(names[static_cast<size_t>(num)]);
}

// ---- IInitDoneBase ----

bool ADDIN_API Init(void* self, void* connection) {
  return Safe(self, false, [&](TV8UserObject& o) {
    o.Connection = static_cast<v8abi::Connection*>(connection);
    o.OnInit(o.Connection);
    return true;
  });
}

bool ADDIN_API SetMemManager(void* self, void* memory) {
  return Safe(self, false, [&](TV8UserObject& o) {
    o.MemManager = static_cast<v8abi::MemoryManager*>(memory);
    return true;
  });
}

long ADDIN_API GetInfo(void* self) {
  return Safe(self, 0L, [](TV8UserObject& o) { return o.GetInfo(); });
}

void ADDIN_API Done(void* self) {
  Safe(self, 0, [](TV8UserObject& o) {
    o.OnDone();
    return 0;
  });
}

// ---- ILanguageExtenderBase ----

bool ADDIN_API RegisterExtensionAs(void* self, WCHAR_T** name) {
  return Safe(self, false, [&](TV8UserObject& o) {
    if (name == nullptr)
      return false;
    *name = o.Memory().CopyString(o.Name);
    return *name != nullptr;
  });
}

long ADDIN_API GetNProps(void* self) {
  return Safe(self, 0L, [](TV8UserObject& o) { return static_cast<long>(o.PropNames.size()); });
}

long ADDIN_API FindProp(void* self, const WCHAR_T* name) {
  return Safe(self, -1L, [&](TV8UserObject& o) { return o.FindProperty(HostText(name)); });
}

const WCHAR_T* ADDIN_API GetPropName(void* self, long num, long alias) {
  return Safe(self, static_cast<const WCHAR_T*>(nullptr),
              [&](TV8UserObject& o) { return CopyName(o, o.PropNames, o.PropNamesRu, num, alias); });
}

bool AccessProperty(void* self, long num, tVariant* value, bool isGet) {
  return Safe(self, false, [&](TV8UserObject& o) {
    if (!InRange(o.PropNames, num) || value == nullptr)
      return false;
    return Guarded(o, isGet ? kPropertyReadFailed : kPropertyWriteFailed, [&] {
      return o.AccessProperty(num, o.PropNames[static_cast<size_t>(num)], *value, isGet);
    });
  });
}

bool ADDIN_API GetPropVal(void* self, long num, tVariant* value) {
  return AccessProperty(self, num, value, true);
}

bool ADDIN_API SetPropVal(void* self, long num, tVariant* value) {
  return AccessProperty(self, num, value, false);
}

bool ADDIN_API IsPropReadable(void* self, long num) {
  return Safe(self, false, [&](TV8UserObject& o) {
    if (!InRange(o.PropAccess, num))
      return false;
    const std::u16string& access = o.PropAccess[static_cast<size_t>(num)];
    return access == u"R" || access == u"RW";
  });
}

bool ADDIN_API IsPropWritable(void* self, long num) {
  return Safe(self, false, [&](TV8UserObject& o) {
    if (!InRange(o.PropAccess, num))
      return false;
    const std::u16string& access = o.PropAccess[static_cast<size_t>(num)];
    return access == u"W" || access == u"RW";
  });
}

long ADDIN_API GetNMethods(void* self) {
  return Safe(self, 0L, [](TV8UserObject& o) { return static_cast<long>(o.MethNames.size()); });
}

long ADDIN_API FindMethod(void* self, const WCHAR_T* name) {
  return Safe(self, -1L, [&](TV8UserObject& o) { return o.FindMethod(HostText(name)); });
}

const WCHAR_T* ADDIN_API GetMethodName(void* self, long num, long alias) {
  return Safe(self, static_cast<const WCHAR_T*>(nullptr),
              [&](TV8UserObject& o) { return CopyName(o, o.MethNames, o.MethNamesRu, num, alias); });
}

long ADDIN_API GetNParams(void* self, long num) {
  return Safe(self, 0L, [&](TV8UserObject& o) {
    return InRange(o.MethParamCounts, num) ? static_cast<long>(o.MethParamCounts[static_cast<size_t>(num)])
                                           : 0L;
  });
}

bool ADDIN_API GetParamDefValue(void* self, long num, long param, tVariant* value) {
  return Safe(self, false, [&](TV8UserObject& o) {
    if (!InRange(o.MethNames, num) || value == nullptr)
      return false;
    o.GetParamDefValue(o.MethNames[static_cast<size_t>(num)], num, param, *value);
    return true;
  });
}

bool ADDIN_API HasRetVal(void* self, long num) {
  return Safe(self, false, [&](TV8UserObject& o) {
    return InRange(o.MethHasRetVal, num) && o.MethHasRetVal[static_cast<size_t>(num)];
  });
}

// Both call slots end here; ret null means the return value is dropped.
bool Call(void* self, long num, tVariant* ret, tVariant* params, long count) {
  return Safe(self, false, [&](TV8UserObject& o) {
    if (!InRange(o.MethNames, num))
      return false;
    if (params == nullptr || count < 0)
      count = 0;
    tVariant scratch;
    std::memset(static_cast<void*>(&scratch), 0, sizeof scratch);
    tVariant& result = ret != nullptr ? *ret : scratch;
    const bool ok = Guarded(o, kMethodFailed, [&] {
      return o.CallMethod(o.MethNames[static_cast<size_t>(num)], num, result, params, count);
    });
    ClearValue(o.Memory(), scratch); // a dropped return value gives its text back
    return ok;
  });
}

bool ADDIN_API CallAsProc(void* self, long num, tVariant* params, long count) {
  return Call(self, num, nullptr, params, count);
}

bool ADDIN_API CallAsFunc(void* self, long num, tVariant* ret, tVariant* params, long count) {
  if (ret == nullptr)
    return false;
  return Call(self, num, ret, params, count);
}

// ---- LocaleBase ----

void ADDIN_API SetLocale(void* self, const WCHAR_T* locale) {
  Safe(self, 0, [&](TV8UserObject& o) {
    o.Locale = HostText(locale);
    o.LocaleChanged();
    return 0;
  });
}

// ---- User-interface language (newer hosts) ----

void ADDIN_API SetUserInterfaceLanguageCode(void* self, const WCHAR_T* code) {
  Safe(self, 0, [&](TV8UserObject& o) {
    o.UserInterfaceLanguage = HostText(code);
    return 0;
  });
}

// ---- Destructor slots (every table) ----
// A host that ends an object with `delete` through one of its interfaces (and
// after Done or without it) gets what DestroyObject does: the user object and
// the block are gone. Word is the block's word the table hangs from, so the
// block starts Word words before the interface pointer.
//
// Every slot ends the object whole, also the Itanium complete-object
// destructor (an explicit p->~Interface()) and MSVC's deleting destructor
// called without the flag that frees the memory: the block was allocated by
// this library, no caller can free it, and a block left behind would be lost
// for good; a caller that then frees the memory itself was wrong about whose
// memory it is in any case.

template <int Word> void EndThrough(void* self) {
  if (self != nullptr)
    bridge::EndHostComponent(reinterpret_cast<v8abi::HostComponentBlock*>(static_cast<void**>(self) - Word));
}

#if defined(_WIN32)
template <int Word> void* ADDIN_DESTRUCTOR_API DeletingDestructor(void* self, unsigned /*flags*/) {
  EndThrough<Word>(self);
  return self; // as MSVC's: the object's former address
}
#define ORVIK_DESTRUCTORS(word)                                                                              \
  { DeletingDestructor<word> }
#else
// The complete-object and the deleting destructor alike.
#define ORVIK_DESTRUCTORS(word)                                                                              \
  { EndThrough<word>, EndThrough<word> }
#endif

// The words of the block the tables hang from (v8abi::HostComponentBlock).
enum : int { kInitDoneWord = 0, kLanguageExtenderWord = 1, kLocaleWord = 2, kUserLanguageWord = 3 };

} // namespace

namespace bridge {

const v8abi::InitDoneTable kInitDoneTable = {ORVIK_DESTRUCTORS(kInitDoneWord), Init, SetMemManager, GetInfo,
                                             Done};

const v8abi::LanguageExtenderTable kLanguageExtenderTable = {ORVIK_DESTRUCTORS(kLanguageExtenderWord),
                                                             RegisterExtensionAs,
                                                             GetNProps,
                                                             FindProp,
                                                             GetPropName,
                                                             GetPropVal,
                                                             SetPropVal,
                                                             IsPropReadable,
                                                             IsPropWritable,
                                                             GetNMethods,
                                                             FindMethod,
                                                             GetMethodName,
                                                             GetNParams,
                                                             GetParamDefValue,
                                                             HasRetVal,
                                                             CallAsProc,
                                                             CallAsFunc};

const v8abi::LocaleTable kLocaleTable = {ORVIK_DESTRUCTORS(kLocaleWord), SetLocale};

const v8abi::UserLanguageTable kUserLanguageTable = {ORVIK_DESTRUCTORS(kUserLanguageWord),
                                                     SetUserInterfaceLanguageCode};

} // namespace bridge
