// RECEIPTSIM_3001 as the platform sees it: the real library, loaded and driven
// through its exports and interface tables by the test host. The printer's
// methods under both names, a document on the tape file, a malformed one
// refused with its parse error, the call log, and the host's memory.
#include "PrinterHost.h"

namespace {

TEST_F(ReceiptSimAddin, OffersTheReceiptPrinterMethods) {
  EXPECT_EQ(addIn->ClassNames(), kClass);
  const long print = component->FindMethod(u"PrintTextDocument");
  EXPECT_EQ(print, 10);
  EXPECT_EQ(component->FindMethod(u"НапечататьТекстовыйДокумент"), print);
  EXPECT_EQ(component->FindMethod(u"ОткрытьДенежныйЯщик"), 11);
  EXPECT_EQ(component->FindMethod(u"ПолучитьШиринуСтроки"), 12);
  EXPECT_EQ(component->GetNParams(10), 2);
  EXPECT_EQ(component->GetNParams(11), 1);
  EXPECT_EQ(component->GetNParams(12), 2);

  std::vector<std::u16string> out;
  EXPECT_EQ(Call(u"GetDescription", {EmptyValue()}, &out), 1);
  EXPECT_NE(out.at(0).find(u"EquipmentType=\"ПринтерЧеков\""), std::u16string::npos) << U8(out.at(0));
  out.clear();
  EXPECT_EQ(Call(u"ТестУстройства", {EmptyValue(), EmptyValue()}, &out), 1);
  EXPECT_EQ(out.at(0), u"Эмулятор принтера чеков " + testenv::BuildVersion());
}

TEST_F(ReceiptSimAddin, PrintsOnTheTapeFileAndRefusesMalformedDocuments) {
  const std::u16string tape = testenv::LogFilePath(u"ReceiptSim_3001_tape.txt");
  std::filesystem::remove(std::filesystem::path(tape));
  const std::u16string id = Open();
  int32_t width = 0;
  EXPECT_EQ(Call(u"ПолучитьШиринуСтроки", {Text(id), EmptyValue()}, nullptr, &width), 1);
  EXPECT_EQ(width, 42);
  EXPECT_EQ(Call(u"SetParameter", {Text(u"LineLength"), IntValue(32)}), 1);

  EXPECT_EQ(
      Call(u"НапечататьТекстовыйДокумент",
           {Text(id), Text(u"<Document><Positions><TextString Text=\"Кофе 1 x 150,00\"/>"
                           u"<Barcode BarcodeType=\"CODE39\" Barcode=\"ORVIK-1\"/></Positions></Document>")}),
      1);
  EXPECT_EQ(LastError(), u"");
  EXPECT_EQ(Call(u"PrintTextDocument", {Text(id), Text(u"<Document><Positions><TextString Text=\"x\">")}), 0);
  EXPECT_EQ(U8(LastError()), "Ошибка разбора XML : текст закончился раньше документа (строка 1, позиция 43)");
  EXPECT_EQ(Call(u"OpenCashDrawer", {Text(id)}), 1);
  EXPECT_EQ(testenv::ReadFileBytes(tape),
            "Кофе 1 x 150,00\r\n[CODE39 ORVIK-1]\r\n~~~~~~~~~~~~ отрез ~~~~~~~~~~~~~\r\n"
            "*** Денежный ящик открыт ***\r\n");

  EXPECT_EQ(Call(u"OpenCashDrawer", {Text(u"ReceiptSim_3001#5")}), 0);
  EXPECT_EQ(U8(LastError()), "DeviceID ReceiptSim_3001#5не найдено!");
}

} // namespace
