// The register's reading of its own journal lines, and the printed tape of a
// journal line. A line is a JSON object (FiscalMemory.h): the memory's
// members, the device's (the requisites, the cashier, a receipt's "items",
// a report's "counters") and the sign. The tape is made from the committed
// line alone, so that the paper and a later copy read the same.
#pragma once

#include "Tape.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fsim {

// A JSON value of a journal line: a string, a whole number, an array or an
// object (true, false and null read as absent).
struct TJsonValue {
  enum class TKind { None, Text, Number, Array, Object } Kind = TKind::None;
  std::string Text;
  int64_t Number = 0;
  std::vector<TJsonValue> Items;
  std::vector<std::pair<std::string, TJsonValue>> Members;

  const TJsonValue* Find(std::string_view key) const;
  // A member's text / number; empty / 0 when absent or of another kind.
  std::string TextOf(std::string_view key) const;
  int64_t NumberOf(std::string_view key) const;
};

// Reads a JSON object; an object with no members when the text is not one
// (a journal line the memory accepted always is).
TJsonValue ParseJsonObject(std::string_view text);

// A UTF-8 text as a JSON string with its quotes.
std::string JsonQuote(std::string_view text);

// The tape of a committed journal line at width characters: the header
// (company, INN, address, place), the document's title ("КОПИЯ" under it for
// a copy), its lines, totals, payments and change, the shift, receipt and
// document numbers, the drive and the fiscal sign, the cashier, a receipt's
// QR code in the tax service's form, and the cut mark.
std::vector<TTapeLine> FiscalDocumentTape(std::string_view line, int32_t width, bool copy);

} // namespace fsim
