// The receipt printer emulator object: settings, the three printer methods
// and its Settings document.
#include "ReceiptSim.h"

#include "TextCodec.h"

#include <algorithm>
#include <mutex>

// ---------------------------------------------------------------------------
// Settings document

std::u16string ReceiptSettingsXml(std::u16string_view logFilePath) {
  static constexpr TSettingParameter kParameters[] = {
      {u"LineLength", u"Ширина строки, символов", u"Number", u"42"},
      {u"Show", u"Показывать на экране", u"Boolean", u"true"},
  };
  return DeviceSettingsXml(kParameters, logFilePath);
}

// ---------------------------------------------------------------------------
// The emulator object

TReceiptSim_3001::~TReceiptSim_3001() {
  try {
    DestroyPaperWindow();
  } catch (...) { // a destructor never throws to the host
  }
}

void TReceiptSim_3001::AfterConstruction() {
  EquipmentName = kReceiptEquipmentName;
  EquipmentType = kReceiptEquipmentType;
  TSetEmulator::AfterConstruction();
}

void TReceiptSim_3001::RegisterDeviceMethods() {
  RegisterMethodTable(ReceiptPrinterMethods);
}

void TReceiptSim_3001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_cp_PrintTextDocument:
    PrintTextDocument(result, params);
    break;
  case m_cp_OpenCashDrawer:
    OpenCashDrawer(result, params);
    break;
  case m_cp_GetLineLength:
    GetLineLength(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

void TReceiptSim_3001::PrintTextDocument(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  std::vector<TPrintItem> items;
  // The document is read where the host keeps it; nothing is printed unless
  // all of it is accepted.
  const std::u16string fault = ReadTextDocument(params.TextView(1), items);
  if (!fault.empty())
    return Fail(result, fault);
  if (const std::u16string failure = Feed(LayOutDocument(items, LineLength)); !failure.empty())
    return Fail(result, failure);
  SetResult(result, true);
}

void TReceiptSim_3001::OpenCashDrawer(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  const std::u16string failure =
      Feed({TTapeLine{TTapeKind::Drawer, TBarcodeType::EAN13, kReceiptDrawerText}});
  if (!failure.empty())
    return Fail(result, failure);
  SetResult(result, true);
}

void TReceiptSim_3001::GetLineLength(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  params.SetInt(1, LineLength);
  SetResult(result, true);
}

void TReceiptSim_3001::GetParameters(tVariant& result, TParams& params) {
  params.SetText(0, ReceiptSettingsXml(LogFilePath));
  SetResult(result, true);
}

void TReceiptSim_3001::SetParameter(tVariant& result, TParams& params) {
  const std::u16string name = LowerAscii(params.Text(0));
  if (name == u"linelength")
    LineLength = std::clamp(params.Int(1), kReceiptMinLineLength, kReceiptMaxLineLength);
  else if (name == u"show")
    ShowOnScreen = params.Bool(1);
  SetResult(result, true);
}

std::u16string TReceiptSim_3001::TapeFileName() const {
  return Utf8ToUtf16(ComponentName) + u"_tape.txt";
}

std::u16string TReceiptSim_3001::Feed(const std::vector<TTapeLine>& lines) {
  // The file is what the printer promised: lines it did not take were not
  // printed, so neither the kept tape nor the window keeps them. The lines go
  // on the kept tape first, then into the file, and are taken back when either
  // fails (a refused allocation, a full disk): the call then fails with the
  // file and the tape as they were. The oldest lines come off only after both.
  {
    const std::lock_guard lock(StateLock);
    const size_t kept = Tape.size();
    const auto takeBack = [&] {
      while (Tape.size() > kept)
        Tape.pop_back();
    };
    TDataFileResult written;
    try {
      for (const TTapeLine& line : lines)
        Tape.push_back(line);
      written = AppendDataFile(TapeFileName(), TapeFileText(lines));
    } catch (...) {
      takeBack();
      throw;
    }
    if (!written) {
      takeBack();
      return written.FailureText(u"ленту");
    }
    while (Tape.size() > kReceiptTapeLimit)
      Tape.pop_front();
  }
  if (ShowOnScreen)
    ShowPaperWindow(); // an open window stays as it is when the tape is hidden
  return {};
}

std::vector<TTapeLine> TReceiptSim_3001::NewestLines() {
  const std::lock_guard lock(StateLock);
  const size_t count = std::min(Tape.size(), static_cast<size_t>(kPaperRows));
  return std::vector<TTapeLine>(Tape.end() - static_cast<std::ptrdiff_t>(count), Tape.end());
}

// ---------------------------------------------------------------------------
// The paper window: kept above the others at 330,50, its paper as wide as the
// line length it was made for.

namespace {

// The paper's canvas on a window's: a monospaced font in cells of the tape.
class TWindowPaper final : public IPaperCanvas {
public:
  explicit TWindowPaper(ui::ICanvas& canvas) : Canvas_(canvas) {}
  void Fill(int x, int y, int width, int height, bool dark) override {
    Canvas_.Fill(x, y, width, height, dark ? kInkColour : kPaperColour);
  }
  void Text(int x, int top, std::u16string_view text) override {
    static constexpr ui::TFontSpec kFont{
        .Monospace = true, .PixelSize = kPaperRowPitch - 3, .CellWidth = kPaperCellWidth};
    Canvas_.Cells(kFont, x, top, kPaperCellWidth, kPaperRowPitch, text, kInkColour);
  }

private:
  ui::ICanvas& Canvas_;
};

} // namespace

void TPaperPainter::Paint(ui::ICanvas& canvas) {
  TWindowPaper paper(canvas);
  PaintPaper(paper, Printer_.NewestLines(), LineLength_);
}

bool TReceiptSim_3001::ShowPaperWindow() {
  if (Paper_ && PaperPainter_->LineLength() == LineLength && Paper_->Repaint())
    return true;
  DestroyPaperWindow(); // closed by the user, never shown, or the paper changed its width
  PaperPainter_ = std::make_unique<TPaperPainter>(*this, LineLength);
  Paper_ = ui::OpenWindow({.Title = kReceiptWindowTitle,
                           .ClassName = "ReceiptSim",
                           .X = kPaperWindowX,
                           .Y = kPaperWindowY,
                           .Width = PaperWidth(LineLength),
                           .Height = PaperHeight(),
                           .Background = kPaperColour,
                           .KeepAbove = true,
                           .PrintName = EquipmentName},
                          *PaperPainter_);
  return Paper_->Shown();
}

void TReceiptSim_3001::DestroyPaperWindow() {
  Paper_.reset(); // no paint runs afterwards
  PaperPainter_.reset();
}
