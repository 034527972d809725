// The terminal's real window under Wine: a code and a quantity set in the
// fields and Enter pressed there are collected; a goods button puts its code
// in the field; Close destroys the window.
#include "DctHost.h"
#include "ShownWindow_win.h"

namespace {

using namespace dcttest;

class DctWindow : public TerminalTest {};

// The controls of ORVIK_DLG_DCT (resources/dctsim.rc).
constexpr int kCodeField = 100, kQuantityField = 101, kReason = 103, kCollected = 104, kFirstGood = 111;
constexpr wchar_t kTitle[] = L"Терминал сбора данных";

TEST_F(DctWindow, RecordsEnteredInTheWindowAreCollected) {
  Terminal terminal;
  EXPECT_EQ(FindWindowW(L"#32770", kTitle), nullptr);
  const std::u16string id = terminal.Open();
  const HWND dialog = FindInputWindow(kTitle);
  ASSERT_NE(dialog, nullptr) << "no window at Open";
  RECT frame{};
  GetWindowRect(dialog, &frame);
  EXPECT_EQ(frame.left, 400);
  EXPECT_EQ(frame.top, 330);
  ASSERT_TRUE(
      terminal.Upload(id, u"<Table><Record BarCode=\"4601234567893\" Name=\"Молоко\"/></Table>", u"last"));
  EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, kFirstGood) == u"4601234567893  Молоко"; }));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, kFirstGood + 1)));

  SetItemText(dialog, kCodeField, L"999");
  SetItemText(dialog, kQuantityField, L"2,5");
  PressEnter(GetDlgItem(dialog, kQuantityField));
  EXPECT_TRUE(WaitUntil([&] {
    return ItemText(dialog, kCollected) == u"Последний: 999 (нет в товарах), всего 2.5. Собрано позиций: 1";
  })) << Narrow(ItemText(dialog, kCollected));
  EXPECT_EQ(ItemText(dialog, kCodeField), u"");

  PressEnter(GetDlgItem(dialog, kCodeField));
  EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, kReason) == u"Пустой штрихкод"; }));

  PostMessageW(GetDlgItem(dialog, kFirstGood), BM_CLICK, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return ItemText(dialog, kCodeField) == u"4601234567893"; }));
  SetItemText(dialog, kQuantityField, L"3");
  PressEnter(GetDlgItem(dialog, kCodeField));
  EXPECT_TRUE(WaitUntil(
      [&] { return ItemText(dialog, kCollected) == u"Последний: Молоко, всего 3. Собрано позиций: 2"; }));

  EXPECT_EQ(terminal.Download(id),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n"
            u"<Record BarCode=\"999\" BarCodeBase64=\"OTk5\" Quantity=\"2.5\"/>\r\n"
            u"<Record BarCode=\"4601234567893\" BarCodeBase64=\"NDYwMTIzNDU2Nzg5Mw==\" Quantity=\"3\" "
            u"Name=\"Молоко\"/>\r\n</Table>\r\n");

  ASSERT_TRUE(terminal.Close(id));
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); })) << "the window outlived Close";
}

} // namespace
