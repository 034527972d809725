// The offline label-printing scale: a driver of the label-scale equipment type
// that accepts goods lists in packages, checks them field by field and reports
// the first fault in words. No goods are kept.
#pragma once

#include "DeviceSet.h"
#include "GoodsList.h"

#include <string>
#include <string_view>

class TScaleSim_2001 : public TSetEmulator {
public:
  std::string ClassName() const override { return "TScaleSim_2001"; }
  void AfterConstruction() override;
  void RegisterDeviceMethods() override;
  void ExecuteMethod(TMethodID methodId, tVariant& result, TParams& params) override;

  // UploadGoods (DeviceID, goods list XML, package status) -> Boolean.
  void UploadGoods(tVariant& result, TParams& params);
  // ClearGoods (DeviceID) -> Boolean.
  void ClearGoods(tVariant& result, TParams& params);
};

class TScaleSim_3001 : public TScaleSim_2001 {
public:
  std::string ClassName() const override { return "TScaleSim_3001"; }
};

inline constexpr char16_t kScaleSimClassName[] = u"Orvik_ScaleSim_3001";
inline constexpr char16_t kScaleSimEquipmentName[] =
    u"Эмулятор электронных весов с печатью этикеток в режиме \"OFFLINE\"";
inline constexpr char16_t kScaleSimEquipmentType[] = u"ВесыСПечатьюЭтикеток";
