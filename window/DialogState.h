// What a dialog laid out from its template does with the operator's keys,
// clicks and typing, apart from any window: which control has the focus,
// which button is held down, what the field holds and whether it is
// selected, and which button ends the dialog. A backend hands it the events
// of its windows, repaints and renames the controls it reports and ends the
// dialog with the answer it gives. The rules are the Windows dialog
// manager's, so that a dialog behaves alike everywhere.
#pragma once

#include "Window.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// The keys a dialog understands besides those that type.
enum class TDialogKey { Tab, BackTab, Left, Right, Up, Down, Enter, Space, Escape, Backspace, Delete };

// The character an X keysym types: Latin-1, the keypad's digits and signs
// (with or without Num Lock), Unicode keysyms and the Cyrillic ones; 0 for a
// key that types nothing.
char32_t CharOfKeysym(uint32_t keysym);

// The words of text on at most maxLines lines no wider than width as measure
// gives it (a word wider than that stands on a line of its own); what does
// not fit is left out.
std::vector<std::u16string> WrapWords(std::u16string_view text, int width, size_t maxLines,
                                      const std::function<int(std::u16string_view)>& measure);

// What a non-modal dialog (an input window) does where a modal one ends: the
// default button hands the fields' texts to Submit, which answers empty when
// it takes them, else the reason they were refused; the other buttons give
// their identifiers to Command.
struct TInputCalls {
  std::vector<int> FieldIds; // the template's fields, in order
  std::function<std::u16string(std::span<const std::u16string>)> Submit;
  std::function<void(int)> Command;
};

class TDialogState {
public:
  // The controls of run's template with run's texts; the focus on the field
  // (its text selected) if there is one, else on the first tab stop.
  explicit TDialogState(TDialogRun& run);
  // A non-modal dialog of run's template (its texts, FieldLimit and ReasonId)
  // whose fields are input's: it never ends; Enter and the buttons call
  // input's functions, Escape does nothing, and a button whose text is empty
  // is disabled. The focus on the first field.
  TDialogState(TDialogRun& run, TInputCalls input);

  size_t Count() const { return Texts_.size(); }
  const TControlTemplate& Control(int index) const;
  const std::u16string& Text(int index) const { return Texts_[static_cast<size_t>(index)]; }
  int Focus() const { return Focus_; }     // the focused control's index, or -1
  int Pressed() const { return Pressed_; } // the button held down, or -1
  int Field() const { return Field_; }     // the (first) field's index, or -1
  // Whether the first field's text is selected; Selected(index): field index's.
  bool Selected() const { return Field_ >= 0 && Selected_ == Field_; }
  bool Selected(int index) const { return index >= 0 && Selected_ == index; }
  // A button that ignores the keys and the pointer (an input window's button
  // with no text).
  bool Disabled(int index) const { return Disabled_[static_cast<size_t>(index)]; }
  // Control index shows why the field was refused.
  bool Faulty(int index) const { return Fault_ && index == Reason_; }

  // Each event gives the identifier of the button that ends the dialog, or
  // nothing while it goes on. The dialog's end with any answer but kCancel
  // leaves the field's text in the run.
  std::optional<int> Key(TDialogKey key);
  std::optional<int> Type(char32_t character); // into the focused field
  void Press(int index);                       // the pointer's button down on control index
  std::optional<int> Release(bool inside);     // and up, inside that control or not
  // Gives the controls of identifier id a new text (an input window's
  // buttons, fields and labels); a button with no text is disabled.
  void SetText(int id, std::u16string text);

  // The controls to paint again, and those whose text changed, since the
  // last call; each index once, in order.
  std::vector<int> TakeRepaints();
  std::vector<int> TakeRenames();

private:
  bool IsButton(int index) const;
  bool IsField(int index) const;
  bool CanFocus(int index) const;
  void Select(int field);
  void Refuse(std::u16string reason);
  void Accept();
  std::optional<int> Activate(int index);
  std::optional<int> End(int id);
  void MoveFocus(int index);
  void MoveAmongButtons(int step);
  void Erase(int field);
  void Changed(std::vector<int>& list, int index);

  TDialogRun& Run_;
  std::vector<std::u16string> Texts_;
  int Focus_ = -1;
  int Pressed_ = -1;
  int Field_ = -1;
  int Reason_ = -1;
  int Selected_ = -1; // the field whose text is selected, or -1
  bool Fault_ = false;
  std::optional<TInputCalls> Input_;
  std::vector<int> Fields_; // the fields' indices, in order
  std::vector<bool> Disabled_;
  std::u16string ReasonText_; // the reason label's text while it shows no fault
  std::vector<int> Repaints_;
  std::vector<int> Renames_;
};

} // namespace ui
