// The barcode scanner emulator: a scan is the event "Штрихкод" (or "Barcode")
// from the DeviceID with the bare code; a code that holds the group separator
// GS goes as the Base64 event of its UTF-8, or plain, as set.
#pragma once

#include "InputDevice.h"

inline constexpr char16_t kScanEquipmentName[] = u"Эмулятор сканера штрихкода";
inline constexpr char16_t kScanEquipmentType[] = u"СканерШтрихкода";
inline constexpr char16_t kGroupSeparator = u'\u001D';
// The input window: below the customer display (50, 50), left of the receipt
// printer's and the fiscal register's paper (330, 50 and 760, 50).
inline constexpr int kScanWindowX = 50;
inline constexpr int kScanWindowY = 170;

struct TScanSettings {
  bool EnglishName = false; // "Barcode" instead of "Штрихкод"
  bool GsAsBase64 = true;   // a code with GS as "ШтрихкодBase64"/"BarcodeBase64"
  char32_t GsSymbol = 0;    // the character that stands for GS in input; 0: none
};

// The event of one input line: blanks around it trimmed, the GS stand-in
// replaced; the reason when nothing is left.
std::u16string ScanEvent(std::u16string_view line, const TScanSettings& settings, TInputEvent& event);

class TScanSim_3001 : public TInputDevice {
public:
  ~TScanSim_3001() override { StopAll(); }

  std::string ClassName() const override { return "TScanSim_3001"; }
  void AfterConstruction() override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;

  std::u16string MakeEvents(std::u16string_view line, std::vector<TInputEvent>& events) const override;
  std::u16string JoinFields(std::span<const std::u16string> fields) const override;
  TInputWindowLayout WindowLayout() const override;

  TScanSettings CurrentSettings() const;

private:
  TScanSettings settings_; // under SettingsLock
};
