// The fiscal register's documents without the host: what a receipt package
// reads into, the tolerances real callers need, parse errors with their
// position, each of the register's refusals, and the answers' exact text.
#include "FiscalDocuments.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kXml = "Ошибка разбора XML : ";

std::string Read(std::string_view xml, TReceipt* out = nullptr) {
  TReceipt receipt;
  const std::u16string fault = ReadCheckPackage(Utf8ToUtf16(xml), receipt);
  if (out != nullptr)
    *out = receipt;
  return Utf16ToUtf8(fault);
}

std::string
Package(std::string_view positions, std::string_view payments,
        std::string_view parameters = "CashierName=\"Иванов\" OperationType=\"1\" TaxationSystem=\"0\"") {
  return "<CheckPackage><Parameters " + std::string(parameters) + "/><Positions>" + std::string(positions) +
         "</Positions><Payments " + std::string(payments) + "/></CheckPackage>";
}

std::string Line(std::string_view quantity, std::string_view price, std::string_view amount,
                 std::string_view vat = "VATRate=\"20\" VATAmount=\"1\"") {
  return "<FiscalString Name=\"Товар\" Quantity=\"" + std::string(quantity) + "\" PriceWithDiscount=\"" +
         std::string(price) + "\" AmountWithDiscount=\"" + std::string(amount) + "\" " + std::string(vat) +
         "/>";
}

std::string Attr(std::string_view what, std::string_view attribute, std::string_view element) {
  return kXml + std::string(what) + " \"" + std::string(attribute) + "\" у элемента \"" +
         std::string(element) + "\"";
}

TEST(CheckPackage, ReadsATypedReceiptWithItsPositionsInOrder) {
  TReceipt r;
  ASSERT_EQ(
      Read("<?xml version=\"1.0\"?><CheckPackage><Parameters CashierName=\"Петров &amp; К\" "
           "CashierINN=\"123456789012\" OperationType=\"2\" TaxationSystem=\"1\" CustomerEmail=\"a@b.ru\" "
           "CustomerPhone=\"+79990000000\"><CorrectionData/><CustomerDetail Info=\"ООО Ромашка\" "
           "INN=\"7700000000\"/><AgentData/></Parameters><Positions>"
           "<TextString Text=\"Спасибо\"/>"
           "<FiscalString Name=\"Сыр\" Quantity=\"1,5\" PriceWithDiscount=\"200\" "
           "AmountWithDiscount=\"300.00\" "
           "DiscountAmount=\"-10.5\" Department=\"2\" VATRate=\"10/110\" VATAmount=\"27.27\" "
           "PaymentMethod=\"1\" "
           "CalculationSubject=\"30\" MeasureOfQuantity=\"11\" "
           "MarkingCode=\"MDEwNDYw\"><VendorData/></FiscalString>"
           "<Barcode Type=\"qr\" ValueBase64=\"0J/RgNC40LLQtdGC\"/><Barcode Type=\"EAN13\" "
           "Value=\"4600000000003\"/>"
           "</Positions><Payments Cash=\"100\" ElectronicPayment=\"50.5\" PrePayment=\"1\" PostPayment=\"2\" "
           "Barter=\"3\"/></CheckPackage>",
           &r),
      "");
  EXPECT_EQ(r.OperationType, TOperationType::SaleReturn);
  EXPECT_EQ(r.TaxationSystem, 1);
  EXPECT_EQ(r.CashierName, u"Петров & К");
  EXPECT_EQ(r.CashierINN, u"123456789012");
  EXPECT_EQ(r.CustomerInfo, u"ООО Ромашка");
  EXPECT_EQ(r.CustomerINN, u"7700000000");
  EXPECT_FALSE(r.HasCorrection); // present but empty: not given
  ASSERT_EQ(r.Positions.size(), 4u);
  EXPECT_EQ(r.Positions[0].Kind, TPositionKind::Text);
  EXPECT_EQ(r.Positions[0].Text, u"Спасибо");
  const TFiscalLine& l = r.Positions[1].Line;
  EXPECT_EQ(r.Positions[1].Kind, TPositionKind::Fiscal);
  EXPECT_EQ(l.Name, u"Сыр");
  EXPECT_EQ(l.Quantity, 1500);
  EXPECT_EQ(l.Price, 20000);
  EXPECT_EQ(l.Amount, 30000);
  EXPECT_EQ(l.Discount, -1050);
  EXPECT_EQ(l.Department, 2);
  EXPECT_EQ(l.VatRate, TVatRate::Vat10_110);
  EXPECT_TRUE(l.HasVatAmount);
  EXPECT_EQ(l.VatAmount, 2727);
  EXPECT_EQ(l.PaymentMethod, 1);
  EXPECT_EQ(l.CalculationSubject, 30);
  EXPECT_EQ(l.MeasureOfQuantity, 11);
  EXPECT_EQ(l.MarkingCode, u"MDEwNDYw");
  EXPECT_EQ(r.Positions[2].BarcodeType, u"QR");
  EXPECT_EQ(r.Positions[2].Text, u"Привет");
  EXPECT_EQ(r.Positions[3].BarcodeType, u"EAN13");
  EXPECT_EQ(r.Positions[3].Text, u"4600000000003");
  EXPECT_EQ(r.Payments.Cash, 10000);
  EXPECT_EQ(r.Payments.Electronic, 5050);
  EXPECT_EQ(r.Payments.Prepayment, 100);
  EXPECT_EQ(r.Payments.Postpayment, 200);
  EXPECT_EQ(r.Payments.Barter, 300);
}

TEST(CheckPackage, ToleratesWhatRealCallersSend) {
  TReceipt r;
  // Empty numeric attributes, names and booleans in any case, defaults.
  ASSERT_EQ(Read(Package("<fiscalstring name=\"x\" quantity=\"2.000\" pricewithdiscount=\"0,50\" "
                         "amountwithdiscount=\"1\" discountamount=\"\" vatrate=\"NONE\" vatamount=\"\"/>",
                         "Cash=\"\" ElectronicPayment=\"1.00\""),
                 &r),
            "");
  const TFiscalLine& l = r.Positions[0].Line;
  EXPECT_EQ(l.VatRate, TVatRate::None);
  EXPECT_FALSE(l.HasVatAmount);
  EXPECT_EQ(l.Discount, 0);
  EXPECT_EQ(l.PaymentMethod, 4);
  EXPECT_EQ(l.CalculationSubject, 1);
  EXPECT_EQ(l.MeasureOfQuantity, -1);
  EXPECT_EQ(r.Payments.Cash, 0);
  // A correction's data, and 3.x customer names on Parameters.
  ASSERT_EQ(
      Read("<CheckPackage><Parameters CashierName=\"К\" OperationType=\"1\" TaxationSystem=\"0\" "
           "CustomerInfo=\"Покупатель\"><CorrectionData Type=\"1\" Description=\"Предписание\" "
           "Date=\"2024-02-29T10:00:00\" Number=\"15\"/></Parameters><Positions/><Payments/></CheckPackage>",
           &r),
      "");
  EXPECT_TRUE(r.HasCorrection);
  EXPECT_EQ(r.Correction.Type, 1);
  EXPECT_EQ(r.Correction.Date, u"2024-02-29T10:00:00");
  EXPECT_EQ(r.Correction.Number, u"15");
  EXPECT_EQ(r.CustomerInfo, u"Покупатель");
}

TEST(CheckPackage, RefusesMalformedDocumentsNamingWhatAndWhere) {
  struct TCase {
    std::string Xml;
    std::string Fault;
  };
  const std::string ok = Line("1", "1", "1");
  const TCase cases[] = {
      {"<CheckPackage>\n<Parameters>",
       kXml + "(строка 2, позиция 13)"}, // prefix: the parser's own words follow
      {"<Receipt/>", kXml + "неверный корневой элемент \"Receipt\", ожидается \"CheckPackage\""},
      {"<CheckPackage><Parameters CashierName=\"a\" OperationType=\"1\" "
       "TaxationSystem=\"0\"/><Positions/></CheckPackage>",
       kXml + "не найден элемент \"Payments\""},
      {"<CheckPackage><Positions/><Positions/></CheckPackage>",
       kXml + "элемент \"Positions\" задан более одного раза"},
      {Package(ok, "", "OperationType=\"1\" TaxationSystem=\"0\""),
       Attr("не найден атрибут", "CashierName", "Parameters")},
      {Package(ok, "", "CashierName=\"a\" OperationType=\"5\" TaxationSystem=\"0\""),
       Attr("неверное значение атрибута", "OperationType", "Parameters")},
      {Package(ok, "", "CashierName=\"a\" OperationType=\"1\" TaxationSystem=\"6\""),
       Attr("неверное значение атрибута", "TaxationSystem", "Parameters")},
      {Package(ok, "", "CashierName=\"a\" OperationType=\"1\" TaxationSystem=\"0\" CashierINN=\"12345\""),
       Attr("неверное значение атрибута", "CashierINN", "Parameters") + ", ожидается ИНН из 10 или 12 цифр"},
      {Package(Line("1", "1", ""), ""),
       Attr("пустое значение атрибута", "AmountWithDiscount", "FiscalString")},
      {Package(Line("0", "1", "0"), ""),
       Attr("неверное значение атрибута", "Quantity", "FiscalString") + ", ожидается количество больше нуля"},
      {Package(Line("1", "1.005", "1"), ""),
       Attr("неверное значение атрибута", "PriceWithDiscount", "FiscalString")},
      {Package(Line("-1", "1", "1"), ""), Attr("неверное значение атрибута", "Quantity", "FiscalString")},
      {Package(Line("1", "1", "1,2,3"), ""),
       Attr("неверное значение атрибута", "AmountWithDiscount", "FiscalString")},
      {Package(Line("1", "1", "1", "VATAmount=\"1\""), ""),
       Attr("не найден атрибут", "VATRate", "FiscalString")},
      {Package(ok, "Cash=\"1e3\""), Attr("неверное значение атрибута", "Cash", "Payments")},
      {Package(ok, "Barter=\"-1\""), Attr("неверное значение атрибута", "Barter", "Payments")},
      {Package(ok, "Cash=\"99999999999999999999\""), Attr("неверное значение атрибута", "Cash", "Payments")},
      {Package("<TextString/>", ""), Attr("не найден атрибут", "Text", "TextString")},
      {Package("<Barcode Type=\"PDF417\" Value=\"1\"/>", ""),
       kXml + "неизвестный тип штрихкода у элемента \"Barcode\", ожидается EAN8, EAN13, CODE39 или QR"},
      {Package("<Barcode Type=\"QR\" Value=\"1\" ValueBase64=\"MQ==\"/>", ""),
       kXml + "атрибуты \"Value\" и \"ValueBase64\" заданы вместе у элемента \"Barcode\""},
      {Package("<Barcode Type=\"QR\" ValueBase64=\"M*==\"/>", ""),
       Attr("неверное значение атрибута", "ValueBase64", "Barcode") + ", ожидается Base64"},
      {Package("<Barcode Value=\"1\"/>", ""), Attr("не найден атрибут", "Type", "Barcode")},
      {"<CheckPackage><Parameters CashierName=\"a\" OperationType=\"1\" TaxationSystem=\"0\"><CorrectionData "
       "Type=\"0\" Date=\"2023-02-29T10:00:00\"/></Parameters><Positions/><Payments/></CheckPackage>",
       Attr("неверный формат даты в атрибуте", "Date", "CorrectionData")},
  };
  for (const TCase& c : cases) {
    TReceipt r;
    const std::string fault = Read(c.Xml, &r);
    if (c.Fault.ends_with(")"))
      EXPECT_TRUE(fault.starts_with(kXml) && fault.ends_with(c.Fault.substr(kXml.size()))) << fault;
    else
      EXPECT_EQ(fault, c.Fault) << c.Xml;
    EXPECT_TRUE(r.Positions.empty()) << c.Xml; // nothing half read
  }
}

// A registration with the general and the simplified systems.
TReceiptVerdict Judge(const std::string& xml, int64_t drawer = 0, bool correction = false) {
  TReceipt r;
  EXPECT_EQ(Read(xml, &r), "") << xml;
  TRegistration registration;
  registration.TaxationSystems = 0b11;
  return CheckReceiptRules(r, registration, drawer, correction);
}

TEST(ReceiptRules, AcceptsAndTotalsSalesWithChangeDiscountsAndSeveralRates) {
  // 3 x 33.33 = 99.99; 0.333 kg x 150.00 = 49.95; a discounted line.
  const std::string lines = Line("3", "33.33", "99.99", "VATRate=\"20\" VATAmount=\"16.67\"") +
                            Line("0.333", "150", "49.95", "VATRate=\"10\" VATAmount=\"4.54\"") +
                            "<FiscalString Name=\"Скидка\" Quantity=\"2\" PriceWithDiscount=\"45\" "
                            "AmountWithDiscount=\"90\" DiscountAmount=\"10\" VATRate=\"none\"/>";
  const TReceiptVerdict v = Judge(Package(lines, "Cash=\"200\" ElectronicPayment=\"39.94\""));
  ASSERT_EQ(v.Fault, TReceiptFault::None) << Utf16ToUtf8(v.Message);
  EXPECT_EQ(v.Totals.Total, 23994);
  EXPECT_EQ(v.Totals.Cash, 20000);
  EXPECT_EQ(v.Totals.Electronic, 3994);
  EXPECT_EQ(v.Totals.Change, 3994 + 20000 - 23994);
  EXPECT_EQ(v.Totals.AmountByRate[size_t(TVatRate::Vat20)], 9999);
  EXPECT_EQ(v.Totals.VatByRate[size_t(TVatRate::Vat20)], 1667);
  EXPECT_EQ(v.Totals.VatByRate[size_t(TVatRate::Vat10)], 454);
  EXPECT_EQ(v.Totals.AmountByRate[size_t(TVatRate::None)], 9000);
  // Rounding half up: 0.005 kg x 1.00 is half a kopeck, which makes one.
  EXPECT_EQ(Judge(Package(Line("0.005", "1", "0.01"), "Cash=\"0.01\"")).Fault, TReceiptFault::None);
  // A return paying out exactly the drawer's cash, the overpaid part coming back.
  const TReceiptVerdict back = Judge(Package(Line("1", "100", "100"), "Cash=\"150\"",
                                             "CashierName=\"a\" OperationType=\"2\" TaxationSystem=\"1\""),
                                     10000);
  EXPECT_EQ(back.Fault, TReceiptFault::None) << Utf16ToUtf8(back.Message);
  EXPECT_EQ(back.Totals.Change, 5000);
}

TEST(ReceiptRules, RefusesEachBrokenRuleInTheRegistersWords) {
  struct TCase {
    std::string Xml;
    int64_t Drawer;
    bool Correction;
    TReceiptFault Fault;
    std::string Message;
  };
  const std::string sale = "CashierName=\"a\" OperationType=\"1\" TaxationSystem=\"0\"";
  const std::string line = Line("1", "100", "100");
  const TCase cases[] = {
      {Package(line, "Cash=\"100\"", "CashierName=\"a\" OperationType=\"1\" TaxationSystem=\"2\""), 0, false,
       TReceiptFault::TaxationSystem, "ККТ не зарегистрирована с указанной СНО"},
      {Package(Line("1", "1", "1", "VATRate=\"12\" VATAmount=\"0\""), "Cash=\"1\""), 0, false,
       TReceiptFault::VatRate, "Неверная ставка НДС \"12\" (позиция 1)"},
      {Package(line + Line("1", "1", "1", "VATRate=\"20\" VATAmount=\"\""), "Cash=\"101\""), 0, false,
       TReceiptFault::VatAmount, "Не указана сумма НДС (позиция 2)"},
      {Package("<TextString Text=\"x\"/>", "Cash=\"1\""), 0, false, TReceiptFault::NoLines,
       "В чеке нет ни одной позиции"},
      {Package(Line("3", "33.33", "100"), "Cash=\"100\""), 0, false, TReceiptFault::LineAmount,
       "Сумма позиции не равна произведению цены на количество (позиция 1)"},
      {Package(Line("0.004", "1", "0.01"), "Cash=\"1\""), 0, false, TReceiptFault::LineAmount,
       "Сумма позиции не равна произведению цены на количество (позиция 1)"},
      {Package(Line("1000000000", "1000000000", "1"), "Cash=\"1\""), 0, false, TReceiptFault::LineAmount,
       "Сумма позиции не равна произведению цены на количество (позиция 1)"},
      {Package(line, "Cash=\"50\" ElectronicPayment=\"49.99\""), 0, false, TReceiptFault::Underpaid,
       "Чек оплачен не полностью"},
      {Package(line, "Cash=\"10\" ElectronicPayment=\"60\" Barter=\"40.01\""), 0, false,
       TReceiptFault::NonCashAboveTotal, "Сумма не наличных платежей превышает сумму чека"},
      {Package(line, "Cash=\"150\"", "CashierName=\"a\" OperationType=\"2\" TaxationSystem=\"0\""), 9999,
       false, TReceiptFault::NoCash, "Недостаточно наличных в кассе"},
      {Package(line, "Cash=\"100\"", "CashierName=\"a\" OperationType=\"3\" TaxationSystem=\"0\""), 9999,
       false, TReceiptFault::NoCash, "Недостаточно наличных в кассе"},
      {Package(line, "Cash=\"100\""), 0, true, TReceiptFault::NoCorrectionData,
       "Не заданы данные коррекции (CorrectionData)"},
      {Package(Line("1", "9999999999999", "9999999999999") + Line("1", "9999999999999", "9999999999999"),
               "Cash=\"1\""),
       0, false, TReceiptFault::None, ""}, // large but whole: refused only for being short
  };
  for (const TCase& c : cases) {
    const TReceiptVerdict v = Judge(c.Xml, c.Drawer, c.Correction);
    if (c.Fault == TReceiptFault::None) {
      EXPECT_EQ(v.Fault, TReceiptFault::Underpaid) << c.Xml;
      continue;
    }
    EXPECT_EQ(v.Fault, c.Fault) << c.Xml;
    EXPECT_EQ(Utf16ToUtf8(v.Message), c.Message) << c.Xml;
  }
  // Cash paid out by a purchase return or taken by a sale needs no drawer.
  EXPECT_EQ(Judge(Package(line, "Cash=\"100\"", "CashierName=\"a\" OperationType=\"4\" TaxationSystem=\"0\""))
                .Fault,
            TReceiptFault::None);
  EXPECT_EQ(Judge(Package(line, "Cash=\"100\"", sale), 0, false).Fault, TReceiptFault::None);
}

TEST(SmallDocuments, ReadInputAndFiscalParametersStrictly) {
  TInputParameters in;
  EXPECT_EQ(Utf16ToUtf8(ReadInputParameters(u"<InputParameters><Parameters CashierName=\"Кассир\" "
                                            u"CashierINN=\"\" PrintRequired=\"FALSE\"/></InputParameters>",
                                            in)),
            "");
  EXPECT_EQ(in.CashierName, u"Кассир");
  EXPECT_FALSE(in.PrintRequired);
  EXPECT_EQ(Utf16ToUtf8(ReadInputParameters(u"<InputParameters><Parameters/></InputParameters>", in)),
            Attr("не найден атрибут", "CashierName", "Parameters"));
  EXPECT_EQ(Utf16ToUtf8(ReadInputParameters(u"<InputParameters/>", in)),
            kXml + "не найден элемент \"Parameters\"");
  EXPECT_EQ(Utf16ToUtf8(ReadInputParameters(u"<InputParameters><Parameters CashierName=\"a\" "
                                            u"PrintRequired=\"yes\"/></InputParameters>",
                                            in)),
            Attr("неверное значение атрибута", "PrintRequired", "Parameters"));

  TParametersFiscal f;
  EXPECT_EQ(
      Utf16ToUtf8(ReadParametersFiscal(u"<ParametersFiscal CashierName=\"К\" CashierINN=\"123456789012\" "
                                       u"CompanyName=\"ООО\" INN=\"7700000000\" TaxationSystems=\"0, 1,5\" "
                                       u"AgentTypes=\"\" IsOnlineOnly=\"True\" IsMarking=\"1\" "
                                       u"DateTime=\"2024-01-31T23:59:59\" RegistrationReasonCode=\"4\" "
                                       u"FFDVersion=\"1.2\"/>",
                                       f)),
      "");
  EXPECT_EQ(f.Kkt.TaxationSystems, u"0, 1,5");
  EXPECT_TRUE(f.Kkt.IsOnline);
  EXPECT_TRUE(f.Kkt.IsMarking);
  EXPECT_EQ(f.RegistrationReasonCode, 4);
  for (const auto& [xml, fault] : {
           std::pair{u"<ParametersFiscal/>", Attr("не найден атрибут", "CashierName", "ParametersFiscal")},
           std::pair{u"<ParametersFiscal CashierName=\"a\" TaxationSystems=\"0,,1\"/>",
                     Attr("неверное значение атрибута", "TaxationSystems", "ParametersFiscal")},
           std::pair{u"<ParametersFiscal CashierName=\"a\" FFDVersion=\"2.0\"/>",
                     Attr("неверное значение атрибута", "FFDVersion", "ParametersFiscal") +
                         ", ожидается 1.0, 1.05, 1.1 или 1.2"},
           std::pair{u"<ParametersFiscal CashierName=\"a\" DateTime=\"2024-01-32T00:00:00\"/>",
                     Attr("неверный формат даты в атрибуте", "DateTime", "ParametersFiscal")},
           std::pair{u"<Parameters CashierName=\"a\"/>",
                     kXml + "неверный корневой элемент \"Parameters\", ожидается \"ParametersFiscal\""},
       })
    EXPECT_EQ(Utf16ToUtf8(ReadParametersFiscal(xml, f)), fault);
  EXPECT_TRUE(f.CashierName.empty()); // a refused document leaves nothing
}

constexpr char kHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

TEST(Writers, WriteTheExactAnswers) {
  TShiftOutput o;
  o.ShiftNumber = 7;
  o.CheckNumber = 120;
  o.ShiftClosingCheckNumber = 3;
  o.DateTime = u"2024-05-01T09:30:00";
  o.ShiftState = 2;
  o.Counters[0] = {2, 150050, 1, 1000};
  o.Counters[1] = {1, -5, 0, 0};
  o.CashBalance = 123456;
  o.BacklogDocumentsCounter = 4;
  o.BacklogDocumentFirstNumber = 117;
  o.FNOverflow = true;
  EXPECT_EQ(
      Utf16ToUtf8(OutputParametersXml(TShiftMethod::OpenShift, o)),
      std::string(kHead) +
          "<OutputParameters><Parameters ShiftNumber=\"7\" DateTime=\"2024-05-01T09:30:00\" ShiftState=\"2\" "
          "FNError=\"false\" FNOverflow=\"true\" FNFail=\"false\"/></OutputParameters>");
  const std::string tail =
      " CashBalance=\"1234.56\" BacklogDocumentsCounter=\"4\" BacklogDocumentFirstNumber=\"117\" "
      "BacklogDocumentFirstDateTime=\"0001-01-01T00:00:00\"";
  EXPECT_EQ(
      Utf16ToUtf8(OutputParametersXml(TShiftMethod::GetCurrentStatus, o)),
      std::string(kHead) +
          "<OutputParameters><Parameters ShiftNumber=\"7\" CheckNumber=\"120\" ShiftClosingCheckNumber=\"3\" "
          "ShiftState=\"2\"" +
          tail + "/></OutputParameters>");
  EXPECT_EQ(Utf16ToUtf8(OutputParametersXml(TShiftMethod::ReportCurrentStatusOfSettlements, o)),
            std::string(kHead) + "<OutputParameters><Parameters ShiftState=\"2\"" + tail +
                "/></OutputParameters>");
  const std::string close = Utf16ToUtf8(OutputParametersXml(TShiftMethod::CloseShift, o));
  EXPECT_EQ(close,
            std::string(kHead) +
                "<OutputParameters><Parameters ShiftNumber=\"7\" DateTime=\"2024-05-01T09:30:00\" "
                "ShiftState=\"2\"" +
                tail +
                " FNError=\"false\" FNOverflow=\"true\" FNFail=\"false\">"
                "<CountersOperationType1><Parameters CheckCount=\"2\" TotalChecksAmount=\"1500.50\" "
                "CorrectionCheckCount=\"1\" TotalCorrectionChecksAmount=\"10.00\"/></CountersOperationType1>"
                "<CountersOperationType2><Parameters CheckCount=\"1\" TotalChecksAmount=\"-0.05\" "
                "CorrectionCheckCount=\"0\" TotalCorrectionChecksAmount=\"0.00\"/></CountersOperationType2>"
                "<CountersOperationType3><Parameters CheckCount=\"0\" TotalChecksAmount=\"0.00\" "
                "CorrectionCheckCount=\"0\" TotalCorrectionChecksAmount=\"0.00\"/></CountersOperationType3>"
                "<CountersOperationType4><Parameters CheckCount=\"0\" TotalChecksAmount=\"0.00\" "
                "CorrectionCheckCount=\"0\" TotalCorrectionChecksAmount=\"0.00\"/></CountersOperationType4>"
                "</Parameters></OutputParameters>");

  EXPECT_EQ(Utf16ToUtf8(DocumentOutputParametersXml(
                {12, 345, 6, u"www.nalog.gov.ru", u"0123456789", u"2024-05-01T10:00:00"})),
            std::string(kHead) +
                "<DocumentOutputParameters><Parameters ShiftNumber=\"12\" CheckNumber=\"345\" "
                "ShiftClosingCheckNumber=\"6\" AddressSiteInspections=\"www.nalog.gov.ru\" "
                "FiscalSign=\"0123456789\" "
                "DateTime=\"2024-05-01T10:00:00\"/></DocumentOutputParameters>");

  TKktParameters k;
  k.KKTSerialNumber = u"0000000001";
  k.CompanyName = u"ООО \"Рога & копыта\" <Юг>";
  k.INN = u"7700000000";
  k.TaxationSystems = u"0,1";
  k.Fiscal = true;
  k.DateTime = u"2024-01-01T08:00:00";
  EXPECT_EQ(
      Utf16ToUtf8(TableParametersKktXml(k)),
      std::string(kHead) +
          "<Parameters KKTNumber=\"\" KKTSerialNumber=\"0000000001\" FirmwareVersion=\"\" Fiscal=\"true\" "
          "FFDVersionFN=\"\" FFDVersionKKT=\"\" FNSerialNumber=\"\" DocumentNumber=\"\" "
          "DateTime=\"2024-01-01T08:00:00\" CompanyName=\"ООО &quot;Рога &amp; копыта&quot; &lt;Юг&gt;\" "
          "INN=\"7700000000\" SaleAddress=\"\" SaleLocation=\"\" TaxationSystems=\"0,1\" IsOffline=\"false\" "
          "IsEncrypted=\"false\" IsService=\"false\" IsExcisable=\"false\" IsGambling=\"false\" "
          "IsLottery=\"false\" AgentTypes=\"\" BSOSing=\"false\" IsOnline=\"true\" "
          "IsAutomaticPrinter=\"false\" IsAutomatic=\"false\" IsMarking=\"false\" IsPawnshop=\"false\" "
          "IsAssurance=\"false\" AutomaticNumber=\"\" OFDCompany=\"\" OFDCompanyINN=\"\" FNSURL=\"\" "
          "SenderEmail=\"\"/>");
  // What the writer wrote, a reader reads back.
  TParametersFiscal back;
  std::u16string again = TableParametersKktXml(k);
  again.replace(again.find(u"<Parameters "), 12, u"<ParametersFiscal CashierName=\"a\" ");
  ASSERT_EQ(Utf16ToUtf8(ReadParametersFiscal(again, back)), "");
  EXPECT_EQ(back.Kkt.CompanyName, k.CompanyName);
  EXPECT_EQ(MoneyText(INT64_MIN), u"-92233720368547758.08");
}

} // namespace
