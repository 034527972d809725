// Name tables of every equipment type, as data. The tables with parameter
// counts and identifiers are the ones an emulator registers with the host.
#include "DeviceSet.h"

namespace {

// Common methods, revision 2001.
constexpr const char16_t* kCommon2001En[] = {
    u"GetVersion", u"GetDescription", u"GetLastError", u"GetParameters",        u"SetParameter",
    u"Open",       u"Close",          u"DeviceTest",   u"GetAdditionalActions", u"DoAdditionalAction",
};
constexpr const char16_t* kCommon2001Ru[] = {
    u"ПолучитьНомерВерсии",
    u"ПолучитьОписание",
    u"ПолучитьОшибку",
    u"ПолучитьПараметры",
    u"УстановитьПараметр",
    u"Подключить",
    u"Отключить",
    u"ТестУстройства",
    u"ПолучитьДополнительныеДействия",
    u"ВыполнитьДополнительноеДействие",
};
constexpr int32_t kCommon2001Params[] = {0, 7, 1, 1, 2, 1, 1, 2, 1, 1};
constexpr int32_t kCommon2001Ids[] = {
    m_GetVersion, m_GetDescription, m_GetLastError, m_GetParameters,        m_SetParameter,
    m_Open,       m_Close,          m_DeviceTest,   m_GetAdditionalActions, m_DoAdditionalAction,
};

// Common methods, revision 3001: the first two rows differ.
constexpr const char16_t* kCommon3001En[] = {
    u"GetInterfaceRevision",
    u"GetDescription",
    u"GetLastError",
    u"GetParameters",
    u"SetParameter",
    u"Open",
    u"Close",
    u"DeviceTest",
    u"GetAdditionalActions",
    u"DoAdditionalAction",
};
constexpr const char16_t* kCommon3001Ru[] = {
    u"ПолучитьРевизиюИнтерфейса",
    u"ПолучитьОписание",
    u"ПолучитьОшибку",
    u"ПолучитьПараметры",
    u"УстановитьПараметр",
    u"Подключить",
    u"Отключить",
    u"ТестУстройства",
    u"ПолучитьДополнительныеДействия",
    u"ВыполнитьДополнительноеДействие",
};
constexpr int32_t kCommon3001Params[] = {0, 1, 1, 1, 2, 1, 1, 2, 1, 1};
constexpr int32_t kCommon3001Ids[] = {
    m_GetInterfaceRevision,
    m_GetDescription_3001,
    m_GetLastError,
    m_GetParameters,
    m_SetParameter,
    m_Open,
    m_Close,
    m_DeviceTest,
    m_GetAdditionalActions,
    m_DoAdditionalAction,
};

// Offline label scale.
constexpr const char16_t* kLabelScaleEn[] = {u"UploadGoods", u"ClearGoods"};
constexpr const char16_t* kLabelScaleRu[] = {u"ВыгрузитьТовары", u"ОчиститьТовары"};
constexpr int32_t kLabelScaleParams[] = {3, 1};
constexpr int32_t kLabelScaleIds[] = {m_UploadGoods, m_ClearGoods};

// Customer display.
constexpr const char16_t* kDisplayEn[] = {u"StringOutputOnPanelSim", u"ClearPanelSim", u"GetOutputOptions"};
constexpr const char16_t* kDisplayRu[] = {u"ВывестиСтрокуНаДисплейПокупателя", u"ОчиститьДисплейПокупателя",
                                          u"ПолучитьПараметрыВывода"};
constexpr int32_t kDisplayParams[] = {2, 1, 3};
constexpr int32_t kDisplayIds[] = {m_StringOutputOnPanelSim, m_ClearPanelSim, m_GetOutputOptions};

// Card terminal.
constexpr const char16_t* kCardEn[] = {
    u"PayByPaymentCard",
    u"ReturnPaymentByPaymentCard",
    u"CancelPaymentByPaymentCard",
    u"AuthorisationByPaymentCard",
    u"AuthConfirmationByPaymentCard",
    u"CancelAuthorisationByPaymentCard",
    u"EmergencyReversal",
    u"Settlement",
    u"PrintSlipOnTerminal",
};
constexpr const char16_t* kCardRu[] = {
    u"ОплатитьПлатежнойКартой",
    u"ВернутьПлатежПоПлатежнойКарте",
    u"ОтменитьПлатежПоПлатежнойКарте",
    u"ПреавторизацияПоПлатежнойКарте",
    u"ЗавершитьПреавторизациюПоПлатежнойКарте",
    u"ОтменитьПреавторизациюПоПлатежнойКарте",
    u"АварийнаяОтменаОперации",
    u"ИтогиДняПоКартам",
    u"ПечатьКвитанцийНаТерминале",
};
constexpr int32_t kCardParams[] = {7, 7, 7, 7, 7, 7, 1, 2, 0};
constexpr int32_t kCardIds[] = {
    m_PayByPaymentCard,
    m_ReturnPaymentByPaymentCard,
    m_CancelPaymentByPaymentCard,
    m_AuthorisationByPaymentCard,
    m_AuthConfirmationByPaymentCard,
    m_CancelAuthorisationByPaymentCard,
    m_EmergencyReversal,
    m_Settlement,
    m_PrintSlipOnTerminal,
};

// Electronic scale (its names stand with the other equipment types below).
constexpr int32_t kElectronicScaleParams[] = {2, 2};
constexpr int32_t kElectronicScaleIds[] = {m_Calibrate, m_GetWeight};

// Equipment types that no library of ours registers: names only (and the
// electronic scale's names, which its table above takes).
constexpr const char16_t* kElectronicScaleEn[] = {u"Calibrate", u"GetWeight"};
constexpr const char16_t* kElectronicScaleRu[] = {u"УстановитьВесТары", u"ПолучитьВес"};

constexpr const char16_t* kDataCollectionEn[] = {u"UploadTable", u"DownloadTable", u"ClearTable"};
constexpr const char16_t* kDataCollectionRu[] = {u"ВыгрузитьТаблицу", u"ЗагрузитьТаблицу",
                                                 u"ОчиститьТаблицу"};

constexpr const char16_t* kReceiptPrinterEn[] = {u"PrintTextDocument", u"OpenCashDrawer", u"GetLineLength"};
constexpr const char16_t* kReceiptPrinterRu[] = {u"НапечататьТекстовыйДокумент", u"ОткрытьДенежныйЯщик",
                                                 u"ПолучитьШиринуСтроки"};
// The receipt printer's names are registered too (RECEIPTSIM_3001), with
// identifiers of their own, apart from the fiscal register's methods of the
// same names.
constexpr int32_t kReceiptPrinterParams[] = {2, 1, 2};
constexpr int32_t kReceiptPrinterIds[] = {m_cp_PrintTextDocument, m_cp_OpenCashDrawer, m_cp_GetLineLength};

constexpr const char16_t* kLabelPrinterEn[] = {u"InitializePrinter", u"PrintLabels"};
constexpr const char16_t* kLabelPrinterRu[] = {u"ИнициализацияПринтера", u"ПечатьЭтикеток"};
constexpr int32_t kLabelPrinterParams[] = {1, 3};
constexpr int32_t kLabelPrinterIds[] = {m_InitializePrinter, m_PrintLabels};

constexpr const char16_t* kFiscalEn[] = {
    u"GetDataKKT",
    u"OperationFN",
    u"OpenShift",
    u"CloseShift",
    u"ProcessCheck",
    u"ProcessCorrectionCheck",
    u"PrintTextDocument",
    u"CashInOutcome",
    u"PrintXReport",
    u"GetCurrentStatus",
    u"ReportCurrentStatusOfSettlements",
    u"OpenCashDrawer",
    u"GetLineLength",
};
constexpr const char16_t* kFiscalRu[] = {
    u"ПолучитьПараметрыККТ",
    u"ОперацияФН",
    u"ОткрытьСмену",
    u"ЗакрытьСмену",
    u"СформироватьЧек",
    u"СформироватьЧекКоррекции",
    u"НапечататьТекстовыйДокумент",
    u"НапечататьЧекВнесенияВыемки",
    u"НапечататьОтчетБезГашения",
    u"ПолучитьТекущееСостояние",
    u"ОтчетОТекущемСостоянииРасчетов",
    u"ОткрытьДенежныйЯщик",
    u"ПолучитьШиринуСтроки",
};
// The third variant has PrintCheckCopy after PrintXReport.
constexpr const char16_t* kFiscal3En[] = {
    u"GetDataKKT",
    u"OperationFN",
    u"OpenShift",
    u"CloseShift",
    u"ProcessCheck",
    u"ProcessCorrectionCheck",
    u"PrintTextDocument",
    u"CashInOutcome",
    u"PrintXReport",
    u"PrintCheckCopy",
    u"GetCurrentStatus",
    u"ReportCurrentStatusOfSettlements",
    u"OpenCashDrawer",
    u"GetLineLength",
    // The marking codes' methods.
    u"OpenSessionRegistrationKM",
    u"CloseSessionRegistrationKM",
    u"RequestKM",
    u"GetProcessingKMResult",
    u"ConfirmKM",
};
constexpr const char16_t* kFiscal3Ru[] = {
    u"ПолучитьПараметрыККТ",
    u"ОперацияФН",
    u"ОткрытьСмену",
    u"ЗакрытьСмену",
    u"СформироватьЧек",
    u"СформироватьЧекКоррекции",
    u"НапечататьТекстовыйДокумент",
    u"НапечататьЧекВнесенияВыемки",
    u"НапечататьОтчетБезГашения",
    u"НапечататьКопиюЧека",
    u"ПолучитьТекущееСостояние",
    u"ОтчетОТекущемСостоянииРасчетов",
    u"ОткрытьДенежныйЯщик",
    u"ПолучитьШиринуСтроки",
    u"ОткрытьСессиюРегистрацииКМ",
    u"ЗакрытьСессиюРегистрацииКМ",
    u"ЗапросКМ",
    u"ПолучитьРезультатыЗапросаКМ",
    u"ПодтвердитьКМ",
};

// The fiscal register's table (FISCALSIM_3004): the third variant's names.
constexpr int32_t kFiscal3Params[] = {2, 3, 3, 3, 4, 3, 2, 3, 2, 2, 3, 3, 1, 2, 1, 1, 3, 3, 3};
constexpr int32_t kFiscal3Ids[] = {
    m_GetDataKKT,
    m_OperationFN,
    m_OpenShift,
    m_CloseShift,
    m_ProcessCheck,
    m_ProcessCorrectionCheck,
    m_PrintTextDocument,
    m_CashInOutcome,
    m_PrintXReport,
    m_PrintCheckCopy,
    m_GetCurrentStatus,
    m_ReportCurrentStatusOfSettlements,
    m_OpenCashDrawer,
    m_GetLineLength,
    m_OpenSessionRegistrationKM,
    m_CloseSessionRegistrationKM,
    m_RequestKM,
    m_GetProcessingKMResult,
    m_ConfirmKM,
};

template <size_t N>
constexpr TMethodTable MakeTable(const char16_t* const (&en)[N], const char16_t* const (&ru)[N],
                                 const int32_t (&counts)[N], const int32_t (&ids)[N]) {
  return TMethodTable{en, ru, counts, ids};
}

template <size_t N>
constexpr TNameTable MakeNames(const char16_t* const (&en)[N], const char16_t* const (&ru)[N]) {
  return TNameTable{en, ru};
}

} // namespace

constinit const TMethodTable CommonMethods2001 =
    MakeTable(kCommon2001En, kCommon2001Ru, kCommon2001Params, kCommon2001Ids);
constinit const TMethodTable CommonMethods3001 =
    MakeTable(kCommon3001En, kCommon3001Ru, kCommon3001Params, kCommon3001Ids);
constinit const TMethodTable LabelScaleMethods =
    MakeTable(kLabelScaleEn, kLabelScaleRu, kLabelScaleParams, kLabelScaleIds);
constinit const TMethodTable CustomerDisplayMethods =
    MakeTable(kDisplayEn, kDisplayRu, kDisplayParams, kDisplayIds);
constinit const TMethodTable CardTerminalMethods = MakeTable(kCardEn, kCardRu, kCardParams, kCardIds);
constinit const TMethodTable ElectronicScaleMethods =
    MakeTable(kElectronicScaleEn, kElectronicScaleRu, kElectronicScaleParams, kElectronicScaleIds);
constinit const TMethodTable ReceiptPrinterMethods =
    MakeTable(kReceiptPrinterEn, kReceiptPrinterRu, kReceiptPrinterParams, kReceiptPrinterIds);
constinit const TMethodTable LabelPrinterMethods =
    MakeTable(kLabelPrinterEn, kLabelPrinterRu, kLabelPrinterParams, kLabelPrinterIds);
constinit const TMethodTable FiscalRegisterMethods3 =
    MakeTable(kFiscal3En, kFiscal3Ru, kFiscal3Params, kFiscal3Ids);

constinit const TNameTable ElectronicScaleNames = MakeNames(kElectronicScaleEn, kElectronicScaleRu);
constinit const TNameTable DataCollectionTerminalNames = MakeNames(kDataCollectionEn, kDataCollectionRu);
constinit const TNameTable ReceiptPrinterNames = MakeNames(kReceiptPrinterEn, kReceiptPrinterRu);
constinit const TNameTable LabelPrinterNames = MakeNames(kLabelPrinterEn, kLabelPrinterRu);
constinit const TNameTable FiscalRegisterNames1 = MakeNames(kFiscalEn, kFiscalRu);
constinit const TNameTable FiscalRegisterNames2 = MakeNames(kFiscalEn, kFiscalRu);
constinit const TNameTable FiscalRegisterNames3 = MakeNames(kFiscal3En, kFiscal3Ru);
