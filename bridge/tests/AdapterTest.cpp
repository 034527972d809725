// The class table and the adapters, driven through the interface tables the
// way the host drives them.
#include "FakeHost.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class TProbe : public TV8UserObject {
public:
  void AfterConstruction() override {
    AddMethod(u"Echo", u"Эхо", 1, true);
    AddMethod(u"Fail", u"Сбой", 0, true);
    AddProperty(u"Mode", u"Режим", u"RW");
    AddProperty(u"Lower", u"Нижний", u"r");
    AddProperty(u"Broken", u"Сломан", u"W");
  }
  bool CallMethod(const std::u16string& name, long, tVariant& ret, tVariant* params, long count) override {
    lastCount = count;
    if (name == u"Fail")
      throw EV8Error("Сбой метода");
    SetWideStringValue(Memory(), ret, count > 0 ? GetStringValue(params[0]) : u"none");
    return true;
  }
  bool AccessProperty(long index, const std::u16string&, tVariant& value, bool isGet) override {
    if (index == 2)
      throw std::runtime_error("нет");
    if (isGet)
      SetIntValue(Memory(), value, mode);
    else
      mode = GetIntValue(value);
    return true;
  }
  void LocaleChanged() override { ++localeChanges; }
  long lastCount = -1;
  int32_t mode = 3;
  int localeChanges = 0;
};

class TSecond : public TV8UserObject {};

// Registered once for the whole program, as a library does at load.
const bool registered = [] {
  RegisterUserClass<TProbe>(u"Test.Probe");
  RegisterUserClass<TSecond>(u"Test.Second");
  for (int i = 3; i <= 11; ++i) // slots 3 to 10, then one too many
    RegisterUserClass<TSecond>(u"Test.Extra" + std::u16string(1, char16_t(u'0' + i % 10)));
  return true;
}();

tVariant Empty() {
  tVariant v;
  std::memset(static_cast<void*>(&v), 0, sizeof v);
  return v;
}

// The host's view: calls go through the word of the interface, with that
// word's address as the object pointer.
struct Component {
  void* block = nullptr;
  void** words() const { return static_cast<void**>(block); }
  const v8abi::InitDoneTable& initDone() const {
    return **reinterpret_cast<v8abi::InitDoneTable**>(&words()[0]);
  }
  const v8abi::LanguageExtenderTable& lang() const {
    return **reinterpret_cast<v8abi::LanguageExtenderTable**>(&words()[1]);
  }
  void* w(int i) const { return &words()[i]; }
};

struct AdapterTest : ::testing::Test {
  FakeMemory memory;
  FakeConnection connection;
  Component c;
  void SetUp() override {
    ASSERT_TRUE(registered);
    ASSERT_EQ(CreateHostComponent(AsHost(u"Test.Probe"), &c.block), 1);
    ASSERT_TRUE(c.initDone().Init(c.w(0), &connection));
    ASSERT_TRUE(c.initDone().setMemManager(c.w(0), &memory));
  }
  void TearDown() override {
    c.initDone().Done(c.w(0));
    EXPECT_EQ(DestroyHostComponent(&c.block), 0);
    EXPECT_EQ(memory.badFrees, 0);
  }
  TProbe& probe() const { return *static_cast<TProbe*>(c.words()[4]); }
  std::u16string Take(const WCHAR_T* text) {
    std::u16string s(HostText(text));
    void* p = const_cast<WCHAR_T*>(text);
    FakeMemory::Free(&memory, &p);
    return s;
  }
};

TEST(ClassTable, NamesLookupAndTheEleventhRegistration) {
  ASSERT_TRUE(registered);
  const std::u16string names(HostText(RegisteredClassNames()));
  EXPECT_EQ(names, u"Test.Probe|Test.Second|Test.Extra3|Test.Extra4|Test.Extra5|Test.Extra6|Test.Extra7|"
                   u"Test.Extra8|Test.Extra9|Test.Extra0");
  const WCHAR_T* first = RegisteredClassNames();
  EXPECT_EQ(first, RegisteredClassNames()); // the same text stays valid

  void* block = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CreateHostComponent(AsHost(u"test.probe"), &block), 0);
  EXPECT_EQ(CreateHostComponent(AsHost(u""), &block), 0);
  EXPECT_EQ(CreateHostComponent(AsHost(u"Test.Extra1"), &block), 0); // the ignored eleventh
  EXPECT_EQ(CreateHostComponent(nullptr, &block), 0);
  EXPECT_EQ(block, reinterpret_cast<void*>(0x1));

  void* a = nullptr;
  void* b = nullptr;
  ASSERT_EQ(CreateHostComponent(AsHost(u"Test.Probe"), &a), 1);
  ASSERT_EQ(CreateHostComponent(AsHost(u"Test.Probe"), &b), 1);
  EXPECT_NE(a, b);
  EXPECT_NE(static_cast<void**>(a)[4], static_cast<void**>(b)[4]);
  for (int i = 5; i < 8; ++i)
    EXPECT_EQ(static_cast<void**>(a)[4], static_cast<void**>(a)[i]);
  EXPECT_EQ(DestroyHostComponent(&a), 0);
  EXPECT_EQ(DestroyHostComponent(&b), 0);
  void* none = nullptr;
  EXPECT_EQ(DestroyHostComponent(&none), 0);
  EXPECT_EQ(DestroyHostComponent(nullptr), 0);
}

TEST_F(AdapterTest, AnswersFromTheRegistry) {
  EXPECT_EQ(c.initDone().GetInfo(c.w(0)), 2100);
  WCHAR_T* name = nullptr;
  ASSERT_TRUE(c.lang().RegisterExtensionAs(c.w(1), &name));
  EXPECT_EQ(Take(name), u"Test.Probe");

  EXPECT_EQ(c.lang().GetNMethods(c.w(1)), 2);
  EXPECT_EQ(c.lang().FindMethod(c.w(1), AsHost(u"Сбой")), 1);
  EXPECT_EQ(c.lang().FindMethod(c.w(1), AsHost(u"echo")), -1);
  EXPECT_EQ(c.lang().FindMethod(c.w(1), AsHost(u"")), -1);
  EXPECT_EQ(c.lang().FindMethod(c.w(1), nullptr), -1);
  EXPECT_EQ(Take(c.lang().GetMethodName(c.w(1), 0, 1)), u"Эхо");
  EXPECT_EQ(c.lang().GetMethodName(c.w(1), 2, 0), nullptr);
  EXPECT_EQ(c.lang().GetMethodName(c.w(1), -1, 0), nullptr);
  EXPECT_EQ(c.lang().GetNParams(c.w(1), 0), 1);
  EXPECT_EQ(c.lang().GetNParams(c.w(1), 99), 0);
  EXPECT_TRUE(c.lang().HasRetVal(c.w(1), 1));
  EXPECT_FALSE(c.lang().HasRetVal(c.w(1), 2));

  tVariant def = Empty();
  def.vt = VTYPE_I4;
  def.lVal = 77;
  EXPECT_TRUE(c.lang().GetParamDefValue(c.w(1), 0, 0, &def));
  EXPECT_EQ(def.vt, VTYPE_I4);
  EXPECT_EQ(def.lVal, 77);

  EXPECT_EQ(c.lang().GetNProps(c.w(1)), 3);
  EXPECT_EQ(c.lang().FindProp(c.w(1), AsHost(u"Режим")), 0);
  EXPECT_TRUE(c.lang().IsPropReadable(c.w(1), 0));
  EXPECT_TRUE(c.lang().IsPropWritable(c.w(1), 0));
  EXPECT_FALSE(c.lang().IsPropReadable(c.w(1), 1)); // "r" is not "R"
  EXPECT_FALSE(c.lang().IsPropReadable(c.w(1), 2));
  EXPECT_TRUE(c.lang().IsPropWritable(c.w(1), 2));
  EXPECT_FALSE(c.lang().IsPropWritable(c.w(1), 3));
  EXPECT_EQ(memory.allocs, memory.frees);
}

TEST_F(AdapterTest, RaisedErrorsReachTheHostOnceAsAddError) {
  tVariant ret = Empty();
  EXPECT_FALSE(c.lang().CallAsFunc(c.w(1), 1, &ret, nullptr, 0));
  ASSERT_EQ(connection.errors.size(), 1u);
  EXPECT_EQ(connection.errors[0].code, 1006);
  EXPECT_EQ(connection.errors[0].source, u"Внешняя компонента");
  EXPECT_EQ(connection.errors[0].descr, u"Сбой метода");
  EXPECT_EQ(connection.errors[0].scode, 1);

  tVariant value = Empty();
  EXPECT_FALSE(c.lang().GetPropVal(c.w(1), 2, &value));
  EXPECT_FALSE(c.lang().SetPropVal(c.w(1), 2, &value));
  ASSERT_EQ(connection.errors.size(), 3u);
  EXPECT_EQ(connection.errors[1].code, 1007);
  EXPECT_EQ(connection.errors[2].code, 1008);
  EXPECT_EQ(connection.errors[2].descr, u"нет");

  // The object stays usable.
  value.vt = VTYPE_I4;
  value.lVal = 9;
  EXPECT_TRUE(c.lang().SetPropVal(c.w(1), 0, &value));
  EXPECT_TRUE(c.lang().GetPropVal(c.w(1), 0, &value));
  EXPECT_EQ(value.lVal, 9);
  EXPECT_FALSE(c.lang().GetPropVal(c.w(1), 3, &value));
  EXPECT_EQ(connection.errors.size(), 3u);
}

TEST_F(AdapterTest, CallsPassParametersAndDropProcedureResults) {
  tVariant params[1] = {Empty()};
  SetWideStringValue(HostMemory(&memory), params[0], u"привет");
  tVariant ret = Empty();
  ASSERT_TRUE(c.lang().CallAsFunc(c.w(1), 0, &ret, params, 1));
  EXPECT_EQ(GetStringValue(ret), u"привет");
  ClearValue(HostMemory(&memory), ret);

  const int before = memory.allocs - memory.frees;
  EXPECT_TRUE(c.lang().CallAsProc(c.w(1), 0, params, 1));
  EXPECT_EQ(memory.allocs - memory.frees, before); // the dropped text was given back

  EXPECT_TRUE(c.lang().CallAsProc(c.w(1), 0, nullptr, 5)); // no array: no parameters
  EXPECT_EQ(probe().lastCount, 0);
  EXPECT_FALSE(c.lang().CallAsProc(c.w(1), 7, params, 1));
  EXPECT_FALSE(c.lang().CallAsFunc(c.w(1), 0, nullptr, params, 1));
  ClearValue(HostMemory(&memory), params[0]);
  EXPECT_EQ(memory.allocs, memory.frees);
}

TEST_F(AdapterTest, LocaleAndInterfaceLanguage) {
  auto* locale = *reinterpret_cast<v8abi::LocaleTable**>(c.w(2));
  locale->SetLocale(c.w(2), AsHost(u"ru_RU"));
  EXPECT_EQ(probe().Locale, u"ru_RU");
  EXPECT_EQ(probe().localeChanges, 1);
  auto* language = *reinterpret_cast<v8abi::UserLanguageTable**>(c.w(3));
  language->SetUserInterfaceLanguageCode(c.w(3), AsHost(u"ru"));
  EXPECT_EQ(probe().UserInterfaceLanguage, u"ru");
  language->SetUserInterfaceLanguageCode(c.w(3), nullptr);
  EXPECT_EQ(probe().UserInterfaceLanguage, u"");
}

TEST(AdapterOrder, CallsBeforeInitAndWithoutMemoryDoNotCrash) {
  Component c;
  ASSERT_EQ(CreateHostComponent(AsHost(u"Test.Probe"), &c.block), 1);
  WCHAR_T* name = reinterpret_cast<WCHAR_T*>(0x1);
  EXPECT_FALSE(c.lang().RegisterExtensionAs(c.w(1), &name)); // no memory manager yet
  EXPECT_EQ(name, nullptr);
  EXPECT_EQ(c.lang().GetMethodName(c.w(1), 0, 0), nullptr);
  tVariant ret = Empty();
  EXPECT_FALSE(c.lang().CallAsFunc(c.w(1), 1, &ret, nullptr, 0)); // raises, no connection to report to
  EXPECT_TRUE(c.lang().CallAsFunc(c.w(1), 0, &ret, nullptr, 0));  // the text cannot be handed out
  EXPECT_EQ(ret.vt, VTYPE_EMPTY);

  FakeMemory memory;
  memory.refuse = 1;
  ASSERT_TRUE(c.initDone().setMemManager(c.w(0), &memory));
  EXPECT_FALSE(c.lang().RegisterExtensionAs(c.w(1), &name));
  EXPECT_EQ(DestroyHostComponent(&c.block), 0);
}

} // namespace
