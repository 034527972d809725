// The register's own rules on a receipt that has been read, and the totals
// its fiscal memory keeps of an accepted one.
#include "FiscalDocuments.h"

#include "TextCodec.h"

namespace {

bool Add(int64_t& sum, int64_t value) {
  return !__builtin_add_overflow(sum, value, &sum);
}

TReceiptVerdict Refuse(TReceiptFault fault, std::u16string message) {
  TReceiptVerdict verdict;
  verdict.Fault = fault;
  verdict.Message = std::move(message);
  return verdict;
}

std::u16string InLine(size_t number) {
  return u" (позиция " + Decimal(static_cast<long long>(number)) + u")";
}

// PriceWithDiscount x Quantity, rounded half up to the kopeck, is the line's
// amount: amount*1000 - 500 <= price*quantity < amount*1000 + 500.
bool AmountMatches(const TFiscalLine& line) {
  int64_t product = 0;
  if (__builtin_mul_overflow(line.Price, line.Quantity, &product))
    return false;
  const int64_t exact = line.Amount * 1000; // amounts are below 10^16 kopecks
  return product >= exact - 500 && product < exact + 500;
}

} // namespace

std::u16string_view VatRateName(TVatRate rate) {
  static constexpr std::u16string_view kNames[] = {u"none", u"20",     u"18",     u"10",
                                                   u"0",    u"20/120", u"18/118", u"10/110"};
  const size_t i = static_cast<size_t>(rate);
  return i < kVatRateCount ? kNames[i] : std::u16string_view();
}

TReceiptVerdict CheckReceiptRules(const TReceipt& receipt, const TRegistration& registration,
                                  int64_t drawerCash, bool correction) {
  if (correction && !receipt.HasCorrection)
    return Refuse(TReceiptFault::NoCorrectionData, u"Не заданы данные коррекции (CorrectionData)");
  if (receipt.TaxationSystem < 0 || receipt.TaxationSystem > kTaxationSystemMax ||
      (registration.TaxationSystems & (1u << receipt.TaxationSystem)) == 0)
    return Refuse(TReceiptFault::TaxationSystem, u"ККТ не зарегистрирована с указанной СНО");
  TReceiptTotals totals;
  size_t number = 0;
  for (const TPosition& position : receipt.Positions) {
    if (position.Kind != TPositionKind::Fiscal)
      continue;
    const TFiscalLine& line = position.Line;
    ++number;
    const size_t rate = static_cast<size_t>(line.VatRate);
    if (rate >= kVatRateCount || (registration.VatRates & (1u << rate)) == 0)
      return Refuse(TReceiptFault::VatRate,
                    u"Неверная ставка НДС \"" + line.VatRateText + u"\"" + InLine(number));
    if (line.VatRate != TVatRate::None && !line.HasVatAmount)
      return Refuse(TReceiptFault::VatAmount, u"Не указана сумма НДС" + InLine(number));
    if (!AmountMatches(line))
      return Refuse(TReceiptFault::LineAmount,
                    u"Сумма позиции не равна произведению цены на количество" + InLine(number));
    if (!Add(totals.Total, line.Amount) || !Add(totals.AmountByRate[rate], line.Amount) ||
        !Add(totals.VatByRate[rate], line.VatAmount))
      return Refuse(TReceiptFault::TooLarge, u"Переполнение итога чека");
  }
  if (number == 0)
    return Refuse(TReceiptFault::NoLines, u"В чеке нет ни одной позиции");

  const TPayments& p = receipt.Payments;
  int64_t nonCash = 0;
  int64_t paid = p.Cash;
  if (!Add(nonCash, p.Electronic) || !Add(nonCash, p.Prepayment) || !Add(nonCash, p.Postpayment) ||
      !Add(nonCash, p.Barter) || !Add(paid, nonCash))
    return Refuse(TReceiptFault::TooLarge, u"Переполнение итога чека");
  if (paid < totals.Total)
    return Refuse(TReceiptFault::Underpaid, u"Чек оплачен не полностью");
  if (nonCash > totals.Total)
    return Refuse(TReceiptFault::NonCashAboveTotal, u"Сумма не наличных платежей превышает сумму чека");
  totals.Change = paid - totals.Total; // at most the cash, since the rest is not above the total
  const bool paysOut = receipt.OperationType == TOperationType::SaleReturn ||
                       receipt.OperationType == TOperationType::Purchase;
  if (paysOut && p.Cash - totals.Change > drawerCash)
    return Refuse(TReceiptFault::NoCash, u"Недостаточно наличных в кассе");

  totals.Cash = p.Cash;
  totals.Electronic = p.Electronic;
  totals.Prepayment = p.Prepayment;
  totals.Postpayment = p.Postpayment;
  totals.Barter = p.Barter;
  TReceiptVerdict verdict;
  verdict.Totals = totals;
  return verdict;
}
