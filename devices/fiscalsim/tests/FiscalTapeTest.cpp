// The journal members of each document and the tape printed from a line:
// committed through a real fiscal memory, read back from its journal.
#include "FiscalTape.h"
#include "FiscalMemoryTest.h"
#include "FiscalRecord.h"
#include "Json.h"

#include "TextCodec.h"

#include <algorithm>
#include <memory>

using namespace fmemtest;
using fiscal::TDocumentType;

namespace {

constexpr char kCheckPackage[] = R"(<CheckPackage>
  <Parameters CashierName="Иванова А.А." CashierINN="500100732259" OperationType="1" TaxationSystem="1"
              CustomerEmail="buyer@example.ru"/>
  <Positions>
    <FiscalString Name="Молоко &quot;Домик&quot; 3,2% 930 мл, пастеризованное, в картонной упаковке"
                  Quantity="2" PriceWithDiscount="89.90" AmountWithDiscount="179.80" DiscountAmount="20.00"
                  VATRate="20" VATAmount="29.97"/>
    <TextString Text="Акция: вторая пачка дешевле"/>
    <FiscalString Name="Хлеб" Quantity="0.5" PriceWithDiscount="50.00" AmountWithDiscount="25.00"
                  VATRate="10" VATAmount="2.27"/>
    <Barcode Type="EAN13" Value="4600000000003"/>
  </Positions>
  <Payments Cash="500.00" ElectronicPayment="0"/>
</CheckPackage>)";

fiscal::TRequisites Requisites() {
  fiscal::TRequisites r;
  r.CompanyName = u"ООО \"Ромашка и партнёры\" — торговый дом с очень длинным названием 😀";
  r.Inn = u"7701234567";
  r.SaleAddress = u"г. Москва, ул. Тверская, д. 1";
  r.SaleLocation = u"Магазин №1";
  r.RegistrationNumber = u"0000000001012345";
  r.SerialNumber = u"00106700000001";
  r.FormatVersion = u"1.2";
  r.TaxationSystems = u"0, 1,5";
  r.CashierName = u"Петров П.П.";
  return r;
}

std::u16string Joined(const std::vector<TTapeLine>& lines) {
  std::u16string text;
  for (const TTapeLine& line : lines)
    text += TapeLineText(line) + u"\n";
  return text;
}

// Whether some text line starts with left and ends with right.
testing::AssertionResult HasLine(const std::vector<TTapeLine>& lines, std::u16string_view left,
                                 std::u16string_view right) {
  for (const TTapeLine& line : lines)
    if (line.Kind == TTapeKind::Text && line.Text.starts_with(left) && line.Text.ends_with(right))
      return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no line " << Utf16ToUtf8(left) << " ... " << Utf16ToUtf8(right)
                                     << " in\n"
                                     << Utf16ToUtf8(Joined(lines));
}

size_t Characters(std::u16string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i, ++count)
    if (IsSurrogatePair(text, i))
      ++i;
  return count;
}

class FiscalTape : public testing::Test {
protected:
  void SetUp() override {
    folder_ = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    memory_ = std::make_unique<fiscal::TFiscalMemory>(
        folder_ / "FISCAL_journal.jsonl", [this] { return now_; }, kSerial, kKey);
  }
  void TearDown() override {
    memory_.reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  // Commits a document with its members; the journal line.
  std::string Commit(fiscal::TDocument document) {
    auto transaction = memory_->Begin();
    EXPECT_TRUE(transaction) << Utf16ToUtf8(transaction.Error());
    const fiscal::TCommitResult result = transaction.Commit(document);
    EXPECT_TRUE(result.Ok) << Utf16ToUtf8(result.Error);
    now_ += 60;
    return result.Document.Line;
  }
  std::string CommitWith(TDocumentType type, std::string extra) {
    fiscal::TDocument document = Doc(type);
    document.Extra = std::move(extra);
    if (type == TDocumentType::CashIn || type == TDocumentType::CashOut)
      document.Total = 10000;
    return Commit(document);
  }
  std::string CommitReport(TDocumentType type) {
    const fiscal::TFiscalState state = memory_->Begin().State();
    return CommitWith(type, fiscal::ReportRecord(type, Requisites(), state));
  }
  std::string CommitReceipt(const TReceipt& receipt, TDocumentType type = TDocumentType::Receipt) {
    const TReceiptVerdict verdict =
        CheckReceiptRules(receipt, TRegistration{0x3F}, 1000000, type == TDocumentType::Correction);
    EXPECT_EQ(verdict.Message, u"");
    const TReceiptTotals& t = verdict.Totals;
    fiscal::TDocument document = Doc(type);
    document.OperationType = static_cast<int>(receipt.OperationType);
    document.Total = t.Total;
    document.Cash = t.Cash;
    document.Change = t.Change;
    document.Electronic = t.Electronic;
    document.Prepayment = t.Prepayment;
    document.Postpayment = t.Postpayment;
    document.Barter = t.Barter;
    document.Extra = fiscal::ReceiptRecord(Requisites(), receipt, t);
    return Commit(document);
  }
  void RegisterAndOpen() {
    CommitWith(TDocumentType::Registration, fiscal::RegistrationRecord(Requisites()));
    CommitWith(TDocumentType::OpenShift, fiscal::ShiftRecord(Requisites()));
  }
  static TReceipt ReadReceipt(std::string_view xml) {
    TReceipt receipt;
    EXPECT_EQ(ReadCheckPackage(Utf8ToUtf16(xml), receipt), u"");
    return receipt;
  }

  fs::path folder_;
  fiscal::TLocalSeconds now_ = kMorning;
  std::unique_ptr<fiscal::TFiscalMemory> memory_;
};

TEST_F(FiscalTape, AReceiptWithTwoRatesADiscountAndChange) {
  RegisterAndOpen();
  const std::string line = CommitReceipt(ReadReceipt(kCheckPackage));
  const std::vector<TTapeLine> tape = fiscal::FiscalTapeLines(line, 40, false);
  EXPECT_TRUE(HasLine(tape, u"", u"КАССОВЫЙ ЧЕК"));
  EXPECT_TRUE(HasLine(tape, u"", u"ПРИХОД"));
  EXPECT_TRUE(HasLine(tape, u" ", u"2 x 89.90 = 179.80"));
  EXPECT_TRUE(HasLine(tape, u"СКИДКА", u" 20.00"));
  EXPECT_TRUE(HasLine(tape, u"НДС 20%", u" 29.97"));
  EXPECT_TRUE(HasLine(tape, u" ", u"0.5 x 50.00 = 25.00"));
  EXPECT_TRUE(HasLine(tape, u"НДС 10%", u" 2.27"));
  EXPECT_TRUE(HasLine(tape, u"Акция: вторая пачка дешевле", u""));
  EXPECT_TRUE(HasLine(tape, u"ИТОГ", u" =204.80"));
  EXPECT_TRUE(HasLine(tape, u"НАЛИЧНЫМИ", u" =500.00"));
  EXPECT_TRUE(HasLine(tape, u"СДАЧА", u" =295.20"));
  EXPECT_TRUE(HasLine(tape, u"СУММА НДС 20%", u" =29.97"));
  EXPECT_TRUE(HasLine(tape, u"СУММА НДС 10%", u" =2.27"));
  EXPECT_TRUE(HasLine(tape, u"СНО:", u" УСН доход"));
  EXPECT_TRUE(HasLine(tape, u"КАССИР", u" Иванова А.А."));
  EXPECT_TRUE(HasLine(tape, u"ЭЛ. АДР. ПОКУПАТЕЛЯ", u"buyer@example.ru"));
  EXPECT_TRUE(HasLine(tape, u"ЗН ККТ", u" 00106700000001"));
  EXPECT_TRUE(HasLine(tape, u"ФН", u" " + Utf8ToUtf16(kSerial)));
  EXPECT_TRUE(HasLine(tape, u"ФД", u" 3"));
  EXPECT_TRUE(HasLine(tape, u"САЙТ ФНС", u"www.nalog.gov.ru"));
  // The text position between the lines, the barcode after the last one, in
  // the order the package gave them.
  const std::u16string text = Joined(tape);
  EXPECT_LT(text.find(u"179.80"), text.find(u"Акция"));
  EXPECT_LT(text.find(u"Акция"), text.find(u"Хлеб"));
  const auto ean = std::find_if(tape.begin(), tape.end(), [](const TTapeLine& l) {
    return l.Kind == TTapeKind::Barcode && l.Type == TBarcodeType::EAN13;
  });
  ASSERT_NE(ean, tape.end());
  EXPECT_EQ(ean->Text, u"4600000000003");
  EXPECT_LT(text.find(u"25.00"), text.find(u"[EAN13"));
  const auto qr = std::find_if(tape.begin(), tape.end(), [](const TTapeLine& l) {
    return l.Kind == TTapeKind::Barcode && l.Type == TBarcodeType::QR;
  });
  ASSERT_NE(qr, tape.end());
  EXPECT_EQ(Utf16ToUtf8(qr->Text), fiscal::ReceiptQrText(line));
  EXPECT_TRUE(qr->Text.starts_with(u"t=20261209T1002&s=204.80&fn=9999078900001234&i=3&fp="));
  EXPECT_TRUE(qr->Text.ends_with(u"&n=1"));
}

TEST_F(FiscalTape, TheQrTextOfAKnownLine) {
  const std::string line =
      R"({"type":"correction","1040":17,"1038":4,"1042":2,"1012":"2026-01-05T07:08:59",)"
      R"("1041":"9999078900001234","1054":4,"1020":1200005,"1031":0,"1081":1200005,)"
      R"("1215":0,"1216":0,"1217":0,"1059":[{"1030":"Гвозди","1079":1000,"1023":0.125,"1043":125,)"
      R"("1199":6,"1214":4,"1212":1},{"1030":"Ткань","1079":99,"1023":1000.010,"1043":99001,)"
      R"("1199":3,"vat18":true,"1200":15102}],"1173":1,"1077":"0004096001"})";
  EXPECT_EQ(fiscal::ReceiptQrText(line),
            "t=20260105T0708&s=12000.05&fn=9999078900001234&i=17&fp=0004096001&n=4");
  const std::vector<TTapeLine> tape = fiscal::FiscalTapeLines(line, 32, false);
  EXPECT_TRUE(HasLine(tape, u"", u"КАССОВЫЙ ЧЕК КОРРЕКЦИИ"));
  EXPECT_TRUE(HasLine(tape, u"", u"ВОЗВРАТ РАСХОДА"));
  EXPECT_TRUE(HasLine(tape, u"ТИП КОРРЕКЦИИ", u"ПО ПРЕДПИСАНИЮ"));
  EXPECT_TRUE(HasLine(tape, u" ", u"0.125 x 10.00 = 1.25"));
  EXPECT_TRUE(HasLine(tape, u"БЕЗ НДС", u""));
  EXPECT_TRUE(HasLine(tape, u" ", u"1000.01 x 0.99 = 990.01"));
  // Too long for the line: the amount goes on a line of its own.
  const std::vector<TTapeLine> narrow = fiscal::FiscalTapeLines(line, 16, false);
  EXPECT_TRUE(HasLine(narrow, u" ", u"1000.01 x 0.99"));
  EXPECT_TRUE(HasLine(narrow, u" ", u"= 990.01"));
  EXPECT_TRUE(HasLine(tape, u"НДС 18/118", u" 151.02"));
  EXPECT_TRUE(HasLine(tape, u"БЕЗНАЛИЧНЫМИ", u"=12000.05"));
  EXPECT_EQ(fiscal::ReceiptQrText(R"({"type":"x_report","1012":"2026-01-05T07:08:59"})"), "");
}

TEST_F(FiscalTape, EveryDocumentFitsItsLineLengthAndEndsInACut) {
  RegisterAndOpen();
  TReceipt receipt = ReadReceipt(kCheckPackage);
  CommitReceipt(receipt);
  receipt.OperationType = TOperationType::SaleReturn;
  CommitReceipt(receipt);
  receipt.OperationType = TOperationType::Sale;
  receipt.HasCorrection = true;
  receipt.Correction = {0, u"Ошибка кассира при вводе цены", u"2026-12-01T00:00:00", u"№ 15/к"};
  CommitReceipt(receipt, TDocumentType::Correction);
  CommitWith(TDocumentType::CashIn, fiscal::ShiftRecord(Requisites()));
  CommitWith(TDocumentType::CashOut, fiscal::ShiftRecord(Requisites()));
  CommitReport(TDocumentType::XReport);
  const std::string closing = CommitReport(TDocumentType::CloseShift);
  CommitReport(TDocumentType::SettlementsReport);
  CommitWith(TDocumentType::ChangeRegistration, fiscal::RegistrationRecord(Requisites(), u"1,3"));
  CommitWith(TDocumentType::CloseDrive, fiscal::RegistrationRecord(Requisites()));

  // The shift's counters and cash: a sale, its return and a correction of a
  // sale, 100.00 in and out again.
  const std::vector<TTapeLine> report = fiscal::FiscalTapeLines(closing, 32, false);
  EXPECT_TRUE(HasLine(report, u"", u"ОТЧЕТ О ЗАКРЫТИИ СМЕНЫ"));
  EXPECT_TRUE(HasLine(report, u"НАЛИЧНЫХ В КАССЕ", u" 204.80"));
  EXPECT_TRUE(HasLine(report, u"ЧЕКОВ ЗА СМЕНУ", u" 3"));
  const std::u16string text = Joined(report);
  EXPECT_NE(
      text.find(u"ПРИХОД\nЧЕКОВ                          1\nСУММА                     204.80\n"
                u"ЧЕКОВ КОРРЕКЦИИ                1\nСУММА КОРРЕКЦИЙ           204.80\n"
                u"ВОЗВРАТ ПРИХОДА\nЧЕКОВ                          1\nСУММА                     204.80\n"),
      std::u16string::npos)
      << Utf16ToUtf8(text);
  EXPECT_TRUE(HasLine(report, u"НЕПЕРЕДАННЫХ ФД", u" 0"));

  const std::vector<std::string> lines = Lines(memory_->Path());
  ASSERT_EQ(lines.size(), 12u);
  for (const std::string& line : lines)
    for (const int32_t width : {16, 33, 80}) {
      SCOPED_TRACE(line + " at " + std::to_string(width));
      for (const bool copy : {false, true}) {
        const std::vector<TTapeLine> tape = fiscal::FiscalTapeLines(line, width, copy);
        ASSERT_GT(tape.size(), 5u) << Utf16ToUtf8(Joined(tape));
        EXPECT_EQ(tape.back().Kind, TTapeKind::Cut);
        for (const TTapeLine& l : tape) {
          if (l.Kind == TTapeKind::Text) {
            EXPECT_LE(Characters(l.Text), static_cast<size_t>(width)) << Utf16ToUtf8(l.Text);
          }
        }
        // A copy is marked at its top and at its bottom, the original not at all.
        const bool topMarked = tape.front().Text.find(u"КОПИЯ") != std::u16string::npos;
        const bool bottomMarked = tape[tape.size() - 2].Text.find(u"КОПИЯ") != std::u16string::npos;
        EXPECT_EQ(topMarked, copy);
        EXPECT_EQ(bottomMarked, copy);
      }
    }
  // Widths out of range are the printer's nearest.
  for (const TTapeLine& l : fiscal::FiscalTapeLines(lines[0], 3, false)) {
    EXPECT_LE(Characters(l.Text), 16u);
  }
  EXPECT_EQ(fiscal::FiscalTapeLines(lines[0], 1000, false).back().Text.size(), 80u);
}

TEST_F(FiscalTape, ARegistrationFromParametersFiscal) {
  TParametersFiscal parameters;
  ASSERT_EQ(ReadParametersFiscal(u"<ParametersFiscal CashierName=\"Сидоров\" CashierINN=\"123456789012\" "
                                 u"KKTNumber=\"0000000001012345\" KKTSerialNumber=\"00106700000001\" "
                                 u"CompanyName=\"ООО Ромашка\" INN=\"7700000000\" TaxationSystems=\"0, 5\" "
                                 u"FFDVersion=\"1.05\" RegistrationLabelCodes=\"2,11\"/>",
                                 parameters),
            u"");
  const fiscal::TRequisites requisites = fiscal::RequisitesOf(parameters);
  const std::string line = CommitWith(TDocumentType::Registration, fiscal::RegistrationRecord(requisites));
  const std::vector<TTapeLine> tape = fiscal::FiscalTapeLines(line, 36, false);
  EXPECT_TRUE(HasLine(tape, u"", u"ОТЧЕТ О РЕГИСТРАЦИИ"));
  EXPECT_TRUE(HasLine(tape, u"", u"ООО Ромашка"));
  EXPECT_TRUE(HasLine(tape, u"ИНН", u" 7700000000"));
  EXPECT_TRUE(HasLine(tape, u"СНО:", u" ОСН, ПСН"));
  EXPECT_TRUE(HasLine(tape, u"ФФД", u" 1.05"));
  EXPECT_TRUE(HasLine(tape, u"КАССИР", u" Сидоров"));
  EXPECT_TRUE(HasLine(tape, u"ИНН КАССИРА", u" 123456789012"));
  EXPECT_TRUE(HasLine(tape, u"РН ККТ", u" 0000000001012345"));
  EXPECT_TRUE(HasLine(tape, u"ЗН ККТ", u" 00106700000001"));
  EXPECT_TRUE(HasLine(tape, u"ФД", u" 1"));
  const std::string change =
      CommitWith(TDocumentType::ChangeRegistration,
                 fiscal::RegistrationRecord(requisites, parameters.RegistrationLabelCodes));
  EXPECT_TRUE(HasLine(fiscal::FiscalTapeLines(change, 36, false), u"КОДЫ ПРИЧИН ИЗМЕНЕНИЯ", u" 2,11"));
}

TEST_F(FiscalTape, ADamagedLineGivesOneLineSayingSo) {
  RegisterAndOpen();
  const std::string good = CommitReceipt(ReadReceipt(kCheckPackage));
  ASSERT_GT(fiscal::FiscalTapeLines(good, 32, false).size(), 1u);
  const auto damaged = [](std::string_view line) {
    const std::vector<TTapeLine> tape = fiscal::FiscalTapeLines(line, 32, false);
    return tape.size() == 1 && tape[0].Text == fiscal::kBadJournalLineText;
  };
  // Every cut short, as a torn write leaves it.
  for (size_t size = 0; size < good.size(); ++size)
    EXPECT_TRUE(damaged(good.substr(0, size))) << size;
  const auto replaced = [&good](std::string_view from, std::string_view to) {
    std::string line = good;
    const size_t at = line.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return line.replace(at, from.size(), to);
  };
  const std::string hostile[] = {
      "",
      "null",
      "[]",
      R"({"type":"receipt"})",
      R"({"type":"no_such","1012":"2026-12-09T10:00:00"})",
      replaced("\"type\":\"receipt\"", "\"type\":7"),
      replaced("\"1012\":\"2026-12-09T", "\"1012\":\"2026-13-09T"),
      replaced("\"1020\":20480", "\"1020\":99999999999999999999999"),
      replaced("\"1020\":20480", "\"1020\":1e400"),
      replaced("\"1020\":20480", "\"1020\":\"20480\""),
      replaced("\"1054\":1", "\"1054\":9"),
      replaced("\"1023\":2.000", "\"1023\":\"2\""),
      replaced("\"1023\":2.000", "\"1023\":1e30"),
      replaced("\"1059\":[", "\"1059\":[7,"),
      replaced("\"1059\":[", "\"x\":" + std::string(100000, '[') + std::string(100000, ']') + ",\"1059\":["),
      replaced("\"1030\":\"", "\"1030\":{\"a\":\"\"},\"y\":\""),
      replaced("\"print\":[", "\"print\":[{\"after\":\"0\"},"),
      good + "x",
  };
  for (const std::string& line : hostile)
    EXPECT_TRUE(damaged(line)) << line.substr(0, 300);
  EXPECT_EQ(fiscal::ReceiptQrText(hostile[7]), "");
}

TEST_F(FiscalTape, AwkwardTextsSurviveTheJournal) {
  const std::u16string names[] = {
      u"Кофе \"Арабика\" 100% \\ зерно",
      u"tab\tline\nfeed\r\x01\x1f end",
      u"Подарок 😀🎁 набор",
      std::u16string(u"lone ") + char16_t(0xD800) + u" surrogate",
  };
  fiscal::TRequisites requisites = Requisites();
  requisites.CashierName = names[0] + names[1] + names[2];
  RegisterAndOpen();
  const std::string shiftLine = Lines(memory_->Path()).back();
  TReceipt receipt = ReadReceipt(kCheckPackage);
  for (size_t i = 0; i < std::size(names) && i < receipt.Positions.size(); ++i)
    (receipt.Positions[i].Kind == TPositionKind::Fiscal ? receipt.Positions[i].Line.Name
                                                        : receipt.Positions[i].Text) = names[i];
  const std::string line = CommitReceipt(receipt);
  ASSERT_FALSE(line.empty());
  EXPECT_EQ(line.find('\n'), std::string::npos);

  fiscal::json::TMembers members;
  ASSERT_TRUE(fiscal::json::ParseObject(line, members));
  std::vector<std::string> items;
  ASSERT_TRUE(fiscal::json::ParseArray(*fiscal::json::Find(members, "1059"), items));
  ASSERT_EQ(items.size(), 2u);
  fiscal::json::TMembers first;
  ASSERT_TRUE(fiscal::json::ParseObject(items[0], first));
  EXPECT_EQ(fiscal::json::String(first, "1030"), Utf16ToUtf8(names[0]));
  std::vector<std::string> print;
  ASSERT_TRUE(fiscal::json::ParseArray(*fiscal::json::Find(members, "print"), print));
  fiscal::json::TMembers text;
  ASSERT_TRUE(fiscal::json::ParseObject(print[0], text));
  EXPECT_EQ(fiscal::json::String(text, "text"), Utf16ToUtf8(names[1]));
  fiscal::json::TMembers second;
  ASSERT_TRUE(fiscal::json::ParseObject(items[1], second));
  EXPECT_EQ(fiscal::json::String(second, "1030"), Utf16ToUtf8(names[2]));
  EXPECT_EQ(fiscal::json::String(members, "1021"), "Иванова А.А."); // the receipt's cashier wins

  // On the tape: the same texts, control characters as blanks.
  const std::u16string tape = Joined(fiscal::FiscalTapeLines(line, 80, false));
  EXPECT_NE(tape.find(names[0]), std::u16string::npos);
  EXPECT_NE(tape.find(u"tab line"), std::u16string::npos);
  EXPECT_NE(tape.find(names[2]), std::u16string::npos);

  // Escapes the writer does not use are read too: surrogate pairs, and a
  // lone surrogate as the replacement character.
  EXPECT_EQ(fiscal::json::Unquote(R"("\u041a\ud83d\ude00\/\ud800x")"), "К😀/\xEF\xBF\xBDx");
  (void)shiftLine;
}

} // namespace
