// A fixture that drives the real CARDSIM_2001 library through the test host,
// as the platform does (AddInFixture.h).
#pragma once

#include "AddInFixture.h"
#include "CardTestKit.h"

#include <functional>
#include <memory>
#include <optional>

namespace cardtest {

// Runs body and counts the operation windows shown meanwhile; each is closed
// (a refusal) as soon as it opens. -1 where windows cannot be watched
// (AddInTest_<platform>.cpp).
int OperationWindowsDuring(const std::function<void()>& body);

class CardAddIn : public testenv::AddInFixture {
protected:
  CardAddIn() : AddInFixture(CARDSIM_FILE, u"Orvik_CardSim_2001") {}

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

  std::vector<std::string> Keys(ValueList& params) { return cardtest::Keys(params, memory); }
  void ExpectApprovalOutputs(ValueList& params) { cardtest::ExpectApprovalOutputs(params, memory); }
};

} // namespace cardtest
