// The emulator classes created directly: identity, revision and registry.
#include "ScaleSim.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<std::u16string> Names(const TMethodTable& table) {
  return {table.English.begin(), table.English.end()};
}

template <class T> void ExpectRegistry(int32_t revision, const TMethodTable& common) {
  T scale;
  scale.AfterConstruction();
  EXPECT_EQ(scale.InterfaceRevision, revision);
  EXPECT_EQ(scale.ComponentName, "ScaleSim_" + std::to_string(revision));
  EXPECT_EQ(scale.EquipmentName, u"Эмулятор электронных весов с печатью этикеток в режиме \"OFFLINE\"");
  EXPECT_EQ(scale.EquipmentType, u"ВесыСПечатьюЭтикеток");

  std::vector<std::u16string> expected = Names(common);
  expected.push_back(u"UploadGoods");
  expected.push_back(u"ClearGoods");
  EXPECT_EQ(scale.MethNames, expected);
  const size_t n = scale.MethNames.size();
  ASSERT_EQ(scale.MethodIds.size(), n);
  EXPECT_EQ(scale.MethNamesRu[n - 2], u"ВыгрузитьТовары");
  EXPECT_EQ(scale.MethNamesRu[n - 1], u"ОчиститьТовары");
  EXPECT_EQ(scale.MethParamCounts[n - 2], 3);
  EXPECT_EQ(scale.MethParamCounts[n - 1], 1);
  EXPECT_EQ(scale.MethodIds[n - 2], m_UploadGoods);
  EXPECT_EQ(scale.MethodIds[n - 1], m_ClearGoods);
}

TEST(ScaleSimObject, Revision2001) {
  ExpectRegistry<TScaleSim_2001>(2001, CommonMethods2001);
}

TEST(ScaleSimObject, Revision3001) {
  ExpectRegistry<TScaleSim_3001>(3001, CommonMethods3001);
}

} // namespace
