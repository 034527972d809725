// The magnetic card reader emulator: a card read is the event "ДанныеКарты"
// (or "TracksData") from the DeviceID, its data the used tracks in order, the
// whole framed by the prefix character and each track ended by the suffix
// character that the application sets, so that it can cut the tracks apart.
#pragma once

#include "InputDevice.h"

#include <array>

inline constexpr char16_t kMsrEquipmentName[] = u"Эмулятор считывателя магнитных карт";
inline constexpr char16_t kMsrEquipmentType[] = u"СчитывательМагнитныхКарт";
inline constexpr int kMsrTracks = 3;
// The input window: below the customer display (50, 50), left of the receipt
// printer's and the fiscal register's paper (330, 50 and 760, 50).
inline constexpr int kMsrWindowX = 50;
inline constexpr int kMsrWindowY = 430;

struct TMsrSettings {
  bool EnglishName = false; // "TracksData" instead of "ДанныеКарты"
  char32_t Prefix = 0;      // 0: none
  char32_t Suffix = 13;     // 0: none
};

// The event of one card: line is "track1<TAB>track2<TAB>track3", positional
// (an empty field is an unused track, blanks around a track are dropped);
// the reason when it has more than three fields or no track at all.
std::u16string CardEvent(std::u16string_view line, const TMsrSettings& settings, TInputEvent& event);

class TMsrSim_3001 : public TInputDevice {
public:
  ~TMsrSim_3001() override { StopAll(); }

  std::string ClassName() const override { return "TMsrSim_3001"; }
  void AfterConstruction() override;
  void GetParameters(tVariant& result, TParams& params) override;
  void SetParameter(tVariant& result, TParams& params) override;

  std::u16string MakeEvents(std::u16string_view line, std::vector<TInputEvent>& events) const override;
  std::u16string JoinFields(std::span<const std::u16string> fields) const override;
  TInputWindowLayout WindowLayout() const override;

  TMsrSettings CurrentSettings() const;

private:
  TMsrSettings settings_; // under SettingsLock
};
