// The display's windows: the display window at 50,50, kept above the others,
// whose running line moves on its own timer while the host does other work;
// and the modal device-test window of the dialog template 4423, which shows
// the same rows. Both paint the rows in cells of 12 by 30 pixels, green on
// the background, inside a one-pixel margin. Where nothing can be shown the
// rows are kept and recorded all the same.
#include "PanelSim.h"

#include "TextCodec.h"
#include "panelsim_dialogs.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr ui::TColour kTextColour = 0x00FF00;
// A bold monospaced font whose characters fill the cells.
constexpr ui::TFontSpec kCellFont{.Monospace = true,
                                  .Bold = true,
                                  .PixelSize = kPanelRowPitch - 6,
                                  .CellWidth = kPanelCellWidth,
                                  .CellHeight = kPanelRowPitch};

// The inner size of a window for columns by rows cells: a one-pixel margin
// inside a one-pixel border.
int InnerWidth(int32_t columns) {
  return kPanelCellWidth * columns + 4;
}
int InnerHeight(int32_t rows) {
  return kPanelRowPitch * rows + 4;
}

} // namespace

void TRowsPainter::Paint(ui::ICanvas& canvas) {
  // What the cells show, taken under the lock; the drawing goes without it.
  std::u16string cells[kPanelRowSlots];
  {
    const std::lock_guard lock(Panel_.StateLock);
    for (int i = 0; i < kPanelRowSlots; ++i) {
      const int32_t count = Panel_.Lines.CellCount(i, Panel_.Columns);
      for (int32_t j = 0; j < count; ++j) {
        const char16_t unit = Panel_.Lines.CellUnit(i, j);
        // A cell past the text stays blank, and so does half a character.
        cells[i] += unit == 0 || IsSurrogate(unit) ? u' ' : unit;
      }
    }
  }
  canvas.Fill(0, 0, canvas.Width(), canvas.Height(), BackgroundColour);
  // Cells past the window's right edge are not drawn.
  const size_t columns = static_cast<size_t>(std::max(0, (canvas.Width() - 1) / kPanelCellWidth + 1));
  for (int i = 0; i < kPanelRowSlots; ++i) {
    const int top = 1 + kPanelRowPitch * i;
    if (top >= canvas.Height())
      break;
    const std::u16string_view row = std::u16string_view(cells[i]).substr(0, columns);
    canvas.Cells(kCellFont, 1, top, kPanelCellWidth, kPanelRowPitch, row, kTextColour);
  }
}

bool TRowsPainter::Tick() {
  if (!Panel_.TickRows())
    return false;
  // A tick of the test window moves the display's rows too.
  if (IsTest_ && Panel_.Display_)
    Panel_.Display_->Repaint();
  return true;
}

bool TPanelSim_2001::TickRows() {
  const std::lock_guard lock(StateLock);
  return Lines.Tick(Columns);
}

bool TPanelSim_2001::ShowDisplayWindow() {
  if (Display_ && Display_->Repaint())
    return true;
  DestroyDisplayWindow(); // closed by the user, or never shown: the output makes a new one
  Display_ = ui::OpenWindow({.Title = kPanelWindowTitle,
                             .ClassName = "PanelSim",
                             .X = kPanelWindowX,
                             .Y = kPanelWindowY,
                             .Width = InnerWidth(Columns),
                             .Height = InnerHeight(Rows),
                             .Background = BackgroundColour,
                             .KeepAbove = true,
                             .Activate = true,
                             .TickMs = RunningLine ? kPanelTimerPeriodMs : 0,
                             .TimerId = kPanelTimerId,
                             .PrintName = EquipmentName},
                            DisplayPainter_);
  return Display_->Shown();
}

void TPanelSim_2001::DestroyDisplayWindow() {
  Display_.reset(); // its timer and its thread stop first
}

void TPanelSim_2001::RunTestWindow() {
  ui::RunPaintedDialog(dialogs::Dialog4423, "PanelSimTest", InnerWidth(Columns), InnerHeight(Rows),
                       TestPainter_, RunningLine ? kPanelTimerPeriodMs : 0, kPanelTimerId);
}
