// The card terminal in-process, with a fake operator behind the prompt seam:
// device checks, the card operations, the amount text and the approval digits.
#include "CardSim.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace {

using testhost::TextOf;
using testhost::ValueKey;
using testhost::ValueList;

// The operator: answers every window with the same value and remembers what it was shown.
class FakePrompt : public IOperatorPrompt {
public:
  int Ask(const std::u16string& caption, const std::u16string& amountText) override {
    ++calls;
    shownCaption = caption;
    shownAmount = amountText;
    return answer;
  }
  int answer = kPromptApproved;
  int calls = 0;
  std::u16string shownCaption;
  std::u16string shownAmount;
};

struct Operation {
  const char16_t* english;
  const char16_t* russian;
  const char16_t* caption;
};

const Operation kOperations[] = {
    {u"PayByPaymentCard", u"ОплатитьПлатежнойКартой", u"Оплата"},
    {u"ReturnPaymentByPaymentCard", u"ВернутьПлатежПоПлатежнойКарте", u"Возврат"},
    {u"CancelPaymentByPaymentCard", u"ОтменитьПлатежПоПлатежнойКарте", u"Отмена платежа"},
    {u"AuthorisationByPaymentCard", u"ПреавторизацияПоПлатежнойКарте", u"Преавторизация"},
    {u"AuthConfirmationByPaymentCard", u"ЗавершитьПреавторизациюПоПлатежнойКарте",
     u"Завершение преавторизации"},
    {u"CancelAuthorisationByPaymentCard", u"ОтменитьПреавторизациюПоПлатежнойКарте",
     u"Отмена преавторизации"},
};

bool AllDigits(const std::u16string& text) {
  for (char16_t c : text)
    if (c < u'0' || c > u'9')
      return false;
  return true;
}

std::string Narrow(const std::u16string& text) {
  return testhost::Utf16ToUtf8(text);
}

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
    EXPECT_GE(index, 0) << Narrow(std::u16string(name));
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

  // The seven parameters of a card operation: DeviceID, four blanks around the amount, more blanks.
  void OperationParams(ValueList& params, std::u16string_view id, const tVariant& amount) {
    params.AddString(id);
    params.AddString(u"old card");
    params.Add(amount);
    params.Add(testhost::IntValue(3));
    params.Add(testhost::EmptyValue());
    params.Add(testhost::BoolValue(true));
    params.AddString(u"old slip");
  }

  static std::vector<std::string> Keys(ValueList& params) {
    std::vector<std::string> keys;
    for (long k = 0; k < params.Count(); ++k)
      keys.push_back(ValueKey(params[static_cast<size_t>(k)]));
    return keys;
  }

  testhost::CountingMemory memory;
  std::unique_ptr<TCardSim_2001> sim;
  FakePrompt* prompt = nullptr;
};

TEST_F(CardSimUnit, DescribesItselfAsAnAcquiringTerminal) {
  EXPECT_EQ(sim->ComponentName, "CardSim_2001");
  EXPECT_EQ(sim->InterfaceRevision, 2001);
  EXPECT_EQ(sim->EquipmentName, u"Эмулятор эквайрингового терминала");
  EXPECT_EQ(sim->EquipmentType, u"ЭквайринговыйТерминал");
  for (const Operation& operation : kOperations) {
    const long index = sim->FindMethod(operation.english);
    ASSERT_GE(index, 0);
    EXPECT_EQ(sim->FindMethod(operation.russian), index);
    EXPECT_EQ(sim->MethParamCounts[static_cast<size_t>(index)], 7);
  }
  EXPECT_EQ(sim->MethParamCounts[static_cast<size_t>(sim->FindMethod(u"АварийнаяОтменаОперации"))], 1);
  EXPECT_EQ(sim->MethParamCounts[static_cast<size_t>(sim->FindMethod(u"ИтогиДняПоКартам"))], 2);
  EXPECT_EQ(sim->MethParamCounts[static_cast<size_t>(sim->FindMethod(u"ПечатьКвитанцийНаТерминале"))], 0);
}

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

TEST_F(CardSimUnit, DeviceIdIsFoundInOtherLetterCase) {
  Open(*sim);
  ValueList params(memory);
  params.AddString(u"cardsim_2001#1");
  EXPECT_TRUE(CallBool(u"АварийнаяОтменаОперации", params));
  EXPECT_EQ(prompt->calls, 0);
}

TEST_F(CardSimUnit, SettlementAndReversalNeedNoOperator) {
  const std::u16string id = Open(*sim);
  ValueList settlement(memory);
  settlement.AddString(id);
  settlement.AddString(u"previous totals");
  EXPECT_TRUE(CallBool(u"Settlement", settlement));
  EXPECT_EQ(testhost::TypeOf(settlement[1]), VTYPE_PWSTR);
  EXPECT_EQ(TextOf(settlement[1]), u"");
  EXPECT_EQ(testhost::CheckHostText(memory, settlement[1]), "");

  ValueList reversal(memory);
  reversal.AddString(id);
  EXPECT_TRUE(CallBool(u"EmergencyReversal", reversal));
  EXPECT_EQ(prompt->calls, 0);
  EXPECT_EQ(LastError(), u"");
}

TEST_F(CardSimUnit, PrintSlipOnTerminalAlwaysDeclinesSilently) {
  ValueList none(memory);
  EXPECT_FALSE(CallBool(u"PrintSlipOnTerminal", none));
  EXPECT_EQ(LastError(), u"");
  Open(*sim);
  ValueList extra(memory);
  extra.AddString(u"CardSim_2001#1");
  EXPECT_FALSE(CallBool(u"ПечатьКвитанцийНаТерминале", extra));
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
    const std::string idKey = ValueKey(params[0]);
    EXPECT_TRUE(CallBool(operation.russian, params)) << Narrow(operation.caption);
    EXPECT_EQ(prompt->shownCaption, operation.caption);
    EXPECT_EQ(prompt->shownAmount, u"        1234.50");
    EXPECT_EQ(CardOperationCaption(), operation.caption);
    EXPECT_EQ(CardAmountText(), u"        1234.50");
    EXPECT_EQ(ValueKey(params[0]), idKey);
    EXPECT_EQ(params[2].dblVal, 1234.5);
    const std::pair<size_t, size_t> lengths[] = {{1, 20}, {3, 5}, {4, 12}, {5, 6}, {6, 0}};
    for (const auto& [k, length] : lengths) {
      EXPECT_EQ(testhost::TypeOf(params[k]), VTYPE_PWSTR) << k;
      EXPECT_EQ(testhost::CheckHostText(memory, params[k]), "") << k;
      const std::u16string text = TextOf(params[k]);
      EXPECT_EQ(text.size(), length) << k << ": " << Narrow(text);
      EXPECT_TRUE(AllDigits(text)) << k << ": " << Narrow(text);
    }
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
  struct ApproveThenNoMemory : IOperatorPrompt {
    explicit ApproveThenNoMemory(testhost::CountingMemory& m) : memory(m) {}
    int Ask(const std::u16string&, const std::u16string&) override {
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
    EXPECT_TRUE(AllDigits(digits));
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
