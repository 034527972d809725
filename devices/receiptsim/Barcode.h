// The bars of the linear barcodes, from their standard encoding tables, for
// the paper window to draw: one flag per module (true: a dark bar), quiet
// zones not included. QR is drawn by no table of ours.
#pragma once

#include "TextDocument.h"

#include <string_view>
#include <vector>

// The modules of a checked value (as ReadTextDocument gives it): EAN-13 and
// EAN-8 with their guards (95 and 67 modules), CODE39 between its start and
// stop characters, narrow bars one module and wide ones three, a narrow gap
// between characters. Empty for QR, and for a value the type cannot encode.
std::vector<bool> BarcodeModules(TBarcodeType type, std::u16string_view value);
