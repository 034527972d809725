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
