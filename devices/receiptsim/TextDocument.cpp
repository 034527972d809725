// The text document check: the shared strict XML check with the document's
// own elements (Document, Positions, TextString, Barcode).
#include "TextDocument.h"

#include "TextCodec.h"
#include "XmlCheck.h"

#include <cstring>
#include <string>

namespace {

constexpr char16_t kBarcode[] = u"Barcode";
// An unknown type is named by its beginning.
constexpr size_t kShownTypeLimit = 32;

struct TBarcodeName {
  const char* Lower;
  TBarcodeType Type;
};
constexpr TBarcodeName kBarcodeNames[] = {
    {"ean8", TBarcodeType::EAN8},
    {"ean13", TBarcodeType::EAN13},
    {"code39", TBarcodeType::CODE39},
    {"qr", TBarcodeType::QR},
};

bool IsCode39Character(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') ||
         std::u16string_view(u" -.$/+%").find(c) != std::u16string_view::npos;
}

bool AllDigits(std::u16string_view text) {
  for (const char16_t c : text)
    if (c < u'0' || c > u'9')
      return false;
  return true;
}

// One Barcode's attributes: which of the two forms named the type and the value.
struct TBarcodeAttributes {
  const char* Type = nullptr;
  const char* Value = nullptr;
  const char16_t* TypeName = u"BarcodeType";
  const char16_t* ValueName = u"Barcode";
  std::u16string Clash; // both names of one thing were given
};

TBarcodeAttributes FindBarcodeAttributes(const char** attributes) {
  TBarcodeAttributes found;
  bool longType = false; // "BarcodeType" seen
  bool longValue = false;
  for (; attributes[0] != nullptr; attributes += 2) {
    const char* name = attributes[0];
    if (XmlNameIs(name, "barcodetype") || XmlNameIs(name, "type")) {
      const bool isLong = XmlNameIs(name, "barcodetype");
      if (found.Type != nullptr && isLong != longType)
        found.Clash = u"атрибуты \"BarcodeType\" и \"Type\" заданы вместе у элемента \"Barcode\"";
      found.Type = attributes[1];
      longType = isLong;
      found.TypeName = isLong ? u"BarcodeType" : u"Type";
    } else if (XmlNameIs(name, "barcode") || XmlNameIs(name, "value")) {
      const bool isLong = XmlNameIs(name, "barcode");
      if (found.Value != nullptr && isLong != longValue)
        found.Clash = u"атрибуты \"Barcode\" и \"Value\" заданы вместе у элемента \"Barcode\"";
      found.Value = attributes[1];
      longValue = isLong;
      found.ValueName = isLong ? u"Barcode" : u"Value";
    }
  }
  // A missing attribute is named in the form the element uses.
  if (found.Type == nullptr && found.Value != nullptr && !longValue)
    found.TypeName = u"Type";
  if (found.Value == nullptr && found.Type != nullptr && !longType)
    found.ValueName = u"Value";
  return found;
}

// The value of a barcode of type, checked; on success item holds it.
std::u16string CheckBarcodeValue(TBarcodeType type, const char* value, const char16_t* name,
                                 TPrintItem& item) {
  if (*value == 0)
    return XmlAttributeFault(u"пустое значение атрибута", name, kBarcode);
  if (type == TBarcodeType::QR) {
    if (std::strlen(value) > kQrValueLimit)
      return XmlAttributeFault(u"слишком длинное значение атрибута", name, kBarcode);
    item.Text = Utf8ToUtf16(value);
    return {};
  }
  std::u16string text = Utf8ToUtf16(value);
  if (type == TBarcodeType::CODE39) {
    for (const char16_t c : text)
      if (!IsCode39Character(c))
        return XmlAttributeFault(u"неверное значение атрибута", name, kBarcode);
    item.Text = std::move(text);
    return {};
  }
  const size_t digits = type == TBarcodeType::EAN8 ? 8 : 13;
  if (!AllDigits(text) || (text.size() != digits && text.size() != digits - 1))
    return XmlAttributeFault(u"неверное значение атрибута", name, kBarcode);
  const char16_t check = EanCheckDigit(std::u16string_view(text).substr(0, digits - 1));
  if (text.size() == digits - 1)
    text += check;
  else if (text.back() != check)
    return XmlAttributeFault(u"неверная контрольная цифра в значении атрибута", name, kBarcode);
  item.Text = std::move(text);
  return {};
}

std::u16string ReadBarcode(const char** attributes, TPrintItem& item) {
  const TBarcodeAttributes found = FindBarcodeAttributes(attributes);
  if (!found.Clash.empty())
    return XmlFault(found.Clash);
  if (found.Type == nullptr)
    return XmlAttributeFault(u"не найден атрибут", found.TypeName, kBarcode);
  if (found.Value == nullptr)
    return XmlAttributeFault(u"не найден атрибут", found.ValueName, kBarcode);
  item.Barcode = true;
  for (const TBarcodeName& known : kBarcodeNames)
    if (XmlNameIs(found.Type, known.Lower)) {
      item.Type = known.Type;
      return CheckBarcodeValue(known.Type, found.Value, found.ValueName, item);
    }
  std::u16string shown = Utf8ToUtf16(found.Type);
  if (shown.size() > kShownTypeLimit)
    shown = shown.substr(0, kShownTypeLimit) + u"...";
  return XmlFault(u"неизвестный тип штрихкода \"" + shown +
                  u"\" у элемента \"Barcode\", ожидается EAN8, EAN13, CODE39 или QR");
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
  switch (type) {
  case TBarcodeType::EAN8:
    return u"EAN8";
  case TBarcodeType::EAN13:
    return u"EAN13";
  case TBarcodeType::CODE39:
    return u"CODE39";
  case TBarcodeType::QR:
    return u"QR";
  }
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
