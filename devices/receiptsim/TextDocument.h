// The text document behind PrintTextDocument, kept apart from the emulator
// object so that it can be checked and fuzzed directly.
//
//   <Document>
//     <Positions>
//       <TextString Text="..."/>
//       <Barcode BarcodeType="EAN13" Barcode="4600000000003"/>
//       <Barcode Type="QR" Value="..."/>
//       <Barcode Type="QR" ValueBase64="..."/>
//     </Positions>
//   </Document>
//
// The document is read as strictly as the goods list, by the same parser and
// with the same kind of messages (XmlCheck.h). Element and attribute names are
// compared with A-Z folded. Other elements, in Document or in Positions, are
// passed over, as are other attributes.
#pragma once

#include "Barcode.h"

#include <string>
#include <string_view>
#include <vector>

// One thing to print: a line of text (Barcode false), or a barcode of Type
// whose value is Text (an EAN with its check digit).
struct TPrintItem {
  bool Barcode = false;
  TBarcodeType Type = TBarcodeType::EAN13;
  std::u16string Text;
};

// The type's name as documents give it: "EAN8", "EAN13", "CODE39", "QR",
// "EAN128", "Code128", "Code16k", "Code93", "ITF14", "EAN13Addon2",
// "EAN13Addon5", "GS1DataBarExpandedStacked", "PDF417", "DataMatrix".
std::u16string_view BarcodeTypeName(TBarcodeType type);

// The longest QR value, in UTF-8 bytes: what one QR symbol holds as bytes.
inline constexpr size_t kQrValueLimit = 2953;

// Reads a document, UTF-16 as the host passes it. Empty when it is accepted,
// items then holding what is to be printed in document order; else the
// message for LastErrorText (items are then left empty). A document that is
// not well-formed XML 1.0 is refused first; then the root "Document", which
// must hold a "Positions" element; then each TextString and Barcode of the
// Positions in document order, the first fault winning:
// - TextString needs its Text attribute (an empty text is an empty line);
// - Barcode gives its type and value either as BarcodeType and Barcode or as
//   Type and Value, or Type and ValueBase64 (the value's UTF-8 in Base64);
//   two names for one thing in one element are refused;
// - the type is one of BarcodeTypeName's, in any letter case;
// - an EAN or ITF-14 value is its digits, with the check digit (which must be
//   right) or without it (it is then added); an EAN-13 with add-on is the
//   EAN-13 then its two or five add-on digits, with "+" or a blank between
//   them or not, kept as "<EAN-13>+<add-on>"; CODE39 takes 0-9, A-Z, blank
//   and - . $ / + %, Code93 ASCII, Code128 and Code16k Latin-1 (a refusal
//   names the first other character); EAN128 and GS1 DataBar take GS1 data,
//   application identifiers in parentheses (or brackets) before their data; a
//   QR value is any text up to kQrValueLimit bytes (a refusal names the
//   limit), PDF417 and DataMatrix any text their largest symbol holds; what
//   zint refuses besides (length, check digits, GS1 syntax) is refused as
//   too long, as a wrong check digit or as a wrong value; no value is empty.
std::u16string ReadTextDocument(std::u16string_view xml, std::vector<TPrintItem>& items);

// The check digit of an EAN's digits (without it): '0' to '9'.
char16_t EanCheckDigit(std::u16string_view digits);
