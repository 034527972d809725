#include "FiscalRecord.h"

namespace fiscal {

std::string ReceiptRecord(const TRequisites&, const TReceipt&, const TReceiptTotals&) {
  return "{}";
}
std::string ShiftRecord(const TRequisites&) {
  return "{}";
}
std::string ReportRecord(TDocumentType, const TRequisites&, const TFiscalState&) {
  return "{}";
}
std::string RegistrationRecord(const TRequisites&, std::u16string_view) {
  return "{}";
}

} // namespace fiscal
