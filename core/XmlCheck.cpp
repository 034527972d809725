// The strict XML check's common part: the parser set up for the host's
// UTF-16 text, the text fed to it in pieces, the parser's errors in Russian
// with their line and position, and the element events handed to the check.
#include "XmlCheck.h"
#include "TextCodec.h"

#include <expat.h>

#include <algorithm>
#include <bit>
#include <string>

namespace {

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

// expat's name for the host's UTF-16 in this machine's byte order.
constexpr XML_Char kHostEncoding[] = {
    'U', 'T', 'F', '-', '1', '6', std::endian::native == std::endian::little ? 'L' : 'B', 'E', 0};

// The text goes to the parser in pieces whose byte count fits its int.
constexpr size_t kPieceUnits = size_t{1} << 28;

// What the parser reads in place of a lone surrogate: a low surrogate with no
// high one before it, which it never takes for a character.
constexpr std::u16string_view kRefusedUnit = u"\xDC00";

// The index of the first surrogate that is not half of a pair, or the size.
size_t FirstLoneSurrogate(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsSurrogate(text[i]))
      continue; // nearly every unit: one test
    if (!IsSurrogatePair(text, i))
      return i;
    ++i;
  }
  return text.size();
}

} // namespace

bool XmlNameIs(const char* name, std::string_view lower) {
  size_t i = 0;
  for (; name[i] != 0; ++i)
    if (i >= lower.size() || FoldAscii(name[i]) != lower[i])
      return false;
  return i == lower.size();
}

std::u16string XmlFault(std::u16string_view what) {
  std::u16string message(kXmlErrorText);
  message += what;
  return message;
}

std::u16string XmlAttributeFault(std::u16string_view what, std::u16string_view attribute,
                                 std::u16string_view element) {
  std::u16string message = XmlFault(what);
  message += u" \"";
  message += attribute;
  message += u"\" у элемента \"";
  message += element;
  message += u"\"";
  return message;
}

TXmlCheck::TXmlCheck() : parser_(XML_ParserCreate(kHostEncoding)) {
  if (parser_ == nullptr)
    return;
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, &TXmlCheck::OnStartElement, &TXmlCheck::OnEndElement);
  // Parameter entities, and with them any external document type, are never read.
  XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
}

TXmlCheck::~TXmlCheck() {
  if (parser_ != nullptr)
    XML_ParserFree(parser_);
}

std::u16string TXmlCheck::Check(std::u16string_view text) {
  if (parser_ == nullptr)
    return XmlFault(ErrorText(XML_ERROR_NO_MEMORY));
  // expat takes a high surrogate and whatever unit follows it for a pair, so
  // a lone one would come out as another character and swallow the next. The
  // parser gets the text up to the first lone surrogate and then, in its
  // place, a lone low surrogate, which it refuses wherever it stands, as it
  // refuses every other character that XML does not allow.
  const size_t lone = FirstLoneSurrogate(text);
  bool parsed = Parse(text.substr(0, lone), lone == text.size());
  if (parsed && lone < text.size()) {
    parsed = Parse(kRefusedUnit, false);
    if (parsed) // never so: the unit is no XML character
      return PositionedFault(XML_ERROR_INVALID_TOKEN);
  }
  if (!parsed)
    return ParseError();
  if (!fault_.empty())
    return fault_;
  return Finish();
}

bool TXmlCheck::Parse(std::u16string_view text, bool last) {
  if (!last) {
    if (text.empty())
      return true; // expat is never handed nothing before its end
    // A piece before the end is read where it lies, and expat then points its
    // own buffer at what it left over: that buffer must exist by then.
    if (XML_GetBuffer(parser_, 2) == nullptr)
      return false;
  }
  // An empty view may point nowhere; expat is always given somewhere to read.
  static constexpr char16_t kNothing[] = u"";
  do {
    const size_t n = std::min(text.size(), kPieceUnits);
    const char16_t* units = text.empty() ? kNothing : text.data();
    if (XML_Parse(parser_, reinterpret_cast<const char*>(units), static_cast<int>(n * 2),
                  last && n == text.size()) != XML_STATUS_OK)
      return false;
    text.remove_prefix(n);
  } while (!text.empty());
  return true;
}

std::u16string TXmlCheck::ParseError() const {
  return PositionedFault(XML_GetErrorCode(parser_));
}

std::u16string TXmlCheck::PositionedFault(int code) const {
  std::u16string message = XmlFault(ErrorText(static_cast<XML_Error>(code)));
  message += u" (строка ";
  message += Decimal(XML_GetCurrentLineNumber(parser_));
  message += u", позиция ";
  message += Decimal(XML_GetCurrentColumnNumber(parser_) + 1);
  message += u")";
  return message;
}

void TXmlCheck::Fault(std::u16string message) {
  if (!fault_.empty())
    return;
  fault_ = std::move(message);
  XML_SetElementHandler(parser_, nullptr, nullptr);
}

void XMLCALL TXmlCheck::OnStartElement(void* self, const XML_Char* name, const XML_Char** attributes) {
  auto& check = *static_cast<TXmlCheck*>(self);
  check.OnStart(++check.depth_, name, attributes);
}

void XMLCALL TXmlCheck::OnEndElement(void* self, const XML_Char*) {
  auto& check = *static_cast<TXmlCheck*>(self);
  check.OnEnd(check.depth_--);
}
