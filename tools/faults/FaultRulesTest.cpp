// Every method of every device library that answers True or False can be made
// to fail by a line "fail.<Method>=<message>" of the control file: the call
// answers False with the message as the last error, hands nothing out and
// changes nothing in the data folder; without the line the device works on as
// if the refused calls had never been made.
#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace testhost;

struct Device {
  std::string name;
  std::string file;
};

void PrintTo(const Device& device, std::ostream* out) {
  *out << device.name;
}

// Every device library of the build, from ORVIK_DEVICE_FILES.
std::vector<Device> Devices() {
  std::vector<Device> devices;
  std::string_view rest = ORVIK_DEVICE_FILES;
  while (!rest.empty()) {
    const std::string_view item = rest.substr(0, rest.find('|'));
    rest.remove_prefix(std::min(rest.size(), item.size() + 1));
    const size_t equals = item.find('=');
    devices.push_back({std::string(item.substr(0, equals)), std::string(item.substr(equals + 1))});
  }
  return devices;
}

fs::path DataFolder() {
  return fs::path(testenv::LogFilePath(u"operator.txt")).parent_path();
}

// The data folder's files but the call logs and the control file: what a
// device writes when it works (records, tapes, journals).
std::map<fs::path, std::string> DeviceFiles() {
  std::map<fs::path, std::string> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(DataFolder(), error)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != "operator.txt" && !name.ends_with("_emulator.log"))
      files[entry.path()] = testenv::ReadFileBytes(entry.path());
  }
  return files;
}

// The method's name as a test would write it: another letter case.
std::string KeyOf(const std::u16string& name, bool upper) {
  std::string key = Utf16ToUtf8(name);
  for (char& c : key)
    if (c >= 'a' && c <= 'z' && upper)
      c = static_cast<char>(c - 'a' + 'A');
    else if (c >= 'A' && c <= 'Z' && !upper)
      c = static_cast<char>(c - 'A' + 'a');
  return key;
}

class FaultRules : public ::testing::TestWithParam<Device> {
protected:
  void TearDown() override { fs::remove(DataFolder() / "operator.txt"); }

  std::u16string LastError(Component& component) {
    ValueList params(memory);
    params.Add(EmptyValue());
    tVariant result = EmptyValue();
    EXPECT_TRUE(component.CallAsFunc(component.RequireMethod(u"GetLastError"), result, params));
    ReleaseValue(memory, result);
    return TextOf(params[0]);
  }

  std::u16string Open(Component& component) {
    ValueList params(memory);
    params.Add(EmptyValue());
    tVariant result = EmptyValue();
    EXPECT_TRUE(component.CallAsFunc(component.RequireMethod(u"Open"), result, params));
    EXPECT_TRUE(TypeOf(result) == VTYPE_BOOL && result.bVal) << Utf16ToUtf8(LastError(component));
    return TextOf(params[0]);
  }

  CountingMemory memory;
  RecordingConnection connection;
};

TEST_P(FaultRules, RefuseEveryMethodAndChangeNothing) {
  const Device& device = GetParam();
  fs::remove(DataFolder() / "operator.txt");
  std::string error;
  auto addIn = AddIn::Load(BesideExecutable(device.file.c_str()), error);
  ASSERT_TRUE(addIn) << error;
  const std::vector<std::u16string> classes = addIn->ClassList();
  ASSERT_FALSE(classes.empty());
  {
    auto component = addIn->Create(classes.front(), memory);
    ASSERT_TRUE(component);
    ASSERT_TRUE(component->Init(connection));
    ASSERT_TRUE(component->SetMemManager());
    const std::u16string id = Open(*component);
    const std::map<fs::path, std::string> before = DeviceFiles();

    const long count = component->GetNMethods();
    int refused = 0;
    for (long i = 0; i < count; ++i) {
      const std::u16string english = component->GetMethodName(i, 0).value_or(u"");
      const std::u16string russian = component->GetMethodName(i, 1).value_or(u"");
      if (english == u"GetVersion" || english == u"GetInterfaceRevision" || english == u"GetLastError")
        continue; // they answer no True or False
      SCOPED_TRACE(Utf16ToUtf8(english));
      // Every other method by its Russian name; the key in another letter case.
      const std::u16string& name = i % 2 == 0 ? english : russian;
      const std::string message = "Сбой номер " + std::to_string(i);
      std::ofstream(DataFolder() / "operator.txt", std::ios::binary)
          << "fail." << KeyOf(name, i % 4 < 2) << "=" << message << "\r\n";

      ValueList params(memory);
      const long paramCount = component->GetNParams(i);
      for (long k = 0; k < paramCount; ++k)
        params.AddString(k == 0 ? id : u"вход");
      tVariant result = EmptyValue();
      ASSERT_TRUE(component->CallAsFunc(i, result, params));
      EXPECT_TRUE(TypeOf(result) == VTYPE_BOOL && !result.bVal);
      ReleaseValue(memory, result);
      for (long k = 0; k < paramCount; ++k)
        EXPECT_EQ(TextOf(params[static_cast<size_t>(k)]), k == 0 ? id : u"вход") << "parameter " << k + 1;
      EXPECT_EQ(Utf16ToUtf8(LastError(*component)), message);
      EXPECT_EQ(DeviceFiles(), before);
      ++refused;
    }
    EXPECT_GE(refused, 8); // the common methods at least

    // The device was neither closed nor opened again meanwhile.
    fs::remove(DataFolder() / "operator.txt");
    ValueList close(memory);
    close.AddString(id);
    tVariant result = EmptyValue();
    ASSERT_TRUE(component->CallAsFunc(component->RequireMethod(u"Close"), result, close));
    EXPECT_TRUE(TypeOf(result) == VTYPE_BOOL && result.bVal) << Utf16ToUtf8(LastError(*component));
    const std::u16string next = Open(*component);
    EXPECT_EQ(next.substr(0, next.find(u'#')), id.substr(0, id.find(u'#')));
    EXPECT_EQ(std::stoi(Utf16ToUtf8(next.substr(next.find(u'#') + 1))),
              std::stoi(Utf16ToUtf8(id.substr(id.find(u'#') + 1))) + 1);
  }
  EXPECT_TRUE(memory.Clean()) << memory.Summary();
}

INSTANTIATE_TEST_SUITE_P(Devices, FaultRules, ::testing::ValuesIn(Devices()),
                         [](const ::testing::TestParamInfo<Device>& info) { return info.param.name; });

} // namespace
