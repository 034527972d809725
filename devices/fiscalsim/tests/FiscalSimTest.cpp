// The fiscal register object called as the bridge calls it: a whole shift of
// documents with its numbers, counters and cash, seen again by a second
// object over the same data folder; every refusal leaving the journal and
// the tape as they were; copies and electronic receipts; the clock key and
// the amounts the host passes.
#include "FiscalSim.h"
#include "EmulatorFixture.h"
#include "TestEnv.h"
#include "TestHost.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testhost::BoolValue;
using testhost::DoubleValue;
using testhost::IntValue;

constexpr char16_t kInput[] = u"<InputParameters><Parameters CashierName=\"Иванова\"/></InputParameters>";

// A CheckPackage of the given positions and payments.
std::u16string Package(std::u16string_view positions, std::u16string_view payments, int operation = 1,
                       int taxation = 0) {
  return u"<CheckPackage><Parameters CashierName=\"Иванова\" OperationType=\"" + Decimal(operation) +
         u"\" TaxationSystem=\"" + Decimal(taxation) + u"\"/><Positions>" + std::u16string(positions) +
         u"</Positions><Payments " + std::u16string(payments) + u"/></CheckPackage>";
}

std::u16string Line(std::u16string_view quantity, std::u16string_view price, std::u16string_view amount,
                    std::u16string_view vat = u"VATRate=\"20\" VATAmount=\"0\"") {
  return u"<FiscalString Name=\"Молоко 3,2%\" Quantity=\"" + std::u16string(quantity) +
         u"\" PriceWithDiscount=\"" + std::u16string(price) + u"\" AmountWithDiscount=\"" +
         std::u16string(amount) + u"\" " + std::u16string(vat) + u"/>";
}

// An attribute's value in an answer document; empty when it has none.
std::string Attribute(const std::u16string& xml, std::string_view name) {
  const std::string text = Utf16ToUtf8(xml);
  const std::string key = " " + std::string(name) + "=\"";
  const size_t at = text.find(key);
  if (at == std::string::npos)
    return {};
  const size_t start = at + key.size();
  return text.substr(start, text.find('"', start) - start);
}

class FiscalRegister : public testenv::EmulatorFixture<TFiscalSim_3004> {
protected:
  void SetUp() override {
    folder = fs::path(testhost::Utf8ToUtf16(testhost::FreshDataFolder()));
    ASSERT_FALSE(folder.empty());
    SetClock("");
    EmulatorFixture::SetUp();
    for (const fs::path& file : {Journal(object), Tape(object)}) {
      std::error_code ignored;
      fs::remove(file, ignored);
    }
    ASSERT_EQ(Call(u"SetParameter", {Str(u"Show"), BoolValue(false)}), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove(folder / "operator.txt", ignored);
  }

  // operator.txt (its first line the operator's answer, as for every device)
  // with a clock key, or none for an empty value.
  void SetClock(std::string_view value) {
    std::error_code ignored;
    fs::remove(folder / "operator.txt", ignored);
    if (!value.empty())
      std::ofstream(folder / "operator.txt", std::ios::binary) << "dialog\nclock=" << value << "\n";
  }
  fs::path Journal(const TFiscalSim_3004& target) const {
    return folder / fs::path(target.JournalFileName());
  }
  fs::path Tape(const TFiscalSim_3004& target) const { return folder / fs::path(target.TapeFileName()); }
  std::string JournalBytes() { return testenv::ReadFileBytes(Journal(object)); }
  std::string TapeBytes() { return testenv::ReadFileBytes(Tape(object)); }
  std::vector<std::string> JournalLines() {
    std::vector<std::string> lines;
    const std::string bytes = JournalBytes();
    for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(bytes.substr(start, end - start));
    return lines;
  }

  // GetLastError's code (it hands the message out, too).
  int32_t ErrorCode() {
    testhost::ValueList list(memory);
    list.Add(testhost::EmptyValue());
    tVariant result = testhost::EmptyValue();
    object.CallMethod(u"GetLastError", object.FindMethod(u"GetLastError"), result, list.Data(), list.Count());
    const int32_t code = testhost::TypeOf(result) == VTYPE_I4 ? result.lVal : -1;
    testhost::ReleaseValue(memory, result);
    return code;
  }
  // The answer document of a method with InputParameters in and a document out.
  std::u16string Output(std::u16string_view method) {
    EXPECT_EQ(Call(method, {Str(id), Str(kInput)}, 3), 1)
        << Utf16ToUtf8(method) << ": " << Utf16ToUtf8(LastError());
    return Text(2);
  }
  std::u16string Check(std::u16string_view package, bool electronically = false) {
    EXPECT_EQ(Call(u"ProcessCheck", {Str(id), BoolValue(electronically), Str(package)}, 4), 1)
        << Utf16ToUtf8(LastError());
    return Text(3);
  }
  int Cash(double amount) { return Call(u"CashInOutcome", {Str(id), Str(kInput), DoubleValue(amount)}); }

  fs::path folder;
};

TEST_F(FiscalRegister, AShiftOfDocumentsKeepsItsNumbersCountersAndCashAcrossObjects) {
  SetClock("2026-12-09T10:00:00");
  EXPECT_EQ(object.InterfaceRevision, 3004);
  EXPECT_EQ(object.EquipmentType, u"ККТ");
  EXPECT_EQ(object.FindMethod(u"НапечататьКопиюЧека"), 19);
  EXPECT_EQ(object.MethParamCounts.at(14), 4); // ProcessCheck

  // Registered out of the box: the first call made the registration.
  std::u16string status = Output(u"GetCurrentStatus");
  EXPECT_EQ(Attribute(status, "ShiftState"), "1");
  EXPECT_EQ(Attribute(status, "CheckNumber"), "1");
  ASSERT_EQ(Call(u"GetDataKKT", {Str(id)}, 2), 1);
  EXPECT_EQ(Attribute(Text(1), "INN"), "7707083893");
  EXPECT_EQ(Attribute(Text(1), "TaxationSystems"), "0");
  EXPECT_EQ(Attribute(Text(1), "Fiscal"), "true");

  const std::u16string opened = Output(u"OpenShift");
  EXPECT_EQ(Attribute(opened, "ShiftNumber"), "1");
  EXPECT_EQ(Attribute(opened, "DateTime"), "2026-12-09T10:00:00");
  EXPECT_EQ(Attribute(opened, "ShiftState"), "2");

  // Cash with change; card; a return of a sale paid out in cash.
  const std::u16string first = Check(Package(Line(u"2", u"75", u"150.00"), u"Cash=\"200\""));
  EXPECT_EQ(Attribute(first, "CheckNumber"), "3");
  EXPECT_EQ(Attribute(first, "ShiftClosingCheckNumber"), "1");
  EXPECT_EQ(Attribute(first, "FiscalSign").size(), 10u);
  const std::u16string second = Check(Package(Line(u"1", u"50", u"50"), u"ElectronicPayment=\"50\""));
  EXPECT_EQ(Attribute(second, "CheckNumber"), "4");
  EXPECT_EQ(Attribute(second, "ShiftClosingCheckNumber"), "2");
  const std::u16string back = Check(Package(Line(u"0.5", u"60", u"30"), u"Cash=\"30\"", 2));
  EXPECT_EQ(Attribute(back, "CheckNumber"), "5");
  EXPECT_EQ(Attribute(back, "ShiftClosingCheckNumber"), "3");

  // A withdrawal and an X-report take no document number.
  EXPECT_EQ(Cash(-40), 1);
  EXPECT_EQ(Call(u"PrintXReport", {Str(id), Str(kInput)}), 1);
  status = Output(u"GetCurrentStatus");
  EXPECT_EQ(Attribute(status, "CheckNumber"), "5");
  EXPECT_EQ(Attribute(status, "ShiftClosingCheckNumber"), "3");
  EXPECT_EQ(Attribute(status, "CashBalance"), "80.00"); // 150 - 30 - 40

  const std::u16string closed = Output(u"CloseShift");
  EXPECT_EQ(Attribute(closed, "ShiftNumber"), "1");
  EXPECT_EQ(Attribute(closed, "ShiftState"), "1");
  EXPECT_EQ(Attribute(closed, "CashBalance"), "80.00");
  const std::string counters = Utf16ToUtf8(closed);
  EXPECT_NE(
      counters.find("<CountersOperationType1><Parameters CheckCount=\"2\" TotalChecksAmount=\"200.00\""),
      std::string::npos)
      << counters;
  EXPECT_NE(counters.find("<CountersOperationType2><Parameters CheckCount=\"1\" TotalChecksAmount=\"30.00\""),
            std::string::npos)
      << counters;

  // The journal: one line per document, the clock key in each.
  const std::vector<std::string> lines = JournalLines();
  const char* const kTypes[] = {"registration", "open_shift", "receipt",  "receipt",
                                "receipt",      "cash_out",   "x_report", "close_shift"};
  ASSERT_EQ(lines.size(), std::size(kTypes));
  for (size_t k = 0; k < lines.size(); ++k) {
    EXPECT_EQ(lines[k].rfind(std::string("{\"type\":\"") + kTypes[k] + "\"", 0), 0u) << lines[k];
    EXPECT_NE(lines[k].find("\"clock\":\"2026-12-09T10:00:00\""), std::string::npos) << lines[k];
  }
  EXPECT_NE(lines[2].find("\"change\":5000"), std::string::npos) << lines[2];
  const std::string tape = TapeBytes();
  EXPECT_NE(tape.find("СДАЧА"), std::string::npos);
  EXPECT_NE(tape.find("ОТЧЕТ О ЗАКРЫТИИ СМЕНЫ"), std::string::npos);

  // A second object over the same data folder sees the same register, and
  // its next document takes the next number.
  testhost::CountingMemory otherMemory;
  {
    TFiscalSim_3004 other;
    other.AfterConstruction();
    other.MemManager = static_cast<decltype(other.MemManager)>(otherMemory.HostPointer());
    const auto call = [&](std::u16string_view method, std::vector<tVariant> values) {
      testhost::ValueList list(otherMemory);
      for (const tVariant& value : values)
        list.Add(value);
      tVariant result = testhost::EmptyValue();
      other.CallMethod(std::u16string(method), other.FindMethod(method), result, list.Data(), list.Count());
      std::vector<std::u16string> texts;
      for (long k = 0; k < list.Count(); ++k)
        texts.push_back(testhost::TextOf(list[static_cast<size_t>(k)]));
      EXPECT_EQ(testhost::TypeOf(result), VTYPE_BOOL);
      EXPECT_TRUE(result.bVal) << Utf16ToUtf8(method);
      testhost::ReleaseValue(otherMemory, result);
      return texts;
    };
    const std::u16string otherId = call(u"Open", {testhost::EmptyValue()}).at(0);
    const auto input = [&] { return testhost::StringValue(otherMemory, kInput); };
    const auto device = [&] { return testhost::StringValue(otherMemory, otherId); };
    const std::u16string seen = call(u"GetCurrentStatus", {device(), input(), testhost::EmptyValue()}).at(2);
    EXPECT_EQ(Attribute(seen, "ShiftNumber"), "1");
    EXPECT_EQ(Attribute(seen, "CheckNumber"), "6");
    EXPECT_EQ(Attribute(seen, "ShiftState"), "1");
    EXPECT_EQ(Attribute(seen, "CashBalance"), "80.00");
    const std::u16string next = call(u"OpenShift", {device(), input(), testhost::EmptyValue()}).at(2);
    EXPECT_EQ(Attribute(next, "ShiftNumber"), "2");
  }
  EXPECT_EQ(Attribute(Output(u"GetCurrentStatus"), "CheckNumber"), "7");
  EXPECT_EQ(Attribute(Output(u"GetCurrentStatus"), "ShiftState"), "2");
}

TEST_F(FiscalRegister, EveryRefusalAnswersFalseAndWritesNothing) {
  struct TRefusal {
    const char* what;
    std::function<void()> before; // brings the register to the state the row needs
    std::function<int()> call;
    std::u16string message; // the message, or its beginning when prefix
    TFiscalError code;
    bool prefix = false;
    std::u16string_view also = {}; // a further part of the message
  };
  const auto check = [this](std::u16string package) {
    return [this, package] { return Call(u"ProcessCheck", {Str(id), BoolValue(false), Str(package)}, 4); };
  };
  const auto input = [this](std::u16string_view method) {
    return [this, method] { return Call(method, {Str(id), Str(kInput)}, 3); };
  };
  const std::u16string sale = Package(Line(u"1", u"100", u"100"), u"Cash=\"100\"");
  const auto nothing = [] {};
  const auto expire = [this] {
    SetClock("+25h");
    EXPECT_EQ(Attribute(Output(u"GetCurrentStatus"), "ShiftState"), "3");
  };
  const std::vector<TRefusal> rows = {
      {"close a closed shift", nothing, input(u"CloseShift"), u"Смена закрыта - операция невозможна",
       TFiscalError::ShiftClosed},
      {"receipt on a closed shift", nothing, check(sale), u"Смена закрыта - операция невозможна",
       TFiscalError::ShiftClosed},
      {"withdrawal on a closed shift", nothing, [this] { return Cash(-1); },
       u"Смена закрыта - операция невозможна", TFiscalError::ShiftClosed},
      {"malformed XML", nothing, check(u"<CheckPackage>\n<Parameters CashierName=\"x\"></CheckPackage>"),
       u"Ошибка разбора XML", TFiscalError::BadDocument, true, u"(строка 2, позиция"},
      {"unknown copy number", nothing,
       [this] {
         return Call(u"PrintCheckCopy", {Str(id), Str(u"99")});
       },
       u"Документ № 99 не найден в фискальном накопителе", TFiscalError::NotFound},
      {"bad clock key", [this] { SetClock("tomorrow"); }, input(u"OpenShift"),
       u"Неверное значение часов регистратора в operator.txt: clock=tomorrow", TFiscalError::Clock, true},
      {"open an open shift",
       [this] {
         SetClock("");
         Output(u"OpenShift");
       },
       input(u"OpenShift"), u"Смена открыта - операция невозможна", TFiscalError::ShiftOpen},
      {"unregistered taxation system", nothing,
       check(Package(Line(u"1", u"100", u"100"), u"Cash=\"100\"", 1, 2)),
       u"ККТ не зарегистрирована с указанной СНО", TFiscalError::Receipt},
      {"unknown VAT rate", nothing,
       check(Package(Line(u"1", u"100", u"100", u"VATRate=\"13\" VATAmount=\"1\""), u"Cash=\"100\"")),
       u"Неверная ставка НДС \"13\" (позиция 1)", TFiscalError::Receipt, false},
      {"line amount mismatch", nothing, check(Package(Line(u"3", u"33.33", u"100"), u"Cash=\"100\"")),
       u"Сумма позиции не равна произведению цены на количество (позиция 1)", TFiscalError::Receipt, false},
      {"underpaid", nothing, check(Package(Line(u"1", u"100", u"100"), u"Cash=\"99.99\"")),
       u"Чек оплачен не полностью", TFiscalError::Receipt, false},
      {"non-cash above the total", nothing,
       check(Package(Line(u"1", u"100", u"100"), u"Cash=\"10\" ElectronicPayment=\"100.01\"")),
       u"Сумма не наличных платежей превышает сумму чека", TFiscalError::Receipt, false},
      {"withdrawal above the cash", nothing, [this] { return Cash(-0.01); }, u"Недостаточно наличных в кассе",
       TFiscalError::NoCash},
      {"amount of three decimals", nothing, [this] { return Cash(1.005); },
       u"Неверная сумма внесения или выплаты", TFiscalError::BadDocument, true, u": 1.005 ("},
      {"amount not a number", nothing, [this] { return Cash(std::numeric_limits<double>::quiet_NaN()); },
       u"Неверная сумма внесения или выплаты", TFiscalError::BadDocument, true},
      {"receipt on an expired shift", expire, check(sale),
       u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет", TFiscalError::ShiftExpired},
      {"X-report on an expired shift", nothing, input(u"PrintXReport"),
       u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет", TFiscalError::ShiftExpired},
      {"deposit on an expired shift", nothing, [this] { return Cash(10); },
       u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет", TFiscalError::ShiftExpired},
      {"open an expired shift", nothing, input(u"OpenShift"),
       u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет", TFiscalError::ShiftExpired},
      {"receipt on a closed drive",
       [this] {
         Output(u"CloseShift"); // the only thing an expired shift allows
         ASSERT_EQ(Call(u"OperationFN",
                        {Str(id), IntValue(3), Str(u"<ParametersFiscal CashierName=\"Иванова\"/>")}),
                   1)
             << Utf16ToUtf8(LastError());
       },
       check(sale), u"Фискальный накопитель закрыт - операция невозможна", TFiscalError::DriveClosed},
      {"open a shift on a closed drive", nothing, input(u"OpenShift"),
       u"Фискальный накопитель закрыт - операция невозможна", TFiscalError::DriveClosed},
  };
  ASSERT_EQ(Cash(0), 0); // registers the register (the call itself fails: no shift)
  for (const TRefusal& row : rows) {
    SCOPED_TRACE(row.what);
    row.before();
    const std::string journal = JournalBytes(), tape = TapeBytes();
    EXPECT_EQ(row.call(), 0);
    const std::u16string message = LastError();
    if (row.prefix)
      EXPECT_EQ(message.substr(0, row.message.size()), row.message) << Utf16ToUtf8(message);
    else
      EXPECT_EQ(message, row.message) << Utf16ToUtf8(message);
    EXPECT_NE(message.find(row.also), std::u16string::npos) << Utf16ToUtf8(message);
    EXPECT_FALSE(message.empty());
    // The message is handed out once; the code is the row's kind.
    EXPECT_EQ(row.call(), 0);
    EXPECT_EQ(ErrorCode(), static_cast<int32_t>(row.code));
    EXPECT_EQ(JournalBytes(), journal);
    EXPECT_EQ(TapeBytes(), tape);
  }
  // A success clears the code.
  EXPECT_EQ(Call(u"GetLineLength", {Str(id)}, 2), 1);
  EXPECT_EQ(ErrorCode(), 0);
}

TEST_F(FiscalRegister, ACopyPrintsTheOriginalAgainAndAnElectronicReceiptPrintsNothing) {
  SetClock("2026-12-09T12:30:00");
  Output(u"OpenShift");
  const std::u16string sale =
      Package(u"<TextString Text=\"Спасибо за покупку\"/>" + Line(u"1.5", u"80", u"120") +
                  Line(u"1", u"10", u"10", u"VATRate=\"none\""),
              u"Cash=\"50\" ElectronicPayment=\"80\"");
  const size_t before = TapeBytes().size();
  EXPECT_EQ(Attribute(Check(sale), "CheckNumber"), "3");
  const std::string original = TapeBytes().substr(before);
  EXPECT_NE(original.find("t=20261209T1230&s=130.00&fn=9999078900001234&i=3&fp="), std::string::npos)
      << original;
  EXPECT_NE(original.find("НДС 20%"), std::string::npos);
  EXPECT_NE(original.find("БЕЗ НДС"), std::string::npos);

  // The copy: the same lines with the copy mark at its top and bottom.
  EXPECT_EQ(Call(u"PrintCheckCopy", {Str(id), Str(u"3")}), 1) << Utf16ToUtf8(LastError());
  std::string copy = TapeBytes().substr(before + original.size());
  const std::string mark = std::string(18, ' ') + "КОПИЯ\r\n";
  int marks = 0;
  for (size_t at; (at = copy.find(mark)) != std::string::npos; ++marks)
    copy.erase(at, mark.size());
  EXPECT_EQ(marks, 2);
  EXPECT_EQ(copy, original);
  // Empty asks for the last document.
  EXPECT_EQ(Call(u"PrintCheckCopy", {Str(id), Str(u"")}), 1);

  // A text document is no fiscal document: on the tape only.
  const size_t documentsBefore = JournalLines().size();
  EXPECT_EQ(Call(u"PrintTextDocument",
                 {Str(id), Str(u"<Document><Positions><TextString Text=\"Слип\"/></Positions></Document>")}),
            1);
  EXPECT_NE(TapeBytes().find("Слип\r\n"), std::string::npos);
  EXPECT_EQ(JournalLines().size(), documentsBefore);

  // PrintRequired false: the report is made, its paper is not.
  const std::string paper = TapeBytes();
  EXPECT_EQ(
      Call(u"PrintXReport",
           {Str(id), Str(u"<InputParameters><Parameters CashierName=\"Иванова\" PrintRequired=\"false\"/>"
                         u"</InputParameters>")}),
      1)
      << Utf16ToUtf8(LastError());
  EXPECT_EQ(TapeBytes(), paper);
  EXPECT_NE(JournalBytes().rfind("\"type\":\"x_report\""), std::string::npos);

  // Electronically: in the journal, not on the paper.
  const std::string tape = TapeBytes();
  const size_t documents = JournalLines().size();
  EXPECT_EQ(Attribute(Check(sale, true), "CheckNumber"), "4");
  EXPECT_EQ(TapeBytes(), tape);
  EXPECT_EQ(JournalLines().size(), documents + 1);

  // A correction needs its CorrectionData, and then takes the next numbers.
  std::u16string correction = Package(Line(u"1", u"10", u"10"), u"Cash=\"10\"");
  EXPECT_EQ(Call(u"ProcessCorrectionCheck", {Str(id), Str(correction)}, 3), 0);
  EXPECT_EQ(LastError(), u"Не заданы данные коррекции (CorrectionData)");
  correction.replace(
      correction.find(u"/><Positions>"), 2,
      u"><CorrectionData Type=\"0\" Description=\"Ошибка кассира\" Number=\"1\"/></Parameters>");
  ASSERT_EQ(Call(u"ProcessCorrectionCheck", {Str(id), Str(correction)}, 3), 1) << Utf16ToUtf8(LastError());
  EXPECT_EQ(Attribute(Text(2), "CheckNumber"), "5");
  EXPECT_EQ(Attribute(Text(2), "ShiftClosingCheckNumber"), "3");
}

TEST_F(FiscalRegister, AResetOrANewDriveStartsTheNumbersAgain) {
  Output(u"OpenShift");
  Output(u"CloseShift");
  // A drive that is not closed is not replaced.
  EXPECT_EQ(Call(u"DoAdditionalAction", {Str(u"ReplaceDrive")}), 0);
  EXPECT_EQ(Call(u"OperationFN", {Str(id), IntValue(3), Str(u"<ParametersFiscal CashierName=\"Иванова\"/>")}),
            1);
  EXPECT_EQ(Call(u"DoAdditionalAction", {Str(u"ReplaceDrive")}), 1) << Utf16ToUtf8(LastError());
  ASSERT_EQ(Call(u"GetDataKKT", {Str(id)}, 2), 1);
  EXPECT_EQ(Attribute(Text(1), "FNSerialNumber"), "9999078900001235");
  EXPECT_EQ(Attribute(Text(1), "DocumentNumber"), "1");
  EXPECT_EQ(Attribute(Output(u"OpenShift"), "ShiftNumber"), "1");
  // Registration data changed: a taxation system the receipt may then use.
  EXPECT_EQ(
      Call(u"OperationFN", {Str(id), IntValue(2),
                            Str(u"<ParametersFiscal CashierName=\"Иванова\" TaxationSystems=\"0,2\"/>")}),
      0); // not in an open shift
  Output(u"CloseShift");
  EXPECT_EQ(
      Call(u"OperationFN", {Str(id), IntValue(2),
                            Str(u"<ParametersFiscal CashierName=\"Иванова\" TaxationSystems=\"0,2\"/>")}),
      1)
      << Utf16ToUtf8(LastError());
  Output(u"OpenShift");
  Check(Package(Line(u"1", u"100", u"100"), u"Cash=\"100\"", 1, 2));
  // Settings saved before the replacement name the old drive: the journal's
  // drive still signs.
  EXPECT_EQ(Call(u"SetParameter", {Str(u"FNSerialNumber"), Str(u"9999078900001234")}), 1);
  Check(Package(Line(u"1", u"100", u"100"), u"Cash=\"100\""));
  EXPECT_NE(JournalLines().back().find("\"1041\":\"9999078900001235\""), std::string::npos)
      << JournalLines().back();
  EXPECT_EQ(Call(u"DoAdditionalAction", {Str(u"ResetRegister")}), 1);
  // A register made new registers from its settings, when they would pass.
  for (const auto& [name, value] : {std::pair{u"INN", u"770708389"}, {u"TaxationSystems", u"0,7"}}) {
    EXPECT_EQ(Call(u"SetParameter", {Str(name), Str(value)}), 1);
    EXPECT_EQ(Call(u"GetCurrentStatus", {Str(id), Str(kInput)}, 3), 0);
    EXPECT_EQ(ErrorCode(), static_cast<int32_t>(TFiscalError::Registration));
    EXPECT_EQ(JournalBytes(), "");
    EXPECT_EQ(Call(u"SetParameter", {Str(name), Str(name == std::u16string(u"INN") ? u"7707083893" : u"1")}),
              1);
  }
  EXPECT_EQ(Attribute(Output(u"GetCurrentStatus"), "CheckNumber"), "1");
  ASSERT_EQ(Call(u"GetDataKKT", {Str(id)}, 2), 1);
  EXPECT_EQ(Attribute(Text(1), "TaxationSystems"), "1");
}

TEST(FiscalClock, TheKeyIsAMomentOrAnOffsetAndNothingElse) {
  const int64_t now = *ParseDateTime("2026-12-09T10:00:00");
  const auto moment = [&](std::u16string key) {
    const TFiscalClock clock = FiscalClockOf(&key, now);
    return clock.Ok ? FormatDateTime(clock.Moment) : "refused";
  };
  EXPECT_EQ(FormatDateTime(FiscalClockOf(nullptr, now).Moment), "2026-12-09T10:00:00");
  EXPECT_EQ(moment(u"+25h"), "2026-12-10T11:00:00");
  EXPECT_EQ(moment(u"-30m"), "2026-12-09T09:30:00");
  EXPECT_EQ(moment(u"+90s"), "2026-12-09T10:01:30");
  EXPECT_EQ(moment(u"+2d"), "2026-12-11T10:00:00");
  EXPECT_EQ(moment(u"2027-01-01T00:00:00"), "2027-01-01T00:00:00");
  for (const char16_t* bad :
       {u"", u"25h", u"+h", u"+5x", u"+1234567d", u"2026-13-01T00:00:00", u"+1.5h", u"now"})
    EXPECT_EQ(moment(bad), "refused") << Utf16ToUtf8(bad);
}

TEST(FiscalAmounts, AHostDoubleBecomesKopecksExactlyOrIsRefused) {
  for (const auto& [amount, kopecks] : {std::pair{0.0, 0LL},
                                        {0.1 + 0.2, 30LL},
                                        {-40.0, -4000LL},
                                        {1234.56, 123456LL},
                                        {99999999999.99, 9999999999999LL}}) {
    int64_t got = -1;
    EXPECT_TRUE(AmountToKopecks(amount, got)) << amount;
    EXPECT_EQ(got, kopecks) << amount;
  }
  for (const double bad : {1.005, 0.001, 1e12, -1e300, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()}) {
    int64_t got = 0;
    EXPECT_FALSE(AmountToKopecks(bad, got)) << bad;
  }
}

} // namespace
