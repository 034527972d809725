// What the data collection terminal holds and the documents it reads and
// writes, apart from the emulator object so that the tests and the fuzzer
// drive it directly: the goods table the host uploads (root Table, FullLoad,
// Record elements), the state kept in the data folder (the goods, an upload
// in progress, the collected records and the control-file lines already
// taken) and the collected table DownloadTable gives back.
//
// Barcodes may hold characters XML 1.0 cannot carry at all (a GS1 code's
// group separator, from BarCodeBase64), so the state file keeps every code
// as Base64 of its UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A good of the terminal: its code and the other attributes of its Record
// as the host gave them (names as written, values after the XML parser;
// Price and Quantity with "." as the decimal separator).
struct TGood {
  std::u16string Code;
  std::vector<std::pair<std::u16string, std::u16string>> Attributes;

  // The value of an attribute (names compared without regard to A-Z case);
  // empty when the good has none.
  std::u16string Attribute(std::u16string_view name) const;
};

// One uploaded batch.
struct TGoodsBatch {
  bool FullLoad = false;
  std::vector<TGood> Goods;
};

// A collected record: a code and its quantity in thousandths.
struct TCollected {
  std::u16string Code;
  int64_t Milli = 0;
};

// The largest quantity one record may reach (in thousandths): a million.
inline constexpr int64_t kQuantityLimitMilli = 1000000000000LL;

struct TTerminalState {
  std::vector<TGood> Goods;    // in the order first uploaded
  bool UploadOpen = false;     // a "first" batch came and its "last" not yet
  bool UploadFullLoad = false; // the open upload replaces the goods
  std::vector<TGood> Upload;   // the open upload's goods so far
  std::vector<TCollected> Collected;
  std::vector<std::u16string> Taken; // the control file's collect lines taken last

  const TGood* FindGood(std::u16string_view code) const;
};

// The package status, lower-cased: "first", "regular" or "last"; empty with
// message set for anything else.
std::u16string ReadPackageStatus(std::u16string_view status, std::u16string& message);

// Reads a goods table as the host passes it. Empty when it is accepted, else
// the message: the parser's error, the wrong root, FullLoad not a boolean, or
// the first faulty Record, named by its number (from 1) and its code when it
// has one.
std::u16string ReadGoodsTable(std::u16string_view xml, TGoodsBatch& batch);

// One batch of an upload, as the terminal takes it: "first" opens an upload
// (dropping an unfinished one), "regular" adds to it, "last" adds and
// finishes it; a lone "last" is a whole upload. A finished upload replaces
// the goods when its first batch (or the lone last) had FullLoad, else
// its goods are added, a code uploaded again replacing the old record. The
// goods appear only when the upload finishes. Empty when taken, else the
// reason (a "regular" with no upload open).
std::u16string ApplyBatch(TTerminalState& state, std::u16string_view status, TGoodsBatch batch);

// A quantity as a person types it or a control file gives it: blanks around
// it, digits with at most one "." or "," and at most three decimals, above 0
// and not above kQuantityLimitMilli. Empty when read, else the reason.
std::u16string ReadQuantity(std::u16string_view text, int64_t& milli);
// Thousandths as a decimal with "." and no trailing zeros: "2", "1.5", "0.125".
std::u16string QuantityText(int64_t milli);

// Adds a collected quantity: the same code collected again adds up. Empty
// when taken, else the reason (the sum above the limit).
std::u16string Collect(TTerminalState& state, std::u16string code, int64_t milli);

// A control-file line "<barcode>;<quantity>" (the value of a collect= line;
// no ";" means a quantity of 1): the code and the quantity, or the reason.
std::u16string ReadCollectLine(std::u16string_view line, std::u16string& code, int64_t& milli);

// The lines of lines not matched by one of taken (each taken line matches
// one equal line), in order: what a control file gives that was not taken
// the last time.
std::vector<std::u16string> NewLines(const std::vector<std::u16string>& lines,
                                     const std::vector<std::u16string>& taken);

// The collected table: root Table, a Record per collected code with BarCode
// (left out when the code holds characters XML cannot carry), BarCodeBase64
// and Quantity, and Name and Article of an uploaded good.
std::u16string DownloadXml(const TTerminalState& state);

// The state file's text, and the state read back from it (empty when read,
// else the reason).
std::u16string StateXml(const TTerminalState& state);
std::u16string ReadStateXml(std::u16string_view xml, TTerminalState& state);

// text with control characters as \xNN and "\" as "\\", for a line of a
// readable record.
std::u16string RecordText(std::u16string_view text);
