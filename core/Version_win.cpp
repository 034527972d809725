// The library's version on Windows: the file version of the version resource
// of the module that holds this code (the add-in library, not the host's
// program), read from the loaded image.
#include "DeviceSet.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

namespace {

// The start of a VS_VERSIONINFO block: its lengths, type and key, then the
// fixed file information on the next 32-bit boundary.
struct VersionBlockHeader {
  WORD length;
  WORD valueLength;
  WORD type;
  WCHAR key[16]; // L"VS_VERSION_INFO" and its terminating zero
};
constexpr size_t kFixedInfoOffset = (sizeof(VersionBlockHeader) + 3) & ~size_t{3};

bool ReadFileVersion(HMODULE module, DWORD& high, DWORD& low) {
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)); // RT_VERSION
  if (found == nullptr)
    return false;
  const DWORD size = SizeofResource(module, found);
  const HGLOBAL loaded = LoadResource(module, found);
  const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? LockResource(loaded) : nullptr);
  if (data == nullptr || size < kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO))
    return false;
  VersionBlockHeader header;
  std::memcpy(&header, data, sizeof header);
  if (header.valueLength < sizeof(VS_FIXEDFILEINFO) || std::wmemcmp(header.key, L"VS_VERSION_INFO", 16) != 0)
    return false;
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, data + kFixedInfoOffset, sizeof info);
  if (info.dwSignature != 0xFEEF04BD)
    return false;
  high = info.dwFileVersionMS;
  low = info.dwFileVersionLS;
  return true;
}

// The module that holds this code.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

} // namespace

std::u16string LibraryVersion() {
  const HMODULE module = ThisModule();
  DWORD high = 0;
  DWORD low = 0;
  if (module == nullptr || !ReadFileVersion(module, high, low))
    high = low = 0;
  const std::string text = std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." +
                           std::to_string(HIWORD(low)) + "." + std::to_string(LOWORD(low));
  return std::u16string(text.begin(), text.end());
}
