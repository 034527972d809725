// The fixture of the tests that make an emulator object in the test program
// and call it as the bridge calls it: its host memory the test's counting one,
// a DeviceID opened before each test.
#pragma once

#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace testenv {

template <class Emulator> class EmulatorFixture : public ::testing::Test {
protected:
  void SetUp() override {
    object.AfterConstruction();
    object.MemManager = static_cast<decltype(object.MemManager)>(memory.HostPointer());
    id = Call(u"Open", {}, 1) == 1 ? Text(0) : u"";
  }

  // Calls a method with the given values (then empty slots up to count);
  // gives the boolean result, -1 for any other. The values stay in params.
  int Call(std::u16string_view method, std::vector<tVariant> values, size_t count = 0) {
    params = std::make_unique<testhost::ValueList>(memory);
    values.resize(std::max(values.size(), count), testhost::EmptyValue());
    for (const tVariant& value : values)
      params->Add(value);
    tVariant result = testhost::EmptyValue();
    object.CallMethod(std::u16string(method), object.FindMethod(method), result, params->Data(),
                      params->Count());
    const int outcome = testhost::TypeOf(result) == VTYPE_BOOL ? result.bVal : -1;
    testhost::ReleaseValue(memory, result);
    return outcome;
  }
  tVariant Str(std::u16string_view text) { return testhost::StringValue(memory, text); }
  std::u16string Text(size_t k) { return testhost::TextOf((*params)[k]); }
  int32_t Int(size_t k) { return (*params)[k].lVal; }
  std::u16string LastError() {
    Call(u"GetLastError", {}, 1);
    return Text(0);
  }

  testhost::CountingMemory memory;
  Emulator object;
  std::unique_ptr<testhost::ValueList> params;
  std::u16string id;
};

} // namespace testenv
