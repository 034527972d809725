// The archive checker itself: every fault it is meant to find, it finds.
#include "PackageCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

namespace {

using namespace package;

std::string Bundle(const std::string& components) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<bundle xmlns=\"") + kBundleNamespace +
         "\">\n" + components + "</bundle>\n";
}

std::string Element(const std::string& os, const std::string& path, const std::string& arch) {
  return "<component os=\"" + os + "\" path=\"" + path + "\" type=\"native\" arch=\"" + arch + "\"/>\n";
}

// A minimal PE image header: "MZ", e_lfanew 0x40, "PE\0\0", machine, flags.
std::string PeHeader(uint16_t machine, bool dll) {
  std::string bytes(0x40 + 24, '\0');
  bytes[0] = 'M', bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  bytes[0x44] = static_cast<char>(machine & 0xFF), bytes[0x45] = static_cast<char>(machine >> 8);
  bytes[0x57] = dll ? 0x20 : 0x00; // characteristics 0x2000 (IMAGE_FILE_DLL), high byte
  return bytes;
}

std::string ElfHeader(bool wide, uint16_t type, uint16_t machine) {
  std::string bytes(64, '\0');
  bytes.replace(0, 4,
                "\x7F"
                "ELF");
  bytes[4] = wide ? 2 : 1, bytes[5] = 1;
  bytes[16] = static_cast<char>(type);
  bytes[18] = static_cast<char>(machine);
  return bytes;
}

TEST(ManifestCheck, RootMustBeTheBundleOfItsNamespace) {
  const std::string component = Element("Linux", "A_64.so", "x86_64");
  const std::string prefixed = std::string("<b:bundle xmlns:b=\"") + kBundleNamespace +
                               "\"><b:component os=\"Linux\" path=\"A_64.so\" type=\"native\" "
                               "arch=\"x86_64\"/></b:bundle>";
  const struct {
    std::string xml;
    std::string fault; // empty: no problem
  } cases[] = {
      {Bundle(component), ""},
      {prefixed, ""},
      {"<bundle>" + component + "</bundle>", "not <bundle>"},
      {"<bundle xmlns=\"http://v8.1c.ru/8.2/addin/other\">" + component + "</bundle>", "not <bundle>"},
      {"<Bundle xmlns=\"" + std::string(kBundleNamespace) + "\">" + component + "</Bundle>", "not <bundle>"},
      {Bundle(component).substr(0, 80), "does not parse"},
      {Bundle(""), "lists no component"},
      {Bundle(component + "<file path=\"x\"/>"), "unexpected element <file>"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> problems;
    const std::vector<Component> components = ReadManifest(c.xml, problems);
    if (c.fault.empty()) {
      EXPECT_TRUE(problems.empty()) << c.xml << "\n" << problems.front();
      ASSERT_EQ(components.size(), 1u);
      EXPECT_EQ(components[0].path, "A_64.so");
    } else {
      ASSERT_EQ(problems.size(), 1u) << c.xml;
      EXPECT_NE(problems[0].find(c.fault), std::string::npos) << problems[0];
    }
  }
}

TEST(ManifestCheck, EveryFaultOfAComponentIsReported) {
  const struct {
    std::string element;
    std::string fault;
  } cases[] = {
      {Element("MacOS", "B.dll", "i386"), "os \"MacOS\""},
      {Element("Windows", "B.dll", "arm64"), "arch \"arm64\""},
      {"<component os=\"Windows\" path=\"B.dll\" type=\"com\" arch=\"i386\"/>", "type \"com\""},
      {"<component os=\"Windows\" type=\"native\" arch=\"i386\"/>", "no attribute path"},
      {Element("Windows", "../B.dll", "i386"), "\"..\" segment"},
      {Element("Linux", "/usr/lib/B.so", "x86_64"), "is absolute"},
      {Element("Windows", "C:B.dll", "i386"), "':'"},
      {Element("Windows", "sub\\B.dll", "i386"), "'\\'"},
      {Element("Windows", "a.DLL", "i386"), "already the path of component 1"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> problems;
    const std::vector<Component> components =
        ReadManifest(Bundle(Element("Windows", "A.dll", "x86_64") + c.element), problems);
    EXPECT_EQ(components.size(), 2u);
    ASSERT_EQ(problems.size(), 1u) << c.element;
    EXPECT_NE(problems[0].find(c.fault), std::string::npos) << problems[0];
  }
}

TEST(BinaryCheck, PeAndElfHeadersAgainstTheStatedSystemAndArchitecture) {
  const Component win32{"Windows", "i386", "native", "A_32.dll"};
  const Component win64{"Windows", "x86_64", "native", "A_64.dll"};
  const Component linux64{"Linux", "x86_64", "native", "A_64.so"};
  const struct {
    const Component& component;
    std::string bytes;
    std::string fault;
  } cases[] = {
      {win32, PeHeader(0x14c, true), ""},
      {win64, PeHeader(0x8664, true), ""},
      {win64, PeHeader(0x14c, true), "PE machine 0x14c, x86_64 needs 0x8664"},
      {win32, PeHeader(0x8664, true), "PE machine 0x8664"},
      {win32, PeHeader(0x14c, false), "not a DLL"},
      {win32, PeHeader(0x14c, true).substr(0, 0x50), "past the file's end"},
      {win32, "MZ" + std::string(0x3E, '\0'), "no PE signature"},
      {win64, ElfHeader(true, 3, 62), "not a PE file"},
      {linux64, ElfHeader(true, 3, 62), ""},
      {linux64, ElfHeader(false, 3, 3), "not an ELF64"},
      {linux64, ElfHeader(true, 3, 183), "e_machine 0xb7"},
      {linux64, ElfHeader(true, 2, 62), "not a shared object"},
      {linux64, PeHeader(0x8664, true), "not an ELF file"},
      {linux64, "#!/bin/sh\n", "neither an ELF nor an MZ header"},
  };
  for (const auto& c : cases) {
    const std::string fault = CheckBinary(c.component, IdentifyBinary(c.bytes));
    if (c.fault.empty())
      EXPECT_EQ(fault, "");
    else
      EXPECT_NE(fault.find(c.fault), std::string::npos) << "expected \"" << c.fault << "\", got: " << fault;
  }
  for (const char* name : {"A.dll", "b.DLL", "libc.so", "libc.so.6", "x.so.1.2", "m.dylib"})
    EXPECT_TRUE(IsLibraryFileName(name)) << name;
  for (const char* name : {"MANIFEST.XML", "dll", "a.sox", "a.so.x", "readme.so.txt"})
    EXPECT_FALSE(IsLibraryFileName(name)) << name;
}

// This program is built with debug information, as the libraries are before
// they ship: the check must see it, and see none in a bare header.
TEST(BinaryCheck, DebugSectionsAreFound) {
  std::string self;
  ASSERT_TRUE(ReadFile(::testing::internal::GetArgvs().at(0), self));
  const std::vector<std::string> sections = DebugSections(self);
  EXPECT_NE(std::find(sections.begin(), sections.end(), ".debug_info"), sections.end())
      << sections.size() << " debug sections found";
  EXPECT_TRUE(DebugSections(PeHeader(0x8664, true)).empty());
  EXPECT_TRUE(DebugSections(ElfHeader(true, 3, 62)).empty());
}

TEST(ArchiveCheck, UnlistedMissingAndMislabelledLibrariesAreFound) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("orvik-package-check-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(folder / "sub");
  auto write = [&](const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(folder / file, std::ios::binary) << bytes;
  };
  write("MANIFEST.XML",
        Bundle(Element("Windows", "A_32.dll", "i386") + Element("Windows", "A_64.dll", "x86_64") +
               Element("Linux", "A_64.so", "x86_64") + Element("Windows", "gone.dll", "i386")));
  write("A_32.dll", PeHeader(0x14c, true));
  write("A_64.dll", PeHeader(0x14c, true)); // the 32-bit file under the 64-bit name
  write("A_64.so", ElfHeader(true, 3, 62));
  write("sub/extra.so", ElfHeader(true, 3, 62));
  write("notes.txt", "not a library");

  const Archive archive = InspectArchive(folder);
  std::filesystem::remove_all(folder);
  EXPECT_EQ(archive.components.size(), 4u);
  EXPECT_EQ(archive.libraryFiles,
            (std::vector<std::string>{"A_32.dll", "A_64.dll", "A_64.so", "sub/extra.so"}));
  ASSERT_EQ(archive.problems.size(), 3u);
  EXPECT_NE(archive.problems[0].find("A_64.dll: PE machine 0x14c"), std::string::npos) << archive.problems[0];
  EXPECT_NE(archive.problems[1].find("gone.dll: listed in the manifest but not in the archive"),
            std::string::npos);
  EXPECT_NE(
      archive.problems[2].find("sub/extra.so: a library in the archive that the manifest does not list"),
      std::string::npos);

  const Archive empty = InspectArchive(folder);
  ASSERT_EQ(empty.problems.size(), 1u);
  EXPECT_NE(empty.problems[0].find("no MANIFEST.XML"), std::string::npos);
}

} // namespace
