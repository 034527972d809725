#include "FiscalTape.h"

namespace fiscal {

std::vector<TTapeLine> FiscalTapeLines(std::string_view, int32_t, bool) {
  return {TTapeLine{TTapeKind::Text, TBarcodeType::EAN13, kBadJournalLineText}};
}
std::string ReceiptQrText(std::string_view) {
  return {};
}

} // namespace fiscal
