// libFuzzer over the whole host interface of the emulator libraries.
// Each input makes one object of one library through the test host's tables
// and plays a sequence of host operations read from the input: method calls
// by index (out of range too) with any number of parameters of any type code,
// property reads and writes, name lookups, locale and interface language,
// Done, a missing connection or allocator, the host's allocator failing, and
// the card terminal's operator answering automatically or not at all; for
// the devices that send events, files dropped into their input spool before
// and while the calls go on, and the host's event queue emptied now and then.
//
// Oracle, besides the sanitizers: a call in range succeeds and gives a result
// of its method's type; every text handed to the host is sound host memory;
// the host's memory is balanced once the object is gone; each call adds one
// whole call-log entry (and nothing when it never reached the object); the
// entries that the event and spool threads write between them are set aside.
//
//   host_fuzz [libFuzzer options] [corpus...]   (ORVIK_FUZZ_LOG_HOME: log folder)
#include "TestHost.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

using namespace testhost;

namespace {

struct Device {
  const char* path;
  const char16_t* className;
  const char* logName;
  std::unique_ptr<AddIn> addIn;
  std::unique_ptr<class LogReader> log;
  std::vector<std::u16string> names; // the English method names, by index
  const char* spool = nullptr;       // the input spool's folder, for devices that send events
};

Device devices[] = {
    {SCALESIM_PATH, u"Orvik_ScaleSim_3001", "ScaleSim_3001_emulator.log", nullptr, nullptr, {}},
    {PANELSIM_PATH, u"Orvik_PanelSim_3001", "PanelSim_3001_emulator.log", nullptr, nullptr, {}},
    {CARDSIM_PATH, u"Orvik_CardSim_2001", "CardSim_2001_emulator.log", nullptr, nullptr, {}},
    {WEIGHSIM_PATH, u"Orvik_WeighSim_3001", "WeighSim_3001_emulator.log", nullptr, nullptr, {}},
    {RECEIPTSIM_PATH, u"Orvik_ReceiptSim_3001", "ReceiptSim_3001_emulator.log", nullptr, nullptr, {}},
    {FISCALSIM_PATH, u"Orvik_FiscalSim_3004", "FiscalSim_3004_emulator.log", nullptr, nullptr, {}},
    {SCANSIM_PATH,
     u"Orvik_ScanSim_3001",
     "ScanSim_3001_emulator.log",
     nullptr,
     nullptr,
     {},
     "ScanSim_3001_input"},
    {MSRSIM_PATH,
     u"Orvik_MsrSim_3001",
     "MsrSim_3001_emulator.log",
     nullptr,
     nullptr,
     {},
     "MsrSim_3001_input"},
    {LABELSIM_PATH, u"Orvik_LabelSim_3001", "LabelSim_3001_emulator.log", nullptr, nullptr, {}},
    {DCTSIM_PATH, u"Orvik_DctSim_3001", "DctSim_3001_emulator.log", nullptr, nullptr, {}},
};
std::string logFolder;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "host_fuzz: %s\n", what.c_str());
  std::abort();
}
void Expect(bool condition, const std::string& what) {
  if (!condition)
    Fail(what);
}

// The fuzz input, read a piece at a time; zeros once it is used up.
class Input {
public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  template <class T> T Raw() {
    T value{};
    uint8_t bytes[sizeof(T)] = {};
    for (uint8_t& b : bytes)
      b = Byte();
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }
  std::u16string Text(size_t maxUnits) {
    const size_t n = Byte() % (maxUnits + 1);
    std::u16string text;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t kind = Byte();
      switch (kind % 8) {
      case 0:
        text += static_cast<char16_t>(Raw<uint16_t>()); // anything, surrogates and zeros included
        break;
      case 1:
        text += u"\r\n"[kind % 2];
        break;
      case 2:
        text += static_cast<char16_t>(u'А' + kind % 64); // Cyrillic
        break;
      default:
        text += static_cast<char16_t>(0x20 + kind % 0x5F); // ASCII
      }
    }
    return text;
  }

private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The call log of one library, read entry by entry as it grows.
class LogReader {
public:
  explicit LogReader(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
      Fail("cannot open the log " + path);
  }
  ~LogReader() { close(fd_); }
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  // Empties the file: each input reads its own entries.
  void Reset() {
    if (ftruncate(fd_, 0) != 0)
      Fail("cannot empty the log");
    offset_ = 0;
  }
  // What was appended since the last call.
  std::string Next() {
    std::string text;
    char buffer[65536];
    for (;;) {
      const ssize_t n = pread(fd_, buffer, sizeof buffer, static_cast<off_t>(offset_));
      if (n <= 0)
        return text;
      text.append(buffer, static_cast<size_t>(n));
      offset_ += static_cast<uint64_t>(n);
    }
  }

private:
  int fd_ = -1;
  uint64_t offset_ = 0;
};

// "dd.mm.yyyy hh:nn:ss" and a tab, then the entry's own text.
bool StartsWithStamp(const std::string& entry, const std::string& text) {
  static const char kPattern[] = "00.00.0000 00:00:00\t";
  const size_t stamp = sizeof kPattern - 1;
  if (entry.size() < stamp + text.size())
    return false;
  for (size_t i = 0; i < stamp; ++i)
    if (kPattern[i] == '0' ? (entry[i] < '0' || entry[i] > '9') : entry[i] != kPattern[i])
      return false;
  return entry.compare(stamp, text.size(), text) == 0;
}

// The entries of log text that the host's calls made (a method's, the
// object's creation and end), in order; the event and spool threads' entries
// between them are dropped. An entry starts at a line that starts with a stamp.
std::string CallEntries(const std::string& text) {
  std::string kept;
  size_t start = 0;
  while (start < text.size()) {
    size_t next = start;
    do {
      next = text.find("\r\n", next);
      next = next == std::string::npos ? text.size() : next + 2;
    } while (next < text.size() && !StartsWithStamp(text.substr(next, 64), ""));
    const std::string entry = text.substr(start, next - start);
    for (const char* head : {"Метод: ", "Создан объект ", "Уничтожен объект"})
      if (StartsWithStamp(entry, head)) {
        kept += entry;
        break;
      }
    start = next;
  }
  return kept;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A value of any type code, flags included; pointers are always host memory
// or null, as a host's are. Text has a zero at the end of its block, and its
// stated length may end before, at or after the first zero. A host that gave
// no allocator passes no blocks of its own (nobody could give them back).
tVariant MakeValue(Input& in, CountingMemory& memory, bool blocks) {
  tVariant value = EmptyValue();
  const uint8_t code = in.Byte();
  uint16_t type = code % 32;
  if (code & 0x80)
    type |= static_cast<uint16_t>(0x1000u << (in.Byte() % 3)); // vector, array, by reference
  const uint16_t base = type & 0xFFF;
  if (!blocks && (base == VTYPE_PWSTR || base == VTYPE_PSTR || base == VTYPE_BLOB)) {
    // a null pointer
  } else if (base == VTYPE_PWSTR) {
    const std::u16string text = in.Text(48);
    auto* block = static_cast<char16_t*>(memory.Allocate((text.size() + 1) * sizeof(char16_t)));
    if (block != nullptr) {
      std::memcpy(block, text.data(), text.size() * sizeof(char16_t));
      block[text.size()] = 0;
    }
    value.pwstrVal = reinterpret_cast<WCHAR_T*>(block);
    value.wstrLen = block == nullptr ? 0 : static_cast<uint32_t>(in.Byte() % (text.size() + 1));
  } else if (base == VTYPE_PSTR || base == VTYPE_BLOB) {
    const size_t n = in.Byte() % 32;
    auto* block = static_cast<char*>(memory.Allocate(n + 1));
    if (block != nullptr) {
      for (size_t i = 0; i < n; ++i)
        block[i] = static_cast<char>(in.Byte());
      block[n] = 0;
    }
    value.pstrVal = block;
    value.strLen = block == nullptr ? 0 : static_cast<uint32_t>(n);
  } else if (base == VTYPE_INTERFACE || base == VTYPE_VARIANT) {
    // a null pointer: the host's own objects are out of reach here
  } else {
    uint8_t bytes[sizeof value] = {};
    for (size_t i = 0; i < offsetof(tVariant, cbElements); ++i)
      bytes[i] = in.Byte();
    std::memcpy(static_cast<void*>(&value), bytes, offsetof(tVariant, cbElements));
  }
  value.vt = type;
  return value;
}

enum class Result { Bool, Int, Text };

Result ResultOf(const std::u16string& method) {
  if (method == u"GetVersion")
    return Result::Text;
  if (method == u"GetInterfaceRevision" || method == u"GetLastError")
    return Result::Int;
  return Result::Bool;
}

// One object's life, played from the input.
class Session {
public:
  Session(Device& device, Input& in) : device_(device), in_(in) {}

  void Run() {
    LogReader& log = *device_.log;
    log.Reset();
    component_ = device_.addIn->Create(device_.className, memory_);
    Expect(component_ != nullptr, "GetClassObject made no object");
    const std::string created = Entries(log);
    Expect(StartsWithStamp(created, "Создан объект ") && EndsWith(created, "\r\n"),
           "creation entry: " + created);
    if (in_.Byte() % 8 != 0)
      component_->Init(connection_);
    if (in_.Byte() % 8 != 0)
      component_->SetMemManager();
    else
      haveMemory_ = false; // a host that gives no allocator
    methods_ = component_->GetNMethods();
    Expect(methods_ == static_cast<long>(device_.names.size()), "the number of methods changed");
    component_->GetInfo();
    std::optional<std::u16string> name;
    component_->RegisterExtensionAs(name);
    if (device_.spool != nullptr) {
      spool_ = std::filesystem::path(logFolder) / "Orvik" / device_.spool;
      std::error_code ignored;
      std::filesystem::remove_all(spool_, ignored); // the files an earlier input left
      for (int n = 1 + in_.Byte() % 2; n > 0; --n)
        DropFile();
      if (haveMemory_ && in_.Byte() % 2 == 0)
        OpenFirst(log);
    }

    for (int step = 0; step < 48 && !in_.Done(); ++step)
      Step(log);

    log.Next();
    component_.reset(); // Done (unless called) and DestroyObject
    const std::string last = Entries(log);
    const std::string destroyed = "Уничтожен объект\r\n";
    Expect(StartsWithStamp(last, destroyed) && last.size() == 20 + destroyed.size(),
           "destruction entry: " + last);
    for (tVariant& value : kept_)
      ReleaseValue(memory_, value);
    memory_.FailNextAllocations(0);
    Expect(memory_.Clean(), "host memory after DestroyObject: " + memory_.Summary());
  }

private:
  // What the log gained since the last look: the call entries only for a
  // device whose threads write entries of their own.
  std::string Entries(LogReader& log) {
    const std::string text = log.Next();
    return device_.spool != nullptr ? CallEntries(text) : text;
  }

  // Open called as the platform calls it before anything else, so that the
  // spool is watched and events flow for most of the steps; its DeviceID is
  // offered to later calls.
  void OpenFirst(LogReader& log) {
    long open = -1;
    for (size_t i = 0; i < device_.names.size(); ++i)
      if (device_.names[i] == u"Open")
        open = static_cast<long>(i);
    Expect(open >= 0, "no Open");
    ValueList params(memory_);
    params.Add(EmptyValue());
    tVariant ret = EmptyValue();
    Expect(component_->CallAsFunc(open, ret, params), "Open failed towards the host");
    CheckFaults("Open");
    Expect(StartsWithStamp(Entries(log), "Метод: Open\r\n"), "Open's log entry");
    if (TypeOf(params[0]) == VTYPE_PWSTR)
      outputs_.push_back(TextOf(params[0], &memory_));
    ReleaseValue(memory_, ret);
    // The files dropped before are taken (up to 50 ms): their events then
    // reach the host while the steps call the object.
    std::error_code error;
    for (int i = 0; i < 50 && !std::filesystem::is_empty(spool_, error) && !error; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  // A file of a few lines (a scan, a card's tracks, anything) in the spool.
  void DropFile() {
    std::error_code error;
    std::filesystem::create_directories(spool_, error);
    // At least one line, a plain code when the input has no text for it, so
    // that short inputs make events too.
    std::string bytes;
    for (int n = 1 + in_.Byte() % 4; n > 0; --n) {
      std::string line = Utf16ToUtf8(in_.Text(24));
      if (line.empty())
        line = "4601234567893";
      bytes += line + (in_.Byte() % 2 ? "\t" + Utf16ToUtf8(in_.Text(8)) : "") + "\n";
    }
    const std::filesystem::path name = spool_ / std::to_string(dropped_++);
    const std::filesystem::path temporary = name.string() + ".tmp";
    if (FILE* file = std::fopen(temporary.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
      std::filesystem::rename(temporary, name, error);
    }
  }

  void Step(LogReader& log) {
    const uint8_t op = in_.Byte();
    if (device_.spool != nullptr && op >= 0xF0) {
      if (op & 1) {
        DropFile();
      } else {
        connection_.TakeEvents(); // the host's client handles its queue
        std::this_thread::sleep_for(std::chrono::milliseconds(op & 0x0E)); // time for the threads
      }
      return;
    }
    switch (op % 12) {
    case 0:
    case 1:
    case 2:
    case 3:
      Call(log, op % 2 == 0);
      break;
    case 4: {
      tVariant value = in_.Byte() % 2 ? MakeValue(in_, memory_, haveMemory_) : EmptyValue();
      const long num = static_cast<long>(in_.Byte()) - 2;
      if (op & 0x10)
        component_->GetPropVal(num, value);
      else
        component_->SetPropVal(num, value);
      CheckFaults("property access");
      kept_.push_back(value);
      break;
    }
    case 5:
      if (op & 0x10)
        component_->SetLocaleRaw(nullptr);
      else
        component_->SetLocale(in_.Text(16));
      break;
    case 6:
      component_->SetUserInterfaceLanguageCode(in_.Text(8));
      break;
    case 7:
      memory_.FailNextAllocations(in_.Byte() % 4); // the host's allocator refuses the next blocks
      break;
    case 8: {
      const long num = static_cast<long>(in_.Byte()) - 2;
      component_->GetMethodName(num, in_.Byte() % 3);
      component_->GetNParams(num);
      component_->HasRetVal(num);
      component_->IsPropReadable(num);
      component_->IsPropWritable(num);
      tVariant value = MakeValue(in_, memory_, haveMemory_);
      component_->GetParamDefValue(num, static_cast<long>(in_.Byte()) - 2, value);
      kept_.push_back(value);
      CheckFaults("member queries");
      break;
    }
    case 9: {
      const std::u16string name = in_.Text(24);
      component_->FindMethod(name);
      component_->FindProp(name);
      break;
    }
    case 10:
      component_->Done(); // the host may still call afterwards
      break;
    default:
      component_->Init(op & 0x10 ? nullptr : connection_.HostPointer()); // errors with no one to tell
      break;
    }
  }

  void Call(LogReader& log, bool asFunction) {
    long num = static_cast<long>(in_.Byte() % (methods_ + 4)) - 2; // a few outside either end
    const uint8_t shape = in_.Byte();
    size_t count = shape % 9;
    if (shape & 0x80)
      count += 8;
    ValueList params(memory_);
    for (size_t k = 0; k < count; ++k) {
      const uint8_t source = in_.Byte();
      if (source % 4 == 0 && !outputs_.empty() && haveMemory_)
        params.AddString(outputs_[source / 4 % outputs_.size()]);
      else
        params.Add(MakeValue(in_, memory_, haveMemory_));
    }
    std::vector<tVariant> before(params.Data(), params.Data() + params.Count());
    tVariant ret = in_.Byte() % 8 == 0 ? MakeValue(in_, memory_, haveMemory_) : EmptyValue();
    const tVariant retBefore = ret;
    const bool nullParams = count > 0 && in_.Byte() % 16 == 0;
    const size_t failedBefore = memory_.FailedAllocations();

    Entries(log);
    const bool ok =
        asFunction
            ? component_->CallAsFunc(num, ret, nullParams ? nullptr : params.Data(), static_cast<long>(count))
            : component_->CallAsProc(num, nullParams ? nullptr : params.Data(), static_cast<long>(count));
    const std::string entry = Entries(log);
    const bool inRange = num >= 0 && num < methods_;
    CheckFaults("a call");

    if (!inRange) {
      Expect(!ok && entry.empty(), "a call out of range reached the object");
    } else {
      const std::u16string& method = device_.names[static_cast<size_t>(num)];
      const std::string name = Utf16ToUtf8(method);
      Expect(!name.empty(), "a method in range without a name");
      Expect(ok, "a call in range failed towards the host: " + name);
      Expect(StartsWithStamp(entry, "Метод: " + name + "\r\nВходные параметры:\r\n") &&
                 EndsWith(entry, "\r\n") && entry.find("\r\nВыходные параметры:\r\n") != std::string::npos &&
                 entry.find("Результат=") != std::string::npos,
             "log entry of " + name + " not whole: " + entry);
      if (asFunction) {
        const bool refused = memory_.FailedAllocations() != failedBefore || !haveMemory_;
        switch (ResultOf(method)) {
        case Result::Bool:
          Expect(TypeOf(ret) == VTYPE_BOOL, name + " gave " + DescribeValue(ret));
          break;
        case Result::Int:
          Expect(TypeOf(ret) == VTYPE_I4, name + " gave " + DescribeValue(ret));
          break;
        case Result::Text:
          Expect(TypeOf(ret) == VTYPE_PWSTR || (refused && TypeOf(ret) == VTYPE_EMPTY),
                 name + " gave " + DescribeValue(ret));
          break;
        }
      }
    }
    // Text the object wrote is sound host memory; remember it for later calls.
    if (TypeOf(ret) == VTYPE_PWSTR && ret.pwstrVal != retBefore.pwstrVal) {
      const std::string fault = CheckHostText(memory_, ret);
      Expect(fault.empty(), "result text: " + fault);
    }
    for (long k = 0; k < params.Count() && !nullParams; ++k) {
      const tVariant& value = params[static_cast<size_t>(k)];
      if (TypeOf(value) == VTYPE_PWSTR && value.pwstrVal != before[static_cast<size_t>(k)].pwstrVal) {
        const std::string fault = CheckHostText(memory_, value);
        Expect(fault.empty(), "output text: " + fault);
        if (outputs_.size() < 8)
          outputs_.push_back(TextOf(value, &memory_));
      }
    }
    ReleaseValue(memory_, ret);
  }

  void CheckFaults(const char* where) {
    if (!memory_.Faults().empty())
      Fail(std::string("host memory misused in ") + where + ": " + Describe(memory_.Faults().front()));
  }

  Device& device_;
  Input& in_;
  CountingMemory memory_;
  RecordingConnection connection_;
  std::unique_ptr<Component> component_;
  long methods_ = 0;
  bool haveMemory_ = true;
  std::vector<tVariant> kept_;
  std::vector<std::u16string> outputs_;
  std::filesystem::path spool_;
  int dropped_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* home = std::getenv("ORVIK_FUZZ_LOG_HOME");
  if (home != nullptr && home[0] == '/') {
    logFolder = home;
  } else {
    char pattern[] = "/tmp/orvik-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
      Fail("no temporary folder");
    logFolder = pattern;
  }
  setenv("XDG_DATA_HOME", logFolder.c_str(), 1);
  unsetenv("DISPLAY"); // no windows: an operator window that cannot be shown is refused at once
  for (Device& device : devices) {
    std::string error;
    device.addIn = AddIn::Load(device.path, error);
    if (!device.addIn)
      Fail(error);
    CountingMemory memory;
    auto component = device.addIn->Create(device.className, memory);
    Expect(component != nullptr && component->SetMemManager(), "no object to read the method names from");
    for (long num = 0; num < component->GetNMethods(); ++num)
      device.names.push_back(component->GetMethodName(num, 0).value_or(u""));
    component.reset();
    device.log = std::make_unique<LogReader>(logFolder + "/Orvik/" + device.logName);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  Device& device = devices[in.Byte() % std::size(devices)];
  // Who answers the operator windows (card terminal, scale): nobody set (a person,
  // whose window cannot be shown here), automatic approval or refusal, or a
  // word the setting does not know.
  static const char* const kOperators[] = {nullptr, "approve", "refuse", "dialog", "maybe"};
  const char* const operatorWord = kOperators[in.Byte() % 5];
  if (operatorWord != nullptr)
    setenv("ORVIK_OPERATOR", operatorWord, 1);
  else
    unsetenv("ORVIK_OPERATOR");
  Session session(device, in);
  session.Run();
  return 0;
}
