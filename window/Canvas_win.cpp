// The canvas of the Win32 backend: GDI drawing on a device context, and the
// off-screen paint of a window's client area.
#include "Window_win.h"

#include <tuple>

namespace ui::win {

namespace {

// A monospaced font is Courier New: by its cell height when one is asked (a
// positive height is the cell's, ascent and descent together) with the cell's
// width, else by the size of its characters. Any other font is the shell's
// dialog font.
HFONT MakeFont(const TFontSpec& spec) {
  const int weight = spec.Bold ? FW_BOLD : FW_NORMAL;
  if (!spec.Monospace)
    return CreateFontW(-spec.PixelSize, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"MS Shell Dlg 2");
  const bool byCell = spec.CellHeight > 0;
  return CreateFontW(byCell ? spec.CellHeight : -spec.PixelSize, byCell ? spec.CellWidth : 0, 0, 0, weight,
                     FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

} // namespace

bool TGdiCanvas::TFontKey::operator<(const TFontKey& other) const {
  const TFontSpec& a = Spec;
  const TFontSpec& b = other.Spec;
  return std::tie(a.Monospace, a.Bold, a.PixelSize, a.CellWidth, a.CellHeight) <
         std::tie(b.Monospace, b.Bold, b.PixelSize, b.CellWidth, b.CellHeight);
}

TGdiCanvas::TGdiCanvas(HDC dc, int width, int height)
    : Dc_(dc), Width_(width), Height_(height), PreviousMode_(SetBkMode(dc, TRANSPARENT)),
      PreviousInk_(GetTextColor(dc)), PreviousAlign_(GetTextAlign(dc)) {}

TGdiCanvas::~TGdiCanvas() {
  if (FontSelected_)
    SelectObject(Dc_, PreviousFont_);
  SetTextAlign(Dc_, PreviousAlign_);
  SetTextColor(Dc_, PreviousInk_);
  SetBkMode(Dc_, PreviousMode_);
  for (const auto& [key, font] : Fonts_)
    DeleteObject(font);
}

void TGdiCanvas::Select(const TFontSpec& spec) {
  auto found = Fonts_.find(TFontKey{spec});
  if (found == Fonts_.end()) {
    const HFONT font = MakeFont(spec);
    if (font == nullptr)
      return; // the context's font draws instead
    try {
      found = Fonts_.emplace(TFontKey{spec}, font).first;
    } catch (...) {
      DeleteObject(font);
      throw;
    }
  }
  const HGDIOBJ previous = SelectObject(Dc_, found->second);
  if (!FontSelected_ && previous != nullptr && previous != HGDI_ERROR) {
    PreviousFont_ = previous;
    FontSelected_ = true;
  }
}

void TGdiCanvas::Fill(int x, int y, int width, int height, TColour colour) {
  // The context's own brush, set to the colour: no brush made per rectangle
  // (a QR symbol is thousands of them).
  SetDCBrushColor(Dc_, Colour(colour));
  const RECT rect{x, y, x + width, y + height};
  FillRect(Dc_, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void TGdiCanvas::Cells(const TFontSpec& font, int x, int top, int cellWidth, int cellHeight,
                       std::u16string_view text, TColour ink) {
  Select(font);
  SetTextColor(Dc_, Colour(ink));
  SetTextAlign(Dc_, TA_TOP | TA_CENTER);
  // The font's line centred in the cell, an odd pixel left below.
  TEXTMETRICW metrics{};
  const int lineHeight = GetTextMetricsW(Dc_, &metrics) ? static_cast<int>(metrics.tmHeight) : cellHeight;
  const int y = top + (cellHeight - lineHeight + 1) / 2;
  for (size_t i = 0; i < text.size(); ++i, x += cellWidth) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      TextOutW(Dc_, x + cellWidth / 2, y, Wide(&text[i]), 2);
      ++i;
    } else if (unit != u' ' && unit != u'\0' && !IsHighSurrogate(unit) && !IsLowSurrogate(unit)) {
      TextOutW(Dc_, x + cellWidth / 2, y, Wide(&text[i]), 1);
    }
  }
}

void TGdiCanvas::Text(const TFontSpec& font, int x, int top, std::u16string_view text, TColour ink) {
  Select(font);
  SetTextColor(Dc_, Colour(ink));
  SetTextAlign(Dc_, TA_TOP | TA_LEFT);
  TextOutW(Dc_, x, top, Wide(text.data()), static_cast<int>(text.size()));
}

int TGdiCanvas::TextWidth(const TFontSpec& font, std::u16string_view text) {
  Select(font);
  SIZE size{};
  if (!GetTextExtentPoint32W(Dc_, Wide(text.data()), static_cast<int>(text.size()), &size))
    return 0;
  return static_cast<int>(size.cx);
}

void PaintClient(HWND window, IPainter& painter, TColour background) {
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(window, &paint);
  if (dc == nullptr)
    return;
  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  // Off screen when the memory for it is there, else straight on the window.
  const HDC memory = width > 0 && height > 0 ? CreateCompatibleDC(dc) : nullptr;
  const HBITMAP bitmap = memory != nullptr ? CreateCompatibleBitmap(dc, width, height) : nullptr;
  const HDC target = bitmap != nullptr ? memory : dc;
  const HGDIOBJ previous = bitmap != nullptr ? SelectObject(memory, bitmap) : nullptr;
  try {
    TGdiCanvas canvas(target, width, height);
    canvas.Fill(0, 0, width, height, background);
    painter.Paint(canvas);
  } catch (...) {
    // What was painted is shown; the error ends here, in the window procedure.
  }
  if (bitmap != nullptr) {
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
  }
  if (memory != nullptr)
    DeleteDC(memory);
  EndPaint(window, &paint);
}

} // namespace ui::win
