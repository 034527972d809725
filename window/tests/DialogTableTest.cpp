// The dialog tables made from the resource scripts at build time: every
// control of a template arrives with its kind, identifier, text, place and
// roles, so that the X11 runner lays out and drives what Windows runs.
#include "Window.h"
#include "cardsim_dialogs.h"
#include "panelsim_dialogs.h"
#include "weighsim_dialogs.h"

#include <gtest/gtest.h>

namespace {

using ui::TControlKind;

TEST(DialogTable, PaymentTemplateArrivesWhole) {
  const ui::TDialogTemplate& pay = dialogs::ORVIK_DLG_PAY;
  EXPECT_EQ(std::u16string(pay.Name), u"ORVIK_DLG_PAY");
  EXPECT_EQ(pay.Number, 0);
  EXPECT_EQ(std::u16string(pay.Title), u"Операция по банковскому терминалу");
  EXPECT_EQ(pay.Width, 191);
  EXPECT_EQ(pay.Height, 95);
  ASSERT_EQ(pay.Controls.size(), 4u);
  const ui::TControlTemplate& operation = pay.Controls[0];
  EXPECT_EQ(operation.Kind, TControlKind::Button);
  EXPECT_EQ(operation.Id, 1);
  EXPECT_EQ(std::u16string(operation.Text), u"Оплата");
  EXPECT_EQ(operation.X, 13);
  EXPECT_EQ(operation.Y, 73);
  EXPECT_EQ(operation.Width, 94);
  EXPECT_EQ(operation.Height, 14);
  EXPECT_TRUE(operation.Default);
  EXPECT_TRUE(operation.TabStop);
  const ui::TControlTemplate& label = pay.Controls[1];
  EXPECT_EQ(label.Kind, TControlKind::Label);
  EXPECT_EQ(label.Id, -1);
  EXPECT_TRUE(label.WordWrap);
  EXPECT_FALSE(label.TabStop);
  const ui::TControlTemplate* amount = pay.Control(45);
  ASSERT_NE(amount, nullptr);
  EXPECT_FALSE(amount->WordWrap); // SS_LEFTNOWORDWRAP
  const ui::TControlTemplate* close = pay.Control(ui::kCancel);
  ASSERT_NE(close, nullptr);
  EXPECT_EQ(std::u16string(close->Text), u"Закрыть");
  EXPECT_FALSE(close->Default);
  EXPECT_EQ(pay.Control(99), nullptr);
}

TEST(DialogTable, WeighingTemplateHasItsFieldAndHint) {
  const ui::TDialogTemplate& weigh = dialogs::ORVIK_DLG_WEIGH;
  EXPECT_EQ(std::u16string(weigh.Title), u"Весы");
  ASSERT_EQ(weigh.Controls.size(), 5u);
  const ui::TControlTemplate* field = weigh.Control(46);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->Kind, TControlKind::Field);
  EXPECT_TRUE(field->TabStop);
  EXPECT_EQ(field->Height, 12);
  const ui::TControlTemplate* hint = weigh.Control(47);
  ASSERT_NE(hint, nullptr);
  EXPECT_EQ(hint->Kind, TControlKind::Label);
  EXPECT_EQ(hint->Height, 20);
  EXPECT_EQ(std::u16string(hint->Text), u"");
  // The tab order is the template's: field, weighing, close.
  std::vector<int> stops;
  for (const ui::TControlTemplate& control : weigh.Controls)
    if (control.TabStop)
      stops.push_back(control.Id);
  EXPECT_EQ(stops, (std::vector<int>{46, 1, 2}));
}

TEST(DialogTable, NumberedTemplateWithoutControls) {
  const ui::TDialogTemplate& test = dialogs::Dialog4423;
  EXPECT_EQ(test.Name, nullptr);
  EXPECT_EQ(test.Number, 4423);
  EXPECT_EQ(std::u16string(test.Title), u"Тест устройства");
  EXPECT_EQ(test.Width, 316);
  EXPECT_EQ(test.Height, 185);
  EXPECT_TRUE(test.Controls.empty());
}

TEST(DialogTable, RunTextsReplaceTheTemplatesByIdentifier) {
  ui::TDialogRun run(dialogs::ORVIK_DLG_PAY);
  run.Texts = {{1, u"Возврат"}};
  EXPECT_EQ(run.TextOf(1), u"Возврат");
  EXPECT_EQ(run.TextOf(45), u"100-00");
  EXPECT_EQ(run.TextOf(-1), u"Сумма:");
  EXPECT_EQ(run.TextOf(1234), u"");
}

} // namespace
