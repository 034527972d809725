// A label drawn into dots: each item's content is drawn upright into a bitmap
// of its own, as large as its box turned back by the item's orientation, then
// copied into the box turned by that orientation and clipped to the label.
// Text is rasterised from the printer's embedded face (DejaVu Sans, regular
// and bold) with stb_truetype, barcodes come from the shared zint encoder as
// modules of whole dots, images are decoded by stb_image and dithered. stb's
// calls that allocate go through the guarded entries of orvik_stb.h: memory
// running out there is std::bad_alloc, as it is in the C++ code.
#include "LabelPicture.h"

#include "Barcode.h"
#include "TextCodec.h"

#include <orvik_stb.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>

namespace label {

// The faces embedded at build time (the generated sources of CMakeLists.txt).
extern const unsigned char kDejaVuSans[];
extern const std::size_t kDejaVuSansSize;
extern const unsigned char kDejaVuSansBold[];
extern const std::size_t kDejaVuSansBoldSize;

namespace {

constexpr double kMmPerInch = 25.4;
constexpr int kMinDpi = 100;
constexpr int kMaxDpi = 1200;
constexpr double kMaxSideMm = 500;            // a label's side and an item's measures
constexpr long long kMaxLabelDots = 64 << 20; // 64 MB of dots: 500 x 500 mm at 406 dpi
constexpr double kMaxFontSize = 200;          // points
constexpr std::size_t kMaxTextLength = 4096;  // characters of a text item
constexpr std::size_t kMaxBarcodeValue = 4096;
constexpr int kMaxImageSide = 8192;
constexpr long long kMaxImagePixels = 16 << 20; // what stb_image decodes at 4 bytes a pixel: 64 MB
constexpr std::size_t kMaxImageBytes = 32u << 20;
constexpr int kMaxBorderDots = 200;
constexpr float kItalicShear = 0.2f; // the slant of italic: x moves right by a fifth of the height

// ---------------------------------------------------------------------------
// Messages

std::u16string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return Utf8ToUtf16(buffer);
}

std::u16string FieldFault(std::u16string_view field, std::u16string_view what) {
  return u"поле \"" + std::u16string(field) + u"\": " + std::u16string(what);
}

// ---------------------------------------------------------------------------
// Bitmaps

// Dots being drawn: 0 black, 255 white, everything outside ignored.
struct TCanvas {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Dots;

  TCanvas(int width, int height)
      : Width(width), Height(height),
        Dots(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 255) {}
  void Set(int x, int y, std::uint8_t dot) {
    if (x >= 0 && y >= 0 && x < Width && y < Height)
      Dots[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)] = dot;
  }
  std::uint8_t At(int x, int y) const {
    return Dots[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)];
  }
  void Fill(int x0, int y0, int x1, int y1, std::uint8_t dot) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, Width);
    y1 = std::min(y1, Height);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        Dots[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(x)] =
            dot;
  }
};

// A box on the label in dots (left, top, width, height), and its content's
// size: the box's sides swapped for a quarter turn.
struct TDotBox {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  int Turn = 0; // quarter turns counter-clockwise
  // The box's measures before the label's edge cut them (kept to a little
  // past that edge): where the right and bottom borders go.
  int OuterWidth = 0;
  int OuterHeight = 0;
  int ContentWidth() const { return Turn % 2 ? Height : Width; }
  int ContentHeight() const { return Turn % 2 ? Width : Height; }
};

// Copies content (ContentWidth x ContentHeight) into its box turned
// counter-clockwise; opaque: white dots too, else only the black ones.
void Place(const TCanvas& content, const TDotBox& box, bool opaque, TCanvas& label) {
  const int cw = content.Width;
  const int ch = content.Height;
  for (int y = 0; y < ch; ++y)
    for (int x = 0; x < cw; ++x) {
      const std::uint8_t dot = content.At(x, y);
      if (!opaque && dot != 0)
        continue;
      int bx = x;
      int by = y;
      switch (box.Turn) {
      case 1: // the content's top edge becomes the box's left edge
        bx = y;
        by = cw - 1 - x;
        break;
      case 2:
        bx = cw - 1 - x;
        by = ch - 1 - y;
        break;
      case 3:
        bx = ch - 1 - y;
        by = x;
        break;
      default:
        break;
      }
      label.Set(box.X + bx, box.Y + by, dot);
    }
}

// ---------------------------------------------------------------------------
// Borders

void DrawBorderLine(TCanvas& label, int x0, int y0, int x1, int y1, bool horizontal, TLineStyle style,
                    int width) {
  // x0..x1, y0..y1: the band of the side, width dots across.
  const int length = horizontal ? x1 - x0 : y1 - y0;
  const int period = style == TLineStyle::Dotted ? 2 * width : 6 * width;
  const int on = style == TLineStyle::Dotted ? width : 4 * width;
  for (int i = 0; i < length; ++i) {
    if ((style == TLineStyle::Dotted || style == TLineStyle::Dashed) && i % period >= on)
      continue;
    for (int j = 0; j < width; ++j) {
      // Double: two lines of a third of the width each, apart by a third.
      if (style == TLineStyle::Double && width >= 3 && j >= width / 3 && j < width - width / 3)
        continue;
      if (horizontal)
        label.Set(x0 + i, y0 + j, 0);
      else
        label.Set(x0 + j, y0 + i, 0);
    }
  }
}

void DrawBorders(TCanvas& label, const TDotBox& box, const TBorders& borders) {
  const int w = std::min(borders.WidthDots, std::max(1, std::min(box.OuterWidth, box.OuterHeight)));
  const int x1 = box.X + box.OuterWidth;
  const int y1 = box.Y + box.OuterHeight;
  if (borders.Top)
    DrawBorderLine(label, box.X, box.Y, x1, box.Y + w, true, borders.Style, w);
  if (borders.Bottom)
    DrawBorderLine(label, box.X, y1 - w, x1, y1, true, borders.Style, w);
  if (borders.Left)
    DrawBorderLine(label, box.X, box.Y, box.X + w, y1, false, borders.Style, w);
  if (borders.Right)
    DrawBorderLine(label, x1 - w, box.Y, x1, y1, false, borders.Style, w);
}

// ---------------------------------------------------------------------------
// Text

struct TFace {
  stbtt_fontinfo Info{};
  bool Ready = false;
};

const TFace& Face(bool bold) {
  static const std::array<TFace, 2> faces = [] {
    std::array<TFace, 2> made;
    made[0].Ready =
        stbtt_InitFont(&made[0].Info, kDejaVuSans, stbtt_GetFontOffsetForIndex(kDejaVuSans, 0)) != 0;
    made[1].Ready =
        stbtt_InitFont(&made[1].Info, kDejaVuSansBold, stbtt_GetFontOffsetForIndex(kDejaVuSansBold, 0)) != 0;
    return made;
  }();
  return faces[bold ? 1 : 0];
}

// A run of text in one face and size, measured in dots.
struct TFont {
  const stbtt_fontinfo* Info = nullptr;
  float Scale = 0; // dots per font unit
  int Ascent = 0;  // dots above the baseline
  int LineHeight = 0;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  float Em = 0; // dots

  TFont(bool bold, double points, int dpi) {
    const TFace& face = Face(bold);
    Info = &face.Info;
    Em = static_cast<float>(points * dpi / 72.0);
    Scale = stbtt_ScaleForMappingEmToPixels(Info, Em);
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(Info, &ascent, &descent, &gap);
    Ascent = static_cast<int>(std::lround(ascent * Scale));
    LineHeight = std::max(1, static_cast<int>(std::lround((ascent - descent + gap) * Scale)));
  }
  int Advance(char32_t c, char32_t next) const {
    int advance = 0, bearing = 0;
    const int glyph = stbtt_FindGlyphIndex(Info, static_cast<int>(c));
    stbtt_GetGlyphHMetrics(Info, glyph, &advance, &bearing);
    float dots = advance * Scale;
    if (next != 0)
      dots +=
          stbtt_GetGlyphKernAdvance(Info, glyph, stbtt_FindGlyphIndex(Info, static_cast<int>(next))) * Scale;
    return static_cast<int>(std::lround(dots));
  }
  int Width(std::u32string_view text) const {
    int width = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
      width += Advance(text[i], i + 1 < text.size() ? text[i + 1] : 0);
    return width;
  }
};

std::u32string CodePoints(std::u16string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c == u'\t')
      c = u' ';
    if (c == u'\r')
      continue;
    out.push_back(c);
  }
  return out;
}

// Lines of a text: its own line breaks, and when width > 0 a wrap at the last
// space that fits (a word longer than the width broken where it overflows).
std::vector<std::u32string> Lines(const std::u32string& text, const TFont& font, int width) {
  std::vector<std::u32string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(U'\n', start);
    if (end == std::u32string::npos)
      end = text.size();
    std::u32string paragraph = text.substr(start, end - start);
    if (width <= 0) {
      lines.push_back(std::move(paragraph));
    } else {
      while (true) {
        // The longest head that fits, then back to the last space in it.
        int used = 0;
        std::size_t fits = 0;
        while (fits < paragraph.size()) {
          const int advance =
              font.Advance(paragraph[fits], fits + 1 < paragraph.size() ? paragraph[fits + 1] : 0);
          if (used + advance > width && fits > 0)
            break;
          used += advance;
          ++fits;
        }
        if (fits >= paragraph.size()) {
          lines.push_back(std::move(paragraph));
          break;
        }
        std::size_t cut = paragraph.rfind(U' ', fits);
        std::size_t next = cut + 1;
        if (cut == std::u32string::npos || cut == 0) {
          cut = fits;
          next = fits;
        }
        lines.push_back(paragraph.substr(0, cut));
        paragraph.erase(0, next);
        while (!paragraph.empty() && paragraph.front() == U' ')
          paragraph.erase(0, 1);
      }
    }
    start = end + 1;
  }
  return lines;
}

// Draws one glyph with its origin (left end of the baseline) at x, y.
void DrawGlyph(TCanvas& canvas, const TFont& font, char32_t c, float x, int y) {
  const int glyph = stbtt_FindGlyphIndex(font.Info, static_cast<int>(c));
  stbtt_vertex* vertices = nullptr;
  const int count = orvik_glyph_shape(font.Info, glyph, &vertices);
  if (count == ORVIK_STB_NO_MEMORY)
    throw std::bad_alloc();
  if (count <= 0 || vertices == nullptr)
    return;
  std::unique_ptr<stbtt_vertex, void (*)(stbtt_vertex*)> owned(vertices,
                                                               [](stbtt_vertex* v) { orvik_stb_free(v); });
  // Italic: the outline sheared, each point moved right by its height.
  const float shear = font.Italic ? kItalicShear : 0.0f;
  int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN;
  for (int i = 0; i < count; ++i) {
    stbtt_vertex& v = vertices[i];
    if (shear != 0) {
      v.x = static_cast<stbtt_vertex_type>(v.x + std::lround(v.y * shear));
      v.cx = static_cast<stbtt_vertex_type>(v.cx + std::lround(v.cy * shear));
    }
    x0 = std::min(x0, static_cast<int>(v.x));
    x1 = std::max(x1, static_cast<int>(v.x));
    y0 = std::min(y0, static_cast<int>(v.y));
    y1 = std::max(y1, static_cast<int>(v.y));
    if (v.type == STBTT_vcurve) {
      x0 = std::min(x0, static_cast<int>(v.cx));
      x1 = std::max(x1, static_cast<int>(v.cx));
      y0 = std::min(y0, static_cast<int>(v.cy));
      y1 = std::max(y1, static_cast<int>(v.cy));
    }
  }
  const float shift = x - std::floor(x);
  const int ix0 = static_cast<int>(std::floor(x0 * font.Scale + shift));
  const int iy0 = static_cast<int>(std::floor(-y1 * font.Scale));
  const int ix1 = static_cast<int>(std::ceil(x1 * font.Scale + shift));
  const int iy1 = static_cast<int>(std::ceil(-y0 * font.Scale));
  const int left = static_cast<int>(std::floor(x)) + ix0;
  const int top = y + iy0;
  const int w = ix1 - ix0;
  const int h = iy1 - iy0;
  // Nothing to draw, or nothing of it on the canvas.
  if (w <= 0 || h <= 0 || left >= canvas.Width || top >= canvas.Height || left + w <= 0 || top + h <= 0)
    return;
  std::vector<unsigned char> coverage(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  stbtt__bitmap bitmap{w, h, w, coverage.data()};
  if (orvik_rasterize(&bitmap, 0.35f, vertices, count, font.Scale, shift, ix0, iy0) == ORVIK_STB_NO_MEMORY)
    throw std::bad_alloc();
  for (int gy = 0; gy < h; ++gy)
    for (int gx = 0; gx < w; ++gx)
      if (coverage[static_cast<std::size_t>(gy) * static_cast<std::size_t>(w) +
                   static_cast<std::size_t>(gx)] >= 128)
        canvas.Set(left + gx, top + gy, 0);
}

// Draws lines of text into a canvas, each aligned to its width, the block
// aligned to its height.
void DrawLines(TCanvas& canvas, const TFont& font, const std::vector<std::u32string>& lines, TAlign align,
               TAlign valign) {
  const long long block = static_cast<long long>(font.LineHeight) * static_cast<long long>(lines.size());
  long long top = 0;
  if (valign == TAlign::Center)
    top = (canvas.Height - block) / 2;
  else if (valign == TAlign::End)
    top = canvas.Height - block;
  const int rule = std::max(1, static_cast<int>(std::lround(font.Em * 0.06f)));
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const long long lineTop = top + static_cast<long long>(n) * font.LineHeight;
    if (lineTop >= canvas.Height)
      break;
    if (lineTop + font.LineHeight <= 0)
      continue;
    const std::u32string& line = lines[n];
    const int width = font.Width(line);
    int x = 0;
    if (align == TAlign::Center)
      x = (canvas.Width - width) / 2;
    else if (align == TAlign::End)
      x = canvas.Width - width;
    const int baseline = static_cast<int>(lineTop) + font.Ascent;
    float pen = static_cast<float>(x);
    for (std::size_t i = 0; i < line.size() && pen < canvas.Width; ++i) {
      const int advance = font.Advance(line[i], i + 1 < line.size() ? line[i + 1] : 0);
      if (pen + advance + font.Em >= 0 && line[i] != U' ')
        DrawGlyph(canvas, font, line[i], pen, baseline);
      pen += static_cast<float>(advance);
    }
    if (font.Underline) {
      const int y = baseline + std::max(1, static_cast<int>(std::lround(font.Em * 0.1f)));
      canvas.Fill(x, y, x + width, y + rule, 0);
    }
    if (font.StrikeOut) {
      const int y = baseline - static_cast<int>(std::lround(font.Em * 0.3f));
      canvas.Fill(x, y, x + width, y + rule, 0);
    }
  }
}

// ---------------------------------------------------------------------------
// Placing items

class TDrawer {
public:
  TDrawer(int dpi, TCanvas& label) : dpi_(dpi), label_(label) {}

  std::u16string Text(const TTextItem& item);
  std::u16string Barcode(const TBarcodeItem& item);
  std::u16string Image(const TImageItem& item);

private:
  int Dots(double mm) const { return static_cast<int>(std::lround(mm * dpi_ / kMmPerInch)); }
  // The item's box in dots, a zero side taking the content's own measure
  // (naturalWidth x naturalHeight, upright); each side kept to what reaches
  // the label's far edge, so that no content is larger than the label.
  TDotBox BoxOf(const TBox& box, long long naturalWidth, long long naturalHeight) const;
  // The box's measures checked: a reason naming the field, or empty.
  static std::u16string CheckBox(const TBox& box, std::u16string_view field, bool sizeNeeded);

  int dpi_;
  TCanvas& label_;
};

std::u16string TDrawer::CheckBox(const TBox& box, std::u16string_view field, bool sizeNeeded) {
  const auto bad = [](double v) { return !std::isfinite(v) || v < 0 || v > kMaxSideMm; };
  if (bad(box.Left) || bad(box.Top))
    return FieldFault(field, u"неверное положение (Left " + Number(box.Left) + u", Top " + Number(box.Top) +
                                 u"), ожидается от 0 до 500 мм");
  if (bad(box.Width) || bad(box.Height))
    return FieldFault(field, u"неверный размер (Width " + Number(box.Width) + u", Height " +
                                 Number(box.Height) + u"), ожидается от 0 до 500 мм");
  if (sizeNeeded && box.Height <= 0)
    return FieldFault(field, u"не задана высота (Height)");
  if (box.Orientation != 0 && box.Orientation != 90 && box.Orientation != 180 && box.Orientation != 270)
    return FieldFault(field, u"неверный поворот (Orientation) " + Number(box.Orientation) +
                                 u", ожидается 0, 90, 180 или 270");
  return {};
}

TDotBox TDrawer::BoxOf(const TBox& box, long long naturalWidth, long long naturalHeight) const {
  TDotBox out;
  out.Turn = box.Orientation / 90;
  out.X = Dots(box.Left);
  out.Y = Dots(box.Top);
  const bool turned = out.Turn % 2 != 0;
  long long width = box.Width > 0 ? Dots(box.Width) : (turned ? naturalHeight : naturalWidth);
  long long height = box.Height > 0 ? Dots(box.Height) : (turned ? naturalWidth : naturalHeight);
  out.OuterWidth =
      static_cast<int>(std::clamp<long long>(width, 0, std::max(0, label_.Width - out.X) + kMaxBorderDots));
  out.OuterHeight =
      static_cast<int>(std::clamp<long long>(height, 0, std::max(0, label_.Height - out.Y) + kMaxBorderDots));
  width = std::clamp<long long>(width, 0, std::max(0, label_.Width - out.X));
  height = std::clamp<long long>(height, 0, std::max(0, label_.Height - out.Y));
  out.Width = static_cast<int>(width);
  out.Height = static_cast<int>(height);
  return out;
}

std::u16string CheckBorders(const TBorders& borders, std::u16string_view field) {
  if (borders.WidthDots < 1 || borders.WidthDots > kMaxBorderDots)
    return FieldFault(field, u"неверная ширина рамки (BorderWidth) " + Number(borders.WidthDots) +
                                 u", ожидается от 1 до 200 точек");
  return {};
}

std::u16string TDrawer::Text(const TTextItem& item) {
  if (std::u16string fault = CheckBox(item.Box, item.FieldName, false); !fault.empty())
    return fault;
  if (std::u16string fault = CheckBorders(item.Borders, item.FieldName); !fault.empty())
    return fault;
  if (!std::isfinite(item.FontSize) || item.FontSize <= 0 || item.FontSize > kMaxFontSize)
    return FieldFault(item.FieldName, u"неверный размер шрифта (FontSize) " + Number(item.FontSize) +
                                          u", ожидается от 1 до 200");
  if (item.Text.size() > kMaxTextLength)
    return FieldFault(item.FieldName, u"слишком длинный текст (" +
                                          Number(static_cast<double>(item.Text.size())) +
                                          u" символов), допустимо до 4096");
  TFont font(item.Bold, item.FontSize, dpi_);
  font.Italic = item.Italic;
  font.Underline = item.Underline;
  font.StrikeOut = item.StrikeOut;
  const std::u32string text = CodePoints(item.Text);
  // The text keeps clear of its borders: a border's width and a dot more on
  // each side that has one, on the label (left, top, right, bottom).
  const TBorders& borders = item.Borders;
  const int gap = borders.WidthDots + 1;
  const int inset[4] = {borders.Left ? gap : 0, borders.Top ? gap : 0, borders.Right ? gap : 0,
                        borders.Bottom ? gap : 0};
  const bool turned = item.Box.Orientation % 180 != 0;
  const int insetAcross = turned ? inset[1] + inset[3] : inset[0] + inset[2];
  const int insetAlong = turned ? inset[0] + inset[2] : inset[1] + inset[3];
  // The width the lines wrap to: the content's across the box.
  const double across = turned ? item.Box.Height : item.Box.Width;
  const int wrap = item.Multiline && across > 0 ? std::max(1, Dots(across) - insetAcross) : 0;
  const std::vector<std::u32string> lines = Lines(text, font, wrap);
  long long naturalWidth = insetAcross;
  long long longest = 0;
  for (const std::u32string& line : lines)
    longest = std::max<long long>(longest, font.Width(line));
  naturalWidth += longest;
  // The slant of italic reaches past the last advance.
  if (item.Italic)
    naturalWidth += static_cast<long long>(font.Ascent * kItalicShear);
  const long long naturalHeight =
      insetAlong + static_cast<long long>(font.LineHeight) * static_cast<long long>(lines.size());
  const TDotBox box = BoxOf(item.Box, naturalWidth, naturalHeight);
  if (box.Width > 0 && box.Height > 0) {
    TDotBox inner = box;
    inner.X += inset[0];
    inner.Y += inset[1];
    inner.Width = std::max(0, box.Width - inset[0] - inset[2]);
    inner.Height = std::max(0, box.Height - inset[1] - inset[3]);
    if (inner.Width > 0 && inner.Height > 0) {
      TCanvas content(inner.ContentWidth(), inner.ContentHeight());
      DrawLines(content, font, lines, item.Align, item.VAlign);
      Place(content, inner, false, label_);
    }
    DrawBorders(label_, box, item.Borders);
  }
  return {};
}

// ---------------------------------------------------------------------------
// Barcodes

struct TLabelBarcodeType {
  std::u16string_view Name;
  TBarcodeType Type;
};

constexpr TLabelBarcodeType kBarcodeTypes[] = {
    {u"EAN8", TBarcodeType::EAN8},
    {u"EAN13", TBarcodeType::EAN13},
    {u"EAN128", TBarcodeType::EAN128},
    {u"Code39", TBarcodeType::CODE39},
    {u"Code128", TBarcodeType::CODE128},
    {u"Code16k", TBarcodeType::CODE16K},
    {u"Code93", TBarcodeType::CODE93},
    {u"PDF417", TBarcodeType::PDF417},
    {u"DataMatrix", TBarcodeType::DataMatrix},
    {u"QRCode", TBarcodeType::QR},
    {u"ITF14", TBarcodeType::ITF14},
    {u"EAN13Addon2", TBarcodeType::EAN13Addon2},
    {u"EAN13Addon5", TBarcodeType::EAN13Addon5},
    {u"GS1DataBarExpandedStacked", TBarcodeType::GS1DataBarExpandedStacked},
};

char16_t Folded(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

std::optional<TBarcodeType> LabelBarcodeType(std::u16string_view name) {
  for (const TLabelBarcodeType& known : kBarcodeTypes)
    if (known.Name.size() == name.size() &&
        std::equal(name.begin(), name.end(), known.Name.begin(),
                   [](char16_t a, char16_t b) { return Folded(a) == Folded(b); }))
      return known.Type;
  return std::nullopt;
}

bool AllDigits(std::u16string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// The value as the encoder takes it: a GTIN with its check digit (added when
// the printer computes it, verified when given), an EAN with add-on as
// "<EAN-13>+<add-on>". Empty answer: fine; else the reason.
std::u16string EncoderValue(TBarcodeType type, const TBarcodeItem& item, std::u16string& value) {
  value = item.Value;
  const auto gtin = [&](std::u16string& digits, std::size_t length) -> std::u16string {
    const std::size_t given = item.CheckSymbol ? length : length - 1;
    if (digits.size() != given || !AllDigits(digits))
      return FieldFault(item.FieldName, u"неверное значение штрихкода \"" + digits + u"\", ожидается " +
                                            Number(static_cast<double>(given)) + u" цифр");
    const std::string body = Utf16ToUtf8(std::u16string_view(digits).substr(0, length - 1));
    const char16_t check = static_cast<char16_t>(GtinCheckDigit(body));
    if (!item.CheckSymbol)
      digits.push_back(check);
    else if (digits.back() != check)
      return FieldFault(item.FieldName, u"неверная контрольная цифра штрихкода \"" + digits + u"\"");
    return {};
  };
  switch (type) {
  case TBarcodeType::EAN8:
    return gtin(value, 8);
  case TBarcodeType::EAN13:
    return gtin(value, 13);
  case TBarcodeType::ITF14:
    return gtin(value, 14);
  case TBarcodeType::EAN13Addon2:
  case TBarcodeType::EAN13Addon5: {
    // The add-on is the last digits; "+" or a blank may part it from the EAN.
    const std::size_t addon = type == TBarcodeType::EAN13Addon2 ? 2 : 5;
    if (value.size() <= addon || !AllDigits(std::u16string_view(value).substr(value.size() - addon)))
      return FieldFault(item.FieldName, u"неверное значение штрихкода \"" + value +
                                            u"\", ожидается EAN-13 и " + Number(static_cast<double>(addon)) +
                                            u" цифры дополнения");
    std::u16string ean = value.substr(0, value.size() - addon);
    const std::u16string digits = value.substr(value.size() - addon);
    if (!ean.empty() && (ean.back() == u'+' || ean.back() == u' '))
      ean.pop_back();
    if (std::u16string fault = gtin(ean, 13); !fault.empty())
      return fault;
    value = ean + u"+" + digits;
    return {};
  }
  case TBarcodeType::EAN128:
  case TBarcodeType::GS1DataBarExpandedStacked:
    if (value.empty() || (value[0] != u'(' && value[0] != u'['))
      return FieldFault(item.FieldName,
                        u"неверное значение штрихкода GS1, ожидаются идентификаторы применения "
                        u"в скобках: (01)04601234567893");
    return {};
  default:
    if (value.empty())
      return FieldFault(item.FieldName, u"пустое значение штрихкода");
    return {};
  }
}

// Quiet zones in modules, each side: linear codes' ten, the 2D codes' own.
int QuietModules(TBarcodeType type) {
  switch (type) {
  case TBarcodeType::QR:
    return 4;
  case TBarcodeType::DataMatrix:
  case TBarcodeType::PDF417:
  case TBarcodeType::CODE16K:
  case TBarcodeType::GS1DataBarExpandedStacked:
    return 2;
  default:
    return 10;
  }
}

std::u16string TDrawer::Barcode(const TBarcodeItem& item) {
  if (std::u16string fault = CheckBox(item.Box, item.FieldName, true); !fault.empty())
    return fault;
  const std::optional<TBarcodeType> type = LabelBarcodeType(item.Type);
  if (!type) {
    std::u16string known;
    for (const TLabelBarcodeType& name : kBarcodeTypes)
      known += (known.empty() ? u"" : u", ") + std::u16string(name.Name);
    return FieldFault(item.FieldName,
                      u"неизвестный тип штрихкода (Type) \"" + item.Type + u"\", ожидается " + known);
  }
  if (item.PrintHri && (!std::isfinite(item.FontSize) || item.FontSize <= 0 || item.FontSize > kMaxFontSize))
    return FieldFault(item.FieldName, u"неверный размер шрифта (FontSize) " + Number(item.FontSize) +
                                          u", ожидается от 1 до 200");
  if (item.Value.size() > kMaxBarcodeValue)
    return FieldFault(item.FieldName, u"слишком длинное значение штрихкода");
  std::u16string value;
  if (std::u16string fault = EncoderValue(*type, item, value); !fault.empty())
    return fault;
  TBarcodeRefusal refusal = TBarcodeRefusal::None;
  const TBarcodeSymbol symbol = EncodeBarcode(*type, value, kBarcodeMaxModules, &refusal);
  if (symbol.Empty()) {
    switch (refusal) {
    case TBarcodeRefusal::TooLong:
    case TBarcodeRefusal::None: // wider or higher than any symbol drawn
      return FieldFault(item.FieldName, u"слишком длинное значение штрихкода " + item.Type);
    case TBarcodeRefusal::CheckDigit:
      return FieldFault(item.FieldName, u"неверная контрольная цифра в значении штрихкода " + item.Type);
    case TBarcodeRefusal::InvalidData:
      break;
    }
    return FieldFault(item.FieldName,
                      u"недопустимое значение штрихкода " + item.Type + u": \"" + item.Value + u"\"");
  }
  const int natural = std::max(1, static_cast<int>(std::lround(2.0 * dpi_ / 203.0)));
  const int quiet = QuietModules(*type);
  const bool turned = item.Box.Orientation % 180 != 0;
  // Height is the bars' height. Turned a quarter with no Width, the box is
  // as wide as the bars are high and as high as the symbol is long.
  TBox placed = item.Box;
  if (turned && placed.Width <= 0) {
    placed.Width = placed.Height;
    placed.Height = 0;
  }
  const double acrossMm = turned ? placed.Height : placed.Width;
  const double alongMm = turned ? placed.Width : placed.Height;
  const int along = Dots(alongMm); // the content's height: Height is required, so never 0
  int module = natural;
  int quietDots = 0;
  long long naturalWidth = 0;
  long long naturalHeight = along;
  if (symbol.Linear) {
    const int across = Dots(acrossMm);
    if (acrossMm > 0) {
      // As many whole dots a module as fit, with quiet zones where there is room.
      module = across / (symbol.Width + 2 * quiet);
      if (module >= 1)
        quietDots = quiet * module;
      else
        module = across / symbol.Width;
      if (module < 1)
        return FieldFault(item.FieldName, u"штрихкод не помещается в ширину " + Number(acrossMm) +
                                              u" мм: нужно " + Number(static_cast<double>(symbol.Width)) +
                                              u" точек");
    } else {
      quietDots = quiet * module;
    }
    naturalWidth = static_cast<long long>(symbol.Width) * module + 2LL * quietDots;
  } else {
    // Square modules as large as fit both sides (the height alone when the
    // width is the symbol's own), with quiet zones where there is room.
    const int across = acrossMm > 0 ? Dots(acrossMm) : INT_MAX;
    const auto fit = [&](int margin) {
      return std::min(along / (symbol.Height + 2 * margin), across / (symbol.Width + 2 * margin));
    };
    module = fit(quiet);
    if (module >= 1) {
      quietDots = quiet * module;
    } else {
      module = fit(0);
      if (module < 1)
        return FieldFault(item.FieldName, u"штрихкод не помещается в поле: нужно не менее " +
                                              Number(static_cast<double>(symbol.Width)) + u" x " +
                                              Number(static_cast<double>(symbol.Height)) + u" точек");
    }
    naturalWidth = static_cast<long long>(symbol.Width) * module + 2LL * quietDots;
  }
  const TDotBox box = BoxOf(placed, naturalWidth, naturalHeight);
  if (box.Width <= 0 || box.Height <= 0)
    return {};
  TCanvas content(box.ContentWidth(), box.ContentHeight());
  const long long symbolWidth = static_cast<long long>(symbol.Width) * module;
  const int left = static_cast<int>(std::max<long long>(0, (content.Width - symbolWidth) / 2));
  if (symbol.Linear) {
    int barsHeight = content.Height;
    std::optional<TFont> font;
    if (item.PrintHri && !symbol.Text.empty()) {
      font.emplace(false, item.FontSize, dpi_);
      barsHeight = std::max(content.Height / 2, content.Height - font->LineHeight);
    }
    for (int x = 0; x < symbol.Width; ++x)
      if (symbol.At(x, 0))
        content.Fill(left + x * module, 0, left + (x + 1) * module, barsHeight, 0);
    if (font) {
      TCanvas line(content.Width, content.Height - barsHeight);
      DrawLines(line, *font, {CodePoints(Utf8ToUtf16(symbol.Text))}, TAlign::Center, TAlign::Start);
      for (int y = 0; y < line.Height; ++y)
        for (int x = 0; x < line.Width; ++x)
          if (line.At(x, y) == 0)
            content.Set(x, barsHeight + y, 0);
    }
  } else {
    const long long symbolHeight = static_cast<long long>(symbol.Height) * module;
    const int top = static_cast<int>(std::max<long long>(0, (content.Height - symbolHeight) / 2));
    for (int y = 0; y < symbol.Height; ++y)
      for (int x = 0; x < symbol.Width; ++x)
        if (symbol.At(x, y))
          content.Fill(left + x * module, top + y * module, left + (x + 1) * module, top + (y + 1) * module,
                       0);
  }
  Place(content, box, true, label_);
  return {};
}

// ---------------------------------------------------------------------------
// Images

struct TStbiDeleter {
  void operator()(unsigned char* pixels) const { stbi_image_free(pixels); }
};

std::u16string TDrawer::Image(const TImageItem& item) {
  if (std::u16string fault = CheckBox(item.Box, item.FieldName, false); !fault.empty())
    return fault;
  if (std::u16string fault = CheckBorders(item.Borders, item.FieldName); !fault.empty())
    return fault;
  if (item.Data.empty()) {
    // No picture: the box and its borders only.
    const TDotBox box = BoxOf(item.Box, 0, 0);
    DrawBorders(label_, box, item.Borders);
    return {};
  }
  if (item.Data.size() > kMaxImageBytes)
    return FieldFault(item.FieldName, u"слишком большой файл изображения, допустимо до 32 МБ");
  const auto* bytes = reinterpret_cast<const stbi_uc*>(item.Data.data());
  const int length = static_cast<int>(item.Data.size());
  int width = 0, height = 0, channels = 0;
  const int known = orvik_image_info(bytes, length, &width, &height, &channels);
  if (known == ORVIK_STB_NO_MEMORY)
    throw std::bad_alloc();
  if (known == 0)
    return FieldFault(item.FieldName, u"изображение не читается: ожидается PNG, JPEG, BMP или GIF");
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
      static_cast<long long>(width) * height > kMaxImagePixels)
    return FieldFault(item.FieldName, u"слишком большое изображение " + Number(width) + u" x " +
                                          Number(height) +
                                          u" точек, допустимо до 8192 точек в сторону и 16 миллионов всего");
  // Grey with alpha, laid over white paper.
  int outOfMemory = 0;
  std::unique_ptr<unsigned char, TStbiDeleter> pixels(
      orvik_image_load(bytes, length, &width, &height, &channels, 2, &outOfMemory));
  if (outOfMemory != 0)
    throw std::bad_alloc();
  if (!pixels || width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
    return FieldFault(item.FieldName, u"изображение повреждено и не читается");
  // The picture's own size is one dot a pixel; one side given, the other
  // keeps its proportion.
  const bool turned = item.Box.Orientation % 180 != 0;
  const double acrossMm = turned ? item.Box.Height : item.Box.Width;
  const double alongMm = turned ? item.Box.Width : item.Box.Height;
  long long naturalWidth = width;
  long long naturalHeight = height;
  if (acrossMm > 0 && alongMm <= 0)
    naturalHeight = std::max<long long>(1, static_cast<long long>(Dots(acrossMm)) * height / width);
  else if (alongMm > 0 && acrossMm <= 0)
    naturalWidth = std::max<long long>(1, static_cast<long long>(Dots(alongMm)) * width / height);
  const TDotBox box = BoxOf(item.Box, naturalWidth, naturalHeight);
  if (box.Width > 0 && box.Height > 0) {
    // The content's full size (before the label clips the box) to scale to.
    const long long fullWidth = std::max<long long>(1, acrossMm > 0 ? Dots(acrossMm) : naturalWidth);
    const long long fullHeight = std::max<long long>(1, alongMm > 0 ? Dots(alongMm) : naturalHeight);
    TCanvas content(box.ContentWidth(), box.ContentHeight());
    static constexpr std::uint8_t kBayer[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < content.Height; ++y) {
      // The source rows and columns under this dot: averaged when the
      // picture is made smaller, the nearest pixel when larger.
      const long long sy0 = static_cast<long long>(y) * height / fullHeight;
      const long long sy1 = std::max(sy0 + 1, static_cast<long long>(y + 1) * height / fullHeight);
      for (int x = 0; x < content.Width; ++x) {
        const long long sx0 = static_cast<long long>(x) * width / fullWidth;
        const long long sx1 = std::max(sx0 + 1, static_cast<long long>(x + 1) * width / fullWidth);
        long long sum = 0, count = 0;
        for (long long sy = sy0; sy < sy1 && sy < height; ++sy)
          for (long long sx = sx0; sx < sx1 && sx < width; ++sx) {
            const unsigned char* p = pixels.get() + (sy * width + sx) * 2;
            sum += 255 - p[1] * (255 - p[0]) / 255;
            ++count;
          }
        const long long grey = count > 0 ? sum / count : 255;
        // Ordered dither: the 4x4 Bayer threshold of the dot's position.
        const long long threshold = (kBayer[y & 3][x & 3] * 16 + 8);
        content.Set(x, y, grey < threshold ? 0 : 255);
      }
    }
    Place(content, box, true, label_);
  }
  DrawBorders(label_, box, item.Borders);
  return {};
}

} // namespace

std::u16string DrawLabel(const TLabelPicture& label, int dotsPerInch, TBitmap& bitmap) {
  bitmap = {};
  if (dotsPerInch < kMinDpi || dotsPerInch > kMaxDpi)
    return u"неверное разрешение принтера " + Number(dotsPerInch) +
           u" точек на дюйм, ожидается от 100 до 1200";
  const auto side = [](double mm) { return std::isfinite(mm) && mm > 0 && mm <= kMaxSideMm; };
  if (!side(label.Width))
    return u"неверная ширина этикетки (Width) " + Number(label.Width) +
           u" мм, ожидается больше 0 и до 500 мм";
  if (!side(label.Height))
    return u"неверная высота этикетки (Height) " + Number(label.Height) +
           u" мм, ожидается больше 0 и до 500 мм";
  const int width = std::max(1, static_cast<int>(std::lround(label.Width * dotsPerInch / kMmPerInch)));
  const int height = std::max(1, static_cast<int>(std::lround(label.Height * dotsPerInch / kMmPerInch)));
  if (static_cast<long long>(width) * height > kMaxLabelDots)
    return u"слишком большая этикетка (Width " + Number(label.Width) + u" x Height " + Number(label.Height) +
           u" мм) для разрешения " + Number(dotsPerInch) + u" точек на дюйм";
  if (!Face(false).Ready || !Face(true).Ready)
    return u"шрифт принтера не загружен";
  TCanvas canvas(width, height);
  TDrawer drawer(dotsPerInch, canvas);
  for (const TLabelItem& item : label.Items) {
    std::u16string fault;
    if (const auto* text = std::get_if<TTextItem>(&item))
      fault = drawer.Text(*text);
    else if (const auto* barcode = std::get_if<TBarcodeItem>(&item))
      fault = drawer.Barcode(*barcode);
    else if (const auto* image = std::get_if<TImageItem>(&item))
      fault = drawer.Image(*image);
    if (!fault.empty())
      return fault;
  }
  bitmap.Width = width;
  bitmap.Height = height;
  bitmap.Dots = std::move(canvas.Dots);
  return {};
}

namespace {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> made{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      made[n] = c;
    }
    return made;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

} // namespace

std::string EncodePng(const TBitmap& bitmap, int dotsPerInch) {
  if (bitmap.Width <= 0 || bitmap.Height <= 0 ||
      bitmap.Dots.size() != static_cast<std::size_t>(bitmap.Width) * static_cast<std::size_t>(bitmap.Height))
    return {};
  // Empty when memory ran out inside stb's writer.
  int length = 0;
  const std::unique_ptr<unsigned char, void (*)(void*)> written(
      orvik_png_to_mem(bitmap.Dots.data(), bitmap.Width, bitmap.Width, bitmap.Height, 1, &length),
      orvik_stb_free);
  if (!written || length <= 0)
    return {};
  std::string png(reinterpret_cast<const char*>(written.get()), static_cast<std::size_t>(length));
  // The signature (8 bytes) and IHDR (4 + 4 + 13 + 4) come first; pHYs
  // follows IHDR: dots per metre both ways, unit 1 (the metre).
  constexpr std::size_t kAfterHeader = 8 + 25;
  if (png.size() < kAfterHeader || png.compare(12, 4, "IHDR") != 0)
    return {};
  if (dotsPerInch > 0) {
    const auto perMetre = static_cast<std::uint32_t>(std::lround(dotsPerInch / 0.0254));
    std::string chunk;
    PutBigEndian(chunk, 9);
    chunk += "pHYs";
    PutBigEndian(chunk, perMetre);
    PutBigEndian(chunk, perMetre);
    chunk.push_back(1);
    PutBigEndian(chunk, Crc32(reinterpret_cast<const std::uint8_t*>(chunk.data()) + 4, chunk.size() - 4));
    png.insert(kAfterHeader, chunk);
  }
  return png;
}

} // namespace label
