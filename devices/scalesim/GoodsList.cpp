// The goods-list check behind UploadGoods: the package status, then the XML
// document (root Table, Record elements with their attributes), stopping at
// the first fault.
//
// expat reads the host's UTF-16 text where it lies, streaming: no copy of the
// list and no tree. It checks well-formedness as XML 1.0 asks, expands the
// entities that the internal document type declares and stops an expansion
// that grows out of bounds; it never opens an external entity or document
// type (no handler asks for them, and parameter entities are never parsed).
// Its element stack lives on the heap, so nesting depth costs no call stack.
//
// A fault in the root or in a Record is only reported once the whole document
// has parsed: a document that is not well-formed is a parse error whatever
// came before the error.
//
// expat hands names and values over as UTF-8, compared with only the letters
// A-Z folded. Every test that decides (digits, "true"/"false", a decimal
// number, a non-empty name, the element and attribute names) is about ASCII
// characters, so the bytes give the same answers as the scale's 8-bit text
// would: a character outside ASCII never passes for a digit or a letter, and
// a name made only of such characters is still not empty.
#include "GoodsList.h"
#include "TextCodec.h"

#include <expat.h>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

namespace {

constexpr char16_t kXmlError[] = u"Ошибка разбора XML : ";

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

// The parser's errors in Russian.
std::u16string_view ErrorText(XML_Error code) {
  switch (code) {
  case XML_ERROR_NO_MEMORY:
    return u"недостаточно памяти";
  case XML_ERROR_SYNTAX:
    return u"синтаксическая ошибка";
  case XML_ERROR_NO_ELEMENTS:
    return u"текст закончился раньше документа";
  case XML_ERROR_INVALID_TOKEN:
    return u"недопустимый символ или неверная разметка";
  case XML_ERROR_UNCLOSED_TOKEN:
    return u"разметка не закрыта до конца текста";
  case XML_ERROR_PARTIAL_CHAR:
    return u"неполный символ в конце текста";
  case XML_ERROR_TAG_MISMATCH:
    return u"закрывающий тег не соответствует открывающему";
  case XML_ERROR_DUPLICATE_ATTRIBUTE:
    return u"повторяющийся атрибут";
  case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
    return u"лишнее содержимое после корневого элемента";
  case XML_ERROR_PARAM_ENTITY_REF:
    return u"недопустимая ссылка на параметрическую сущность";
  case XML_ERROR_UNDEFINED_ENTITY:
    return u"ссылка на необъявленную сущность";
  case XML_ERROR_RECURSIVE_ENTITY_REF:
    return u"рекурсивная ссылка на сущность";
  case XML_ERROR_ASYNC_ENTITY:
    return u"сущность нарушает вложенность элементов";
  case XML_ERROR_BAD_CHAR_REF:
    return u"ссылка на недопустимый символ";
  case XML_ERROR_BINARY_ENTITY_REF:
    return u"ссылка на неразбираемую сущность";
  case XML_ERROR_ATTRIBUTE_EXTERNAL_ENTITY_REF:
    return u"ссылка на внешнюю сущность в значении атрибута";
  case XML_ERROR_MISPLACED_XML_PI:
    return u"объявление XML не в начале документа";
  case XML_ERROR_UNKNOWN_ENCODING:
    return u"неизвестная кодировка";
  case XML_ERROR_INCORRECT_ENCODING:
    return u"кодировка в объявлении XML не соответствует тексту";
  case XML_ERROR_UNCLOSED_CDATA_SECTION:
    return u"раздел CDATA не закрыт";
  case XML_ERROR_EXTERNAL_ENTITY_HANDLING:
    return u"ошибка обработки внешней сущности";
  case XML_ERROR_NOT_STANDALONE:
    return u"документ не автономен";
  case XML_ERROR_ENTITY_DECLARED_IN_PE:
    return u"сущность объявлена в параметрической сущности";
  case XML_ERROR_UNBOUND_PREFIX:
    return u"префикс пространства имён не объявлен";
  case XML_ERROR_UNDECLARING_PREFIX:
    return u"объявление префикса пространства имён нельзя отменить";
  case XML_ERROR_INCOMPLETE_PE:
    return u"незавершённая параметрическая сущность";
  case XML_ERROR_XML_DECL:
    return u"неверное объявление XML";
  case XML_ERROR_TEXT_DECL:
    return u"неверное текстовое объявление";
  case XML_ERROR_PUBLICID:
    return u"недопустимые символы в публичном идентификаторе";
  case XML_ERROR_RESERVED_PREFIX_XML:
    return u"префикс xml зарезервирован";
  case XML_ERROR_RESERVED_PREFIX_XMLNS:
    return u"префикс xmlns зарезервирован";
  case XML_ERROR_RESERVED_NAMESPACE_URI:
    return u"адрес пространства имён зарезервирован";
  case XML_ERROR_AMPLIFICATION_LIMIT_BREACH:
    return u"раскрытие сущностей превысило допустимый объём";
  default: // the parser's own states, which this check never puts it in
    return u"внутренняя ошибка разборщика";
  }
}

std::u16string Decimal(unsigned long long n) {
  const std::string text = std::to_string(n);
  return std::u16string(text.begin(), text.end());
}

// expat's name for the host's UTF-16 in this machine's byte order.
constexpr XML_Char kHostEncoding[] = {
    'U', 'T', 'F', '-', '1', '6', std::endian::native == std::endian::little ? 'L' : 'B', 'E', 0};

// The text goes to the parser in pieces whose byte count fits its int.
constexpr size_t kPieceUnits = size_t{1} << 28;

// One check of one goods list: the parser and what its element handlers found.
class TGoodsReader {
public:
  TGoodsReader() : parser_(XML_ParserCreate(kHostEncoding)) {
    if (parser_ == nullptr)
      return;
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &TGoodsReader::OnStart, &TGoodsReader::OnEnd);
    // Parameter entities, and with them any external document type, are never read.
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
  }
  ~TGoodsReader() {
    if (parser_ != nullptr)
      XML_ParserFree(parser_);
  }
  TGoodsReader(const TGoodsReader&) = delete;
  TGoodsReader& operator=(const TGoodsReader&) = delete;

  std::u16string Check(std::u16string_view text) {
    if (parser_ == nullptr)
      return kXmlError + std::u16string(ErrorText(XML_ERROR_NO_MEMORY));
    bool parsed = true;
    do {
      const size_t n = std::min(text.size(), kPieceUnits);
      const bool last = n == text.size();
      parsed = XML_Parse(parser_, reinterpret_cast<const char*>(text.data()), static_cast<int>(n * 2),
                         last) == XML_STATUS_OK;
      text.remove_prefix(n);
    } while (parsed && !text.empty());
    if (!parsed)
      return ParseError();
    if (!fault_.empty())
      return fault_;
    if (!seenRecord_)
      return kXmlError + std::u16string(u"не найден элемент \"Record\"");
    return {};
  }

private:
  // The parser's error with its line and character position, both from 1.
  std::u16string ParseError() const {
    std::u16string message(kXmlError);
    message += ErrorText(XML_GetErrorCode(parser_));
    message += u" (строка ";
    message += Decimal(XML_GetCurrentLineNumber(parser_));
    message += u", позиция ";
    message += Decimal(XML_GetCurrentColumnNumber(parser_) + 1);
    message += u")";
    return message;
  }

  // The first fault ends the judging; the rest of the document is only parsed.
  void Fault(std::u16string message) {
    fault_ = std::move(message);
    XML_SetElementHandler(parser_, nullptr, nullptr);
  }

  static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** attributes) {
    auto& reader = *static_cast<TGoodsReader*>(self);
    const size_t depth = ++reader.depth_;
    if (depth == 1) {
      if (!NameIs(name, "table"))
        reader.Fault(kXmlError +
                     (u"неверный корневой элемент \"" + Utf8ToUtf16(name) + u"\", ожидается \"Table\""));
    } else if (depth == 2 && NameIs(name, "record")) {
      reader.seenRecord_ = true;
      std::u16string fault = CheckRecord(attributes);
      if (!fault.empty())
        reader.Fault(std::move(fault));
    }
  }

  static void XMLCALL OnEnd(void* self, const XML_Char*) { --static_cast<TGoodsReader*>(self)->depth_; }

  XML_Parser parser_;
  size_t depth_ = 0;
  bool seenRecord_ = false;
  std::u16string fault_;
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
  return TGoodsReader().Check(goods);
}

std::u16string CheckGoodsUpload(std::u16string_view goods, std::u16string_view status) {
  std::u16string fault = CheckPackageStatus(status);
  if (!fault.empty())
    return fault;
  return CheckGoodsXml(goods);
}
