// The Win32 backend's own header: what its device windows, canvas and dialogs
// share. Nothing above the window layer includes it.
#pragma once

#include "Window.h"

#include <map>
#include <string>
#include <string_view>
#include <windows.h>

namespace ui::win {

// This library's own module (the DLL, not the host's program): its resources
// hold the dialog templates, the icon and the version block.
HINSTANCE ThisModule();

// Text for the wide-character functions: the same UTF-16 units.
inline const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
inline const wchar_t* Wide(const std::u16string& text) {
  return Wide(text.c_str());
}

inline COLORREF Colour(TColour rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The commands a device window understands (WM_COMMAND), and its class icon.
inline constexpr int kCommandClose = 40501;
inline constexpr int kCommandPrint = 40502;
inline constexpr int kCommandCopy = 40503;
inline constexpr int kWindowIcon = 10147;

// A canvas over a device context of width by height pixels. The fonts it makes
// are deleted, and the context's font, colours and alignment given back, when
// it goes.
class TGdiCanvas final : public ICanvas {
public:
  TGdiCanvas(HDC dc, int width, int height);
  ~TGdiCanvas() override;
  TGdiCanvas(const TGdiCanvas&) = delete;
  TGdiCanvas& operator=(const TGdiCanvas&) = delete;

  int Width() const override { return Width_; }
  int Height() const override { return Height_; }
  void Fill(int x, int y, int width, int height, TColour colour) override;
  void Cells(const TFontSpec& font, int x, int top, int cellWidth, int cellHeight, std::u16string_view text,
             TColour ink) override;
  void Text(const TFontSpec& font, int x, int top, std::u16string_view text, TColour ink) override;
  int TextWidth(const TFontSpec& font, std::u16string_view text) override;

private:
  // Selects the font of spec (made on first use) into the context.
  void Select(const TFontSpec& spec);

  struct TFontKey {
    TFontSpec Spec;
    bool operator<(const TFontKey& other) const;
  };

  HDC Dc_;
  int Width_;
  int Height_;
  std::map<TFontKey, HFONT> Fonts_;
  HGDIOBJ PreviousFont_ = nullptr;
  bool FontSelected_ = false;
  int PreviousMode_;
  COLORREF PreviousInk_;
  UINT PreviousAlign_;
};

// Paints the client area of window through painter: off screen first, on a
// ground of background, then copied at once, so that a repaint never
// flickers. Answers WM_PAINT (BeginPaint/EndPaint).
void PaintClient(HWND window, IPainter& painter, TColour background);

} // namespace ui::win
