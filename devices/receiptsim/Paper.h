// The paper window's picture, the same on every platform: the newest lines of
// the tape at the bottom, text in cells of a monospaced font, linear barcodes
// as bars and stacked and 2D codes as their modules, with their value under
// them, where the paper is wide enough (else as their text line). It is drawn
// through the two operations of IPaperCanvas: the paper window's canvas
// (ReceiptSim.cpp) or a test's.
#pragma once

#include "Tape.h"

#include <cstdint>
#include <string_view>
#include <vector>

inline constexpr int kPaperCellWidth = 9;   // pixels
inline constexpr int kPaperRowPitch = 18;   // pixels
inline constexpr int kPaperRows = 26;       // rows of text the window shows
inline constexpr int kPaperMargin = 8;      // pixels around the text
inline constexpr int kPaperBarcodeRows = 3; // two rows of bars and the value
inline constexpr int kPaperWindowX = 330;
inline constexpr int kPaperWindowY = 50;
inline constexpr uint32_t kPaperColour = 0xFFFFFF; // 0xRRGGBB
inline constexpr uint32_t kInkColour = 0x000000;

// The inner size of the window for a line length.
int PaperWidth(int32_t lineLength);
int PaperHeight();

class IPaperCanvas {
public:
  virtual ~IPaperCanvas() = default;
  // A rectangle in ink (dark) or paper colour.
  virtual void Fill(int x, int y, int width, int height, bool dark) = 0;
  // Text in ink, its cells starting at x, its row's top at top.
  virtual void Text(int x, int top, std::u16string_view text) = 0;
};

// How many rows a line takes on the paper at a line length.
int PaperRowsOf(const TTapeLine& line, int32_t lineLength);

// Paints the paper, lines being the newest lines of the tape in order (the
// last at the bottom); only those that fit are drawn.
void PaintPaper(IPaperCanvas& canvas, const std::vector<TTapeLine>& lines, int32_t lineLength);
