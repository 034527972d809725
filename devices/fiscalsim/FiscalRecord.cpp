// The journal members of each document (see FiscalRecord.h for the keys).
#include "FiscalRecord.h"

#include "Json.h"
#include "TextCodec.h"

#include <cstdlib>

namespace fiscal {

namespace {

// Writes one JSON object member by member.
class TObject {
public:
  TObject& Text(std::string_view key, std::u16string_view value) {
    if (!value.empty())
      Raw(key, json::Quote(Utf16ToUtf8(value)));
    return *this;
  }
  TObject& Int(std::string_view key, int64_t value) { return Raw(key, std::to_string(value)); }
  TObject& NonZero(std::string_view key, int64_t value) { return value != 0 ? Int(key, value) : *this; }
  TObject& Raw(std::string_view key, std::string_view value) {
    Text_ += Text_.size() > 1 ? ",\"" : "\"";
    Text_ += key;
    Text_ += "\":";
    Text_ += value;
    return *this;
  }
  std::string Done() const { return Text_ + "}"; }

private:
  std::string Text_ = "{";
};

// Thousandths as a JSON number with three decimals: 1500 is 1.500.
std::string Thousandths(int64_t value) {
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string fraction = std::to_string(magnitude % 1000);
  fraction.insert(0, 3 - fraction.size(), '0');
  return (value < 0 ? "-" : "") + std::to_string(magnitude / 1000) + "." + fraction;
}

// The comma list's codes in [0, 31] (others passed over).
std::vector<int> Codes(std::u16string_view list) {
  std::vector<int> codes;
  int value = -1;
  for (size_t i = 0; i <= list.size(); ++i) {
    const char16_t c = i < list.size() ? list[i] : u',';
    if (c >= u'0' && c <= u'9') {
      value = value < 0 ? c - u'0' : value * 10 + (c - u'0');
      if (value > 31)
        value = 99;
    } else if (c == u',') {
      if (value >= 0 && value <= 31)
        codes.push_back(value);
      value = -1;
    }
  }
  return codes;
}

int FormatVersionCode(std::u16string_view version) {
  if (version == u"1.0")
    return 1;
  if (version == u"1.05")
    return 2;
  if (version == u"1.1")
    return 3;
  if (version == u"1.2")
    return 4;
  return 0;
}

void Requisites(TObject& object, const TRequisites& r) {
  object.Text("1048", r.CompanyName)
      .Text("1018", r.Inn)
      .Text("1009", r.SaleAddress)
      .Text("1187", r.SaleLocation)
      .Text("1037", r.RegistrationNumber)
      .Text("1013", r.SerialNumber);
  if (const int code = FormatVersionCode(r.FormatVersion); code != 0)
    object.Int("1209", code);
  object.Text("1021", r.CashierName).Text("1203", r.CashierInn);
}

// The format's code of a rate, and whether it is one of the older 18% rates
// that share the codes of 20% and 20/120.
int VatCode(TVatRate rate, bool& older) {
  older = rate == TVatRate::Vat18 || rate == TVatRate::Vat18_118;
  switch (rate) {
  case TVatRate::Vat20:
  case TVatRate::Vat18:
    return 1;
  case TVatRate::Vat10:
    return 2;
  case TVatRate::Vat20_120:
  case TVatRate::Vat18_118:
    return 3;
  case TVatRate::Vat10_110:
    return 4;
  case TVatRate::Vat0:
    return 5;
  case TVatRate::None:
    return 6;
  default:
    return 0;
  }
}

// A line's marking data: the code, its GTIN and serial, the planned status,
// the result of the checks and the control file's rule that answered.
std::string MarkingMembers(const TLineMarking& m) {
  return TObject()
      .Raw("2000", json::Quote(m.Code))
      .Raw("gtin", json::Quote(m.Gtin))
      .Raw("serial", json::Quote(m.Serial))
      .Int("2003", m.PlannedStatus)
      .Int("2106", m.ResultCode)
      .Text("rule", m.Rule)
      .Done();
}

std::string_view BarcodeName(std::u16string_view type) {
  for (const std::string_view name : {"EAN8", "EAN13", "CODE39", "QR"})
    if (Utf16ToUtf8(type) == name)
      return name;
  return "QR";
}

} // namespace

TRequisites RequisitesOf(const TParametersFiscal& parameters) {
  const TKktParameters& kkt = parameters.Kkt;
  TRequisites r;
  r.CompanyName = kkt.CompanyName;
  r.Inn = kkt.INN;
  r.SaleAddress = kkt.SaleAddress;
  r.SaleLocation = kkt.SaleLocation;
  r.RegistrationNumber = kkt.KKTNumber;
  r.SerialNumber = kkt.KKTSerialNumber;
  r.FormatVersion = parameters.FFDVersion.empty() ? kkt.FFDVersionKKT : parameters.FFDVersion;
  r.TaxationSystems = kkt.TaxationSystems;
  r.CashierName = parameters.CashierName;
  r.CashierInn = parameters.CashierINN;
  return r;
}

std::string ReceiptRecord(const TRequisites& requisites, const TReceipt& receipt,
                          const TReceiptTotals& totals) {
  TRequisites r = requisites;
  for (auto [from, to] :
       {std::pair{&receipt.CashierName, &r.CashierName}, std::pair{&receipt.CashierINN, &r.CashierInn},
        std::pair{&receipt.SaleAddress, &r.SaleAddress}, std::pair{&receipt.SaleLocation, &r.SaleLocation}})
    if (!from->empty())
      *to = *from;
  TObject object;
  Requisites(object, r);
  if (receipt.TaxationSystem >= 0 && receipt.TaxationSystem <= kTaxationSystemMax)
    object.Int("1055", int64_t{1} << receipt.TaxationSystem);

  std::string lines = "[";
  std::string print = "[";
  int64_t fiscalLines = 0;
  bool rated[kVatRateCount] = {};
  for (const TPosition& position : receipt.Positions) {
    if (position.Kind != TPositionKind::Fiscal) {
      TObject item;
      item.Int("after", fiscalLines);
      if (position.Kind == TPositionKind::Text)
        item.Raw("text", json::Quote(Utf16ToUtf8(position.Text)));
      else
        item.Raw("barcode", json::Quote(BarcodeName(position.BarcodeType)))
            .Raw("value", json::Quote(Utf16ToUtf8(position.Text)));
      print += (print.size() > 1 ? "," : "") + item.Done();
      continue;
    }
    const TFiscalLine& line = position.Line;
    TObject item;
    item.Raw("1030", json::Quote(Utf16ToUtf8(line.Name)))
        .Int("1079", line.Price)
        .Raw("1023", Thousandths(line.Quantity))
        .Int("1043", line.Amount);
    bool older = false;
    if (const int code = VatCode(line.VatRate, older); code != 0) {
      item.Int("1199", code);
      if (older)
        item.Raw("vat18", "true");
      rated[static_cast<size_t>(line.VatRate)] = true;
    }
    if (line.HasVatAmount)
      item.Int("1200", line.VatAmount);
    item.Int("1214", line.PaymentMethod)
        .Int("1212", line.CalculationSubject)
        .NonZero("discount", line.Discount);
    if (line.Marking)
      item.Raw("km", MarkingMembers(*line.Marking));
    lines += (lines.size() > 1 ? "," : "") + item.Done();
    ++fiscalLines;
  }
  object.Raw("1059", lines + "]");
  // The totals of the rates the receipt has lines at.
  constexpr std::pair<TVatRate, std::string_view> kVatTags[] = {
      {TVatRate::Vat20, "1102"},     {TVatRate::Vat10, "1103"},  {TVatRate::Vat20_120, "1106"},
      {TVatRate::Vat10_110, "1107"}, {TVatRate::Vat18, "vat18"}, {TVatRate::Vat18_118, "vat18_118"}};
  for (const auto& [rate, tag] : kVatTags)
    if (rated[static_cast<size_t>(rate)])
      object.Int(tag, totals.VatByRate[static_cast<size_t>(rate)]);
  if (rated[static_cast<size_t>(TVatRate::Vat0)])
    object.Int("1104", totals.AmountByRate[static_cast<size_t>(TVatRate::Vat0)]);
  if (rated[static_cast<size_t>(TVatRate::None)])
    object.Int("1105", totals.AmountByRate[static_cast<size_t>(TVatRate::None)]);

  object.Text("1008", receipt.CustomerEmail.empty() ? receipt.CustomerPhone : receipt.CustomerEmail)
      .Text("1227", receipt.CustomerInfo)
      .Text("1228", receipt.CustomerINN);
  if (print.size() > 1)
    object.Raw("print", print + "]");
  if (receipt.HasCorrection) {
    const TCorrectionData& c = receipt.Correction;
    object.Int("1173", c.Type)
        .Raw("1174",
             TObject().Text("1177", c.Description).Text("1178", c.Date).Text("1179", c.Number).Done());
  }
  return object.Done();
}

std::string MarkingNoticeRecord(const TRequisites& requisites, const TReceipt& receipt,
                                int64_t receiptNumber) {
  TObject object;
  Requisites(object, requisites);
  object.Int("receipt", receiptNumber).Int("operation", static_cast<int64_t>(receipt.OperationType));
  std::string codes = "[";
  for (const TPosition& position : receipt.Positions)
    if (position.Kind == TPositionKind::Fiscal && position.Line.Marking)
      codes += (codes.size() > 1 ? "," : "") + MarkingMembers(*position.Line.Marking);
  if (codes.size() == 1)
    return {};
  object.Raw("codes", codes + "]");
  return object.Done();
}

std::string ShiftRecord(const TRequisites& requisites) {
  TObject object;
  Requisites(object, requisites);
  return object.Done();
}

std::string ReportRecord(TDocumentType type, const TRequisites& requisites, const TFiscalState& state) {
  TObject object;
  Requisites(object, requisites);
  if (type != TDocumentType::SettlementsReport) {
    std::string counters = "[";
    for (const TOperationCounters& c : state.Counters)
      counters +=
          (counters.size() > 1 ? "," : "") + TObject()
                                                 .Int("1135", c.CheckCount)
                                                 .Int("1201", c.TotalChecksAmount)
                                                 .Int("corrections", c.CorrectionCheckCount)
                                                 .Int("corrections_amount", c.TotalCorrectionChecksAmount)
                                                 .Done();
    object.Raw("counters", counters + "]");
    object.Int("1118", state.Shift != TShiftState::Closed ? state.NextReceiptNumber - 1 : 0);
  }
  object.Int("cash_balance", state.CashBalance).Int("1097", 0);
  return object.Done();
}

std::string RegistrationRecord(const TRequisites& requisites, std::u16string_view reasonCodes) {
  TObject object;
  Requisites(object, requisites);
  int64_t mask = 0;
  for (const int code : Codes(requisites.TaxationSystems))
    if (code <= kTaxationSystemMax)
      mask |= int64_t{1} << code;
  object.Int("1055", mask);
  if (const std::vector<int> codes = Codes(reasonCodes); !codes.empty()) {
    std::string list = "[";
    for (const int code : codes)
      list += (list.size() > 1 ? "," : "") + std::to_string(code);
    object.Raw("1205", list + "]");
  }
  return object.Done();
}

} // namespace fiscal
