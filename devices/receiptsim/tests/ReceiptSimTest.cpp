// The receipt printer object, called as the bridge calls it (no window): the
// device checks, what reaches the tape and its file, and the settings.
#include "ReceiptSim.h"
#include "EmulatorFixture.h"
#include "TestEnv.h"
#include "TestHost.h"
#include "TextCodec.h"
#ifndef _WIN32
#include "FileSizeLimit_posix.h"
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

class PrinterObject : public testenv::EmulatorFixture<TReceiptSim_3001> {
protected:
  void SetUp() override {
    EmulatorFixture::SetUp();
    tapePath = testenv::LogFilePath(printer.TapeFileName());
    std::filesystem::remove(std::filesystem::path(tapePath));
  }

  int Print(std::u16string_view xml) { return Call(u"PrintTextDocument", {Str(id), Str(xml)}); }

  TReceiptSim_3001& printer = object;
  std::u16string tapePath;
};

TEST_F(PrinterObject, PrintsAcceptedDocumentsOnTheTapeAndItsFile) {
  EXPECT_EQ(id, u"ReceiptSim_3001#1");
  EXPECT_EQ(printer.FindMethod(u"НапечататьТекстовыйДокумент"), 10);
  EXPECT_EQ(printer.MethParamCounts.at(12), 2);
  EXPECT_EQ(Print(u"<Document><Positions><TextString Text=\"Чек 1\"/>"
                  u"<Barcode Type=\"EAN13\" Value=\"4601234567893\"/></Positions></Document>"),
            1);
  EXPECT_EQ(Call(u"OpenCashDrawer", {Str(id)}), 1);
  // A refused document leaves the tape and the file as they were.
  EXPECT_EQ(Print(u"<Document><Positions><TextString Text=\"lost\"/><TextString/></Positions></Document>"),
            0);
  EXPECT_EQ(LastError(), u"Ошибка разбора XML : не найден атрибут \"Text\" у элемента \"TextString\"");
  EXPECT_EQ(Print(u"<Document><Positions><TextString Text=\"Чек 2\"/></Positions></Document>"), 1);
  const std::string cut = std::string(17, '~') + " отрез " + std::string(18, '~');
  EXPECT_EQ(testenv::ReadFileBytes(tapePath), "Чек 1\r\n[EAN13 4601234567893]\r\n" + cut +
                                                  "\r\n*** Денежный ящик открыт ***\r\nЧек 2\r\n" + cut +
                                                  "\r\n");
  ASSERT_EQ(printer.Tape.size(), 6u);
  EXPECT_EQ(printer.Tape[1].Kind, TTapeKind::Barcode);
  EXPECT_EQ(printer.Tape[3].Kind, TTapeKind::Drawer);

  // Every printer method wants an open device; the text must be a text.
  EXPECT_EQ(
      Call(u"PrintTextDocument", {Str(u"ReceiptSim_3001#2"), Str(u"<Document><Positions/></Document>")}), 0);
  EXPECT_EQ(LastError(), u"DeviceID ReceiptSim_3001#2не найдено!");
  EXPECT_EQ(Call(u"OpenCashDrawer", {testhost::IntValue(1)}), 0);
  EXPECT_EQ(Call(u"GetLineLength", {}), 0);
  EXPECT_EQ(Call(u"PrintTextDocument", {Str(id), testhost::IntValue(7)}), 0);
  EXPECT_EQ(LastError(), u"Ошибка разбора XML : текст закончился раньше документа (строка 1, позиция 1)");
  EXPECT_EQ(printer.Tape.size(), 6u);
  params.reset();
  EXPECT_TRUE(memory.Clean()) << memory.Summary();
}

TEST_F(PrinterObject, LineLengthIsAClampedSetting) {
  const auto lineLength = [this] {
    EXPECT_EQ(Call(u"GetLineLength", {Str(id)}, 2), 1);
    return (*params)[1].lVal;
  };
  EXPECT_EQ(lineLength(), 42);
  for (const auto& [given, kept] : {std::pair{32, 32}, {48, 48}, {0, 16}, {-5, 16}, {1000, 80}}) {
    EXPECT_EQ(Call(u"SetParameter", {Str(u"LINELENGTH"), testhost::IntValue(given)}), 1);
    EXPECT_EQ(lineLength(), kept) << given;
  }
  EXPECT_EQ(Call(u"SetParameter", {Str(u"LineLength"), testhost::IntValue(32)}), 1);
  EXPECT_EQ(Print(u"<Document><Positions><TextString Text=\"" + std::u16string(40, u'x') +
                  u"\"/></Positions></Document>"),
            1);
  ASSERT_EQ(printer.Tape.size(), 3u);
  EXPECT_EQ(printer.Tape[1].Text, std::u16string(8, u'x'));
  EXPECT_EQ(printer.Tape[2].Text.size(), 32u);

  EXPECT_EQ(Call(u"GetParameters", {}, 1), 1);
  EXPECT_NE(
      Text(0).find(u"<Parameter Name=\"LineLength\" Caption=\"Ширина строки, символов\" TypeValue=\"Number\" "
                   u"DefaultValue=\"42\"/>"),
      std::u16string::npos);
}

TEST_F(PrinterObject, KeepsOnlyTheLastLinesForTheWindow) {
  std::u16string many;
  for (int i = 0; i < 1200; ++i)
    many += u"<TextString Text=\"" + Utf8ToUtf16(std::to_string(i)) + u"\"/>";
  const std::u16string xml = u"<Document><Positions>" + many + u"</Positions></Document>";
  EXPECT_EQ(Print(xml), 1);
  EXPECT_EQ(Print(xml), 1);
  ASSERT_EQ(printer.Tape.size(), kReceiptTapeLimit);
  EXPECT_EQ(printer.Tape.front().Text, u"402"); // of 2402 lines printed
  EXPECT_EQ(printer.Tape.back().Kind, TTapeKind::Cut);
}

#ifndef _WIN32
// A tape file that takes nothing (/dev/full: no space for any write), then
// one that takes a part (a file size limit): what did not land was not
// printed, and the call says why.
TEST_F(PrinterObject, WhatTheTapeFileDoesNotTakeIsNotPrinted) {
  const std::u16string document = u"<Document><Positions><TextString Text=\"Чек\"/></Positions></Document>";
  if (std::filesystem::exists("/dev/full")) {
    std::filesystem::create_symlink("/dev/full", std::filesystem::path(tapePath));
    const std::u16string full = u"Не удалось записать ленту в файл " + tapePath + u": нет места на диске";
    EXPECT_EQ(Print(document), 0);
    EXPECT_EQ(LastError(), full);
    EXPECT_EQ(Call(u"OpenCashDrawer", {Str(id)}), 0);
    EXPECT_EQ(LastError(), full);
    EXPECT_TRUE(printer.Tape.empty());
    std::filesystem::remove(std::filesystem::path(tapePath));
  }
  EXPECT_EQ(Print(document), 1);
  const std::string before = testenv::ReadFileBytes(tapePath);
  {
    testenv::TFileSizeLimit limit(before.size() + 5);
    ASSERT_TRUE(limit.Set());
    EXPECT_EQ(Call(u"OpenCashDrawer", {Str(id)}), 0);
    EXPECT_EQ(LastError(),
              u"Не удалось записать ленту в файл " + tapePath + u": файл превысил допустимый размер");
    EXPECT_EQ(testenv::ReadFileBytes(tapePath), before);
  }
  EXPECT_EQ(printer.Tape.size(), 2u);
  EXPECT_EQ(Call(u"OpenCashDrawer", {Str(id)}), 1);
  EXPECT_EQ(testenv::ReadFileBytes(tapePath), before + "*** Денежный ящик открыт ***\r\n");
}
#endif

} // namespace
