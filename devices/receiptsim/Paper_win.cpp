// The paper window on Windows: a window kept above the others, painted by
// the core's window procedure through PaintWindow, on the host's thread.
#include "ReceiptSim.h"
#include "TextCodec.h"
#include "Window_win.h"

namespace {

// The paper windows' class, one per loaded library.
TDeviceWindowClass PaperClass(L"ReceiptSim_");

constexpr DWORD kPaperStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kPaperExStyle = WS_EX_CLIENTEDGE | WS_EX_TOPMOST;

COLORREF Colour(uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Drawing on a window's device context, with the paper's monospaced font.
class TGdiPaper : public IPaperCanvas {
public:
  explicit TGdiPaper(HDC dc) : dc_(dc) {
    font_ = CreateFontW(-(kPaperRowPitch - 3), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                        L"Courier New");
    previous_ = font_ != nullptr ? SelectObject(dc_, font_) : nullptr;
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, Colour(kInkColour));
    SetTextAlign(dc_, TA_TOP | TA_CENTER);
  }
  ~TGdiPaper() override {
    if (previous_ != nullptr)
      SelectObject(dc_, previous_);
    if (font_ != nullptr)
      DeleteObject(font_);
  }
  TGdiPaper(const TGdiPaper&) = delete;
  TGdiPaper& operator=(const TGdiPaper&) = delete;

  void Fill(int x, int y, int width, int height, bool dark) override {
    // The device context's own brush, set to the colour: no brush made per
    // rectangle (a QR symbol is thousands of them).
    SetDCBrushColor(dc_, Colour(dark ? kInkColour : kPaperColour));
    const RECT rect{x, y, x + width, y + height};
    FillRect(dc_, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }

  // Each character centred in its own cell, whatever the font's advance.
  void Text(int x, int top, std::u16string_view text) override {
    for (size_t i = 0; i < text.size(); ++i, x += kPaperCellWidth) {
      const int units = IsSurrogatePair(text, i) ? 2 : 1;
      if (text[i] != u' ')
        TextOutW(dc_, x + kPaperCellWidth / 2, top + 1, Wide(&text[i]), units);
      i += static_cast<size_t>(units - 1);
    }
  }

private:
  HDC dc_;
  HFONT font_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

} // namespace

bool TReceiptSim_3001::ShowPaperWindow() {
  const HWND existing = static_cast<HWND>(WindowHandle);
  if (existing != nullptr && IsWindow(existing)) {
    if (PaperLength_ == LineLength) {
      InvalidateRect(existing, nullptr, FALSE);
      return true;
    }
    DestroyPaperWindow(); // the paper changed its width
  }
  WindowHandle = nullptr;
  if (!PaperClass.Register(Colour(kPaperColour)))
    return false;
  RECT rect{0, 0, PaperWidth(LineLength), PaperHeight()};
  AdjustWindowRectEx(&rect, kPaperStyle, FALSE, kPaperExStyle);
  const HWND window = CreateWindowExW(kPaperExStyle, PaperClass.Name(), nullptr, kPaperStyle, kPaperWindowX,
                                      kPaperWindowY, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                      nullptr, PaperClass.Instance(), nullptr);
  if (window == nullptr)
    return false;
  WindowHandle = window;
  PaperLength_ = LineLength;
  SetWindowTextW(window, Wide(kReceiptWindowTitle));
  AttachEmulator(window, this);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  return true;
}

void TReceiptSim_3001::DestroyPaperWindow() {
  const HWND window = static_cast<HWND>(WindowHandle);
  if (window == nullptr)
    return;
  DetachEmulator(window);
  DestroyWindow(window);
  WindowHandle = nullptr;
}

void TReceiptSim_3001::PaintWindow(void* window) {
  const HWND handle = static_cast<HWND>(window);
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(handle, &paint);
  if (dc == nullptr)
    return;
  {
    TGdiPaper paper(dc);
    PaintPaper(paper, NewestLines(), PaperLength_);
  }
  EndPaint(handle, &paint);
}
