// The CheckPackage reader: the shared strict XML check with the receipt's own
// elements. Parameters (with CorrectionData and CustomerDetail), Positions
// (FiscalString, TextString, Barcode in document order) and Payments.
#include "FiscalDocuments.h"
#include "FiscalValues.h"

#include "TextCodec.h"
#include "XmlCheck.h"

#include <cstring>

using fiscal::TAttributes;
using fiscal::TReader;

namespace {

constexpr int kMoney = 2;    // kopecks
constexpr int kQuantity = 3; // thousandths

struct TVatName {
  const char* Lower;
  TVatRate Rate;
};
constexpr TVatName kVatNames[] = {
    {"none", TVatRate::None},        {"20", TVatRate::Vat20},         {"18", TVatRate::Vat18},
    {"10", TVatRate::Vat10},         {"0", TVatRate::Vat0},           {"20/120", TVatRate::Vat20_120},
    {"18/118", TVatRate::Vat18_118}, {"10/110", TVatRate::Vat10_110},
};

constexpr const char16_t* kBarcodeTypes[] = {u"EAN8", u"EAN13", u"CODE39", u"QR"};

bool HasAttributes(const char** attributes) {
  return attributes[0] != nullptr;
}

class TPackageCheck : public TXmlCheck {
public:
  explicit TPackageCheck(TReceipt& receipt) : receipt_(receipt) {}

protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1) {
      if (!XmlNameIs(name, "checkpackage"))
        Fault(XmlFault(u"неверный корневой элемент \"" + Utf8ToUtf16(name) +
                       u"\", ожидается \"CheckPackage\""));
      return;
    }
    if (depth == 2) {
      section_ = Section::Other;
      if (XmlNameIs(name, "parameters"))
        Enter(Section::Parameters, seenParameters_, u"Parameters", attributes);
      else if (XmlNameIs(name, "positions"))
        Enter(Section::Positions, seenPositions_, u"Positions", attributes);
      else if (XmlNameIs(name, "payments"))
        Enter(Section::Payments, seenPayments_, u"Payments", attributes);
      return;
    }
    if (depth != 3)
      return;
    if (section_ == Section::Parameters) {
      if (XmlNameIs(name, "correctiondata"))
        Report(ReadCorrection(attributes));
      else if (XmlNameIs(name, "customerdetail"))
        Report(ReadCustomer(attributes));
    } else if (section_ == Section::Positions) {
      if (XmlNameIs(name, "fiscalstring"))
        Report(ReadLine(attributes));
      else if (XmlNameIs(name, "textstring"))
        Report(ReadText(attributes));
      else if (XmlNameIs(name, "barcode"))
        Report(ReadBarcode(attributes));
    }
  }
  void OnEnd(size_t depth) override {
    if (depth == 2)
      section_ = Section::Other;
  }
  std::u16string Finish() override {
    for (const auto& [seen, name] :
         {std::pair{seenParameters_, u"Parameters"}, std::pair{seenPositions_, u"Positions"},
          std::pair{seenPayments_, u"Payments"}})
      if (!seen)
        return XmlFault(u"не найден элемент \"" + std::u16string(name) + u"\"");
    return {};
  }

private:
  enum class Section { Other, Parameters, Positions, Payments };

  void Report(std::u16string fault) {
    if (!fault.empty())
      Fault(std::move(fault));
  }

  void Enter(Section section, bool& seen, std::u16string_view name, const char** attributes) {
    if (seen)
      return Fault(XmlFault(u"элемент \"" + std::u16string(name) + u"\" задан более одного раза"));
    seen = true;
    section_ = section;
    if (section == Section::Parameters)
      Report(ReadParameters(attributes));
    else if (section == Section::Payments)
      Report(ReadPayments(attributes));
  }

  std::u16string ReadParameters(const char** attributes) {
    const TAttributes a(attributes, u"Parameters");
    const TReader r{a};
    int32_t operation = 0;
    std::u16string fault = r.Text(u"CashierName", receipt_.CashierName, true);
    if (fault.empty())
      fault = r.Int(u"OperationType", 1, 4, operation, true);
    if (fault.empty())
      fault = r.Int(u"TaxationSystem", 0, kTaxationSystemMax, receipt_.TaxationSystem, true);
    if (fault.empty())
      fault = r.Inn(u"CashierINN", receipt_.CashierINN);
    if (fault.empty())
      fault = r.Text(u"CustomerEmail", receipt_.CustomerEmail);
    if (fault.empty())
      fault = r.Text(u"CustomerPhone", receipt_.CustomerPhone);
    if (fault.empty())
      fault = r.Text(u"CustomerInfo", receipt_.CustomerInfo);
    if (fault.empty())
      fault = r.Inn(u"CustomerINN", receipt_.CustomerINN);
    if (fault.empty())
      fault = r.Text(u"SaleAddress", receipt_.SaleAddress);
    if (fault.empty())
      fault = r.Text(u"SaleLocation", receipt_.SaleLocation);
    int32_t agent = 0;
    if (fault.empty())
      fault = r.Int(u"AgentType", 0, 6, agent);
    receipt_.OperationType = static_cast<TOperationType>(operation);
    return fault;
  }

  std::u16string ReadCorrection(const char** attributes) {
    if (!HasAttributes(attributes)) // present but empty: not given
      return {};
    const TAttributes a(attributes, u"CorrectionData");
    const TReader r{a};
    TCorrectionData& c = receipt_.Correction;
    std::u16string fault = r.Int(u"Type", 0, 1, c.Type, true);
    if (fault.empty())
      fault = r.Text(u"Description", c.Description);
    if (fault.empty())
      fault = r.Date(u"Date", c.Date);
    if (fault.empty())
      fault = r.Text(u"Number", c.Number);
    receipt_.HasCorrection = true;
    return fault;
  }

  std::u16string ReadCustomer(const char** attributes) {
    const TAttributes a(attributes, u"CustomerDetail");
    const TReader r{a};
    std::u16string fault = r.Text(u"Info", receipt_.CustomerInfo);
    if (fault.empty())
      fault = r.Inn(u"INN", receipt_.CustomerINN);
    return fault;
  }

  std::u16string ReadLine(const char** attributes) {
    const TAttributes a(attributes, u"FiscalString");
    const TReader r{a};
    TPosition position;
    position.Kind = TPositionKind::Fiscal;
    TFiscalLine& line = position.Line;
    std::u16string fault = r.Text(u"Name", line.Name, true);
    if (fault.empty())
      fault = r.Fixed(u"Quantity", kQuantity, false, line.Quantity, true);
    if (fault.empty() && line.Quantity == 0)
      fault = XmlAttributeFault(u"неверное значение атрибута", u"Quantity", u"FiscalString") +
              u", ожидается количество больше нуля";
    if (fault.empty())
      fault = r.Fixed(u"PriceWithDiscount", kMoney, false, line.Price, true);
    if (fault.empty())
      fault = r.Fixed(u"AmountWithDiscount", kMoney, false, line.Amount, true);
    if (fault.empty())
      fault = r.Fixed(u"DiscountAmount", kMoney, true, line.Discount);
    if (fault.empty())
      fault = r.Int(u"Department", 0, 9999, line.Department);
    if (fault.empty())
      fault = r.Text(u"VATRate", line.VatRateText, true);
    if (fault.empty())
      fault = r.Fixed(u"VATAmount", kMoney, false, line.VatAmount, false, &line.HasVatAmount);
    if (fault.empty())
      fault = r.Int(u"PaymentMethod", 1, 7, line.PaymentMethod);
    if (fault.empty()) {
      fault = r.Int(u"CalculationSubject", 1, 33, line.CalculationSubject);
      if (fault.empty() && (line.CalculationSubject == 28 || line.CalculationSubject == 29))
        fault = XmlAttributeFault(u"неверное значение атрибута", u"CalculationSubject", u"FiscalString");
    }
    if (fault.empty())
      fault = r.Int(u"MeasureOfQuantity", 0, 255, line.MeasureOfQuantity);
    if (fault.empty())
      fault = r.Text(u"MarkingCode", line.MarkingCode);
    if (!fault.empty())
      return fault;
    const std::string rate = Utf16ToUtf8(line.VatRateText);
    for (const TVatName& known : kVatNames)
      if (XmlNameIs(rate.c_str(), known.Lower))
        line.VatRate = known.Rate;
    receipt_.Positions.push_back(std::move(position));
    return {};
  }

  std::u16string ReadText(const char** attributes) {
    const TAttributes a(attributes, u"TextString");
    TPosition position;
    std::u16string fault = TReader{a}.Text(u"Text", position.Text, false);
    if (fault.empty() && a.Find("text") == nullptr)
      fault = XmlAttributeFault(u"не найден атрибут", u"Text", u"TextString");
    if (fault.empty())
      receipt_.Positions.push_back(std::move(position));
    return fault;
  }

  std::u16string ReadBarcode(const char** attributes) {
    const TAttributes a(attributes, u"Barcode");
    const char* type = a.Find("type");
    const char* plain = a.Find("value");
    const char* base64 = a.Find("valuebase64");
    if (type == nullptr)
      return XmlAttributeFault(u"не найден атрибут", u"Type", u"Barcode");
    if (plain != nullptr && base64 != nullptr)
      return XmlFault(u"атрибуты \"Value\" и \"ValueBase64\" заданы вместе у элемента \"Barcode\"");
    if (plain == nullptr && base64 == nullptr)
      return XmlAttributeFault(u"не найден атрибут", u"ValueBase64", u"Barcode");
    TPosition position;
    position.Kind = TPositionKind::Barcode;
    for (const char16_t* known : kBarcodeTypes)
      if (EqualIgnoringAsciiCase(Utf8ToUtf16(type), known))
        position.BarcodeType = known;
    if (position.BarcodeType.empty())
      return XmlFault(
          u"неизвестный тип штрихкода у элемента \"Barcode\", ожидается EAN8, EAN13, CODE39 или QR");
    const std::u16string_view valueName = plain != nullptr ? u"Value" : u"ValueBase64";
    std::string bytes;
    if (plain != nullptr)
      bytes = plain;
    else if (!DecodeBase64(base64, bytes))
      return XmlAttributeFault(u"неверное значение атрибута", valueName, u"Barcode") + u", ожидается Base64";
    if (bytes.empty())
      return XmlAttributeFault(u"пустое значение атрибута", valueName, u"Barcode");
    position.Text = Utf8ToUtf16(bytes);
    receipt_.Positions.push_back(std::move(position));
    return {};
  }

  std::u16string ReadPayments(const char** attributes) {
    const TAttributes a(attributes, u"Payments");
    const TReader r{a};
    TPayments& p = receipt_.Payments;
    std::u16string fault = r.Fixed(u"Cash", kMoney, false, p.Cash);
    if (fault.empty())
      fault = r.Fixed(u"ElectronicPayment", kMoney, false, p.Electronic);
    if (fault.empty())
      fault = r.Fixed(u"PrePayment", kMoney, false, p.Prepayment);
    if (fault.empty())
      fault = r.Fixed(u"PostPayment", kMoney, false, p.Postpayment);
    if (fault.empty())
      fault = r.Fixed(u"Barter", kMoney, false, p.Barter);
    return fault;
  }

  TReceipt& receipt_;
  Section section_ = Section::Other;
  bool seenParameters_ = false;
  bool seenPositions_ = false;
  bool seenPayments_ = false;
};

} // namespace

std::u16string ReadCheckPackage(std::u16string_view xml, TReceipt& receipt) {
  receipt = TReceipt{};
  std::u16string fault = TPackageCheck(receipt).Check(xml);
  if (!fault.empty())
    receipt = TReceipt{};
  return fault;
}
