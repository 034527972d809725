// The data collection terminal's documents and batches in-process: what a
// goods table gives or why it is refused, how batches become the terminal's
// goods, quantities, the control file's lines taken once, and the state and
// collected table written and read back.
#include "TerminalTable.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

namespace {

bool Has(const std::u16string& text, std::u16string_view part) {
  return text.find(part) != std::u16string::npos;
}

TGoodsBatch Batch(std::u16string_view xml) {
  TGoodsBatch batch;
  EXPECT_EQ(Utf16ToUtf8(ReadGoodsTable(xml, batch)), "");
  return batch;
}

TEST(GoodsTable, ReadsBothBarcodeFormsUnitNamesAndCommaDecimals) {
  const TGoodsBatch batch = Batch(u"<Table FullLoad=\"TRUE\">"
                                  u"<Record BarCode=\"4601234567893\" Name=\"Молоко\" Article=\"A-1\" "
                                  u"UnitOfMeasurement=\"шт\" Price=\"25,30\"/>"
                                  u"<Other/>"
                                  u"<Record BarCodeBase64=\"MDEwNDYwMTIzNDU2Nzg5Mx05M0FC\" "
                                  u"MeasurementUnit=\"кг\" Quantity=\"43.5\" Quality=\"x\"/>"
                                  u"</Table>");
  EXPECT_TRUE(batch.FullLoad);
  ASSERT_EQ(batch.Goods.size(), 2u);
  EXPECT_EQ(batch.Goods[0].Code, u"4601234567893");
  EXPECT_EQ(batch.Goods[0].Attribute(u"name"), u"Молоко");
  EXPECT_EQ(batch.Goods[0].Attribute(u"UnitOfMeasurement"), u"шт");
  EXPECT_EQ(batch.Goods[0].Attribute(u"Price"), u"25.30");
  EXPECT_EQ(batch.Goods[1].Code, u"0104601234567893\u001D93AB");
  EXPECT_EQ(batch.Goods[1].Attribute(u"MeasurementUnit"), u"кг");
  EXPECT_EQ(batch.Goods[1].Attribute(u"Quality"), u"x");
  EXPECT_FALSE(Batch(u"<Table><Record BarCode=\"1\" BarCodeBase64=\"MQ==\"/></Table>").FullLoad)
      << "no FullLoad (the older library's caller) is no full load; equal codes in both forms are one";
  EXPECT_TRUE(Batch(u"<Table FullLoad=\"true\"/>").Goods.empty()) << "an empty batch is a batch";
  EXPECT_EQ(Batch(u"<Table><Record BarCode=\"1\" Price=\"\" Alcohol=\"\"/></Table>").Goods.size(), 1u)
      << "an empty number or flag is one not given";
}

TEST(GoodsTable, RefusesFaultsNamingTheRecord) {
  const struct {
    const char16_t* Xml;
    const char16_t* Part;
  } kCases[] = {
      {u"<Goods/>", u"\"Goods\""},
      {u"<Table FullLoad=\"yes\"/>", u"FullLoad"},
      {u"<Table><Record BarCode=\"1\"/><Record Name=\"x\"/></Table>", u"запись 2)"},
      {u"<Table><Record BarCode=\"\"/></Table>", u"пустое значение"},
      {u"<Table><Record Price=\"1.2.3\" BarCode=\"77\"/></Table>",
       u"\"Price\" у элемента \"Record\" (запись 1, штрихкод \"77\")"},
      {u"<Table><Record BarCode=\"1\" Quantity=\"-1\"/></Table>", u"Quantity"},
      {u"<Table><Record BarCodeBase64=\"MQ\"/></Table>", u"BarCodeBase64"},   // no padding
      {u"<Table><Record BarCodeBase64=\"MR==\"/></Table>", u"BarCodeBase64"}, // unused bits set
      {u"<Table><Record BarCodeBase64=\"/w==\"/></Table>", u"BarCodeBase64"}, // no UTF-8
      {u"<Table><Record BarCode=\"2\" BarCodeBase64=\"MQ==\"/></Table>", u"не совпадает"},
      {u"<Table><Record BarCode=\"1\" Alcohol=\"да\"/></Table>", u"Alcohol"},
      {u"<Table><Record BarCode=\"1\" MarkedGoodTypeCode=\"1a\"/></Table>", u"MarkedGoodTypeCode"},
      {u"<Table><Record BarCode=\"1\"></Table>", u"Ошибка разбора XML"},
  };
  for (const auto& c : kCases) {
    TGoodsBatch batch;
    const std::u16string fault = ReadGoodsTable(c.Xml, batch);
    EXPECT_TRUE(Has(fault, c.Part)) << Utf16ToUtf8(c.Xml) << " -> " << Utf16ToUtf8(fault);
    EXPECT_TRUE(batch.Goods.empty()) << "a refused table leaves nothing behind";
  }
}

TEST(Batches, GoodsAppearWhenTheUploadEndsAndFullLoadReplacesThem) {
  TTerminalState state;
  EXPECT_FALSE(ApplyBatch(state, u"regular", Batch(u"<Table><Record BarCode=\"9\"/></Table>")).empty());
  EXPECT_FALSE(state.UploadOpen);

  ASSERT_EQ(ApplyBatch(state, u"last", Batch(u"<Table><Record BarCode=\"1\" Name=\"a\"/></Table>")), u"");
  ASSERT_EQ(state.Goods.size(), 1u) << "a lone last is a whole upload";

  ASSERT_EQ(ApplyBatch(state, u"first", Batch(u"<Table><Record BarCode=\"2\"/></Table>")), u"");
  ASSERT_EQ(ApplyBatch(state, u"regular", Batch(u"<Table><Record BarCode=\"1\" Name=\"b\"/></Table>")), u"");
  EXPECT_EQ(state.Goods[0].Attribute(u"Name"), u"a") << "nothing changes before the last batch";
  ASSERT_EQ(ApplyBatch(state, u"last", Batch(u"<Table/>")), u"");
  ASSERT_EQ(state.Goods.size(), 2u);
  EXPECT_EQ(state.Goods[0].Attribute(u"Name"), u"b") << "a code uploaded again replaces its record";
  EXPECT_EQ(state.Goods[1].Code, u"2");

  // An unfinished upload is dropped by the next first; its FullLoad decides.
  ASSERT_EQ(ApplyBatch(state, u"first", Batch(u"<Table><Record BarCode=\"5\"/></Table>")), u"");
  ASSERT_EQ(ApplyBatch(state, u"first", Batch(u"<Table FullLoad=\"true\"><Record BarCode=\"3\"/></Table>")),
            u"");
  ASSERT_EQ(ApplyBatch(state, u"last", Batch(u"<Table FullLoad=\"false\"><Record BarCode=\"4\"/></Table>")),
            u"");
  ASSERT_EQ(state.Goods.size(), 2u);
  EXPECT_EQ(state.Goods[0].Code, u"3");
  EXPECT_EQ(state.Goods[1].Code, u"4");
  EXPECT_FALSE(state.UploadOpen);
}

TEST(Quantities, DotOrCommaThreeDecimalsAboveZero) {
  int64_t milli = 0;
  EXPECT_EQ(ReadQuantity(u" 1,5 ", milli), u"");
  EXPECT_EQ(milli, 1500);
  EXPECT_EQ(ReadQuantity(u"0.125", milli), u"");
  EXPECT_EQ(milli, 125);
  EXPECT_EQ(ReadQuantity(u"1000000000", milli), u"");
  for (const char16_t* bad : {u"", u"0", u"0,000", u"-1", u"1.2345", u"1.2.3", u"1e3", u"1000000000.001",
                              u".", u"99999999999999999999999"})
    EXPECT_NE(ReadQuantity(bad, milli), u"") << Utf16ToUtf8(bad);
  EXPECT_EQ(QuantityText(2000), u"2");
  EXPECT_EQ(QuantityText(1500), u"1.5");
  EXPECT_EQ(QuantityText(1005), u"1.005");

  TTerminalState state;
  ASSERT_EQ(Collect(state, u"1", 1500), u"");
  ASSERT_EQ(Collect(state, u"2", 1000), u"");
  ASSERT_EQ(Collect(state, u"1", 500), u"");
  ASSERT_EQ(state.Collected.size(), 2u);
  EXPECT_EQ(state.Collected[0].Milli, 2000) << "the same code adds up";
  EXPECT_NE(Collect(state, u"1", kQuantityLimitMilli), u"");
  EXPECT_EQ(state.Collected[0].Milli, 2000) << "a refused record changes nothing";
}

TEST(ControlLines, EachLineIsTakenOnceAndCodesKeepTheirSemicolons) {
  using Lines = std::vector<std::u16string>;
  EXPECT_EQ(NewLines({u"a;1", u"a;1", u"b;2"}, {}), (Lines{u"a;1", u"a;1", u"b;2"}));
  EXPECT_EQ(NewLines({u"a;1", u"a;1", u"b;2"}, {u"a;1", u"b;2"}), (Lines{u"a;1"}));
  EXPECT_EQ(NewLines({u"b;2"}, {u"a;1", u"b;2"}), (Lines{}));

  std::u16string code;
  int64_t milli = 0;
  EXPECT_EQ(ReadCollectLine(u"x;y;2,5", code, milli), u"");
  EXPECT_EQ(code, u"x;y");
  EXPECT_EQ(milli, 2500);
  EXPECT_EQ(ReadCollectLine(u" 123 ", code, milli), u"");
  EXPECT_EQ(milli, 1000) << "no quantity is one";
  EXPECT_NE(ReadCollectLine(u" ;1", code, milli), u"");
  EXPECT_NE(ReadCollectLine(u"1;", code, milli), u"");
}

TEST(StateFile, EverythingComesBackAndTheTableCarriesBothBarcodes) {
  TTerminalState state;
  ASSERT_EQ(ApplyBatch(state, u"last",
                       Batch(u"<Table><Record BarCode=\"46&amp;0\" Name=\"a&quot;b&#10;c\" Article=\"7\"/>"
                             u"<Record BarCodeBase64=\"MR0y\" Name=\"gs\"/></Table>")),
            u"");
  ASSERT_EQ(ApplyBatch(state, u"first", Batch(u"<Table FullLoad=\"1\"><Record BarCode=\"u\"/></Table>")),
            u"");
  ASSERT_EQ(Collect(state, u"46&0", 2000), u"");
  ASSERT_EQ(Collect(state, u"1\u001D2", 1500), u"");
  ASSERT_EQ(Collect(state, u"nope", 250), u"");
  state.Taken = {u"1\u001D2;1,5", u"<\t>"};

  TTerminalState back;
  ASSERT_EQ(Utf16ToUtf8(ReadStateXml(StateXml(state), back)), "");
  EXPECT_EQ(StateXml(back), StateXml(state));
  EXPECT_EQ(back.Goods[0].Attribute(u"Name"), u"a\"b\nc");
  EXPECT_TRUE(back.UploadOpen);
  EXPECT_TRUE(back.UploadFullLoad);
  EXPECT_EQ(back.Taken, state.Taken);
  TTerminalState damaged;
  EXPECT_NE(ReadStateXml(u"<Terminal><Goods><Good Code64=\"%%\"/></Goods></Terminal>", damaged), u"");

  const std::u16string table = DownloadXml(back);
  TGoodsBatch again; // the collected table reads as a table
  ASSERT_EQ(Utf16ToUtf8(ReadGoodsTable(table, again)), "");
  EXPECT_TRUE(Has(table, u"<Record BarCode=\"46&amp;0\" BarCodeBase64=\"NDYmMA==\" Quantity=\"2\" "
                         u"Name=\"a&quot;b&#10;c\" Article=\"7\"/>"));
  EXPECT_TRUE(Has(table, u"<Record BarCodeBase64=\"MR0y\" Quantity=\"1.5\" Name=\"gs\"/>"))
      << "a code XML cannot carry goes as Base64 only";
  EXPECT_TRUE(Has(table, u"<Record BarCode=\"nope\" BarCodeBase64=\"bm9wZQ==\" Quantity=\"0.25\"/>"));
  EXPECT_EQ(DownloadXml({}), u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n</Table>\r\n");
}

} // namespace
