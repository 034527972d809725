// The label-scale emulator object: its identity, its two device methods and
// their dispatch. Everything else is the emulator base's.
#include "ScaleSim.h"

void TScaleSim_2001::AfterConstruction() {
  TSetEmulator::AfterConstruction();
  EquipmentName = kScaleSimEquipmentName;
  EquipmentType = kScaleSimEquipmentType;
}

void TScaleSim_2001::RegisterDeviceMethods() {
  RegisterMethodTable(LabelScaleMethods);
}

void TScaleSim_2001::ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) {
  switch (methodId) {
  case m_UploadGoods:
    UploadGoods(result, params);
    break;
  case m_ClearGoods:
    ClearGoods(result, params);
    break;
  default:
    TSetEmulator::ExecuteMethod(methodId, result, params);
    break;
  }
}

void TScaleSim_2001::UploadGoods(tVariant& result, TParams& params) {
  if (!RequireDevice(result, params))
    return;
  // The goods list is read where the host keeps it: it may be many megabytes.
  LastErrorText = CheckGoodsUpload(params.TextView(1), params.Text(2));
  SetResult(result, LastErrorText.empty());
}

void TScaleSim_2001::ClearGoods(tVariant& result, TParams& params) {
  // The scale keeps no goods: a known device has nothing to clear.
  if (RequireDevice(result, params))
    SetResult(result, true);
}
