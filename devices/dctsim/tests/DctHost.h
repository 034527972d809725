// What the terminal's tests through the test host share: an object of the
// real library with its methods, and a data folder with no terminal state,
// control file or record left by an earlier test.
#pragma once

#include "InputHost.h"

#include <optional>

namespace dcttest {

using namespace inputtest;

class Terminal {
public:
  Terminal() {
    component_ = Library(DCTSIM_FILE).Create(u"Orvik_DctSim_3001", memory_);
    EXPECT_NE(component_, nullptr);
    EXPECT_TRUE(component_->Init(connection));
    EXPECT_TRUE(component_->SetMemManager());
  }
  ~Terminal() {
    component_.reset();
    EXPECT_TRUE(memory_.Clean()) << memory_.Summary();
  }

  bool Show(bool show) {
    testhost::ValueList params(memory_);
    params.AddString(u"Show");
    params.Add(testhost::BoolValue(show));
    return Call(u"SetParameter", params);
  }
  std::u16string Open() {
    testhost::ValueList params(memory_);
    params.Add(testhost::EmptyValue());
    EXPECT_TRUE(Call(u"Open", params));
    return testhost::TextOf(params[0], &memory_);
  }
  bool Close(std::u16string_view id) { return Call(u"Close", {id}); }
  bool Upload(std::u16string_view id, std::u16string_view xml, std::u16string_view status) {
    return Call(u"ВыгрузитьТаблицу", {id, xml, status});
  }
  // The collected table, or nullopt when DownloadTable answers false.
  std::optional<std::u16string> Download(std::u16string_view id) {
    testhost::ValueList params(memory_);
    params.AddString(id);
    params.Add(testhost::EmptyValue());
    if (!Call(u"DownloadTable", params))
      return std::nullopt;
    return testhost::TextOf(params[1], &memory_);
  }
  bool Clear(std::u16string_view id) { return Call(u"ClearTable", {id}); }
  std::u16string LastError() {
    testhost::ValueList params(memory_);
    params.Add(testhost::EmptyValue());
    tVariant result = testhost::EmptyValue();
    component_->CallAsFunc(component_->RequireMethod(u"GetLastError"), result, params);
    testhost::ReleaseValue(memory_, result);
    return testhost::TextOf(params[0], &memory_);
  }

  testhost::RecordingConnection connection;

private:
  bool Call(std::u16string_view method, std::initializer_list<std::u16string_view> texts) {
    testhost::ValueList params(memory_);
    for (const std::u16string_view text : texts)
      params.AddString(text);
    return Call(method, params);
  }
  bool Call(std::u16string_view method, testhost::ValueList& params) {
    tVariant result = testhost::EmptyValue();
    EXPECT_TRUE(component_->CallAsFunc(component_->RequireMethod(method), result, params));
    const bool b = testhost::TypeOf(result) == VTYPE_BOOL && result.bVal;
    testhost::ReleaseValue(memory_, result);
    return b;
  }

  testhost::CountingMemory memory_;
  std::unique_ptr<testhost::Component> component_;
};

class TerminalTest : public InputTest {
protected:
  TerminalTest() : InputTest("DctSim_3001") {}
  void SetUp() override {
    InputTest::SetUp();
    RemoveFiles();
  }
  // The data folder is shared under Wine: nothing of a test stays for the next.
  void TearDown() override {
    RemoveFiles();
    InputTest::TearDown();
  }
  void RemoveFiles() const {
    std::error_code ignored;
    for (const char* name : {"DctSim_3001_terminal.xml", "DctSim_3001_collected.txt", "operator.txt"})
      fs::remove(data / name, ignored);
  }
  void WriteControl(const std::string& utf8) const {
    std::ofstream(data / "operator.txt", std::ios::binary) << utf8;
  }
  std::string Collected() const { return testenv::ReadFileBytes(data / "DctSim_3001_collected.txt"); }
};

inline bool Has(const std::u16string& text, std::u16string_view part) {
  return text.find(part) != std::u16string::npos;
}

} // namespace dcttest
