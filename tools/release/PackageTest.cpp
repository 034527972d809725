// The add-in archives as the platform receives them. The arguments are the
// folders of unpacked archives, each named after its ZIP file
// (scripts/check-package.sh makes them):
//   package_tests [gtest options] FOLDER...
// Every archive: the manifest agrees with the files and the binary formats,
// the archive holds exactly the libraries of its devices (the device archives
// the same bytes as the full one), and every library of this program's system
// and bitness loads and makes its one object through the test host.
#include "PackageCheck.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>

namespace {

using package::Component;

std::vector<std::filesystem::path> gArchives;

// What this test program can load.
#if defined(_WIN32)
constexpr char kThisOs[] = "Windows";
#else
constexpr char kThisOs[] = "Linux";
#endif
constexpr const char* kThisArch = sizeof(void*) == 8 ? "x86_64" : "i386";

struct Device {
  const char* archive; // ZIP name without ".zip"
  const char* base;    // library name without "_<bits>.<ext>"
  const char* className;
};
constexpr Device kDevices[] = {{"Orvik_ScaleSim", "SCALESIM_3001", "Orvik_ScaleSim_3001"},
                               {"Orvik_PanelSim", "PANELSIM_3001", "Orvik_PanelSim_3001"},
                               {"Orvik_CardSim", "CARDSIM_2001", "Orvik_CardSim_2001"},
                               {"Orvik_WeighSim", "WEIGHSIM_3001", "Orvik_WeighSim_3001"},
                               {"Orvik_ReceiptSim", "RECEIPTSIM_3001", "Orvik_ReceiptSim_3001"},
                               {"Orvik_FiscalSim", "FISCALSIM_3004", "Orvik_FiscalSim_3004"},
                               {"Orvik_ScanSim", "SCANSIM_3001", "Orvik_ScanSim_3001"},
                               {"Orvik_MsrSim", "MSRSIM_3001", "Orvik_MsrSim_3001"},
                               {"Orvik_LabelSim", "LABELSIM_3001", "Orvik_LabelSim_3001"},
                               {"Orvik_DctSim", "DCTSIM_3001", "Orvik_DctSim_3001"}};
constexpr char kFullArchive[] = "Orvik_RetailEmulators";

std::string NameOf(const std::filesystem::path& folder) {
  return folder.filename().string();
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The devices an archive of this name holds; empty for an unknown name.
std::vector<Device> DevicesOf(const std::string& archive) {
  std::vector<Device> devices;
  for (const Device& device : kDevices)
    if (archive == kFullArchive || archive == device.archive)
      devices.push_back(device);
  return devices;
}

// (path, os, arch) of every library a device ships.
using Entry = std::tuple<std::string, std::string, std::string>;
std::set<Entry> LibrariesOf(const std::vector<Device>& devices) {
  std::set<Entry> entries;
  for (const Device& device : devices) {
    const std::string base = device.base;
    entries.insert({base + "_32.dll", "Windows", "i386"});
    entries.insert({base + "_64.dll", "Windows", "x86_64"});
    entries.insert({base + "_64.so", "Linux", "x86_64"});
  }
  return entries;
}

const Device* DeviceOfLibrary(const std::string& path) {
  for (const Device& device : kDevices)
    if (path.starts_with(std::string(device.base) + "_"))
      return &device;
  return nullptr;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += "\n  " + line;
  return text;
}

class PackageArchive : public ::testing::Test {
protected:
  void SetUp() override {
    if (gArchives.empty())
      GTEST_SKIP() << "no archive folder given (scripts/check-package.sh gives them)";
  }
};

TEST_F(PackageArchive, ManifestAgreesWithTheFilesAndTheirFormats) {
  for (const auto& folder : gArchives) {
    const package::Archive archive = package::InspectArchive(folder);
    EXPECT_TRUE(archive.problems.empty()) << NameOf(folder) << ":" << Lines(archive.problems);
  }
}

TEST_F(PackageArchive, HoldsExactlyTheLibrariesOfItsDevices) {
  for (const auto& folder : gArchives) {
    SCOPED_TRACE(NameOf(folder));
    const std::vector<Device> devices = DevicesOf(NameOf(folder));
    ASSERT_FALSE(devices.empty()) << "not an archive of ours";
    const std::set<Entry> expected = LibrariesOf(devices);
    const package::Archive archive = package::InspectArchive(folder);
    std::set<Entry> listed;
    for (const Component& c : archive.components)
      listed.insert({c.path, c.os, c.arch});
    EXPECT_EQ(listed, expected);
    std::set<std::string> files(archive.libraryFiles.begin(), archive.libraryFiles.end());
    std::set<std::string> expectedFiles;
    for (const Entry& entry : expected)
      expectedFiles.insert(std::get<0>(entry));
    EXPECT_EQ(files, expectedFiles);
  }
}

TEST_F(PackageArchive, DeviceArchivesCarryTheFullArchivesFiles) {
  const auto full = std::find_if(gArchives.begin(), gArchives.end(),
                                 [](const auto& folder) { return NameOf(folder) == kFullArchive; });
  if (full == gArchives.end())
    GTEST_SKIP() << "the full archive is not among the folders";
  int compared = 0;
  for (const auto& folder : gArchives) {
    if (folder == *full)
      continue;
    for (const Entry& entry : LibrariesOf(DevicesOf(NameOf(folder)))) {
      const std::string& file = std::get<0>(entry);
      std::string ours, theirs;
      ASSERT_TRUE(package::ReadFile(folder / file, ours)) << NameOf(folder) << "/" << file;
      ASSERT_TRUE(package::ReadFile(*full / file, theirs)) << kFullArchive << "/" << file;
      EXPECT_TRUE(ours == theirs) << NameOf(folder) << "/" << file << " differs from " << kFullArchive;
      ++compared;
    }
  }
  EXPECT_EQ(compared, static_cast<int>(gArchives.size() - 1) * 3);
}

TEST_F(PackageArchive, LibrariesOfThisPlatformMakeTheirObject) {
  for (const auto& folder : gArchives) {
    std::string error;
    const package::Archive archive = package::InspectArchive(folder);
    int loaded = 0;
    for (const Component& component : archive.components) {
      if (component.os != kThisOs || component.arch != kThisArch)
        continue;
      SCOPED_TRACE(NameOf(folder) + "/" + component.path);
      const Device* device = DeviceOfLibrary(component.path);
      ASSERT_NE(device, nullptr) << "a library of no known device";
      ++loaded;
      std::unique_ptr<testhost::AddIn> addIn = testhost::AddIn::Load(Utf8(folder / component.path), error);
      ASSERT_NE(addIn, nullptr) << error;
      const std::vector<std::u16string> classes = addIn->ClassList();
      ASSERT_EQ(classes.size(), 1u) << testhost::Utf16ToUtf8(addIn->ClassNames());
      EXPECT_EQ(testhost::Utf16ToUtf8(classes[0]), device->className);

      testhost::CountingMemory memory;
      testhost::RecordingConnection connection;
      std::unique_ptr<testhost::Component> object = addIn->Create(classes[0], memory);
      ASSERT_NE(object, nullptr) << "GetClassObject refused its own class";
      EXPECT_TRUE(object->Init(connection));
      EXPECT_TRUE(object->SetMemManager());
      EXPECT_GT(object->GetNMethods(), 0);
      std::optional<std::u16string> registered;
      EXPECT_TRUE(object->RegisterExtensionAs(registered));
      EXPECT_EQ(registered.value_or(u""), classes[0]);
      object->Done();
      EXPECT_EQ(object->Destroy(), 0);
      object.reset();
      EXPECT_TRUE(connection.Errors().empty());
      EXPECT_TRUE(memory.Clean()) << memory.Summary();
    }
    EXPECT_EQ(loaded, static_cast<int>(DevicesOf(NameOf(folder)).size()))
        << NameOf(folder) << ": libraries for " << kThisOs << " " << kThisArch;
  }
}

} // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i < argc; ++i)
    gArchives.emplace_back(argv[i]);
  return RUN_ALL_TESTS();
}
