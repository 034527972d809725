// Shows the customer display of a PANELSIM library on Linux for a screenshot:
// loads the library as the host does and either writes two rows (the second
// one running) and keeps the window for a while, or runs the device test,
// whose window stays until it is closed. The script that takes the picture
// finds the window itself (scripts/screenshot-linux.sh).
//   panelshot <library> display|test [hold ms]
#include "TestHost.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: panelshot <library> display|test [hold ms]\n");
    return 2;
  }
  const std::string mode = argv[2];
  const int holdMs = argc > 3 ? std::atoi(argv[3]) : 6000;

  std::string error;
  const auto ready = testhost::OpenObject(argv[1], u"Orvik_PanelSim_3001", error);
  if (!ready) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  testhost::CountingMemory& memory = ready->memory;
  testhost::Component* component = ready->component.get();

  testhost::ValueList open(memory);
  open.Add(testhost::EmptyValue());
  tVariant result = testhost::EmptyValue();
  component->CallAsFunc(component->RequireMethod(u"Open"), result, open);
  const std::u16string id = testhost::TextOf(open[0]);

  if (mode == "test") {
    testhost::ValueList test(memory);
    test.Add(testhost::EmptyValue());
    test.Add(testhost::EmptyValue());
    component->CallAsFunc(component->RequireMethod(u"DeviceTest"), result, test);
  } else {
    testhost::ValueList output(memory);
    output.AddString(id);
    output.AddString(u"Итого: 1 234,50 руб.\nСпасибо за покупку! Приходите к нам ещё!");
    component->CallAsFunc(component->RequireMethod(u"StringOutputOnPanelSim"), result, output);
    // The host's thread sleeps; the window's own thread runs the line.
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
  }
  testhost::ReleaseValue(memory, result);
  return 0;
}
