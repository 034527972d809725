// The add-in as the host sees it: three exports, and per object a block whose
// first four words point to the interface tables.
#include "TestHost.h"

#include <cstdio>
#include <cstdlib>

namespace testhost {

namespace {

// Words of the component block the host calls through.
enum : int { kInitDoneWord = 0, kLanguageExtenderWord = 1, kLocaleWord = 2, kUserLanguageWord = 3 };

// A table's slot called the way the host calls it: through the table whose
// pointer sits in the given word, with that word's address as the interface.
template <class Table, class Fn, class R, class... A>
R Invoke(void* block, int word, Fn Table::*slot, R fallback, A... args) {
  if (block == nullptr)
    return fallback;
  void* self = static_cast<void**>(block) + word;
  const Table* table = *static_cast<const Table* const*>(self);
  if (table == nullptr || table->*slot == nullptr)
    return fallback;
  return (table->*slot)(self, args...);
}

template <class Table, class Fn, class... A>
void InvokeVoid(void* block, int word, Fn Table::*slot, A... args) {
  if (block == nullptr)
    return;
  void* self = static_cast<void**>(block) + word;
  const Table* table = *static_cast<const Table* const*>(self);
  if (table != nullptr && table->*slot != nullptr)
    (table->*slot)(self, args...);
}

std::u16string Terminated(std::u16string_view text) {
  return std::u16string(text);
}

// Longest text read from a pointer the host never allocated.
constexpr size_t kForeignTextLimit = size_t{1} << 20;

} // namespace

// ---- AddIn ----

std::unique_ptr<AddIn> AddIn::Load(const std::string& path, std::string& error) {
  std::unique_ptr<SharedLibrary> library = OpenSharedLibrary(path, error);
  if (library == nullptr)
    return nullptr;
  std::unique_ptr<AddIn> addIn(new AddIn(std::move(library)));
  addIn->getClassObject_ =
      reinterpret_cast<v8abi::GetClassObjectFn>(addIn->library_->Symbol("GetClassObject"));
  addIn->destroyObject_ = reinterpret_cast<v8abi::DestroyObjectFn>(addIn->library_->Symbol("DestroyObject"));
  addIn->getClassNames_ = reinterpret_cast<v8abi::GetClassNamesFn>(addIn->library_->Symbol("GetClassNames"));
  const char* missing = addIn->getClassObject_ == nullptr  ? "GetClassObject"
                        : addIn->destroyObject_ == nullptr ? "DestroyObject"
                        : addIn->getClassNames_ == nullptr ? "GetClassNames"
                                                           : nullptr;
  if (missing != nullptr) {
    error = path + ": the library does not export " + missing;
    return nullptr;
  }
  return addIn;
}

std::u16string AddIn::ClassNames() const {
  const WCHAR_T* names = getClassNames_();
  return names == nullptr ? std::u16string() : std::u16string(U16Ptr(names));
}

std::vector<std::u16string> AddIn::ClassList() const {
  std::vector<std::u16string> list;
  const std::u16string names = ClassNames();
  if (names.empty())
    return list;
  size_t start = 0;
  for (;;) {
    const size_t bar = names.find(u'|', start);
    list.push_back(names.substr(start, bar == std::u16string::npos ? std::u16string::npos : bar - start));
    if (bar == std::u16string::npos)
      break;
    start = bar + 1;
  }
  return list;
}

std::unique_ptr<Component> AddIn::Create(std::u16string_view className, CountingMemory& memory) const {
  const std::u16string name = Terminated(className);
  void* block = nullptr;
  if (GetClassObject(HostPtr(name.c_str()), &block) == 0 || block == nullptr)
    return nullptr;
  return std::make_unique<Component>(*this, block, memory);
}

// ---- Component ----

Component::Component(const AddIn& addIn, void* block, CountingMemory& memory)
    : addIn_(addIn), block_(block), memory_(memory) {}

Component::~Component() {
  if (block_ == nullptr)
    return;
  if (!done_)
    Done();
  Destroy();
}

std::optional<std::u16string> Component::TakeHostString(const WCHAR_T* text) {
  if (text == nullptr)
    return std::nullopt;
  const char16_t* units = U16Ptr(text);
  const bool owned = memory_.Owns(text);
  const size_t limit = owned ? memory_.BlockSize(text) / sizeof(char16_t) : kForeignTextLimit;
  size_t length = 0;
  while (length < limit && units[length] != 0)
    ++length;
  if (owned && length == limit)
    memory_.RecordFault(MemoryFaultKind::UnterminatedText, text);
  std::u16string copy(units, length);
  memory_.Free(const_cast<WCHAR_T*>(text)); // a foreign block is recorded, not freed
  return copy;
}

bool Component::Init(void* connection) {
  return Invoke(block_, kInitDoneWord, &v8abi::InitDoneTable::Init, false, connection);
}

bool Component::SetMemManager(void* memory) {
  return Invoke(block_, kInitDoneWord, &v8abi::InitDoneTable::setMemManager, false, memory);
}

long Component::GetInfo() {
  return Invoke(block_, kInitDoneWord, &v8abi::InitDoneTable::GetInfo, 0L);
}

void Component::Done() {
  done_ = true;
  InvokeVoid(block_, kInitDoneWord, &v8abi::InitDoneTable::Done);
}

bool Component::RegisterExtensionAs(std::optional<std::u16string>& name) {
  WCHAR_T* text = nullptr;
  const bool ok =
      Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::RegisterExtensionAs, false, &text);
  name = TakeHostString(text);
  return ok;
}

long Component::GetNProps() {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::GetNProps, 0L);
}

long Component::FindProp(std::u16string_view name) {
  const std::u16string text = Terminated(name);
  return FindPropRaw(HostPtr(text.c_str()));
}

long Component::FindPropRaw(const WCHAR_T* name) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::FindProp, -1L, name);
}

std::optional<std::u16string> Component::GetPropName(long num, long alias) {
  return TakeHostString(Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::GetPropName,
                               static_cast<const WCHAR_T*>(nullptr), num, alias));
}

bool Component::GetPropVal(long num, tVariant& value) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::GetPropVal, false, num, &value);
}

bool Component::SetPropVal(long num, tVariant& value) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::SetPropVal, false, num, &value);
}

bool Component::IsPropReadable(long num) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::IsPropReadable, false, num);
}

bool Component::IsPropWritable(long num) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::IsPropWritable, false, num);
}

long Component::GetNMethods() {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::GetNMethods, 0L);
}

long Component::FindMethod(std::u16string_view name) {
  const std::u16string text = Terminated(name);
  return FindMethodRaw(HostPtr(text.c_str()));
}

long Component::RequireMethod(std::u16string_view name) {
  const long index = FindMethod(name);
  if (index < 0) {
    std::fprintf(stderr, "no method %s\n", Utf16ToUtf8(name).c_str());
    std::exit(2);
  }
  return index;
}

long Component::FindMethodRaw(const WCHAR_T* name) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::FindMethod, -1L, name);
}

std::optional<std::u16string> Component::GetMethodName(long num, long alias) {
  return TakeHostString(Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::GetMethodName,
                               static_cast<const WCHAR_T*>(nullptr), num, alias));
}

long Component::GetNParams(long num) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::GetNParams, 0L, num);
}

bool Component::GetParamDefValue(long num, long param, tVariant& value) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::GetParamDefValue, false, num,
                param, &value);
}

bool Component::HasRetVal(long num) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::HasRetVal, false, num);
}

bool Component::CallAsProc(long num, tVariant* params, long count) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::CallAsProc, false, num, params,
                count);
}

bool Component::CallAsFunc(long num, tVariant& ret, tVariant* params, long count) {
  return Invoke(block_, kLanguageExtenderWord, &v8abi::LanguageExtenderTable::CallAsFunc, false, num, &ret,
                params, count);
}

void Component::SetLocale(std::u16string_view locale) {
  const std::u16string text = Terminated(locale);
  SetLocaleRaw(HostPtr(text.c_str()));
}

void Component::SetLocaleRaw(const WCHAR_T* locale) {
  InvokeVoid(block_, kLocaleWord, &v8abi::LocaleTable::SetLocale, locale);
}

bool Component::SetUserInterfaceLanguageCode(std::u16string_view code) {
  if (block_ == nullptr || *static_cast<void**>(Word(kUserLanguageWord)) == nullptr)
    return false;
  const std::u16string text = Terminated(code);
  InvokeVoid(block_, kUserLanguageWord, &v8abi::UserLanguageTable::SetUserInterfaceLanguageCode,
             HostPtr(text.c_str()));
  return true;
}

long Component::Destroy() {
  if (block_ == nullptr)
    return 0;
  void* block = block_;
  block_ = nullptr;
  return addIn_.DestroyObject(&block);
}

void Component::DeleteThrough(int word, bool explicitCall) {
  if (block_ == nullptr)
    return;
  void* self = Word(word);
  // Every table starts with its destructor slots.
  const v8abi::DestructorSlot* slots = *static_cast<const v8abi::DestructorSlot* const*>(self);
  block_ = nullptr;
#if defined(_WIN32)
  slots[0](self, explicitCall ? 0u : 1u);
#else
  slots[explicitCall ? 0 : 1](self);
#endif
}

std::unique_ptr<ReadyObject> OpenObject(const std::string& path, std::u16string_view className,
                                        std::string& error) {
  auto ready = std::make_unique<ReadyObject>();
  ready->addIn = AddIn::Load(path, error);
  if (!ready->addIn)
    return nullptr;
  ready->component = ready->addIn->Create(className, ready->memory);
  if (!ready->component || !ready->component->Init(ready->connection) || !ready->component->SetMemManager()) {
    error = "no object of class " + Utf16ToUtf8(className);
    return nullptr;
  }
  return ready;
}

} // namespace testhost
