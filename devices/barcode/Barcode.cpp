// Barcodes through zint's backend: the symbology and input mode of each type,
// and the modules read back from the encoded symbol.
#include "Barcode.h"

#include "TextCodec.h"

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include <zint.h>

namespace {

struct TZintSymbology {
  int Symbology;
  int InputMode;
};

TZintSymbology SymbologyOf(TBarcodeType type) {
  switch (type) {
  case TBarcodeType::EAN8:
  case TBarcodeType::EAN13:
  case TBarcodeType::EAN13Addon2:
  case TBarcodeType::EAN13Addon5:
    return {BARCODE_EANX_CHK, DATA_MODE}; // the check digit given, and checked
  case TBarcodeType::EAN128:
    return {BARCODE_GS1_128, GS1_MODE};
  case TBarcodeType::CODE39:
    return {BARCODE_CODE39, DATA_MODE};
  case TBarcodeType::CODE128:
    return {BARCODE_CODE128, UNICODE_MODE};
  case TBarcodeType::CODE16K:
    return {BARCODE_CODE16K, UNICODE_MODE};
  case TBarcodeType::CODE93:
    return {BARCODE_CODE93, DATA_MODE};
  case TBarcodeType::ITF14:
    return {BARCODE_ITF14, DATA_MODE};
  case TBarcodeType::PDF417:
    return {BARCODE_PDF417, DATA_MODE};
  case TBarcodeType::DataMatrix:
    return {BARCODE_DATAMATRIX, DATA_MODE};
  case TBarcodeType::QR:
    return {BARCODE_QRCODE, DATA_MODE};
  case TBarcodeType::GS1DataBarExpandedStacked:
    return {BARCODE_DBAR_EXPSTK, GS1_MODE};
  }
  return {BARCODE_CODE128, UNICODE_MODE};
}

struct TSymbolDeleter {
  void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

TBarcodeRefusal RefusalOf(int error, const char* text) {
  if (error == ZINT_ERROR_TOO_LONG)
    return TBarcodeRefusal::TooLong;
  // GS1 data reports a wrong check digit of an identifier as bad data.
  if (error == ZINT_ERROR_INVALID_CHECK || std::strstr(text, "checksum") != nullptr ||
      std::strstr(text, "check digit") != nullptr)
    return TBarcodeRefusal::CheckDigit;
  return TBarcodeRefusal::InvalidData;
}

} // namespace

char GtinCheckDigit(std::string_view digits) {
  if (digits.empty())
    return 0;
  // From the right: weights 3, 1, 3... the digit completes the sum to a ten.
  int sum = 0;
  int weight = 3;
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] < '0' || digits[i] > '9')
      return 0;
    sum += (digits[i] - '0') * weight;
    weight = 4 - weight;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

TBarcodeSymbol EncodeBarcode(TBarcodeType type, std::u16string_view value, int maxModules,
                             TBarcodeRefusal* refusal) {
  TBarcodeSymbol out;
  TBarcodeRefusal why = TBarcodeRefusal::None;
  std::string data = Utf16ToUtf8(value);
  // ITF-14's check digit is zint's own: it takes the thirteen before it.
  if (type == TBarcodeType::ITF14 && data.size() == 14)
    data.pop_back();
  const TZintSymbology symbology = SymbologyOf(type);
  std::unique_ptr<zint_symbol, TSymbolDeleter> symbol(ZBarcode_Create());
  if (!symbol || data.empty() || data.size() > static_cast<size_t>(INT_MAX)) {
    why = TBarcodeRefusal::InvalidData;
  } else {
    symbol->symbology = symbology.Symbology;
    symbol->input_mode = symbology.InputMode;
    if (symbology.InputMode == GS1_MODE) {
      if (data[0] == '(')
        symbol->input_mode |= GS1PARENS_MODE;
      // An identifier's data that breaks its rules (a GTIN's check digit,
      // a date) is only a warning unless warnings fail.
      symbol->warn_level = WARN_FAIL_ALL;
    }
    if (type == TBarcodeType::QR)
      symbol->option_1 = 1; // level L: the most data in the smallest symbol
    symbol->show_hrt = 0;
    const int error = ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.data()),
                                      static_cast<int>(data.size()));
    if (error >= ZINT_ERROR)
      why = RefusalOf(error, symbol->errtxt);
  }
  if (refusal != nullptr)
    *refusal = why;
  if (why != TBarcodeRefusal::None || symbol->width <= 0 || symbol->width > maxModules)
    return out;
  if (symbol->rows == 1) {
    // A linear code: its one row of bars as encoded.
    out.Width = symbol->width;
    out.Height = 1;
    out.Linear = true;
    out.Dark.reserve(static_cast<size_t>(out.Width));
    for (int x = 0; x < out.Width; ++x)
      out.Dark.push_back(((symbol->encoded_data[0][x >> 3] >> (x & 7)) & 1) != 0);
    out.Text = reinterpret_cast<const char*>(symbol->text);
    return out;
  }
  // Stacked and 2D codes as zint draws them at one pixel a module (row
  // heights, separators and binding bars included), without the value's
  // text and with no quiet zone: the paper adds its own.
  symbol->scale = 0.5f;
  symbol->whitespace_width = 0;
  symbol->whitespace_height = 0;
  if (ZBarcode_Buffer(symbol.get(), 0) >= ZINT_ERROR || symbol->bitmap == nullptr) {
    if (refusal != nullptr)
      *refusal = TBarcodeRefusal::InvalidData;
    return out;
  }
  if (symbol->bitmap_width <= 0 || symbol->bitmap_height <= 0 || symbol->bitmap_width > maxModules ||
      symbol->bitmap_height > maxModules)
    return out;
  out.Width = symbol->bitmap_width;
  out.Height = symbol->bitmap_height;
  out.Dark.reserve(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height));
  const unsigned char* pixel = symbol->bitmap;
  for (int i = 0; i < out.Width * out.Height; ++i, pixel += 3)
    out.Dark.push_back(pixel[0] < 128); // RGB, ink black on white paper
  return out;
}
