// The barcodes' modules for the receipt printer's paper and the label
// printer's labels to draw, quiet zones not included, encoded by zint's
// backend: a linear code as one row of bars (one flag per module, true: a dark
// bar), a stacked or 2D code as a matrix of modules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class TBarcodeType {
  EAN8,
  EAN13,
  CODE39,
  QR,
  EAN128,
  CODE128,
  CODE16K,
  CODE93,
  ITF14,
  EAN13Addon2,
  EAN13Addon5,
  GS1DataBarExpandedStacked,
  PDF417,
  DataMatrix,
};

// The check digit of a GTIN (EAN-8, EAN-13, ITF-14) whose other digits are
// given: '0'..'9', or 0 when digits holds anything but digits or is empty.
char GtinCheckDigit(std::string_view digits);

// A symbol's modules, Width by Height, row by row (true: dark). A linear code
// is one row (Linear), its bars drawn as high as the paper gives them; a
// stacked code's rows are as many modules high as zint draws them, with their
// separators and binding bars; a 2D code's rows are one module each.
struct TBarcodeSymbol {
  int Width = 0;
  int Height = 0;
  bool Linear = false;
  std::vector<bool> Dark;
  std::string Text; // the human-readable line zint gives (UTF-8): an EAN's digits, GS1 data with parentheses
  bool At(int x, int y) const { return Dark[static_cast<size_t>(y) * static_cast<size_t>(Width) + x]; }
  bool Empty() const { return Width == 0; }
};

// Why zint refused a value.
enum class TBarcodeRefusal { None, TooLong, CheckDigit, InvalidData };

// The symbol of a value as ReadTextDocument gives it (an EAN or ITF-14 with
// its check digit, an EAN with add-on as "<EAN-13>+<add-on>", GS1 data with
// its application identifiers in parentheses or brackets; 2D codes take the
// UTF-8 bytes, QR at error correction level L). Empty when zint refuses the
// value, refusal (when given) then saying why, or when the symbol would be
// wider or higher than maxModules.
inline constexpr int kBarcodeMaxModules = 1152;
TBarcodeSymbol EncodeBarcode(TBarcodeType type, std::u16string_view value,
                             int maxModules = kBarcodeMaxModules, TBarcodeRefusal* refusal = nullptr);
