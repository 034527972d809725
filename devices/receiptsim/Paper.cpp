// The paper window's picture.
#include "Paper.h"

#include "Barcode.h"
#include "TextCodec.h"

#include <algorithm>
#include <initializer_list>

namespace {

// Modules of blank paper around a stacked or 2D symbol, as QR readers expect
// (the others need less).
constexpr int kQuietModules = 4;
// A stacked or 2D symbol's module: at most this many pixels, and at least
// two, or the symbol is shown as its text line.
constexpr int kMatrixMaxModule = 4;
constexpr int kMatrixMinModule = 2;
// A linear code's module: at most this many pixels; and the blank modules
// on either side that scanners need to find the code's ends.
constexpr int kLinearMaxModule = 3;
constexpr int kLinearQuietModules = 10;

// How a line is drawn at a line length: as its text line (Module 0), or as
// the modules of a barcode, Module pixels each, its value under them, over
// Rows rows.
struct TLineLayout {
  int Rows = 1;
  int Module = 0;
  TBarcodeSymbol Symbol;
};

TLineLayout LayOut(const TTapeLine& line, int32_t lineLength) {
  TLineLayout layout;
  if (line.Kind != TTapeKind::Barcode)
    return layout;
  // The room: as wide as the paper, and as high as the window less the
  // value's row; a symbol that needs more at the smallest module is not
  // drawn (nor read back from zint).
  const int width = kPaperCellWidth * lineLength;
  const int height = kPaperRowPitch * (kPaperRows - 1);
  layout.Symbol = EncodeBarcode(line.Type, line.Text, std::max(width, height));
  const TBarcodeSymbol& symbol = layout.Symbol;
  if (symbol.Empty())
    return layout;
  if (symbol.Linear) {
    const int module = std::min(kLinearMaxModule, width / (symbol.Width + 2 * kLinearQuietModules));
    if (module > 0) {
      layout.Module = module;
      layout.Rows = kPaperBarcodeRows;
    }
    return layout;
  }
  // Centred with its quiet zone in the room.
  const int columns = symbol.Width + 2 * kQuietModules;
  const int rows = symbol.Height + 2 * kQuietModules;
  const int module = std::min({kMatrixMaxModule, width / columns, height / rows});
  if (module < kMatrixMinModule)
    return layout;
  layout.Module = module;
  layout.Rows = (rows * module + kPaperRowPitch - 1) / kPaperRowPitch + 1;
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
  const TBarcodeSymbol& symbol = layout.Symbol;
  int x = kPaperMargin + (kPaperCellWidth * lineLength - layout.Module * symbol.Width) / 2;
  for (int i = 0; i < symbol.Width; ++i, x += layout.Module)
    if (symbol.At(i, 0))
      canvas.Fill(x, top + 2, layout.Module, (layout.Rows - 1) * kPaperRowPitch - 2, true);
}

// The symbol centred in its rows above the value, inside its quiet zone, each
// row's runs of dark modules as one rectangle.
void PaintMatrix(IPaperCanvas& canvas, const TLineLayout& layout, int top, int32_t lineLength) {
  const TBarcodeSymbol& symbol = layout.Symbol;
  const int module = layout.Module;
  const int width = (symbol.Width + 2 * kQuietModules) * module;
  const int height = (symbol.Height + 2 * kQuietModules) * module;
  const int left = kPaperMargin + (kPaperCellWidth * lineLength - width) / 2 + kQuietModules * module;
  const int y0 = top + ((layout.Rows - 1) * kPaperRowPitch - height) / 2 + kQuietModules * module;
  for (int y = 0; y < symbol.Height; ++y)
    for (int x = 0; x < symbol.Width;) {
      if (!symbol.At(x, y)) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < symbol.Width && symbol.At(x, y))
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
    if (layout.Symbol.Linear)
      PaintBars(canvas, layout, top, lineLength);
    else
      PaintMatrix(canvas, layout, top, lineLength);
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
