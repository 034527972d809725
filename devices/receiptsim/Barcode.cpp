// The linear barcodes' encoding tables, and QR symbols.
#include "Barcode.h"

#include <algorithm>
#include <cstdint>

#include <qrcodegen.h>

namespace {

// EAN: the seven modules of each digit in the L code, left to right (the R
// code is its inverse, the G code the R code reversed).
constexpr uint8_t kEanL[10] = {0x0D, 0x19, 0x13, 0x3D, 0x23, 0x31, 0x2F, 0x3B, 0x37, 0x0B};
// EAN-13: which of the left six digits use the G code, by the first digit.
constexpr uint8_t kEan13Parity[10] = {0x00, 0x0B, 0x0D, 0x0E, 0x13, 0x19, 0x1C, 0x15, 0x16, 0x1A};

void Put(std::vector<bool>& modules, uint32_t bits, int count) {
  for (int i = count - 1; i >= 0; --i)
    modules.push_back(((bits >> i) & 1) != 0);
}

uint8_t Reverse7(uint8_t bits) {
  uint8_t out = 0;
  for (int i = 0; i < 7; ++i)
    out = static_cast<uint8_t>(out | (((bits >> i) & 1) << (6 - i)));
  return out;
}

std::vector<bool> Ean(std::u16string_view digits) {
  for (const char16_t c : digits)
    if (c < u'0' || c > u'9')
      return {};
  const bool ean13 = digits.size() == 13;
  if (!ean13 && digits.size() != 8)
    return {};
  // EAN-13's first digit is only encoded in the parity of the left half.
  const uint8_t parity = ean13 ? kEan13Parity[digits[0] - u'0'] : 0;
  const std::u16string_view rest = ean13 ? digits.substr(1) : digits;
  const size_t half = rest.size() / 2;
  std::vector<bool> modules;
  Put(modules, 0x5, 3); // start guard
  for (size_t i = 0; i < half; ++i) {
    const uint8_t l = kEanL[rest[i] - u'0'];
    const bool g = ((parity >> (half - 1 - i)) & 1) != 0;
    Put(modules, g ? Reverse7(static_cast<uint8_t>(~l & 0x7F)) : l, 7);
  }
  Put(modules, 0x0A, 5); // centre guard
  for (size_t i = half; i < rest.size(); ++i)
    Put(modules, static_cast<uint8_t>(~kEanL[rest[i] - u'0'] & 0x7F), 7);
  Put(modules, 0x5, 3); // end guard
  return modules;
}

// CODE39: the characters and their nine elements (bar, space, bar, ...) as a
// mask of the wide ones, first element in the highest bit.
constexpr std::u16string_view kCode39Characters = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
constexpr uint16_t kCode39Wide[44] = {
    0x034, 0x121, 0x061, 0x160, 0x031, 0x130, 0x070, 0x025, 0x124, 0x064, 0x109, 0x049, 0x148, 0x019, 0x118,
    0x058, 0x00D, 0x10C, 0x04C, 0x01C, 0x103, 0x043, 0x142, 0x013, 0x112, 0x052, 0x007, 0x106, 0x046, 0x016,
    0x181, 0x0C1, 0x1C0, 0x091, 0x190, 0x0D0, 0x085, 0x184, 0x0C4, 0x0A8, 0x0A2, 0x08A, 0x02A, 0x094,
};

bool PutCode39(std::vector<bool>& modules, char16_t c) {
  const size_t index = kCode39Characters.find(c);
  if (index == std::u16string_view::npos)
    return false;
  for (int element = 0; element < 9; ++element) {
    const bool wide = ((kCode39Wide[index] >> (8 - element)) & 1) != 0;
    modules.insert(modules.end(), wide ? 3 : 1, element % 2 == 0);
  }
  return true;
}

std::vector<bool> Code39(std::u16string_view value) {
  std::vector<bool> modules;
  PutCode39(modules, u'*');
  for (const char16_t c : value) {
    modules.push_back(false); // the gap between characters
    if (c == u'*' || !PutCode39(modules, c))
      return {};
  }
  modules.push_back(false);
  PutCode39(modules, u'*');
  return modules;
}

} // namespace

std::vector<bool> BarcodeModules(TBarcodeType type, std::u16string_view value) {
  switch (type) {
  case TBarcodeType::EAN8:
  case TBarcodeType::EAN13:
    return Ean(value);
  case TBarcodeType::CODE39:
    return Code39(value);
  case TBarcodeType::QR:
    break;
  }
  return {};
}

TQrModules QrModules(std::string_view utf8, int maxSize) {
  TQrModules modules;
  const int maxVersion = std::min((maxSize - 17) / 4, qrcodegen_VERSION_MAX);
  if (maxVersion < qrcodegen_VERSION_MIN || utf8.size() > qrcodegen_BUFFER_LEN_MAX)
    return modules; // more than any symbol holds
  std::vector<uint8_t> symbol(qrcodegen_BUFFER_LEN_MAX);
  std::vector<uint8_t> work(qrcodegen_BUFFER_LEN_MAX);
  bool encoded = false;
  if (utf8.find('\0') == std::string_view::npos) {
    // The library reads a C string, and picks the mode.
    const std::string text(utf8);
    encoded = qrcodegen_encodeText(text.c_str(), work.data(), symbol.data(), qrcodegen_Ecc_LOW,
                                   qrcodegen_VERSION_MIN, maxVersion, qrcodegen_Mask_AUTO, true);
  } else {
    // A NUL would end that string early: the bytes as they are.
    std::copy(utf8.begin(), utf8.end(), work.begin());
    encoded = qrcodegen_encodeBinary(work.data(), utf8.size(), symbol.data(), qrcodegen_Ecc_LOW,
                                     qrcodegen_VERSION_MIN, maxVersion, qrcodegen_Mask_AUTO, true);
  }
  if (!encoded)
    return modules;
  modules.Size = qrcodegen_getSize(symbol.data());
  modules.Dark.reserve(static_cast<size_t>(modules.Size) * static_cast<size_t>(modules.Size));
  for (int y = 0; y < modules.Size; ++y)
    for (int x = 0; x < modules.Size; ++x)
      modules.Dark.push_back(qrcodegen_getModule(symbol.data(), x, y));
  return modules;
}
