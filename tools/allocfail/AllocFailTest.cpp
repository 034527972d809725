// Every library object survives a refused allocation at any point inside the
// library. For each device a realistic sequence of calls (the object made,
// Open, the device's methods with sound documents, GetParameters,
// GetLastError, Close, the object ended) runs once per allocation the library
// makes in it: run N refuses the library's N-th allocation, until a run ends
// without a refusal. The call that met the refusal may succeed or fail
// (False, or an error reported to the host), never crash; when it failed, the
// same object is called again at once with nothing refused and must answer
// correctly, and so must every later call. Once the object is gone the host's
// memory is balanced.
#include "RefusingMalloc.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace testhost;

// What one call of the sequence hands over and what a sound answer is.
struct Step {
  std::u16string method;
  // The parameters, made fresh for every call (the context holds the DeviceID).
  std::function<void(ValueList&)> params;
  // True when result and the parameters after the call are the right answer.
  std::function<bool(const tVariant& result, ValueList& params)> sound;
  // The right answer is False: one given under a refusal may be False for the
  // refusal's sake, so the call is made again all the same.
  bool negative = false;
};

struct Context {
  CountingMemory* memory = nullptr;
  std::u16string id;
};

// The object of one run: made, called, ended.
class Object {
public:
  Object(const AddIn& addIn, std::u16string className) : addIn_(addIn), className_(std::move(className)) {}

  // Makes the object as the platform does; false when the library refused.
  bool Make() {
    const refusing::Inside inside;
    component_ = addIn_.Create(className_, memory_);
    if (!component_)
      return false;
    std::optional<std::u16string> name;
    return component_->Init(connection_) && component_->SetMemManager() &&
           component_->RegisterExtensionAs(name);
  }

  // One call; sound tells whether the answer is right.
  bool Call(const Step& step, std::string& what) {
    const long index = component_->FindMethod(step.method);
    if (index < 0) {
      what = "no method " + Utf16ToUtf8(step.method);
      return false;
    }
    ValueList params(memory_);
    step.params(params);
    tVariant result = EmptyValue();
    bool called = false;
    {
      const refusing::Inside inside;
      called = component_->CallAsFunc(index, result, params);
    }
    for (long k = 0; k < params.Count(); ++k)
      if (const std::string fault = TextFault(params[static_cast<size_t>(k)]); !fault.empty())
        what += "parameter " + std::to_string(k + 1) + ": " + fault + "; ";
    if (const std::string fault = TextFault(result); !fault.empty())
      what += "result: " + fault + "; ";
    const bool sound = called && what.empty() && step.sound(result, params);
    if (!sound)
      what +=
          Utf16ToUtf8(step.method) + (called ? " answered " + DescribeValue(result, &memory_) : " failed");
    ReleaseValue(memory_, result);
    return sound;
  }

  void End() {
    const refusing::Inside inside;
    component_.reset(); // Done and DestroyObject
  }

  CountingMemory& Memory() { return memory_; }
  RecordingConnection& Connection() { return connection_; }

private:
  std::string TextFault(const tVariant& value) const {
    return TypeOf(value) == VTYPE_PWSTR ? CheckHostText(memory_, value) : std::string();
  }

  const AddIn& addIn_;
  std::u16string className_;
  CountingMemory memory_;
  RecordingConnection connection_;
  std::unique_ptr<Component> component_;
};

// ---- parameters and answers ----

tVariant Text(Context& c, std::u16string_view text) {
  return StringValue(*c.memory, text);
}

bool IsTrue(const tVariant& result) {
  return TypeOf(result) == VTYPE_BOOL && result.bVal;
}
bool IsFalse(const tVariant& result) {
  return TypeOf(result) == VTYPE_BOOL && !result.bVal;
}

std::u16string Out(ValueList& params, size_t k) {
  return TextOf(params[k]);
}

Step Open(Context& c) {
  return {u"Open", [](ValueList& p) { p.Add(EmptyValue()); },
          [&c](const tVariant& r, ValueList& p) {
            c.id = Out(p, 0);
            return IsTrue(r) && !c.id.empty();
          }};
}

Step Close(Context& c) {
  return {u"Close", [&c](ValueList& p) { p.Add(Text(c, c.id)); },
          [](const tVariant& r, ValueList&) { return IsTrue(r); }};
}

// A common method with one output, a document that holds part.
Step Document(std::u16string method, std::u16string part) {
  return {method, [](ValueList& p) { p.Add(EmptyValue()); },
          [part](const tVariant& r, ValueList& p) {
            return IsTrue(r) && Out(p, 0).find(part) != std::u16string::npos;
          }};
}

Step GetParameters() {
  return Document(u"GetParameters", u"Name=\"LogFile\"");
}

Step SetParameter(Context& c, std::u16string name, tVariant value) {
  return {u"SetParameter",
          [&c, name, value](ValueList& p) {
            p.Add(Text(c, name));
            p.Add(TypeOf(value) == VTYPE_PWSTR ? Text(c, TextOf(value)) : value);
          },
          [](const tVariant& r, ValueList&) { return IsTrue(r); }};
}

// GetLastError gives the error of the call before: starting with expected.
Step GetLastError(std::u16string expected) {
  return {u"GetLastError", [](ValueList& p) { p.Add(EmptyValue()); },
          [expected](const tVariant& r, ValueList& p) {
            return TypeOf(r) == VTYPE_I4 && Out(p, 0).starts_with(expected);
          }};
}

Step DeviceTest() {
  return {u"DeviceTest",
          [](ValueList& p) {
            p.Add(EmptyValue());
            p.Add(EmptyValue());
          },
          [](const tVariant& r, ValueList& p) { return IsTrue(r) && Out(p, 0).starts_with(u"Эмулятор"); }};
}

// A device method given the DeviceID and further text or values, answering True.
Step DeviceCall(Context& c, std::u16string method, std::vector<tVariant> more,
                std::function<bool(ValueList&)> outputs = nullptr) {
  return {method,
          [&c, more](ValueList& p) {
            p.Add(Text(c, c.id));
            for (const tVariant& value : more)
              p.Add(TypeOf(value) == VTYPE_PWSTR ? Text(c, TextOf(value)) : value);
          },
          [outputs](const tVariant& r, ValueList& p) { return IsTrue(r) && (!outputs || outputs(p)); }};
}

// A device method called with the open DeviceID and more, whose right answer
// is False.
Step RefusedCall(Context& c, std::u16string method, std::vector<tVariant> more) {
  Step step = DeviceCall(c, std::move(method), std::move(more));
  step.sound = [](const tVariant& r, ValueList&) { return IsFalse(r); };
  step.negative = true;
  return step;
}

// Text values of the steps are kept as static UTF-16 and copied per call.
tVariant Literal(const char16_t* text) {
  tVariant value = EmptyValue();
  value.vt = VTYPE_PWSTR;
  value.pwstrVal = const_cast<WCHAR_T*>(HostPtr(text));
  value.wstrLen = static_cast<uint32_t>(std::u16string_view(text).size());
  return value;
}

struct Device {
  const char* name;
  const char* path;
  const char16_t* className;
  const char* log; // the call log's file name
  std::function<std::vector<Step>(Context&)> steps;
};

constexpr char16_t kGoods[] =
    u"<Table><Record PLU=\"1\" Code=\"2001\" IsWeightGoods=\"true\" Name=\"Сыр\" Price=\"450,00\" "
    u"ShelfLife=\"10\"/><Record PLU=\"2\" Code=\"2002\" IsWeightGoods=\"false\" Name=\"Хлеб "
    u"&quot;Бородинский&quot;\" "
    u"Price=\"55,50\" ShelfLife=\"3\"/></Table>";
constexpr char16_t kReceipt[] =
    u"<Document><Positions><TextString Text=\"Чек продажи № 42\nСыр 450,00\"/>"
    u"<Barcode BarcodeType=\"EAN13\" Barcode=\"460123456789\"/>"
    u"<Barcode Type=\"QR\" Value=\"t=20261208T1200&amp;s=340.00\"/></Positions></Document>";

std::vector<Step> ScaleSteps(Context& c) {
  return {GetParameters(),
          SetParameter(c, u"Anything", IntValue(1)),
          Open(c),
          DeviceCall(c, u"UploadGoods", {Literal(kGoods), Literal(u"first")}),
          RefusedCall(c, u"UploadGoods", {Literal(u"<Table><Record PLU=\"1\"/></Table>"), Literal(u"last")}),
          GetLastError(u"Ошибка разбора XML : не найден атрибут"),
          DeviceCall(c, u"ClearGoods", {}),
          DeviceTest(),
          Document(u"GetDescription", u"<DriverDescription"),
          Document(u"GetAdditionalActions", u"<Actions>"),
          Close(c)};
}

std::vector<Step> PanelSteps(Context& c) {
  return {Open(c),
          SetParameter(c, u"DeviceColumns", IntValue(30)),
          DeviceCall(c, u"StringOutputOnPanelSim",
                     {Literal(u"Сыр 450,00\nИтого к оплате: 450,00 руб. Спасибо за покупку!")}),
          DeviceCall(c, u"GetOutputOptions", {EmptyValue(), EmptyValue()},
                     [](ValueList& p) { return p[1].lVal == 30 && p[2].lVal == 2; }),
          DeviceCall(c, u"ClearPanelSim", {}),
          DeviceTest(),
          GetParameters(),
          Document(u"GetDescription", u"<DriverDescription"),
          Close(c)};
}

std::vector<Step> CardSteps(Context& c) {
  const auto approved = [](ValueList& p) { return Out(p, 1).size() == 20 && Out(p, 5).size() == 6; };
  return {
      {u"GetVersion", [](ValueList&) {}, [](const tVariant& r, ValueList&) { return !TextOf(r).empty(); }},
      {u"GetDescription",
       [](ValueList& p) {
         for (int i = 0; i < 7; ++i)
           p.Add(EmptyValue());
       },
       [](const tVariant& r, ValueList& p) { return IsTrue(r) && Out(p, 2) == u"ЭквайринговыйТерминал"; }},
      Open(c),
      DeviceCall(c, u"PayByPaymentCard",
                 {EmptyValue(), DoubleValue(100.5), EmptyValue(), EmptyValue(), EmptyValue(), EmptyValue()},
                 approved),
      DeviceCall(c, u"ReturnPaymentByPaymentCard",
                 {EmptyValue(), DoubleValue(10), EmptyValue(), EmptyValue(), EmptyValue(), EmptyValue()},
                 approved),
      DeviceCall(c, u"Settlement", {EmptyValue()}),
      DeviceCall(c, u"EmergencyReversal", {}),
      RefusedCall(c, u"PrintSlipOnTerminal", {}),
      GetParameters(),
      DeviceTest(),
      Close(c)};
}

std::vector<Step> WeighSteps(Context& c) {
  return {Open(c),
          SetParameter(c, u"DefaultWeight", DoubleValue(2.5)),
          DeviceCall(c, u"Calibrate", {DoubleValue(0.5)}),
          DeviceCall(c, u"GetWeight", {EmptyValue()},
                     [](ValueList& p) { return TypeOf(p[1]) == VTYPE_R8 && p[1].dblVal == 2.0; }),
          RefusedCall(c, u"Calibrate", {DoubleValue(-1)}),
          GetLastError(u"Вес тары не может быть отрицательным"),
          DeviceTest(),
          GetParameters(),
          Close(c)};
}

std::vector<Step> ReceiptSteps(Context& c) {
  return {Open(c),
          SetParameter(c, u"LineLength", IntValue(32)),
          DeviceCall(c, u"PrintTextDocument", {Literal(kReceipt)}),
          DeviceCall(c, u"OpenCashDrawer", {}),
          DeviceCall(c, u"GetLineLength", {EmptyValue()}, [](ValueList& p) { return p[1].lVal == 32; }),
          RefusedCall(c, u"PrintTextDocument",
                      {Literal(u"<Document><Positions><TextString/></Positions></Document>")}),
          GetLastError(u"Ошибка разбора XML"),
          GetParameters(),
          DeviceTest(),
          Close(c)};
}

constexpr char16_t kCashier[] =
    u"<InputParameters><Parameters CashierName=\"Иванов И.И.\"/></InputParameters>";
constexpr char16_t kSale[] =
    u"<CheckPackage><Parameters CashierName=\"Иванов И.И.\" OperationType=\"1\" TaxationSystem=\"0\"/>"
    u"<Positions><FiscalString Name=\"Сыр\" Quantity=\"2\" PriceWithDiscount=\"450.00\" "
    u"AmountWithDiscount=\"900.00\" VATRate=\"20\" VATAmount=\"150.00\"/></Positions>"
    u"<Payments Cash=\"1000.00\"/></CheckPackage>";

// The register's state stays as the first run leaves it (registered, its
// shift closed), so that every run's answers are the same: the sale is
// refused for the closed shift after the whole package has been read.
std::vector<Step> FiscalSteps(Context& c) {
  const auto contains = [](size_t k, std::u16string part) {
    return [k, part](ValueList& p) { return Out(p, k).find(part) != std::u16string::npos; };
  };
  return {
      Open(c),
      SetParameter(c, u"LineLength", IntValue(32)),
      DeviceCall(c, u"GetDataKKT", {EmptyValue()}, contains(1, u"KKTNumber=")),
      DeviceCall(c, u"GetCurrentStatus", {Literal(kCashier), EmptyValue()}, contains(2, u"ShiftState=\"1\"")),
      RefusedCall(c, u"ProcessCheck", {BoolValue(false), Literal(kSale), EmptyValue()}),
      GetLastError(u"Смена закрыта"),
      DeviceCall(c, u"PrintTextDocument", {Literal(kReceipt)}),
      DeviceCall(c, u"PrintCheckCopy", {Literal(u"1")}),
      DeviceCall(c, u"OpenCashDrawer", {}),
      DeviceCall(c, u"GetLineLength", {EmptyValue()}, [](ValueList& p) { return p[1].lVal == 32; }),
      GetParameters(),
      Document(u"GetAdditionalActions", u"<Actions>"),
      Close(c)};
}

// A SetParameter whose right answer is False.
Step RefusedSetting(Context& c, std::u16string name, tVariant value) {
  Step step = SetParameter(c, std::move(name), value);
  step.sound = [](const tVariant& r, ValueList&) { return IsFalse(r); };
  step.negative = true;
  return step;
}

// The input devices: their threads start at Open and stop at Close.
std::vector<Step> ScanSteps(Context& c) {
  return {GetParameters(),
          SetParameter(c, u"EventName", Literal(u"Barcode")),
          SetParameter(c, u"GSSymbolKey", Literal(u"126")),
          RefusedSetting(c, u"GSEvent", Literal(u"Hex")),
          GetLastError(u"Параметр GSEvent"),
          Open(c),
          DeviceTest(),
          Document(u"GetDescription", u"<DriverDescription"),
          Close(c)};
}

std::vector<Step> MsrSteps(Context& c) {
  return {SetParameter(c, u"Prefix", IntValue(37)),
          SetParameter(c, u"Suffix", IntValue(63)),
          RefusedSetting(c, u"Suffix", IntValue(-7)),
          GetLastError(u"Параметр Suffix"),
          Open(c),
          GetParameters(),
          DeviceTest(),
          Close(c)};
}

constexpr char16_t kLabels[] =
    u"<Data><Formatting Width=\"20\" Height=\"10\"><Text FieldName=\"Name\" Left=\"1\" Top=\"1\" "
    u"Width=\"18\" Height=\"5\" FontSize=\"8\"/></Formatting>"
    u"<Labels><Label Quantity=\"2\"><Record FieldName=\"Name\" Value=\"Кофе\"/></Label></Labels></Data>";
constexpr char16_t kMoreLabels[] = u"<Data><Labels><Label/></Labels></Data>";

// The label printer's job of two batches, then a batch with no job.
std::vector<Step> LabelSteps(Context& c) {
  return {Open(c),
          SetParameter(c, u"Resolution", IntValue(300)),
          DeviceCall(c, u"PrintLabels", {Literal(kLabels), Literal(u"first")}),
          DeviceCall(c, u"PrintLabels", {Literal(kMoreLabels), Literal(u"last")}),
          RefusedCall(c, u"PrintLabels", {Literal(kMoreLabels), Literal(u"regular")}),
          GetLastError(u"Пакет regular"),
          DeviceCall(c, u"InitializePrinter", {}),
          GetParameters(),
          Close(c)};
}

// The data collection terminal: goods in two batches, the control file's
// collection (none here) handed back, emptied.
std::vector<Step> DctSteps(Context& c) {
  return {
      Open(c),
      DeviceCall(c, u"UploadTable",
                 {Literal(u"<Table FullLoad=\"true\"><Record BarCode=\"4601234567893\" Name=\"Молоко\" "
                          u"Price=\"89,90\"/></Table>"),
                  Literal(u"first")}),
      DeviceCall(c, u"UploadTable",
                 {Literal(u"<Table><Record BarCodeBase64=\"MjAwMDAwMDAwMDAxNQ==\" Name=\"Сыр\"/></Table>"),
                  Literal(u"last")}),
      RefusedCall(c, u"UploadTable", {Literal(u"<Table/>"), Literal(u"regular")}),
      GetLastError(u"Пакет \"regular\" не принят"),
      DeviceCall(c, u"DownloadTable", {EmptyValue()},
                 [](ValueList& p) { return Out(p, 1).find(u"<Table>") != std::u16string::npos; }),
      DeviceCall(c, u"ClearTable", {}),
      GetParameters(),
      DeviceTest(),
      Close(c)};
}

void PrintTo(const Device& device, std::ostream* out) {
  *out << device.name;
}

const Device kDevices[] = {
    {"scalesim", SCALESIM_PATH, u"Orvik_ScaleSim_3001", "ScaleSim_3001_emulator.log", ScaleSteps},
    {"panelsim", PANELSIM_PATH, u"Orvik_PanelSim_3001", "PanelSim_3001_emulator.log", PanelSteps},
    {"cardsim", CARDSIM_PATH, u"Orvik_CardSim_2001", "CardSim_2001_emulator.log", CardSteps},
    {"weighsim", WEIGHSIM_PATH, u"Orvik_WeighSim_3001", "WeighSim_3001_emulator.log", WeighSteps},
    {"receiptsim", RECEIPTSIM_PATH, u"Orvik_ReceiptSim_3001", "ReceiptSim_3001_emulator.log", ReceiptSteps},
    {"fiscalsim", FISCALSIM_PATH, u"Orvik_FiscalSim_3004", "FiscalSim_3004_emulator.log", FiscalSteps},
    {"scansim", SCANSIM_PATH, u"Orvik_ScanSim_3001", "ScanSim_3001_emulator.log", ScanSteps},
    {"msrsim", MSRSIM_PATH, u"Orvik_MsrSim_3001", "MsrSim_3001_emulator.log", MsrSteps},
    {"labelsim", LABELSIM_PATH, u"Orvik_LabelSim_3001", "LabelSim_3001_emulator.log", LabelSteps},
    {"dctsim", DCTSIM_PATH, u"Orvik_DctSim_3001", "DctSim_3001_emulator.log", DctSteps},
};

// Beyond this many runs a sequence is taken to loop.
constexpr uint64_t kMostRuns = 20000;

class RefusedAllocation : public ::testing::TestWithParam<Device> {
protected:
  static void SetUpTestSuite() {
    // Unattended: no window, every operator question approved; the logs on
    // a memory file system where there is one, since every entry is synced.
    unsetenv("DISPLAY");
    setenv("ORVIK_OPERATOR", "approve", 1);
    char pattern[] = "/dev/shm/orvik-allocfail-XXXXXX";
    if (access("/dev/shm", W_OK) == 0 && mkdtemp(pattern) != nullptr) {
      folder_ = pattern;
      setenv("XDG_DATA_HOME", pattern, 1);
    }
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    if (!folder_.empty())
      std::filesystem::remove_all(folder_, ignored);
  }
  static inline std::string folder_;
};

TEST_P(RefusedAllocation, EveryCallAfterARefusalAnswers) {
  const Device& device = GetParam();
  std::string error;
  std::unique_ptr<AddIn> addIn = AddIn::Load(device.path, error);
  ASSERT_NE(addIn, nullptr) << error;
  void* entry = nullptr;
  {
    // The library's code: the executable segments of the object that holds an export.
    std::unique_ptr<SharedLibrary> probe = OpenSharedLibrary(device.path, error);
    ASSERT_NE(probe, nullptr) << error;
    entry = probe->Symbol("GetClassObject");
  }
  ASSERT_TRUE(refusing::WatchLibraryOf(entry));

  uint64_t run = 1;
  uint64_t refusedCalls = 0;
  for (; run <= kMostRuns; ++run) {
    Context context;
    Object object(*addIn, device.className);
    context.memory = &object.Memory();
    std::vector<Step> steps = device.steps(context);
    refusing::Arm(run);
    if (!object.Make()) {
      ASSERT_TRUE(refusing::Fired()) << "run " << run << ": the object was not made";
      ASSERT_TRUE(object.Memory().Clean()) << "run " << run << ": " << object.Memory().Summary();
      continue; // a refused object is no object: nothing more to call
    }
    for (size_t i = 0; i < steps.size(); ++i) {
      const bool armed = !refusing::Fired();
      std::string what;
      const bool sound = object.Call(steps[i], what);
      const bool refused = armed && refusing::Fired();
      if (sound && !(refused && steps[i].negative))
        continue;
      ASSERT_TRUE(refused) << "run " << run << ", step " << i + 1 << ": " << what;
      // The refused call failed: the same object answers the same call.
      ++refusedCalls;
      what.clear();
      ASSERT_TRUE(object.Call(steps[i], what))
          << "run " << run << ", step " << i + 1 << " again after the refusal: " << what;
    }
    const bool finished = !refusing::Fired();
    object.End();
    const bool endedRefused = finished && refusing::Fired();
    ASSERT_TRUE(object.Memory().Clean()) << "run " << run << ": " << object.Memory().Summary();
    for (const ErrorReport& report : object.Connection().Errors())
      EXPECT_FALSE(report.description.empty()) << "run " << run << ": an error without a text";
    if (finished && !endedRefused) {
      refusing::Arm(0);
      break; // the run made fewer allocations than its number: every one was refused once
    }
  }
  EXPECT_LE(run, kMostRuns);
  // The runs went with the call log on: the library wrote its log.
  const char* data = std::getenv("XDG_DATA_HOME");
  ASSERT_NE(data, nullptr);
  std::error_code missing;
  const uintmax_t size =
      std::filesystem::file_size(std::filesystem::path(data) / "Orvik" / device.log, missing);
  EXPECT_TRUE(!missing && size > 0) << device.log;
  std::printf("%s: %llu runs, %llu refused calls failed cleanly and answered again\n", device.name,
              static_cast<unsigned long long>(run - 1), static_cast<unsigned long long>(refusedCalls));
}

INSTANTIATE_TEST_SUITE_P(Devices, RefusedAllocation, ::testing::ValuesIn(kDevices),
                         [](const ::testing::TestParamInfo<Device>& info) {
                           return std::string(info.param.name);
                         });

} // namespace
