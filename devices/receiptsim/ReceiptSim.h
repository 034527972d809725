// The receipt printer emulator: a printer of the equipment type
// "ПринтерЧеков". A text document that passes the strict check is laid out
// on the tape at the configured line length and appended, a cut mark after
// it, to the tape file in the data folder and to the paper window; the cash
// drawer's opening is recorded the same way.
#pragma once

#include "DeviceSet.h"
#include "Paper.h"
#include "StateLock.h"
#include "Tape.h"
#include "Window.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Fixed values of the printer.
inline constexpr int32_t kReceiptDefaultLineLength = 42;
inline constexpr size_t kReceiptTapeLimit = 2000; // lines the paper window keeps

inline constexpr char16_t kReceiptEquipmentName[] = u"Эмулятор принтера чеков";
inline constexpr char16_t kReceiptEquipmentType[] = u"ПринтерЧеков";
inline constexpr char16_t kReceiptWindowTitle[] = u"Принтер чеков";
inline constexpr char16_t kReceiptDrawerText[] = u"*** Денежный ящик открыт ***";

// The printer's own Settings document.
std::u16string ReceiptSettingsXml(std::u16string_view logFilePath);

class TReceiptSim_3001;

// Paints the newest lines of the tape into the paper window.
class TPaperPainter final : public ui::IPainter {
public:
  TPaperPainter(TReceiptSim_3001& printer, int32_t lineLength) : Printer_(printer), LineLength_(lineLength) {}
  void Paint(ui::ICanvas& canvas) override;
  int32_t LineLength() const { return LineLength_; }

private:
  TReceiptSim_3001& Printer_;
  const int32_t LineLength_; // the line length the window was made for
};

class TReceiptSim_3001 : public TSetEmulator {
public:
  TReceiptSim_3001() = default;
  ~TReceiptSim_3001() override; // destroys the paper window first

  std::string ClassName() const override { return "TReceiptSim_3001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;

  // The printer methods.
  void PrintTextDocument(tVariant& result, TParams& params);
  void OpenCashDrawer(tVariant& result, TParams& params);
  void GetLineLength(tVariant& result, TParams& params);

  // "<component>_tape.txt" in the data folder.
  std::u16string TapeFileName() const;
  // Appends lines to the tape: the kept lines and the tape file together,
  // then the paper window. When the file cannot take them nothing is printed
  // and the message says so, naming the file and the reason; empty on success.
  std::u16string Feed(const std::vector<TTapeLine>& lines);
  // The newest lines of the tape, as many as the paper window can show.
  std::vector<TTapeLine> NewestLines();

  // Guards Tape, which a paper window on a thread of its own (Linux) reads
  // while the host calls.
  TStateLock StateLock;
  std::deque<TTapeLine> Tape; // the last kReceiptTapeLimit lines, changed under StateLock

  // Settings.
  int32_t LineLength = kReceiptDefaultLineLength;
  bool ShowOnScreen = true;

private:
  // The paper window: made, or shown the new tape; false when nothing is shown.
  bool ShowPaperWindow();
  void DestroyPaperWindow();

  std::unique_ptr<TPaperPainter> PaperPainter_; // of the window below
  std::unique_ptr<ui::TDeviceWindow> Paper_;
};
