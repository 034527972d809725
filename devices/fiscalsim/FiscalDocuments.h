// The fiscal register's documents, kept apart from the device object so that
// they can be checked and fuzzed directly: the readers of what the host hands
// over (CheckPackage, InputParameters, ParametersFiscal), the register's own
// rules on a receipt, and the writers of what it answers (OutputParameters,
// DocumentOutputParameters, TableParametersKKT).
//
// The readers use the shared strict XML check (XmlCheck.h): a document that is
// not well-formed is refused with the parser's message and its line and
// column; a missing or malformed attribute is named with its element.
// Element and attribute names are compared with A-Z folded; elements and
// attributes the register does not use are passed over.
//
// Values as they travel: numbers with a dot or a comma before the fraction;
// booleans true/false in any letter case (or 1/0); dates YYYY-MM-DDTHH:MM:SS.
// An empty optional attribute or element means "not given". Money is held in
// kopecks, quantities in thousandths, both int64_t.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Operation types of a receipt.
enum class TOperationType { Sale = 1, SaleReturn = 2, Purchase = 3, PurchaseReturn = 4 };

// The VAT rates a register knows, in the order the totals keep them.
enum class TVatRate { None, Vat20, Vat18, Vat10, Vat0, Vat20_120, Vat18_118, Vat10_110, Unknown };
inline constexpr size_t kVatRateCount = 8; // all but Unknown

// The rate as documents name it: "none", "20", ..., "10/110" (empty for Unknown).
std::u16string_view VatRateName(TVatRate rate);

// Highest taxation system code (0 general ... 5 patent).
inline constexpr int32_t kTaxationSystemMax = 5;

// What the register knows of a line's marking code from the session of its
// codes, filled before the receipt is recorded.
struct TLineMarking {
  std::string Code; // the code's bytes, decoded from MarkingCode
  std::string Gtin;
  std::string Serial;
  int32_t PlannedStatus = 0;
  int32_t ResultCode = 0; // bits 1 drive checked, 2 its result positive, 4 system checked, 8 positive
  std::u16string Rule;    // the control file's rule that answered for the system
};

// One FiscalString.
struct TFiscalLine {
  std::u16string Name;
  int64_t Quantity = 0; // thousandths
  int64_t Price = 0;    // PriceWithDiscount, kopecks
  int64_t Amount = 0;   // AmountWithDiscount, kopecks: what the line costs
  int64_t Discount = 0; // DiscountAmount: above 0 a discount, below 0 a surcharge
  int32_t Department = 0;
  TVatRate VatRate = TVatRate::Unknown;
  std::u16string VatRateText; // as given, for a refusal of an unknown rate
  bool HasVatAmount = false;
  int64_t VatAmount = 0;
  int32_t PaymentMethod = 4;      // full settlement unless given
  int32_t CalculationSubject = 1; // goods unless given
  int32_t MeasureOfQuantity = -1; // -1: not given
  std::u16string MarkingCode;     // Base64 as given
  std::optional<TLineMarking> Marking;
};

enum class TPositionKind { Fiscal, Text, Barcode };

// One position in document order. A barcode's Text is its value (decoded
// when it came as ValueBase64), BarcodeType one of EAN8, EAN13, CODE39, QR.
struct TPosition {
  TPositionKind Kind = TPositionKind::Text;
  TFiscalLine Line;
  std::u16string Text;
  std::u16string BarcodeType;
};

struct TPayments {
  int64_t Cash = 0;
  int64_t Electronic = 0;
  int64_t Prepayment = 0;
  int64_t Postpayment = 0;
  int64_t Barter = 0;
};

struct TCorrectionData {
  int32_t Type = 0; // 0 on own initiative, 1 by order
  std::u16string Description;
  std::u16string Date; // YYYY-MM-DDTHH:MM:SS or empty
  std::u16string Number;
};

struct TReceipt {
  TOperationType OperationType = TOperationType::Sale;
  int32_t TaxationSystem = 0;
  std::u16string CashierName;
  std::u16string CashierINN;
  std::u16string CustomerEmail;
  std::u16string CustomerPhone;
  std::u16string CustomerInfo; // CustomerDetail Info, or the older CustomerInfo
  std::u16string CustomerINN;
  std::u16string SaleAddress;
  std::u16string SaleLocation;
  bool HasCorrection = false;
  TCorrectionData Correction;
  std::vector<TPosition> Positions;
  TPayments Payments;
};

// Reads a CheckPackage, UTF-16 as the host passes it. Empty when accepted
// (receipt then holds it), else the message for LastErrorText. The root
// CheckPackage needs Parameters, Positions and Payments, each once.
std::u16string ReadCheckPackage(std::u16string_view xml, TReceipt& receipt);

// What the register was registered with, as far as a receipt is concerned.
struct TRegistration {
  uint32_t TaxationSystems = 1;                  // bit n: code n registered
  uint32_t VatRates = (1u << kVatRateCount) - 1; // bit n: TVatRate n known
};

// Why the register refuses a receipt it has read. Each has a stable code for
// GetLastError (its value) and a message.
enum class TReceiptFault {
  None = 0,
  TaxationSystem = 1,
  VatRate,
  VatAmount,
  NoLines,
  LineAmount,
  Underpaid,
  NonCashAboveTotal,
  NoCash,
  NoCorrectionData,
  TooLarge,
};

// What the fiscal memory needs of an accepted receipt.
struct TReceiptTotals {
  int64_t Total = 0;
  int64_t Cash = 0;
  int64_t Electronic = 0;
  int64_t Prepayment = 0;
  int64_t Postpayment = 0;
  int64_t Barter = 0;
  int64_t Change = 0;                                // handed back, from the cash
  std::array<int64_t, kVatRateCount> AmountByRate{}; // line amounts per rate
  std::array<int64_t, kVatRateCount> VatByRate{};    // VAT amounts per rate
};

struct TReceiptVerdict {
  TReceiptFault Fault = TReceiptFault::None;
  std::u16string Message; // empty when accepted
  TReceiptTotals Totals;  // filled when accepted
};

// The register's rules on a receipt read by ReadCheckPackage, the first
// broken one refusing it:
// - the taxation system is one the register was registered with;
// - every line's VAT rate is one it knows; a VAT amount is given for every
//   rate but "none";
// - there is at least one line; AmountWithDiscount is what a line costs (the
//   discount or surcharge is already in it, DiscountAmount only tells how
//   much), and PriceWithDiscount x Quantity must round (half up) to it;
// - the payments are not short of the total; the non-cash payments are not
//   above it, so that change, paid - total, only ever comes from the cash;
// - a return of a sale or a purchase pays cash out: the cash paid less the
//   change is not above drawerCash;
// - a correction (correction true) carries CorrectionData.
TReceiptVerdict CheckReceiptRules(const TReceipt& receipt, const TRegistration& registration,
                                  int64_t drawerCash, bool correction);

// InputParameters/Parameters: CashierName required; the rest optional.
struct TInputParameters {
  std::u16string CashierName;
  std::u16string CashierINN;
  std::u16string SaleAddress;
  std::u16string SaleLocation;
  bool PrintRequired = true;
};
std::u16string ReadInputParameters(std::u16string_view xml, TInputParameters& parameters);

// TableParametersKKT; ParametersFiscal is read into the same values.
struct TKktParameters {
  std::u16string KKTNumber;
  std::u16string KKTSerialNumber;
  std::u16string FirmwareVersion;
  bool Fiscal = false;
  std::u16string FFDVersionFN;
  std::u16string FFDVersionKKT;
  std::u16string FNSerialNumber;
  std::u16string DocumentNumber;
  std::u16string DateTime;
  std::u16string CompanyName;
  std::u16string INN;
  std::u16string SaleAddress;
  std::u16string SaleLocation;
  std::u16string TaxationSystems; // comma-separated codes
  bool IsOffline = false;
  bool IsEncrypted = false;
  bool IsService = false;
  bool IsExcisable = false;
  bool IsGambling = false;
  bool IsLottery = false;
  std::u16string AgentTypes;
  bool BSOSing = false;
  bool IsOnline = true;
  bool IsAutomaticPrinter = false;
  bool IsAutomatic = false;
  bool IsMarking = false;
  bool IsPawnshop = false;
  bool IsAssurance = false;
  std::u16string AutomaticNumber;
  std::u16string OFDCompany;
  std::u16string OFDCompanyINN;
  std::u16string FNSURL;
  std::u16string SenderEmail;
};

// The root "Parameters" with every value as an attribute.
std::u16string TableParametersKktXml(const TKktParameters& parameters);

// ParametersFiscal (for OperationFN): the table's values with the cashier,
// the reason codes of a change and the format version to register on.
struct TParametersFiscal {
  TKktParameters Kkt;
  std::u16string CashierName;
  std::u16string CashierINN;
  int32_t RegistrationReasonCode = -1; // -1: not given
  std::u16string RegistrationLabelCodes;
  std::u16string FFDVersion;
};
// Root "ParametersFiscal" with attributes. CashierName is required; an INN is
// 10 or 12 digits; taxation systems and agent types are comma lists of their
// codes; FFDVersion is 1.0, 1.05, 1.1 or 1.2 when given.
std::u16string ReadParametersFiscal(std::u16string_view xml, TParametersFiscal& parameters);

// The sales counters of one operation type.
struct TOperationCounters {
  int64_t CheckCount = 0;
  int64_t TotalChecksAmount = 0; // kopecks
  int64_t CorrectionCheckCount = 0;
  int64_t TotalCorrectionChecksAmount = 0;
};

// The methods that answer OutputParameters, each with the attributes it must carry.
enum class TShiftMethod { OpenShift, CloseShift, GetCurrentStatus, ReportCurrentStatusOfSettlements };

struct TShiftOutput {
  int64_t ShiftNumber = 0;
  int64_t CheckNumber = 0;             // last fiscal document number
  int64_t ShiftClosingCheckNumber = 0; // last receipt number in the shift
  std::u16string DateTime;
  int32_t ShiftState = 1;                       // 1 closed, 2 open, 3 expired
  std::array<TOperationCounters, 4> Counters{}; // by operation type 1-4
  int64_t CashBalance = 0;
  int64_t BacklogDocumentsCounter = 0;
  int64_t BacklogDocumentFirstNumber = 0;
  std::u16string BacklogDocumentFirstDateTime; // empty: none
  bool FNError = false;
  bool FNOverflow = false;
  bool FNFail = false;
};

// OutputParameters/Parameters with what method answers: OpenShift ShiftNumber,
// DateTime, ShiftState and the drive flags; CloseShift those with the counters
// per operation type (each a CountersOperationTypeN element holding a
// Parameters element), the cash balance and the sending backlog;
// GetCurrentStatus ShiftNumber, CheckNumber, ShiftClosingCheckNumber,
// ShiftState, the cash balance and the backlog; the settlements report
// ShiftState, the cash balance and the backlog. An empty date is written as
// the platform's empty date 0001-01-01T00:00:00.
std::u16string OutputParametersXml(TShiftMethod method, const TShiftOutput& output);

struct TDocumentOutput {
  int64_t ShiftNumber = 0;
  int64_t CheckNumber = 0;
  int64_t ShiftClosingCheckNumber = 0;
  std::u16string AddressSiteInspections;
  std::u16string FiscalSign;
  std::u16string DateTime;
};
std::u16string DocumentOutputParametersXml(const TDocumentOutput& output);

// Kopecks as the documents write money: "-12.05", "0.00".
std::u16string MoneyText(int64_t kopecks);
