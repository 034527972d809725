// The label printer's window: the last labels scaled to the screen.
#include "LabelWindow.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr ui::TColour kLabelColour = 0xFFFFFF;
constexpr ui::TColour kDotColour = 0x000000;
// A screen pixel is dark when the dots it covers are on average darker than this.
constexpr int kDarkAverage = 160;

TScreenLabel Scaled(const label::TBitmap& bitmap, int width, int height) {
  TScreenLabel screen;
  screen.Width = std::max(width, 1);
  screen.Height = std::max(height, 1);
  screen.Pixels.assign(static_cast<size_t>(screen.Width) * static_cast<size_t>(screen.Height), 255);
  if (bitmap.Width <= 0 || bitmap.Height <= 0 ||
      bitmap.Dots.size() < static_cast<size_t>(bitmap.Width) * static_cast<size_t>(bitmap.Height))
    return screen;
  // Each pixel averages the dots of its block of the bitmap.
  for (int y = 0; y < screen.Height; ++y) {
    const int64_t top = int64_t{y} * bitmap.Height / screen.Height;
    const int64_t bottom = std::max(top + 1, int64_t{y + 1} * bitmap.Height / screen.Height);
    for (int x = 0; x < screen.Width; ++x) {
      const int64_t left = int64_t{x} * bitmap.Width / screen.Width;
      const int64_t right = std::max(left + 1, int64_t{x + 1} * bitmap.Width / screen.Width);
      int64_t sum = 0;
      for (int64_t by = top; by < bottom; ++by)
        for (int64_t bx = left; bx < right; ++bx)
          sum += bitmap.Dots[static_cast<size_t>(by * bitmap.Width + bx)];
      if (sum < kDarkAverage * (bottom - top) * (right - left))
        screen.Pixels[static_cast<size_t>(y) * screen.Width + x] = 0;
    }
  }
  return screen;
}

} // namespace

std::vector<TScreenLabel> ScreenLabels(const std::vector<label::TBitmap>& labels, int dotsPerInch) {
  const double toScreen = static_cast<double>(kScreenDotsPerInch) / std::max(dotsPerInch, 1);
  // As many as fit side by side at screen size, the first always.
  size_t count = 0;
  double width = kLabelWindowGap;
  double height = 0;
  for (const label::TBitmap& bitmap : labels) {
    const double next = bitmap.Width * toScreen + kLabelWindowGap;
    if (count == kLabelWindowLabels || (count > 0 && width + next > kLabelWindowMaxWidth))
      break;
    width += next;
    height = std::max(height, bitmap.Height * toScreen);
    ++count;
  }
  const double scale = std::min({1.0,
                                 (kLabelWindowMaxWidth - (count + 1.0) * kLabelWindowGap) /
                                     std::max(width - (count + 1.0) * kLabelWindowGap, 1.0),
                                 (kLabelWindowMaxHeight - 2.0 * kLabelWindowGap) / std::max(height, 1.0)});
  std::vector<TScreenLabel> screen;
  for (size_t i = 0; i < count; ++i)
    screen.push_back(Scaled(labels[i], static_cast<int>(std::lround(labels[i].Width * toScreen * scale)),
                            static_cast<int>(std::lround(labels[i].Height * toScreen * scale))));
  return screen;
}

void LabelWindowSize(const std::vector<TScreenLabel>& labels, int& width, int& height) {
  width = kLabelWindowGap;
  height = 0;
  for (const TScreenLabel& screen : labels) {
    width += screen.Width + kLabelWindowGap;
    height = std::max(height, screen.Height);
  }
  height += 2 * kLabelWindowGap;
}

void PaintLabels(ui::ICanvas& canvas, const std::vector<TScreenLabel>& labels) {
  canvas.Fill(0, 0, canvas.Width(), canvas.Height(), kLabelWindowBackground);
  int left = kLabelWindowGap;
  for (const TScreenLabel& screen : labels) {
    canvas.Fill(left, kLabelWindowGap, screen.Width, screen.Height, kLabelColour);
    for (int y = 0; y < screen.Height; ++y) {
      const uint8_t* row = &screen.Pixels[static_cast<size_t>(y) * screen.Width];
      for (int x = 0; x < screen.Width;) {
        if (row[x] != 0) {
          ++x;
          continue;
        }
        const int start = x;
        while (x < screen.Width && row[x] == 0)
          ++x;
        canvas.Fill(left + start, kLabelWindowGap + y, x - start, 1, kDotColour);
      }
    }
    left += screen.Width + kLabelWindowGap;
  }
}

class TLabelWindow::TPainter final : public ui::IPainter {
public:
  explicit TPainter(TLabelWindow& window) : Window_(window) {}
  void Paint(ui::ICanvas& canvas) override {
    const std::lock_guard lock(Window_.StateLock_);
    PaintLabels(canvas, Window_.Labels_);
  }

private:
  TLabelWindow& Window_;
};

TLabelWindow::TLabelWindow() = default;

TLabelWindow::~TLabelWindow() {
  try {
    Destroy();
  } catch (...) { // a destructor never throws to the host
  }
}

bool TLabelWindow::Show(std::vector<TScreenLabel> labels, std::u16string_view printName) {
  int width = 0;
  int height = 0;
  LabelWindowSize(labels, width, height);
  {
    const std::lock_guard lock(StateLock_);
    Labels_ = std::move(labels);
  }
  if (Window_ && width == Width_ && height == Height_ && Window_->Repaint())
    return true;
  Destroy(); // closed by the user, never shown, or the labels changed their size
  Painter_ = std::make_unique<TPainter>(*this);
  Width_ = width;
  Height_ = height;
  Window_ = ui::OpenWindow({.Title = u"Принтер этикеток",
                            .ClassName = "LabelSim",
                            .X = kLabelWindowX,
                            .Y = kLabelWindowY,
                            .Width = width,
                            .Height = height,
                            .Background = kLabelWindowBackground,
                            .KeepAbove = true,
                            .PrintName = std::u16string(printName)},
                           *Painter_);
  return Window_->Shown();
}

void TLabelWindow::Destroy() {
  Window_.reset(); // no paint runs afterwards
  Painter_.reset();
}
