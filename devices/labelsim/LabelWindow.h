// The label printer's window "Принтер этикеток": the first labels of the last
// batch side by side at their size on the screen (96 pixels an inch), each
// scaled from the dots the printer drew.
#pragma once

#include "LabelPicture.h"
#include "StateLock.h"
#include "Window.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr int kLabelWindowX = 360;
inline constexpr int kLabelWindowY = 90;
inline constexpr int kLabelWindowGap = 8;         // pixels around and between the labels
inline constexpr size_t kLabelWindowLabels = 3;   // labels shown at most
inline constexpr int kLabelWindowMaxWidth = 1000; // the inner area's largest size
inline constexpr int kLabelWindowMaxHeight = 700;
inline constexpr uint32_t kLabelWindowBackground = 0x808080;
inline constexpr int kScreenDotsPerInch = 96;

// A label as the window shows it: one byte a pixel, 0 dark, 255 light.
struct TScreenLabel {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Pixels;
};

// The labels of a batch at screen size: labels (as drawn at dotsPerInch)
// scaled to 96 dpi, and down again when they would not fit the window's
// largest size side by side; as many as fit, at most kLabelWindowLabels, and
// always the first.
std::vector<TScreenLabel> ScreenLabels(const std::vector<label::TBitmap>& labels, int dotsPerInch);
// The window's inner size for those labels.
void LabelWindowSize(const std::vector<TScreenLabel>& labels, int& width, int& height);
// Paints the labels side by side on canvas: the dark pixels of each row in
// runs, through Fill.
void PaintLabels(ui::ICanvas& canvas, const std::vector<TScreenLabel>& labels);

class TLabelWindow {
public:
  TLabelWindow();
  ~TLabelWindow(); // destroys the window first
  TLabelWindow(const TLabelWindow&) = delete;
  TLabelWindow& operator=(const TLabelWindow&) = delete;

  // Shows the labels: in the open window when it is of their size, else in
  // a new one. False when nothing is shown.
  bool Show(std::vector<TScreenLabel> labels, std::u16string_view printName);
  void Destroy();

private:
  class TPainter;
  TStateLock StateLock_;
  std::vector<TScreenLabel> Labels_; // read by the painter under StateLock_
  int Width_ = 0;
  int Height_ = 0;
  std::unique_ptr<TPainter> Painter_;
  std::unique_ptr<ui::TDeviceWindow> Window_;
};
