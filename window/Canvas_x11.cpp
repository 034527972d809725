// The window layer's canvas on X11 (Canvas_x11.h).
#include "TextCodec.h"

#include "Canvas_x11.h"

namespace x11 {

TFont* TPaintCanvas::FontOf(const ui::TFontSpec& spec) {
  for (const auto& [opened, font] : Fonts_)
    if (opened == spec)
      return font.get();
  // A font that does not open is not tried again on this canvas.
  auto font = TFont::Open(Connection_, {.Monospace = spec.Monospace,
                                        .Bold = spec.Bold,
                                        .PixelSize = spec.PixelSize,
                                        .MaxAdvance = spec.CellWidth});
  return Fonts_.emplace_back(spec, std::move(font)).second.get();
}

void TPaintCanvas::Fill(int x, int y, int width, int height, ui::TColour colour) {
  Canvas_.Fill(x, y, width, height, colour);
}

// Each character centred in its cell, whatever the font's advance; the
// baseline centres the font's line in the cell's height.
void TPaintCanvas::Cells(const ui::TFontSpec& spec, int x, int top, int cellWidth, int cellHeight,
                         std::u16string_view text, ui::TColour ink) {
  TFont* font = FontOf(spec);
  if (font == nullptr)
    return;
  const int baseline = top + (cellHeight - font->Height()) / 2 + font->Ascent();
  for (size_t i = 0; i < text.size() && x < Canvas_.Width(); ++i, x += cellWidth) {
    const size_t units = IsSurrogatePair(text, i) ? 2 : 1;
    const std::u16string_view glyph = text.substr(i, units);
    i += units - 1;
    if (glyph[0] == u' ' || glyph[0] == 0 || (units == 1 && IsSurrogate(glyph[0])))
      continue; // blank, or half a character
    Canvas_.Text(*font, x + (cellWidth - font->Width(glyph)) / 2, baseline, glyph, ink);
  }
}

void TPaintCanvas::Text(const ui::TFontSpec& spec, int x, int top, std::u16string_view text,
                        ui::TColour ink) {
  if (TFont* font = FontOf(spec))
    Canvas_.Text(*font, x, top + font->Ascent(), text, ink);
}

int TPaintCanvas::TextWidth(const ui::TFontSpec& spec, std::u16string_view text) {
  TFont* font = FontOf(spec);
  return font != nullptr ? font->Width(text) : 0;
}

} // namespace x11
