// RECEIPTSIM_3001 as the platform sees it: the real library, loaded and driven
// through its exports and interface tables by the test host. The printer's
// methods under both names, a document on the tape file, a malformed one
// refused with its parse error, the call log, and the host's memory.
#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace {

using namespace testhost;

constexpr char16_t kClass[] = u"Orvik_ReceiptSim_3001";

std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

std::string ReadFile(const std::u16string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

AddIn* library = nullptr;

class ReceiptSimAddin : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (library == nullptr) {
      std::string error;
      library = AddIn::Load(BesideExecutable(RECEIPTSIM_FILE), error).release();
      ASSERT_NE(library, nullptr) << error;
    }
  }

  void SetUp() override {
    ASSERT_NE(library, nullptr);
    printer_ = library->Create(kClass, memory_);
    ASSERT_NE(printer_, nullptr);
    ASSERT_TRUE(printer_->Init(connection_));
    ASSERT_TRUE(printer_->SetMemManager());
    std::optional<std::u16string> name;
    printer_->RegisterExtensionAs(name);
  }

  void TearDown() override {
    printer_.reset();
    EXPECT_TRUE(memory_.Clean()) << memory_.Summary();
    EXPECT_TRUE(connection_.Errors().empty());
  }

  // One call; gives the boolean result (-1 for another type) and leaves the
  // parameters' texts after the call in outputs.
  int Call(std::u16string_view method, std::vector<tVariant> params,
           std::vector<std::u16string>* outputs = nullptr, int32_t* integer = nullptr) {
    const long index = printer_->FindMethod(method);
    EXPECT_GE(index, 0) << U8(method);
    ValueList list(memory_);
    for (const tVariant& value : params)
      list.Add(value);
    tVariant result = EmptyValue();
    EXPECT_TRUE(printer_->CallAsFunc(index, result, list));
    for (long k = 0; outputs != nullptr && k < list.Count(); ++k)
      outputs->push_back(TextOf(list[static_cast<size_t>(k)], &memory_));
    if (integer != nullptr && list.Count() > 1 && TypeOf(list[1]) == VTYPE_I4)
      *integer = list[1].lVal;
    const int outcome = TypeOf(result) == VTYPE_BOOL ? result.bVal : -1;
    ReleaseValue(memory_, result);
    return outcome;
  }

  tVariant Text(std::u16string_view text) { return StringValue(memory_, text); }

  std::u16string Open() {
    std::vector<std::u16string> out;
    EXPECT_EQ(Call(u"Open", {EmptyValue()}, &out), 1);
    return out.at(0);
  }

  std::u16string LastError() {
    std::vector<std::u16string> out;
    Call(u"GetLastError", {EmptyValue()}, &out);
    return out.at(0);
  }

  CountingMemory memory_;
  RecordingConnection connection_;
  std::unique_ptr<Component> printer_;
};

TEST_F(ReceiptSimAddin, OffersTheReceiptPrinterMethods) {
  EXPECT_EQ(library->ClassNames(), kClass);
  const long print = printer_->FindMethod(u"PrintTextDocument");
  EXPECT_EQ(print, 10);
  EXPECT_EQ(printer_->FindMethod(u"НапечататьТекстовыйДокумент"), print);
  EXPECT_EQ(printer_->FindMethod(u"ОткрытьДенежныйЯщик"), 11);
  EXPECT_EQ(printer_->FindMethod(u"ПолучитьШиринуСтроки"), 12);
  EXPECT_EQ(printer_->GetNParams(10), 2);
  EXPECT_EQ(printer_->GetNParams(11), 1);
  EXPECT_EQ(printer_->GetNParams(12), 2);

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
  EXPECT_EQ(ReadFile(tape), "Кофе 1 x 150,00\r\n[CODE39 ORVIK-1]\r\n~~~~~~~~~~~~ отрез ~~~~~~~~~~~~~\r\n"
                            "*** Денежный ящик открыт ***\r\n");

  EXPECT_EQ(Call(u"OpenCashDrawer", {Text(u"ReceiptSim_3001#5")}), 0);
  EXPECT_EQ(U8(LastError()), "DeviceID ReceiptSim_3001#5не найдено!");
}

} // namespace
