// The paper window on Linux: an X window kept above the others, served by a
// thread of its own (WindowThread_posix.h) so that it repaints while the host
// does other work. With no display or no X library nothing is shown and the
// tape goes to its file only.
#include "ReceiptSim.h"

#include "TextCodec.h"

#include <chrono>
#include <memory>

#include "WindowThread_posix.h"

namespace {

// How long the host's call waits for a new paper window to appear.
constexpr auto kShowWait = std::chrono::seconds(3);

// The paper window's canvas, made on its thread, with the line length the
// window was made for.
class TPaperSurface : public IPaperCanvas {
public:
  TPaperSurface(x11::TConnection& connection, const x11::TTopWindow& window, int32_t lineLength)
      : LineLength(lineLength), Canvas_(connection, window.Id(), PaperWidth(lineLength), PaperHeight()),
        Font_(x11::TFont::Open(
            connection,
            {.Monospace = true, .PixelSize = kPaperRowPitch - 3, .MaxAdvance = kPaperCellWidth})) {}

  void Draw(const std::vector<TTapeLine>& lines) {
    PaintPaper(*this, lines, LineLength);
    Canvas_.Show();
  }

  void Fill(int x, int y, int width, int height, bool dark) override {
    Canvas_.Fill(x, y, width, height, dark ? kInkColour : kPaperColour);
  }

  // Each character in its own cell, whatever the font's advance.
  void Text(int x, int top, std::u16string_view text) override {
    if (!Font_)
      return;
    const int baseline = top + (kPaperRowPitch - Font_->Height()) / 2 + Font_->Ascent();
    for (size_t i = 0; i < text.size(); ++i, x += kPaperCellWidth) {
      const size_t units = IsSurrogatePair(text, i) ? 2 : 1;
      const std::u16string_view glyph = text.substr(i, units);
      i += units - 1;
      if (glyph[0] != u' ')
        Canvas_.Text(*Font_, x + (kPaperCellWidth - Font_->Width(glyph)) / 2, baseline, glyph, kInkColour);
    }
  }

  const int32_t LineLength;

private:
  x11::TCanvas Canvas_;
  std::unique_ptr<x11::TFont> Font_;
};

} // namespace

bool TReceiptSim_3001::ShowPaperWindow() {
  if (auto* paper = static_cast<x11::TWindowThread*>(WindowHandle)) {
    if (PaperLength_ == LineLength && paper->Repaint())
      return true;
    DestroyPaperWindow(); // closed by the user, or the paper changed its width
  }
  const std::string displayName = x11::DisplayName();
  if (displayName.empty() || x11::Api() == nullptr)
    return false;
  const int32_t lineLength = LineLength;
  auto paper = std::make_unique<x11::TWindowThread>(
      displayName,
      x11::TTopWindowSpec{.X = kPaperWindowX,
                          .Y = kPaperWindowY,
                          .Width = PaperWidth(lineLength),
                          .Height = PaperHeight(),
                          .Title = kReceiptWindowTitle,
                          .ClassName = "ReceiptSim",
                          .KeepAbove = true,
                          .Background = kPaperColour},
      [lineLength](x11::TConnection& connection, const x11::TTopWindow& window) {
        return std::make_shared<TPaperSurface>(connection, window, lineLength);
      },
      [this](void* surface) { PaintWindow(surface); }, nullptr, std::chrono::milliseconds(0));
  const bool shown = paper->WaitShown(kShowWait);
  if (!shown && paper->Ended())
    return false; // no window; the next document tries again
  // Shown, or a slow display still on its way: the window is ours either way.
  WindowHandle = paper.release();
  PaperLength_ = lineLength;
  return shown;
}

void TReceiptSim_3001::DestroyPaperWindow() {
  delete static_cast<x11::TWindowThread*>(WindowHandle); // stops its thread first
  WindowHandle = nullptr;
}

void TReceiptSim_3001::PaintWindow(void* window) {
  if (auto* surface = static_cast<TPaperSurface*>(window))
    surface->Draw(NewestLines());
}
