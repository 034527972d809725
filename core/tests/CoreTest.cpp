// The core in-process: tables, registration, parameters, documents, the call
// path's guards and the log's fallbacks.
#include "CallLog.h"
#include "TestEnv.h"
#include "TestHost.h"
#include "TestSim.h"
#include "v8napi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <sstream>

// Allocation on demand refused, for the destruction path. (The replaced new
// and delete pair malloc with free, which g++ cannot see through.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<bool> refuseAllocations{false};
} // namespace

void* operator new(std::size_t bytes) {
  if (!refuseAllocations.load())
    if (void* block = std::malloc(bytes != 0 ? bytes : 1))
      return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}

namespace {

// An emulator whose class name a test chooses.
class TNamedSim : public TSetEmulator {
public:
  explicit TNamedSim(std::string name) : name_(std::move(name)) {}
  std::string ClassName() const override { return name_; }

private:
  std::string name_;
};

// The test emulator under names of its own, so that these tests have log files
// of their own.
class TUnitSim_2001 : public TTestSim_2001 {
public:
  std::string ClassName() const override { return "TUnitSim_2001"; }
};
class TUnitSim_3001 : public TTestSim_2001 {
public:
  std::string ClassName() const override { return "TUnitSim_3001"; }
};

class CoreUnit : public ::testing::Test {
protected:
  // An emulator as the class table makes it, served by the test memory.
  template <class T, class... A> std::unique_ptr<T> Make(A&&... args) {
    auto emulator = std::make_unique<T>(std::forward<A>(args)...);
    emulator->MemManager = static_cast<v8abi::MemoryManager*>(memory.HostPointer());
    emulator->AfterConstruction();
    return emulator;
  }

  bool Call(TSetEmulator& emulator, std::u16string_view name, tVariant& result, testhost::ValueList& params) {
    const long index = emulator.FindMethod(name);
    return emulator.CallMethod(index >= 0 ? emulator.MethNames[static_cast<size_t>(index)]
                                          : std::u16string(name),
                               index, result, params.Data(), params.Count());
  }

  testhost::CountingMemory memory;
};

TEST_F(CoreUnit, TablesAreParallelAndComplete) {
  static_assert(kMethodIdCount == 60 && m_ConfirmKM == 59 && m_PrintSlipOnTerminal == 54 &&
                m_cp_PrintTextDocument == 37);
  for (const TMethodTable* table : {&CommonMethods2001, &CommonMethods3001, &LabelScaleMethods,
                                    &CustomerDisplayMethods, &CardTerminalMethods, &FiscalRegisterMethods3}) {
    EXPECT_EQ(table->English.size(), table->Russian.size());
    EXPECT_EQ(table->English.size(), table->ParamCounts.size());
    EXPECT_EQ(table->English.size(), table->Ids.size());
  }
  EXPECT_EQ(CommonMethods2001.English.size(), 10u);
  EXPECT_EQ(CommonMethods3001.English.size(), 10u);
  EXPECT_EQ(LabelScaleMethods.English.size(), 2u);
  EXPECT_EQ(CustomerDisplayMethods.English.size(), 3u);
  ASSERT_EQ(CardTerminalMethods.English.size(), 9u);
  EXPECT_EQ(std::u16string(CardTerminalMethods.English[8]), u"PrintSlipOnTerminal");
  EXPECT_EQ(CardTerminalMethods.ParamCounts[8], 0);
  EXPECT_EQ(CardTerminalMethods.Ids[8], m_PrintSlipOnTerminal);
  EXPECT_EQ(std::u16string(CustomerDisplayMethods.Russian[0]), u"ВывестиСтрокуНаДисплейПокупателя");

  EXPECT_EQ(ElectronicScaleNames.English.size(), 2u);
  EXPECT_EQ(DataCollectionTerminalNames.English.size(), 3u);
  EXPECT_EQ(ReceiptPrinterNames.English.size(), 3u);
  EXPECT_EQ(LabelPrinterNames.English.size(), 2u);
  EXPECT_EQ(FiscalRegisterNames1.English.size(), 13u);
  EXPECT_EQ(FiscalRegisterNames2.Russian.size(), 13u);
  ASSERT_EQ(FiscalRegisterNames3.English.size(), 19u);
  EXPECT_EQ(std::u16string(FiscalRegisterNames3.English[9]), u"PrintCheckCopy");
  EXPECT_EQ(std::u16string(FiscalRegisterNames3.Russian[9]), u"НапечататьКопиюЧека");
  // The registered table is the third variant's names, with a count per name.
  ASSERT_EQ(FiscalRegisterMethods3.English.size(), 19u);
  EXPECT_EQ(std::u16string(FiscalRegisterMethods3.English[4]), u"ProcessCheck");
  EXPECT_EQ(FiscalRegisterMethods3.ParamCounts[4], 4);
  EXPECT_EQ(FiscalRegisterMethods3.Ids[9], m_PrintCheckCopy);
  EXPECT_EQ(FiscalRegisterMethods3.ParamCounts[12], 1);
  EXPECT_EQ(std::u16string(FiscalRegisterNames3.English[10]), u"GetCurrentStatus");
  EXPECT_EQ(std::u16string(FiscalRegisterMethods3.Russian[16]), u"ЗапросКМ");
  EXPECT_EQ(FiscalRegisterMethods3.Ids[18], m_ConfirmKM);
}

TEST_F(CoreUnit, RevisionFromClassNameChoosesTheCommonTable) {
  auto r3001 = Make<TUnitSim_3001>();
  EXPECT_EQ(r3001->ComponentName, "UnitSim_3001");
  EXPECT_EQ(r3001->InterfaceRevision, 3001);
  ASSERT_EQ(r3001->MethNames.size(), 13u);
  EXPECT_EQ(r3001->MethNames[0], u"GetInterfaceRevision");
  EXPECT_EQ(r3001->MethodIds[1], m_GetDescription_3001);
  EXPECT_EQ(r3001->MethParamCounts[1], 1);
  EXPECT_EQ(r3001->MethNames[10], u"Echo");
  EXPECT_EQ(r3001->MethodIds[10], m_Calibrate);
  EXPECT_EQ(r3001->MethodIds.size(), r3001->MethNames.size());
  for (const bool hasRetVal : r3001->MethHasRetVal)
    EXPECT_TRUE(hasRetVal);
  EXPECT_EQ(r3001->FindMethod(u"ПолучитьОписание"), 1);
  EXPECT_EQ(r3001->FindMethod(u"Оставить"), 12);

  auto r2001 = Make<TUnitSim_2001>();
  EXPECT_EQ(r2001->MethNames[0], u"GetVersion");
  EXPECT_EQ(r2001->MethParamCounts[1], 7);
  EXPECT_EQ(r2001->MethodIds[1], m_GetDescription);

  // Revisions outside 2000..3999, or no number at all: device methods only.
  for (const char* name : {"TOddName", "TX", "TSim_4001", "TSim_1999"}) {
    auto odd = Make<TNamedSim>(name);
    EXPECT_TRUE(odd->MethNames.empty()) << name;
  }
  EXPECT_EQ(Make<TNamedSim>("TOddName")->InterfaceRevision, -1);
  EXPECT_EQ(Make<TNamedSim>("TX")->InterfaceRevision, -1);
  EXPECT_EQ(Make<TNamedSim>("TSim_4001")->InterfaceRevision, 4001);
  EXPECT_EQ(Make<TNamedSim>("T_2999")->MethNames[0], u"GetVersion");
  EXPECT_EQ(Make<TNamedSim>("T_3000")->MethNames[0], u"GetInterfaceRevision");

  // A second completion does not register the tables again.
  r3001->AfterConstruction();
  EXPECT_EQ(r3001->MethNames.size(), 13u);
}

TEST_F(CoreUnit, ParamsGuardIndexesAndReleaseTheScratchValue) {
  {
    testhost::ValueList values(memory);
    values.AddString(u"abc");
    TParams params(HostMemory(static_cast<v8abi::MemoryManager*>(memory.HostPointer())), values.Data(), 1);
    EXPECT_EQ(params.Count(), 1);
    EXPECT_EQ(params.Text(0), u"abc");
    params.SetText(3, u"goes nowhere");
    EXPECT_EQ(TypeOf(params[3]), VTYPE_EMPTY); // reading a missing index gives an empty value
    params.SetText(-1, u"nor this");
    EXPECT_EQ(params.Text(7), u"");
    params.SetText(5, u"left in the scratch value");
  }
  EXPECT_TRUE(memory.Clean()) << memory.Summary();

  TParams none(HostMemory(), nullptr, 5);
  EXPECT_EQ(none.Count(), 0);
  TParams negative(HostMemory(), nullptr, -3);
  EXPECT_EQ(negative.Count(), 0);
}

TEST_F(CoreUnit, XmlEscapeReplacesTheFiveSpecialCharacters) {
  EXPECT_EQ(XmlEscape(u"a\"b&c'd<e>f Ж"), u"a&quot;b&amp;c&apos;d&lt;e&gt;f Ж");
  EXPECT_EQ(XmlEscape(u""), u"");
  EXPECT_EQ(XmlEscape(u"&amp;"), u"&amp;amp;");
  EXPECT_EQ(XmlEscape(u"a\tb\r\nc"), u"a&#9;b&#13;&#10;c");
}

TEST_F(CoreUnit, DocumentsAreByteExact) {
  auto emulator = Make<TUnitSim_3001>();
  emulator->EquipmentName = u"Весы \"Тест\"";
  emulator->EquipmentType = u"ВесыСПечатьюЭтикеток";
  emulator->Version = u"1.0.2.11";
  emulator->LogFilePath = u"C:\\Users\\A&B\\Orvik\\x.log";
  EXPECT_EQ(
      DriverDescriptionXml(*emulator),
      u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DriverDescription Name=\"Весы &quot;Тест&quot;\" "
      u"Description=\"https://orvik.example/emulators\" EquipmentType=\"ВесыСПечатьюЭтикеток\" "
      u"IntegrationComponent=\"False\" MainDriverInstalled=\"False\" DriverVersion=\"1.0.2.11\" "
      u"IntegrationComponentVersion=\"1.0.2.11\" DownloadURL=\"\" LogIsEnabled=\"True\" "
      u"LogPath=\"C:\\Users\\A&amp;B\\Orvik\\x.log\"></DriverDescription>");
  EXPECT_EQ(SettingsXml(*emulator),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Settings><Parameter Name=\"LogFile\" "
            u"Caption=\"Файл логов\" TypeValue=\"String\" ReadOnly=\"true\" "
            u"DefaultValue=\"C:\\Users\\A&amp;B\\Orvik\\x.log\"/></Settings>");
  emulator->LogFilePath.clear();
  EXPECT_NE(DriverDescriptionXml(*emulator).find(u"LogIsEnabled=\"True\" LogPath=\"\"></DriverDescription>"),
            std::u16string::npos);
  EXPECT_NE(SettingsXml(*emulator).find(u"DefaultValue=\"\"/></Settings>"), std::u16string::npos);
  EXPECT_EQ(ActionsXml(), u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Actions></Actions>");
}

TEST_F(CoreUnit, VersionComesFromTheModuleThatHoldsTheCode) {
  EXPECT_EQ(LibraryVersion(), testenv::VersionOfTestProgram());
  EXPECT_EQ(Make<TUnitSim_2001>()->Version, testenv::VersionOfTestProgram());
}

TEST_F(CoreUnit, CallPathGuardsTheMethodIndexAndLogsRaisedErrors) {
  auto emulator = Make<TUnitSim_3001>();
  ASSERT_TRUE(emulator->LogIsOpen());
  const uintmax_t before = testenv::FileSize(emulator->LogFilePath);
  tVariant result = testhost::EmptyValue();
  testhost::ValueList params(memory);
  params.AddString(u"x");
  // Indexes the registry does not have run nothing but are still logged.
  EXPECT_TRUE(emulator->CallMethod(u"Ghost", -1, result, params.Data(), params.Count()));
  EXPECT_TRUE(emulator->CallMethod(u"Ghost", 1000, result, params.Data(), params.Count()));
  EXPECT_EQ(TypeOf(result), VTYPE_EMPTY);
  // A raised error goes to the host, but the entry is written first.
  testhost::ValueList none(memory);
  EXPECT_THROW(Call(*emulator, u"Fail", result, none), EV8Error);
  const std::u16string log = testenv::DecodeLog(testenv::ReadFileBytes(emulator->LogFilePath, before));
  EXPECT_NE(log.find(u"\tМетод: Ghost\r\nВходные параметры:\r\nПараметр1=\"x\"\r\nВыходные "
                     u"параметры:\r\nПараметр1 без изменений\r\nРезультат=Неопределено\r\n\r\n"),
            std::u16string::npos);
  EXPECT_NE(log.find(u"\tМетод: Fail\r\nВходные параметры:\r\nОшибка: Сбой устройства\r\nВыходные "
                     u"параметры:\r\nРезультат=Неопределено\r\n\r\n"),
            std::u16string::npos);
}

TEST_F(CoreUnit, DestructionWithoutMemoryDropsTheLastEntryAndGoesOn) {
  auto emulator = Make<TUnitSim_3001>();
  ASSERT_TRUE(emulator->LogIsOpen());
  std::unique_ptr<TV8UserObject> object(emulator.release());
  refuseAllocations = true;
  object.reset(); // the last entry needs memory; a throw here would end the process
  refuseAllocations = false;
}

// An output text that the host's allocator refuses fails the call, the
// parameter named; GetLastError keeps an error it could not hand out.
TEST_F(CoreUnit, RefusedOutputTextFailsTheCall) {
  auto emulator = Make<TUnitSim_3001>();
  const auto call = [&](std::u16string_view method, int refused, std::u16string* output = nullptr) {
    testhost::ValueList params(memory);
    params.Add(testhost::EmptyValue());
    tVariant result = testhost::EmptyValue();
    memory.FailNextAllocations(refused);
    EXPECT_TRUE(Call(*emulator, method, result, params));
    memory.FailNextAllocations(0);
    if (output != nullptr)
      *output = testhost::TextOf(params[0]);
    return TypeOf(result) == VTYPE_BOOL ? int{result.bVal} : TypeOf(result) == VTYPE_I4 ? 2 : -1;
  };
  const std::u16string message = u"Недостаточно памяти для выходного параметра 1";
  for (const std::u16string_view method : {u"GetParameters", u"GetDescription", u"Open"}) {
    EXPECT_EQ(call(method, 1), 0) << testhost::Utf16ToUtf8(method);
    EXPECT_EQ(emulator->LastErrorText, message);
  }
  EXPECT_EQ(call(u"GetLastError", 1), 2); // still an integer
  std::u16string error;
  EXPECT_EQ(call(u"GetLastError", 0, &error), 2);
  EXPECT_EQ(error, message);
  EXPECT_TRUE(emulator->LastErrorText.empty());
  EXPECT_EQ(call(u"GetParameters", 0), 1);
  EXPECT_TRUE(emulator->DeviceList.empty()); // the refused DeviceID is not open
}

TEST_F(CoreUnit, OpenRefusesToRepeatADeviceID) {
  auto emulator = Make<TUnitSim_3001>();
  emulator->DeviceCounter = std::numeric_limits<int32_t>::max();
  tVariant result = testhost::EmptyValue();
  testhost::ValueList params(memory);
  params.Add(testhost::EmptyValue());
  Call(*emulator, u"Open", result, params);
  EXPECT_EQ(TypeOf(result), VTYPE_BOOL);
  EXPECT_FALSE(result.bVal);
  EXPECT_EQ(emulator->LastErrorText, u"Исчерпаны номера подключений!");
  EXPECT_TRUE(emulator->DeviceList.empty());
}

TEST_F(CoreUnit, WithoutAUsableLogFolderTheEmulatorRunsWithoutALog) {
  if (!testenv::CanRedirectLogHome())
    GTEST_SKIP() << "the log folder cannot be moved here";
  const std::filesystem::path base = std::filesystem::path(testenv::TemporaryFolder()) / "nolog";
  std::filesystem::create_directories(base);
  std::ofstream(base / "plain-file") << "x";

  // The data home lies under a file: no folder can be made.
  testenv::RedirectLogHome((base / "plain-file" / "data").string());
  auto noFolder = Make<TUnitSim_3001>();
  testenv::RestoreLogHome();
  EXPECT_FALSE(noFolder->LogIsOpen());
  EXPECT_TRUE(noFolder->LogFilePath.empty());
  tVariant result = testhost::EmptyValue();
  testhost::ValueList params(memory);
  params.Add(testhost::EmptyValue());
  Call(*noFolder, u"Open", result, params);
  EXPECT_TRUE(result.bVal);
  EXPECT_EQ(testhost::TextOf(params[0]), u"UnitSim_3001#1");
  EXPECT_NE(SettingsXml(*noFolder).find(u"DefaultValue=\"\""), std::u16string::npos);

  // The folder exists but the file cannot be opened: the path is kept.
  std::filesystem::create_directories(base / "data2" / "Orvik" / "UnitSim_3001_emulator.log");
  testenv::RedirectLogHome((base / "data2").string());
  auto noFile = Make<TUnitSim_3001>();
  testenv::RestoreLogHome();
  EXPECT_FALSE(noFile->LogIsOpen());
  EXPECT_EQ(std::filesystem::path(noFile->LogFilePath),
            base / "data2" / "Orvik" / "UnitSim_3001_emulator.log");

  // Missing parents of the data home are made.
  testenv::RedirectLogHome((base / "deep" / "er" / "data").string());
  auto deep = Make<TUnitSim_3001>();
  testenv::RestoreLogHome();
  EXPECT_TRUE(deep->LogIsOpen());
  EXPECT_TRUE(std::filesystem::is_directory(base / "deep" / "er" / "data" / "Orvik"));
}

TEST_F(CoreUnit, EncodingKeepsEntriesWholeWhateverTheCharacters) {
  std::string bytes;
  TCallLog::AppendEncoded(bytes, u"Сумма Ёё");
  if (testenv::LogCodePage() == 65001) {
    EXPECT_EQ(bytes, "Сумма Ёё");
  } else {
    ASSERT_EQ(testenv::LogCodePage(), 1251u) << "the Windows tests run with LC_ALL=ru_RU.UTF-8";
    EXPECT_EQ(bytes, "\xD1\xF3\xEC\xEC\xE0\x20\xA8\xB8");
  }
  // Characters the code page lacks, a lone surrogate, a pair and a zero.
  const std::u16string odd = u"до 漢\xD800 \U0001F600 после";
  bytes.clear();
  TCallLog::AppendEncoded(bytes, odd);
  const std::u16string decoded = testenv::DecodeLog(bytes);
  EXPECT_TRUE(decoded.starts_with(u"до ")) << testhost::Utf16ToUtf8(decoded);
  EXPECT_TRUE(decoded.ends_with(u" после")) << testhost::Utf16ToUtf8(decoded);
  if (testenv::LogCodePage() == 65001) {
    EXPECT_EQ(decoded, u"до 漢\xFFFD \U0001F600 после");
  }
}

} // namespace

// Writes into the host's text where it lies: the same block and the same
// stated length, only the contents differ.
class TInPlaceSim : public TSetEmulator {
public:
  std::string ClassName() const override { return "TInPlaceSim_3001"; }
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override {
    if (methodId == m_DoAdditionalAction && TypeOf(params[0]) == VTYPE_PWSTR) {
      auto* text = reinterpret_cast<char16_t*>(params[0].pwstrVal);
      if (text[0] == u'a')
        text[0] = u'b'; // other units
      else if (text[0] == u'c')
        text[1] = 0; // the text now ends earlier
      else if (text[0] == u'e')
        text[1] = u'x'; // the text now ends later
    }
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
};

TEST_F(CoreUnit, TextChangedWhereItLiesIsLoggedAsChanged) {
  auto emulator = Make<TInPlaceSim>();
  ASSERT_TRUE(emulator->LogIsOpen());
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"abc", u"Параметр1=\"bbc\""},
      {u"cde", u"Параметр1=\"c\""},
      {std::u16string(u"e\0g", 3), u"Параметр1=\"exg\""},
      {u"xyz", u"Параметр1 без изменений"},
      // Long texts are remembered by a digest, not a copy: the same answers.
      {u"a" + std::u16string(5000, u'z'), u"Параметр1=\"b" + std::u16string(5000, u'z') + u"\""},
      {u"c" + std::u16string(5000, u'z'), u"Параметр1=\"c\""},
      {u"x" + std::u16string(5000, u'z'), u"Параметр1 без изменений"}};
  for (const auto& [text, logged] : cases) {
    const uintmax_t before = testenv::FileSize(emulator->LogFilePath);
    tVariant result = testhost::EmptyValue();
    testhost::ValueList params(memory);
    params.AddString(text);
    ASSERT_TRUE(Call(*emulator, u"DoAdditionalAction", result, params));
    const std::u16string log = testenv::DecodeLog(testenv::ReadFileBytes(emulator->LogFilePath, before));
    EXPECT_NE(log.find(u"Выходные параметры:\r\n" + logged + u"\r\n"), std::u16string::npos)
        << Utf16ToUtf8(log);
  }
}

namespace {

// The control file as test tools write it: 1C's text writer (UTF-8 with a
// byte-order mark, CR LF), Windows PowerShell (UTF-16 with one), cmd's echo
// (a blank before the line end).
TEST(OperatorSetting, ControlFileInTheFormsToolsWriteIt) {
  const std::u16string path = u"/data/Orvik/operator.txt";
  const TOperatorSetting fromPlatform = OperatorSettingFromFile(
      "\xEF\xBB\xBF"
      "Approve \r\nCardNumber = 1234\r\n# note\r\nno pair\r\n\r\nweight=1.5\r\ncardnumber=5678",
      path);
  EXPECT_EQ(fromPlatform.Mode, TOperatorMode::Approve);
  EXPECT_EQ(fromPlatform.Source, TOperatorSource::File);
  EXPECT_EQ(fromPlatform.LogNote(), u"Ответ оператора: approve (одобрено автоматически), из файла " + path);
  ASSERT_NE(fromPlatform.Value(u"CARDNUMBER"), nullptr);
  EXPECT_EQ(*fromPlatform.Value(u"CARDNUMBER"), u"5678"); // the last line of a key wins
  ASSERT_NE(fromPlatform.Value(u"weight"), nullptr);
  EXPECT_EQ(*fromPlatform.Value(u"weight"), u"1.5");
  EXPECT_EQ(fromPlatform.Value(u"no pair"), nullptr);

  const std::string utf16("\xFF\xFEr\0e\0f\0u\0s\0e\0\r\0\n\0", 18);
  EXPECT_EQ(OperatorSettingFromFile(utf16, path).Mode, TOperatorMode::Refuse);
  EXPECT_EQ(OperatorSettingFromFile("dialog \r\n", path).Mode, TOperatorMode::Dialog);
  EXPECT_FALSE(OperatorSettingFromFile("dialog", path).Automatic());

  const TOperatorSetting unknown = OperatorSettingFromFile("одобрить\napprove\n", path);
  EXPECT_EQ(unknown.Mode, TOperatorMode::Invalid);
  EXPECT_EQ(unknown.Error, u"Неизвестный ответ оператора \"одобрить\" в файле " + path +
                               u": ожидается dialog, approve или refuse");
  for (const char* empty : {"", "\xEF\xBB\xBF", "\r\napprove"})
    EXPECT_EQ(OperatorSettingFromFile(empty, path).Error,
              u"Первая строка файла ответа оператора " + path +
                  u" пуста: ожидается dialog, approve или refuse");
}

// Every line end and every encoding a file can come in gives the same
// setting: the word and the values of the further lines.
TEST(OperatorSetting, AnyLineEndsAndUtf16WithOrWithoutAMark) {
  const std::u16string path = u"operator.txt";
  const auto expectApproveWithWeight = [&path](std::string_view bytes, const std::string& what) {
    const TOperatorSetting setting = OperatorSettingFromFile(bytes, path);
    EXPECT_EQ(setting.Mode, TOperatorMode::Approve) << what << ": " << Utf16ToUtf8(setting.Error);
    const std::u16string* weight = setting.Value(u"weight");
    ASSERT_NE(weight, nullptr) << what;
    EXPECT_EQ(*weight, u"3,5 кг") << what;
    ASSERT_NE(setting.Value(u"slip"), nullptr) << what;
    EXPECT_EQ(*setting.Value(u"slip"), u"") << what;
  };
  const auto utf16 = [](std::u16string_view text, bool little) {
    std::string bytes;
    for (const char16_t unit : text) {
      const char low = static_cast<char>(unit & 0xFF);
      const char high = static_cast<char>(unit >> 8);
      bytes += little ? low : high;
      bytes += little ? high : low;
    }
    return bytes;
  };
  for (const std::u16string end : {u"\r\n", u"\n", u"\r"}) {
    const std::string name = end == u"\r" ? "CR" : end == u"\n" ? "LF" : "CR LF";
    const std::u16string text =
        u"approve" + end + u"# комментарий" + end + end + u"slip=" + end + u"weight = 3,5 кг" + end;
    expectApproveWithWeight(Utf16ToUtf8(text), name + ", UTF-8");
    expectApproveWithWeight("\xEF\xBB\xBF" + Utf16ToUtf8(text), name + ", UTF-8 with a mark");
    for (const bool little : {true, false}) {
      const std::string order = little ? ", UTF-16LE" : ", UTF-16BE";
      expectApproveWithWeight(utf16(u"\uFEFF" + text, little), name + order + " with a mark");
      expectApproveWithWeight(utf16(text, little), name + order);
      // The last line without its end, the word alone.
      expectApproveWithWeight(utf16(text.substr(0, text.size() - end.size()), little),
                              name + order + ", no end");
      EXPECT_EQ(OperatorSettingFromFile(utf16(u"refuse", little), path).Mode, TOperatorMode::Refuse) << order;
    }
  }
  // A blank first line ended by CR alone is still blank; mixed ends end one line each.
  EXPECT_TRUE(OperatorSettingFromFile("\rapprove", path)
                  .Error.ends_with(u" пуста: ожидается dialog, approve или refuse"));
  const TOperatorSetting mixed = OperatorSettingFromFile("approve\r\r\nweight=1\n\rslip=2", path);
  EXPECT_EQ(mixed.Mode, TOperatorMode::Approve);
  EXPECT_EQ(mixed.Values.size(), 2u);
}

TEST(OperatorSetting, VariableAndItsUnknownWords) {
  EXPECT_EQ(OperatorSettingFromVariable(std::nullopt).Mode, TOperatorMode::Dialog);
  EXPECT_EQ(OperatorSettingFromVariable(u"  ").Source, TOperatorSource::None);
  const TOperatorSetting refuse = OperatorSettingFromVariable(u"REFUSE");
  EXPECT_EQ(refuse.Mode, TOperatorMode::Refuse);
  EXPECT_EQ(refuse.LogNote(),
            u"Ответ оператора: refuse (отказ автоматически), из переменной окружения ORVIK_OPERATOR");
  EXPECT_EQ(OperatorSettingFromVariable(u"approved").Error,
            u"Неизвестный ответ оператора \"approved\" в переменной окружения ORVIK_OPERATOR: ожидается "
            u"dialog, approve или refuse");
  // A huge word is named by its beginning.
  const TOperatorSetting huge = OperatorSettingFromVariable(std::u16string(100000, u'x'));
  EXPECT_EQ(huge.Mode, TOperatorMode::Invalid);
  EXPECT_LT(huge.Error.size(), 200u);
}

// The file decides while it exists, even one that cannot be read; the
// variable decides otherwise.
TEST_F(CoreUnit, ControlFileOverridesTheVariableWhileItExists) {
  if (!testenv::CanRedirectLogHome())
    GTEST_SKIP() << "the data folder cannot be moved here";
  const std::filesystem::path data = std::filesystem::path(testenv::TemporaryFolder()) / "operator";
  const std::filesystem::path file = data / "Orvik" / "operator.txt";
  std::filesystem::create_directories(data / "Orvik");
  testenv::RedirectLogHome(data.string());
  testhost::SetEnvironment("ORVIK_OPERATOR", "refuse");
  EXPECT_EQ(ReadOperatorSetting().Mode, TOperatorMode::Refuse);
  std::ofstream(file) << "approve\n";
  const TOperatorSetting fromFile = ReadOperatorSetting();
  EXPECT_EQ(fromFile.Mode, TOperatorMode::Approve);
  EXPECT_EQ(std::filesystem::path(fromFile.Origin), file);
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  EXPECT_EQ(ReadOperatorSetting().Error, u"Не удалось прочитать файл ответа оператора " + file.u16string());
  std::filesystem::remove(file);
  // A file of keys only leaves the answer to the variable and gives its keys.
  std::ofstream(file) << "clock=+25h\nweight=2\n";
  const TOperatorSetting keysOnly = ReadOperatorSetting();
  EXPECT_EQ(keysOnly.Mode, TOperatorMode::Refuse);
  EXPECT_EQ(keysOnly.Source, TOperatorSource::Variable);
  ASSERT_NE(keysOnly.Value(u"clock"), nullptr);
  EXPECT_EQ(*keysOnly.Value(u"clock"), u"+25h");
  testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
  EXPECT_EQ(ReadOperatorSetting().Mode, TOperatorMode::Dialog);
  ASSERT_NE(ReadOperatorSetting().Value(u"weight"), nullptr);
  testhost::SetEnvironment("ORVIK_OPERATOR", "refuse");
  std::filesystem::remove(file);
  std::ofstream(file) << std::string(kOperatorFileLimit + 1, 'a');
  EXPECT_EQ(ReadOperatorSetting().Mode, TOperatorMode::Invalid);
  std::filesystem::remove(file);
  testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
  EXPECT_EQ(ReadOperatorSetting().Mode, TOperatorMode::Dialog);
  testenv::RestoreLogHome();
}

} // namespace
