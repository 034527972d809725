// The real library with its real operation window. A hook on the calling
// thread finds the dialog when it is activated, reads it and answers as the
// operator would (DialogHook_win.h).
#include "CardAddIn.h"
#include "DialogHook_win.h"

#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>

namespace cardtest {
namespace {

constexpr wchar_t kTitle[] = L"Операция по банковскому терминалу";

enum class Answer { ClickOperation, Enter, ClickClose, Escape, CloseBox, WmClose };

std::u16string WindowText(HWND window) {
  wchar_t buffer[512] = {};
  const int length = window != nullptr ? GetWindowTextW(window, buffer, 512) : 0;
  return std::u16string(buffer, buffer + length);
}

// A control's rectangle in its dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Dialog units to pixels, as the dialog lays itself out.
RECT Units(HWND dialog, int x, int y, int cx, int cy) {
  RECT r{x, y, x + cx, y + cy};
  MapDialogRect(dialog, &r);
  return r;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// What the hook saw of one operation window.
struct SeenDialog {
  int count = 0; // operation windows activated
  std::u16string title, amount, operation, label, close;
  HWND owner = nullptr;
  bool layoutAsTemplate = false; // client size and control rectangles in dialog units
  bool centred = false;
};

// Answers every dialog activated on this thread while it lives.
class DialogDriver {
public:
  explicit DialogDriver(Answer answer)
      : answer_(answer), hook_([this](HWND dialog) { Activated(dialog); }, "operation window") {}
  ~DialogDriver() {
    EXPECT_FALSE(hook_.WatchdogFired()) << "the operation window was never found by the hook";
  }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  const SeenDialog& Seen() const { return seen_; }

private:
  void Activated(HWND dialog) {
    ++seen_.count;
    seen_.title = WindowText(dialog);
    seen_.amount = WindowText(GetDlgItem(dialog, 45));
    seen_.operation = WindowText(GetDlgItem(dialog, 1));
    seen_.label = WindowText(GetDlgItem(dialog, -1));
    seen_.close = WindowText(GetDlgItem(dialog, 2));
    seen_.owner = GetWindow(dialog, GW_OWNER);

    RECT client{};
    GetClientRect(dialog, &client);
    seen_.layoutAsTemplate =
        SameRect(client, Units(dialog, 0, 0, 191, 95)) &&
        SameRect(ClientRectOf(dialog, GetDlgItem(dialog, 1)), Units(dialog, 13, 73, 94, 14)) &&
        SameRect(ClientRectOf(dialog, GetDlgItem(dialog, -1)), Units(dialog, 13, 16, 25, 8)) &&
        SameRect(ClientRectOf(dialog, GetDlgItem(dialog, 45)), Units(dialog, 41, 16, 123, 8)) &&
        SameRect(ClientRectOf(dialog, GetDlgItem(dialog, 2)), Units(dialog, 118, 73, 50, 14));
    RECT window{};
    GetWindowRect(dialog, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    seen_.centred = std::abs((window.left + window.right) - (area.left + area.right)) <= 2 &&
                    std::abs((window.top + window.bottom) - (area.top + area.bottom)) <= 2;

    // Posted, so that the dialog's own loop delivers them once it runs.
    switch (answer_) {
    case Answer::ClickOperation:
      PostMessageW(GetDlgItem(dialog, 1), BM_CLICK, 0, 0);
      break;
    case Answer::Enter:
      PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0);
      break;
    case Answer::ClickClose:
      PostMessageW(GetDlgItem(dialog, 2), BM_CLICK, 0, 0);
      break;
    case Answer::Escape:
      PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
      break;
    case Answer::CloseBox:
      PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    case Answer::WmClose:
      PostMessageW(dialog, WM_CLOSE, 0, 0);
      break;
    }
  }

  Answer answer_;
  SeenDialog seen_;
  testhost::TDialogHook hook_;
};

} // namespace

int OperationWindowsDuring(const std::function<void()>& body) {
  DialogDriver driver(Answer::ClickClose);
  body();
  return driver.Seen().count;
}

namespace {

using CardDialog = CardAddIn;

TEST_F(CardDialog, EveryOperationShowsItsNameAndTheAmountAndApproves) {
  const std::u16string id = Open();
  for (const Operation& operation : kOperations) {
    ValueList params(memory);
    OperationParams(params, id, testhost::DoubleValue(100));
    const std::string idKey = testhost::ValueKey(params[0], &memory);
    DialogDriver driver(Answer::ClickOperation);
    EXPECT_TRUE(CallBool(operation.english, params)) << Narrow(operation.caption);
    const SeenDialog& seen = driver.Seen();
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.title, std::u16string(kTitle, kTitle + wcslen(kTitle)));
    EXPECT_EQ(seen.operation, operation.caption);
    EXPECT_EQ(seen.amount, u"         100.00");
    EXPECT_EQ(seen.label, u"Сумма:");
    EXPECT_EQ(seen.close, u"Закрыть");
    EXPECT_TRUE(seen.layoutAsTemplate);
    EXPECT_TRUE(seen.centred);
    EXPECT_EQ(testhost::ValueKey(params[0], &memory), idKey);
    EXPECT_EQ(params[2].dblVal, 100);
    ExpectApprovalOutputs(params);
    EXPECT_EQ(LastError(), u"");
  }
}

TEST_F(CardDialog, EnterApprovesARefund) {
  const std::u16string id = Open();
  ValueList params(memory);
  OperationParams(params, id, testhost::StringValue(memory, u"1234,567"));
  DialogDriver driver(Answer::Enter);
  EXPECT_TRUE(CallBool(u"ВернутьПлатежПоПлатежнойКарте", params));
  EXPECT_EQ(driver.Seen().operation, u"Возврат");
  EXPECT_EQ(driver.Seen().amount, u"        1234.57");
  ExpectApprovalOutputs(params);
}

// However the operator closes the window, the operation fails silently and
// every parameter stays as it was.
TEST_F(CardDialog, ClosingTheWindowRefuses) {
  const std::u16string id = Open();
  for (Answer answer : {Answer::ClickClose, Answer::Escape, Answer::CloseBox, Answer::WmClose}) {
    ValueList params(memory);
    OperationParams(params, id, testhost::DoubleValue(7.5));
    const std::vector<std::string> before = Keys(params);
    DialogDriver driver(answer);
    EXPECT_FALSE(CallBool(u"PayByPaymentCard", params)) << static_cast<int>(answer);
    EXPECT_EQ(driver.Seen().count, 1);
    EXPECT_EQ(driver.Seen().amount, u"           7.50");
    EXPECT_EQ(Keys(params), before);
    EXPECT_EQ(LastError(), u"");
  }
}

// Amounts that are no number, or too long for the field, show whole.
TEST_F(CardDialog, OddAmountsShowSanely) {
  const std::u16string id = Open();
  const struct {
    double amount;
    const char16_t* shown;
  } cases[] = {{std::nan(""), u"            NAN"},
               {-HUGE_VAL, u"           -INF"},
               {1e20, u"100000000000000000000.00"}};
  for (const auto& c : cases) {
    ValueList params(memory);
    OperationParams(params, id, testhost::DoubleValue(c.amount));
    DialogDriver driver(Answer::Escape);
    EXPECT_FALSE(CallBool(u"PayByPaymentCard", params));
    EXPECT_EQ(driver.Seen().amount, c.shown);
  }
}

// The window belongs to the host's active window.
TEST_F(CardDialog, HostsActiveWindowOwnsTheDialog) {
  const std::u16string id = Open();
  HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  SetForegroundWindow(host);
  SetActiveWindow(host);
  ASSERT_EQ(GetActiveWindow(), host);
  {
    ValueList params(memory);
    OperationParams(params, id, testhost::DoubleValue(1));
    DialogDriver driver(Answer::ClickOperation);
    EXPECT_TRUE(CallBool(u"PayByPaymentCard", params));
    EXPECT_EQ(driver.Seen().owner, host);
  }
  DestroyWindow(host);
}

// The template in the library's resources, read back field by field.
struct TemplateReader {
  const BYTE* p;
  WORD Word() {
    WORD w;
    std::memcpy(&w, p, 2);
    p += 2;
    return w;
  }
  DWORD Dword() {
    DWORD d;
    std::memcpy(&d, p, 4);
    p += 4;
    return d;
  }
  short Short() { return static_cast<short>(Word()); }
  std::u16string Text() {
    std::u16string s;
    for (WORD w = Word(); w != 0; w = Word())
      s += static_cast<char16_t>(w);
    return s;
  }
  // A name or an ordinal: ordinals come back as "#<number>".
  std::u16string NameOrOrdinal() {
    WORD first;
    std::memcpy(&first, p, 2);
    if (first == 0xFFFF) {
      p += 2;
      const std::string n = "#" + std::to_string(Word());
      return std::u16string(n.begin(), n.end());
    }
    return Text();
  }
  void AlignDword(const BYTE* base) {
    while ((p - base) % 4 != 0)
      ++p;
  }
};

TEST_F(CardDialog, TemplateIsTheRussianExtendedDialog) {
  const std::string file = CARDSIM_FILE;
  HMODULE module = GetModuleHandleW(std::wstring(file.begin(), file.end()).c_str());
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5) /* RT_DIALOG */, L"ORVIK_DLG_PAY",
                                MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT));
  ASSERT_NE(found, nullptr);
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  ASSERT_NE(base, nullptr);
  TemplateReader r{base};
  EXPECT_EQ(r.Word(), 1);      // dlgVer
  EXPECT_EQ(r.Word(), 0xFFFF); // signature: extended template
  r.Dword();                   // help id
  EXPECT_EQ(r.Dword(), 0u);    // extended style
  EXPECT_EQ(r.Dword(), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER |
                                          DS_NOIDLEMSG | DS_SETFONT | DS_FIXEDSYS));
  ASSERT_EQ(r.Word(), 4); // controls
  EXPECT_EQ(r.Short(), 0);
  EXPECT_EQ(r.Short(), 0);
  EXPECT_EQ(r.Short(), 191);
  EXPECT_EQ(r.Short(), 95);
  EXPECT_EQ(r.NameOrOrdinal(), u""); // no menu
  EXPECT_EQ(r.NameOrOrdinal(), u""); // the dialog class
  EXPECT_EQ(r.Text(), u"Операция по банковскому терминалу");
  EXPECT_EQ(r.Word(), 10);  // points
  EXPECT_EQ(r.Word(), 400); // weight
  EXPECT_EQ(*r.p++, 0);     // not italic
  EXPECT_EQ(*r.p++, 204);   // Cyrillic
  EXPECT_EQ(r.Text(), u"MS Shell Dlg");

  const struct {
    DWORD id;
    const char16_t* cls;
    const char16_t* text;
    DWORD style;
    short x, y, cx, cy;
  } controls[] = {
      {1, u"#128", u"Оплата", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 13, 73, 94, 14},
      {0xFFFFFFFF, u"#130", u"Сумма:", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT, 13, 16, 25, 8},
      {45, u"#130", u"100-00", WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFTNOWORDWRAP, 41, 16, 123, 8},
      {2, u"#128", u"Закрыть", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 118, 73, 50, 14},
  };
  for (const auto& c : controls) {
    r.AlignDword(base);
    r.Dword(); // help id
    EXPECT_EQ(r.Dword(), 0u) << Narrow(c.text);
    EXPECT_EQ(r.Dword(), c.style) << Narrow(c.text);
    EXPECT_EQ(r.Short(), c.x);
    EXPECT_EQ(r.Short(), c.y);
    EXPECT_EQ(r.Short(), c.cx);
    EXPECT_EQ(r.Short(), c.cy);
    EXPECT_EQ(r.Dword(), c.id);
    std::u16string cls = r.NameOrOrdinal();
    if (cls == u"Button" || cls == u"BUTTON")
      cls = u"#128";
    if (cls == u"Static" || cls == u"STATIC")
      cls = u"#130";
    EXPECT_EQ(cls, c.cls) << Narrow(c.text);
    EXPECT_EQ(r.NameOrOrdinal(), c.text);
    r.p += r.Word(); // creation data
  }
}

} // namespace
} // namespace cardtest
