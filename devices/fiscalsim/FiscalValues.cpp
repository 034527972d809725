// The values of the fiscal documents, read strictly.
#include "FiscalValues.h"

#include "Calendar.h"
#include "TextCodec.h"
#include "XmlCheck.h"

namespace fiscal {

namespace {

constexpr int kIntegerDigits = 13;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// An attribute name (ASCII) in lower case, as XmlNameIs compares.
std::string Lower(std::u16string_view name) {
  std::string lower;
  for (const char16_t c : name)
    lower += FoldAscii(static_cast<char>(c));
  return lower;
}

} // namespace

bool ParseFixed(std::string_view text, int decimals, bool negative, int64_t& value) {
  size_t i = 0;
  bool minus = false;
  if (negative && i < text.size() && text[i] == '-') {
    minus = true;
    ++i;
  }
  int64_t whole = 0;
  int digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
    if (digits == kIntegerDigits)
      return false;
    whole = whole * 10 + (text[i] - '0');
  }
  if (digits == 0)
    return false;
  int64_t fraction = 0;
  int fractionDigits = 0;
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    ++i;
    const size_t start = i;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++fractionDigits)
      if (fractionDigits < decimals)
        fraction = fraction * 10 + (text[i] - '0');
      else if (text[i] != '0')
        return false;
    if (i == start)
      return false;
  }
  if (i != text.size())
    return false;
  for (int d = fractionDigits; d < decimals; ++d)
    fraction *= 10;
  int64_t scale = 1;
  for (int d = 0; d < decimals; ++d)
    scale *= 10;
  value = whole * scale + fraction;
  if (minus)
    value = -value;
  return true;
}

bool ParseInt(std::string_view text, int32_t low, int32_t high, int32_t& value) {
  int64_t parsed = 0;
  if (!ParseFixed(text, 0, low < 0, parsed) || parsed < low || parsed > high)
    return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

bool ParseBool(std::string_view text, bool& value) {
  if (text == "1" || XmlNameIs(std::string(text).c_str(), "true")) {
    value = true;
    return true;
  }
  if (text == "0" || XmlNameIs(std::string(text).c_str(), "false")) {
    value = false;
    return true;
  }
  return false;
}

bool IsDateTime(std::string_view text) {
  return text.substr(0, 4) != "0000" && ParseDateTime(text).has_value();
}

bool IsInn(std::string_view text) {
  if (text.size() != 10 && text.size() != 12)
    return false;
  for (const char c : text)
    if (!IsDigit(c))
      return false;
  return true;
}

bool IsCodeList(std::string_view text, int32_t low, int32_t high) {
  if (text.find_first_not_of(' ') == std::string_view::npos)
    return true;
  while (true) {
    const size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    const size_t first = item.find_first_not_of(' ');
    if (first == std::string_view::npos)
      return false;
    item = item.substr(first, item.find_last_not_of(' ') + 1 - first);
    int32_t code = 0;
    if (!ParseInt(item, low, high, code))
      return false;
    if (comma == std::string_view::npos)
      return true;
    text.remove_prefix(comma + 1);
  }
}

const char* TAttributes::Find(std::string_view lower) const {
  const char* found = nullptr;
  for (const char** a = attributes_; a[0] != nullptr; a += 2)
    if (XmlNameIs(a[0], lower))
      found = a[1];
  return found;
}

std::u16string TReader::Text(std::u16string_view name, std::u16string& value, bool required) const {
  const char* text = Attributes.Find(Lower(name));
  if (text == nullptr)
    return required ? XmlAttributeFault(u"не найден атрибут", name, Attributes.Element()) : std::u16string();
  if (required && *text == 0)
    return XmlAttributeFault(u"пустое значение атрибута", name, Attributes.Element());
  value = Utf8ToUtf16(text);
  return {};
}

std::u16string TReader::Fixed(std::u16string_view name, int decimals, bool negative, int64_t& value,
                              bool required, bool* given) const {
  const char* text = Attributes.Find(Lower(name));
  if (text == nullptr || *text == 0)
    return required ? XmlAttributeFault(text == nullptr ? u"не найден атрибут" : u"пустое значение атрибута",
                                        name, Attributes.Element())
                    : std::u16string();
  if (!ParseFixed(text, decimals, negative, value))
    return XmlAttributeFault(u"неверное значение атрибута", name, Attributes.Element());
  if (given != nullptr)
    *given = true;
  return {};
}

std::u16string TReader::Int(std::u16string_view name, int32_t low, int32_t high, int32_t& value,
                            bool required) const {
  const char* text = Attributes.Find(Lower(name));
  if (text == nullptr || *text == 0)
    return required ? XmlAttributeFault(text == nullptr ? u"не найден атрибут" : u"пустое значение атрибута",
                                        name, Attributes.Element())
                    : std::u16string();
  if (!ParseInt(text, low, high, value))
    return XmlAttributeFault(u"неверное значение атрибута", name, Attributes.Element());
  return {};
}

std::u16string TReader::Bool(std::u16string_view name, bool& value) const {
  const char* text = Attributes.Find(Lower(name));
  if (text == nullptr || *text == 0)
    return {};
  if (!ParseBool(text, value))
    return XmlAttributeFault(u"неверное значение атрибута", name, Attributes.Element());
  return {};
}

std::u16string TReader::Date(std::u16string_view name, std::u16string& value) const {
  const char* text = Attributes.Find(Lower(name));
  if (text == nullptr || *text == 0)
    return {};
  if (!IsDateTime(text))
    return XmlAttributeFault(u"неверный формат даты в атрибуте", name, Attributes.Element());
  value = Utf8ToUtf16(text);
  return {};
}

std::u16string TReader::Inn(std::u16string_view name, std::u16string& value) const {
  const char* text = Attributes.Find(Lower(name));
  if (text == nullptr || *text == 0)
    return {};
  if (!IsInn(text))
    return XmlAttributeFault(u"неверное значение атрибута", name, Attributes.Element()) +
           u", ожидается ИНН из 10 или 12 цифр";
  value = Utf8ToUtf16(text);
  return {};
}

std::u16string TReader::Codes(std::u16string_view name, int32_t low, int32_t high,
                              std::u16string& value) const {
  const char* text = Attributes.Find(Lower(name));
  if (text == nullptr)
    return {};
  if (!IsCodeList(text, low, high))
    return XmlAttributeFault(u"неверное значение атрибута", name, Attributes.Element());
  value = Utf8ToUtf16(text);
  return {};
}

} // namespace fiscal
