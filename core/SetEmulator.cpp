// The base of every device emulator: construction completion, the logged call
// path, the dispatcher and the common driver methods.
#include "CallLog.h"
#include "DeviceSet.h"
#include "EventSender.h"
#include "HostEvents.h"
#include "InputSpool.h"
#include "TextCodec.h"
#include "v8napi.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <functional>
#include <limits>

// ---------------------------------------------------------------------------
// Helpers

namespace {

constexpr char16_t kNewLine[] = u"\r\n";
constexpr char16_t kNoMemoryForOutput[] = u"Недостаточно памяти для выходного параметра ";
constexpr char16_t kNoMemoryForResult[] = u"Недостаточно памяти для результата метода";

// Every driver method answers with a boolean but the version, revision and
// last-error queries.
bool ReturnsBoolean(TMethodID id) {
  return id != m_GetVersion && id != m_GetInterfaceRevision && id != m_GetLastError;
}

// The last four characters of a component name as a decimal number; -1 when
// they are not one.
int32_t RevisionFromName(std::string_view name) {
  if (name.size() < 4)
    return -1;
  const std::string_view tail = name.substr(name.size() - 4);
  int32_t value = 0;
  const auto [end, error] = std::from_chars(tail.data(), tail.data() + tail.size(), value);
  if (error != std::errc{} || end != tail.data() + tail.size())
    return -1;
  return value;
}

// What a parameter held before the call, to tell afterwards whether the call
// changed it. Equal states are exactly equal fingerprints (ValueFingerprint),
// but text is kept as where it lay (pointer and stated length) and its units:
// a short text as its raw UTF-16 bytes, a long one, which the host may pass
// by the megabyte, as a 256-bit digest of them rather than a copy.
constexpr std::string_view kTextState = "22 ";
constexpr size_t kCopiedUnits = 4096;
struct TextPlace {
  const WCHAR_T* pointer;
  uint32_t length;
  uint32_t digested; // 0: the units follow; else the digest, of the units up to here
};
constexpr size_t kTextHeader = kTextState.size() + sizeof(TextPlace);

// Four lanes of multiply-rotate rounds over 8-byte words, each a bijection of
// its lane for a given word: two texts of equal length that differ anywhere
// end with different lanes but by a chance of about 2^-64 per lane, for any
// change that a method makes.
struct TextDigest {
  uint64_t lane[4];
  bool operator==(const TextDigest&) const = default;
};

TextDigest Digest(std::u16string_view units) {
  constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
  constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
  TextDigest d{{kPrime1, kPrime2, ~kPrime1, ~kPrime2}};
  const auto round = [](uint64_t lane, uint64_t word) {
    return std::rotl(lane + word * kPrime2, 31) * kPrime1;
  };
  const auto* bytes = reinterpret_cast<const unsigned char*>(units.data());
  const size_t size = units.size() * 2;
  size_t i = 0;
  for (; i + 32 <= size; i += 32)
    for (int k = 0; k < 4; ++k) {
      uint64_t word;
      std::memcpy(&word, bytes + i + 8 * k, 8);
      d.lane[k] = round(d.lane[k], word);
    }
  for (int k = 0; i < size; ++k, i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, bytes + i, std::min<size_t>(8, size - i));
    d.lane[k] = round(d.lane[k], word);
  }
  return d;
}

std::string ParamState(const tVariant& value, std::u16string_view units) {
  if (TypeOf(value) != VTYPE_PWSTR)
    return ValueFingerprint(value);
  std::string state(kTextState);
  const bool digested = units.size() > kCopiedUnits;
  const TextPlace place{value.pwstrVal, value.wstrLen, digested ? static_cast<uint32_t>(units.size()) : 0};
  state.append(reinterpret_cast<const char*>(&place), sizeof place);
  if (digested) {
    const TextDigest digest = Digest(units);
    state.append(reinterpret_cast<const char*>(&digest), sizeof digest);
  } else {
    state.append(reinterpret_cast<const char*>(units.data()), units.size() * 2);
  }
  return state;
}

bool StateUnchanged(const std::string& before, const tVariant& value) {
  if (TypeOf(value) != VTYPE_PWSTR)
    return before == ValueFingerprint(value);
  if (before.size() < kTextHeader || !before.starts_with(kTextState))
    return false;
  TextPlace place{};
  std::memcpy(&place, before.data() + kTextState.size(), sizeof place);
  const char* bytes = before.data() + kTextHeader;
  if (place.digested != 0) {
    if (before.size() != kTextHeader + sizeof(TextDigest))
      return false;
    TextDigest digest{};
    std::memcpy(&digest, bytes, sizeof digest);
    const std::u16string_view units = GetStringUnits(value);
    return units.size() == place.digested && Digest(units) == digest;
  }
  const size_t count = (before.size() - kTextHeader) / 2;
  if (place.pointer == value.pwstrVal && place.length == value.wstrLen && value.pwstrVal != nullptr) {
    // The same text where it lay: the same units exactly when the bytes are
    // the same and the text still ends where it ended, which needs no new
    // scan for its end.
    const char16_t* text = AsU16(value.pwstrVal);
    return std::memcmp(bytes, text, count * 2) == 0 && (count == value.wstrLen || text[count] == 0);
  }
  const std::u16string_view units = GetStringUnits(value);
  return units.size() == count && (count == 0 || std::memcmp(bytes, units.data(), count * 2) == 0);
}

// The log text of a text parameter (up to its terminating zero) from the units
// already read up to its stated length: the same text unless the host's
// stated length stops short of the zero.
std::u16string_view LogTextOf(const tVariant& value, std::u16string_view units) {
  if (value.pwstrVal == nullptr)
    return {};
  if (units.size() < value.wstrLen || AsU16(value.pwstrVal)[units.size()] == 0)
    return units;
  return HostText(value.pwstrVal);
}

} // namespace

// ---------------------------------------------------------------------------
// Life

TSetEmulator::TSetEmulator() = default;

// A destructor must not throw (an exception leaving it ends the host's
// process): a last entry that cannot be written, for want of memory say, is
// dropped.
TSetEmulator::~TSetEmulator() {
  // The threads end first: none may touch the object or the host's
  // connection once it is gone.
  StopInput();
  StopEvents();
  try {
    WriteLog(u"Уничтожен объект");
  } catch (...) {
  }
  Log.reset();
}

void TSetEmulator::AfterConstruction() {
  if (constructed_)
    return; // the registry is filled once
  constructed_ = true;

  ParamSnapshot.clear();
  const std::string className = ClassName();
  ComponentName = className.empty() ? std::string() : className.substr(1);
  InterfaceRevision = RevisionFromName(ComponentName);

  if (InterfaceRevision >= 2000 && InterfaceRevision <= 2999)
    RegisterMethodTable(CommonMethods2001);
  else if (InterfaceRevision >= 3000 && InterfaceRevision <= 3999)
    RegisterMethodTable(CommonMethods3001);
  RegisterDeviceMethods();

  DeviceList.clear();
  DeviceCounter = 0;
  Version = LibraryVersion();

  Log.reset();
  LogFilePath.clear();
  const std::u16string component = Utf8ToUtf16(ComponentName);
  Log = TCallLog::Open(component + u"_emulator.log", LogFilePath);
  WriteLog(u"Создан объект " + component + u" версия: " + Version + u"  разрядность: " + Decimal(Bitness()));
  // Made now, with no thread yet, so that the spool's thread finds it in
  // place whenever a device posts.
  events_ = std::make_unique<TEventSender>(
      [this](const TEvent& event) {
        if (!hostevents::Send(Connection, event.Source, event.Name, event.Data))
          return false;
        OnEventDelivered(event);
        return true;
      },
      [this](std::u16string_view line) { WriteLog(line); });
}

void TSetEmulator::RegisterMethodTable(const TMethodTable& table) {
  const size_t rows =
      std::min({table.English.size(), table.Russian.size(), table.ParamCounts.size(), table.Ids.size()});
  // The identifiers stay parallel to the host-visible names even if a
  // subclass added names of its own.
  MethodIds.resize(MethNames.size(), m_Unknown);
  for (size_t i = 0; i < rows; ++i) {
    AddMethod(table.English[i], table.Russian[i], table.ParamCounts[i], true);
    MethodIds.push_back(table.Ids[i]);
  }
}

// DeviceIDs are made of the component name (an ASCII class name), "#" and
// digits, so folding ASCII letters is the whole of "ignoring case" for them.
bool TSetEmulator::DeviceIDExists(std::u16string_view id) const {
  for (const std::u16string& known : DeviceList)
    if (EqualIgnoringAsciiCase(known, id))
      return true;
  return false;
}

std::u16string TSetEmulator::DeviceNotFoundText(std::u16string_view id) {
  std::u16string text = u"DeviceID ";
  text += id;
  text += u"не найдено!";
  return text;
}

bool TSetEmulator::RequireDevice(tVariant& result, const TParams& params) {
  const std::u16string id = params.Text(0);
  if (DeviceIDExists(id))
    return true;
  Fail(result, DeviceNotFoundText(id));
  return false;
}

void TSetEmulator::Fail(tVariant& result, std::u16string_view message) {
  LastErrorText = message;
  SetResult(result, false);
}

void TSetEmulator::SetResult(tVariant& result, bool b) {
  SetBoolValue(Memory(), result, b);
}

void TSetEmulator::WriteLog(std::u16string_view text) {
  std::lock_guard lock(logLock_);
  if (Log)
    Log->Write(text);
}

void TSetEmulator::NoteInLog(std::u16string_view line) {
  callNotes_.append(line);
  callNotes_.append(kNewLine);
}

TOperatorSetting TSetEmulator::OperatorSetting() {
  TOperatorSetting setting = ReadOperatorSetting();
  if (setting.Automatic())
    NoteInLog(setting.LogNote());
  return setting;
}

bool TSetEmulator::FailByRule(TMethodID methodId, long methodIndex, tVariant& result) {
  if (!ReturnsBoolean(methodId) || methodIndex < 0)
    return false;
  const size_t index = static_cast<size_t>(methodIndex);
  if (index >= MethNames.size() || index >= MethNamesRu.size())
    return false;
  // Read at every call, so that a test switches faults between two steps.
  const TOperatorSetting setting = ReadOperatorSetting();
  if (setting.Values.empty())
    return false;
  for (const std::u16string* name : {&MethNames[index], &MethNamesRu[index]}) {
    const std::u16string* message = setting.Value(u"fail." + *name);
    if (message == nullptr)
      continue;
    NoteInLog(u"Отказ по правилу fail." + *name + u"=" + *message + u" из файла " + setting.ValuesFile);
    ForgetDeviceError();
    Fail(result,
         message->empty() ? std::u16string_view(u"Ошибка устройства") : std::u16string_view(*message));
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// The call path

bool TSetEmulator::CallMethod(const std::u16string& methodName, long methodIndex, tVariant& retValue,
                              tVariant* params, long paramCount) {
  TMethodID methodId = m_Unknown;
  if (methodIndex >= 0 && static_cast<size_t>(methodIndex) < MethodIds.size())
    methodId = static_cast<TMethodID>(MethodIds[static_cast<size_t>(methodIndex)]);
  if (methodId != m_GetLastError)
    LastErrorText.clear();
  callNotes_.clear();

  TParams args(Memory(), params, paramCount);
  const long count = args.Count();
  const bool logging = Log != nullptr;

  // The entry goes straight into the log's encoding (TCallLog::MakeHead): a
  // parameter of many megabytes is converted once and copied nowhere else.
  // The head is made before the method runs, from the inputs as they are.
  using TAdd = std::function<void(std::u16string_view)>;
  const auto addValue = [](const TAdd& add, const tVariant& value) {
    if (TypeOf(value) == VTYPE_PWSTR) { // as ValueToLogText, without a copy of the text
      add(u"\"");
      add(HostText(value.pwstrVal));
      add(u"\"");
    } else {
      add(ValueToLogText(value));
    }
  };
  if (logging) {
    ParamSnapshot.clear();
    ParamSnapshot.reserve(static_cast<size_t>(count));
    std::vector<std::u16string_view> units;
    units.reserve(static_cast<size_t>(count));
    for (long k = 0; k < count; ++k) {
      const tVariant& value = args[k];
      units.push_back(GetStringUnits(value)); // the one scan of a text's end
      ParamSnapshot.push_back(ParamState(value, units.back()));
    }
    Log->MakeHead([&](const TAdd& add) {
      add(u"Метод: ");
      add(methodName);
      add(u"\r\nВходные параметры:\r\n");
      for (long k = 0; k < count; ++k) {
        add(u"Параметр" + Decimal(k + 1) + u"=");
        const tVariant& value = args[k];
        if (TypeOf(value) == VTYPE_PWSTR) {
          add(u"\"");
          add(LogTextOf(value, units[static_cast<size_t>(k)]));
          add(u"\"");
        } else {
          add(ValueToLogText(value));
        }
        add(kNewLine);
      }
    });
  }

  // The rest of the entry; fault is the message of an error the method
  // raised, which the entry keeps even though the host gets the error itself.
  const auto finishEntry = [&](const std::u16string* fault) {
    if (!logging)
      return;
    std::vector<bool> unchanged(static_cast<size_t>(count));
    for (long k = 0; k < count; ++k) {
      const size_t i = static_cast<size_t>(k);
      unchanged[i] = i < ParamSnapshot.size() && StateUnchanged(ParamSnapshot[i], args[k]);
    }
    ParamSnapshot.clear();
    Log->MakeTail([&](const TAdd& add) {
      add(callNotes_);
      if (fault != nullptr) {
        add(u"Ошибка: ");
        add(*fault);
        add(kNewLine);
      } else if (methodId != m_GetLastError && !LastErrorText.empty()) {
        add(u"Ошибка: ");
        add(LastErrorText);
        add(kNewLine);
      }
      add(u"Выходные параметры:\r\n");
      for (long k = 0; k < count; ++k) {
        if (unchanged[static_cast<size_t>(k)]) {
          add(u"Параметр" + Decimal(k + 1) + u" без изменений\r\n");
        } else {
          add(u"Параметр" + Decimal(k + 1) + u"=");
          addValue(add, args[k]);
          add(kNewLine);
        }
      }
      add(u"Результат=");
      addValue(add, retValue);
      add(kNewLine);
    });
    callNotes_.clear();
    std::lock_guard lock(logLock_);
    Log->WriteCallEntry();
  };

  try {
    if (!FailByRule(methodId, methodIndex, retValue))
      ExecuteMethod(methodId, retValue, args);
    if (args.RefusedOutput() >= 0) {
      // The host's allocator refused an output text: the outputs are not
      // what the method means to hand over, so the call fails (its result
      // turns false where it is a boolean; the version and the last-error
      // queries keep the type of theirs). An error the method named, or one
      // GetLastError could not hand out, stays.
      if (LastErrorText.empty())
        LastErrorText = kNoMemoryForOutput + Decimal(args.RefusedOutput() + 1);
      if (ReturnsBoolean(methodId))
        SetResult(retValue, false);
    }
  } catch (const std::exception& error) {
    const std::u16string fault = Utf8ToUtf16(error.what());
    finishEntry(&fault);
    throw;
  } catch (...) {
    const std::u16string fault;
    finishEntry(&fault);
    throw;
  }
  // The method ran to its end and its work is done (a DeviceID handed out, a
  // document printed, the last error handed over): an entry that cannot be
  // made for want of memory is dropped rather than turning that work into a
  // failure the host would take for the truth.
  try {
    finishEntry(nullptr);
  } catch (...) {
    callNotes_.clear();
    ParamSnapshot.clear();
  }
  return true;
}

void TSetEmulator::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_GetVersion:
    GetVersion(result, params);
    break;
  case m_GetDescription:
    GetDescription(result, params);
    break;
  case m_GetDescription_3001:
    GetDescription_3001(result, params);
    break;
  case m_GetLastError:
    GetLastError(result, params);
    break;
  case m_GetParameters:
    GetParameters(result, params);
    break;
  case m_SetParameter:
    SetParameter(result, params);
    break;
  case m_Open:
    Open(result, params);
    break;
  case m_Close:
    Close(result, params);
    break;
  case m_DeviceTest:
    DeviceTest(result, params);
    break;
  case m_GetAdditionalActions:
    GetAdditionalActions(result, params);
    break;
  case m_DoAdditionalAction:
    SetResult(result, true);
    break;
  case m_GetInterfaceRevision:
    GetInterfaceRevision(result, params);
    break;
  default:
    break;
  }
}

// ---------------------------------------------------------------------------
// Common methods

void TSetEmulator::GetVersion(tVariant& result, TParams& /*params*/) {
  // The version is text, never a boolean: a text the host cannot take leaves
  // the result empty and says why in the last error.
  if (!SetWideStringValue(Memory(), result, Version))
    LastErrorText = kNoMemoryForResult;
}

void TSetEmulator::GetInterfaceRevision(tVariant& result, TParams& /*params*/) {
  SetIntValue(Memory(), result, InterfaceRevision);
}

void TSetEmulator::GetDescription(tVariant& result, TParams& params) {
  params.SetText(0, EquipmentName);
  params.SetText(1, kMakerAddinPage);
  params.SetText(2, EquipmentType);
  params.SetInt(3, InterfaceRevision);
  params.SetBool(4, false);
  params.SetBool(5, false);
  params.SetText(6, u"");
  SetResult(result, true);
}

void TSetEmulator::GetDescription_3001(tVariant& result, TParams& params) {
  params.SetText(0, DriverDescriptionXml(*this));
  SetResult(result, true);
}

void TSetEmulator::GetLastError(tVariant& result, TParams& params) {
  // The error is handed out once; a text the host could not take stays for
  // the next GetLastError.
  if (!params.SetText(0, LastErrorText)) {
    SetIntValue(Memory(), result, 0); // no text handed out: 0 instead of 1
    return;
  }
  LastErrorText.clear();
  SetIntValue(Memory(), result, 1);
}

void TSetEmulator::GetParameters(tVariant& result, TParams& params) {
  params.SetText(0, SettingsXml(*this));
  SetResult(result, true);
}

void TSetEmulator::SetParameter(tVariant& result, TParams& /*params*/) {
  SetResult(result, true);
}

void TSetEmulator::Open(tVariant& result, TParams& params) {
  if (DeviceCounter == std::numeric_limits<int32_t>::max()) {
    // A further number would repeat an earlier DeviceID.
    Fail(result, u"Исчерпаны номера подключений!");
    return;
  }
  // The number and the last DeviceID change only once the DeviceID is listed.
  std::u16string id = Utf8ToUtf16(ComponentName) + u"#" + Decimal(DeviceCounter + 1);
  DeviceList.push_back(id);
  ++DeviceCounter;
  LastDeviceID = std::move(id);
  if (!params.SetText(0, LastDeviceID)) {
    DeviceList.pop_back(); // a DeviceID the host never got is no open device
    return;
  }
  Connected = true;
  SetResult(result, true);
}

void TSetEmulator::Close(tVariant& result, TParams& params) {
  const std::u16string id = params.Text(0);
  for (auto it = DeviceList.begin(); it != DeviceList.end(); ++it) {
    if (EqualIgnoringAsciiCase(*it, id)) {
      DeviceList.erase(it);
      Connected = false;
      SetResult(result, true);
      return;
    }
  }
  Fail(result, DeviceNotFoundText({}));
}

void TSetEmulator::DeviceTest(tVariant& result, TParams& params) {
  params.SetText(0, EquipmentName + u" " + Version);
  params.SetText(1, u"");
  SetResult(result, true);
}

void TSetEmulator::GetAdditionalActions(tVariant& result, TParams& params) {
  params.SetText(0, ActionsXml());
  SetResult(result, true);
}

// ---------------------------------------------------------------------------
// Host events and the input spool

bool TSetEmulator::RaiseEventBuffer(long depth) {
  const long current = hostevents::Depth(Connection);
  if (current >= depth)
    return true;
  const bool raised = hostevents::SetDepth(Connection, depth);
  NoteInLog(raised ? u"Очередь событий платформы: " + Decimal(depth)
                   : u"Платформа не изменила очередь событий (" + Decimal(current) + u")");
  return raised;
}

void TSetEmulator::StartEvents() {
  if (events_ != nullptr)
    events_->Start();
}

void TSetEmulator::StopEvents() {
  if (events_ != nullptr)
    events_->Stop();
}

bool TSetEmulator::PostEvent(std::u16string_view source, std::u16string_view name, std::u16string_view data) {
  TEvent event{std::u16string(source), std::u16string(name), std::u16string(data)};
  if (events_ == nullptr) {
    WriteLog(TEventSender::LostText(event, u"устройство не подключено"));
    return false;
  }
  return events_->Post(std::move(event));
}

std::u16string TSetEmulator::InputFolder() const {
  const std::filesystem::path data = TCallLog::DataFolder(false);
  return data.empty() ? std::u16string() : TCallLog::DisplayPath(data / (ComponentName + "_input"));
}

bool TSetEmulator::StartInput() {
  StopInput();
  int error = 0;
  const std::filesystem::path data = TCallLog::DataFolder(true, &error);
  if (data.empty()) {
    WriteLog(u"Папка ввода не создана: " + TCallLog::ErrorText(error));
    return false;
  }
  input_ = std::make_unique<TInputSpool>(
      data / (ComponentName + "_input"),
      [this](std::u16string_view item, std::u16string_view fileName) { OnInputItem(item, fileName); },
      [this](std::u16string_view line) { WriteLog(line); });
  return input_->Start();
}

void TSetEmulator::StopInput() {
  if (input_ != nullptr)
    input_->Stop();
}
