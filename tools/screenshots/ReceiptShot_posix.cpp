// receiptshot on Linux: the paper window's own thread paints it while this
// thread waits.
#include "ReceiptShot.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

bool HoldPaperWindow(const std::string&, const std::string& ready, const std::string& done) {
  std::ofstream(ready) << "shown\n";
  for (int i = 0; i < 600 && !std::filesystem::exists(done); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return true;
}
