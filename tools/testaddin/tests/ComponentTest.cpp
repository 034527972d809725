// TESTADDIN driven as the platform drives a component: only through the
// library's exports and the interface tables of the block it hands out.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace testhost;

const std::u16string kSource = u"Внешняя компонента";
enum : long { kFail, kEcho, kFill, kRefuse, kReset, kMethodCount };
enum : long { kCounter, kLocale, kLanguage, kSink, kFaulty, kHidden, kPropCount };

class ComponentTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    addIn_ = AddIn::Load(BesideExecutable(TESTADDIN_FILE), loadError_).release();
  }
  static void TearDownTestSuite() {
    delete addIn_;
    addIn_ = nullptr;
  }

  void SetUp() override { ASSERT_NE(addIn_, nullptr) << loadError_; }

  void TearDown() override {
    objects_.clear(); // Done and DestroyObject
    EXPECT_EQ(memory_.Allocations(), memory_.Frees()) << memory_.Summary();
    EXPECT_EQ(memory_.LiveBlocks(), 0u);
    for (const MemoryFault& fault : memory_.Faults())
      ADD_FAILURE() << Describe(fault);
  }

  // An object of the class, given the connection and the memory manager as the
  // host gives them, unless told otherwise.
  Component& Make(std::u16string_view name = u"Test.First", bool initialise = true) {
    std::unique_ptr<Component> component = addIn_->Create(name, memory_);
    if (component == nullptr)
      throw std::runtime_error("GetClassObject refused " + Utf16ToUtf8(name));
    if (initialise) {
      EXPECT_TRUE(component->Init(connection_));
      EXPECT_TRUE(component->SetMemManager());
    }
    objects_.push_back(std::move(component));
    return *objects_.back();
  }

  void ExpectOneError(unsigned short code, std::u16string_view message) {
    ASSERT_EQ(connection_.Errors().size(), 1u);
    const ErrorReport& e = connection_.Errors()[0];
    EXPECT_EQ(e.code, code);
    EXPECT_EQ(e.source, kSource);
    EXPECT_EQ(e.description, message) << Utf16ToUtf8(e.description);
    EXPECT_EQ(e.scode, 1);
    connection_.ClearErrors();
  }

  int32_t Counter(Component& c) {
    tVariant v = EmptyValue();
    EXPECT_TRUE(c.GetPropVal(kCounter, v));
    EXPECT_EQ(TypeOf(v), VTYPE_I4);
    return v.lVal;
  }

  static AddIn* addIn_;
  static std::string loadError_;
  CountingMemory memory_;
  RecordingConnection connection_;
  std::vector<std::unique_ptr<Component>> objects_;
};

AddIn* ComponentTest::addIn_ = nullptr;
std::string ComponentTest::loadError_;

// ---- exports and class table ----

TEST_F(ComponentTest, ClassTableKeepsTenNamesAndTheListOutlivesTheCall) {
  const std::u16string expected = u"Test.First|Test.Second|Test.Third|Test.Fourth|Test.Fifth|Test.Sixth|"
                                  u"Test.Seventh|Test.Eighth|Test.Ninth|Test.Tenth";
  const WCHAR_T* first = addIn_->RawClassNames();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(addIn_->ClassNames(), expected);
  Make(u"Test.Tenth");
  addIn_->RawClassNames();
  EXPECT_EQ(std::u16string(U16Ptr(first)), expected); // the host reads the text after the call
  EXPECT_EQ(addIn_->Create(u"Test.Eleventh", memory_), nullptr);
}

TEST_F(ComponentTest, GetClassObjectCreatesOnlyForTheExactName) {
  int sentinel = 0;
  for (const std::u16string name :
       {u"test.first", u"TEST.FIRST", u"", u"Test.First ", u"Test.Firs", u"Test.Eleventh"}) {
    void* block = &sentinel;
    EXPECT_EQ(addIn_->GetClassObject(HostPtr(name.c_str()), &block), 0) << Utf16ToUtf8(name);
    EXPECT_EQ(block, &sentinel) << "the pointer is left as it was";
  }
  void* block = &sentinel;
  EXPECT_EQ(addIn_->GetClassObject(nullptr, &block), 0);
  EXPECT_EQ(addIn_->GetClassObject(HostPtr(u"Test.First"), nullptr), 0);

  void* none = nullptr;
  EXPECT_EQ(addIn_->DestroyObject(&none), 0);
  EXPECT_EQ(addIn_->DestroyObject(nullptr), 0);
  EXPECT_EQ(memory_.Allocations(), 0u);
}

TEST_F(ComponentTest, BlockPointsEveryTableAtTheSameObject) {
  Component& c = Make();
  void** words = static_cast<void**>(c.Block());
  for (int i = 0; i < 4; ++i)
    EXPECT_NE(words[i], nullptr) << "table word " << i;
  // each table finds the object four words past its own word
  for (int i = 5; i < 8; ++i)
    EXPECT_EQ(words[i], words[4]) << "object word " << i;
  EXPECT_NE(words[4], nullptr);
}

// A host that holds the object through C++ interfaces ends it with `delete`
// through any of them, after Done or without it; the object and its block go (the leak
// check of the sanitizer build sees the library's heap), the host's memory
// balances, and the other objects live on.
TEST_F(ComponentTest, DeleteThroughAnyInterfaceEndsTheObject) {
  Component& survivor = Make();
  const bool explicitCalls[] = {false, v8abi::kDestructorSlots == 2};
  for (const bool explicitCall : explicitCalls)
    for (int word = 0; word < 4; ++word) {
      Component& c = Make();
      ValueList params(memory_);
      params.AddString(u"эхо");
      tVariant result = EmptyValue();
      ASSERT_TRUE(c.CallAsFunc(kEcho, result, params));
      ReleaseValue(memory_, result);
      if (word != 3)
        c.Done(); // the usual order; a host may also delete without Done
      c.DeleteThrough(word, explicitCall);
      EXPECT_TRUE(c.Destroyed());
    }
  EXPECT_EQ(Counter(survivor), 0);
}

TEST_F(ComponentTest, TwoObjectsAreIndependent) {
  Component& a = Make();
  Component& b = Make();
  ASSERT_NE(a.Block(), b.Block());
  EXPECT_NE(static_cast<void**>(a.Block())[4], static_cast<void**>(b.Block())[4]);

  tVariant five = IntValue(5);
  ASSERT_TRUE(a.SetPropVal(kCounter, five));
  EXPECT_EQ(Counter(a), 5);
  EXPECT_EQ(Counter(b), 0);

  a.Done();
  a.Destroy();
  ValueList params(memory_);
  params.AddString(u"b lives on");
  tVariant ret = EmptyValue();
  EXPECT_TRUE(b.CallAsFunc(kEcho, ret, params));
  EXPECT_EQ(TextOf(ret, &memory_), u"b lives on");
  ReleaseValue(memory_, ret);
}

// ---- init/done interface ----

TEST_F(ComponentTest, InitDoneAndRegisteredName) {
  Component& c = Make(u"Test.Sixth", false);
  EXPECT_TRUE(c.Init(connection_));
  EXPECT_TRUE(c.SetMemManager());
  EXPECT_EQ(c.GetInfo(), 2100);
  std::optional<std::u16string> name;
  EXPECT_TRUE(c.RegisterExtensionAs(name)); // a host block with its zero, freed by the host
  EXPECT_EQ(name, u"Test.Sixth");
  EXPECT_EQ(memory_.Allocations(), 1u);
}

// ---- names ----

TEST_F(ComponentTest, MethodAndPropertyNamesInBothLanguages) {
  Component& c = Make();
  ASSERT_EQ(c.GetNMethods(), kMethodCount);
  EXPECT_EQ(c.FindMethod(u"Echo"), kEcho);
  EXPECT_EQ(c.FindMethod(u"Эхо"), kEcho);
  EXPECT_EQ(c.FindMethod(u"Сбросить"), kReset);
  for (const std::u16string name : {u"echo", u"ECHO", u"эхо", u"", u"Echo "})
    EXPECT_EQ(c.FindMethod(name), -1) << Utf16ToUtf8(name);
  EXPECT_EQ(c.FindMethodRaw(nullptr), -1);

  EXPECT_EQ(c.GetMethodName(kFill, 0), u"Fill");
  EXPECT_EQ(c.GetMethodName(kFill, 1), u"Заполнить");
  EXPECT_EQ(c.GetNParams(kFill), 3);
  EXPECT_EQ(c.GetNParams(kFail), 0);
  EXPECT_TRUE(c.HasRetVal(kEcho));
  EXPECT_FALSE(c.HasRetVal(kReset));

  ASSERT_EQ(c.GetNProps(), kPropCount);
  EXPECT_EQ(c.FindProp(u"Counter"), kCounter);
  EXPECT_EQ(c.FindProp(u"Счётчик"), kCounter);
  EXPECT_EQ(c.FindProp(u"counter"), -1);
  EXPECT_EQ(c.FindPropRaw(nullptr), -1);
  EXPECT_EQ(c.GetPropName(kLanguage, 0), u"Language");
  EXPECT_EQ(c.GetPropName(kLanguage, 1), u"ЯзыкИнтерфейса");
}

TEST_F(ComponentTest, IndexesOutOfRangeGiveEmptyAnswers) {
  Component& c = Make();
  for (long i : std::initializer_list<long>{-1L, kMethodCount, kPropCount, 1000000L, LONG_MAX, LONG_MIN}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(c.GetMethodName(i, 0), std::nullopt);
    EXPECT_EQ(c.GetMethodName(i, 1), std::nullopt);
    EXPECT_EQ(c.GetNParams(i), 0);
    EXPECT_FALSE(c.HasRetVal(i));
    tVariant value = IntValue(77);
    c.GetParamDefValue(i, 0, value);
    EXPECT_EQ(TypeOf(value), VTYPE_I4);
    EXPECT_EQ(value.lVal, 77);
    tVariant ret = EmptyValue();
    EXPECT_FALSE(c.CallAsFunc(i, ret, nullptr, 0));
    EXPECT_EQ(TypeOf(ret), VTYPE_EMPTY);
    EXPECT_FALSE(c.CallAsProc(i, nullptr, 0));
    if (i != kMethodCount) {
      EXPECT_EQ(c.GetPropName(i, 0), std::nullopt);
      EXPECT_FALSE(c.GetPropVal(i, ret));
      EXPECT_FALSE(c.SetPropVal(i, value));
      EXPECT_FALSE(c.IsPropReadable(i));
      EXPECT_FALSE(c.IsPropWritable(i));
    }
  }
  EXPECT_TRUE(connection_.Errors().empty());
}

// ---- calls ----

TEST_F(ComponentTest, RaisedErrorIsReportedOnceAndTheObjectStaysUsable) {
  Component& c = Make();
  tVariant ret = EmptyValue();
  EXPECT_FALSE(c.CallAsFunc(kFail, ret, nullptr, 0));
  EXPECT_EQ(TypeOf(ret), VTYPE_EMPTY);
  ExpectOneError(1006, u"Тестовая ошибка: компонента отказала");

  EXPECT_FALSE(c.CallAsProc(kFail, nullptr, 0));
  ExpectOneError(1006, u"Тестовая ошибка: компонента отказала");

  // too few parameters, and none at all, raise inside the method
  ValueList one(memory_);
  one.AddString(u"x");
  EXPECT_FALSE(c.CallAsFunc(kFill, ret, one.Data(), 1));
  ExpectOneError(1006, u"Недостаточно параметров");
  EXPECT_EQ(TextOf(one[0], &memory_), u"x");
  EXPECT_FALSE(c.CallAsFunc(kEcho, ret, nullptr, 1));
  ExpectOneError(1006, u"Недостаточно параметров");

  ValueList params(memory_);
  params.AddString(u"после ошибки");
  EXPECT_TRUE(c.CallAsFunc(kEcho, ret, params));
  EXPECT_EQ(TextOf(ret, &memory_), u"после ошибки");
  EXPECT_TRUE(connection_.Errors().empty());
  ReleaseValue(memory_, ret);
}

TEST_F(ComponentTest, FalseWithoutRaisingIsNotReported) {
  Component& c = Make();
  tVariant ret = EmptyValue();
  EXPECT_FALSE(c.CallAsFunc(kRefuse, ret, nullptr, 0));
  EXPECT_FALSE(c.CallAsProc(kRefuse, nullptr, 0));
  EXPECT_TRUE(connection_.Errors().empty());
}

TEST_F(ComponentTest, EchoHandsBackSoundHostText) {
  Component& c = Make();
  std::u16string big(1 << 20, u'ж');
  big[12345] = u'\n';
  for (const std::u16string& text : {std::u16string(u"Привет, мир: ёЁ \U0001D11E"), std::u16string(), big}) {
    ValueList params(memory_);
    params.AddString(text);
    tVariant ret = EmptyValue();
    ASSERT_TRUE(c.CallAsFunc(kEcho, ret, params));
    EXPECT_EQ(CheckHostText(memory_, ret), "");
    EXPECT_TRUE(TextOf(ret, &memory_) == text) << "length " << text.size();
    ReleaseValue(memory_, ret);
  }
  // a parameter that is no text reads as empty text
  ValueList number(memory_);
  number.Add(IntValue(5));
  tVariant ret = EmptyValue();
  ASSERT_TRUE(c.CallAsFunc(kEcho, ret, number));
  EXPECT_EQ(CheckHostText(memory_, ret), "");
  EXPECT_EQ(TextOf(ret, &memory_), u"");
  ReleaseValue(memory_, ret);
}

TEST_F(ComponentTest, FillWritesOutputsAndFreesTheTextItReplaces) {
  Component& c = Make();
  ValueList params(memory_);
  params.AddString(u"старое значение");
  params.Add(StringValue(memory_, u"тоже текст"));
  params.Add(EmptyValue());
  const size_t freesBefore = memory_.Frees();
  tVariant ret = EmptyValue();
  ASSERT_TRUE(c.CallAsFunc(kFill, ret, params));
  EXPECT_EQ(memory_.Frees(), freesBefore + 2) << "both host texts given back exactly once";
  EXPECT_EQ(CheckHostText(memory_, params[0]), "");
  EXPECT_EQ(TextOf(params[0], &memory_), u"Выход");
  ASSERT_EQ(TypeOf(params[1]), VTYPE_I4);
  EXPECT_EQ(params[1].lVal, 42);
  ASSERT_EQ(TypeOf(params[2]), VTYPE_BOOL);
  EXPECT_TRUE(params[2].bVal);
  ASSERT_EQ(TypeOf(ret), VTYPE_BOOL);
  EXPECT_TRUE(ret.bVal);
}

TEST_F(ComponentTest, CallAsProcDropsTheReturnValueAndGivesItsTextBack) {
  Component& c = Make();
  ValueList params(memory_);
  params.AddString(u"отброшено");
  const size_t allocations = memory_.Allocations();
  const size_t live = memory_.LiveBlocks();
  EXPECT_TRUE(c.CallAsProc(kEcho, params));
  EXPECT_EQ(memory_.Allocations(), allocations + 1);
  EXPECT_EQ(memory_.LiveBlocks(), live);
  EXPECT_EQ(TextOf(params[0], &memory_), u"отброшено");

  tVariant two = IntValue(2);
  ASSERT_TRUE(c.SetPropVal(kCounter, two));
  EXPECT_TRUE(c.CallAsProc(kReset, nullptr, 0));
  EXPECT_EQ(Counter(c), 0);
}

TEST_F(ComponentTest, GetParamDefValueLeavesEveryValueAsGiven) {
  Component& c = Make();
  for (long m = 0; m < kMethodCount; ++m) {
    for (long p = 0; p < c.GetNParams(m); ++p) {
      tVariant value = IntValue(77);
      EXPECT_TRUE(c.GetParamDefValue(m, p, value)) << m << "/" << p;
      EXPECT_EQ(TypeOf(value), VTYPE_I4);
      EXPECT_EQ(value.lVal, 77);
    }
  }
}

// ---- properties ----

TEST_F(ComponentTest, PropertyAccessFollowsTheExactAccessStrings) {
  Component& c = Make();
  struct {
    long prop;
    bool readable, writable;
  } cases[] = {{kCounter, true, true}, {kLocale, true, false}, {kLanguage, true, false},
               {kSink, false, true},   {kFaulty, true, true},  {kHidden, false, false}};
  for (const auto& x : cases) {
    EXPECT_EQ(c.IsPropReadable(x.prop), x.readable) << x.prop;
    EXPECT_EQ(c.IsPropWritable(x.prop), x.writable) << x.prop;
  }

  tVariant nine = IntValue(9);
  EXPECT_TRUE(c.SetPropVal(kCounter, nine));
  EXPECT_EQ(Counter(c), 9);
  ValueList text(memory_);
  text.AddString(u"в приёмник");
  EXPECT_TRUE(c.SetPropVal(kSink, text[0]));
  EXPECT_TRUE(connection_.Errors().empty());
}

TEST_F(ComponentTest, RaisingPropertyIsReportedWithItsOwnCode) {
  Component& c = Make();
  tVariant value = EmptyValue();
  EXPECT_FALSE(c.GetPropVal(kFaulty, value));
  EXPECT_EQ(TypeOf(value), VTYPE_EMPTY);
  ExpectOneError(1007, u"Свойство не читается");
  tVariant one = IntValue(1);
  EXPECT_FALSE(c.SetPropVal(kFaulty, one));
  ExpectOneError(1008, u"Свойство не записывается");
  EXPECT_EQ(Counter(c), 0); // still usable
}

// ---- locale and user-interface language ----

TEST_F(ComponentTest, LocaleAndLanguageReachTheObject) {
  Component& c = Make();
  c.SetLocale(u"ru_RU");
  ASSERT_TRUE(c.SetUserInterfaceLanguageCode(u"ru"));
  for (auto [prop, expected] : {std::pair{kLocale, u"ru_RU"}, std::pair{kLanguage, u"ru"}}) {
    tVariant v = EmptyValue();
    ASSERT_TRUE(c.GetPropVal(prop, v));
    EXPECT_EQ(TextOf(v, &memory_), expected);
    ReleaseValue(memory_, v);
  }
  c.SetLocaleRaw(nullptr);
  tVariant v = EmptyValue();
  ASSERT_TRUE(c.GetPropVal(kLocale, v));
  EXPECT_EQ(TextOf(v, &memory_), u"");
  ReleaseValue(memory_, v);
}

// ---- a host that misbehaves or runs out of memory ----

TEST_F(ComponentTest, CallsBeforeInitAndSetMemManagerAreHarmless) {
  Component& c = Make(u"Test.First", false);
  EXPECT_EQ(c.GetInfo(), 2100);
  EXPECT_EQ(c.GetMethodName(kEcho, 0), std::nullopt); // nowhere to allocate
  std::optional<std::u16string> name;
  EXPECT_FALSE(c.RegisterExtensionAs(name));
  EXPECT_EQ(name, std::nullopt);

  ValueList params(memory_);
  params.AddString(u"текст");
  tVariant ret = EmptyValue();
  EXPECT_FALSE(c.CallAsFunc(kEcho, ret, params));
  EXPECT_NE(TypeOf(ret), VTYPE_PWSTR);
  EXPECT_FALSE(c.CallAsFunc(kFail, ret, nullptr, 0)); // no connection to report through
  EXPECT_FALSE(c.GetPropVal(kFaulty, ret));

  EXPECT_TRUE(c.Init(connection_));
  EXPECT_TRUE(c.SetMemManager());
  EXPECT_TRUE(c.CallAsFunc(kEcho, ret, params));
  EXPECT_EQ(TextOf(ret, &memory_), u"текст");
  ReleaseValue(memory_, ret);

  EXPECT_TRUE(c.SetMemManager(nullptr)); // a manager taken away again
  EXPECT_EQ(c.GetPropName(kCounter, 0), std::nullopt);
  EXPECT_TRUE(connection_.Errors().empty());
}

TEST_F(ComponentTest, FailedAllocationsGiveEmptyResults) {
  Component& c = Make();
  memory_.FailNextAllocations(1);
  EXPECT_EQ(c.GetMethodName(kEcho, 0), std::nullopt);
  memory_.FailNextAllocations(1);
  std::optional<std::u16string> name;
  EXPECT_FALSE(c.RegisterExtensionAs(name));
  EXPECT_EQ(name, std::nullopt);

  ValueList params(memory_);
  params.AddString(u"не поместится");
  params.Add(EmptyValue());
  params.Add(EmptyValue());
  tVariant ret = EmptyValue();
  memory_.FailNextAllocations(1);
  c.CallAsFunc(kEcho, ret, params.Data(), 1);
  EXPECT_TRUE(TypeOf(ret) != VTYPE_PWSTR || CheckHostText(memory_, ret).empty()) << DescribeValue(ret);
  ReleaseValue(memory_, ret);

  memory_.FailNextAllocations(1);
  c.CallAsFunc(kFill, ret, params);
  EXPECT_TRUE(TypeOf(params[0]) != VTYPE_PWSTR || CheckHostText(memory_, params[0]).empty());
  ReleaseValue(memory_, ret);

  memory_.FailNextAllocations(1);
  c.SetLocale(u"ru_RU");
  EXPECT_FALSE(c.GetPropVal(kLocale, ret) && TypeOf(ret) == VTYPE_PWSTR &&
               !CheckHostText(memory_, ret).empty());
  ReleaseValue(memory_, ret);
  EXPECT_EQ(memory_.FailedAllocations(), 5u);

  EXPECT_EQ(c.GetMethodName(kEcho, 0), u"Echo"); // and all is well afterwards
}

} // namespace
