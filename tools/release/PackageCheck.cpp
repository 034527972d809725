// MANIFEST.XML with pugixml (which knows nothing of namespaces: prefixes are
// resolved here from the xmlns attributes in scope), PE and ELF headers read
// from their fixed offsets.
#include "PackageCheck.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace package {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return lower;
}

std::string_view LocalName(std::string_view name) {
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The namespace of an element's name: its prefix (or the default namespace)
// looked up in the xmlns attributes of the element and its ancestors.
std::string NamespaceOf(pugi::xml_node element) {
  const std::string_view name = element.name();
  const size_t colon = name.find(':');
  const std::string attribute =
      colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
  for (pugi::xml_node node = element; node.type() == pugi::node_element; node = node.parent())
    if (const pugi::xml_attribute declared = node.attribute(attribute.c_str()))
      return declared.value();
  return {};
}

uint16_t Read16(std::string_view bytes, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(bytes[at]) |
                               static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t Read32(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(Read16(bytes, at)) | static_cast<uint32_t>(Read16(bytes, at + 2)) << 16;
}

std::string Hex(unsigned value) {
  std::ostringstream out;
  out << "0x" << std::hex << value;
  return out.str();
}

// A path inside the archive: relative, '/'-separated, no empty, "." or ".."
// segment, nothing that Windows would read as a drive or a device folder.
std::string PathFault(std::string_view path) {
  if (path.empty())
    return "is empty";
  if (path.find('\\') != std::string_view::npos || path.find(':') != std::string_view::npos)
    return "holds '\\' or ':'";
  if (path.front() == '/')
    return "is absolute";
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find('/', start);
    const std::string_view segment =
        path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (segment.empty() || segment == "." || segment == "..")
      return "has an empty, \".\" or \"..\" segment";
    if (slash == std::string_view::npos)
      return {};
    start = slash + 1;
  }
}

} // namespace

std::vector<Component> ReadManifest(std::string_view xml, std::vector<std::string>& problems) {
  std::vector<Component> components;
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed) {
    problems.push_back("MANIFEST.XML does not parse: " + std::string(parsed.description()) + " at offset " +
                       std::to_string(parsed.offset));
    return components;
  }
  const pugi::xml_node root = document.document_element();
  if (LocalName(root.name()) != "bundle" || NamespaceOf(root) != kBundleNamespace) {
    problems.push_back("the root element is <" + std::string(root.name()) + "> in namespace \"" +
                       NamespaceOf(root) + "\", not <bundle> in " + kBundleNamespace);
    return components;
  }

  static const std::set<std::string> kSystems = {"Windows", "Linux"};
  static const std::set<std::string> kArchitectures = {"i386", "x86_64"};
  std::map<std::string, size_t> seen; // lower-case path -> component number
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element)
      continue;
    if (LocalName(child.name()) != "component" || NamespaceOf(child) != kBundleNamespace) {
      problems.push_back("unexpected element <" + std::string(child.name()) + "> in the bundle");
      continue;
    }
    const size_t number = components.size() + 1;
    const std::string where = "component " + std::to_string(number);
    auto attribute = [&](const char* name) {
      const pugi::xml_attribute found = child.attribute(name);
      if (!found)
        problems.push_back(where + " has no attribute " + name);
      return std::string(found.value());
    };
    Component component{attribute("os"), attribute("arch"), attribute("type"), attribute("path")};
    if (child.attribute("os") && kSystems.count(component.os) == 0)
      problems.push_back(where + ": os \"" + component.os + "\" is neither Windows nor Linux");
    if (child.attribute("arch") && kArchitectures.count(component.arch) == 0)
      problems.push_back(where + ": arch \"" + component.arch + "\" is neither i386 nor x86_64");
    if (child.attribute("type") && component.type != "native")
      problems.push_back(where + ": type \"" + component.type + "\" is not native");
    if (child.attribute("path")) {
      if (const std::string fault = PathFault(component.path); !fault.empty())
        problems.push_back(where + ": path \"" + component.path + "\" " + fault);
      const auto [it, fresh] = seen.emplace(Lower(component.path), number);
      if (!fresh)
        problems.push_back(where + ": path \"" + component.path + "\" is already the path of component " +
                           std::to_string(it->second));
    }
    components.push_back(std::move(component));
  }
  if (components.empty())
    problems.push_back("the bundle lists no component");
  return components;
}

BinaryFormat IdentifyBinary(std::string_view bytes) {
  BinaryFormat format;
  if (bytes.size() >= 20 && bytes.substr(0, 4) == "\x7F"
                                                  "ELF") {
    format.kind = BinaryFormat::Kind::ELF;
    format.wide = bytes[4] == 2 && bytes[5] == 1; // ELFCLASS64, little-endian
    format.library = Read16(bytes, 16) == 3;      // ET_DYN
    format.machine = Read16(bytes, 18);
    return format;
  }
  if (bytes.size() < 0x40 || bytes.substr(0, 2) != "MZ") {
    format.note = "neither an ELF nor an MZ header";
    return format;
  }
  const uint32_t header = Read32(bytes, 0x3C);
  if (header > bytes.size() || bytes.size() - header < 24) {
    format.note = "the PE header offset " + Hex(header) + " lies past the file's end";
    return format;
  }
  if (bytes.substr(header, 4) != std::string_view("PE\0\0", 4)) {
    format.note = "no PE signature at " + Hex(header);
    return format;
  }
  format.kind = BinaryFormat::Kind::PE;
  format.machine = Read16(bytes, header + 4);
  format.library = (Read16(bytes, header + 22) & 0x2000) != 0; // IMAGE_FILE_DLL
  return format;
}

std::string CheckBinary(const Component& component, const BinaryFormat& format) {
  if (format.kind == BinaryFormat::Kind::Unknown)
    return component.path + ": " + format.note;
  if (component.os == "Windows") {
    const uint16_t machine = component.arch == "i386" ? 0x14c : 0x8664;
    if (format.kind != BinaryFormat::Kind::PE)
      return component.path + ": a Windows component that is not a PE file";
    if (format.machine != machine)
      return component.path + ": PE machine " + Hex(format.machine) + ", " + component.arch + " needs " +
             Hex(machine);
    if (!format.library)
      return component.path + ": a PE file that is not a DLL";
    return {};
  }
  if (component.os == "Linux") {
    if (format.kind != BinaryFormat::Kind::ELF)
      return component.path + ": a Linux component that is not an ELF file";
    if (component.arch != "x86_64")
      return component.path + ": Linux components here are x86_64, not " + component.arch;
    if (!format.wide || format.machine != 62)
      return component.path + ": not an ELF64 little-endian x86-64 file (e_machine " + Hex(format.machine) +
             ")";
    if (!format.library)
      return component.path + ": an ELF file that is not a shared object";
    return {};
  }
  return {}; // an unknown os is a manifest fault, reported there
}

namespace {

uint64_t Read64(std::string_view bytes, size_t at) {
  return static_cast<uint64_t>(Read32(bytes, at)) | static_cast<uint64_t>(Read32(bytes, at + 4)) << 32;
}

// The zero-ended name at offset at of a string table that ends at end.
std::string_view NameAt(std::string_view bytes, uint64_t at, uint64_t end) {
  if (at >= end || end > bytes.size())
    return {};
  const std::string_view rest = bytes.substr(static_cast<size_t>(at), static_cast<size_t>(end - at));
  return rest.substr(0, rest.find('\0'));
}

bool IsDebugName(std::string_view name) {
  return name.starts_with(".debug") || name.starts_with(".zdebug");
}

} // namespace

std::vector<std::string> DebugSections(std::string_view bytes) {
  std::vector<std::string> names;
  const BinaryFormat format = IdentifyBinary(bytes);
  if (format.kind == BinaryFormat::Kind::ELF && format.wide && bytes.size() >= 64) {
    const uint64_t table = Read64(bytes, 0x28);
    const uint16_t entrySize = Read16(bytes, 0x3A), count = Read16(bytes, 0x3C),
                   namesIndex = Read16(bytes, 0x3E);
    if (entrySize < 64 || namesIndex >= count || table > bytes.size() ||
        (bytes.size() - table) / entrySize < count)
      return names;
    const auto header = [&](unsigned i) { return static_cast<size_t>(table + uint64_t{i} * entrySize); };
    const uint64_t strings = Read64(bytes, header(namesIndex) + 0x18);
    const uint64_t stringsEnd = strings + Read64(bytes, header(namesIndex) + 0x20);
    for (unsigned i = 0; i < count; ++i)
      if (const std::string_view name = NameAt(bytes, strings + Read32(bytes, header(i)), stringsEnd);
          IsDebugName(name))
        names.emplace_back(name);
    return names;
  }
  if (format.kind == BinaryFormat::Kind::PE) {
    const uint32_t header = Read32(bytes, 0x3C);
    const uint16_t count = Read16(bytes, header + 6);
    const uint64_t symbols = Read32(bytes, header + 12);
    const uint64_t strings = symbols + uint64_t{Read32(bytes, header + 16)} * 18; // the COFF string table
    const uint64_t first = uint64_t{header} + 24 + Read16(bytes, header + 20);
    if (first > bytes.size() || (bytes.size() - first) / 40 < count)
      return names;
    for (unsigned i = 0; i < count; ++i) {
      std::string_view name = bytes.substr(static_cast<size_t>(first + i * 40), 8);
      name = name.substr(0, name.find('\0'));
      uint64_t offset = 0;
      if (name.starts_with('/') && symbols != 0 && strings + 4 <= bytes.size() &&
          std::from_chars(name.data() + 1, name.data() + name.size(), offset).ec == std::errc{})
        name = NameAt(bytes, strings + offset, strings + Read32(bytes, static_cast<size_t>(strings)));
      if (IsDebugName(name))
        names.emplace_back(name);
    }
  }
  return names;
}

bool IsLibraryFileName(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower.ends_with(".dll") || lower.ends_with(".so") || lower.ends_with(".dylib"))
    return true;
  // libx.so.1, libx.so.1.2
  const size_t so = lower.rfind(".so.");
  return so != std::string::npos && lower.find_first_not_of("0123456789.", so + 4) == std::string::npos;
}

bool ReadFile(const std::filesystem::path& file, std::string& contents) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  contents = std::move(buffer).str();
  return !in.bad();
}

Archive InspectArchive(const std::filesystem::path& folder) {
  Archive archive;
  archive.folder = folder;
  std::string manifest;
  if (!ReadFile(folder / "MANIFEST.XML", manifest)) {
    archive.problems.push_back("no MANIFEST.XML in " + folder.string());
    return archive;
  }
  archive.components = ReadManifest(manifest, archive.problems);

  std::set<std::string> listed;
  for (const Component& component : archive.components) {
    listed.insert(component.path);
    if (!PathFault(component.path).empty())
      continue; // reported by the manifest check; never looked up outside the folder
    const std::filesystem::path file = folder / std::filesystem::path(component.path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
      archive.problems.push_back(component.path + ": listed in the manifest but not in the archive");
      continue;
    }
    std::string bytes;
    if (!ReadFile(file, bytes)) {
      archive.problems.push_back(component.path + ": cannot be read");
      continue;
    }
    if (const std::string fault = CheckBinary(component, IdentifyBinary(bytes)); !fault.empty())
      archive.problems.push_back(fault);
    if (const std::vector<std::string> debug = DebugSections(bytes); !debug.empty())
      archive.problems.push_back(component.path + ": ships with debug sections (" + debug.front() + " and " +
                                 std::to_string(debug.size() - 1) + " more)");
  }

  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_regular_file() || !IsLibraryFileName(it->path().filename().string()))
      continue;
    const std::string relative = it->path().lexically_relative(folder).generic_string();
    archive.libraryFiles.push_back(relative);
    if (listed.count(relative) == 0)
      archive.problems.push_back(relative + ": a library in the archive that the manifest does not list");
  }
  if (error)
    archive.problems.push_back("cannot list " + folder.string() + ": " + error.message());
  std::sort(archive.libraryFiles.begin(), archive.libraryFiles.end());
  return archive;
}

} // namespace package
