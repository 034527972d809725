// A test host: drives an add-in library exactly as the platform does, only
// through its three exports and the interface tables of the host ABI. It owns
// the host's side of the bargain: a counting memory manager and a connection
// that records AddError reports.
#pragma once

#include "Abi.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace testhost {

// ---------------------------------------------------------------------------
// Text (host text is UTF-16; malformed input becomes U+FFFD)

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
inline const WCHAR_T* HostPtr(const char16_t* text) {
  return reinterpret_cast<const WCHAR_T*>(text);
}
inline const char16_t* U16Ptr(const WCHAR_T* text) {
  return reinterpret_cast<const char16_t*>(text);
}

// ---------------------------------------------------------------------------
// Operating system: a loaded library and the running program's folder

class SharedLibrary {
public:
  virtual ~SharedLibrary() = default;
  virtual void* Symbol(const char* name) const = 0;
};

// Loads a library by its (UTF-8) path; null with a message in error on failure.
std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::string& path, std::string& error);
// The folder of the running executable, UTF-8, without a trailing separator.
std::string ExecutableDirectory();
// The path of a file in that folder.
std::string BesideExecutable(const std::string& fileName);
// Sets an environment variable of this process (UTF-8); a null value removes it.
void SetEnvironment(const char* name, const char* value);
// The emulators' data folder (UTF-8), made when missing, as a library loaded
// from now on finds it. On Linux it is first moved to a fresh temporary folder
// (XDG_DATA_HOME), removed when the program ends; on Windows it is the
// profile's own, which every test program of a Wine prefix shares.
std::string FreshDataFolder();

// ---------------------------------------------------------------------------
// Host memory manager: counts, remembers live blocks, records misuse

enum class MemoryFaultKind {
  NullArgument,    // FreeMemory(nullptr)
  NullBlock,       // FreeMemory(&p) with p null
  ForeignBlock,    // a block this manager never handed out
  DoubleFree,      // a block freed before
  UnterminatedText // host text without its zero inside the block
};

struct MemoryFault {
  MemoryFaultKind kind;
  const void* block;
};

std::string Describe(const MemoryFault& fault);

class CountingMemory {
public:
  CountingMemory();
  ~CountingMemory(); // releases the blocks still live
  CountingMemory(const CountingMemory&) = delete;
  CountingMemory& operator=(const CountingMemory&) = delete;

  // What setMemManager receives: the address of the table word.
  void* HostPointer() { return &port_; }

  // The host's own allocations go through the same books.
  void* Allocate(size_t bytes);
  void Free(void* block);

  // The next n allocations (the component's or the host's) fail.
  void FailNextAllocations(int n) { failNext_ = n; }

  size_t Allocations() const { return allocations_; }
  size_t Frees() const { return frees_; }
  size_t FailedAllocations() const { return failed_; }
  size_t LiveBlocks() const { return live_.size(); }
  bool Owns(const void* block) const { return live_.count(const_cast<void*>(block)) != 0; }
  // Size of a live block, 0 for any other pointer.
  size_t BlockSize(const void* block) const;

  const std::vector<MemoryFault>& Faults() const { return faults_; }
  void RecordFault(MemoryFaultKind kind, const void* block) { faults_.push_back({kind, block}); }
  void ClearFaults() { faults_.clear(); }
  // Nothing live, nothing misused.
  bool Clean() const { return live_.empty() && faults_.empty(); }
  // One line for reports: "N allocations, N frees, N live, N faults".
  std::string Summary() const;

private:
  struct Port {
    const v8abi::MemoryManagerTable* table;
    CountingMemory* owner;
  };
  static bool ADDIN_API AllocThunk(void* self, void** block, unsigned long bytes);
  static void ADDIN_API FreeThunk(void* self, void** block);
  static const v8abi::MemoryManagerTable kTable;

  Port port_;
  std::unordered_map<void*, size_t> live_;
  std::unordered_set<void*> freed_;
  size_t allocations_ = 0;
  size_t frees_ = 0;
  size_t failed_ = 0;
  int failNext_ = 0;
  std::vector<MemoryFault> faults_;
};

// ---------------------------------------------------------------------------
// Host connection: records AddError and keeps the object's queue of external
// events as the platform does: it starts with room for one event, a new event
// is refused (lost) while it is full, the texts are copied during the call, and
// any thread may call. The queue is emptied only by the test (TakeEvents),
// which plays the part of the platform's idle client.

struct ErrorReport {
  unsigned short code;
  std::u16string source;
  std::u16string description;
  long scode;
};

struct HostEvent {
  std::u16string source;
  std::u16string event;
  std::u16string data;
};

class RecordingConnection {
public:
  RecordingConnection();
  RecordingConnection(const RecordingConnection&) = delete;
  RecordingConnection& operator=(const RecordingConnection&) = delete;

  // What Init receives: the address of the table word.
  void* HostPointer() { return &port_; }
  const std::vector<ErrorReport>& Errors() const { return errors_; }
  void ClearErrors() { errors_.clear(); }

  // The events queued now, taken out of the queue (which has room again).
  std::vector<HostEvent> TakeEvents();
  // Takes events as they arrive, as an idle client handles them, until count
  // have been taken or the time is up; what was taken is returned either way.
  std::vector<HostEvent> TakeEvents(size_t count, std::chrono::milliseconds timeout);
  // Waits until the queue holds at least one event; false when the time is up.
  bool WaitQueued(std::chrono::milliseconds timeout);
  // The queue's depth, as SetEventBufferDepth sets it (a depth below 1 is refused).
  void SetDepth(long depth);
  long Depth() const;
  size_t Queued() const;
  // Events accepted and refused since the connection was made.
  size_t Accepted() const;
  size_t Refused() const;

private:
  struct Port {
    const v8abi::ConnectionTable* table;
    RecordingConnection* owner;
  };
  static bool ADDIN_API AddErrorThunk(void* self, unsigned short code, const WCHAR_T* source,
                                      const WCHAR_T* descr, long scode);
  static bool ADDIN_API SetEventBufferDepthThunk(void* self, long depth);
  static long ADDIN_API GetEventBufferDepthThunk(void* self);
  static bool ADDIN_API ExternalEventThunk(void* self, WCHAR_T* source, WCHAR_T* message, WCHAR_T* data);
  static void ADDIN_API CleanEventBufferThunk(void* self);
  static const v8abi::ConnectionTable kTable;

  Port port_;
  std::vector<ErrorReport> errors_;

  mutable std::mutex eventLock_;
  std::condition_variable eventArrived_;
  std::deque<HostEvent> events_;
  long depth_ = 1;
  size_t accepted_ = 0;
  size_t refused_ = 0;
};

// ---------------------------------------------------------------------------
// Host values

inline uint16_t TypeOf(const tVariant& value) {
  return value.vt & VTYPE_TYPEMASK;
}
tVariant EmptyValue();
tVariant IntValue(int32_t n);
tVariant DoubleValue(double d);
tVariant BoolValue(bool b);
// Text allocated with the host memory manager (the component frees it when it
// overwrites the value); an empty value when the allocation fails.
tVariant StringValue(CountingMemory& memory, std::u16string_view text);

// The text of a VTYPE_PWSTR value (wstrLen units, never past a live block's
// end); empty for other types.
std::u16string TextOf(const tVariant& value, const CountingMemory* memory = nullptr);
// What is wrong with a text value handed to the host (not host memory, block
// too small, wrong length, missing zero), or empty when it is sound.
std::string CheckHostText(const CountingMemory& memory, const tVariant& value);
// A readable UTF-8 rendering: "text" with escapes, 42, 1.5, true, empty, ...
// Text is read as TextOf reads it.
std::string DescribeValue(const tVariant& value, const CountingMemory* memory = nullptr);
// Something that changes whenever the value changes (type and contents).
std::string ValueKey(const tVariant& value, const CountingMemory* memory = nullptr);
// Gives host text back to the memory manager and leaves the value empty.
void ReleaseValue(CountingMemory& memory, tVariant& value);

// Parameters of one call, released when the list goes.
class ValueList {
public:
  explicit ValueList(CountingMemory& memory, size_t count = 0);
  ~ValueList();
  ValueList(const ValueList&) = delete;
  ValueList& operator=(const ValueList&) = delete;

  void Add(const tVariant& value) { values_.push_back(value); }
  void AddString(std::u16string_view text) { values_.push_back(StringValue(memory_, text)); }
  tVariant& operator[](size_t i) { return values_[i]; }
  tVariant* Data() { return values_.empty() ? nullptr : values_.data(); }
  long Count() const { return static_cast<long>(values_.size()); }
  void Release();

private:
  CountingMemory& memory_;
  std::vector<tVariant> values_;
};

// ---------------------------------------------------------------------------
// A loaded add-in and a component object made by it

class Component;

class AddIn {
public:
  // Null with a message when the library or one of its exports is missing.
  static std::unique_ptr<AddIn> Load(const std::string& path, std::string& error);

  // GetClassNames, as raw host text and split at "|".
  const WCHAR_T* RawClassNames() const { return getClassNames_(); }
  std::u16string ClassNames() const;
  std::vector<std::u16string> ClassList() const;

  // The exports as they are.
  long GetClassObject(const WCHAR_T* name, void** component) const {
    return getClassObject_(name, component);
  }
  long DestroyObject(void** component) const { return destroyObject_(component); }

  // A component of the class, or null when GetClassObject gives 0. Strings the
  // component hands out are freed through memory. The add-in, the memory and
  // the component must outlive the proxy.
  std::unique_ptr<Component> Create(std::u16string_view className, CountingMemory& memory) const;

private:
  explicit AddIn(std::unique_ptr<SharedLibrary> library) : library_(std::move(library)) {}
  std::unique_ptr<SharedLibrary> library_;
  v8abi::GetClassObjectFn getClassObject_ = nullptr;
  v8abi::DestroyObjectFn destroyObject_ = nullptr;
  v8abi::GetClassNamesFn getClassNames_ = nullptr;
};

// Every call goes through the table of the word the host would use and passes
// the address of that word as the interface pointer.
class Component {
public:
  Component(const AddIn& addIn, void* block, CountingMemory& memory);
  ~Component(); // Done (when not yet called) and DestroyObject, as the host ends an object
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  void* Block() const { return block_; }
  // The address of the block's word (0-based): the interface pointer of that table.
  void* Word(int index) const { return static_cast<void**>(block_) + index; }
  CountingMemory& Memory() const { return memory_; }

  // IInitDoneBase (word 0)
  bool Init(void* connection);
  bool Init(RecordingConnection& connection) { return Init(connection.HostPointer()); }
  bool SetMemManager(void* memory);
  bool SetMemManager() { return SetMemManager(memory_.HostPointer()); }
  long GetInfo();
  void Done();

  // ILanguageExtenderBase (word 1). Names handed out are copied and freed.
  bool RegisterExtensionAs(std::optional<std::u16string>& name);
  long GetNProps();
  long FindProp(std::u16string_view name);
  long FindPropRaw(const WCHAR_T* name);
  std::optional<std::u16string> GetPropName(long num, long alias);
  bool GetPropVal(long num, tVariant& value);
  bool SetPropVal(long num, tVariant& value);
  bool IsPropReadable(long num);
  bool IsPropWritable(long num);
  long GetNMethods();
  long FindMethod(std::u16string_view name);
  long FindMethodRaw(const WCHAR_T* name);
  // FindMethod for a program that cannot go on without the method: says so
  // and exits with code 2 when the library has none of that name.
  long RequireMethod(std::u16string_view name);
  std::optional<std::u16string> GetMethodName(long num, long alias);
  long GetNParams(long num);
  bool GetParamDefValue(long num, long param, tVariant& value);
  bool HasRetVal(long num);
  bool CallAsProc(long num, tVariant* params, long count);
  bool CallAsProc(long num, ValueList& params) { return CallAsProc(num, params.Data(), params.Count()); }
  bool CallAsFunc(long num, tVariant& ret, tVariant* params, long count);
  bool CallAsFunc(long num, tVariant& ret, ValueList& params) {
    return CallAsFunc(num, ret, params.Data(), params.Count());
  }

  // LocaleBase (word 2)
  void SetLocale(std::u16string_view locale);
  void SetLocaleRaw(const WCHAR_T* locale);
  // The user-interface language table of newer hosts (word 3); false when the
  // component leaves that word empty.
  bool SetUserInterfaceLanguageCode(std::u16string_view code);

  // DestroyObject; later calls on the proxy do nothing.
  long Destroy();
  // Ends the object as a host that holds it through C++ interfaces does
  // (usually after Done): `delete` through the interface of the given word
  // (0-3), i.e. the deleting destructor (Linux slot 1; Windows slot 0 with
  // flags 1), or with explicitCall the destructor alone (Linux slot 0;
  // Windows slot 0 with flags 0). Later calls on the proxy do nothing.
  void DeleteThrough(int word, bool explicitCall = false);
  bool Destroyed() const { return block_ == nullptr; }

private:
  template <class Table> const Table* TableOf(int word) const;
  // Copies a string handed to the host and frees it as the host does.
  std::optional<std::u16string> TakeHostString(const WCHAR_T* text);

  const AddIn& addIn_;
  void* block_;
  CountingMemory& memory_;
  bool done_ = false;
};

// A library loaded and one object of it made ready as the platform makes it
// before its first call (Init, setMemManager): what a tool or a benchmark
// starts from. Members are destroyed in reverse order: the object first.
struct ReadyObject {
  std::unique_ptr<AddIn> addIn;
  CountingMemory memory;
  RecordingConnection connection;
  std::unique_ptr<Component> component;
};

// Null with a message when the library cannot be loaded or the object made.
std::unique_ptr<ReadyObject> OpenObject(const std::string& path, std::u16string_view className,
                                        std::string& error);

} // namespace testhost
