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

class TDialogState {
public:
  // The controls of run's template with run's texts; the focus on the field
  // (its text selected) if there is one, else on the first tab stop.
  explicit TDialogState(TDialogRun& run);

  size_t Count() const { return Texts_.size(); }
  const TControlTemplate& Control(int index) const;
  const std::u16string& Text(int index) const { return Texts_[static_cast<size_t>(index)]; }
  int Focus() const { return Focus_; }     // the focused control's index, or -1
  int Pressed() const { return Pressed_; } // the button held down, or -1
  int Field() const { return Field_; }     // the field's index, or -1
  bool Selected() const { return Selected_; }
  // Control index shows why the field was refused.
  bool Faulty(int index) const { return Fault_ && index == Reason_; }

  // Each event gives the identifier of the button that ends the dialog, or
  // nothing while it goes on. The dialog's end with any answer but kCancel
  // leaves the field's text in the run.
  std::optional<int> Key(TDialogKey key);
  std::optional<int> Type(char32_t character); // into the focused field
  void Press(int index);                       // the pointer's button down on control index
  std::optional<int> Release(bool inside);     // and up, inside that control or not

  // The controls to paint again, and those whose text changed, since the
  // last call; each index once, in order.
  std::vector<int> TakeRepaints();
  std::vector<int> TakeRenames();

private:
  bool IsButton(int index) const;
  std::optional<int> Activate(int index);
  std::optional<int> End(int id);
  void MoveFocus(int index);
  void MoveAmongButtons(int step);
  void Erase();
  void Changed(std::vector<int>& list, int index);

  TDialogRun& Run_;
  std::vector<std::u16string> Texts_;
  int Focus_ = -1;
  int Pressed_ = -1;
  int Field_ = -1;
  int Reason_ = -1;
  bool Selected_ = false;
  bool Fault_ = false;
  std::vector<int> Repaints_;
  std::vector<int> Renames_;
};

} // namespace ui
