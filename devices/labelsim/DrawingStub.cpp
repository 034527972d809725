// A stand-in for the label drawing until the real one is built beside it: a
// white label of the right size in dots, and its PNG file (8-bit grey, the
// image data in stored deflate blocks).
#include "LabelPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace label {

namespace {

constexpr long long kDotsLimit = 100'000'000; // a label of more dots is refused

uint32_t Crc32(const std::string& bytes, size_t from) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    crc ^= static_cast<uint8_t>(bytes[i]);
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put32(std::string& out, uint32_t n) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out += static_cast<char>((n >> shift) & 0xFF);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
  Put32(png, static_cast<uint32_t>(data.size()));
  const size_t start = png.size();
  png += type;
  png += data;
  Put32(png, Crc32(png, start));
}

} // namespace

std::u16string DrawLabel(const TLabelPicture& picture, int dotsPerInch, TBitmap& bitmap) {
  const double width = std::round(picture.Width * dotsPerInch / 25.4);
  const double height = std::round(picture.Height * dotsPerInch / 25.4);
  if (width < 1 || height < 1 || width * height > static_cast<double>(kDotsLimit))
    return u"Этикетка слишком велика для разрешения принтера";
  bitmap.Width = static_cast<int>(width);
  bitmap.Height = static_cast<int>(height);
  bitmap.Dots.assign(static_cast<size_t>(bitmap.Width) * static_cast<size_t>(bitmap.Height), 255);
  return {};
}

std::string EncodePng(const TBitmap& bitmap, int dotsPerInch) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  Put32(header, static_cast<uint32_t>(bitmap.Width));
  Put32(header, static_cast<uint32_t>(bitmap.Height));
  header += std::string("\x08\x00\x00\x00\x00", 5); // 8-bit grey, deflate, no filter method, no interlace
  Chunk(png, "IHDR", header);
  std::string phys;
  const auto perMetre = static_cast<uint32_t>(std::lround(dotsPerInch / 0.0254));
  Put32(phys, perMetre);
  Put32(phys, perMetre);
  phys += '\x01';
  Chunk(png, "pHYs", phys);
  // Each row after its filter byte (none), in stored blocks of up to 65535.
  std::string raw;
  raw.reserve((static_cast<size_t>(bitmap.Width) + 1) * static_cast<size_t>(bitmap.Height));
  for (int y = 0; y < bitmap.Height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(&bitmap.Dots[static_cast<size_t>(y) * bitmap.Width]),
               static_cast<size_t>(bitmap.Width));
  }
  std::string zlib("\x78\x01", 2);
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const size_t length = std::min<size_t>(65535, raw.size() - at);
    zlib += static_cast<char>(at + length >= raw.size() ? 1 : 0);
    zlib += static_cast<char>(length & 0xFF);
    zlib += static_cast<char>(length >> 8);
    zlib += static_cast<char>(~length & 0xFF);
    zlib += static_cast<char>((~length >> 8) & 0xFF);
    zlib.append(raw, at, length);
    if (raw.empty())
      break;
  }
  uint32_t a = 1;
  uint32_t b = 0;
  for (const char c : raw) {
    a = (a + static_cast<uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  Put32(zlib, (b << 16) | a);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", {});
  return png;
}

} // namespace label
