// The real library with its real weighing window, on a Xvfb display of the
// test's own: an operator thread finds the window from outside, types on the
// keyboard and answers, while the host's call waits. Where there is no
// display the weighing fails with its reason.
#include "WeighAddIn.h"
#include "XDisplay.h"

#include <thread>

namespace weightest {
namespace {

TEST_F(WeighAddIn, WeighingFailsWithoutAWindow) {
  xtest::UseNoDisplay();
  const std::u16string id = Open();
  EXPECT_EQ(Weigh(id), std::nullopt);
  EXPECT_EQ(LastError(), u"Не удалось показать окно \"Весы\" для ввода веса");
}

// What the operator saw of the weighing window.
struct SeenWindow {
  unsigned long window = 0;
  std::string title;
  std::vector<xtest::TChild> controls;
  bool stayedAfterFault = false;

  bool Has(const std::string& name) const {
    for (const xtest::TChild& control : controls)
      if (control.Name == name)
        return true;
    return false;
  }
};

// An operator at the screen: types each of keys in turn (xdotool key syntax)
// and, between two, checks that the window is still there.
class OperatorAtTheScreen {
public:
  explicit OperatorAtTheScreen(std::vector<std::string> keys)
      : thread_("WeighSim", [this, keys = std::move(keys)](unsigned long window) { Type(window, keys); }) {}
  const SeenWindow& Finish() {
    thread_.Finish();
    return seen_;
  }

private:
  void Type(unsigned long window, const std::vector<std::string>& keys) {
    seen_.window = window;
    seen_.title = xtest::PropertyOf(window, "_NET_WM_NAME");
    seen_.controls = xtest::ChildrenOf(window);
    for (size_t i = 0; i < keys.size(); ++i) {
      xtest::Key(keys[i]);
      if (i + 1 < keys.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        seen_.stayedAfterFault = !thread_.Returned() && xtest::Windows("WeighSim").size() == 1;
      }
    }
  }

  SeenWindow seen_;
  xtest::TOperatorThread thread_;
};

class WeighWindow : public WeighAddIn {
protected:
  void SetUp() override {
    const std::string missing = xtest::UseOwnDisplay();
    if (!missing.empty())
      GTEST_SKIP() << missing;
    WeighAddIn::SetUp();
  }
};

// The weight typed in the window comes back less the tare; the window offers
// the last gross weight next time, keeps itself open on a wrong weight, and
// closing it fails the weighing with its reason.
TEST_F(WeighWindow, TypedWeightComesBackLessTheTare) {
  const std::u16string id = Open();
  ASSERT_TRUE(Tare(id, testhost::DoubleValue(0.345)));
  {
    OperatorAtTheScreen operatorThread({"2 comma 3 4 5 Return"});
    EXPECT_EQ(Weigh(id), 2.0);
    const SeenWindow& seen = operatorThread.Finish();
    ASSERT_NE(seen.window, 0u) << "no weighing window";
    EXPECT_EQ(seen.title, "Весы");
    EXPECT_TRUE(seen.Has("1.000")) << "prefilled with the default weight";
    EXPECT_TRUE(seen.Has("Вес брутто, кг:") && seen.Has("Взвесить") && seen.Has("Закрыть"));
  }
  {
    OperatorAtTheScreen operatorThread({"minus 5 Return", "7 period 5 Return"});
    EXPECT_EQ(Weigh(id), 7.155);
    const SeenWindow& seen = operatorThread.Finish();
    EXPECT_TRUE(seen.Has("2.345")) << "prefilled with the last gross weight";
    EXPECT_TRUE(seen.stayedAfterFault);
  }
  {
    OperatorAtTheScreen operatorThread({"Return"}); // the prefilled weight as it is
    EXPECT_EQ(Weigh(id), 7.155);
    operatorThread.Finish();
  }
  for (const char* close : {"Escape", "Tab Tab Return"}) {
    OperatorAtTheScreen operatorThread({close});
    EXPECT_EQ(Weigh(id), std::nullopt) << close;
    operatorThread.Finish();
    EXPECT_EQ(LastError(), u"Взвешивание отменено: окно \"Весы\" закрыто без веса");
    EXPECT_TRUE(xtest::Windows("WeighSim").empty());
  }
}

} // namespace
} // namespace weightest
