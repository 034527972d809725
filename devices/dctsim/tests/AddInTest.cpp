// The data collection terminal through its library and the test host, as the
// platform drives it with nobody at the screen: goods uploaded in two
// batches, the control file's lines collected once and handed back until
// ClearTable, the goods still there for a new object, and the refusals.
#include "DctHost.h"

namespace {

using namespace dcttest;

class DctAddIn : public TerminalTest {};

constexpr char16_t kFirst[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Table FullLoad=\"true\">"
                              u"<Record BarCode=\"4601234567893\" Name=\"Молоко\" Article=\"M-1\" "
                              u"UnitOfMeasurement=\"шт\" Price=\"89,90\"/>"
                              u"</Table>";
constexpr char16_t kLast[] = u"<Table><Record BarCodeBase64=\"MjAwMDAwMDAwMDAxNQ==\" Name=\"Сыр\" "
                             u"MeasurementUnit=\"кг\" Quantity=\"1,5\"/></Table>";

TEST_F(DctAddIn, TwoBatchesTheControlFileCollectsOnceAndClearTableEmpties) {
  Terminal terminal;
  ASSERT_TRUE(terminal.Show(false));
  const std::u16string id = terminal.Open();
  ASSERT_TRUE(terminal.Upload(id, kFirst, u"first")) << Narrow(terminal.LastError());
  ASSERT_TRUE(terminal.Upload(id, kLast, u"LAST")) << Narrow(terminal.LastError());

  WriteControl("approve\r\ncollect=4601234567893;2\r\ncollect=999;1,25\r\ncollect=4601234567893;0.5\r\n");
  const std::u16string expected =
      u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n"
      u"<Record BarCode=\"4601234567893\" BarCodeBase64=\"NDYwMTIzNDU2Nzg5Mw==\" Quantity=\"2.5\" "
      u"Name=\"Молоко\" "
      u"Article=\"M-1\"/>\r\n"
      u"<Record BarCode=\"999\" BarCodeBase64=\"OTk5\" Quantity=\"1.25\"/>\r\n</Table>\r\n";
  EXPECT_EQ(terminal.Download(id), expected);
  EXPECT_EQ(terminal.Download(id), expected) << "kept, and the same lines not taken again";
  EXPECT_EQ(Collected(), "4601234567893\t2\r\n999\t1.25\r\n4601234567893\t0.5\r\n");

  ASSERT_TRUE(terminal.Clear(id));
  const std::u16string empty = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n</Table>\r\n";
  EXPECT_EQ(terminal.Download(id), empty) << "the lines stay in the file but were taken";

  // A line added, and one of a code collected before written again: only they.
  WriteControl("collect=4601234567893;2\r\ncollect=999;1,25\r\ncollect=4601234567893;0.5\r\n"
               "collect=2000000000015;3\r\ncollect=999;1,25\r\n");
  EXPECT_EQ(terminal.Download(id),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n"
            u"<Record BarCode=\"2000000000015\" BarCodeBase64=\"MjAwMDAwMDAwMDAxNQ==\" Quantity=\"3\" "
            u"Name=\"Сыр\"/>\r\n"
            u"<Record BarCode=\"999\" BarCodeBase64=\"OTk5\" Quantity=\"1.25\"/>\r\n</Table>\r\n");
  ASSERT_TRUE(terminal.Close(id));

  // Another object (another process would do the same) finds the goods and
  // the collected records.
  Terminal again;
  ASSERT_TRUE(again.Show(false));
  const std::u16string next = again.Open();
  WriteControl("collect=4601234567893;1\r\n");
  const std::optional<std::u16string> table = again.Download(next);
  ASSERT_TRUE(table.has_value()) << Narrow(again.LastError());
  EXPECT_TRUE(Has(*table, u"BarCode=\"4601234567893\" BarCodeBase64=\"NDYwMTIzNDU2Nzg5Mw==\" Quantity=\"1\" "
                          u"Name=\"Молоко\""));
  EXPECT_TRUE(Has(*table, u"BarCode=\"2000000000015\""));

  // A full load replaces the goods: the collected code no longer has a name.
  ASSERT_TRUE(again.Upload(next, u"<Table FullLoad=\"true\"><Record BarCode=\"1\"/></Table>", u"last"));
  EXPECT_FALSE(Has(*again.Download(next), u"Молоко"));
  EXPECT_TRUE(again.Close(next));
}

TEST_F(DctAddIn, RefusalsSayWhyAndChangeNothing) {
  Terminal terminal;
  ASSERT_TRUE(terminal.Show(false));
  const std::u16string id = terminal.Open();
  EXPECT_FALSE(terminal.Upload(id, kFirst, u"regular"));
  EXPECT_TRUE(Has(terminal.LastError(), u"first")) << Narrow(terminal.LastError());
  EXPECT_FALSE(terminal.Upload(id, kFirst, u"middle"));
  EXPECT_FALSE(terminal.Upload(u"nobody", kFirst, u"first"));

  ASSERT_TRUE(terminal.Upload(id, kFirst, u"first"));
  EXPECT_FALSE(
      terminal.Upload(id, u"<Table><Record BarCode=\"1\"/><Record Name=\"без кода\"/></Table>", u"last"));
  EXPECT_TRUE(Has(terminal.LastError(), u"запись 2")) << Narrow(terminal.LastError());
  ASSERT_TRUE(terminal.Upload(id, u"<Table/>", u"last")) << "the refused batch left the upload open";

  WriteControl("collect=1;2\r\ncollect=2;много\r\n");
  EXPECT_FALSE(terminal.Download(id).has_value());
  EXPECT_TRUE(Has(terminal.LastError(), u"collect=2;много")) << Narrow(terminal.LastError());
  WriteControl("collect=1;2\r\n");
  EXPECT_EQ(terminal.Download(id),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n"
            u"<Record BarCode=\"1\" BarCodeBase64=\"MQ==\" Quantity=\"2\"/>\r\n</Table>\r\n")
      << "nothing of the refused file was taken";

  // A damaged state file is named, not overwritten.
  std::ofstream(data / "DctSim_3001_terminal.xml", std::ios::binary) << "<Terminal><Goods>";
  EXPECT_FALSE(terminal.Clear(id));
  EXPECT_TRUE(Has(terminal.LastError(), u"DctSim_3001_terminal.xml")) << Narrow(terminal.LastError());
  EXPECT_EQ(testenv::ReadFileBytes(data / "DctSim_3001_terminal.xml"), "<Terminal><Goods>");
  EXPECT_TRUE(terminal.Close(id));
}

} // namespace
