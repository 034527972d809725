// The printer's tape: how a document is laid out in lines at the line length,
// and how the lines read in the tape file. Plain data and logic: no window.
#pragma once

#include "TextDocument.h"

#include <cstdint>
#include <string>
#include <vector>

// The line lengths the printer takes; a setting outside is clamped.
inline constexpr int32_t kReceiptMinLineLength = 16;
inline constexpr int32_t kReceiptMaxLineLength = 80;
inline constexpr char16_t kReceiptCutText[] = u" отрез ";

// One line of the tape.
enum class TTapeKind { Text, Barcode, Cut, Drawer };
struct TTapeLine {
  TTapeKind Kind = TTapeKind::Text;
  TBarcodeType Type = TBarcodeType::EAN13; // of a barcode
  std::u16string Text;                     // a barcode's value; else what the line shows
};

// A document as the printer lays it out at width characters: each text split
// at its line feeds (carriage returns dropped, tabs printed as blanks) and
// hard-wrapped at width characters (a surrogate pair counting as one), each
// barcode on a line of its own, and a cut mark after the last.
std::vector<TTapeLine> LayOutDocument(const std::vector<TPrintItem>& items, int32_t width);
// The cut mark at width characters: " отрез " centred between tildes.
TTapeLine CutLine(int32_t width);
// What a line reads as text, in the tape file and where a barcode is not
// drawn: a barcode as "[<type> <value>]" with control characters as blanks.
std::u16string TapeLineText(const TTapeLine& line);
// The tape file's text of lines: each line's text and CR LF.
std::u16string TapeFileText(const std::vector<TTapeLine>& lines);
