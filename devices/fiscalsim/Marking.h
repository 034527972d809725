// The register's marking codes, apart from the device object so that they can
// be checked and fuzzed directly: the drive's own reading of a code (Base64 of
// a GS1 DataMatrix string), the RequestKM document the host hands over, the
// two documents the register answers with, and the marking system's answers
// as the control file scripts them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fiscal {

// The group separator (FNC1 inside a code) that ends a variable-length field.
inline constexpr char kGroupSeparator = '\x1d';

// A marking code as the drive reads it. The full form: AI 01 and a GTIN of 14
// digits whose check digit is right, AI 21 and a serial of 1 to 20 characters
// of the GS1 set (ended by a group separator or the code's end), then the
// verification fields separated by group separators: AI 91 (key) with AI 92
// (code), or AI 93 (the short code of dairy and water); a leading symbology
// identifier "]d2" or "]C1" or a leading separator is passed over. The short
// form of a tobacco pack: 29 characters, GTIN 14, serial 7, price code 4,
// verification 4, no separators.
struct TMarkingCode {
  bool Ok = false;
  std::u16string Error; // why the drive refuses it, when not Ok
  std::string Raw;      // the decoded bytes (what is sold)
  std::string Gtin;
  std::string Serial;
  bool ShortForm = false;
};
TMarkingCode ReadMarkingCode(std::string_view raw);
// The same from the Base64 the documents carry.
TMarkingCode ReadMarkingCodeBase64(std::string_view base64);
// A GTIN of 14 digits whose last is the check digit of the first 13.
bool IsGtin14(std::string_view digits);
// The code for the tape and messages: printable, separators as "<GS>", at
// most width characters (the middle cut to "...").
std::u16string ShortMarkingCode(std::string_view raw, size_t width);

// RequestKM: GUID, MarkingCode (Base64) and PlannedStatus 1..5 required;
// Quantity (above zero), MeasureOfQuantity, WaitForResult and NotSendToServer
// optional. Empty when read, else the message.
struct TRequestKm {
  std::u16string Guid;
  std::u16string MarkingCode;
  int32_t PlannedStatus = 0;
  int64_t Quantity = 0; // thousandths; 0: not given
  int32_t MeasureOfQuantity = -1;
  bool WaitForResult = false;
  bool NotSendToServer = false;
};
std::u16string ReadRequestKm(std::u16string_view xml, TRequestKm& request);

// RequestKMResult: the drive's own check.
std::u16string RequestKmResultXml(bool checking, bool checkingResult);

// ProcessingKMResult; StatusInfo left out when 0.
struct TProcessingKmResult {
  std::u16string Guid;
  bool Result = false;
  int32_t ResultCode = 0; // bits: 1 drive checked, 2 drive positive, 4 system checked, 8 system positive
  int32_t StatusInfo = 0;
  int32_t HandleCode = 0;
};
std::u16string ProcessingKmResultXml(const TProcessingKmResult& result);

// The marking system's answer to one code, from the control file: a comma
// list of accept, reject, reject:<ResultCode 0..15>, delay:<seconds 0..3600>,
// unreachable (keys km and km.<GTIN>; the GTIN's own wins).
struct TKmAnswer {
  enum class TKind { Accept, Reject, Unreachable } Kind = TKind::Accept;
  int32_t ResultCode = 15;
  int32_t DelaySeconds = 0;
  std::u16string Rule; // "km=accept (по умолчанию)", "km.04600...=reject:7": what answered
};
// Reads one rule's value; nullopt with error set when malformed.
std::optional<TKmAnswer> ParseKmAnswer(std::u16string_view value, std::u16string& error);

} // namespace fiscal
