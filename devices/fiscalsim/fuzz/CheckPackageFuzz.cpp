// libFuzzer target: the CheckPackage reader over arbitrary text, then the
// register's rules on what it accepted. The first byte chooses the registered
// taxation systems (low six bits), whether the document is a correction (bit
// 6) and whether the rest goes to the parser as raw UTF-16 units (high bit)
// or as UTF-8 made into host text; the second the cash in the drawer.
#include "FiscalDocuments.h"
#include "TextCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Expect(bool condition, const char* what) {
  if (condition)
    return;
  std::fprintf(stderr, "checkpackage_fuzz: %s\n", what);
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  const uint8_t head = data[0];
  const int64_t drawer = int64_t{data[1]} * 1000;
  const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  std::u16string xml;
  if (head & 0x80) {
    xml.resize(rest.size() / 2);
    std::memcpy(xml.data(), rest.data(), xml.size() * 2);
  } else {
    xml = Utf8ToUtf16(rest);
  }
  TReceipt receipt;
  const std::u16string fault = ReadCheckPackage(xml, receipt);
  if (!fault.empty()) {
    Expect(fault.starts_with(u"Ошибка разбора XML : "), "unexpected message");
    Expect(receipt.Positions.empty() && receipt.CashierName.empty(), "a refused document left data");
    return 0;
  }
  Expect(!receipt.CashierName.empty(), "accepted without a cashier");

  TRegistration registration;
  registration.TaxationSystems = head & 0x3F;
  const bool correction = (head & 0x40) != 0;
  const TReceiptVerdict verdict = CheckReceiptRules(receipt, registration, drawer, correction);
  if (verdict.Fault != TReceiptFault::None) {
    Expect(!verdict.Message.empty(), "a refusal without a message");
    return 0;
  }
  Expect(verdict.Message.empty(), "an acceptance with a message");
  const TReceiptTotals& t = verdict.Totals;
  const TPayments& p = receipt.Payments;
  Expect((registration.TaxationSystems >> receipt.TaxationSystem) & 1, "an unregistered taxation system");
  Expect(!correction || receipt.HasCorrection, "a correction without its data");
  Expect(t.Total >= 0, "a negative total");
  const int64_t nonCash = p.Electronic + p.Prepayment + p.Postpayment + p.Barter;
  Expect(p.Cash + nonCash >= t.Total, "payments short of the total");
  Expect(nonCash <= t.Total, "non-cash payments above the total");
  Expect(t.Change == p.Cash + nonCash - t.Total, "change not what was overpaid");
  Expect(t.Change >= 0 && t.Change <= p.Cash, "change not from the cash");
  Expect(t.Change == 0 || p.Cash > 0, "change with no cash paid");
  const bool paysOut = receipt.OperationType == TOperationType::SaleReturn ||
                       receipt.OperationType == TOperationType::Purchase;
  Expect(!paysOut || p.Cash - t.Change <= drawer, "paid out more cash than the drawer holds");
  int64_t byRate = 0;
  size_t lines = 0;
  for (const int64_t amount : t.AmountByRate)
    byRate += amount;
  for (const TPosition& position : receipt.Positions)
    if (position.Kind == TPositionKind::Fiscal) {
      ++lines;
      Expect(position.Line.VatRate != TVatRate::Unknown, "an unknown VAT rate accepted");
      Expect(position.Line.VatRate == TVatRate::None || position.Line.HasVatAmount, "a rate without its VAT");
    }
  Expect(lines > 0, "a receipt without lines");
  Expect(byRate == t.Total, "totals per rate do not add up");
  return 0;
}
