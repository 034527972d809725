// LABELSIM_3001 as the platform sees it: the real library driven through its
// exports by the test host. Batches of a job as a driver keeps them, every
// copy's PNG at the label's size in dots and every label's record, and
// nothing written for a batch that is refused or cannot be written whole.
#include "LabelHost.h"

#include <fstream>

namespace {

// Width and height of a PNG file's IHDR; 0, 0 when it is no PNG.
std::pair<int, int> PngSize(const std::string& bytes) {
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  const auto at = [&](size_t i) {
    int n = 0;
    for (size_t k = i; k < i + 4; ++k)
      n = n * 256 + static_cast<unsigned char>(bytes[k]);
    return n;
  };
  return {at(16), at(20)};
}

std::pair<int, int> PngSizeOf(const std::string& name) {
  return PngSize(testenv::ReadFileBytes(LabelSimAddin::Folder() / name));
}

TEST_F(LabelSimAddin, OffersTheLabelPrinterMethods) {
  EXPECT_EQ(addIn->ClassNames(), kClass);
  const long initialize = component->FindMethod(u"InitializePrinter");
  const long print = component->FindMethod(u"PrintLabels");
  ASSERT_GE(initialize, 0);
  EXPECT_EQ(print, initialize + 1);
  EXPECT_EQ(component->FindMethod(u"ИнициализацияПринтера"), initialize);
  EXPECT_EQ(component->FindMethod(u"ПечатьЭтикеток"), print);
  EXPECT_EQ(component->GetNParams(initialize), 1);
  EXPECT_EQ(component->GetNParams(print), 3);

  ValueList list(memory);
  list.Add(EmptyValue());
  tVariant result = AddInFixture::Call(u"GetDescription", list);
  ReleaseValue(memory, result);
  EXPECT_NE(TextOf(list[0], &memory).find(u"EquipmentType=\"ПринтерЭтикеток\""), std::u16string::npos);
}

TEST_F(LabelSimAddin, EveryCopyIsAPngOfTheLabelsSizeAndEveryLabelARecord) {
  const std::u16string id = Open();
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(false)}), 1);
  ASSERT_EQ(Print(id,
                  Batch(kFormatting, u"<Label Quantity=\"2\"><Record FieldName=\"Name\" Value=\"Кофе\"/>"
                                     u"<Record FieldName=\"Code\" Value=\"4601234567893\"/></Label>"
                                     u"<Label Quantity=\"2\"><Record FieldName=\"Price\" Value=\"150,00\"/>"
                                     u"<Record FieldName=\"Code\" Value=\"4601234567886\"/></Label>"),
                  u"first"),
            1)
      << U8(LastError());
  EXPECT_EQ(Files(),
            (std::vector<std::string>{"000001-1.png", "000001-2.png", "000002-1.png", "000002-2.png"}));
  for (const std::string& name : Files())
    EXPECT_EQ(PngSizeOf(name), std::make_pair(Dots(58, 203), Dots(40, 203))) << name;
  EXPECT_EQ(Records(), "000001\t2\tName=Кофе\tPrice=0,00\tCode=4601234567893\tArticle=A-1\t"
                       "000001-1.png\t000001-2.png\r\n"
                       "000002\t2\tName=Товар\tPrice=150,00\tCode=4601234567886\tArticle=A-1\t"
                       "000002-1.png\t000002-2.png\r\n");

  // The last batch prints with the first's formatting at the resolution of
  // the moment, numbered on, and ends the job.
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Resolution"), DoubleValue(250)}), 0);
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Resolution"), DoubleValue(300)}), 1);
  ASSERT_EQ(Print(id, Batch(u"", u"<Label><Record FieldName=\"Article\" Value=\"B-2\"/></Label>"), u"last"),
            1)
      << U8(LastError());
  EXPECT_EQ(PngSizeOf("000003-1.png"), std::make_pair(Dots(58, 300), Dots(40, 300)));
  const std::string records = Records();
  EXPECT_TRUE(records.ends_with("000003\t1\tName=Товар\tPrice=0,00\tCode=\tArticle=B-2\t000003-1.png\r\n"))
      << records;
  EXPECT_EQ(Print(id, Batch(u"", u"<Label/>"), u"regular"), 0);
  EXPECT_EQ(Files().size(), 5u);

  // A second object (a restart) numbers on from the record file.
  component.reset();
  AddInFixture::SetUp();
  ASSERT_EQ(Print(Open(), Batch(kFormatting, u"<Label/>"), u"last"), 1) << U8(LastError());
  EXPECT_EQ(Files().back(), "000004-1.png");
}

TEST_F(LabelSimAddin, BatchesFollowTheJobAsADriverKeepsIt) {
  const std::u16string id = Open();
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(false)}), 1);
  const std::u16string labels = Batch(u"", u"<Label/>");
  EXPECT_EQ(Print(id, labels, u"regular"), 0);
  EXPECT_EQ(U8(LastError()), "Пакет regular без первого пакета (first): форматирование этикеток не задано");
  EXPECT_EQ(Print(id, labels, u"last"), 0);
  EXPECT_EQ(Print(id, labels, u"first"), 0);
  EXPECT_EQ(U8(LastError()), "В первом пакете (first) нет элемента \"Formatting\"");
  EXPECT_EQ(Print(id, Batch(kFormatting, u"<Label/>"), u"middle"), 0);
  EXPECT_EQ(U8(LastError()), "Неверный статус пакета \"middle\", ожидается first, regular или last");
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(Records(), "");

  // A lone last batch with its formatting is a whole job.
  EXPECT_EQ(Print(id, Batch(kFormatting, u"<Label/>"), u"LAST"), 1) << U8(LastError());
  EXPECT_EQ(Print(id, labels, u"regular"), 0);

  // A first batch may hold no label; the formatting comes only with it.
  EXPECT_EQ(Print(id, Batch(kFormatting, u""), u"first"), 1) << U8(LastError());
  EXPECT_EQ(Print(id, Batch(kFormatting, u"<Label/>"), u"regular"), 0);
  EXPECT_EQ(U8(LastError()),
            "Элемент \"Formatting\" передаётся только в первом пакете (first), а не в пакете regular");
  EXPECT_EQ(Print(id, labels, u"regular"), 1) << U8(LastError());
  EXPECT_EQ(Files().size(), 2u);
  // InitializePrinter forgets the job.
  EXPECT_EQ(Call(u"ИнициализацияПринтера", {Text(id)}), 1);
  EXPECT_EQ(Print(id, labels, u"last"), 0);
  EXPECT_EQ(Call(u"InitializePrinter", {Text(u"LabelSim_3001#9")}), 0);
  EXPECT_EQ(U8(LastError()), "DeviceID LabelSim_3001#9не найдено!");
}

TEST_F(LabelSimAddin, NothingIsWrittenForABatchRefusedOrUnwritable) {
  const std::u16string id = Open();
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Show"), BoolValue(false)}), 1);
  // A record of a field the formatting lacks, after a label that resolves.
  EXPECT_EQ(Print(id,
                  Batch(kFormatting, u"<Label/><Label><Record FieldName=\"Weight\" Value=\"1\"/></Label>"),
                  u"first"),
            0);
  EXPECT_EQ(
      U8(LastError()),
      "Ошибка данных этикетки: поле \"Weight\" элемента \"Record\" не найдено в элементе \"Formatting\"");
  // A label the drawing refuses (too many dots), after one it takes.
  EXPECT_EQ(Call(u"SetParameter", {Text(u"Resolution"), DoubleValue(600)}), 1);
  EXPECT_EQ(Print(id, Batch(u"<Formatting Width=\"1000\" Height=\"1000\"/>", u"<Label/>"), u"last"), 0);
  EXPECT_NE(LastError(), u"");
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(Records(), "");

  // The labels' folder cannot be made: a file stands in its place.
  std::ofstream(Folder()) << "x";
  EXPECT_EQ(Print(id, Batch(kFormatting, u"<Label/>"), u"last"), 0);
  EXPECT_TRUE(LastError().starts_with(u"Не удалось записать этикетки в папку ")) << U8(LastError());
  EXPECT_EQ(Records(), "");
  std::filesystem::remove(Folder());
}

} // namespace
