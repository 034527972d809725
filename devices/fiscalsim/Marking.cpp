// The drive's reading of a marking code, the RequestKM reader, the answers of
// the marking methods and the control file's rules of the marking system.
#include "Marking.h"
#include "FiscalValues.h"

#include "DeviceSet.h"
#include "TextCodec.h"
#include "XmlCheck.h"

#include <cstring>

namespace fiscal {

namespace {

constexpr size_t kSerialMax = 20;
constexpr size_t kVariableFieldMax = 90;
constexpr size_t kShortFormLength = 29;

// The characters GS1 allows in a field: digits, Latin letters and a few signs.
bool IsGs1Character(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (c != '\0' && std::strchr("!\"%&'()*+,-./:;<=>?_", c) != nullptr);
}

bool AllDigits(std::string_view text) {
  for (const char c : text)
    if (c < '0' || c > '9')
      return false;
  return true;
}

TMarkingCode Refused(TMarkingCode code, std::u16string error) {
  code.Ok = false;
  code.Error = std::move(error);
  code.Gtin.clear();
  code.Serial.clear();
  return code;
}

// The full form from AI 01 on; Raw already set.
TMarkingCode ReadFullForm(TMarkingCode code, std::string_view s) {
  if (s.size() < 16 || !s.starts_with("01") || !AllDigits(s.substr(2, 14)))
    return Refused(std::move(code), u"нет GTIN: код должен начинаться с (01) и 14 цифр");
  if (!IsGtin14(s.substr(2, 14)))
    return Refused(std::move(code), u"неверная контрольная цифра GTIN " + Utf8ToUtf16(s.substr(2, 14)));
  code.Gtin = s.substr(2, 14);
  s.remove_prefix(16);
  if (!s.starts_with("21"))
    return Refused(std::move(code), u"нет серийного номера (21) после GTIN");
  s.remove_prefix(2);
  const size_t serialEnd = std::min(s.find(kGroupSeparator), s.size());
  const std::string_view serial = s.substr(0, serialEnd);
  if (serial.empty() || serial.size() > kSerialMax)
    return Refused(std::move(code), u"серийный номер (21) длиной " +
                                        Decimal(static_cast<long long>(serial.size())) +
                                        u" символов, ожидается от 1 до 20");
  for (const char c : serial)
    if (!IsGs1Character(c))
      return Refused(std::move(code), u"недопустимый символ в серийном номере (21)");
  code.Serial = serial;
  s.remove_prefix(serialEnd);
  bool key = false, check = false, shortCheck = false;
  while (!s.empty()) {
    if (s.front() == kGroupSeparator) {
      s.remove_prefix(1);
      continue;
    }
    if (s.starts_with("8005") || s.starts_with("3103")) {
      // Fixed fields of six digits: a tobacco price, a net weight.
      if (s.size() < 10 || !AllDigits(s.substr(4, 6)))
        return Refused(std::move(code), u"неверное поле (" + Utf8ToUtf16(s.substr(0, 4)) + u")");
      s.remove_prefix(10);
      continue;
    }
    const std::string_view ai = s.substr(0, 2);
    if (ai != "91" && ai != "92" && ai != "93")
      return Refused(std::move(code), u"неизвестный идентификатор применения после серийного номера: " +
                                          ShortMarkingCode(s, 8));
    s.remove_prefix(2);
    const size_t end = std::min(s.find(kGroupSeparator), s.size());
    const std::string_view value = s.substr(0, end);
    if (value.empty() || value.size() > kVariableFieldMax)
      return Refused(std::move(code), u"пустое или слишком длинное поле (" + Utf8ToUtf16(ai) + u")");
    for (const char c : value)
      if (!IsGs1Character(c))
        return Refused(std::move(code), u"недопустимый символ в поле (" + Utf8ToUtf16(ai) + u")");
    (ai == "91" ? key : ai == "92" ? check : shortCheck) = true;
    s.remove_prefix(end);
  }
  if (!(key && check) && !shortCheck)
    return Refused(std::move(code), u"нет кода проверки: ожидаются поля (91) и (92) или поле (93)");
  code.Ok = true;
  return code;
}

// The 29 characters of a tobacco pack: GTIN 14, serial 7, price 4, check 4.
bool ReadShortForm(TMarkingCode& code, std::string_view s) {
  if (s.size() != kShortFormLength || !AllDigits(s.substr(0, 14)) || !IsGtin14(s.substr(0, 14)))
    return false;
  for (const char c : s)
    if (!IsGs1Character(c))
      return false;
  code.Ok = true;
  code.Error.clear();
  code.ShortForm = true;
  code.Gtin = s.substr(0, 14);
  code.Serial = s.substr(14, 7);
  return true;
}

} // namespace

bool IsGtin14(std::string_view digits) {
  if (digits.size() != 14 || !AllDigits(digits))
    return false;
  int sum = 0;
  for (size_t k = 0; k < 13; ++k)
    sum += (digits[k] - '0') * (k % 2 == 0 ? 3 : 1);
  return (10 - sum % 10) % 10 == digits[13] - '0';
}

TMarkingCode ReadMarkingCode(std::string_view raw) {
  TMarkingCode code;
  code.Raw = raw;
  for (const char c : raw)
    if (c != kGroupSeparator &&
        (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e))
      return Refused(std::move(code), u"недопустимый символ в коде маркировки");
  std::string_view s = raw;
  for (const std::string_view prefix : {"]d2", "]C1", "]Q3"})
    if (s.starts_with(prefix))
      s.remove_prefix(prefix.size());
  if (s.starts_with(kGroupSeparator))
    s.remove_prefix(1);
  if (s.empty())
    return Refused(std::move(code), u"пустой код маркировки");
  TMarkingCode full = ReadFullForm(code, s);
  if (full.Ok || !ReadShortForm(code, s))
    return full;
  return code;
}

TMarkingCode ReadMarkingCodeBase64(std::string_view base64) {
  std::string raw;
  if (base64.empty() || !DecodeBase64(base64, raw)) {
    TMarkingCode code;
    code.Error = u"код маркировки не в Base64";
    return code;
  }
  return ReadMarkingCode(raw);
}

std::u16string ShortMarkingCode(std::string_view raw, size_t width) {
  std::u16string text;
  for (const char c : raw) {
    const unsigned char u = static_cast<unsigned char>(c);
    text += c == kGroupSeparator    ? std::u16string(u"<GS>")
            : u >= 0x20 && u < 0x7f ? std::u16string(1, c)
                                    : u"?";
  }
  if (width < 8 || text.size() <= width)
    return text;
  const size_t head = (width - 3) / 2 + (width - 3) % 2, tail = (width - 3) / 2;
  return text.substr(0, head) + u"..." + text.substr(text.size() - tail);
}

// ---------------------------------------------------------------------------
// The documents

namespace {

class TRequestKmCheck : public TXmlCheck {
public:
  explicit TRequestKmCheck(TRequestKm& request) : request_(request) {}

protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1) {
      if (!XmlNameIs(name, "requestkm"))
        return Fault(
            XmlFault(u"неверный корневой элемент \"" + Utf8ToUtf16(name) + u"\", ожидается \"RequestKM\""));
      const TAttributes a(attributes, u"RequestKM");
      const TReader r{a};
      std::u16string fault = r.Text(u"GUID", request_.Guid, true);
      if (fault.empty())
        fault = r.Text(u"MarkingCode", request_.MarkingCode, true);
      if (fault.empty())
        fault = r.Int(u"PlannedStatus", 1, 5, request_.PlannedStatus, true);
      if (fault.empty())
        fault = r.Fixed(u"Quantity", 3, false, request_.Quantity);
      if (fault.empty() && a.Find("quantity") != nullptr && *a.Find("quantity") != '\0' &&
          request_.Quantity == 0)
        fault = XmlAttributeFault(u"неверное значение атрибута", u"Quantity", u"RequestKM") +
                u", ожидается количество больше нуля";
      if (fault.empty())
        fault = r.Int(u"MeasureOfQuantity", 0, 255, request_.MeasureOfQuantity);
      if (fault.empty())
        fault = r.Bool(u"WaitForResult", request_.WaitForResult);
      if (fault.empty())
        fault = r.Bool(u"NotSendToServer", request_.NotSendToServer);
      if (!fault.empty())
        Fault(std::move(fault));
    }
  }

private:
  TRequestKm& request_;
};

} // namespace

std::u16string ReadRequestKm(std::u16string_view xml, TRequestKm& request) {
  request = TRequestKm{};
  std::u16string fault = TRequestKmCheck(request).Check(xml);
  if (!fault.empty())
    request = TRequestKm{};
  return fault;
}

std::u16string RequestKmResultXml(bool checking, bool checkingResult) {
  return std::u16string(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<RequestKMResult Checking=\"") +
         (checking ? u"true" : u"false") + u"\" CheckingResult=\"" + (checkingResult ? u"true" : u"false") +
         u"\"/>";
}

std::u16string ProcessingKmResultXml(const TProcessingKmResult& result) {
  std::u16string xml = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ProcessingKMResult GUID=\"" +
                       XmlEscape(result.Guid) + u"\" Result=\"" + (result.Result ? u"true" : u"false") +
                       u"\" ResultCode=\"" + Decimal(result.ResultCode) + u"\"";
  if (result.StatusInfo != 0)
    xml += u" StatusInfo=\"" + Decimal(result.StatusInfo) + u"\"";
  return xml + u" HandleCode=\"" + Decimal(result.HandleCode) + u"\"/>";
}

// ---------------------------------------------------------------------------
// The control file's rules

std::optional<TKmAnswer> ParseKmAnswer(std::u16string_view value, std::u16string& error) {
  TKmAnswer answer;
  bool kindGiven = false;
  const std::string text = Utf16ToUtf8(LowerAscii(value));
  const auto fail = [&](std::string_view part) {
    error = u"неверное правило \"" + Utf8ToUtf16(part) +
            u"\" (ожидается accept, reject, reject:<код 0-15>, delay:<секунды 0-3600>, unreachable через "
            u"запятую)";
    return std::nullopt;
  };
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    std::string_view part = std::string_view(text).substr(start, comma - start);
    while (!part.empty() && part.front() == ' ')
      part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ')
      part.remove_suffix(1);
    start = comma + 1;
    int32_t number = 0;
    if (part.empty())
      return fail(part);
    if (part == "accept" || part == "reject" || part == "unreachable" || part.starts_with("reject:")) {
      if (kindGiven)
        return fail(part);
      kindGiven = true;
      if (part == "accept") {
        answer.Kind = TKmAnswer::TKind::Accept;
      } else if (part == "unreachable") {
        answer.Kind = TKmAnswer::TKind::Unreachable;
      } else {
        answer.Kind = TKmAnswer::TKind::Reject;
        // The drive's check done and positive, the system's done and negative.
        answer.ResultCode = 7;
        if (part.size() > 7 && !ParseInt(part.substr(7), 0, 15, answer.ResultCode))
          return fail(part);
        if (part.size() == 7 && part.back() == ':')
          return fail(part);
      }
    } else if (part.starts_with("delay:") && ParseInt(part.substr(6), 0, 3600, number)) {
      answer.DelaySeconds = number;
    } else {
      return fail(part);
    }
  }
  return answer;
}

} // namespace fiscal
