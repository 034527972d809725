// The text document check: the shared strict XML check with the document's
// own elements (Document, Positions, TextString, Barcode).
#include "TextDocument.h"

#include "Barcode.h"
#include "TextCodec.h"
#include "XmlCheck.h"

#include <cstring>
#include <iterator>
#include <string>

namespace {

constexpr char16_t kBarcode[] = u"Barcode";
// The most bytes any symbol of the newer types holds.
constexpr size_t kLongestNewerValue = 3116;
// An unknown type is named by its beginning.
constexpr size_t kShownTypeLimit = 32;

// The types in the order the unknown type's message lists them.
struct TBarcodeName {
  std::u16string_view Name;
  const char* Lower;
  TBarcodeType Type;
};
constexpr TBarcodeName kBarcodeNames[] = {
    {u"EAN8", "ean8", TBarcodeType::EAN8},
    {u"EAN13", "ean13", TBarcodeType::EAN13},
    {u"EAN128", "ean128", TBarcodeType::EAN128},
    {u"CODE39", "code39", TBarcodeType::CODE39},
    {u"Code128", "code128", TBarcodeType::CODE128},
    {u"Code16k", "code16k", TBarcodeType::CODE16K},
    {u"Code93", "code93", TBarcodeType::CODE93},
    {u"ITF14", "itf14", TBarcodeType::ITF14},
    {u"EAN13Addon2", "ean13addon2", TBarcodeType::EAN13Addon2},
    {u"EAN13Addon5", "ean13addon5", TBarcodeType::EAN13Addon5},
    {u"GS1DataBarExpandedStacked", "gs1databarexpandedstacked", TBarcodeType::GS1DataBarExpandedStacked},
    {u"PDF417", "pdf417", TBarcodeType::PDF417},
    {u"DataMatrix", "datamatrix", TBarcodeType::DataMatrix},
    {u"QR", "qr", TBarcodeType::QR},
};

// "A, B или C": the known types for the unknown type's message.
std::u16string KnownTypesText() {
  std::u16string text;
  const size_t last = std::size(kBarcodeNames) - 1;
  for (size_t i = 0; i <= last; ++i) {
    if (i > 0)
      text += i == last ? u" или " : u", ";
    text += kBarcodeNames[i].Name;
  }
  return text;
}

// What a value of a newer type holds, for its refusals.
std::u16string_view ExpectedText(TBarcodeType type) {
  switch (type) {
  case TBarcodeType::EAN128:
  case TBarcodeType::GS1DataBarExpandedStacked:
    return u", ожидаются данные GS1: идентификаторы применения в скобках и их значения, например "
           u"(01)04601234567893";
  case TBarcodeType::CODE128:
  case TBarcodeType::CODE16K:
    return u", ожидаются символы ASCII или Latin-1";
  case TBarcodeType::CODE93:
    return u", ожидаются символы ASCII";
  case TBarcodeType::ITF14:
    return u", ожидается 13 или 14 цифр";
  case TBarcodeType::EAN13Addon2:
    return u", ожидается EAN-13 и 2 цифры дополнения";
  case TBarcodeType::EAN13Addon5:
    return u", ожидается EAN-13 и 5 цифр дополнения";
  default:
    return u"";
  }
}

// The highest character a type's character set takes (0: any).
char16_t HighestCharacter(TBarcodeType type) {
  switch (type) {
  case TBarcodeType::CODE93:
    return 0x7F;
  case TBarcodeType::CODE128:
  case TBarcodeType::CODE16K:
    return 0xFF;
  default:
    return 0;
  }
}

bool IsCode39Character(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
         std::u16string_view(u" -.$/+%").find(c) != std::u16string_view::npos;
}

// The character at text[i] (a pair whole) for a message: in quotes, or as
// its code point when it is a control character that would not show.
std::u16string ShownCharacter(std::u16string_view text, size_t i) {
  const char16_t c = text[i];
  if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F))
    return u"\"" + std::u16string(text.substr(i, IsSurrogatePair(text, i) ? 2 : 1)) + u"\"";
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string code = u"U+00";
  code += kHex[c >> 4];
  code += kHex[c & 15];
  return code;
}

// The longest QR value in the message that refuses a longer one.
std::u16string QrLimitText() {
  return u", ожидается не более " + Decimal(kQrValueLimit) + u" байт в UTF-8";
}

bool AllDigits(std::u16string_view text) {
  for (const char16_t c : text)
    if (c < u'0' || c > u'9')
      return false;
  return true;
}

// One thing a Barcode names, by the attribute of either form: the first
// form's name ("BarcodeType", "Barcode") or the second's ("Type", "Value").
struct TEitherAttribute {
  std::u16string_view First;
  std::u16string_view Second;
  std::string_view FirstLower; // the names as XmlNameIs compares them
  std::string_view SecondLower;
  const char* Value = nullptr;
  bool InFirstForm = true; // the form the value was given in
  bool Clash = false;      // given in both forms

  // Takes the attribute when it is one of the two names.
  bool Take(const char* name, const char* value) {
    const bool first = XmlNameIs(name, FirstLower);
    if (!first && !XmlNameIs(name, SecondLower))
      return false;
    Clash = Clash || (Value != nullptr && first != InFirstForm);
    Value = value;
    InFirstForm = first;
    return true;
  }
  std::u16string_view Name() const { return InFirstForm ? First : Second; }
  std::u16string ClashText() const {
    return u"атрибуты \"" + std::u16string(First) + u"\" и \"" + std::u16string(Second) +
           u"\" заданы вместе у элемента \"Barcode\"";
  }
};

// One Barcode's type and value.
// The second form may give the value in Base64 instead ("ValueBase64").
struct TBarcodeAttributes {
  TEitherAttribute Type{u"BarcodeType", u"Type", "barcodetype", "type"};
  TEitherAttribute Value{u"Barcode", u"Value", "barcode", "value"};
  const char* Base64 = nullptr;
};

TBarcodeAttributes FindBarcodeAttributes(const char** attributes) {
  TBarcodeAttributes found;
  for (; attributes[0] != nullptr; attributes += 2)
    if (XmlNameIs(attributes[0], "valuebase64"))
      found.Base64 = attributes[1];
    else if (!found.Type.Take(attributes[0], attributes[1]))
      found.Value.Take(attributes[0], attributes[1]);
  // A missing attribute is named in the form the element uses.
  if (found.Type.Value == nullptr)
    found.Type.InFirstForm = found.Value.InFirstForm;
  if (found.Value.Value == nullptr)
    found.Value.InFirstForm = found.Type.InFirstForm;
  if (found.Base64 != nullptr && found.Type.Value == nullptr)
    found.Type.InFirstForm = false; // ValueBase64 is of the second form
  return found;
}

// A value of digits digits, the last the check digit; without it, it is
// added.
std::u16string CheckDigits(std::u16string& text, size_t digits, std::u16string_view name) {
  if (!AllDigits(text) || (text.size() != digits && text.size() != digits - 1))
    return XmlAttributeFault(u"неверное значение атрибута", name, kBarcode);
  const char16_t check = EanCheckDigit(std::u16string_view(text).substr(0, digits - 1));
  if (text.size() == digits - 1)
    text += check;
  else if (text.back() != check)
    return XmlAttributeFault(u"неверная контрольная цифра в значении атрибута", name, kBarcode);
  return {};
}

// A value of one of the newer types: its own form first (digits, add-ons,
// character sets, GS1's parentheses), then what zint makes of it.
std::u16string CheckNewerValue(TBarcodeType type, std::u16string text, std::u16string_view name,
                               TPrintItem& item) {
  const std::u16string_view expected = ExpectedText(type);
  const auto wrong = [&](std::u16string_view what) {
    return XmlAttributeFault(what, name, kBarcode) + std::u16string(expected);
  };
  if (const char16_t highest = HighestCharacter(type); highest != 0)
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] > highest)
        return wrong(u"недопустимый символ " + ShownCharacter(text, i) + u" в значении атрибута");
  if (type == TBarcodeType::ITF14) {
    std::u16string fault = CheckDigits(text, 14, name);
    if (!fault.empty())
      return fault + std::u16string(expected);
  } else if (type == TBarcodeType::EAN13Addon2 || type == TBarcodeType::EAN13Addon5) {
    // The add-on is the last digits; "+" or a blank may part it from the EAN.
    const size_t addon = type == TBarcodeType::EAN13Addon2 ? 2 : 5;
    if (text.size() <= addon)
      return wrong(u"неверное значение атрибута");
    std::u16string ean = text.substr(0, text.size() - addon);
    const std::u16string digits = text.substr(text.size() - addon);
    if (!ean.empty() && (ean.back() == u'+' || ean.back() == u' '))
      ean.pop_back();
    if (!AllDigits(digits))
      return wrong(u"неверное значение атрибута");
    std::u16string fault = CheckDigits(ean, 13, name);
    if (!fault.empty())
      return fault + std::u16string(expected);
    text = ean + u"+" + digits;
  } else if ((type == TBarcodeType::EAN128 || type == TBarcodeType::GS1DataBarExpandedStacked) &&
             text[0] != u'(' && text[0] != u'[') {
    return wrong(u"неверное значение атрибута");
  }
  // More than the largest symbol of any type holds (a DataMatrix of 3116
  // digits) is refused before zint works through it.
  TBarcodeRefusal refusal = TBarcodeRefusal::None;
  if (Utf16ToUtf8(text).size() > kLongestNewerValue)
    refusal = TBarcodeRefusal::TooLong;
  else
    (void)EncodeBarcode(type, text, kBarcodeMaxModules, &refusal);
  switch (refusal) {
  case TBarcodeRefusal::None:
    item.Text = std::move(text);
    return {};
  case TBarcodeRefusal::TooLong:
    return wrong(u"слишком длинное значение атрибута");
  case TBarcodeRefusal::CheckDigit:
    return wrong(u"неверная контрольная цифра в значении атрибута");
  case TBarcodeRefusal::InvalidData:
    break;
  }
  return wrong(u"неверное значение атрибута");
}

// The value of a barcode of type, checked; on success item holds it.
std::u16string CheckBarcodeValue(TBarcodeType type, const char* value, std::u16string_view name,
                                 TPrintItem& item) {
  if (*value == 0)
    return XmlAttributeFault(u"пустое значение атрибута", name, kBarcode);
  if (type == TBarcodeType::QR) {
    if (std::strlen(value) > kQrValueLimit)
      return XmlAttributeFault(u"слишком длинное значение атрибута", name, kBarcode) + QrLimitText();
    item.Text = Utf8ToUtf16(value);
    return {};
  }
  std::u16string text = Utf8ToUtf16(value);
  if (type == TBarcodeType::CODE39) {
    for (size_t i = 0; i < text.size(); ++i)
      if (!IsCode39Character(text[i]))
        return XmlAttributeFault(u"недопустимый символ " + ShownCharacter(text, i) + u" в значении атрибута",
                                 name, kBarcode) +
               u", ожидается 0-9, A-Z, пробел или - . $ / + %";
    item.Text = std::move(text);
    return {};
  }
  if (type == TBarcodeType::EAN8 || type == TBarcodeType::EAN13) {
    std::u16string fault = CheckDigits(text, type == TBarcodeType::EAN8 ? 8 : 13, name);
    if (fault.empty())
      item.Text = std::move(text);
    return fault;
  }
  return CheckNewerValue(type, std::move(text), name, item);
}

std::u16string ReadBarcode(const char** attributes, TPrintItem& item) {
  const TBarcodeAttributes found = FindBarcodeAttributes(attributes);
  for (const TEitherAttribute* either : {&found.Type, &found.Value})
    if (either->Clash)
      return XmlFault(either->ClashText());
  if (found.Base64 != nullptr && found.Value.Value != nullptr)
    return XmlFault(u"атрибуты \"" + std::u16string(found.Value.Name()) +
                    u"\" и \"ValueBase64\" заданы вместе у элемента \"Barcode\"");
  if (found.Type.Value == nullptr)
    return XmlAttributeFault(u"не найден атрибут", found.Type.Name(), kBarcode);
  if (found.Value.Value == nullptr && found.Base64 == nullptr)
    return XmlAttributeFault(u"не найден атрибут", found.Value.Name(), kBarcode);
  // A Base64 value is checked as the bytes it stands for; a zero byte in
  // them is no character of any barcode.
  std::string decoded;
  if (found.Base64 != nullptr &&
      (!DecodeBase64(found.Base64, decoded) || decoded.find('\0') != std::string::npos))
    return XmlAttributeFault(u"неверное значение атрибута", u"ValueBase64", kBarcode) + u", ожидается Base64";
  const char* value = found.Base64 != nullptr ? decoded.c_str() : found.Value.Value;
  const std::u16string_view valueName = found.Base64 != nullptr ? u"ValueBase64" : found.Value.Name();
  item.Barcode = true;
  for (const TBarcodeName& known : kBarcodeNames)
    if (XmlNameIs(found.Type.Value, known.Lower)) {
      item.Type = known.Type;
      return CheckBarcodeValue(known.Type, value, valueName, item);
    }
  std::u16string shown = Utf8ToUtf16(found.Type.Value);
  if (shown.size() > kShownTypeLimit)
    shown = shown.substr(0, kShownTypeLimit) + u"...";
  return XmlFault(u"неизвестный тип штрихкода \"" + shown + u"\" у элемента \"Barcode\", ожидается " +
                  KnownTypesText());
}

class TDocumentCheck : public TXmlCheck {
public:
  explicit TDocumentCheck(std::vector<TPrintItem>& items) : items_(items) {}

protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1) {
      if (!XmlNameIs(name, "document"))
        Fault(XmlFault(u"неверный корневой элемент \"" + Utf8ToUtf16(name) + u"\", ожидается \"Document\""));
    } else if (depth == 2 && XmlNameIs(name, "positions")) {
      seenPositions_ = true;
      inPositions_ = true;
    } else if (depth == 3 && inPositions_) {
      if (XmlNameIs(name, "textstring"))
        ReadText(attributes);
      else if (XmlNameIs(name, "barcode")) {
        TPrintItem item;
        std::u16string fault = ReadBarcode(attributes, item);
        if (fault.empty())
          items_.push_back(std::move(item));
        else
          Fault(std::move(fault));
      }
    }
  }
  void OnEnd(size_t depth) override {
    if (depth == 2)
      inPositions_ = false;
  }
  std::u16string Finish() override {
    return seenPositions_ ? std::u16string() : XmlFault(u"не найден элемент \"Positions\"");
  }

private:
  void ReadText(const char** attributes) {
    const char* text = nullptr;
    for (; attributes[0] != nullptr; attributes += 2)
      if (XmlNameIs(attributes[0], "text"))
        text = attributes[1];
    if (text == nullptr)
      return Fault(XmlAttributeFault(u"не найден атрибут", u"Text", u"TextString"));
    items_.push_back(TPrintItem{false, TBarcodeType::EAN13, Utf8ToUtf16(text)});
  }

  std::vector<TPrintItem>& items_;
  bool seenPositions_ = false;
  bool inPositions_ = false;
};

} // namespace

std::u16string_view BarcodeTypeName(TBarcodeType type) {
  for (const TBarcodeName& known : kBarcodeNames)
    if (known.Type == type)
      return known.Name;
  return u"";
}

char16_t EanCheckDigit(std::u16string_view digits) {
  // Weights 3 and 1 alternate from the rightmost digit.
  int sum = 0;
  int weight = 3;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    sum += (*it - u'0') * weight;
    weight = 4 - weight;
  }
  return static_cast<char16_t>(u'0' + (10 - sum % 10) % 10);
}

std::u16string ReadTextDocument(std::u16string_view xml, std::vector<TPrintItem>& items) {
  items.clear();
  std::u16string fault = TDocumentCheck(items).Check(xml);
  if (!fault.empty())
    items.clear();
  return fault;
}
