// The real library with its real operation window, on a Xvfb display of the
// test's own: an operator thread finds the window from outside, reads it and
// answers in every way there is, while the host's call waits. Where there is
// no display every operation is refused as if the window had been closed.
#include "CardAddIn.h"
#include "XDisplay.h"

#include <cmath>
#include <limits>

namespace cardtest {

int OperationWindowsDuring(const std::function<void()>& body) {
  body();
  return -1;
}

namespace {

using namespace std::chrono_literals;

TEST_F(CardAddIn, CardOperationsAreRefusedWithoutAWindow) {
  xtest::UseNoDisplay();
  const std::u16string id = Open();
  const double amounts[] = {100, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max()};
  for (const Operation& operation : kOperations) {
    for (double amount : amounts) {
      ValueList params(memory);
      OperationParams(params, id, testhost::DoubleValue(amount));
      const std::vector<std::string> before = Keys(params);
      EXPECT_FALSE(CallBool(operation.russian, params)) << Narrow(operation.caption);
      EXPECT_EQ(Keys(params), before);
      EXPECT_EQ(LastError(), u"");
    }
  }
  ValueList text(memory);
  OperationParams(text, id, testhost::StringValue(memory, std::u16string(100000, u'9')));
  EXPECT_FALSE(CallBool(u"PayByPaymentCard", text));
}

// ---------------------------------------------------------------------------
// The operation window

enum class Answer {
  Enter,
  ClickOperation,
  Escape,
  TabThenEnter,
  ClickClose,
  WindowManager,
  DestroyedFromOutside
};

struct AnswerCase {
  Answer answer;
  const char* name;
  bool approves;
};

constexpr AnswerCase kAnswers[] = {
    {Answer::Enter, "Enter", true},
    {Answer::ClickOperation, "a click on the operation's button", true},
    {Answer::Escape, "Escape", false},
    {Answer::TabThenEnter, "Tab to \"Закрыть\", then Enter", false},
    {Answer::ClickClose, "a click on \"Закрыть\"", false},
    {Answer::WindowManager, "the window manager's close", false},
    {Answer::DestroyedFromOutside, "the window destroyed from outside", false},
};

// What the operator saw of the operation window.
struct SeenWindow {
  unsigned long window = 0;
  std::string title;
  std::optional<xtest::TGeometry> geometry;
  std::vector<xtest::TChild> controls;

  const xtest::TChild* Control(const std::string& name) const {
    for (const xtest::TChild& control : controls)
      if (control.Name == name)
        return &control;
    return nullptr;
  }
};

// An operator at the screen: reads the operation window and answers.
class OperatorAtTheScreen {
public:
  OperatorAtTheScreen(Answer answer, std::string operation)
      : thread_("CardSim", [this, answer, operation = std::move(operation)](unsigned long window) {
          Respond(window, answer, operation);
        }) {}
  // Call once the host's call has returned; what the operator saw.
  const SeenWindow& Finish() {
    thread_.Finish();
    return seen_;
  }

private:
  void Respond(unsigned long window, Answer answer, const std::string& operation) {
    seen_.window = window;
    seen_.title = xtest::PropertyOf(window, "_NET_WM_NAME");
    seen_.geometry = xtest::GeometryOf(window);
    seen_.controls = xtest::ChildrenOf(window);
    const auto click = [&](const std::string& name) {
      const xtest::TChild* button = seen_.Control(name);
      if (button != nullptr && seen_.geometry)
        xtest::Click(seen_.geometry->X + button->Geometry.X + button->Geometry.Width / 2,
                     seen_.geometry->Y + button->Geometry.Y + button->Geometry.Height / 2);
    };
    switch (answer) {
    case Answer::Enter:
      xtest::Key("Return");
      break;
    case Answer::ClickOperation:
      click(operation);
      break;
    case Answer::Escape:
      xtest::Key("Escape");
      break;
    case Answer::TabThenEnter:
      xtest::Key("Tab Return");
      break;
    case Answer::ClickClose:
      click("Закрыть");
      break;
    case Answer::WindowManager:
      xtest::CloseByWindowManager(window);
      break;
    case Answer::DestroyedFromOutside:
      xtest::DestroyFromOutside(window);
      break;
    }
  }

  SeenWindow seen_;
  xtest::TOperatorThread thread_;
};

class CardWindow : public CardAddIn {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
    CardAddIn::SetUp();
  }
};

// Every operation, answered in every way: the window shows the operation on
// its button and the amount; an approval fills the outputs, anything else
// leaves every parameter as it was; neither leaves an error.
TEST_F(CardWindow, EveryOperationAnsweredInEveryWay) {
  const std::u16string id = Open();
  for (const AnswerCase& answer : kAnswers) {
    for (const Operation& operation : kOperations) {
      SCOPED_TRACE(std::string(answer.name) + ", " + Narrow(operation.caption));
      ValueList params(memory);
      OperationParams(params, id, testhost::DoubleValue(100));
      const std::vector<std::string> before = Keys(params);
      OperatorAtTheScreen operatorThread(answer.answer, Narrow(operation.caption));
      EXPECT_EQ(CallBool(operation.english, params), answer.approves);
      const SeenWindow& seen = operatorThread.Finish();

      ASSERT_NE(seen.window, 0u) << "no operation window";
      EXPECT_EQ(seen.title, "Операция по банковскому терминалу");
      ASSERT_TRUE(seen.geometry.has_value());
      EXPECT_LE(std::abs(2 * seen.geometry->X + seen.geometry->Width - 1024), 1); // centred
      EXPECT_LE(std::abs(2 * seen.geometry->Y + seen.geometry->Height - 768), 1);
      EXPECT_NE(seen.Control(Narrow(operation.caption)), nullptr);
      EXPECT_NE(seen.Control("         100.00"), nullptr);
      EXPECT_NE(seen.Control("Сумма:"), nullptr);
      EXPECT_NE(seen.Control("Закрыть"), nullptr);
      EXPECT_EQ(seen.controls.size(), 4u);
      if (answer.approves)
        ExpectApprovalOutputs(params);
      else
        EXPECT_EQ(Keys(params), before);
      EXPECT_EQ(LastError(), u"");
      EXPECT_TRUE(xtest::Windows("CardSim").empty());
    }
  }
}

// The controls stand where the template puts them: the operation's button at
// the left of the bottom row, "Закрыть" right of it, the amount right of its
// label.
TEST_F(CardWindow, ControlsAreLaidOutAsTheTemplate) {
  const std::u16string id = Open();
  ValueList params(memory);
  OperationParams(params, id, testhost::StringValue(memory, u"1234,567"));
  OperatorAtTheScreen operatorThread(Answer::Escape, "Возврат");
  EXPECT_FALSE(CallBool(u"ВернутьПлатежПоПлатежнойКарте", params));
  const SeenWindow& seen = operatorThread.Finish();
  const xtest::TChild* operation = seen.Control("Возврат");
  const xtest::TChild* close = seen.Control("Закрыть");
  const xtest::TChild* label = seen.Control("Сумма:");
  const xtest::TChild* amount = seen.Control("        1234.57");
  ASSERT_TRUE(operation && close && label && amount && seen.geometry);
  // Dialog units of the template, 191 by 95 in all: a unit is the same
  // number of pixels everywhere, within rounding.
  const double unitX = seen.geometry->Width / 191.0;
  const double unitY = seen.geometry->Height / 95.0;
  const auto near = [](int pixels, double expected) { return std::abs(pixels - expected) <= 1.5; };
  EXPECT_TRUE(near(operation->Geometry.X, 13 * unitX) && near(operation->Geometry.Y, 73 * unitY));
  EXPECT_TRUE(near(operation->Geometry.Width, 94 * unitX) && near(operation->Geometry.Height, 14 * unitY));
  EXPECT_TRUE(near(close->Geometry.X, 118 * unitX) && near(close->Geometry.Width, 50 * unitX));
  EXPECT_TRUE(near(label->Geometry.X, 13 * unitX) && near(label->Geometry.Y, 16 * unitY));
  EXPECT_TRUE(near(amount->Geometry.X, 41 * unitX) && near(amount->Geometry.Width, 123 * unitX));
}

} // namespace
} // namespace cardtest
