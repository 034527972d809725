// The real library with its real weighing window. A hook on the calling
// thread finds the dialog when it is activated, reads it and answers as the
// operator would, typing into the weight field (DialogHook_win.h).
#include "DialogHook_win.h"
#include "WeighAddIn.h"

#include <windows.h>

namespace weightest {
namespace {

constexpr int kWeightEdit = 46;
constexpr int kHintLine = 47;

enum class Answer { Weigh, FaultThenWeigh, ClickClose, Escape, CloseBox };

std::u16string WindowText(HWND window) {
  wchar_t buffer[512] = {};
  const int length = window != nullptr ? GetWindowTextW(window, buffer, 512) : 0;
  return std::u16string(buffer, buffer + length);
}

struct SeenDialog {
  int count = 0;
  std::u16string title, weight, hint, weigh, close;
};

// Answers the first dialog activated on this thread while it lives: types
// `typed` into the weight field and answers.
class DialogDriver {
public:
  DialogDriver(Answer answer, std::wstring typed)
      : answer_(answer), typed_(std::move(typed)),
        hook_([this](HWND dialog) { Activated(dialog); }, "weighing window") {}
  ~DialogDriver() { EXPECT_FALSE(hook_.WatchdogFired()) << "the weighing window was never answered"; }
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  const SeenDialog& Seen() const { return seen_; }

private:
  void Activated(HWND dialog) {
    if (seen_.count++ > 0)
      return;
    const HWND edit = GetDlgItem(dialog, kWeightEdit);
    seen_.title = WindowText(dialog);
    seen_.weight = WindowText(edit);
    seen_.hint = WindowText(GetDlgItem(dialog, kHintLine));
    seen_.weigh = WindowText(GetDlgItem(dialog, 1));
    seen_.close = WindowText(GetDlgItem(dialog, 2));
    SetWindowTextW(edit, typed_.c_str());
    // Posted, so that the dialog's own loop delivers them once it runs.
    switch (answer_) {
    case Answer::FaultThenWeigh:
      // The wrong weight stays selected after the click: "3" replaces it.
      PostMessageW(GetDlgItem(dialog, 1), BM_CLICK, 0, 0);
      PostMessageW(edit, WM_CHAR, L'3', 0);
      [[fallthrough]];
    case Answer::Weigh:
      PostMessageW(GetDlgItem(dialog, 1), BM_CLICK, 0, 0);
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
    }
  }

  Answer answer_;
  std::wstring typed_;
  SeenDialog seen_;
  testhost::TDialogHook hook_;
};

// The weight typed in the window comes back less the tare; the window offers
// the last gross weight next time and keeps itself open on a wrong weight.
TEST_F(WeighAddIn, TypedWeightComesBackLessTheTare) {
  const std::u16string id = Open();
  ASSERT_TRUE(Tare(id, testhost::DoubleValue(0.345)));
  {
    DialogDriver driver(Answer::Weigh, L"2,345");
    EXPECT_EQ(Weigh(id), 2.0);
    const SeenDialog& seen = driver.Seen();
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.title, u"Весы");
    EXPECT_EQ(seen.weight, u"1.000");
    EXPECT_EQ(seen.hint, u"От 0 до 1000 кг, разделитель \",\" или \".\"");
    EXPECT_EQ(seen.weigh, u"Взвесить");
    EXPECT_EQ(seen.close, u"Закрыть");
  }
  {
    DialogDriver driver(Answer::FaultThenWeigh, L"-5");
    EXPECT_EQ(Weigh(id), 2.655);
    EXPECT_EQ(driver.Seen().weight, u"2.345");
  }
}

// However the operator closes the window, the weighing fails with its reason
// and the output stays as it was.
TEST_F(WeighAddIn, ClosingTheWindowFailsTheWeighing) {
  const std::u16string id = Open();
  for (Answer answer : {Answer::ClickClose, Answer::Escape, Answer::CloseBox}) {
    DialogDriver driver(answer, L"9");
    EXPECT_EQ(Weigh(id), std::nullopt) << static_cast<int>(answer);
    EXPECT_EQ(driver.Seen().count, 1);
    EXPECT_EQ(LastError(), u"Взвешивание отменено: окно \"Весы\" закрыто без веса");
  }
}

} // namespace
} // namespace weightest
