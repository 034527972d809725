// The shared part of the input devices: their life (Open, Close, the object's
// end), the input from the spool and from the window, and their record.
#include "InputDevice.h"

#include "EventSender.h"
#include "TextCodec.h"
#include "v8napi.h"

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------
// Helpers

void TRecentInputs::Add(std::u16string input) {
  std::erase(items_, input);
  items_.push_front(std::move(input));
  while (items_.size() > kCount)
    items_.pop_back();
}

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

bool IsBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\u00A0';
}

// A whole number written in text, blanks around it allowed.
bool ParseWhole(std::u16string_view text, double& value) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) {
    negative = text[0] == u'-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 12)
    return false;
  double n = 0;
  for (char16_t unit : text) {
    if (unit < u'0' || unit > u'9')
      return false;
    n = n * 10 + (unit - u'0');
  }
  value = negative ? -n : n;
  return true;
}

} // namespace

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool ReadCharacterCode(const TParams& params, long k, std::u16string_view name, char32_t& code,
                       std::u16string& message) {
  double value = 0;
  bool number = true;
  switch (params.Kind(k)) {
  case TParams::TKind::Number:
    value = params.Double(k);
    break;
  case TParams::TKind::Text:
    number = ParseWhole(params.TextView(k), value);
    break;
  default:
    number = false;
  }
  const bool valid = number && std::isfinite(value) && value == std::floor(value) && value >= -1 &&
                     value <= static_cast<double>(kLastCodePoint) && !(value >= 0xD800 && value <= 0xDFFF);
  if (!valid) {
    message = u"Параметр " + std::u16string(name) +
              u": ожидается код символа (-1 или 0 — нет символа, иначе от 1 до 1114111 кроме 55296–57343)";
    return false;
  }
  code = value <= 0 ? 0 : static_cast<char32_t>(value);
  return true;
}

std::u16string CharacterText(char32_t code) {
  std::u16string text;
  if (code != 0)
    AppendUtf16(text, code);
  return text;
}

std::u16string VisibleText(std::u16string_view text) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  out.reserve(text.size());
  for (char16_t unit : text) {
    if (unit == u'\\') {
      out += u"\\\\";
    } else if (unit < 0x20 || unit == 0x7F) {
      out += u"\\x";
      out += kHex[(unit >> 4) & 0xF];
      out += kHex[unit & 0xF];
    } else {
      out += unit;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// The device

TInputDevice::~TInputDevice() {
  try {
    StopAll();
  } catch (...) { // a destructor never throws to the host
  }
}

void TInputDevice::StopAll() {
  {
    const std::lock_guard lock(inputLock_);
    open_ = false;
  }
  CloseWindow(); // a handler call in progress ends first, its events posted
  StopInput();
  StopEvents(); // the record's hook is not called once this returns
}

void TInputDevice::Open(tVariant& result, TParams& params) {
  TSetEmulator::Open(result, params);
  if (TypeOf(result) != VTYPE_BOOL || !result.bVal)
    return;
  {
    const std::lock_guard lock(inputLock_);
    source_ = LastDeviceID; // the latest device open is the source
    open_ = true;
  }
  RaiseEventBuffer(10);
  StartEvents();
  StartInput();
  if (ShowOnScreen && OperatorSetting().Mode == TOperatorMode::Dialog)
    OpenWindow();
}

void TInputDevice::Close(tVariant& result, TParams& params) {
  TSetEmulator::Close(result, params);
  if (TypeOf(result) != VTYPE_BOOL || !result.bVal)
    return;
  if (DeviceList.empty()) {
    StopAll();
    return;
  }
  const std::lock_guard lock(inputLock_);
  source_ = DeviceList.back();
}

void TInputDevice::OnInputItem(std::u16string_view item, std::u16string_view) {
  Send(item, TInputOrigin::Spool); // the spool has logged the item and its file
}

std::u16string TInputDevice::Send(std::u16string_view line, TInputOrigin origin) {
  if (origin != TInputOrigin::Spool)
    WriteLog((origin == TInputOrigin::Window ? u"Из окна ввода получено: " : u"Повтор из окна ввода: ") +
             VisibleText(line));
  std::u16string source;
  {
    const std::lock_guard lock(inputLock_);
    if (!open_) {
      WriteLog(u"Ввод не передан: устройство не подключено");
      return u"Устройство не подключено";
    }
    source = source_;
  }
  std::vector<TInputEvent> events;
  if (std::u16string reason = MakeEvents(line, events); !reason.empty()) {
    WriteLog(u"Ввод не передан: " + reason);
    return reason;
  }
  for (const TInputEvent& event : events)
    PostEvent(source, event.Name, event.Data);
  const std::lock_guard lock(inputLock_);
  recent_.Add(std::u16string(line));
  if (windowView_ != nullptr)
    windowView_->SetTexts(RecentTexts());
  return {};
}

std::vector<std::u16string> TInputDevice::RecentInputs() {
  const std::lock_guard lock(inputLock_);
  return {recent_.Items().begin(), recent_.Items().end()};
}

namespace {

// A recent input as its button shows it: a card's tracks apart by " | ".
std::u16string ButtonText(std::u16string_view line) {
  std::u16string text;
  for (size_t start = 0;;) {
    const size_t tab = line.find(u'\t', start);
    text += VisibleText(line.substr(start, tab == std::u16string_view::npos ? tab : tab - start));
    if (tab == std::u16string_view::npos)
      return text;
    text += u" | ";
    start = tab + 1;
  }
}

} // namespace

std::vector<std::pair<int, std::u16string>> TInputDevice::RecentTexts() const {
  const int first = WindowLayout().FirstRecentId;
  std::vector<std::pair<int, std::u16string>> texts;
  for (size_t i = 0; i < TRecentInputs::kCount; ++i)
    texts.emplace_back(first + static_cast<int>(i),
                       i < recent_.Items().size() ? ButtonText(recent_.Items()[i]) : std::u16string());
  return texts;
}

// ---------------------------------------------------------------------------
// The window (its handler runs on the window's thread)

std::u16string TInputDevice::Submit(std::span<const std::u16string> fields) {
  return Send(JoinFields(fields), TInputOrigin::Window);
}

void TInputDevice::Command(int id) {
  const int index = id - WindowLayout().FirstRecentId;
  std::u16string line;
  {
    const std::lock_guard lock(inputLock_);
    if (index < 0 || static_cast<size_t>(index) >= recent_.Items().size())
      return;
    line = recent_.Items()[static_cast<size_t>(index)];
  }
  Send(line, TInputOrigin::Repeat);
}

void TInputDevice::OpenWindow() {
  if (window_ != nullptr && window_->Open())
    return; // one window for every device of the object
  CloseWindow();
  const TInputWindowLayout layout = WindowLayout();
  ui::TInputWindowSpec spec;
  spec.Template = layout.Template;
  spec.ClassName = layout.ClassName;
  spec.X = layout.X;
  spec.Y = layout.Y;
  spec.KeepAbove = true;
  spec.Fields = layout.Fields;
  spec.ReasonId = layout.ReasonId;
  std::unique_ptr<ui::TInputWindow> window = ui::OpenInputWindow(spec, *this);
  const std::lock_guard lock(inputLock_);
  window_ = std::move(window);
  windowView_ = window_.get();
  windowView_->SetTexts(RecentTexts());
}

void TInputDevice::CloseWindow() {
  std::unique_ptr<ui::TInputWindow> window;
  {
    const std::lock_guard lock(inputLock_);
    windowView_ = nullptr;
    window = std::move(window_);
  }
  window.reset(); // waits for a handler call in progress, which may take inputLock_
}

// ---------------------------------------------------------------------------
// The record of the events the host took: one line each,
// "<source>\t<event>\t<data>", the data's control characters as \xNN.

std::u16string TInputDevice::RecordFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_events.txt";
}

void TInputDevice::OnEventDelivered(const TEvent& event) {
  try {
    const std::lock_guard lock(recordLock_);
    const TDataFileResult written = AppendDataFile(
        RecordFileName(), event.Source + u"\t" + event.Name + u"\t" + VisibleText(event.Data) + u"\r\n");
    if (!written)
      WriteLog(written.FailureText(u"событие"));
  } catch (...) { // the host has the event; only its record line is missing
  }
}
