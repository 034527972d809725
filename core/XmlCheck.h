// The strict check of an XML document that the host hands over as UTF-16
// text: expat reads it where it lies, streaming, with no copy and no tree, and
// a check derived from TXmlCheck judges the elements as they come. Both the
// goods list and the receipt printer's text document are checked this way, so
// that their parse errors read alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct XML_ParserStruct; // expat's parser, opaque here

// The head of every message of a document check.
inline constexpr char16_t kXmlErrorText[] = u"Ошибка разбора XML : ";

// name (UTF-8 from the parser), with A-Z lower-cased, equals lower.
bool XmlNameIs(const char* name, std::string_view lower);

// "Ошибка разбора XML : " followed by what.
std::u16string XmlFault(std::u16string_view what);

// An attribute's fault: "Ошибка разбора XML : <what> "<attribute>" у элемента
// "<element>"", what being the message's own phrase ("неверное значение
// атрибута", "не найден атрибут", ...).
std::u16string XmlAttributeFault(std::u16string_view what, std::u16string_view attribute,
                                 std::u16string_view element);

// One check of one document. expat checks well-formedness as XML 1.0 asks,
// expands the entities that the internal document type declares and stops an
// expansion that grows out of bounds; it never opens an external entity or
// document type. Its element stack lives on the heap, so nesting depth costs
// no call stack.
//
// A fault found by the derived check is only reported once the whole document
// has parsed: a document that is not well-formed is a parse error whatever
// came before the error.
class TXmlCheck {
public:
  TXmlCheck();
  virtual ~TXmlCheck();
  TXmlCheck(const TXmlCheck&) = delete;
  TXmlCheck& operator=(const TXmlCheck&) = delete;

  // Parses the whole text. Empty when it is well-formed and the check found
  // no fault, else the message: the parser's error in Russian with where it
  // was found ("(строка 3, позиция 17)", lines and characters from 1), else
  // the check's first fault, else what Finish says. A surrogate that is not
  // half of a pair is a character XML does not allow, wherever it stands.
  std::u16string Check(std::u16string_view text);

protected:
  // An element opens at depth (the root is 1); attributes holds name and
  // value pairs in UTF-8 and ends with a null.
  virtual void OnStart(size_t depth, const char* name, const char** attributes) = 0;
  // The element at depth closes.
  virtual void OnEnd(size_t /*depth*/) {}
  // The document parsed with no fault: the last word (empty when accepted).
  virtual std::u16string Finish() { return {}; }
  // The first fault ends the judging; the rest of the document is only parsed.
  void Fault(std::u16string message);

private:
  static void OnStartElement(void* self, const char* name, const char** attributes);
  static void OnEndElement(void* self, const char* name);
  // Feeds text to the parser in pieces; false at its first error.
  bool Parse(std::u16string_view text, bool last);
  std::u16string ParseError() const;
  // The parser's error code (an XML_Error) in Russian, where it stopped.
  std::u16string PositionedFault(int code) const;

  XML_ParserStruct* parser_;
  size_t depth_ = 0;
  std::u16string fault_;
};
