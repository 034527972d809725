// What the input devices' tests through the test host share: a device object
// of a real library made ready as the platform makes it, files dropped into
// its spool as a writer should (a temporary name renamed when done), and the
// object's log read back.
#pragma once

#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace inputtest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline std::string Narrow(std::u16string_view text) {
  return testhost::Utf16ToUtf8(text);
}

inline testhost::AddIn& Library(const std::string& file) {
  static auto* const loaded = new std::map<std::string, testhost::AddIn*>;
  testhost::AddIn*& library = (*loaded)[file];
  if (library == nullptr) {
    std::string error;
    library = testhost::AddIn::Load(testhost::BesideExecutable(file), error).release();
    if (library == nullptr)
      ADD_FAILURE() << error;
  }
  return *library;
}

// One object with its own host memory and event queue.
class Device {
public:
  Device(const std::string& file, std::u16string_view className) {
    component_ = Library(file).Create(className, memory_);
    EXPECT_NE(component_, nullptr);
    EXPECT_TRUE(component_->Init(connection));
    EXPECT_TRUE(component_->SetMemManager());
  }
  ~Device() {
    component_.reset();
    EXPECT_TRUE(memory_.Clean()) << memory_.Summary();
  }

  bool Set(std::u16string_view name, const tVariant& value) {
    testhost::ValueList params(memory_);
    params.AddString(name);
    params.Add(value);
    return CallBool(u"SetParameter", params);
  }
  bool Set(std::u16string_view name, std::u16string_view text) {
    return Set(name, testhost::StringValue(memory_, text));
  }
  std::u16string Open() {
    testhost::ValueList params(memory_);
    params.Add(testhost::EmptyValue());
    EXPECT_TRUE(CallBool(u"Open", params));
    return testhost::TextOf(params[0], &memory_);
  }
  bool Close(std::u16string_view id) {
    testhost::ValueList params(memory_);
    params.AddString(id);
    return CallBool(u"Close", params);
  }
  std::u16string LastError() {
    testhost::ValueList params(memory_);
    params.Add(testhost::EmptyValue());
    tVariant result = testhost::EmptyValue();
    component_->CallAsFunc(component_->RequireMethod(u"GetLastError"), result, params);
    testhost::ReleaseValue(memory_, result);
    return testhost::TextOf(params[0], &memory_);
  }
  // Destroys the object now, as the host ends it.
  void Destroy() { component_.reset(); }

  testhost::RecordingConnection connection;

private:
  bool CallBool(std::u16string_view method, testhost::ValueList& params) {
    tVariant result = testhost::EmptyValue();
    EXPECT_TRUE(component_->CallAsFunc(component_->RequireMethod(method), result, params));
    const bool b = testhost::TypeOf(result) == VTYPE_BOOL && result.bVal;
    testhost::ReleaseValue(memory_, result);
    return b;
  }

  testhost::CountingMemory memory_;
  std::unique_ptr<testhost::Component> component_;
};

// Writes a file of the spool under a temporary name, then renames it.
inline void Drop(const fs::path& folder, const std::string& name, const std::string& bytes) {
  fs::create_directories(folder);
  const fs::path temporary = folder / (name + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary);
    out << bytes;
  }
  fs::rename(temporary, folder / name);
}

// The path of a component's log, and its text from byte from on (on Windows
// every test program of a prefix shares the log: a test reads its own part).
inline fs::path LogPath(const std::string& component) {
  return fs::path(testenv::LogFilePath(testhost::Utf8ToUtf16(component + "_emulator.log")));
}
inline std::u16string LogText(const std::string& component, uintmax_t from) {
  return testenv::DecodeLog(testenv::ReadFileBytes(LogPath(component), from));
}

// A test of one component ("ScanSim_3001"): a data folder of its own (on
// Windows the profile's, which every test shares) with an empty spool.
class InputTest : public ::testing::Test {
protected:
  explicit InputTest(std::string component) : component(std::move(component)) {}
  void SetUp() override {
    data = fs::path(testhost::Utf8ToUtf16(testhost::FreshDataFolder()));
    ASSERT_FALSE(data.empty());
    spool = data / (component + "_input");
    std::error_code ignored;
    fs::remove_all(spool, ignored);
    fs::remove(data / (component + "_events.txt"), ignored);
    fs::remove(data / "operator.txt", ignored);
    testhost::SetEnvironment("ORVIK_OPERATOR", nullptr);
    logStart = testenv::FileSize(LogPath(component));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(spool, ignored);
  }
  // The files left in the spool.
  size_t SpoolFiles() const {
    std::error_code error;
    size_t n = 0;
    for (fs::directory_iterator it(spool, error), end; !error && it != end; it.increment(error))
      ++n;
    return n;
  }
  // The record of the events taken, once it holds expected (it is written
  // just after the host takes an event) or the time is up.
  std::string Record(const std::string& expected) const {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    std::string text;
    while ((text = testenv::ReadFileBytes(data / (component + "_events.txt"))) != expected &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(20ms);
    return text;
  }

  std::string component;
  uintmax_t logStart = 0; // the log's size when the test began
  fs::path data;
  fs::path spool;
};

} // namespace inputtest
