// The labels document read in-process: what an accepted formatting puts into
// the picture (defaults, static values, Base64, the records' values), and the
// refusals, each naming what is wrong.
#include "LabelDocument.h"
#include "LabelFiles.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace {

std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

std::u16string Data(std::u16string_view formatting, std::u16string_view labels = u"<Label/>") {
  return u"<Data><Formatting Width=\"58\" Height=\"40,5\">" + std::u16string(formatting) +
         u"</Formatting><Labels>" + std::u16string(labels) + u"</Labels></Data>";
}

TEST(LabelDocument, FieldsTakeTheirDefaultsStaticValuesAndRecords) {
  TLabelsBatch batch;
  const std::u16string xml = Data(
      u"<Text FieldName=\"Name\" Left=\"1.5\" Top=\"2\" Width=\"50\" Height=\"8\" FontSize=\"12\" "
      u"FontStyle=\"bold, StrikeOut\" Border=\"Left Bottom\" BorderStyle=\"dashed\" Align=\"Center\" "
      u"VAlign=\"Bottom\" Orientation=\"90\" Multiline=\"1\" Value=\"Товар\"/>"
      u"<Barcode FieldName=\"Code\" Type=\"qrcode\" Left=\"0\" Top=\"10\" Height=\"20\" PrintHRI=\"false\" "
      u"Static=\"true\" ValueBase64=\"0JrQvtC0\"/>"
      u"<Barcode FieldName=\"Ean\" Type=\"EAN13\" Left=\"0\" Top=\"10\" Height=\"20\" FontSize=\"8\" "
      u"CheckSymbol=\"false\"/>"
      u"<Image FieldName=\"Logo\" Left=\"40\" Top=\"30\" Value=\"AQID\"/>"
      u"<UserData FieldName=\"Article\" Value=\"A-1\"/>",
      u"<Label Quantity=\"3\"><Record FieldName=\"name\" Value=\"Кофе\"/>"
      u"<Record FieldName=\"Ean\" Value=\"460123456789\"/></Label>"
      u"<Label><Record FieldName=\"Logo\" Value=\"BAUG\"/></Label>");
  ASSERT_EQ(U8(ReadLabelsDocument(xml, batch)), "");
  ASSERT_TRUE(batch.Formatting.has_value());
  EXPECT_EQ(batch.Formatting->Height, 40.5);
  ASSERT_EQ(batch.Labels.size(), 2u);
  EXPECT_EQ(batch.Labels[0].Quantity, 3);
  EXPECT_EQ(batch.Labels[1].Quantity, 1);

  TResolvedLabel first;
  ASSERT_EQ(U8(ResolveLabel(*batch.Formatting, batch.Labels[0], first)), "");
  EXPECT_EQ(first.Quantity, 3);
  ASSERT_EQ(first.Values.size(), 5u);
  EXPECT_EQ(first.Values[0], (std::pair<std::u16string, std::u16string>{u"Name", u"Кофе"}));
  EXPECT_EQ(first.Values[1].second, u"Код");
  EXPECT_EQ(first.Values[3].second, u"изображение, байт: 3");
  EXPECT_EQ(first.Values[4].second, u"A-1");
  ASSERT_EQ(first.Picture.Items.size(), 4u); // UserData is not drawn
  const auto& text = std::get<label::TTextItem>(first.Picture.Items[0]);
  EXPECT_EQ(text.FieldName, u"Name");
  EXPECT_EQ(text.Text, u"Кофе");
  EXPECT_EQ(text.Box.Left, 1.5);
  EXPECT_EQ(text.Box.Orientation, 90);
  EXPECT_TRUE(text.Bold && text.StrikeOut && !text.Italic && text.Multiline);
  EXPECT_TRUE(text.Borders.Left && text.Borders.Bottom && !text.Borders.Top);
  EXPECT_EQ(text.Borders.Style, label::TLineStyle::Dashed);
  EXPECT_EQ(text.Align, label::TAlign::Center);
  EXPECT_EQ(text.VAlign, label::TAlign::End);
  const auto& qr = std::get<label::TBarcodeItem>(first.Picture.Items[1]);
  EXPECT_EQ(qr.Type, u"QRCode");
  EXPECT_FALSE(qr.PrintHri);
  const auto& ean = std::get<label::TBarcodeItem>(first.Picture.Items[2]);
  EXPECT_EQ(ean.Value, u"460123456789");
  EXPECT_FALSE(ean.CheckSymbol);
  EXPECT_EQ(std::get<label::TImageItem>(first.Picture.Items[3]).Data, std::string("\x01\x02\x03"));

  // Without records: the formatting's text, no barcode without a value.
  TResolvedLabel second;
  ASSERT_EQ(U8(ResolveLabel(*batch.Formatting, batch.Labels[1], second)), "");
  EXPECT_EQ(std::get<label::TTextItem>(second.Picture.Items[0]).Text, u"Товар");
  ASSERT_EQ(second.Picture.Items.size(), 3u);
  EXPECT_EQ(std::get<label::TImageItem>(second.Picture.Items[2]).Data, std::string("\x04\x05\x06"));

  // The record line keeps a value's tabs and line breaks on its line.
  TPrintedLabel printed{2, {}, {{u"Name", u"a\tb\r\nc\\"}}};
  EXPECT_EQ(U8(LabelRecordLine(12, printed, {u"000012-1.png", u"000012-2.png"})),
            "000012\t2\tName=a\\tb\\r\\nc\\\\\t000012-1.png\t000012-2.png\r\n");
}

TEST(LabelDocument, RefusalsNameTheElementAndTheAttribute) {
  const std::u16string text =
      u"<Text FieldName=\"T\" Left=\"1\" Top=\"1\" Width=\"10\" Height=\"5\" FontSize=\"9\"/>";
  const struct {
    std::u16string Xml;
    const char* Message;
  } cases[] = {
      {u"<Labels/>", "Ошибка разбора XML : неверный корневой элемент \"Labels\", ожидается \"Data\""},
      {u"<Data><Formatting Width=\"58\" Height=\"40\"/></Data>",
       "Ошибка разбора XML : не найден элемент \"Labels\""},
      {u"<Data><Formatting Height=\"40\"/><Labels/></Data>",
       "Ошибка разбора XML : не найден атрибут \"Width\" у элемента \"Formatting\""},
      {u"<Data><Formatting Width=\"0\" Height=\"40\"/><Labels/></Data>",
       "Ошибка разбора XML : неверное значение атрибута \"Width\" у элемента \"Formatting\", ожидается число "
       "миллиметров больше 0 и не больше 1000"},
      {u"<Data><Labels/><Labels/></Data>", "Ошибка разбора XML : элемент \"Labels\" задан дважды"},
      {Data(u"<Text FieldName=\"T\" Left=\"1\" Top=\"1\" Width=\"10\" Height=\"5\"/>"),
       "Ошибка разбора XML : не найден атрибут \"FontSize\" у элемента \"Text\" (поле \"T\")"},
      {Data(u"<Text Left=\"1\"/>"),
       "Ошибка разбора XML : не найден атрибут \"FieldName\" у элемента \"Text\""},
      {Data(text + text),
       "Ошибка разбора XML : повторяется значение атрибута \"FieldName\" у элемента \"Text\" "
       "(поле \"T\")"},
      {Data(u"<Text FieldName=\"T\" Left=\"1\" Top=\"1\" Width=\"10\" Height=\"5\" FontSize=\"9\" "
            u"Orientation=\"45\"/>"),
       "Ошибка разбора XML : неверное значение атрибута \"Orientation\" у элемента \"Text\" (поле \"T\"), "
       "ожидается 0, 90, 180 или 270"},
      {Data(u"<Text FieldName=\"T\" Left=\"-1\" Top=\"1\" Width=\"10\" Height=\"5\" FontSize=\"9\"/>"),
       "Ошибка разбора XML : неверное значение атрибута \"Left\" у элемента \"Text\" (поле \"T\"), ожидается "
       "число миллиметров от 0 до 1000"},
      {Data(u"<Text FieldName=\"T\" Left=\"1\" Top=\"1\" Width=\"10\" Height=\"5\" FontSize=\"9\" "
            u"FontStyle=\"Bold Heavy\"/>"),
       "Ошибка разбора XML : неверное значение атрибута \"FontStyle\" у элемента \"Text\" (поле \"T\"), "
       "ожидается слова Bold, Italic, Underline, StrikeOut"},
      {Data(u"<Barcode FieldName=\"B\" Type=\"Aztec\" Left=\"1\" Top=\"1\" Height=\"5\"/>"),
       "Ошибка разбора XML : неизвестный тип штрихкода \"Aztec\" в атрибуте \"Type\" у элемента \"Barcode\" "
       "(поле \"B\"), ожидается EAN8, EAN13, EAN128, Code39, Code128, Code16k, Code93, PDF417, DataMatrix, "
       "QRCode, ITF14, EAN13Addon2, EAN13Addon5 или GS1DataBarExpandedStacked"},
      {Data(u"<Barcode FieldName=\"B\" Type=\"EAN8\" Left=\"1\" Top=\"1\" Height=\"5\"/>"),
       "Ошибка разбора XML : не найден атрибут \"FontSize\" у элемента \"Barcode\" (поле \"B\")"},
      {Data(u"<Barcode FieldName=\"B\" Type=\"EAN8\" Left=\"1\" Top=\"1\" Height=\"5\" PrintHRI=\"no\"/>"),
       "Ошибка разбора XML : неверное значение атрибута \"PrintHRI\" у элемента \"Barcode\" (поле \"B\"), "
       "ожидается true или false"},
      {Data(u"<Barcode FieldName=\"B\" Type=\"EAN8\" Left=\"1\" Top=\"1\" Height=\"5\" PrintHRI=\"false\" "
            u"Static=\"true\"/>"),
       "Ошибка разбора XML : не найден атрибут \"ValueBase64\" у элемента \"Barcode\" (поле \"B\")"},
      {Data(u"<Barcode FieldName=\"B\" Type=\"EAN8\" Left=\"1\" Top=\"1\" Height=\"5\" PrintHRI=\"false\" "
            u"ValueBase64=\"*\"/>"),
       "Ошибка разбора XML : неверное значение атрибута \"ValueBase64\" у элемента \"Barcode\" (поле \"B\"), "
       "ожидается Base64"},
      {Data(u"<Image FieldName=\"I\" Left=\"1\" Top=\"1\" Value=\"не base64\"/>"),
       "Ошибка разбора XML : неверное значение атрибута \"Value\" у элемента \"Image\" (поле \"I\"), "
       "ожидается "
       "файл изображения в Base64"},
      {Data(text, u"<Label Quantity=\"0\"/>"), "Ошибка разбора XML : неверное значение атрибута \"Quantity\" "
                                               "у элемента \"Label\", ожидается число копий "
                                               "от 1 до 1000"},
      {Data(text, u"<Label Quantity=\"600\"/><Label Quantity=\"401\"/>"),
       "Ошибка разбора XML : слишком много этикеток в пакете: больше 1000 копий"},
      {Data(text, u"<Label><Record FieldName=\"T\"/></Label>"),
       "Ошибка разбора XML : не найден атрибут \"Value\" у элемента \"Record\""},
      {Data(text,
            u"<Label><Record FieldName=\"T\" Value=\"1\"/><Record FieldName=\"t\" Value=\"2\"/></Label>"),
       "Ошибка разбора XML : поле \"t\" задано дважды в одной этикетке (элемент \"Record\")"},
  };
  for (const auto& c : cases) {
    TLabelsBatch batch;
    EXPECT_EQ(U8(ReadLabelsDocument(c.Xml, batch)), c.Message) << U8(c.Xml);
    EXPECT_TRUE(batch.Labels.empty() && !batch.Formatting.has_value());
  }

  // The records against the formatting.
  TLabelsBatch batch;
  ASSERT_EQ(U8(ReadLabelsDocument(Data(text + u"<UserData FieldName=\"U\" Static=\"true\" Value=\"x\"/>"
                                              u"<Image FieldName=\"I\" Left=\"1\" Top=\"1\"/>",
                                       u"<Label><Record FieldName=\"Price\" Value=\"1\"/></Label>"
                                       u"<Label><Record FieldName=\"U\" Value=\"1\"/></Label>"
                                       u"<Label><Record FieldName=\"I\" Value=\"%%\"/></Label>"),
                                  batch)),
            "");
  TResolvedLabel resolved;
  EXPECT_EQ(
      U8(ResolveLabel(*batch.Formatting, batch.Labels[0], resolved)),
      "Ошибка данных этикетки: поле \"Price\" элемента \"Record\" не найдено в элементе \"Formatting\"");
  EXPECT_EQ(
      U8(ResolveLabel(*batch.Formatting, batch.Labels[1], resolved)),
      "Ошибка данных этикетки: поле \"U\" статическое, его значение задаёт элемент \"Formatting\", а не "
      "\"Record\"");
  EXPECT_EQ(U8(ResolveLabel(*batch.Formatting, batch.Labels[2], resolved)),
            "Ошибка данных этикетки: значение поля \"I\" элемента \"Record\" не Base64, ожидается файл "
            "изображения в Base64");
}

} // namespace
