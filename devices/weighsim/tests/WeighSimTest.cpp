// The electronic scale in-process, with a fake operator behind the window
// seam: weights as text and numbers, the tare, the net weight, refusals and
// the settings.
#include "WeighSim.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using testhost::TextOf;
using testhost::TypeOf;
using testhost::ValueList;

std::string Narrow(std::u16string_view text) {
  return testhost::Utf16ToUtf8(text);
}

TEST(WeighText, TypedWeightsAreReadToTheGram) {
  const struct {
    const char16_t* text;
    TWeightFault fault;
    int64_t grams;
  } cases[] = {
      {u"1.250", TWeightFault::Ok, 1250},
      {u" 1,25 ", TWeightFault::Ok, 1250},
      {u"+2", TWeightFault::Ok, 2000},
      {u".5", TWeightFault::Ok, 500},
      {u"0.0005", TWeightFault::Ok, 1},
      {u"0.00049999", TWeightFault::Ok, 0},
      {u"-0", TWeightFault::Ok, 0},
      {u"999.9995", TWeightFault::Ok, 1000000},
      {u"1000", TWeightFault::Ok, 1000000},
      {u"1000.0005", TWeightFault::TooHeavy, 0},
      {u"99999999999999999999999", TWeightFault::TooHeavy, 0},
      {u"-0.5", TWeightFault::Negative, 0},
      {u"", TWeightFault::NotNumber, 0},
      {u",", TWeightFault::NotNumber, 0},
      {u"1.2.3", TWeightFault::NotNumber, 0},
      {u"1e3", TWeightFault::NotNumber, 0},
      {u"1 000", TWeightFault::NotNumber, 0},
      {u"кг", TWeightFault::NotNumber, 0},
      {u"--1", TWeightFault::NotNumber, 0},
  };
  for (const auto& c : cases) {
    const TWeightReading reading = ReadWeight(std::u16string_view(c.text));
    EXPECT_EQ(reading.Fault, c.fault) << Narrow(c.text);
    if (c.fault == TWeightFault::Ok) {
      EXPECT_EQ(reading.Grams, c.grams) << Narrow(c.text);
    }
  }
}

// Numbers round on their decimal text, so 1.0005 is 1.001 kg as typed.
TEST(WeighText, NumbersAreReadAsTheirDecimals) {
  EXPECT_EQ(ReadWeight(1.0005).Grams, 1001);
  EXPECT_EQ(ReadWeight(2.675).Grams, 2675);
  EXPECT_EQ(ReadWeight(1e-7).Grams, 0);
  EXPECT_EQ(ReadWeight(-0.0).Fault, TWeightFault::Ok);
  EXPECT_EQ(ReadWeight(-0.001).Fault, TWeightFault::Negative);
  EXPECT_EQ(ReadWeight(1e300).Fault, TWeightFault::TooHeavy);
  EXPECT_EQ(ReadWeight(std::numeric_limits<double>::quiet_NaN()).Fault, TWeightFault::NotNumber);
  EXPECT_EQ(ReadWeight(-std::numeric_limits<double>::infinity()).Fault, TWeightFault::NotNumber);
  EXPECT_EQ(WeightText(0), u"0.000");
  EXPECT_EQ(WeightText(1250), u"1.250");
  EXPECT_EQ(WeightText(-300), u"-0.300");
  EXPECT_EQ(WeightText(INT64_MIN), u"-9223372036854775.808");
}

// The operator: answers every window with a typed text and remembers the prefill.
class FakePrompt : public ui::IOperatorPrompt {
public:
  int Ask(ui::TDialogRun& run) override {
    ++calls;
    shown = run.Field;
    run.Field = typed;
    return answer;
  }
  int answer = kWeightEntered;
  std::u16string typed = u"1.5";
  int calls = 0;
  std::u16string shown;
};

class WeighSimUnit : public ::testing::Test {
protected:
  void SetUp() override {
    testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
    sim = std::make_unique<TWeighSim_3001>();
    sim->MemManager = static_cast<v8abi::MemoryManager*>(memory.HostPointer());
    sim->AfterConstruction();
    auto fake = std::make_unique<FakePrompt>();
    prompt = fake.get();
    sim->Prompt = std::move(fake);
    id = Call(u"Open", testhost::EmptyValue()).second;
  }
  void TearDown() override {
    testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
    sim.reset();
    EXPECT_TRUE(memory.Clean()) << memory.Summary();
  }

  // Calls a method with the DeviceID (the common methods without one: none)
  // and one more value; the result and that value afterwards as text.
  std::pair<bool, std::u16string> Call(std::u16string_view name, const tVariant& value) {
    ValueList params(memory);
    if (name != u"Open" && name != u"GetLastError" && name != u"GetParameters")
      params.AddString(id);
    params.Add(value);
    const long index = sim->FindMethod(name);
    EXPECT_GE(index, 0) << Narrow(name);
    tVariant result = testhost::EmptyValue();
    sim->CallMethod(sim->MethNames[static_cast<size_t>(index)], index, result, params.Data(), params.Count());
    EXPECT_EQ(TypeOf(result), name == u"GetLastError" ? VTYPE_I4 : VTYPE_BOOL);
    const tVariant& out = params[static_cast<size_t>(params.Count() - 1)];
    lastOut = TypeOf(out) == VTYPE_R8 ? out.dblVal : std::nan("");
    return {result.bVal, TextOf(out)};
  }
  bool Tare(const tVariant& value) { return Call(u"УстановитьВесТары", value).first; }
  bool Weigh() { return Call(u"ПолучитьВес", testhost::EmptyValue()).first; }

  std::u16string LastError() { return Call(u"GetLastError", testhost::EmptyValue()).second; }

  testhost::CountingMemory memory;
  std::unique_ptr<TWeighSim_3001> sim;
  FakePrompt* prompt = nullptr;
  std::u16string id;
  double lastOut = 0;
};

TEST_F(WeighSimUnit, NetWeightIsGrossTypedMinusTare) {
  ASSERT_EQ(id, u"WeighSim_3001#1");
  EXPECT_TRUE(Tare(testhost::DoubleValue(0.2)));
  prompt->typed = u"1,5";
  EXPECT_TRUE(Weigh());
  EXPECT_DOUBLE_EQ(lastOut, 1.3);
  EXPECT_EQ(prompt->shown, u"1.000"); // the default weight before the first weighing
  EXPECT_TRUE(Tare(testhost::StringValue(memory, u"2,25")));
  EXPECT_TRUE(Weigh());
  EXPECT_DOUBLE_EQ(lastOut, -0.75);   // a tare heavier than the load shows as a negative net
  EXPECT_EQ(prompt->shown, u"1.500"); // the last gross weight
  for (const tVariant& clear : {testhost::EmptyValue(), testhost::IntValue(0), testhost::DoubleValue(-0.0)}) {
    EXPECT_TRUE(Tare(testhost::DoubleValue(5)));
    EXPECT_TRUE(Tare(clear));
    EXPECT_TRUE(Weigh());
    EXPECT_DOUBLE_EQ(lastOut, 1.5);
  }
  EXPECT_TRUE(Tare(testhost::StringValue(memory, u" ")));
  EXPECT_EQ(sim->TareGrams, 0);
  // Old callers pass no tare at all.
  ValueList onlyId(memory);
  onlyId.AddString(id);
  tVariant result = testhost::EmptyValue();
  sim->CallMethod(u"Calibrate", sim->FindMethod(u"Calibrate"), result, onlyId.Data(), onlyId.Count());
  EXPECT_TRUE(result.bVal);
}

TEST_F(WeighSimUnit, FaultyTareFailsInRussianAndKeepsTheTare) {
  ASSERT_TRUE(Tare(testhost::DoubleValue(0.5)));
  const struct {
    tVariant value;
    const char16_t* error;
  } cases[] = {
      {testhost::DoubleValue(-0.1), u"Вес тары не может быть отрицательным"},
      {testhost::IntValue(-1), u"Вес тары не может быть отрицательным"},
      {testhost::DoubleValue(1000.001), u"Вес тары больше предела весов 1000 кг"},
      {testhost::DoubleValue(std::nan("")), u"Вес тары должен быть числом килограммов, например 1,250"},
      {testhost::DoubleValue(HUGE_VAL), u"Вес тары должен быть числом килограммов, например 1,250"},
      {testhost::BoolValue(true), u"Вес тары должен быть числом килограммов, например 1,250"},
      {testhost::StringValue(memory, u"пять"), u"Вес тары должен быть числом килограммов, например 1,250"},
      {testhost::StringValue(memory, std::u16string(100000, u'9')), u"Вес тары больше предела весов 1000 кг"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Tare(c.value)) << Narrow(c.error);
    EXPECT_EQ(LastError(), c.error);
    EXPECT_EQ(sim->TareGrams, 500);
  }
}

TEST_F(WeighSimUnit, ClosedWindowFailsAndLeavesTheOutput) {
  for (const auto& [answer, error] :
       {std::pair{kWeightRefused, kWeighRefusedText}, std::pair{kWeightNoWindow, kWeighNoWindowText},
        std::pair{7, kWeighRefusedText}}) {
    prompt->answer = answer;
    const auto [ok, out] = Call(u"GetWeight", testhost::IntValue(42));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(std::isnan(lastOut)); // still the integer 42
    EXPECT_EQ(LastError(), error);
  }
  EXPECT_FALSE(sim->LastGrossGrams.has_value());
  // A window that says "entered" with a faulty weight is not believed.
  prompt->answer = kWeightEntered;
  prompt->typed = u"-3";
  EXPECT_FALSE(Weigh());
  EXPECT_EQ(LastError(), u"Вес не может быть отрицательным");
}

TEST_F(WeighSimUnit, UnknownDeviceNeverAsksTheOperator) {
  id = u"WeighSim_3001#2";
  EXPECT_FALSE(Weigh());
  EXPECT_EQ(LastError(), u"DeviceID WeighSim_3001#2не найдено!");
  EXPECT_FALSE(Tare(testhost::DoubleValue(1)));
  EXPECT_EQ(prompt->calls, 0);
}

// Unattended, the default weight stands in for the operator; it is clamped
// into the scale's range, and a value that is no number is refused.
TEST_F(WeighSimUnit, DefaultWeightAnswersUnattended) {
  testhost::SetEnvironment("ORVIK_OPERATOR", "approve");
  EXPECT_TRUE(Weigh());
  EXPECT_DOUBLE_EQ(lastOut, 1.0);
  const auto set = [&](const tVariant& value) {
    ValueList params(memory);
    params.AddString(u"defaultweight");
    params.Add(value);
    tVariant result = testhost::EmptyValue();
    sim->CallMethod(u"SetParameter", sim->FindMethod(u"SetParameter"), result, params.Data(), params.Count());
    return result.bVal;
  };
  EXPECT_TRUE(set(testhost::StringValue(memory, u"0,75")));
  EXPECT_TRUE(Tare(testhost::DoubleValue(0.25)));
  EXPECT_TRUE(Weigh());
  EXPECT_DOUBLE_EQ(lastOut, 0.5);
  EXPECT_TRUE(set(testhost::DoubleValue(5000)));
  EXPECT_EQ(sim->DefaultGrams, kWeighLimitGrams);
  EXPECT_TRUE(set(testhost::IntValue(-2)));
  EXPECT_EQ(sim->DefaultGrams, 0);
  EXPECT_FALSE(set(testhost::BoolValue(true)));
  EXPECT_EQ(LastError(), u"Вес без оператора (DefaultWeight) должен быть числом килограммов, например 1,250");
  EXPECT_EQ(sim->DefaultGrams, 0);
  EXPECT_TRUE(set(testhost::EmptyValue()));
  EXPECT_EQ(sim->DefaultGrams, kWeighDefaultGrams);
  testhost::SetEnvironment("ORVIK_OPERATOR", "refuse");
  EXPECT_FALSE(Weigh());
  EXPECT_EQ(LastError(), kWeighRefusedText);
  EXPECT_EQ(prompt->calls, 0);

  const std::u16string xml = Call(u"GetParameters", testhost::EmptyValue()).second;
  EXPECT_NE(
      xml.find(u"<Parameter Name=\"DefaultWeight\" Caption=\"Вес без оператора, кг\" TypeValue=\"Number\" "
               u"DefaultValue=\"1\"/>"),
      std::u16string::npos);
  EXPECT_NE(xml.find(u"Name=\"LogFile\""), std::u16string::npos);
}

} // namespace
