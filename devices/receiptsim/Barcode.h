// The barcodes' modules for the paper window to draw, quiet zones not
// included: the linear ones' bars from their standard encoding tables, one
// flag per module (true: a dark bar), and QR symbols from the QR Code
// generator library.
#pragma once

#include "TextDocument.h"

#include <string>
#include <string_view>
#include <vector>

// The modules of a checked value (as ReadTextDocument gives it): EAN-13 and
// EAN-8 with their guards (95 and 67 modules), CODE39 between its start and
// stop characters, narrow bars one module and wide ones three, a narrow gap
// between characters. Empty for QR, and for a value the type cannot encode.
std::vector<bool> BarcodeModules(TBarcodeType type, std::u16string_view value);

// A QR symbol: Size by Size modules, row by row (true: dark). Size is 21 for
// version 1 and grows by 4 with each version up to 177 (version 40).
struct TQrModules {
  int Size = 0;
  std::vector<bool> Dark;
  bool At(int x, int y) const { return Dark[static_cast<size_t>(y) * static_cast<size_t>(Size) + x]; }
};

// The smallest symbol that holds the UTF-8 bytes (error correction level L,
// raised where that costs no larger version), in numeric or alphanumeric
// mode where the value allows, else bytes. Size 0 when no symbol up to
// maxSize modules holds them (a too large one is given up before its costly
// masking).
inline constexpr int kQrMaxSize = 177;
TQrModules QrModules(std::string_view utf8, int maxSize = kQrMaxSize);
