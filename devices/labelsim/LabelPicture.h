// A label as the printer draws it: its size and its items, every measure in
// millimetres as the labels document gives them, with each field's final value
// already chosen (the record's value, else the formatting's default). The
// document reader fills it; DrawLabel turns it into dots at the printer's
// resolution, EncodePng into the file a test reads.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace label {

enum class TLineStyle { Solid, Dotted, Dashed, Double };

struct TBorders {
  bool Left = false;
  bool Top = false;
  bool Right = false;
  bool Bottom = false;
  int WidthDots = 1; // BorderWidth: the line's width in the printer's dots
  TLineStyle Style = TLineStyle::Solid;
};

enum class TAlign { Start, Center, End }; // Left/Top, Center, Right/Bottom

// The box of an item, in millimetres from the label's top left corner, and the
// quarter turn (0, 90, 180, 270 degrees, counter-clockwise) its content is
// drawn at inside the box. A zero Width or Height means the content's own size.
struct TBox {
  double Left = 0;
  double Top = 0;
  double Width = 0;
  double Height = 0;
  int Orientation = 0;
};

struct TTextItem {
  std::u16string FieldName; // the formatting's FieldName, named in a reason not to draw
  TBox Box;
  std::u16string Text;
  std::u16string FontName; // as given; drawn with the printer's own face
  double FontSize = 10;    // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  TAlign Align = TAlign::Start;
  TAlign VAlign = TAlign::Start;
  bool Multiline = false; // wrap at word boundaries to the box's width
  TBorders Borders;
};

struct TBarcodeItem {
  std::u16string FieldName; // the formatting's FieldName, named in a reason not to draw
  // Width 0: the symbol at its natural module width; else as many whole dots
  // per module as fit. Height: the bars' height (turned a quarter with Width
  // 0, the box is as wide as that and as high as the symbol is long).
  TBox Box;
  std::u16string Type;     // as the document spells it: EAN13, Code39, QRCode...
  std::u16string Value;    // the data (GS1 in human-readable form with its AIs)
  bool PrintHri = true;    // the human-readable line under a linear code
  double FontSize = 8;     // points, of the human-readable line
  bool CheckSymbol = true; // the value carries its check digit (false: the printer adds it)
};

struct TImageItem {
  std::u16string FieldName; // the formatting's FieldName, named in a reason not to draw
  TBox Box;
  std::string Data; // the image file's bytes (PNG, JPEG, BMP, GIF), decoded from Base64
  TBorders Borders;
};

using TLabelItem = std::variant<TTextItem, TBarcodeItem, TImageItem>;

struct TLabelPicture {
  double Width = 0;              // millimetres
  double Height = 0;             // millimetres
  std::vector<TLabelItem> Items; // drawn in document order, later over earlier
};

// Dots of a label, row by row from the top: 0 black, 255 white (a thermal
// printer's dots are one or the other).
struct TBitmap {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Dots;
};

// Draws a label at dotsPerInch (its size in dots: millimetres * dpi / 25.4,
// rounded). Empty answer: drawn. Otherwise the reason, in Russian, naming the
// field, why it cannot be drawn: a barcode value its type refuses, an image
// that does not decode, a label or item too large; bitmap is then unspecified.
std::u16string DrawLabel(const TLabelPicture& label, int dotsPerInch, TBitmap& bitmap);

// The PNG file of a bitmap (8-bit grey), its pHYs chunk giving dotsPerInch.
std::string EncodePng(const TBitmap& bitmap, int dotsPerInch);

} // namespace label
