// A printer's paper tape: the lines kept for the paper window, the tape file
// in the data folder and the window that shows the newest lines. The receipt
// printer and the fiscal register print through one each, with a window of
// their own title and place.
#pragma once

#include "Paper.h"
#include "StateLock.h"
#include "Tape.h"
#include "Window.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t kPaperTapeLimit = 2000; // lines the paper window keeps

// Where a tape's window stands and what it is called.
struct TPaperWindowPlace {
  std::u16string Title;
  const char* ClassName = "Orvik";
  int X = kPaperWindowX;
  int Y = kPaperWindowY;
};

class TPaperTape {
public:
  explicit TPaperTape(TPaperWindowPlace place);
  ~TPaperTape(); // destroys the window first
  TPaperTape(const TPaperTape&) = delete;
  TPaperTape& operator=(const TPaperTape&) = delete;

  // Appends lines to the tape: the kept lines and the file fileName of the
  // data folder together, then, when show, the window at lineLength (printName
  // the window's print document). When the file cannot take them nothing is
  // printed and the message says so, naming the file and the reason; empty on
  // success.
  std::u16string Feed(const std::vector<TTapeLine>& lines, std::u16string_view fileName, int32_t lineLength,
                      bool show, std::u16string_view printName);
  // The newest lines of the tape, as many as the paper window can show.
  std::vector<TTapeLine> NewestLines();

  // Guards Lines, which a paper window on a thread of its own (Linux) reads
  // while the host calls.
  TStateLock StateLock;
  std::deque<TTapeLine> Lines; // the last kPaperTapeLimit lines, changed under StateLock

private:
  class TPainter;
  // The paper window: made, or shown the new tape; false when nothing is shown.
  bool ShowWindow(int32_t lineLength, std::u16string_view printName);
  void DestroyWindow();

  TPaperWindowPlace Place_;
  std::unique_ptr<TPainter> Painter_; // of the window below
  std::unique_ptr<ui::TDeviceWindow> Window_;
};
