// The tape of one journal line: a fiscal document laid out as a Russian
// fiscal register prints it, from the line alone (FiscalRecord.h and
// FiscalMemory.h give its members), for the paper window, the tape file and a
// copy of a document. The journal is disk input: a line that does not read
// gives one text line saying so, never a fault.
#pragma once

#include "Tape.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace fiscal {

// What the tape shows of a line that cannot be read.
inline constexpr char16_t kBadJournalLineText[] = u"ДОКУМЕНТ ПОВРЕЖДЕН";

// The lines of one document at lineLength characters (clamped to the
// printer's 16..80; a surrogate pair counts as one): the header with the
// requisites and the title, the body of its type, the fiscal data, a
// receipt's QR code, and a cut line at the end. A copy carries "КОПИЯ" at
// its top and bottom. Money is rubles.kopecks, quantities exact.
std::vector<TTapeLine> FiscalTapeLines(std::string_view journalLine, int32_t lineLength, bool copy);

// The tax service's QR text of a receipt or correction line:
// t=YYYYMMDDTHHMM&s=<rubles.kopecks>&fn=<drive>&i=<document>&fp=<sign>&n=<operation>;
// empty for any other line or one that cannot be read.
std::string ReceiptQrText(std::string_view journalLine);

} // namespace fiscal
