// The real library answered from outside the application, as automated tests
// run it: the variable ORVIK_OPERATOR and the control file operator.txt in
// the data folder, read again at every operation, and the call log naming
// every automatic answer.
#include "CardAddIn.h"
#include "TestEnv.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace cardtest {
namespace {

namespace fs = std::filesystem;

constexpr char16_t kUnknownWord[] = u": ожидается dialog, approve или refuse";

class CardUnattended : public CardAddIn {
protected:
  void SetUp() override {
    folder = fs::path(testhost::Utf8ToUtf16(testhost::FreshDataFolder()));
    ASSERT_FALSE(folder.empty());
    RemoveControlFile();
    testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
    std::error_code missing;
    logStart = fs::file_size(folder / "CardSim_2001_emulator.log", missing);
    if (missing)
      logStart = 0;
    CardAddIn::SetUp();
  }
  void TearDown() override {
    CardAddIn::TearDown();
    RemoveControlFile();
    testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
  }

  fs::path ControlFile() const { return folder / "operator.txt"; }
  void WriteControlFile(std::string_view bytes) {
    std::ofstream(ControlFile(), std::ios::binary | std::ios::trunc) << bytes;
  }
  void RemoveControlFile() {
    std::error_code ignored;
    fs::remove(ControlFile(), ignored);
  }
  // What this test added to the card terminal's call log.
  std::u16string LogOfThisTest() {
    return testenv::DecodeLog(testenv::ReadFileBytes(folder / "CardSim_2001_emulator.log", logStart));
  }
  static size_t Count(std::u16string_view text, std::u16string_view part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::u16string_view::npos; at = text.find(part, at + 1))
      ++n;
    return n;
  }

  // One card operation as the test calls it; its result.
  bool Operate(const Operation& operation, const std::u16string& id, ValueList& params) {
    OperationParams(params, id, testhost::DoubleValue(250));
    return CallBool(operation.english, params);
  }

  fs::path folder;
  uintmax_t logStart = 0;
};

TEST_F(CardUnattended, VariableApprovesOrRefusesEveryOperationWithoutAWindow) {
  const std::u16string id = Open();
  const int windows = OperationWindowsDuring([&] {
    testhost::SetEnvironment("ORVIK_OPERATOR", "approve");
    for (const Operation& operation : kOperations) {
      ValueList params(memory);
      EXPECT_TRUE(Operate(operation, id, params)) << Narrow(operation.caption);
      ExpectApprovalOutputs(params);
      EXPECT_EQ(LastError(), u"");
    }
    testhost::SetEnvironment("ORVIK_OPERATOR", "Refuse");
    for (const Operation& operation : kOperations) {
      ValueList params(memory);
      OperationParams(params, id, testhost::DoubleValue(250));
      const std::vector<std::string> before = Keys(params);
      EXPECT_FALSE(CallBool(operation.russian, params)) << Narrow(operation.caption);
      EXPECT_EQ(Keys(params), before);
      EXPECT_EQ(LastError(), u"");
    }
  });
  EXPECT_LE(windows, 0);
  const std::u16string log = LogOfThisTest();
  EXPECT_EQ(Count(log, u"Ответ оператора: approve (одобрено автоматически), из переменной окружения "
                       u"ORVIK_OPERATOR\r\n"),
            6u);
  EXPECT_EQ(Count(log, u"Ответ оператора: refuse (отказ автоматически), из переменной окружения "
                       u"ORVIK_OPERATOR\r\n"),
            6u);
}

// The file decides while it exists and is read again at every operation of
// one object; its value lines fix outputs for a slip that compares.
TEST_F(CardUnattended, ControlFileOverridesTheVariableAtEveryOperation) {
  const std::u16string id = Open();
  const std::u16string file = ControlFile().u16string();
  testhost::SetEnvironment("ORVIK_OPERATOR", "refuse");
  const int windows = OperationWindowsDuring([&] {
    // As 1C's text writer makes it: UTF-8 with a byte-order mark, CR LF.
    WriteControlFile("\xEF\xBB\xBF"
                     "approve\r\nCardNumber=4276 **** **** 0001\r\nRRNCode=000123456789\r\n");
    ValueList fixed(memory);
    EXPECT_TRUE(Operate(kOperations[0], id, fixed));
    EXPECT_EQ(TextOf(fixed[1], &memory), u"4276 **** **** 0001");
    EXPECT_EQ(TextOf(fixed[3], &memory).size(), 5u);
    EXPECT_EQ(TextOf(fixed[4], &memory), u"000123456789");

    WriteControlFile("refuse\n");
    ValueList refused(memory);
    EXPECT_FALSE(Operate(kOperations[1], id, refused));
    EXPECT_EQ(TextOf(refused[1], &memory), u"old card");

    RemoveControlFile();
    testhost::SetEnvironment("ORVIK_OPERATOR", "approve");
    ValueList approved(memory);
    EXPECT_TRUE(Operate(kOperations[2], id, approved));
    ExpectApprovalOutputs(approved);
  });
  EXPECT_LE(windows, 0);
  const std::u16string log = LogOfThisTest();
  EXPECT_EQ(Count(log, u"Ответ оператора: approve (одобрено автоматически), из файла " + file + u"\r\n"), 1u);
  EXPECT_EQ(Count(log, u"Значения из файла " + file + u": CardNumber, RRNCode\r\n"), 1u);
  EXPECT_EQ(Count(log, u"Ответ оператора: refuse (отказ автоматически), из файла " + file + u"\r\n"), 1u);
  EXPECT_EQ(Count(log, u"из переменной окружения ORVIK_OPERATOR\r\n"), 1u);

  // "dialog" in the file brings the person back, whatever the variable says.
  WriteControlFile("dialog\n");
  ValueList asked(memory);
  const int shown = OperationWindowsDuring([&] { EXPECT_FALSE(Operate(kOperations[0], id, asked)); });
  if (shown >= 0) {
    EXPECT_EQ(shown, 1);
  }
}

// An unknown word is neither approval nor refusal: the operation fails and
// says where the word came from, and the log says the same.
TEST_F(CardUnattended, UnknownWordFailsWithItsSourceNamed) {
  const std::u16string id = Open();
  const std::u16string fromVariable =
      u"Неизвестный ответ оператора \"yes\" в переменной окружения ORVIK_OPERATOR" +
      std::u16string(kUnknownWord);
  const std::u16string fromFile = u"Неизвестный ответ оператора \"одобрить\" в файле " +
                                  ControlFile().u16string() + std::u16string(kUnknownWord);
  const int windows = OperationWindowsDuring([&] {
    testhost::SetEnvironment("ORVIK_OPERATOR", "yes");
    ValueList params(memory);
    OperationParams(params, id, testhost::DoubleValue(1));
    const std::vector<std::string> before = Keys(params);
    EXPECT_FALSE(CallBool(u"PayByPaymentCard", params));
    EXPECT_EQ(Keys(params), before);
    EXPECT_EQ(LastError(), fromVariable);

    WriteControlFile("одобрить\n");
    EXPECT_FALSE(CallBool(u"CancelPaymentByPaymentCard", params));
    EXPECT_EQ(LastError(), fromFile);
  });
  EXPECT_LE(windows, 0);
  const std::u16string log = LogOfThisTest();
  EXPECT_EQ(Count(log, u"Ошибка: " + fromVariable + u"\r\n"), 1u);
  EXPECT_EQ(Count(log, u"Ошибка: " + fromFile + u"\r\n"), 1u);
}

} // namespace
} // namespace cardtest
