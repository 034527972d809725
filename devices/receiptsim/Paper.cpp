// The paper window's picture.
#include "Paper.h"

#include "Barcode.h"

#include <algorithm>

namespace {

// Pixels of one module of a barcode on paper of a line length; 0 when the
// bars do not fit.
int ModuleWidth(const std::vector<bool>& modules, int32_t lineLength) {
  if (modules.empty())
    return 0;
  const int room = kPaperCellWidth * lineLength;
  return std::min(3, room / static_cast<int>(modules.size()));
}

// The line's text cut to the line length (a QR value, say, may be longer).
std::u16string_view Shown(const std::u16string& text, int32_t lineLength) {
  return std::u16string_view(text).substr(0, static_cast<size_t>(std::max(lineLength, 0)));
}

} // namespace

int PaperWidth(int32_t lineLength) {
  return kPaperCellWidth * lineLength + 2 * kPaperMargin;
}

int PaperHeight() {
  return kPaperRowPitch * kPaperRows + 2 * kPaperMargin;
}

int PaperRowsOf(const TTapeLine& line, int32_t lineLength) {
  if (line.Kind != TTapeKind::Barcode)
    return 1;
  return ModuleWidth(BarcodeModules(line.Type, line.Text), lineLength) > 0 ? kPaperBarcodeRows : 1;
}

void PaintPaper(IPaperCanvas& canvas, const std::vector<TTapeLine>& lines, int32_t lineLength) {
  canvas.Fill(0, 0, PaperWidth(lineLength), PaperHeight(), false);
  int row = kPaperRows; // the row below the next line to draw
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    const TTapeLine& line = *it;
    const int rows = PaperRowsOf(line, lineLength);
    if (row - rows < 0)
      break;
    row -= rows;
    const int top = kPaperMargin + kPaperRowPitch * row;
    if (rows == 1) {
      const std::u16string text = TapeLineText(line);
      canvas.Text(kPaperMargin, top, Shown(text, lineLength));
      continue;
    }
    // Bars centred over two rows, the value centred under them.
    const std::vector<bool> modules = BarcodeModules(line.Type, line.Text);
    const int module = ModuleWidth(modules, lineLength);
    const int barsWidth = module * static_cast<int>(modules.size());
    int x = kPaperMargin + (kPaperCellWidth * lineLength - barsWidth) / 2;
    for (const bool dark : modules) {
      if (dark)
        canvas.Fill(x, top + 2, module, 2 * kPaperRowPitch - 2, true);
      x += module;
    }
    const std::u16string_view value = Shown(line.Text, lineLength);
    const int valueCells = static_cast<int>(value.size());
    canvas.Text(kPaperMargin + kPaperCellWidth * ((lineLength - valueCells) / 2), top + 2 * kPaperRowPitch,
                value);
  }
}
