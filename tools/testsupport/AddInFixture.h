// The fixture of the tests that drive one object of a real library through the
// test host, as the platform does: the library loaded from beside the test
// program once and kept while the program runs, one object per test made
// ready as the platform makes it (Init, setMemManager, RegisterExtensionAs),
// a counting memory manager and a recording connection, both checked clean
// once the object is gone.
#pragma once

#include "TestHost.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace testenv {

class AddInFixture : public ::testing::Test {
protected:
  // file: the library's file name beside the test program.
  AddInFixture(std::string file, std::u16string className)
      : file_(std::move(file)), className_(std::move(className)) {}

  void SetUp() override {
    std::string error;
    addIn = Library(file_, error);
    ASSERT_NE(addIn, nullptr) << error;
    component = addIn->Create(className_, memory);
    ASSERT_NE(component, nullptr);
    ASSERT_TRUE(component->Init(connection));
    ASSERT_TRUE(component->SetMemManager());
    std::optional<std::u16string> name;
    ASSERT_TRUE(component->RegisterExtensionAs(name));
  }

  void TearDown() override {
    component.reset();
    EXPECT_TRUE(memory.Clean()) << memory.Summary();
    for (const auto& error : connection.Errors())
      ADD_FAILURE() << "error reported to the host: " << testhost::Utf16ToUtf8(error.description);
  }

  // Calls a method by name as a function; the result value (host text in it
  // is the caller's to release).
  tVariant Call(std::u16string_view method, testhost::ValueList& params) {
    const long index = component->FindMethod(method);
    EXPECT_GE(index, 0) << testhost::Utf16ToUtf8(method);
    tVariant result = testhost::EmptyValue();
    EXPECT_TRUE(component->CallAsFunc(index, result, params));
    return result;
  }
  // The same for a method whose result must be a boolean: that boolean.
  bool CallBool(std::u16string_view method, testhost::ValueList& params) {
    tVariant result = Call(method, params);
    EXPECT_EQ(testhost::TypeOf(result), VTYPE_BOOL) << testhost::Utf16ToUtf8(method);
    const bool b = testhost::TypeOf(result) == VTYPE_BOOL && result.bVal;
    testhost::ReleaseValue(memory, result);
    return b;
  }

  // Opens a device, which must succeed: its DeviceID.
  std::u16string Open() {
    testhost::ValueList params(memory);
    params.Add(testhost::EmptyValue());
    EXPECT_TRUE(CallBool(u"Open", params));
    return testhost::TextOf(params[0], &memory);
  }

  testhost::AddIn* addIn = nullptr;
  testhost::CountingMemory memory;
  testhost::RecordingConnection connection;
  std::unique_ptr<testhost::Component> component;

private:
  static testhost::AddIn* Library(const std::string& file, std::string& error) {
    // Never unloaded, and reachable to the end, as a host keeps its add-ins.
    static auto* const loaded = new std::map<std::string, testhost::AddIn*>;
    testhost::AddIn*& library = (*loaded)[file];
    if (library == nullptr)
      library = testhost::AddIn::Load(testhost::BesideExecutable(file), error).release();
    return library;
  }

  std::string file_;
  std::u16string className_;
};

} // namespace testenv
