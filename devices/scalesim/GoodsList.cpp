// The goods-list check behind UploadGoods: the package status, then the XML
// document (root Table, Record elements with their attributes), stopping at
// the first fault.
//
// Names and values are compared as UTF-8 bytes with only the letters A-Z
// folded. Every test that decides (digits, "true"/"false", a decimal number,
// a non-empty name, the element and attribute names) is about ASCII
// characters, so the bytes give the same answers as the scale's 8-bit text
// would: a character outside ASCII never passes for a digit or a letter, and
// a name made only of such characters is still not empty.
#include "GoodsList.h"
#include "v8napi.h"

#include <pugixml.hpp>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr char16_t kXmlError[] = u"Ошибка разбора XML : ";

// pugixml: entities are never expanded beyond the five predefined ones and
// character references, so a document type with entity declarations (an
// "entity bomb") parses quickly and its references stay literal text.
// parse_default also leaves processing instructions and the declaration out
// of the tree and turns tabs and line breaks in attribute values into blanks.
constexpr unsigned kParseOptions = pugi::parse_default;

char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Four units from t on are all ASCII. Little-endian machines read them as
// one word; others do not take this shortcut.
bool AsciiQuad(const char16_t* t, uint64_t& quad) {
  if constexpr (std::endian::native != std::endian::little)
    return false;
  std::memcpy(&quad, t, sizeof quad);
  return (quad & 0xFF80FF80FF80FF80u) == 0;
}

// The goods text as UTF-8, a lone surrogate as U+FFFD (as Utf16ToUtf8 gives
// it). The list may be many megabytes: the bytes are counted first and
// written into a buffer of exactly that size, and runs of ASCII, most of a
// goods list, go four units at a time.
std::string GoodsToUtf8(std::u16string_view text) {
  const size_t n = text.size();
  const char16_t* t = text.data();
  uint64_t quad = 0;
  size_t bytes = 0;
  for (size_t i = 0; i < n; ++i) {
    for (; i + 4 <= n && AsciiQuad(t + i, quad); i += 4)
      bytes += 4;
    if (i == n)
      break;
    if (t[i] < 0x80)
      bytes += 1;
    else if (t[i] < 0x800)
      bytes += 2;
    else if (IsHighSurrogate(t[i]) && i + 1 < n && IsLowSurrogate(t[i + 1]))
      bytes += 4, ++i;
    else
      bytes += 3;
  }

  std::string out(bytes, '\0');
  auto* p = reinterpret_cast<unsigned char*>(out.data());
  for (size_t i = 0; i < n; ++i) {
    for (; i + 4 <= n && AsciiQuad(t + i, quad); i += 4, p += 4) {
      const auto packed = static_cast<uint32_t>((quad & 0xFF) | ((quad >> 8) & 0xFF00) |
                                                ((quad >> 16) & 0xFF0000) | ((quad >> 24) & 0xFF000000));
      std::memcpy(p, &packed, sizeof packed);
    }
    if (i == n)
      break;
    char32_t c = t[i];
    if (c < 0x80) {
      *p++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (IsHighSurrogate(t[i]) && i + 1 < n && IsLowSurrogate(t[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (t[++i] - 0xDC00);
      *p++ = static_cast<unsigned char>(0xF0 | (c >> 18));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
      if (c >= 0xD800 && c <= 0xDFFF)
        c = 0xFFFD;
      *p++ = static_cast<unsigned char>(0xE0 | (c >> 12));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// name, with A-Z lower-cased, equals lower (given in lower case).
bool NameIs(const char* name, std::string_view lower) {
  size_t i = 0;
  for (; name[i] != 0; ++i)
    if (i >= lower.size() || FoldAscii(name[i]) != lower[i])
      return false;
  return i == lower.size();
}

bool AllDigits(const char* value) {
  if (*value == 0)
    return false;
  for (; *value != 0; ++value)
    if (*value < '0' || *value > '9')
      return false;
  return true;
}

bool IsTrueOrFalse(const char* value) {
  return NameIs(value, "true") || NameIs(value, "false");
}

bool IsPrice(const char* value) {
  std::string text(value);
  for (char& c : text)
    if (c == ',')
      c = '.';
  return IsDecimalNumber(text);
}

// what is the message's own phrase ("неверное значение атрибута", ...).
std::u16string AttributeMessage(std::u16string_view what, std::u16string_view attribute) {
  std::u16string message(kXmlError);
  message += what;
  message += u" \"";
  message += attribute;
  message += u"\" у элемента \"Record\"";
  return message;
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

// One Record: its attributes in document order, then the required ones.
std::u16string CheckRecord(const pugi::xml_node& record) {
  std::array<bool, kRequiredCount> present{};
  for (pugi::xml_attribute attribute = record.first_attribute(); attribute;
       attribute = attribute.next_attribute()) {
    const FoldedName name(attribute.name());
    const char* value = attribute.value();
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

} // namespace

std::u16string UnknownDeviceMessage(std::u16string_view deviceId) {
  std::u16string message(u"DeviceID ");
  message += deviceId;
  message += u"не найдено!";
  return message;
}

std::u16string CheckPackageStatus(std::u16string_view status) {
  const std::u16string lower = LowerCaseFull(status);
  if (lower == u"first" || lower == u"regular" || lower == u"last")
    return {};
  return u"Неверный статус пакета: \"" + lower + u"\"!";
}

bool IsDecimalNumber(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
      ++i, ++digits;
  }
  return digits > 0 && i == text.size();
}

std::u16string CheckGoodsXml(std::string& utf8) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer_inplace(utf8.data(), utf8.size(), kParseOptions, pugi::encoding_utf8);
  if (!parsed)
    return kXmlError + Utf8ToUtf16(parsed.description());

  const pugi::xml_node root = document.document_element();
  // pugixml keeps further top-level elements after the first instead of
  // refusing them; a second list would pass unchecked, so it is an error.
  for (pugi::xml_node node = root.next_sibling(); node; node = node.next_sibling())
    if (node.type() == pugi::node_element)
      return kXmlError + std::u16string(u"More than one document element");

  if (!NameIs(root.name(), "table"))
    return kXmlError +
           (u"неверный корневой элемент \"" + Utf8ToUtf16(root.name()) + u"\", ожидается \"Table\"");

  bool seenRecord = false;
  for (pugi::xml_node node = root.first_child(); node; node = node.next_sibling()) {
    if (node.type() != pugi::node_element || !NameIs(node.name(), "record"))
      continue;
    seenRecord = true;
    std::u16string fault = CheckRecord(node);
    if (!fault.empty())
      return fault;
  }
  if (!seenRecord)
    return kXmlError + std::u16string(u"не найден элемент \"Record\"");
  return {};
}

std::u16string CheckGoodsUpload(std::u16string_view goods, std::u16string_view status) {
  std::u16string fault = CheckPackageStatus(status);
  if (!fault.empty())
    return fault;
  std::string utf8 = GoodsToUtf8(goods);
  return CheckGoodsXml(utf8);
}
