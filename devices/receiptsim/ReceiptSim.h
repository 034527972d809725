// The receipt printer emulator: a printer of the equipment type
// "ПринтерЧеков". A text document that passes the strict check is laid out
// on the tape at the configured line length and appended, a cut mark after
// it, to the tape file in the data folder and to the paper window; the cash
// drawer's opening is recorded the same way.
#pragma once

#include "DeviceSet.h"
#include "PaperTape.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Fixed values of the printer.
inline constexpr int32_t kReceiptDefaultLineLength = 42;
inline constexpr size_t kReceiptTapeLimit = kPaperTapeLimit; // lines the paper window keeps

inline constexpr char16_t kReceiptEquipmentName[] = u"Эмулятор принтера чеков";
inline constexpr char16_t kReceiptEquipmentType[] = u"ПринтерЧеков";
inline constexpr char16_t kReceiptWindowTitle[] = u"Принтер чеков";
inline constexpr char16_t kReceiptDrawerText[] = u"*** Денежный ящик открыт ***";

// The printer's own Settings document.
std::u16string ReceiptSettingsXml(std::u16string_view logFilePath);

class TReceiptSim_3001 : public TSetEmulator {
public:
  TReceiptSim_3001() = default;

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

  // The tape, its file and its paper window at 330,50; Tape is its kept
  // lines (the last kReceiptTapeLimit), changed under Paper.StateLock.
  TPaperTape Paper{{.Title = kReceiptWindowTitle, .ClassName = "ReceiptSim"}};
  std::deque<TTapeLine>& Tape = Paper.Lines;

  // Settings.
  int32_t LineLength = kReceiptDefaultLineLength;
  bool ShowOnScreen = true;
};
