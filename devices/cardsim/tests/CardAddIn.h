// A fixture that drives the real CARDSIM_2001 library through the test host,
// as the platform does: one component per test, a counting memory manager and
// a recording connection, both checked clean at the end.
#pragma once

#include "TestHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace cardtest {

using testhost::TextOf;
using testhost::TypeOf;
using testhost::ValueList;

struct Operation {
  const char16_t* english;
  const char16_t* russian;
  const char16_t* caption;
};

inline const Operation kOperations[] = {
    {u"PayByPaymentCard", u"ОплатитьПлатежнойКартой", u"Оплата"},
    {u"ReturnPaymentByPaymentCard", u"ВернутьПлатежПоПлатежнойКарте", u"Возврат"},
    {u"CancelPaymentByPaymentCard", u"ОтменитьПлатежПоПлатежнойКарте", u"Отмена платежа"},
    {u"AuthorisationByPaymentCard", u"ПреавторизацияПоПлатежнойКарте", u"Преавторизация"},
    {u"AuthConfirmationByPaymentCard", u"ЗавершитьПреавторизациюПоПлатежнойКарте",
     u"Завершение преавторизации"},
    {u"CancelAuthorisationByPaymentCard", u"ОтменитьПреавторизациюПоПлатежнойКарте",
     u"Отмена преавторизации"},
};

inline std::string Narrow(std::u16string_view text) {
  return testhost::Utf16ToUtf8(text);
}

inline bool AllDigits(const std::u16string& text) {
  for (char16_t c : text)
    if (c < u'0' || c > u'9')
      return false;
  return true;
}

class CardAddIn : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    std::string error;
    addIn = testhost::AddIn::Load(testhost::BesideExecutable(CARDSIM_FILE), error).release();
    ASSERT_NE(addIn, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete addIn;
    addIn = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(addIn, nullptr);
    component = addIn->Create(u"Orvik_CardSim_2001", memory);
    ASSERT_NE(component, nullptr);
    ASSERT_TRUE(component->Init(connection));
    ASSERT_TRUE(component->SetMemManager());
    std::optional<std::u16string> name;
    ASSERT_TRUE(component->RegisterExtensionAs(name));
  }

  void TearDown() override {
    component.reset();
    EXPECT_TRUE(memory.Clean()) << memory.Summary();
    EXPECT_TRUE(connection.Errors().empty()) << Narrow(connection.Errors().front().description);
  }

  // Calls a method by name as a function; the result value (host text in it is the caller's to release).
  tVariant Call(std::u16string_view name, ValueList& params) {
    const long index = component->FindMethod(name);
    EXPECT_GE(index, 0) << Narrow(name);
    tVariant result = testhost::EmptyValue();
    EXPECT_TRUE(component->CallAsFunc(index, result, params));
    return result;
  }
  bool CallBool(std::u16string_view name, ValueList& params) {
    tVariant result = Call(name, params);
    EXPECT_EQ(TypeOf(result), VTYPE_BOOL) << Narrow(name);
    const bool b = TypeOf(result) == VTYPE_BOOL && result.bVal;
    testhost::ReleaseValue(memory, result);
    return b;
  }

  std::u16string Open() {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    EXPECT_TRUE(CallBool(u"Open", params));
    return TextOf(params[0]);
  }

  std::u16string LastError() {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    tVariant result = Call(u"GetLastError", params);
    testhost::ReleaseValue(memory, result);
    return TextOf(params[0]);
  }

  // DeviceID, then the outputs with values of their own around the amount.
  void OperationParams(ValueList& params, std::u16string_view id, const tVariant& amount) {
    params.AddString(id);
    params.AddString(u"old card");
    params.Add(amount);
    params.Add(testhost::IntValue(3));
    params.Add(testhost::EmptyValue());
    params.Add(testhost::BoolValue(true));
    params.AddString(u"old slip");
  }

  std::vector<std::string> Keys(ValueList& params) {
    std::vector<std::string> keys;
    for (long k = 0; k < params.Count(); ++k)
      keys.push_back(testhost::ValueKey(params[static_cast<size_t>(k)], &memory));
    return keys;
  }

  // Checks the outputs of an approved operation: 20, 5, 12 and 6 digits and empty text.
  void ExpectApprovalOutputs(ValueList& params) {
    const std::pair<size_t, size_t> lengths[] = {{1, 20}, {3, 5}, {4, 12}, {5, 6}, {6, 0}};
    for (const auto& [k, length] : lengths) {
      EXPECT_EQ(testhost::CheckHostText(memory, params[k]), "") << k;
      const std::u16string text = TextOf(params[k], &memory);
      EXPECT_EQ(text.size(), length) << k << ": " << Narrow(text);
      EXPECT_TRUE(AllDigits(text)) << k << ": " << Narrow(text);
    }
  }

  static inline testhost::AddIn* addIn = nullptr;
  testhost::CountingMemory memory;
  testhost::RecordingConnection connection;
  std::unique_ptr<testhost::Component> component;
};

} // namespace cardtest
