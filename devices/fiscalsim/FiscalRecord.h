// The register's own members of each journal line: the JSON object text the
// device passes as TDocument::Extra, so that every line of the journal holds
// all a document says (an application's test reads it, the tape and a copy
// of it are printed from the line alone).
//
// Keys are the fiscal format's tag numbers as strings, as the memory's are
// (FiscalMemory.h), plus a few names of our own where the format has no tag.
// Money is integer kopecks; strings UTF-8, escaped as JSON.
//   every document     1048 company name, 1018 INN, 1009 sale address,
//                      1187 sale place, 1037 registration number, 1013 the
//                      register's serial number, 1209 format version code
//                      (1 1.0, 2 1.05, 3 1.1, 4 1.2), 1021 cashier, 1203 cashier INN
//                      (empty strings are left out)
//   receipt, correction
//                      1055 taxation system: a bit mask, bit n for code n
//                      (0 general ... 5 patent), one bit set
//                      1059 the lines, each {1030 name, 1079 price, 1023
//                      quantity (a JSON number with exactly three decimals,
//                      read back as text: exact), 1043 amount, 1199 VAT
//                      rate code (1 20%, 2 10%, 3 20/120, 4 10/110, 5 0%,
//                      6 none; the older 18% and 18/118 as 1 and 3 with
//                      "vat18":true), 1200 VAT amount (when given), 1214
//                      payment method, 1212 subject, "discount" (above 0 a
//                      discount, below 0 a surcharge; when not 0), "km" the
//                      marking data of a line with a code {2000 the code,
//                      "gtin", "serial", 2003 planned status, 2106 result of
//                      the checks, "rule" the control file's rule}}
//                      1102 VAT 20%, 1103 VAT 10%, 1104 amount at 0%, 1105
//                      amount without VAT, 1106 VAT 20/120, 1107 VAT 10/110,
//                      "vat18", "vat18_118" (when not 0)
//                      1008 customer e-mail or phone, 1227 customer, 1228
//                      customer INN
//                      "print" the text and barcode positions, each
//                      {"after": fiscal lines before it, "text": ...} or
//                      {"after": ..., "barcode": "EAN8"|"EAN13"|"CODE39"|"QR",
//                      "value": ...}
//                      1173 correction type, 1174 {1177 description, 1178
//                      date, 1179 order number} (correction)
//   close shift, X-report, settlements report
//                      "counters" [four objects, operation types 1..4, each
//                      {1135 receipts, 1201 their amount, "corrections",
//                      "corrections_amount"}] (not in the settlements report),
//                      1118 receipts in the shift, "cash_balance", 1097
//                      documents not sent (always 0: no link to an operator),
//                      1098 the first one's date (left out when none)
//   marking notice     "receipt" the receipt's document number, "operation" its
//                      operation type, "codes" [the lines' "km" objects]
//   registration, change of registration, close drive
//                      1055 the taxation systems registered (a mask), 1205
//                      reason codes of a change [codes]
#pragma once

#include "FiscalDocuments.h"
#include "FiscalMemory.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace fiscal {

// The register's requisites, from its settings or from ParametersFiscal.
struct TRequisites {
  std::u16string CompanyName;        // 1048
  std::u16string Inn;                // 1018
  std::u16string SaleAddress;        // 1009
  std::u16string SaleLocation;       // 1187
  std::u16string RegistrationNumber; // 1037
  std::u16string SerialNumber;       // 1013
  std::u16string FormatVersion;      // "1.0", "1.05", "1.1", "1.2" (1209 as its code)
  std::u16string TaxationSystems;    // comma list of codes 0..5 (registration)
  std::u16string CashierName;        // 1021
  std::u16string CashierInn;         // 1203
};

// The requisites ParametersFiscal gives (the format version from FFDVersion,
// else the table's FFDVersionKKT).
TRequisites RequisitesOf(const TParametersFiscal& parameters);

// A receipt or a correction as accepted by CheckReceiptRules. The receipt's
// own cashier, sale address and place, when given, stand for the requisites'.
std::string ReceiptRecord(const TRequisites& requisites, const TReceipt& receipt,
                          const TReceiptTotals& totals);

// The notice of a sale of marked goods that goes with a recorded receipt:
// the requisites, the receipt's number and each marked line's data; empty
// when the receipt has no marked line.
std::string MarkingNoticeRecord(const TRequisites& requisites, const TReceipt& receipt,
                                int64_t receiptNumber);

// Open shift, cash in and cash out: the requisites and the cashier.
std::string ShiftRecord(const TRequisites& requisites);

// Close shift, X-report, settlements report (type says which) from the state
// before the document: the shift's counters, its receipts, the cash balance
// and the sending backlog.
std::string ReportRecord(TDocumentType type, const TRequisites& requisites, const TFiscalState& state);

// Registration, change of registration, close drive: the full requisites, the
// taxation systems and, for a change, the reason codes (a comma list).
std::string RegistrationRecord(const TRequisites& requisites, std::u16string_view reasonCodes = {});

} // namespace fiscal
