// What a dialog does with the operator's keys, clicks and typing, on two
// templates shaped like the library's: buttons only, and a field with a
// check whose reason shows in a label.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "DialogState.h"

namespace {

using ui::TControlKind;
using ui::TDialogKey;
using ui::TDialogRun;
using ui::TDialogState;

constexpr ui::TControlTemplate kButtonsControls[] = {
    {TControlKind::Button, 1, u"Оплата", 13, 73, 94, 14, true, true, true},
    {TControlKind::Label, -1, u"Сумма:", 13, 16, 25, 8, false, false, true},
    {TControlKind::Button, 7, u"Другое", 60, 73, 50, 14, false, true, true},
    {TControlKind::Button, 2, u"Закрыть", 118, 73, 50, 14, false, true, true},
};
constexpr ui::TDialogTemplate kButtons{u"BUTTONS", 0, u"Кнопки", 191, 95, kButtonsControls};

constexpr ui::TControlTemplate kFieldControls[] = {
    {TControlKind::Label, -1, u"Вес:", 13, 18, 60, 8, false, false, true},
    {TControlKind::Field, 46, u"", 76, 16, 102, 12, false, true, true},
    {TControlKind::Label, 47, u"", 13, 36, 165, 20, false, false, true},
    {TControlKind::Button, 1, u"Взвесить", 13, 73, 94, 14, true, true, true},
    {TControlKind::Button, 2, u"Закрыть", 118, 73, 60, 14, false, true, true},
};
constexpr ui::TDialogTemplate kFieldDialog{u"FIELD", 0, u"Весы", 191, 95, kFieldControls};
constexpr int kField = 1, kReason = 2, kOkButton = 3, kClose = 4;

TDialogRun FieldRun(std::u16string prefill, size_t limit = 64) {
  TDialogRun run(kFieldDialog);
  run.Texts = {{47, u"Введите вес"}};
  run.FieldId = 46;
  run.Field = std::move(prefill);
  run.FieldLimit = limit;
  run.ReasonId = 47;
  run.Check = [](const std::u16string& text) { return text.find(u'-') == 0 ? u"Вес меньше нуля" : u""; };
  return run;
}

// Tab and Shift-Tab go round the tab stops in template order, passing the
// label; arrows go round the buttons only; Enter and Space press the
// focused button, Escape cancels whatever has the focus.
TEST(DialogState, KeysMoveTheFocusAndPressTheFocusedButton) {
  TDialogRun run(kButtons);
  run.Texts = {{1, u"Возврат"}};
  TDialogState state(run);
  EXPECT_EQ(state.Text(0), u"Возврат");
  EXPECT_EQ(state.Field(), -1);
  EXPECT_EQ(state.Focus(), 0); // the first tab stop
  EXPECT_EQ(state.Key(TDialogKey::Tab), std::nullopt);
  EXPECT_EQ(state.Focus(), 2);
  EXPECT_EQ(state.TakeRepaints(), (std::vector<int>{0, 2}));
  EXPECT_EQ(state.TakeRepaints(), std::vector<int>{});
  state.Key(TDialogKey::Tab);
  state.Key(TDialogKey::Tab);
  EXPECT_EQ(state.Focus(), 0); // round again
  state.Key(TDialogKey::BackTab);
  EXPECT_EQ(state.Focus(), 3);
  state.Key(TDialogKey::Right);
  EXPECT_EQ(state.Focus(), 0);
  state.Key(TDialogKey::Up);
  state.Key(TDialogKey::Left);
  EXPECT_EQ(state.Focus(), 2);
  EXPECT_EQ(state.Key(TDialogKey::Space), 7);
  EXPECT_EQ(state.Key(TDialogKey::Enter), 7);
  state.Key(TDialogKey::Down);
  EXPECT_EQ(state.Key(TDialogKey::Enter), ui::kCancel);
  EXPECT_EQ(state.Key(TDialogKey::Escape), ui::kCancel);
  EXPECT_EQ(state.Type(U'x'), std::nullopt); // no field: nothing to type into
}

// A press and a release inside the same button is a click; a release outside
// it only lets the button go; a press gives the button the focus.
TEST(DialogState, AClickIsAPressAndAReleaseInsideTheButton) {
  TDialogRun run(kButtons);
  TDialogState state(run);
  state.Press(3);
  EXPECT_EQ(state.Pressed(), 3);
  EXPECT_EQ(state.Focus(), 3);
  EXPECT_EQ(state.Release(false), std::nullopt);
  EXPECT_EQ(state.Pressed(), -1);
  EXPECT_EQ(state.TakeRepaints(), (std::vector<int>{0, 3}));
  EXPECT_EQ(state.Release(true), std::nullopt); // nothing held
  state.Press(1);                               // a label is no button
  EXPECT_EQ(state.Pressed(), -1);
  state.Press(0);
  EXPECT_EQ(state.Release(true), 1);
}

// The field starts focused with its text selected: typing replaces it, up to
// the limit; Backspace takes the last character (a pair whole) or the
// selection; Tab back into the field selects it again and a click into it
// lets the selection go. Every change renames the field.
TEST(DialogState, TypingReplacesTheSelectionWithinTheLimit) {
  TDialogRun run = FieldRun(u"1.000", 4);
  TDialogState state(run);
  EXPECT_EQ(state.Focus(), kField);
  EXPECT_TRUE(state.Selected());
  EXPECT_EQ(state.Text(kField), u"1.000");
  state.Type(U'2');
  EXPECT_FALSE(state.Selected());
  for (char32_t c : {U',', U'3', U'4', U'5'})
    state.Type(c);
  EXPECT_EQ(state.Text(kField), u"2,34"); // the fifth is refused
  EXPECT_EQ(state.TakeRenames(), std::vector<int>{kField});
  state.Key(TDialogKey::Backspace);
  state.Type(U'😀'); // a pair is two units: five would pass the limit
  EXPECT_EQ(state.Text(kField), u"2,3");
  state.Key(TDialogKey::Backspace);
  state.Type(U'😀');
  EXPECT_EQ(state.Text(kField), u"2,😀");
  state.Key(TDialogKey::Delete);
  state.Key(TDialogKey::Space);
  EXPECT_EQ(state.Text(kField), u"2, ");
  state.Type(0x7F); // no character
  EXPECT_EQ(state.Text(kField), u"2, ");
  state.Key(TDialogKey::Tab);
  EXPECT_EQ(state.Focus(), kOkButton);
  EXPECT_EQ(state.Type(U'9'), std::nullopt); // the button does not type
  state.Key(TDialogKey::BackTab);
  EXPECT_EQ(state.Focus(), kField);
  EXPECT_TRUE(state.Selected());
  state.Press(kField);
  EXPECT_FALSE(state.Selected());
  state.Key(TDialogKey::Backspace);
  EXPECT_EQ(state.Text(kField), u"2,");
  state.Key(TDialogKey::Tab);
  state.Key(TDialogKey::BackTab);
  state.Key(TDialogKey::Backspace);
  EXPECT_EQ(state.Text(kField), u"");
}

// Enter from the field presses the default button, whose check keeps the
// dialog open with the reason in red in its label and the field selected
// and focused; once the check passes the typed text is the run's. Cancel
// leaves the run's text as it was.
TEST(DialogState, TheDefaultButtonEndsOnlyWhenTheCheckPasses) {
  TDialogRun run = FieldRun(u"1.000");
  TDialogState state(run);
  EXPECT_EQ(state.Text(kReason), u"Введите вес");
  state.Type(U'-');
  state.Type(U'5');
  state.Key(TDialogKey::Tab); // to the default button, which a press checks too
  state.TakeRenames();
  EXPECT_EQ(state.Key(TDialogKey::Enter), std::nullopt);
  EXPECT_EQ(state.Text(kReason), u"Вес меньше нуля");
  EXPECT_TRUE(state.Faulty(kReason));
  EXPECT_FALSE(state.Faulty(kField));
  EXPECT_EQ(state.Focus(), kField);
  EXPECT_TRUE(state.Selected());
  EXPECT_EQ(state.TakeRenames(), std::vector<int>{kReason});
  EXPECT_EQ(run.Field, u"1.000");
  state.Type(U'7');
  EXPECT_EQ(state.Key(TDialogKey::Enter), ui::kOk);
  EXPECT_EQ(run.Field, u"7");

  TDialogRun cancelled = FieldRun(u"1.000");
  TDialogState other(cancelled);
  other.Type(U'3');
  EXPECT_EQ(other.Key(TDialogKey::Escape), ui::kCancel);
  EXPECT_EQ(cancelled.Field, u"1.000");
  other.Press(kClose);
  EXPECT_EQ(other.Release(true), ui::kCancel);
}

// An input window's dialog: two fields, a reason label, the default button
// and two more; it never ends.
constexpr ui::TControlTemplate kInputControls[] = {
    {TControlKind::Field, 51, u"", 60, 6, 130, 12, false, true, true},
    {TControlKind::Field, 52, u"", 60, 24, 130, 12, false, true, true},
    {TControlKind::Label, 53, u"", 8, 42, 182, 16, false, false, true},
    {TControlKind::Button, 1, u"Отправить", 8, 62, 60, 14, true, true, true},
    {TControlKind::Button, 61, u"", 8, 80, 60, 14, false, true, true},
    {TControlKind::Button, 62, u"222", 74, 80, 60, 14, false, true, true},
};
constexpr ui::TDialogTemplate kInput{u"INPUT", 0, u"Ввод", 200, 100, kInputControls};

TEST(DialogState, AnInputWindowSubmitsWithoutEndingAndSkipsDisabledButtons) {
  TDialogRun run(kInput);
  run.ReasonId = 53;
  run.FieldLimit = 4;
  std::vector<std::vector<std::u16string>> submits;
  std::vector<int> commands;
  std::u16string answer;
  TDialogState state(run, {{52, 51},
                           [&](std::span<const std::u16string> fields) {
                             submits.emplace_back(fields.begin(), fields.end());
                             return answer;
                           },
                           [&](int id) { commands.push_back(id); }});
  EXPECT_EQ(state.Focus(), 1); // the first of the input's fields, not of the template
  EXPECT_TRUE(state.Disabled(4));
  EXPECT_FALSE(state.Disabled(5));
  for (char32_t c : U"12345")
    state.Type(c); // the fifth is refused
  state.Key(TDialogKey::Tab);
  EXPECT_EQ(state.Focus(), 3);
  state.Key(TDialogKey::Tab);
  EXPECT_EQ(state.Focus(), 5); // the disabled button is passed
  state.Key(TDialogKey::Tab);
  EXPECT_EQ(state.Focus(), 0);
  state.Type(U'a');
  EXPECT_EQ(state.Key(TDialogKey::Escape), std::nullopt);

  answer = u"Не тот код";
  EXPECT_EQ(state.Key(TDialogKey::Enter), std::nullopt);
  EXPECT_EQ(submits.back(), (std::vector<std::u16string>{u"1234", u"a"}));
  EXPECT_EQ(state.Text(2), u"Не тот код");
  EXPECT_TRUE(state.Faulty(2));
  EXPECT_EQ(state.Focus(), 1);
  EXPECT_TRUE(state.Selected(1));
  state.Type(U'9');
  EXPECT_EQ(state.Text(1), u"9");

  answer.clear();
  state.Press(3);
  EXPECT_EQ(state.Release(true), std::nullopt);
  EXPECT_EQ(submits.size(), 2u);
  EXPECT_EQ(state.Text(0), u"");
  EXPECT_EQ(state.Text(1), u"");
  EXPECT_FALSE(state.Faulty(2));
  EXPECT_EQ(state.Focus(), 1);

  // A click on a disabled button does nothing; a button that loses its text
  // while focused hands the focus to the first field.
  state.Press(4);
  EXPECT_EQ(state.Release(true), std::nullopt);
  state.Press(5);
  state.Release(true);
  EXPECT_EQ(commands, std::vector<int>{62});
  state.TakeRenames();
  state.SetText(62, u"");
  EXPECT_TRUE(state.Disabled(5));
  EXPECT_EQ(state.Focus(), 1);
  EXPECT_EQ(state.TakeRenames(), std::vector<int>{5});
  state.SetText(61, u"111");
  state.Press(4);
  state.Release(true);
  EXPECT_EQ(commands, (std::vector<int>{62, 61}));
}

// The characters keys type: Latin-1, the keypad with and without Num Lock,
// Unicode keysyms, the Cyrillic ones; keys that type nothing give 0.
TEST(DialogState, KeysymsTypeTheirCharacters) {
  EXPECT_EQ(ui::CharOfKeysym(0x41), U'A');
  EXPECT_EQ(ui::CharOfKeysym(0xE9), U'é');
  EXPECT_EQ(ui::CharOfKeysym(0xFFB7), U'7'); // KP_7
  EXPECT_EQ(ui::CharOfKeysym(0xFF95), U'7'); // KP_Home: 7 without Num Lock
  EXPECT_EQ(ui::CharOfKeysym(0xFFAE), U'.'); // KP_Decimal
  EXPECT_EQ(ui::CharOfKeysym(0xFF9F), U'.'); // KP_Delete
  EXPECT_EQ(ui::CharOfKeysym(0xFFAC), U','); // KP_Separator
  EXPECT_EQ(ui::CharOfKeysym(0xFFAD), U'-'); // KP_Subtract
  EXPECT_EQ(ui::CharOfKeysym(0xFFAA), U'*'); // KP_Multiply
  EXPECT_EQ(ui::CharOfKeysym(0xFFB9), U'9'); // KP_9
  EXPECT_EQ(ui::CharOfKeysym(0xFF9E), U'0'); // KP_Insert
  EXPECT_EQ(ui::CharOfKeysym(0x6C1), U'а');
  EXPECT_EQ(ui::CharOfKeysym(0x6A3), U'ё');
  EXPECT_EQ(ui::CharOfKeysym(0x6B0), U'№');
  EXPECT_EQ(ui::CharOfKeysym(0x6B3), U'Ё');
  EXPECT_EQ(ui::CharOfKeysym(0x6DF), U'ъ');
  EXPECT_EQ(ui::CharOfKeysym(0x6E0), U'Ю');
  EXPECT_EQ(ui::CharOfKeysym(0x6FF), U'Ъ');
  EXPECT_EQ(ui::CharOfKeysym(0x100041F), U'П');
  EXPECT_EQ(ui::CharOfKeysym(0x101F600), U'😀');
  for (uint32_t none : {0x0u, 0x1Fu, 0x7Fu, 0x9Fu, 0x6A0u, 0x700u, 0xFF0Du, 0xFFBEu, 0x100D800u, 0x1110000u})
    EXPECT_EQ(ui::CharOfKeysym(none), 0u) << std::hex << none;
}

// A label's words go on as many lines as it holds; a word too long for a
// line stands on one of its own; what does not fit is left out.
TEST(DialogState, WordsWrapOnTheLinesALabelHolds) {
  const auto measure = [](std::u16string_view text) { return static_cast<int>(text.size()); };
  EXPECT_EQ(ui::WrapWords(u"aa bb cc dd", 5, 2, measure), (std::vector<std::u16string>{u"aa bb", u"cc dd"}));
  EXPECT_EQ(ui::WrapWords(u"aa bbbbbbb cc dd", 5, 3, measure),
            (std::vector<std::u16string>{u"aa", u"bbbbbbb", u"cc dd"}));
  EXPECT_EQ(ui::WrapWords(u"aa bb cc", 2, 2, measure), (std::vector<std::u16string>{u"aa", u"bb"}));
  EXPECT_EQ(ui::WrapWords(u"", 5, 2, measure), (std::vector<std::u16string>{u""}));
}

} // namespace
