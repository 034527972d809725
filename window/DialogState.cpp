// The operator's side of a dialog, apart from any window (DialogState.h).
#include "DialogState.h"

#include "TextCodec.h"

#include <algorithm>
#include <utility>

namespace ui {

namespace {

// The Cyrillic keysyms 0x6a1..0x6ff, in their (KOI8) order.
constexpr char16_t kCyrillic[] = u"ђѓёєѕіїјљњћќґўџ№ЂЃЁЄЅІЇЈЉЊЋЌҐЎЏ"
                                 u"юабцдефгхийклмнопярстужвьызшэщчъ"
                                 u"ЮАБЦДЕФГХИЙКЛМНОПЯРСТУЖВЬЫЗШЭЩЧЪ";

// The keypad's keys as they type: with Num Lock its signs and digits
// (KP_Multiply..KP_9); without, the digits' keys give their other meaning
// (KP_Home..KP_Delete), and a dialog's field takes what the key's face shows.
constexpr char16_t kKeypad[] = u"*+,-./0123456789";
constexpr char16_t kKeypadWithoutNumLock[] = u"7486293150.";

char32_t KeypadChar(uint32_t keysym) {
  if (keysym >= 0xFFAA && keysym <= 0xFFB9)
    return kKeypad[keysym - 0xFFAA];
  if (keysym >= 0xFF95 && keysym <= 0xFF9F)
    return kKeypadWithoutNumLock[keysym - 0xFF95];
  if (keysym == 0xFF80) // KP_Space
    return U' ';
  return keysym == 0xFFBD ? U'=' : 0; // KP_Equal
}

bool Printable(char32_t character) {
  return character >= 0x20 && !(character >= 0x7F && character < 0xA0) &&
         !(character >= 0xD800 && character <= 0xDFFF) && character <= 0x10FFFF;
}

} // namespace

char32_t CharOfKeysym(uint32_t keysym) {
  char32_t character = 0;
  if (keysym < 0x100)
    character = keysym;
  else if (keysym >= 0x6A1 && keysym <= 0x6FF)
    character = kCyrillic[keysym - 0x6A1];
  else if (keysym >= 0x1000000 && keysym <= 0x110FFFF)
    character = keysym - 0x1000000;
  else
    character = KeypadChar(keysym);
  return Printable(character) ? character : 0;
}

std::vector<std::u16string> WrapWords(std::u16string_view text, int width, size_t maxLines,
                                      const std::function<int(std::u16string_view)>& measure) {
  std::vector<std::u16string> lines;
  if (maxLines == 0)
    return lines;
  lines.emplace_back();
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(u' ', start), text.size());
    const std::u16string_view word = text.substr(start, end - start);
    std::u16string joined = lines.back();
    if (!joined.empty())
      joined += u' ';
    joined += word;
    if (!lines.back().empty() && measure(joined) > width) {
      if (lines.size() == maxLines)
        break;
      lines.emplace_back(word);
    } else {
      lines.back() = std::move(joined);
    }
    start = end + 1;
  }
  return lines;
}

TDialogState::TDialogState(TDialogRun& run) : Run_(run) {
  const std::span<const TControlTemplate> controls = run.Template.Controls;
  for (size_t i = 0; i < controls.size(); ++i) {
    const TControlTemplate& control = controls[i];
    const int index = static_cast<int>(i);
    std::u16string text = control.Text != nullptr ? control.Text : u"";
    for (const auto& [id, replacement] : run.Texts)
      if (id == control.Id)
        text = replacement;
    if (control.Kind == TControlKind::Field && control.Id == run.FieldId && Field_ < 0) {
      Field_ = index;
      Fields_.push_back(index);
      text = run.Field;
    }
    if (control.Kind == TControlKind::Label && control.Id == run.ReasonId && run.ReasonId != 0)
      Reason_ = index;
    Texts_.push_back(std::move(text));
  }
  Disabled_.assign(Texts_.size(), false);
  if (Reason_ >= 0)
    ReasonText_ = Texts_[static_cast<size_t>(Reason_)];
  if (Field_ >= 0) {
    Focus_ = Field_;
    Selected_ = Field_;
  } else {
    for (size_t i = 0; i < controls.size() && Focus_ < 0; ++i)
      if (controls[i].TabStop)
        Focus_ = static_cast<int>(i);
  }
}

TDialogState::TDialogState(TDialogRun& run, TInputCalls input) : TDialogState(run) {
  // The fields are input's, in its order, each empty; none is the run's.
  Fields_.clear();
  for (const int id : input.FieldIds)
    for (size_t i = 0; i < Count(); ++i)
      if (Control(static_cast<int>(i)).Kind == TControlKind::Field && Control(static_cast<int>(i)).Id == id &&
          !IsField(static_cast<int>(i))) {
        Fields_.push_back(static_cast<int>(i));
        Texts_[i].clear();
        break;
      }
  Field_ = Fields_.empty() ? -1 : Fields_.front();
  Selected_ = -1;
  for (size_t i = 0; i < Count(); ++i)
    Disabled_[i] = IsButton(static_cast<int>(i)) && Texts_[i].empty();
  Input_ = std::move(input);
  Focus_ = -1;
  for (int i = 0; i < static_cast<int>(Count()) && Focus_ < 0; ++i)
    if (i == Field_ || (Field_ < 0 && CanFocus(i)))
      Focus_ = i;
}

const TControlTemplate& TDialogState::Control(int index) const {
  return Run_.Template.Controls[static_cast<size_t>(index)];
}

bool TDialogState::IsButton(int index) const {
  return index >= 0 && static_cast<size_t>(index) < Count() && Control(index).Kind == TControlKind::Button;
}

bool TDialogState::IsField(int index) const {
  return index >= 0 && std::find(Fields_.begin(), Fields_.end(), index) != Fields_.end();
}

// A tab stop that is not a disabled button.
bool TDialogState::CanFocus(int index) const {
  return Control(index).TabStop && !Disabled(index);
}

// Selects the text of field, or nothing (-1).
void TDialogState::Select(int field) {
  Changed(Repaints_, Selected_);
  Selected_ = field;
  Changed(Repaints_, Selected_);
}

void TDialogState::Changed(std::vector<int>& list, int index) {
  if (index >= 0 && std::find(list.begin(), list.end(), index) == list.end())
    list.push_back(index);
}

std::vector<int> TDialogState::TakeRepaints() {
  std::sort(Repaints_.begin(), Repaints_.end());
  return std::exchange(Repaints_, {});
}

std::vector<int> TDialogState::TakeRenames() {
  std::sort(Renames_.begin(), Renames_.end());
  return std::exchange(Renames_, {});
}

void TDialogState::MoveFocus(int index) {
  Changed(Repaints_, Focus_);
  Focus_ = index;
  Changed(Repaints_, Focus_);
}

// Left and up go to the button before, right and down to the one after,
// round the dialog's buttons in template order; nothing from the field.
void TDialogState::MoveAmongButtons(int step) {
  if (!IsButton(Focus_))
    return;
  const int count = static_cast<int>(Count());
  for (int i = 1; i < count; ++i) {
    const int next = ((Focus_ + step * i) % count + count) % count;
    if (IsButton(next) && !Disabled(next)) {
      MoveFocus(next);
      return;
    }
  }
}

std::optional<int> TDialogState::Key(TDialogKey key) {
  switch (key) {
  case TDialogKey::Tab:
  case TDialogKey::BackTab: {
    const int count = static_cast<int>(Count());
    const int step = key == TDialogKey::Tab ? 1 : -1;
    for (int i = 1; i <= count; ++i) {
      const int next = ((std::max(Focus_, 0) + step * i) % count + count) % count;
      if (CanFocus(next)) {
        MoveFocus(next);
        if (IsField(next)) // tabbing into a field selects what it holds
          Select(next);
        break;
      }
    }
    return std::nullopt;
  }
  case TDialogKey::Left:
  case TDialogKey::Up:
    MoveAmongButtons(-1);
    return std::nullopt;
  case TDialogKey::Right:
  case TDialogKey::Down:
    MoveAmongButtons(1);
    return std::nullopt;
  case TDialogKey::Enter:
    if (IsButton(Focus_))
      return Activate(Focus_);
    for (size_t i = 0; i < Count(); ++i)
      if (IsButton(static_cast<int>(i)) && Control(static_cast<int>(i)).Default)
        return Activate(static_cast<int>(i));
    if (Input_) // no default button: the fields go all the same
      return Activate(-1);
    return End(kOk);
  case TDialogKey::Space:
    if (IsButton(Focus_))
      return Activate(Focus_);
    return Type(U' ');
  case TDialogKey::Escape:
    if (Input_) // an input window stays until its close box
      return std::nullopt;
    return End(kCancel);
  case TDialogKey::Backspace:
  case TDialogKey::Delete:
    if (IsField(Focus_))
      Erase(Focus_);
    return std::nullopt;
  }
  return std::nullopt;
}

// The caret stands at the end of the text: both keys take the selection, or
// else the last character (a surrogate pair whole).
void TDialogState::Erase(int field) {
  std::u16string& text = Texts_[static_cast<size_t>(field)];
  if (Selected_ == field)
    text.clear();
  else if (!text.empty())
    text.resize(text.size() >= 2 && IsSurrogatePair(text, text.size() - 2) ? text.size() - 2
                                                                           : text.size() - 1);
  Select(-1);
  Changed(Repaints_, field);
  Changed(Renames_, field);
}

std::optional<int> TDialogState::Type(char32_t character) {
  if (!IsField(Focus_) || !Printable(character))
    return std::nullopt;
  std::u16string typed;
  AppendUtf16(typed, character);
  std::u16string& text = Texts_[static_cast<size_t>(Focus_)];
  const size_t kept = Selected_ == Focus_ ? 0 : text.size();
  if (kept + typed.size() > Run_.FieldLimit)
    return std::nullopt; // full: the key is refused and the text stays as it is
  text.resize(kept);
  text += typed;
  Select(-1);
  Changed(Repaints_, Focus_);
  Changed(Renames_, Focus_);
  return std::nullopt;
}

void TDialogState::Press(int index) {
  if (IsField(index)) {
    Select(-1); // a click puts the caret into the text
    Changed(Repaints_, index);
    MoveFocus(index);
  } else if (IsButton(index) && !Disabled(index)) {
    Pressed_ = index;
    MoveFocus(index);
  }
}

std::optional<int> TDialogState::Release(bool inside) {
  if (Pressed_ < 0)
    return std::nullopt;
  const int pressed = std::exchange(Pressed_, -1);
  Changed(Repaints_, pressed);
  return inside ? Activate(pressed) : std::nullopt;
}

// Refused: the reason in its label, the first field selected for typing anew.
void TDialogState::Refuse(std::u16string reason) {
  if (Reason_ >= 0) {
    Texts_[static_cast<size_t>(Reason_)] = std::move(reason);
    Fault_ = true;
    Changed(Repaints_, Reason_);
    Changed(Renames_, Reason_);
  }
  MoveFocus(Field_);
  Select(Field_);
}

// An input window's fields taken: emptied, the reason label as it was, the
// first field ready for the next input.
void TDialogState::Accept() {
  for (const int field : Fields_) {
    Texts_[static_cast<size_t>(field)].clear();
    Changed(Repaints_, field);
    Changed(Renames_, field);
  }
  if (Fault_) {
    Fault_ = false;
    Texts_[static_cast<size_t>(Reason_)] = ReasonText_;
    Changed(Repaints_, Reason_);
    Changed(Renames_, Reason_);
  }
  Select(-1);
  if (Field_ >= 0)
    MoveFocus(Field_);
}

std::optional<int> TDialogState::Activate(int index) {
  if (index >= 0 && Disabled(index))
    return std::nullopt;
  if (Input_) {
    if (index < 0 || Control(index).Default) {
      std::vector<std::u16string> fields;
      for (const int field : Fields_)
        fields.push_back(Texts_[static_cast<size_t>(field)]);
      std::u16string reason = Input_->Submit ? Input_->Submit(fields) : std::u16string();
      if (reason.empty())
        Accept();
      else
        Refuse(std::move(reason));
    } else if (Input_->Command) {
      Input_->Command(Control(index).Id);
    }
    return std::nullopt;
  }
  const TControlTemplate& button = Control(index);
  if (button.Default && Field_ >= 0 && Run_.Check) {
    const std::u16string& field = Texts_[static_cast<size_t>(Field_)];
    std::u16string reason = Run_.Check(field);
    if (!reason.empty()) {
      Refuse(std::move(reason));
      return std::nullopt;
    }
  }
  return End(button.Id);
}

void TDialogState::SetText(int id, std::u16string text) {
  for (int i = 0; i < static_cast<int>(Count()); ++i) {
    if (Control(i).Id != id || id == -1)
      continue;
    if (IsField(i) && text.size() > Run_.FieldLimit)
      text.resize(Run_.FieldLimit);
    if (i == Reason_) {
      ReasonText_ = text;
      Fault_ = false;
    }
    if (IsButton(i) && Input_) {
      Disabled_[static_cast<size_t>(i)] = text.empty();
      if (Disabled(i) && Pressed_ == i)
        Pressed_ = -1;
      if (Disabled(i) && Focus_ == i) // the focus leaves for the first field, else nowhere
        MoveFocus(Field_);
    }
    Texts_[static_cast<size_t>(i)] = text;
    Changed(Repaints_, i);
    Changed(Renames_, i);
  }
}

std::optional<int> TDialogState::End(int id) {
  if (id != kCancel && Field_ >= 0)
    Run_.Field = Texts_[static_cast<size_t>(Field_)];
  return id;
}

} // namespace ui
