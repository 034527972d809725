// The goods-list check behind UploadGoods: the package status, then the XML
// document (root Table, Record elements with their attributes), stopping at
// the first fault. The parsing itself, and its messages, are the strict XML
// check's (XmlCheck.h).
//
// expat hands names and values over as UTF-8, compared with only the letters
// A-Z folded. Every test that decides (digits, "true"/"false", a decimal
// number, a non-empty name, the element and attribute names) is about ASCII
// characters, so the bytes give the same answers as the scale's 8-bit text
// would: a character outside ASCII never passes for a digit or a letter, and
// a name made only of such characters is still not empty.
#include "GoodsList.h"
#include "TextCodec.h"
#include "XmlCheck.h"

#include <array>
#include <string>

namespace {

bool AllDigits(const char* value) {
  if (*value == 0)
    return false;
  for (; *value != 0; ++value)
    if (*value < '0' || *value > '9')
      return false;
  return true;
}

bool IsTrueOrFalse(const char* value) {
  return XmlNameIs(value, "true") || XmlNameIs(value, "false");
}

// A decimal number whose separator is "." (or also "," when commaIsPoint).
bool IsDecimal(std::string_view text, bool commaIsPoint) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    ++i, ++digits;
  if (i < text.size() && (text[i] == '.' || (commaIsPoint && text[i] == ','))) {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
      ++i, ++digits;
  }
  return digits > 0 && i == text.size();
}

// Every "," reads as ".".
bool IsPrice(const char* value) {
  return IsDecimal(value, true);
}

std::u16string AttributeMessage(std::u16string_view what, std::u16string_view attribute) {
  return XmlAttributeFault(what, attribute, u"Record");
}

std::u16string BadValue(std::u16string_view attribute) {
  return AttributeMessage(u"неверное значение атрибута", attribute);
}

// The required attributes, in the order their absence is reported.
enum Required { kPLU, kCode, kIsWeightGoods, kName, kPrice, kRequiredCount };
constexpr std::array<std::u16string_view, kRequiredCount> kRequiredNames = {u"PLU", u"Code", u"IsWeightGoods",
                                                                            u"Name", u"Price"};

// An attribute name with A-Z lower-cased, when it is short enough to be one
// of the names the scale knows; anything longer reads as "".
class FoldedName {
public:
  explicit FoldedName(const char* name) {
    size_t n = 0;
    for (; name[n] != 0; ++n) {
      if (n == sizeof text_)
        return;
      text_[n] = FoldAscii(name[n]);
    }
    size_ = n;
  }
  bool operator==(std::string_view lower) const { return std::string_view(text_, size_) == lower; }

private:
  char text_[16];
  size_t size_ = 0;
};

// One Record: its attributes in document order (those the document type
// gives a default value to after them), then the required ones. attributes
// holds name and value pairs and ends with a null.
std::u16string CheckRecord(const char** attributes) {
  std::array<bool, kRequiredCount> present{};
  for (; attributes[0] != nullptr; attributes += 2) {
    const FoldedName name(attributes[0]);
    const char* value = attributes[1];
    if (name == "plu") {
      present[kPLU] = true;
      if (!AllDigits(value))
        return BadValue(u"PLU");
    } else if (name == "code") {
      present[kCode] = true;
      if (!AllDigits(value))
        return BadValue(u"Code");
    } else if (name == "isweightgoods") {
      present[kIsWeightGoods] = true;
      if (!IsTrueOrFalse(value))
        return BadValue(u"IsWeightGoods");
    } else if (name == "name") {
      present[kName] = true;
      if (*value == 0)
        return AttributeMessage(u"пустое значение атрибута", u"Name");
    } else if (name == "price") {
      present[kPrice] = true;
      if (!IsPrice(value))
        return BadValue(u"Price");
    } else if (name == "shelflife") {
      if (!AllDigits(value))
        return BadValue(u"ShelfLife");
    }
  }
  for (size_t k = 0; k < kRequiredCount; ++k)
    if (!present[k])
      return AttributeMessage(u"не найден атрибут", kRequiredNames[k]);
  return {};
}

// One check of one goods list: what the element handlers found.
class TGoodsCheck : public TXmlCheck {
protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1) {
      if (!XmlNameIs(name, "table"))
        Fault(XmlFault(u"неверный корневой элемент \"" + Utf8ToUtf16(name) + u"\", ожидается \"Table\""));
    } else if (depth == 2 && XmlNameIs(name, "record")) {
      seenRecord_ = true;
      std::u16string fault = CheckRecord(attributes);
      if (!fault.empty())
        Fault(std::move(fault));
    }
  }
  std::u16string Finish() override {
    return seenRecord_ ? std::u16string() : XmlFault(u"не найден элемент \"Record\"");
  }

private:
  bool seenRecord_ = false;
};

} // namespace

std::u16string CheckPackageStatus(std::u16string_view status) {
  const std::u16string lower = LowerCaseFull(status);
  if (lower == u"first" || lower == u"regular" || lower == u"last")
    return {};
  return u"Неверный статус пакета: \"" + lower + u"\"!";
}

bool IsDecimalNumber(std::string_view text) {
  return IsDecimal(text, false);
}

std::u16string CheckGoodsXml(std::u16string_view goods) {
  return TGoodsCheck().Check(goods);
}

std::u16string CheckGoodsUpload(std::u16string_view goods, std::u16string_view status) {
  std::u16string fault = CheckPackageStatus(status);
  if (!fault.empty())
    return fault;
  return CheckGoodsXml(goods);
}
