// What the card terminal's tests share: the six card operations and the
// parameters of one operation.
#pragma once

#include "TestHost.h"

#include <gtest/gtest.h>

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

// DeviceID, then outputs holding values of their own around the amount.
inline void OperationParams(ValueList& params, std::u16string_view id, const tVariant& amount) {
  params.AddString(id);
  params.AddString(u"old card");
  params.Add(amount);
  params.Add(testhost::IntValue(3));
  params.Add(testhost::EmptyValue());
  params.Add(testhost::BoolValue(true));
  params.AddString(u"old slip");
}

// One key per parameter, to tell whether a call changed any.
inline std::vector<std::string> Keys(ValueList& params, const testhost::CountingMemory& memory) {
  std::vector<std::string> keys;
  for (long k = 0; k < params.Count(); ++k)
    keys.push_back(testhost::ValueKey(params[static_cast<size_t>(k)], &memory));
  return keys;
}

// The outputs of an approval: 20, 5, 12 and 6 digits in 1, 3, 4, 5 and empty text in 6.
inline void ExpectApprovalOutputs(ValueList& params, const testhost::CountingMemory& memory) {
  const std::pair<size_t, size_t> lengths[] = {{1, 20}, {3, 5}, {4, 12}, {5, 6}, {6, 0}};
  for (const auto& [k, length] : lengths) {
    EXPECT_EQ(testhost::CheckHostText(memory, params[k]), "") << k;
    const std::u16string text = TextOf(params[k], &memory);
    EXPECT_EQ(text.size(), length) << k << ": " << Narrow(text);
    EXPECT_EQ(text.find_first_not_of(u"0123456789"), std::u16string::npos) << k << ": " << Narrow(text);
  }
}

} // namespace cardtest
