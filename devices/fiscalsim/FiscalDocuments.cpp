// The small documents: InputParameters and ParametersFiscal read with the
// shared XML check, and the documents the register answers with, built by
// plain concatenation with every text escaped.
#include "FiscalDocuments.h"
#include "FiscalValues.h"

#include "DeviceSet.h"
#include "TextCodec.h"
#include "XmlCheck.h"

#include <functional>

using fiscal::TAttributes;
using fiscal::TReader;

namespace {

constexpr char16_t kXmlHead[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
constexpr char16_t kEmptyDate[] = u"0001-01-01T00:00:00";
constexpr char16_t kFfdVersions[][5] = {u"1.0", u"1.05", u"1.1", u"1.2"};

// A document of one element of interest: the root named rootLower, or, when
// childLower is given, its child of that name (required), read by read.
class TSingleElementCheck : public TXmlCheck {
public:
  using TRead = std::function<std::u16string(const char** attributes)>;
  TSingleElementCheck(std::string_view rootLower, std::u16string_view root, std::string_view childLower,
                      std::u16string_view child, TRead read)
      : rootLower_(rootLower), root_(root), childLower_(childLower), child_(child), read_(std::move(read)) {}

protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1) {
      if (!XmlNameIs(name, rootLower_))
        return Fault(XmlFault(u"неверный корневой элемент \"" + Utf8ToUtf16(name) + u"\", ожидается \"" +
                              std::u16string(root_) + u"\""));
      if (childLower_.empty())
        Read(attributes);
    } else if (depth == 2 && !childLower_.empty() && XmlNameIs(name, childLower_)) {
      if (seen_)
        return Fault(XmlFault(u"элемент \"" + std::u16string(child_) + u"\" задан более одного раза"));
      Read(attributes);
    }
  }
  std::u16string Finish() override {
    return seen_ ? std::u16string() : XmlFault(u"не найден элемент \"" + std::u16string(child_) + u"\"");
  }

private:
  void Read(const char** attributes) {
    seen_ = true;
    std::u16string fault = read_(attributes);
    if (!fault.empty())
      Fault(std::move(fault));
  }

  std::string_view rootLower_;
  std::u16string_view root_;
  std::string_view childLower_;
  std::u16string_view child_;
  TRead read_;
  bool seen_ = false;
};

// Reads the attributes of the table (shared by ParametersFiscal).
std::u16string ReadKktParameters(const TReader& r, TKktParameters& p) {
  using TText = std::pair<std::u16string_view, std::u16string*>;
  for (const auto& [name, value] :
       {TText{u"KKTNumber", &p.KKTNumber}, TText{u"KKTSerialNumber", &p.KKTSerialNumber},
        TText{u"FirmwareVersion", &p.FirmwareVersion}, TText{u"FFDVersionFN", &p.FFDVersionFN},
        TText{u"FFDVersionKKT", &p.FFDVersionKKT}, TText{u"FNSerialNumber", &p.FNSerialNumber},
        TText{u"DocumentNumber", &p.DocumentNumber}, TText{u"CompanyName", &p.CompanyName},
        TText{u"SaleAddress", &p.SaleAddress}, TText{u"SaleLocation", &p.SaleLocation},
        TText{u"AutomaticNumber", &p.AutomaticNumber}, TText{u"OFDCompany", &p.OFDCompany},
        TText{u"FNSURL", &p.FNSURL}, TText{u"SenderEmail", &p.SenderEmail}})
    if (std::u16string fault = r.Text(name, *value); !fault.empty())
      return fault;
  using TFlag = std::pair<std::u16string_view, bool*>;
  for (const auto& [name, value] :
       {TFlag{u"Fiscal", &p.Fiscal}, TFlag{u"IsOffline", &p.IsOffline}, TFlag{u"IsEncrypted", &p.IsEncrypted},
        TFlag{u"IsService", &p.IsService}, TFlag{u"IsExcisable", &p.IsExcisable},
        TFlag{u"IsGambling", &p.IsGambling}, TFlag{u"IsLottery", &p.IsLottery}, TFlag{u"BSOSing", &p.BSOSing},
        TFlag{u"IsOnlineOnly", &p.IsOnline}, TFlag{u"IsOnline", &p.IsOnline},
        TFlag{u"IsAutomaticPrinter", &p.IsAutomaticPrinter}, TFlag{u"IsAutomatic", &p.IsAutomatic},
        TFlag{u"IsMarking", &p.IsMarking}, TFlag{u"IsPawnshop", &p.IsPawnshop},
        TFlag{u"IsAssurance", &p.IsAssurance}})
    if (std::u16string fault = r.Bool(name, *value); !fault.empty())
      return fault;
  std::u16string fault = r.Date(u"DateTime", p.DateTime);
  if (fault.empty())
    fault = r.Inn(u"INN", p.INN);
  if (fault.empty())
    fault = r.Inn(u"OFDCompanyINN", p.OFDCompanyINN);
  if (fault.empty())
    fault = r.Codes(u"TaxationSystems", 0, kTaxationSystemMax, p.TaxationSystems);
  if (fault.empty())
    fault = r.Codes(u"AgentTypes", 0, 6, p.AgentTypes);
  return fault;
}

void Attribute(std::u16string& xml, std::u16string_view name, std::u16string_view value) {
  xml += u' ';
  xml += name;
  xml += u"=\"";
  xml += XmlEscape(value);
  xml += u'"';
}
void Number(std::u16string& xml, std::u16string_view name, int64_t value) {
  Attribute(xml, name, Decimal(value));
}
void Money(std::u16string& xml, std::u16string_view name, int64_t kopecks) {
  Attribute(xml, name, MoneyText(kopecks));
}
void Flag(std::u16string& xml, std::u16string_view name, bool value) {
  Attribute(xml, name, value ? u"true" : u"false");
}
void Date(std::u16string& xml, std::u16string_view name, std::u16string_view value) {
  Attribute(xml, name, value.empty() ? std::u16string_view(kEmptyDate) : value);
}

} // namespace

std::u16string MoneyText(int64_t kopecks) {
  // The magnitude as unsigned, so that the lowest value too has one.
  const uint64_t magnitude =
      kopecks < 0 ? 0 - static_cast<uint64_t>(kopecks) : static_cast<uint64_t>(kopecks);
  std::u16string text = kopecks < 0 ? u"-" : u"";
  text += Decimal(static_cast<long long>(magnitude / 100));
  text += u'.';
  text += static_cast<char16_t>(u'0' + magnitude % 100 / 10);
  text += static_cast<char16_t>(u'0' + magnitude % 10);
  return text;
}

std::u16string ReadInputParameters(std::u16string_view xml, TInputParameters& parameters) {
  parameters = TInputParameters{};
  TInputParameters read;
  std::u16string fault =
      TSingleElementCheck("inputparameters", u"InputParameters", "parameters", u"Parameters",
                          [&read](const char** attributes) {
                            const TAttributes a(attributes, u"Parameters");
                            const TReader r{a};
                            std::u16string f = r.Text(u"CashierName", read.CashierName, true);
                            if (f.empty())
                              f = r.Inn(u"CashierINN", read.CashierINN);
                            if (f.empty())
                              f = r.Text(u"SaleAddress", read.SaleAddress);
                            if (f.empty())
                              f = r.Text(u"SaleLocation", read.SaleLocation);
                            if (f.empty())
                              f = r.Bool(u"PrintRequired", read.PrintRequired);
                            return f;
                          })
          .Check(xml);
  if (fault.empty())
    parameters = std::move(read);
  return fault;
}

std::u16string ReadParametersFiscal(std::u16string_view xml, TParametersFiscal& parameters) {
  parameters = TParametersFiscal{};
  TParametersFiscal read;
  std::u16string fault =
      TSingleElementCheck("parametersfiscal", u"ParametersFiscal", "", u"ParametersFiscal",
                          [&read](const char** attributes) {
                            const TAttributes a(attributes, u"ParametersFiscal");
                            const TReader r{a};
                            std::u16string f = r.Text(u"CashierName", read.CashierName, true);
                            if (f.empty())
                              f = r.Inn(u"CashierINN", read.CashierINN);
                            if (f.empty())
                              f = ReadKktParameters(r, read.Kkt);
                            if (f.empty())
                              f = r.Int(u"RegistrationReasonCode", 0, 99, read.RegistrationReasonCode);
                            if (f.empty())
                              f = r.Codes(u"RegistrationLabelCodes", 0, 99, read.RegistrationLabelCodes);
                            if (f.empty())
                              f = r.Text(u"FFDVersion", read.FFDVersion);
                            if (f.empty() && !read.FFDVersion.empty()) {
                              bool known = false;
                              for (const char16_t* version : kFfdVersions)
                                known = known || read.FFDVersion == version;
                              if (!known)
                                f = XmlAttributeFault(u"неверное значение атрибута", u"FFDVersion",
                                                      u"ParametersFiscal") +
                                    u", ожидается 1.0, 1.05, 1.1 или 1.2";
                            }
                            return f;
                          })
          .Check(xml);
  if (fault.empty())
    parameters = std::move(read);
  return fault;
}

std::u16string TableParametersKktXml(const TKktParameters& p) {
  std::u16string xml = kXmlHead;
  xml += u"<Parameters";
  Attribute(xml, u"KKTNumber", p.KKTNumber);
  Attribute(xml, u"KKTSerialNumber", p.KKTSerialNumber);
  Attribute(xml, u"FirmwareVersion", p.FirmwareVersion);
  Flag(xml, u"Fiscal", p.Fiscal);
  Attribute(xml, u"FFDVersionFN", p.FFDVersionFN);
  Attribute(xml, u"FFDVersionKKT", p.FFDVersionKKT);
  Attribute(xml, u"FNSerialNumber", p.FNSerialNumber);
  Attribute(xml, u"DocumentNumber", p.DocumentNumber);
  Date(xml, u"DateTime", p.DateTime);
  Attribute(xml, u"CompanyName", p.CompanyName);
  Attribute(xml, u"INN", p.INN);
  Attribute(xml, u"SaleAddress", p.SaleAddress);
  Attribute(xml, u"SaleLocation", p.SaleLocation);
  Attribute(xml, u"TaxationSystems", p.TaxationSystems);
  Flag(xml, u"IsOffline", p.IsOffline);
  Flag(xml, u"IsEncrypted", p.IsEncrypted);
  Flag(xml, u"IsService", p.IsService);
  Flag(xml, u"IsExcisable", p.IsExcisable);
  Flag(xml, u"IsGambling", p.IsGambling);
  Flag(xml, u"IsLottery", p.IsLottery);
  Attribute(xml, u"AgentTypes", p.AgentTypes);
  Flag(xml, u"BSOSing", p.BSOSing);
  Flag(xml, u"IsOnline", p.IsOnline);
  Flag(xml, u"IsAutomaticPrinter", p.IsAutomaticPrinter);
  Flag(xml, u"IsAutomatic", p.IsAutomatic);
  Flag(xml, u"IsMarking", p.IsMarking);
  Flag(xml, u"IsPawnshop", p.IsPawnshop);
  Flag(xml, u"IsAssurance", p.IsAssurance);
  Attribute(xml, u"AutomaticNumber", p.AutomaticNumber);
  Attribute(xml, u"OFDCompany", p.OFDCompany);
  Attribute(xml, u"OFDCompanyINN", p.OFDCompanyINN);
  Attribute(xml, u"FNSURL", p.FNSURL);
  Attribute(xml, u"SenderEmail", p.SenderEmail);
  xml += u"/>";
  return xml;
}

std::u16string OutputParametersXml(TShiftMethod method, const TShiftOutput& o) {
  const bool open = method == TShiftMethod::OpenShift;
  const bool close = method == TShiftMethod::CloseShift;
  const bool status = method == TShiftMethod::GetCurrentStatus;
  std::u16string xml = kXmlHead;
  xml += u"<OutputParameters><Parameters";
  if (open || close || status)
    Number(xml, u"ShiftNumber", o.ShiftNumber);
  if (status) {
    Number(xml, u"CheckNumber", o.CheckNumber);
    Number(xml, u"ShiftClosingCheckNumber", o.ShiftClosingCheckNumber);
  }
  if (open || close)
    Date(xml, u"DateTime", o.DateTime);
  Number(xml, u"ShiftState", o.ShiftState);
  if (!open) {
    Money(xml, u"CashBalance", o.CashBalance);
    Number(xml, u"BacklogDocumentsCounter", o.BacklogDocumentsCounter);
    Number(xml, u"BacklogDocumentFirstNumber", o.BacklogDocumentFirstNumber);
    Date(xml, u"BacklogDocumentFirstDateTime", o.BacklogDocumentFirstDateTime);
  }
  if (open || close) {
    Flag(xml, u"FNError", o.FNError);
    Flag(xml, u"FNOverflow", o.FNOverflow);
    Flag(xml, u"FNFail", o.FNFail);
  }
  if (!close) {
    xml += u"/></OutputParameters>";
    return xml;
  }
  xml += u'>';
  for (size_t i = 0; i < o.Counters.size(); ++i) {
    const TOperationCounters& c = o.Counters[i];
    const std::u16string name = u"CountersOperationType" + Decimal(static_cast<long long>(i + 1));
    xml += u'<' + name + u"><Parameters";
    Number(xml, u"CheckCount", c.CheckCount);
    Money(xml, u"TotalChecksAmount", c.TotalChecksAmount);
    Number(xml, u"CorrectionCheckCount", c.CorrectionCheckCount);
    Money(xml, u"TotalCorrectionChecksAmount", c.TotalCorrectionChecksAmount);
    xml += u"/></" + name + u'>';
  }
  xml += u"</Parameters></OutputParameters>";
  return xml;
}

std::u16string DocumentOutputParametersXml(const TDocumentOutput& o) {
  std::u16string xml = kXmlHead;
  xml += u"<DocumentOutputParameters><Parameters";
  Number(xml, u"ShiftNumber", o.ShiftNumber);
  Number(xml, u"CheckNumber", o.CheckNumber);
  Number(xml, u"ShiftClosingCheckNumber", o.ShiftClosingCheckNumber);
  Attribute(xml, u"AddressSiteInspections", o.AddressSiteInspections);
  Attribute(xml, u"FiscalSign", o.FiscalSign);
  Date(xml, u"DateTime", o.DateTime);
  xml += u"/></DocumentOutputParameters>";
  return xml;
}
