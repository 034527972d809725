// The library's version on Linux: compiled in from the project version.
#include "DeviceSet.h"
#include "TextCodec.h"
#include "orvik_version.h"

std::u16string LibraryVersion() {
  return Utf8ToUtf16(ORVIK_VERSION_TEXT);
}
