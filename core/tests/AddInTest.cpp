// The core through a real add-in library, driven by the test host as the
// platform drives it: the common methods of both revisions, the call log's
// entries, and many writers on one log file.
#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using testhost::TextOf;
using testhost::TypeOf;

constexpr char16_t kName[] = u"Эмулятор \"Тест\" <A&B>";
const std::u16string kVersion = testenv::BuildVersion();

uintmax_t SizeOf(const std::u16string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
  return error ? 0 : size;
}

bool IsTimestamp(std::u16string_view s) {
  // dd.mm.yyyy hh:nn:ss
  constexpr std::u16string_view shape = u"00.00.0000 00:00:00";
  if (s.size() < shape.size())
    return false;
  for (size_t i = 0; i < shape.size(); ++i) {
    if (shape[i] == u'0' ? (s[i] < u'0' || s[i] > u'9') : s[i] != shape[i])
      return false;
  }
  return true;
}

// Checks that log holds exactly the given entries, each with a time stamp.
void ExpectEntries(const std::u16string& log, const std::vector<std::u16string>& entries) {
  size_t at = 0;
  for (const std::u16string& entry : entries) {
    ASSERT_TRUE(IsTimestamp(std::u16string_view(log).substr(at))) << "no time stamp at " << at << " in\n"
                                                                  << testhost::Utf16ToUtf8(log);
    at += 19;
    const std::u16string expected = u"\t" + entry + u"\r\n";
    if (log.compare(at, expected.size(), expected) != 0) {
      size_t same = 0;
      while (at + same < log.size() && same < expected.size() && log[at + same] == expected[same])
        ++same;
      const size_t from = same > 40 ? same - 40 : 0;
      FAIL() << "entry differs after " << same
             << " characters:\n  log:      " << testhost::Utf16ToUtf8(log.substr(at + from, 120))
             << "\n  expected: " << testhost::Utf16ToUtf8(expected.substr(from, 120));
    }
    at += expected.size();
  }
  EXPECT_EQ(at, log.size()) << "more entries than expected:\n" << testhost::Utf16ToUtf8(log.substr(at));
}

std::u16string CreationLine(std::u16string_view component) {
  return u"Создан объект " + std::u16string(component) + u" версия: " + kVersion + u"  разрядность: " +
         (sizeof(void*) == 8 ? u"64" : u"32");
}

class CoreAddIn : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    std::string error;
    addIn = testhost::AddIn::Load(testhost::BesideExecutable(TESTSIM_FILE), error).release();
    ASSERT_NE(addIn, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete addIn;
    addIn = nullptr;
  }

  void SetUp() override { ASSERT_NE(addIn, nullptr); }

  void TearDown() override {
    // Every component is gone: whatever it handed out or took over is freed.
    testhost::ReleaseValue(memory, result);
    EXPECT_TRUE(memory.Clean()) << memory.Summary();
    EXPECT_TRUE(connection.Errors().empty() || expectErrors);
  }

  std::unique_ptr<testhost::Component> Create(std::u16string_view className) {
    auto component = addIn->Create(className, memory);
    if (component) {
      component->Init(connection);
      component->SetMemManager();
    }
    return component;
  }

  // Calls a method by name as a function; the result stays in result.
  bool Call(testhost::Component& component, std::u16string_view name, testhost::ValueList& params) {
    testhost::ReleaseValue(memory, result);
    const long index = component.FindMethod(name);
    EXPECT_GE(index, 0) << testhost::Utf16ToUtf8(name);
    return component.CallAsFunc(index, result, params);
  }
  bool Call(testhost::Component& component, std::u16string_view name) {
    testhost::ValueList none(memory);
    return Call(component, name, none);
  }
  bool BoolResult() const { return TypeOf(result) == VTYPE_BOOL && result.bVal; }

  std::u16string Open(testhost::Component& component) {
    testhost::ValueList params(memory);
    params.Add(testhost::EmptyValue());
    Call(component, u"Open", params);
    return TextOf(params[0]);
  }
  bool Close(testhost::Component& component, std::u16string_view id) {
    testhost::ValueList params(memory);
    params.AddString(id);
    Call(component, u"Close", params);
    return BoolResult();
  }
  std::u16string LastError(testhost::Component& component) {
    testhost::ValueList params(memory);
    params.Add(testhost::EmptyValue());
    Call(component, u"GetLastError", params);
    EXPECT_EQ(TypeOf(result), VTYPE_I4);
    EXPECT_EQ(result.lVal, 1);
    return TextOf(params[0]);
  }

  static testhost::AddIn* addIn;
  testhost::CountingMemory memory;
  testhost::RecordingConnection connection;
  tVariant result = testhost::EmptyValue();
  bool expectErrors = false;
};

testhost::AddIn* CoreAddIn::addIn = nullptr;

TEST_F(CoreAddIn, RegistryOfBothRevisions) {
  auto r3001 = Create(u"Orvik_TestSim_3001");
  ASSERT_TRUE(r3001);
  EXPECT_EQ(r3001->GetNProps(), 0);
  EXPECT_EQ(r3001->GetNMethods(), 13);
  EXPECT_EQ(r3001->GetMethodName(0, 0), u"GetInterfaceRevision");
  EXPECT_EQ(r3001->GetMethodName(0, 1), u"ПолучитьРевизиюИнтерфейса");
  EXPECT_EQ(r3001->GetMethodName(1, 0), u"GetDescription");
  EXPECT_EQ(r3001->GetNParams(1), 1);
  EXPECT_EQ(r3001->FindMethod(u"ПолучитьОписание"), 1);
  EXPECT_EQ(r3001->FindMethod(u"getinterfacerevision"), -1);
  EXPECT_EQ(r3001->FindMethod(u"GetVersion"), -1);
  EXPECT_EQ(r3001->GetMethodName(10, 0), u"Echo");
  for (long i = 0; i < 13; ++i)
    EXPECT_TRUE(r3001->HasRetVal(i));

  auto r2001 = Create(u"Orvik_TestSim_2001");
  ASSERT_TRUE(r2001);
  EXPECT_EQ(r2001->GetNMethods(), 13);
  EXPECT_EQ(r2001->GetMethodName(0, 0), u"GetVersion");
  EXPECT_EQ(r2001->GetMethodName(1, 1), u"ПолучитьОписание");
  EXPECT_EQ(r2001->GetNParams(1), 7);
  EXPECT_EQ(r2001->FindMethod(u"ПолучитьОписание"), 1);
  EXPECT_EQ(r2001->GetNParams(r2001->FindMethod(u"SetParameter")), 2);
  EXPECT_EQ(r2001->GetNParams(r2001->FindMethod(u"ТестУстройства")), 2);
}

TEST_F(CoreAddIn, CommonMethodsOfRevision2001) {
  auto sim = Create(u"Orvik_TestSim_2001");
  ASSERT_TRUE(sim);
  ASSERT_TRUE(Call(*sim, u"GetVersion"));
  EXPECT_EQ(TextOf(result), kVersion);

  testhost::ValueList description(memory);
  for (int i = 0; i < 7; ++i)
    description.Add(testhost::IntValue(99));
  ASSERT_TRUE(Call(*sim, u"ПолучитьОписание", description));
  EXPECT_TRUE(BoolResult());
  EXPECT_EQ(TextOf(description[0]), kName);
  EXPECT_EQ(TextOf(description[1]), u"https://orvik.example/emulators");
  EXPECT_EQ(TextOf(description[2]), u"ТестовоеОборудование");
  EXPECT_EQ(TypeOf(description[3]), VTYPE_I4);
  EXPECT_EQ(description[3].lVal, 2001);
  EXPECT_EQ(TypeOf(description[4]), VTYPE_BOOL);
  EXPECT_FALSE(description[4].bVal);
  EXPECT_EQ(TypeOf(description[5]), VTYPE_BOOL);
  EXPECT_FALSE(description[5].bVal);
  EXPECT_EQ(TypeOf(description[6]), VTYPE_PWSTR);
  EXPECT_EQ(TextOf(description[6]), u"");
  for (const int i : {0, 1, 2, 6})
    EXPECT_EQ(testhost::CheckHostText(memory, description[i]), "") << i;

  // Too few parameters: the method writes what it can and nothing beyond.
  testhost::ValueList two(memory);
  two.Add(testhost::EmptyValue());
  two.Add(testhost::EmptyValue());
  ASSERT_TRUE(Call(*sim, u"GetDescription", two));
  EXPECT_EQ(TextOf(two[1]), u"https://orvik.example/emulators");
  ASSERT_TRUE(sim->CallAsFunc(1, result, nullptr, 0));
  EXPECT_TRUE(BoolResult());
}

TEST_F(CoreAddIn, CommonMethodsOfRevision3001) {
  auto sim = Create(u"Orvik_TestSim_3001");
  ASSERT_TRUE(sim);
  ASSERT_TRUE(Call(*sim, u"GetInterfaceRevision"));
  EXPECT_EQ(TypeOf(result), VTYPE_I4);
  EXPECT_EQ(result.lVal, 3001);

  const std::u16string logPath = testenv::LogFilePath(u"TestSim_3001_emulator.log");
  ASSERT_EQ(logPath.find_first_of(u"\"&'<>"), std::u16string::npos); // escaping has tests of its own
  testhost::ValueList one(memory);
  one.Add(testhost::EmptyValue());
  ASSERT_TRUE(Call(*sim, u"GetDescription", one));
  EXPECT_TRUE(BoolResult());
  EXPECT_EQ(testhost::Utf16ToUtf8(TextOf(one[0])),
            testhost::Utf16ToUtf8(
                u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<DriverDescription Name=\"Эмулятор "
                u"&quot;Тест&quot; &lt;A&amp;B&gt;"
                u"\" Description=\"https://orvik.example/emulators\" EquipmentType=\"ТестовоеОборудование\" "
                u"IntegrationComponent=\"False\" MainDriverInstalled=\"False\" DriverVersion=\"" +
                kVersion + u"\" IntegrationComponentVersion=\"" + kVersion +
                u"\" DownloadURL=\"\" LogIsEnabled=\"True\" LogPath=\"" + logPath +
                u"\"></DriverDescription>"));

  ASSERT_TRUE(Call(*sim, u"GetParameters", one));
  EXPECT_EQ(TextOf(one[0]), u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Settings><Parameter "
                            u"Name=\"LogFile\" Caption=\"Файл логов\" TypeValue=\"String\" ReadOnly=\"true\" "
                            u"DefaultValue=\"" +
                                logPath + u"\"/></Settings>");
  ASSERT_TRUE(Call(*sim, u"GetAdditionalActions", one));
  EXPECT_EQ(TextOf(one[0]), u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Actions></Actions>");
  EXPECT_TRUE(BoolResult());

  ASSERT_TRUE(Call(*sim, u"ВыполнитьДополнительноеДействие", one));
  EXPECT_TRUE(BoolResult());
  testhost::ValueList setting(memory);
  setting.AddString(u"LogFile");
  setting.AddString(u"/elsewhere");
  ASSERT_TRUE(Call(*sim, u"SetParameter", setting));
  EXPECT_TRUE(BoolResult());
  ASSERT_TRUE(Call(*sim, u"GetParameters", one));
  EXPECT_NE(TextOf(one[0]).find(logPath), std::u16string::npos); // nothing was stored

  testhost::ValueList test(memory);
  test.AddString(u"old");
  test.AddString(u"old");
  ASSERT_TRUE(Call(*sim, u"DeviceTest", test));
  EXPECT_TRUE(BoolResult());
  EXPECT_EQ(TextOf(test[0]), std::u16string(kName) + u" " + kVersion);
  EXPECT_EQ(TypeOf(test[1]), VTYPE_PWSTR);
  EXPECT_EQ(TextOf(test[1]), u"");
}

TEST_F(CoreAddIn, DeviceIDsAndTheLastError) {
  auto sim = Create(u"Orvik_TestSim_3001");
  ASSERT_TRUE(sim);
  EXPECT_EQ(Open(*sim), u"TestSim_3001#1");
  EXPECT_TRUE(BoolResult());
  EXPECT_EQ(Open(*sim), u"TestSim_3001#2");

  // Another letter case finds the same device, in device methods and Close.
  testhost::ValueList echo(memory);
  echo.AddString(u"TESTSIM_3001#2");
  echo.AddString(u"hi");
  ASSERT_TRUE(Call(*sim, u"Echo", echo));
  EXPECT_TRUE(BoolResult());
  EXPECT_EQ(TextOf(echo[1]), u"echo:hi");
  EXPECT_TRUE(Close(*sim, u"testsim_3001#1"));
  EXPECT_EQ(LastError(*sim), u"");

  // The first device is gone: the second Close fails.
  EXPECT_FALSE(Close(*sim, u"TestSim_3001#1"));
  EXPECT_EQ(LastError(*sim), u"DeviceID не найдено!");
  EXPECT_EQ(LastError(*sim), u"");

  // Any other call clears the error before GetLastError sees it.
  EXPECT_FALSE(Close(*sim, u"TestSim_3001#7"));
  ASSERT_TRUE(Call(*sim, u"GetInterfaceRevision"));
  EXPECT_EQ(LastError(*sim), u"");

  // Close of a parameter that is no text looks for an empty DeviceID.
  testhost::ValueList number(memory);
  number.Add(testhost::IntValue(2));
  ASSERT_TRUE(Call(*sim, u"Close", number));
  EXPECT_FALSE(BoolResult());
  EXPECT_EQ(LastError(*sim), u"DeviceID не найдено!");

  // The counter never goes back: the next device is #3 though #1 was closed.
  EXPECT_EQ(Open(*sim), u"TestSim_3001#3");
  EXPECT_TRUE(Close(*sim, u"TestSim_3001#2"));
  EXPECT_TRUE(Close(*sim, u"TestSim_3001#3"));
  EXPECT_FALSE(Close(*sim, u"TestSim_3001#3"));
}

TEST_F(CoreAddIn, RaisedErrorsReachTheHostOnce) {
  expectErrors = true;
  auto sim = Create(u"Orvik_TestSim_2001");
  ASSERT_TRUE(sim);
  EXPECT_FALSE(Call(*sim, u"Fail"));
  ASSERT_EQ(connection.Errors().size(), 1u);
  EXPECT_EQ(connection.Errors()[0].code, 1006);
  EXPECT_EQ(connection.Errors()[0].source, u"Внешняя компонента");
  EXPECT_EQ(connection.Errors()[0].description, u"Сбой устройства");
  // The object stays usable.
  ASSERT_TRUE(Call(*sim, u"GetVersion"));
  EXPECT_EQ(TextOf(result), kVersion);
}

TEST_F(CoreAddIn, LogHoldsWholeEntries) {
  const std::u16string path = testenv::LogFilePath(u"TestSim_2001_emulator.log");
  {
    // Whatever the file holds already stays and is appended to.
    auto first = Create(u"Orvik_TestSim_2001");
    ASSERT_TRUE(first);
  }
  const uintmax_t start = SizeOf(path);
  ASSERT_GT(start, 0u);
  const std::string before = testenv::ReadFileBytes(path, 0);
  {
    auto sim = Create(u"Orvik_TestSim_2001");
    ASSERT_TRUE(sim);
    Call(*sim, u"GetVersion");
    const std::u16string id = Open(*sim);
    testhost::ValueList echo(memory);
    echo.AddString(id);
    echo.AddString(u"Ёж & \"кот\"");
    Call(*sim, u"Эхо", echo);
    Close(*sim, u"nothing");
    LastError(*sim);
    testhost::ValueList keep(memory);
    keep.AddString(u"same");
    Call(*sim, u"Keep", keep);
    testhost::ValueList mixed(memory);
    mixed.Add(testhost::IntValue(-5));
    mixed.Add(testhost::BoolValue(true));
    Call(*sim, u"Echo", mixed);
    sim->CallAsProc(sim->FindMethod(u"GetVersion"), nullptr, 0);
  }
  EXPECT_EQ(testenv::ReadFileBytes(path, 0).substr(0, before.size()), before);
  const std::u16string log = testenv::DecodeLog(testenv::ReadFileBytes(path, start));
  ExpectEntries(log,
                {
                    CreationLine(u"TestSim_2001"),
                    u"Метод: GetVersion\r\nВходные параметры:\r\nВыходные параметры:\r\nРезультат=\"" +
                        kVersion + u"\"\r\n",
                    u"Метод: Open\r\nВходные параметры:\r\nПараметр1=Неопределено\r\nВыходные параметры:\r\n"
                    u"Параметр1=\"TestSim_2001#1\"\r\nРезультат=Истина\r\n",
                    u"Метод: Echo\r\nВходные параметры:\r\nПараметр1=\"TestSim_2001#1\"\r\n"
                    u"Параметр2=\"Ёж & \"кот\"\"\r\nВыходные параметры:\r\nПараметр1 без изменений\r\n"
                    u"Параметр2=\"echo:Ёж & \"кот\"\"\r\nРезультат=Истина\r\n",
                    u"Метод: Close\r\nВходные параметры:\r\nПараметр1=\"nothing\"\r\n"
                    u"Ошибка: DeviceID не найдено!\r\nВыходные параметры:\r\nПараметр1 без изменений\r\n"
                    u"Результат=Ложь\r\n",
                    u"Метод: GetLastError\r\nВходные параметры:\r\nПараметр1=Неопределено\r\n"
                    u"Выходные параметры:\r\nПараметр1=\"DeviceID не найдено!\"\r\nРезультат=1\r\n",
                    u"Метод: Keep\r\nВходные параметры:\r\nПараметр1=\"same\"\r\nВыходные параметры:\r\n"
                    u"Параметр1 без изменений\r\nРезультат=Истина\r\n",
                    u"Метод: Echo\r\nВходные параметры:\r\nПараметр1=-5\r\nПараметр2=Истина\r\n"
                    u"Ошибка: DeviceID не найдено!\r\nВыходные параметры:\r\nПараметр1 без изменений\r\n"
                    u"Параметр2 без изменений\r\nРезультат=Ложь\r\n",
                    u"Метод: GetVersion\r\nВходные параметры:\r\nВыходные параметры:\r\nРезультат=\"" +
                        kVersion + u"\"\r\n",
                    u"Уничтожен объект",
                });
}

TEST_F(CoreAddIn, HugeParameterIsLoggedWhole) {
  const std::u16string path = testenv::LogFilePath(u"TestSim_3001_emulator.log");
  std::u16string huge(16u << 20, u'a');
  for (size_t i = 0; i < huge.size(); i += 7)
    huge[i] = static_cast<char16_t>(u'a' + i % 26);
  huge[12345] = u'Ж';
  auto sim = Create(u"Orvik_TestSim_3001");
  ASSERT_TRUE(sim);
  const std::u16string id = Open(*sim);
  const uintmax_t start = SizeOf(path);
  testhost::ValueList echo(memory);
  echo.AddString(id);
  echo.AddString(huge);
  ASSERT_TRUE(Call(*sim, u"Echo", echo));
  ASSERT_EQ(TextOf(echo[1]).size(), huge.size() + 5);
  echo.Release();
  const std::u16string log = testenv::DecodeLog(testenv::ReadFileBytes(path, start));
  ExpectEntries(log, {u"Метод: Echo\r\nВходные параметры:\r\nПараметр1=\"" + id + u"\"\r\nПараметр2=\"" +
                      huge + u"\"\r\nВыходные параметры:\r\nПараметр1 без изменений\r\nПараметр2=\"echo:" +
                      huge + u"\"\r\nРезультат=Истина\r\n"});
}

// ---------------------------------------------------------------------------
// Many processes on one log file

constexpr int kWriters = 8;
constexpr int kCallsPerWriter = 1000;
constexpr char kChildVariable[] = "ORVIK_CORE_LOG_CHILD";

// A value long enough that a torn or interleaved write would show.
std::u16string Payload(unsigned long process, int call) {
  const std::string mark = std::to_string(process) + "-" + std::to_string(call);
  std::u16string text = testhost::Utf8ToUtf16("P" + mark + ":");
  text.append(3000, u'ж');
  text += testhost::Utf8ToUtf16(":" + mark);
  return text;
}

std::u16string CallEntry(unsigned long process, int call) {
  const std::u16string payload = Payload(process, call);
  return u"Метод: SetParameter\r\nВходные параметры:\r\nПараметр1=\"Load\"\r\nПараметр2=\"" + payload +
         u"\"\r\nВыходные параметры:\r\nПараметр1 без изменений\r\nПараметр2 без изменений\r\n"
         u"Результат=Истина\r\n";
}

// Run only as a child of ManyProcessesLoseNothing.
TEST_F(CoreAddIn, LoadChild) {
  if (std::getenv(kChildVariable) == nullptr)
    GTEST_SKIP() << "runs as a child process of ManyProcessesLoseNothing";
  auto sim = Create(u"Orvik_TestSim_3001");
  ASSERT_TRUE(sim);
  const long index = sim->FindMethod(u"SetParameter");
  const unsigned long process = testenv::ProcessId();
  for (int call = 0; call < kCallsPerWriter; ++call) {
    testhost::ValueList params(memory);
    params.AddString(u"Load");
    params.AddString(Payload(process, call));
    ASSERT_TRUE(sim->CallAsFunc(index, result, params));
  }
}

TEST_F(CoreAddIn, ManyProcessesLoseNothing) {
  const std::u16string path = testenv::LogFilePath(u"TestSim_3001_emulator.log");
  { auto touch = Create(u"Orvik_TestSim_3001"); }
  const uintmax_t start = SizeOf(path);
  testhost::SetEnvironment(kChildVariable, "1");
  const std::vector<int> codes =
      testenv::RunSelfInParallel({"--gtest_filter=CoreAddIn.LoadChild", "--gtest_brief=1"}, kWriters);
  testhost::SetEnvironment(kChildVariable, nullptr);
  for (const int code : codes)
    ASSERT_EQ(code, 0);

  const std::u16string log = testenv::DecodeLog(testenv::ReadFileBytes(path, start));
  std::map<unsigned long, int> nextCall; // per process
  int calls = 0;
  size_t at = 0;
  const std::u16string_view methodLine = u"\tМетод: SetParameter";
  while (at < log.size()) {
    ASSERT_TRUE(IsTimestamp(std::u16string_view(log).substr(at))) << "torn entry at " << at;
    at += 19;
    const std::u16string_view rest = std::u16string_view(log).substr(at);
    if (rest.starts_with(u"\tСоздан объект ") || rest.starts_with(u"\tУничтожен объект\r\n")) {
      at = log.find(u"\r\n", at) + 2;
      continue;
    }
    ASSERT_TRUE(rest.starts_with(methodLine)) << "unexpected entry at " << at;
    const size_t mark = log.find(u"Параметр2=\"P", at);
    ASSERT_NE(mark, std::u16string::npos);
    const size_t dash = log.find(u'-', mark);
    const unsigned long process = std::stoul(testhost::Utf16ToUtf8(log.substr(mark + 12, dash - mark - 12)));
    const int call = nextCall[process]++;
    const std::u16string expected = u"\t" + CallEntry(process, call) + u"\r\n";
    ASSERT_EQ(log.compare(at, expected.size(), expected), 0) << "entry " << call << " of process " << process;
    at += expected.size();
    ++calls;
  }
  EXPECT_EQ(calls, kWriters * kCallsPerWriter);
  EXPECT_EQ(nextCall.size(), static_cast<size_t>(kWriters));
  for (const auto& [process, count] : nextCall)
    EXPECT_EQ(count, kCallsPerWriter) << process;
}

} // namespace

namespace {

// The test device's data folder, where the control file lies.
std::filesystem::path DataFolder() {
  return std::filesystem::path(testenv::LogFilePath(u"operator.txt")).parent_path();
}

} // namespace

TEST_F(CoreAddIn, FaultRulesRefuseBeforeTheMethodRuns) {
  const std::filesystem::path control = DataFolder() / "operator.txt";
  const std::u16string log = testenv::LogFilePath(u"TestSim_2001_emulator.log");
  std::filesystem::remove(control);
  auto sim = Create(u"Orvik_TestSim_2001");
  ASSERT_TRUE(sim);

  // A file of keys only: its rules apply, the answer stays the variable's.
  std::ofstream(control) << "fail.подключить=Устройство не подключено\r\nfail.ЭХО=Нет связи\r\n"
                            "fail.GetLastError=never\r\nfail.GetVersion=never\r\n";
  const uintmax_t before = testenv::FileSize(log);
  testhost::ValueList open(memory);
  open.AddString(u"unchanged");
  ASSERT_TRUE(Call(*sim, u"Open", open));
  EXPECT_FALSE(BoolResult());
  EXPECT_EQ(TextOf(open[0]), u"unchanged"); // no DeviceID handed out
  EXPECT_EQ(LastError(*sim), u"Устройство не подключено");
  ASSERT_TRUE(Call(*sim, u"GetVersion"));
  EXPECT_EQ(TypeOf(result), VTYPE_PWSTR); // methods that answer no boolean are never refused
  // The log is in the system's code page (1251 under Wine), as a person reads it.
  const std::u16string entry = testenv::DecodeLog(testenv::ReadFileBytes(log, before));
  EXPECT_NE(entry.find(u"fail.Подключить=Устройство не подключено из файла "), std::u16string::npos)
      << testhost::Utf16ToUtf8(entry);

  // The Russian name in another letter case refuses the English one's calls too.
  testhost::ValueList echo(memory);
  echo.AddString(u"TestSim_2001#1");
  echo.AddString(u"hi");
  ASSERT_TRUE(Call(*sim, u"Echo", echo));
  EXPECT_FALSE(BoolResult());
  EXPECT_EQ(TextOf(echo[1]), u"hi");
  EXPECT_EQ(LastError(*sim), u"Нет связи");

  // Without the line the method runs again, and nothing was counted meanwhile.
  std::filesystem::remove(control);
  EXPECT_EQ(Open(*sim), u"TestSim_2001#1");
  EXPECT_TRUE(BoolResult());
  EXPECT_TRUE(Close(*sim, u"TestSim_2001#1"));
}
