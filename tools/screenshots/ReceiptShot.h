// receiptshot's operating-system side (ReceiptShot_posix.cpp, ReceiptShot_win.cpp).
#pragma once

#include <string>

// Writes the paper window's screen rectangle ("left top width height") to
// ready once it is shown (on Linux, where the script finds the window itself,
// only "shown"), then keeps it on the screen until the file done appears or
// 60 s pass. The window is the one of this thread whose class name begins
// with classPrefix (Windows). False when no window came.
bool HoldPaperWindow(const std::string& classPrefix, const std::string& ready, const std::string& done);
