// The paper window's picture.
#include "Paper.h"

#include "Barcode.h"
#include "TextCodec.h"

#include <algorithm>

namespace {

// Modules of blank paper around a QR symbol, as its readers expect.
constexpr int kQrQuietModules = 4;
// A QR module's pixels: at most this many, and at least two, or the symbol
// is shown as its text line.
constexpr int kQrMaxModule = 4;
constexpr int kQrMinModule = 2;

// How a line is drawn at a line length: as its text line (Module 0), or as
// the modules of a barcode, Module pixels each, its value under them, over
// Rows rows.
struct TLineLayout {
  int Rows = 1;
  int Module = 0;
  std::vector<bool> Bars; // a linear barcode
  TQrModules Qr;          // a QR symbol
};

// Pixels of one module of a linear barcode on paper of a line length; 0 when
// the bars do not fit.
int ModuleWidth(const std::vector<bool>& modules, int32_t lineLength) {
  if (modules.empty())
    return 0;
  const int room = kPaperCellWidth * lineLength;
  return std::min(3, room / static_cast<int>(modules.size()));
}

TLineLayout LayOut(const TTapeLine& line, int32_t lineLength) {
  TLineLayout layout;
  if (line.Kind != TTapeKind::Barcode)
    return layout;
  if (line.Type != TBarcodeType::QR) {
    layout.Bars = BarcodeModules(line.Type, line.Text);
    layout.Module = ModuleWidth(layout.Bars, lineLength);
    if (layout.Module > 0)
      layout.Rows = kPaperBarcodeRows;
    return layout;
  }
  // A square with its quiet zone as wide as the paper, and as high as the
  // window less the value's row.
  const int side = std::min(kPaperCellWidth * lineLength, kPaperRowPitch * (kPaperRows - 1));
  layout.Qr = QrModules(Utf16ToUtf8(line.Text), side / kQrMinModule - 2 * kQrQuietModules);
  if (layout.Qr.Size == 0)
    return layout;
  const int modules = layout.Qr.Size + 2 * kQrQuietModules;
  const int module = std::min(kQrMaxModule, side / modules);
  if (module < kQrMinModule)
    return layout;
  layout.Module = module;
  layout.Rows = (modules * module + kPaperRowPitch - 1) / kPaperRowPitch + 1;
  return layout;
}

// The line's text cut to the line length (a QR value, say, may be longer),
// and the cells it takes: a surrogate pair is one character in one cell, as
// the tape counts it, and is never split.
struct TShown {
  std::u16string_view Text;
  int Cells = 0;
};
TShown Shown(std::u16string_view text, int32_t lineLength) {
  size_t end = 0;
  int cells = 0;
  for (; end < text.size() && cells < lineLength; ++cells)
    end += IsSurrogatePair(text, end) ? 2 : 1;
  return {text.substr(0, end), cells};
}

// Bars centred over the rows above the value.
void PaintBars(IPaperCanvas& canvas, const TLineLayout& layout, int top, int32_t lineLength) {
  const int barsWidth = layout.Module * static_cast<int>(layout.Bars.size());
  int x = kPaperMargin + (kPaperCellWidth * lineLength - barsWidth) / 2;
  for (const bool dark : layout.Bars) {
    if (dark)
      canvas.Fill(x, top + 2, layout.Module, (layout.Rows - 1) * kPaperRowPitch - 2, true);
    x += layout.Module;
  }
}

// The symbol centred in its rows above the value, inside its quiet zone, each
// row's runs of dark modules as one rectangle.
void PaintQr(IPaperCanvas& canvas, const TLineLayout& layout, int top, int32_t lineLength) {
  const TQrModules& qr = layout.Qr;
  const int module = layout.Module;
  const int width = (qr.Size + 2 * kQrQuietModules) * module;
  const int left = kPaperMargin + (kPaperCellWidth * lineLength - width) / 2 + kQrQuietModules * module;
  const int y0 = top + ((layout.Rows - 1) * kPaperRowPitch - width) / 2 + kQrQuietModules * module;
  for (int y = 0; y < qr.Size; ++y)
    for (int x = 0; x < qr.Size;) {
      if (!qr.At(x, y)) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < qr.Size && qr.At(x, y))
        ++x;
      canvas.Fill(left + start * module, y0 + y * module, (x - start) * module, module, true);
    }
}

} // namespace

int PaperWidth(int32_t lineLength) {
  return kPaperCellWidth * lineLength + 2 * kPaperMargin;
}

int PaperHeight() {
  return kPaperRowPitch * kPaperRows + 2 * kPaperMargin;
}

int PaperRowsOf(const TTapeLine& line, int32_t lineLength) {
  return LayOut(line, lineLength).Rows;
}

void PaintPaper(IPaperCanvas& canvas, const std::vector<TTapeLine>& lines, int32_t lineLength) {
  canvas.Fill(0, 0, PaperWidth(lineLength), PaperHeight(), false);
  int row = kPaperRows; // the row below the next line to draw
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    const TTapeLine& line = *it;
    const TLineLayout layout = LayOut(line, lineLength);
    if (row - layout.Rows < 0)
      break;
    row -= layout.Rows;
    const int top = kPaperMargin + kPaperRowPitch * row;
    if (layout.Module == 0) {
      const std::u16string text = TapeLineText(line);
      canvas.Text(kPaperMargin, top, Shown(text, lineLength).Text);
      continue;
    }
    if (layout.Qr.Size > 0)
      PaintQr(canvas, layout, top, lineLength);
    else
      PaintBars(canvas, layout, top, lineLength);
    // The value centred under the code, cut to the line (a QR value may hold
    // line feeds, shown as blanks).
    std::u16string text = line.Text;
    std::replace_if(
        text.begin(), text.end(), [](char16_t c) { return c < u' '; }, u' ');
    const TShown value = Shown(text, lineLength);
    canvas.Text(kPaperMargin + kPaperCellWidth * ((lineLength - value.Cells) / 2),
                top + (layout.Rows - 1) * kPaperRowPitch, value.Text);
  }
}
