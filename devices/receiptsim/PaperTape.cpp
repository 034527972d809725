// The paper tape shared by the printing devices: kept lines, tape file and
// paper window.
#include "PaperTape.h"

#include "Unattended.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

// The paper's canvas on a window's: a monospaced font in cells of the tape.
class TWindowPaper final : public IPaperCanvas {
public:
  explicit TWindowPaper(ui::ICanvas& canvas) : Canvas_(canvas) {}
  void Fill(int x, int y, int width, int height, bool dark) override {
    Canvas_.Fill(x, y, width, height, dark ? kInkColour : kPaperColour);
  }
  void Text(int x, int top, std::u16string_view text) override {
    static constexpr ui::TFontSpec kFont{
        .Monospace = true, .PixelSize = kPaperRowPitch - 3, .CellWidth = kPaperCellWidth};
    Canvas_.Cells(kFont, x, top, kPaperCellWidth, kPaperRowPitch, text, kInkColour);
  }

private:
  ui::ICanvas& Canvas_;
};

} // namespace

// Paints the newest lines of the tape into the paper window.
class TPaperTape::TPainter final : public ui::IPainter {
public:
  TPainter(TPaperTape& tape, int32_t lineLength) : Tape_(tape), LineLength_(lineLength) {}
  void Paint(ui::ICanvas& canvas) override {
    TWindowPaper paper(canvas);
    PaintPaper(paper, Tape_.NewestLines(), LineLength_);
  }
  int32_t LineLength() const { return LineLength_; }

private:
  TPaperTape& Tape_;
  const int32_t LineLength_; // the line length the window was made for
};

TPaperTape::TPaperTape(TPaperWindowPlace place) : Place_(std::move(place)) {}

TPaperTape::~TPaperTape() {
  try {
    DestroyWindow();
  } catch (...) { // a destructor never throws to the host
  }
}

std::u16string TPaperTape::Feed(const std::vector<TTapeLine>& lines, std::u16string_view fileName,
                                int32_t lineLength, bool show, std::u16string_view printName) {
  // The file is what the printer promised: lines it did not take were not
  // printed, so neither the kept tape nor the window keeps them. The lines go
  // on the kept tape first, then into the file, and are taken back when either
  // fails (a refused allocation, a full disk): the call then fails with the
  // file and the tape as they were. The oldest lines come off only after both.
  {
    const std::lock_guard lock(StateLock);
    const size_t kept = Lines.size();
    const auto takeBack = [&] {
      while (Lines.size() > kept)
        Lines.pop_back();
    };
    TDataFileResult written;
    try {
      for (const TTapeLine& line : lines)
        Lines.push_back(line);
      written = AppendDataFile(fileName, TapeFileText(lines));
    } catch (...) {
      takeBack();
      throw;
    }
    if (!written) {
      takeBack();
      return written.FailureText(u"ленту");
    }
    while (Lines.size() > kPaperTapeLimit)
      Lines.pop_front();
  }
  if (show)
    ShowWindow(lineLength, printName); // an open window stays as it is when the tape is hidden
  return {};
}

std::vector<TTapeLine> TPaperTape::NewestLines() {
  const std::lock_guard lock(StateLock);
  const size_t count = std::min(Lines.size(), static_cast<size_t>(kPaperRows));
  return std::vector<TTapeLine>(Lines.end() - static_cast<std::ptrdiff_t>(count), Lines.end());
}

// The window is kept above the others at its place, its paper as wide as the
// line length it was made for.
bool TPaperTape::ShowWindow(int32_t lineLength, std::u16string_view printName) {
  if (Window_ && Painter_->LineLength() == lineLength && Window_->Repaint())
    return true;
  DestroyWindow(); // closed by the user, never shown, or the paper changed its width
  Painter_ = std::make_unique<TPainter>(*this, lineLength);
  Window_ = ui::OpenWindow({.Title = Place_.Title,
                            .ClassName = Place_.ClassName,
                            .X = Place_.X,
                            .Y = Place_.Y,
                            .Width = PaperWidth(lineLength),
                            .Height = PaperHeight(),
                            .Background = kPaperColour,
                            .KeepAbove = true,
                            .PrintName = std::u16string(printName)},
                           *Painter_);
  return Window_->Shown();
}

void TPaperTape::DestroyWindow() {
  Window_.reset(); // no paint runs afterwards
  Painter_.reset();
}
