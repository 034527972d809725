// The real library where there is no window: every card operation is refused
// as if the operator had closed the operation window.
#include "CardAddIn.h"

#include <limits>

namespace cardtest {

int OperationWindowsDuring(const std::function<void()>& body) {
  body();
  return -1;
}

std::u16string DecodeLog(const std::string& bytes) {
  return testhost::Utf8ToUtf16(bytes);
}

namespace {

TEST_F(CardAddIn, CardOperationsAreRefusedWithoutAWindow) {
  const std::u16string id = Open();
  const double amounts[] = {100, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max()};
  for (const Operation& operation : kOperations) {
    for (double amount : amounts) {
      ValueList params(memory);
      OperationParams(params, id, testhost::DoubleValue(amount));
      const std::vector<std::string> before = Keys(params);
      EXPECT_FALSE(CallBool(operation.russian, params)) << Narrow(operation.caption);
      EXPECT_EQ(Keys(params), before);
      EXPECT_EQ(LastError(), u"");
    }
  }
  ValueList text(memory);
  OperationParams(text, id, testhost::StringValue(memory, std::u16string(100000, u'9')));
  EXPECT_FALSE(CallBool(u"PayByPaymentCard", text));
}

} // namespace
} // namespace cardtest
