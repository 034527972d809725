// The window layer's canvas on X11: ui::ICanvas over an off-screen picture of
// a window (x11::TCanvas), with the fonts it is asked for opened on first use
// and kept with it. Include after every other header (X11_x11.h).
#pragma once

#include "Window.h"

#include <memory>
#include <utility>
#include <vector>

#include "X11_x11.h"

namespace x11 {

class TPaintCanvas final : public ui::ICanvas {
public:
  TPaintCanvas(TConnection& connection, Window window, int width, int height)
      : Connection_(connection), Canvas_(connection, window, width, height) {}

  int Width() const override { return Canvas_.Width(); }
  int Height() const override { return Canvas_.Height(); }
  void Fill(int x, int y, int width, int height, ui::TColour colour) override;
  void Cells(const ui::TFontSpec& font, int x, int top, int cellWidth, int cellHeight,
             std::u16string_view text, ui::TColour ink) override;
  void Text(const ui::TFontSpec& font, int x, int top, std::u16string_view text, ui::TColour ink) override;
  int TextWidth(const ui::TFontSpec& font, std::u16string_view text) override;

  // Shows what was painted.
  void Show() { Canvas_.Show(); }

private:
  // The font of spec, or null when none opens (the text is not drawn).
  TFont* FontOf(const ui::TFontSpec& spec);

  TConnection& Connection_;
  TCanvas Canvas_;
  std::vector<std::pair<ui::TFontSpec, std::unique_ptr<TFont>>> Fonts_;
};

} // namespace x11
