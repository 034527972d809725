// The real CARDSIM_2001 library through its exports: what the host sees of
// the card terminal without ever opening the operation window.
#include "CardAddIn.h"
#include "TestEnv.h"

namespace cardtest {
namespace {

TEST_F(CardAddIn, OffersOneClassThatDescribesTheTerminal) {
  EXPECT_EQ(addIn->ClassList(), std::vector<std::u16string>{u"Orvik_CardSim_2001"});

  ValueList none(memory);
  tVariant version = Call(u"GetVersion", none);
  EXPECT_EQ(TextOf(version, &memory), testenv::BuildVersion());
  testhost::ReleaseValue(memory, version);

  ValueList description(memory, 7);
  EXPECT_TRUE(CallBool(u"ПолучитьОписание", description));
  EXPECT_EQ(TextOf(description[0], &memory), u"Эмулятор эквайрингового терминала");
  EXPECT_EQ(TextOf(description[2], &memory), u"ЭквайринговыйТерминал");
  EXPECT_EQ(TypeOf(description[3]), VTYPE_I4);
  EXPECT_EQ(description[3].lVal, 2001);
}

TEST_F(CardAddIn, AnswersToBothNamesOfEveryDeviceMethod) {
  for (const Operation& operation : kOperations) {
    const long index = component->FindMethod(operation.english);
    ASSERT_GE(index, 0) << Narrow(operation.english);
    EXPECT_EQ(component->FindMethod(operation.russian), index);
    EXPECT_EQ(component->GetNParams(index), 7);
    EXPECT_TRUE(component->HasRetVal(index));
  }
  const struct {
    const char16_t* english;
    const char16_t* russian;
    long params;
  } others[] = {{u"EmergencyReversal", u"АварийнаяОтменаОперации", 1},
                {u"Settlement", u"ИтогиДняПоКартам", 2},
                {u"PrintSlipOnTerminal", u"ПечатьКвитанцийНаТерминале", 0}};
  for (const auto& other : others) {
    const long index = component->FindMethod(other.english);
    ASSERT_GE(index, 0) << Narrow(other.english);
    EXPECT_EQ(component->FindMethod(other.russian), index);
    EXPECT_EQ(component->GetNParams(index), other.params);
  }
}

TEST_F(CardAddIn, DeviceMethodsWithoutTheOperator) {
  for (const Operation& operation : kOperations) {
    ValueList none(memory); // no parameters at all, before any Open
    EXPECT_FALSE(CallBool(operation.english, none));
    EXPECT_EQ(LastError(), u"DeviceID не найдено!");
  }
  const std::u16string id = Open();
  ASSERT_EQ(id, u"CardSim_2001#1");
  ValueList reversal(memory);
  reversal.AddString(id);
  EXPECT_TRUE(CallBool(u"АварийнаяОтменаОперации", reversal));
  ValueList settlement(memory);
  settlement.AddString(u"CARDSIM_2001#1");
  settlement.Add(testhost::IntValue(5));
  EXPECT_TRUE(CallBool(u"ИтогиДняПоКартам", settlement));
  EXPECT_EQ(TextOf(settlement[1], &memory), u"");
  ValueList print(memory);
  EXPECT_FALSE(CallBool(u"PrintSlipOnTerminal", print));
  EXPECT_EQ(LastError(), u"");
}

// A DeviceID of a megabyte is named in the message whole, and costs nothing else.
TEST_F(CardAddIn, HugeDeviceIdIsHandled) {
  Open();
  const std::u16string huge(1 << 20, u'Ж');
  ValueList params(memory);
  OperationParams(params, huge, testhost::DoubleValue(1));
  EXPECT_FALSE(CallBool(u"PayByPaymentCard", params));
  const std::u16string error = LastError();
  EXPECT_EQ(error.size(), huge.size() + 20);
  EXPECT_EQ(error.substr(error.size() - 11), u"не найдено!");
}

} // namespace
} // namespace cardtest
