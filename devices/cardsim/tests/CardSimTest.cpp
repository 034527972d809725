// The card terminal in-process, with a fake operator behind the prompt seam:
// device checks, the card operations, the amount text and the approval digits.
#include "CardSim.h"
#include "CardTestKit.h"

#include <cmath>
#include <limits>
#include <set>

namespace cardtest {
namespace {

// The operator: answers every window with the same value and remembers what it was shown.
class FakePrompt : public ui::IOperatorPrompt {
public:
  int Ask(ui::TDialogRun& run) override {
    ++calls;
    shownCaption = run.TextOf(1);
    shownAmount = run.TextOf(45);
    return answer;
  }
  int answer = kPromptApproved;
  int calls = 0;
  std::u16string shownCaption;
  std::u16string shownAmount;
};

class CardSimUnit : public ::testing::Test {
protected:
  void SetUp() override { sim = Make(); }
  void TearDown() override {
    sim.reset();
    EXPECT_TRUE(memory.Clean()) << memory.Summary();
  }

  std::unique_ptr<TCardSim_2001> Make() {
    auto made = std::make_unique<TCardSim_2001>();
    made->MemManager = static_cast<v8abi::MemoryManager*>(memory.HostPointer());
    made->AfterConstruction();
    auto fake = std::make_unique<FakePrompt>();
    prompt = fake.get();
    made->Prompt = std::move(fake);
    return made;
  }

  // Calls a method by either of its names as the bridge does; the result value.
  tVariant Call(TCardSim_2001& target, std::u16string_view name, ValueList& params) {
    const long index = target.FindMethod(name);
    EXPECT_GE(index, 0) << Narrow(name);
    tVariant result = testhost::EmptyValue();
    if (index >= 0)
      target.CallMethod(target.MethNames[static_cast<size_t>(index)], index, result, params.Data(),
                        params.Count());
    return result;
  }
  tVariant Call(std::u16string_view name, ValueList& params) { return Call(*sim, name, params); }

  bool CallBool(std::u16string_view name, ValueList& params) {
    const tVariant result = Call(name, params);
    EXPECT_EQ(testhost::TypeOf(result), VTYPE_BOOL);
    return result.bVal;
  }

  std::u16string Open(TCardSim_2001& target) {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    Call(target, u"Open", params);
    return TextOf(params[0]);
  }

  std::u16string LastError() {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    Call(u"GetLastError", params);
    return TextOf(params[0]);
  }

  std::vector<std::string> Keys(ValueList& params) { return cardtest::Keys(params, memory); }

  testhost::CountingMemory memory;
  std::unique_ptr<TCardSim_2001> sim;
  FakePrompt* prompt = nullptr;
};

// Every method with a DeviceID refuses an unknown one by name, without asking
// the operator and without touching its parameters.
TEST_F(CardSimUnit, UnknownDeviceIsRefusedWithItsName) {
  const std::u16string opened = Open(*sim);
  ASSERT_EQ(opened, u"CardSim_2001#1");
  const std::u16string unknown[] = {u"", u"CardSim_2001#2", u"Другое устройство"};
  for (const std::u16string& id : unknown) {
    for (const Operation& operation : kOperations) {
      ValueList params(memory);
      OperationParams(params, id, testhost::DoubleValue(10));
      const auto before = Keys(params);
      EXPECT_FALSE(CallBool(operation.english, params));
      EXPECT_EQ(Keys(params), before);
      EXPECT_EQ(LastError(), u"DeviceID " + id + u"не найдено!");
    }
    ValueList reversal(memory);
    reversal.AddString(id);
    EXPECT_FALSE(CallBool(u"EmergencyReversal", reversal));
    EXPECT_EQ(LastError(), u"DeviceID " + id + u"не найдено!");
    ValueList settlement(memory);
    settlement.AddString(id);
    settlement.AddString(u"old");
    EXPECT_FALSE(CallBool(u"Settlement", settlement));
    EXPECT_EQ(TextOf(settlement[1]), u"old");
    EXPECT_EQ(LastError(), u"DeviceID " + id + u"не найдено!");
  }
  EXPECT_EQ(prompt->calls, 0);

  // A DeviceID that is no text, and a closed device, are unknown too.
  ValueList numeric(memory);
  OperationParams(numeric, u"", testhost::DoubleValue(1));
  testhost::ReleaseValue(memory, numeric[0]);
  numeric[0] = testhost::IntValue(1);
  EXPECT_FALSE(CallBool(u"PayByPaymentCard", numeric));
  EXPECT_EQ(LastError(), u"DeviceID не найдено!");
  ValueList close(memory);
  close.AddString(opened);
  Call(u"Close", close);
  ValueList reversal(memory);
  reversal.AddString(opened);
  EXPECT_FALSE(CallBool(u"EmergencyReversal", reversal));
}

// Settlement, EmergencyReversal and PrintSlipOnTerminal never ask the operator.
TEST_F(CardSimUnit, MethodsWithoutTheOperator) {
  ValueList print(memory);
  EXPECT_FALSE(CallBool(u"PrintSlipOnTerminal", print)); // even with no device open
  EXPECT_EQ(LastError(), u"");

  const std::u16string id = Open(*sim);
  ValueList settlement(memory);
  settlement.AddString(id);
  settlement.AddString(u"previous totals");
  EXPECT_TRUE(CallBool(u"Settlement", settlement));
  EXPECT_EQ(testhost::TypeOf(settlement[1]), VTYPE_PWSTR);
  EXPECT_EQ(TextOf(settlement[1]), u"");
  ValueList reversal(memory);
  reversal.AddString(id);
  EXPECT_TRUE(CallBool(u"EmergencyReversal", reversal));
  EXPECT_FALSE(CallBool(u"ПечатьКвитанцийНаТерминале", print));
  EXPECT_EQ(LastError(), u"");
  EXPECT_EQ(prompt->calls, 0);
}

// An approval fills 1, 3, 4, 5 with 20, 5, 12 and 6 digits and 6 with empty
// text; the DeviceID and the amount stay as they were.
TEST_F(CardSimUnit, ApprovalFillsTheOutputsWithDigits) {
  const std::u16string id = Open(*sim);
  for (const Operation& operation : kOperations) {
    ValueList params(memory);
    OperationParams(params, id, testhost::DoubleValue(1234.5));
    const std::string idKey = testhost::ValueKey(params[0]);
    EXPECT_TRUE(CallBool(operation.russian, params)) << Narrow(operation.caption);
    EXPECT_EQ(prompt->shownCaption, operation.caption);
    EXPECT_EQ(prompt->shownAmount, u"        1234.50");
    EXPECT_EQ(CardOperationCaption(), operation.caption);
    EXPECT_EQ(CardAmountText(), u"        1234.50");
    EXPECT_EQ(testhost::ValueKey(params[0]), idKey);
    EXPECT_EQ(params[2].dblVal, 1234.5);
    ExpectApprovalOutputs(params, memory);
    EXPECT_EQ(LastError(), u"");
  }
  EXPECT_EQ(prompt->calls, 6);
}

// A host that passes fewer parameters than the method has gets what fits.
TEST_F(CardSimUnit, ApprovalWithMissingParametersWritesOnlyThoseGiven) {
  const std::u16string id = Open(*sim);
  ValueList params(memory);
  params.AddString(id);
  params.Add(testhost::EmptyValue());
  EXPECT_TRUE(CallBool(u"PayByPaymentCard", params));
  EXPECT_EQ(TextOf(params[1]).size(), 20u);
  EXPECT_EQ(prompt->shownAmount, u"           0.00");
}

// A refusal, however the window was closed, changes nothing and says nothing.
TEST_F(CardSimUnit, RefusalLeavesEveryParameterUntouched) {
  const std::u16string id = Open(*sim);
  for (int answer : {kPromptRefused, 0, 3, 100}) {
    prompt->answer = answer;
    for (const Operation& operation : kOperations) {
      ValueList params(memory);
      OperationParams(params, id, testhost::DoubleValue(99.99));
      const auto before = Keys(params);
      const size_t allocations = memory.Allocations();
      EXPECT_FALSE(CallBool(operation.english, params));
      EXPECT_EQ(Keys(params), before);
      EXPECT_EQ(memory.Allocations(), allocations);
      EXPECT_EQ(LastError(), u"");
    }
  }
}

// The window that cannot be shown is no refusal by the operator: it says so.
TEST_F(CardSimUnit, WindowThatCannotBeShownIsReported) {
  const std::u16string id = Open(*sim);
  prompt->answer = kPromptFailed;
  ValueList params(memory);
  OperationParams(params, id, testhost::DoubleValue(5));
  const auto before = Keys(params);
  EXPECT_FALSE(CallBool(u"PayByPaymentCard", params));
  EXPECT_EQ(Keys(params), before);
  EXPECT_EQ(LastError(), kCardPromptFailure);
}

// The host's allocator refusing an output must not pass as an approval with
// the outputs missing.
TEST_F(CardSimUnit, RefusedHostMemoryFailsTheOperation) {
  const std::u16string id = Open(*sim);
  // The operator approves, and from then on the host has no memory.
  struct ApproveThenNoMemory : ui::IOperatorPrompt {
    explicit ApproveThenNoMemory(testhost::CountingMemory& m) : memory(m) {}
    int Ask(ui::TDialogRun&) override {
      memory.FailNextAllocations(1);
      return kPromptApproved;
    }
    testhost::CountingMemory& memory;
  };
  sim->Prompt = std::make_unique<ApproveThenNoMemory>(memory);
  ValueList params(memory);
  OperationParams(params, id, testhost::DoubleValue(5));
  EXPECT_FALSE(CallBool(u"PayByPaymentCard", params));
  EXPECT_EQ(testhost::TypeOf(params[1]), VTYPE_EMPTY);
  EXPECT_EQ(TextOf(params[6]), u"old slip"); // the operation stopped at the first failed output
  EXPECT_EQ(LastError(), kCardNoMemory);

  ValueList settlement(memory);
  settlement.AddString(id);
  settlement.Add(testhost::EmptyValue());
  memory.FailNextAllocations(1);
  EXPECT_FALSE(CallBool(u"Settlement", settlement));
  EXPECT_EQ(LastError(), kCardNoMemory);
}

// The amount comes from any numeric host value, and from text with either
// decimal separator.
TEST_F(CardSimUnit, AmountIsReadFromEveryNumericTypeAndFromText) {
  const std::u16string id = Open(*sim);
  auto shown = [&](const tVariant& amount) {
    ValueList params(memory);
    OperationParams(params, id, amount);
    Call(u"PayByPaymentCard", params);
    return Narrow(prompt->shownAmount);
  };
  auto typed = [](uint16_t type, auto set) {
    tVariant v = testhost::EmptyValue();
    set(v);
    v.vt = type;
    return v;
  };
  EXPECT_EQ(shown(typed(VTYPE_I1, [](tVariant& v) { v.i8Val = -12; })), "         -12.00");
  EXPECT_EQ(shown(typed(VTYPE_I2, [](tVariant& v) { v.shortVal = -1234; })), "       -1234.00");
  EXPECT_EQ(shown(typed(VTYPE_I4, [](tVariant& v) { v.lVal = 100; })), "         100.00");
  EXPECT_EQ(shown(typed(VTYPE_INT, [](tVariant& v) { v.lVal = 7; })), "           7.00");
  EXPECT_EQ(shown(typed(VTYPE_UI1, [](tVariant& v) { v.ui8Val = 255; })), "         255.00");
  EXPECT_EQ(shown(typed(VTYPE_UI2, [](tVariant& v) { v.ushortVal = 65535; })), "       65535.00");
  EXPECT_EQ(shown(typed(VTYPE_UI4, [](tVariant& v) { v.ulVal = 4000000000u; })), "  4000000000.00");
  EXPECT_EQ(shown(typed(VTYPE_UINT, [](tVariant& v) { v.ulVal = 42; })), "          42.00");
  EXPECT_EQ(shown(typed(VTYPE_I8, [](tVariant& v) { v.llVal = -9000000000LL; })), " -9000000000.00");
  EXPECT_EQ(shown(typed(VTYPE_UI8, [](tVariant& v) { v.ullVal = 123456789012ULL; })), "123456789012.00");
  EXPECT_EQ(shown(typed(VTYPE_R4, [](tVariant& v) { v.fltVal = 2.5f; })), "           2.50");
  EXPECT_EQ(shown(testhost::DoubleValue(19.999)), "          20.00");
  EXPECT_EQ(shown(testhost::StringValue(memory, u"1234,567")), "        1234.57");
  EXPECT_EQ(shown(testhost::StringValue(memory, u" 0.5 ")), "           0.50");
  // What is no number reads as 0.
  EXPECT_EQ(shown(testhost::StringValue(memory, u"сто рублей")), "           0.00");
  EXPECT_EQ(shown(testhost::BoolValue(true)), "           0.00");
  EXPECT_EQ(shown(testhost::EmptyValue()), "           0.00");
}

TEST(CardSimAmount, TwoDecimalsRightAlignedInFifteen) {
  auto text = [](double d) { return testhost::Utf16ToUtf8(AmountText(d)); };
  EXPECT_EQ(text(100), "         100.00");
  EXPECT_EQ(text(0), "           0.00");
  EXPECT_EQ(text(-0.0), "           0.00");
  EXPECT_EQ(text(-0.004), "           0.00"); // no "-0.00"
  EXPECT_EQ(text(-5.5), "          -5.50");
  EXPECT_EQ(text(0.1), "           0.10");
  // Rounding is on the decimal amount, half away from zero.
  EXPECT_EQ(text(1.005), "           1.01");
  EXPECT_EQ(text(2.675), "           2.68");
  EXPECT_EQ(text(-2.675), "          -2.68");
  EXPECT_EQ(text(0.125), "           0.13");
  EXPECT_EQ(text(1.0049), "           1.00");
  EXPECT_EQ(text(999.995), "        1000.00");
  EXPECT_EQ(text(9999999.999), "    10000000.00");
  // Exactly the field, and longer: never cut.
  EXPECT_EQ(text(123456789012.345), "123456789012.35");
  EXPECT_EQ(text(1234567890123.5), "1234567890123.50");
  EXPECT_EQ(text(1e20), "100000000000000000000.00");
  const std::string largest = text(std::numeric_limits<double>::max());
  EXPECT_EQ(largest.size(), 309u + 3u);
  EXPECT_EQ(largest.substr(0, 5), "17976");
  EXPECT_EQ(largest.substr(largest.size() - 3), ".00");
  EXPECT_EQ(text(-std::numeric_limits<double>::max()).size(), 313u);
  EXPECT_EQ(text(std::numeric_limits<double>::denorm_min()), "           0.00");
  EXPECT_EQ(text(std::numeric_limits<double>::quiet_NaN()), "            NAN");
  EXPECT_EQ(text(std::numeric_limits<double>::infinity()), "            INF");
  EXPECT_EQ(text(-std::numeric_limits<double>::infinity()), "           -INF");
}

TEST(CardSimDigits, ExactLengthsOfDigitsOnly) {
  std::mt19937 generator(7);
  for (int n : {0, 1, 5, 6, 9, 10, 12, 20, 100}) {
    const std::u16string digits = RandomDigits(generator, n);
    EXPECT_EQ(digits.size(), static_cast<size_t>(n));
    EXPECT_EQ(digits.find_first_not_of(u"0123456789"), std::u16string::npos);
  }
  EXPECT_EQ(RandomDigits(generator, -3), u"");
}

// Two approvals in the same millisecond tick, in one object or in two, get
// different digits.
TEST_F(CardSimUnit, ApprovalsInTheSameTickGetDifferentDigits) {
  auto second = Make();
  sim->TickCount = [] { return 123456u; };
  second->TickCount = [] { return 123456u; };
  const std::u16string id = Open(*sim);
  const std::u16string secondId = Open(*second);
  std::set<std::u16string> seen;
  auto approve = [&](TCardSim_2001& target, const std::u16string& device) {
    ValueList params(memory);
    OperationParams(params, device, testhost::DoubleValue(1));
    EXPECT_TRUE(Call(target, u"PayByPaymentCard", params).bVal);
    const std::u16string all =
        TextOf(params[1]) + u"|" + TextOf(params[3]) + u"|" + TextOf(params[4]) + u"|" + TextOf(params[5]);
    EXPECT_TRUE(seen.insert(all).second) << Narrow(all);
  };
  for (int i = 0; i < 50; ++i) {
    approve(*sim, id);
    approve(*second, secondId);
  }
  second.reset();
}

} // namespace
} // namespace cardtest
