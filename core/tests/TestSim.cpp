#include "TestSim.h"

namespace {
constexpr const char16_t* kEnglish[] = {u"Echo", u"Fail", u"Keep"};
constexpr const char16_t* kRussian[] = {u"Эхо", u"Сбой", u"Оставить"};
constexpr int32_t kCounts[] = {2, 0, 1};
constexpr int32_t kIds[] = {m_Calibrate, m_GetWeight, m_ClearTable};
} // namespace

const TMethodTable TestSimMethods{kEnglish, kRussian, kCounts, kIds};

void TTestSim_2001::AfterConstruction() {
  TSetEmulator::AfterConstruction();
  EquipmentName = kTestSimName;
  EquipmentType = kTestSimType;
}

void TTestSim_2001::RegisterDeviceMethods() {
  RegisterMethodTable(TestSimMethods);
}

void TTestSim_2001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_Calibrate:
    Echo(result, params);
    break;
  case m_GetWeight:
    throw EV8Error(kTestSimFault);
  case m_ClearTable:
    Keep(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
  }
}

// Echo (DeviceID, Value): Value becomes "echo:" + Value.
void TTestSim_2001::Echo(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  params.SetText(1, u"echo:" + params.Text(1));
  SetResult(result, true);
}

// Keep (Value): writes the same text back, a fresh copy.
void TTestSim_2001::Keep(tVariant& result, TParams& params) {
  params.SetText(0, params.Text(0));
  SetResult(result, true);
}
