// A fixture that drives the real WEIGHSIM_3001 library through the test host,
// as the platform does (AddInFixture.h). The operator's control file and
// variable are cleared around every test.
#pragma once

#include "AddInFixture.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace weightest {

using testhost::TextOf;
using testhost::TypeOf;
using testhost::ValueList;

inline std::string Narrow(std::u16string_view text) {
  return testhost::Utf16ToUtf8(text);
}

class WeighAddIn : public testenv::AddInFixture {
protected:
  WeighAddIn() : AddInFixture(WEIGHSIM_FILE, u"Orvik_WeighSim_3001") {}

  void SetUp() override {
    folder = std::filesystem::path(testhost::Utf8ToUtf16(testhost::FreshDataFolder()));
    ASSERT_FALSE(folder.empty());
    ClearOperator();
    AddInFixture::SetUp();
  }

  void TearDown() override {
    AddInFixture::TearDown();
    ClearOperator();
  }

  void ClearOperator() {
    std::error_code ignored;
    std::filesystem::remove(folder / "operator.txt", ignored);
    testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
  }
  void WriteControlFile(std::string_view bytes) {
    std::ofstream(folder / "operator.txt", std::ios::binary | std::ios::trunc) << bytes;
  }

  bool Tare(const std::u16string& id, const tVariant& tare) {
    ValueList params(memory);
    params.AddString(id);
    params.Add(tare);
    return CallBool(u"Calibrate", params);
  }

  // GetWeight: the net weight, or nullopt when the call failed (the output
  // must then be untouched).
  std::optional<double> Weigh(const std::u16string& id) {
    ValueList params(memory);
    params.AddString(id);
    params.Add(testhost::IntValue(-7));
    if (!CallBool(u"ПолучитьВес", params)) {
      EXPECT_EQ(TypeOf(params[1]), VTYPE_I4);
      return std::nullopt;
    }
    EXPECT_EQ(TypeOf(params[1]), VTYPE_R8);
    return params[1].dblVal;
  }

  std::u16string LastError() {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    tVariant result = testhost::EmptyValue();
    EXPECT_TRUE(component->CallAsFunc(component->FindMethod(u"GetLastError"), result, params));
    testhost::ReleaseValue(memory, result);
    return TextOf(params[0], &memory);
  }

  std::filesystem::path folder;
};

} // namespace weightest
