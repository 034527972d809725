// The real PANELSIM library driven through the test host, as the platform
// drives it: load, create the component, Init, setMemManager, then calls.
#pragma once

#include "TestHost.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class PanelHost {
public:
  PanelHost() {
    std::string error;
    addIn_ = testhost::AddIn::Load(testhost::BesideExecutable(PANELSIM_FILE), error);
    if (!addIn_) {
      ADD_FAILURE() << error;
      return;
    }
    component_ = addIn_->Create(u"Orvik_PanelSim_3001", memory_);
    if (!component_) {
      ADD_FAILURE() << "GetClassObject made no component";
      return;
    }
    component_->Init(connection_);
    component_->SetMemManager();
  }
  ~PanelHost() { Destroy(); }
  PanelHost(const PanelHost&) = delete;
  PanelHost& operator=(const PanelHost&) = delete;

  bool Ready() const { return component_ != nullptr; }
  testhost::CountingMemory& Memory() { return memory_; }
  testhost::RecordingConnection& Connection() { return connection_; }
  const testhost::AddIn& AddIn() const { return *addIn_; }

  // Calls a method by name as a function; the boolean result, or -1 when the
  // result is not a boolean or the call failed towards the host.
  int Call(std::u16string_view method, testhost::ValueList& params) {
    if (!component_)
      return -1;
    const long index = component_->FindMethod(method);
    EXPECT_GE(index, 0) << testhost::Utf16ToUtf8(method);
    tVariant result = testhost::EmptyValue();
    const bool called = component_->CallAsFunc(index, result, params);
    const int outcome = called && testhost::TypeOf(result) == VTYPE_BOOL ? (result.bVal ? 1 : 0) : -1;
    testhost::ReleaseValue(memory_, result);
    return outcome;
  }

  std::u16string Open() {
    testhost::ValueList params(memory_);
    params.Add(testhost::EmptyValue());
    EXPECT_EQ(Call(u"Open", params), 1);
    return testhost::TextOf(params[0]);
  }

  int Output(std::u16string_view id, std::u16string_view text) {
    testhost::ValueList params(memory_);
    params.AddString(id);
    params.AddString(text);
    return Call(u"StringOutputOnPanelSim", params);
  }

  int Clear(std::u16string_view id) {
    testhost::ValueList params(memory_);
    params.AddString(id);
    return Call(u"ClearPanelSim", params);
  }

  int SetParameter(std::u16string_view name, const tVariant& value) {
    testhost::ValueList params(memory_);
    params.AddString(name);
    params.Add(value);
    return Call(u"SetParameter", params);
  }

  // DeviceTest: the description it returns (empty when the call failed).
  std::u16string DeviceTest() {
    testhost::ValueList params(memory_);
    params.Add(testhost::EmptyValue());
    params.Add(testhost::EmptyValue());
    EXPECT_EQ(Call(u"DeviceTest", params), 1);
    return testhost::TextOf(params[0]);
  }

  // Done and DestroyObject, as the host ends the object.
  void Destroy() { component_.reset(); }
  // The library goes as well (FreeLibrary / dlclose).
  void Unload() {
    component_.reset();
    addIn_.reset();
  }
  // A careless host: the library goes while the object was never destroyed.
  void UnloadUnderLiveObject() {
    static_cast<void>(component_.release()); // left as the careless host leaves it
    addIn_.reset();
  }

private:
  std::unique_ptr<testhost::AddIn> addIn_;
  testhost::CountingMemory memory_;
  testhost::RecordingConnection connection_;
  std::unique_ptr<testhost::Component> component_;
};
