// Checks of an unpacked add-in archive as the platform imports it: the
// MANIFEST.XML bundle, the files it names, and the binary format of every
// library against the system and architecture the manifest states.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace package {

inline constexpr char kBundleNamespace[] = "http://v8.1c.ru/8.2/addin/bundle";

// One component element of the manifest, attributes as written.
struct Component {
  std::string os;
  std::string arch;
  std::string type;
  std::string path;
};

// Reads MANIFEST.XML text; every fault of the document or of a component
// (bad attribute values, unsafe or repeated paths) is added to problems.
std::vector<Component> ReadManifest(std::string_view xml, std::vector<std::string>& problems);

// What the first bytes of a library file say about it.
struct BinaryFormat {
  enum class Kind { Unknown, PE, ELF } kind = Kind::Unknown;
  uint16_t machine = 0; // PE machine field, or ELF e_machine
  bool library = false; // a PE DLL, or an ELF shared object
  bool wide = false;    // ELF64 little-endian (unused for PE)
  std::string note;     // why the kind is Unknown
};

BinaryFormat IdentifyBinary(std::string_view bytes);

// Empty when the binary is what the component says: a PE DLL of machine
// 0x14c (i386) or 0x8664 (x86_64) for Windows, an ELF64 x86-64 shared object
// for Linux.
std::string CheckBinary(const Component& component, const BinaryFormat& format);

// The names of the sections that carry debug information (".debug*",
// ".zdebug*") in a PE or ELF64 file, in file order; empty for a stripped file.
// PE section names longer than eight characters are looked up in the COFF
// string table ("/4" and the like), as the GNU tools write them.
std::vector<std::string> DebugSections(std::string_view bytes);

// Whether a file name is that of a native library (.dll, .so, .so.N, .dylib).
bool IsLibraryFileName(std::string_view name);

// An unpacked archive: its manifest, read and checked against the files.
struct Archive {
  std::filesystem::path folder;
  std::vector<Component> components;
  std::vector<std::string> problems;
  std::vector<std::string> libraryFiles; // relative paths, '/' separated, sorted
};

Archive InspectArchive(const std::filesystem::path& folder);

// The whole contents of a file; false when it cannot be read.
bool ReadFile(const std::filesystem::path& file, std::string& contents);

} // namespace package
