// A test emulator: the common methods of the core plus a small device table,
// in a revision 2001 and a revision 3001 class.
#pragma once

#include "DeviceSet.h"

class TTestSim_2001 : public TSetEmulator {
public:
  std::string ClassName() const override { return "TTestSim_2001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;

private:
  void Echo(tVariant& result, TParams& params);
  void Keep(tVariant& result, TParams& params);
};

class TTestSim_3001 : public TTestSim_2001 {
public:
  std::string ClassName() const override { return "TTestSim_3001"; }
};

// The device table: Echo (DeviceID, Value), Fail (), Keep (Value).
extern const TMethodTable TestSimMethods;
inline constexpr char16_t kTestSimName[] = u"Эмулятор \"Тест\" <A&B>";
inline constexpr char16_t kTestSimType[] = u"ТестовоеОборудование";
inline constexpr char kTestSimFault[] = "Сбой устройства";
