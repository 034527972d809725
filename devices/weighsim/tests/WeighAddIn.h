// A fixture that drives the real WEIGHSIM_3001 library through the test host,
// as the platform does: one component per test, a counting memory manager and
// a recording connection, both checked clean at the end. The operator's
// control file and variable are cleared around every test.
#pragma once

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

class WeighAddIn : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    std::string error;
    addIn = testhost::AddIn::Load(testhost::BesideExecutable(WEIGHSIM_FILE), error).release();
    ASSERT_NE(addIn, nullptr) << error;
  }
  static void TearDownTestSuite() {
    delete addIn;
    addIn = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(addIn, nullptr);
    folder = std::filesystem::path(testhost::Utf8ToUtf16(testhost::FreshDataFolder()));
    ASSERT_FALSE(folder.empty());
    ClearOperator();
    component = addIn->Create(u"Orvik_WeighSim_3001", memory);
    ASSERT_NE(component, nullptr);
    ASSERT_TRUE(component->Init(connection));
    ASSERT_TRUE(component->SetMemManager());
    std::optional<std::u16string> name;
    ASSERT_TRUE(component->RegisterExtensionAs(name));
  }

  void TearDown() override {
    component.reset();
    ClearOperator();
    EXPECT_TRUE(memory.Clean()) << memory.Summary();
    EXPECT_TRUE(connection.Errors().empty()) << Narrow(connection.Errors().front().description);
  }

  void ClearOperator() {
    std::error_code ignored;
    std::filesystem::remove(folder / "operator.txt", ignored);
    testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
  }
  void WriteControlFile(std::string_view bytes) {
    std::ofstream(folder / "operator.txt", std::ios::binary | std::ios::trunc) << bytes;
  }

  // Calls a method by name with params; its boolean result.
  bool CallBool(std::u16string_view name, ValueList& params) {
    const long index = component->FindMethod(name);
    EXPECT_GE(index, 0) << Narrow(name);
    tVariant result = testhost::EmptyValue();
    EXPECT_TRUE(component->CallAsFunc(index, result, params));
    EXPECT_EQ(TypeOf(result), VTYPE_BOOL) << Narrow(name);
    const bool b = TypeOf(result) == VTYPE_BOOL && result.bVal;
    testhost::ReleaseValue(memory, result);
    return b;
  }

  std::u16string Open() {
    ValueList params(memory);
    params.Add(testhost::EmptyValue());
    EXPECT_TRUE(CallBool(u"Open", params));
    return TextOf(params[0], &memory);
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

  static inline testhost::AddIn* addIn = nullptr;
  std::filesystem::path folder;
  testhost::CountingMemory memory;
  testhost::RecordingConnection connection;
  std::unique_ptr<testhost::Component> component;
};

} // namespace weightest
