// The label's dots: sizes at each resolution, barcodes that read back to
// their values, content kept to its box whatever its turn, and every
// refusal naming its field.
#include "Barcode.h"
#include "LabelPicture.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <orvik_stb.h>
#include <stb_image.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>

namespace {

using namespace label;

int Dots(double mm, int dpi) {
  return static_cast<int>(std::lround(mm * dpi / 25.4));
}

// Black dots inside and outside a rectangle of dots.
struct TCount {
  long long Inside = 0;
  long long Outside = 0;
};

TCount CountBlack(const TBitmap& bitmap, int x0, int y0, int x1, int y1) {
  TCount count;
  for (int y = 0; y < bitmap.Height; ++y)
    for (int x = 0; x < bitmap.Width; ++x)
      if (bitmap.Dots[static_cast<size_t>(y) * bitmap.Width + x] == 0)
        (x >= x0 && x < x1 && y >= y0 && y < y1 ? count.Inside : count.Outside)++;
  return count;
}

TBarcodeItem Barcode(std::u16string type, std::u16string value, double width = 0, double height = 20) {
  TBarcodeItem item;
  item.FieldName = u"Код";
  item.Type = std::move(type);
  item.Value = std::move(value);
  item.Box = {5, 5, width, height, 0};
  return item;
}

TLabelPicture OneItem(TLabelItem item, double width = 80, double height = 50) {
  TLabelPicture label;
  label.Width = width;
  label.Height = height;
  label.Items.push_back(std::move(item));
  return label;
}

TBitmap Draw(const TLabelPicture& label, int dpi) {
  TBitmap bitmap;
  const std::u16string fault = DrawLabel(label, dpi, bitmap);
  EXPECT_EQ(Utf16ToUtf8(fault), "");
  return bitmap;
}

std::string Refusal(const TLabelPicture& label, int dpi = 203) {
  TBitmap bitmap;
  return Utf16ToUtf8(DrawLabel(label, dpi, bitmap));
}

#ifndef _WIN32
// What zbarimg reads in a PNG: its symbols' data, one a line.
std::string Decode(const std::string& png, const std::string& name) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / ("labeldraw_" + name + ".png");
  std::ofstream(file, std::ios::binary) << png;
  const std::string command =
      "zbarimg -q --raw -Sean2.enable -Sean5.enable -Sqrcode.binary '" + file.string() + "' 2>/dev/null";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
      out += buffer;
    pclose(pipe);
  }
  std::filesystem::remove(file);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  return out;
}
bool HaveZbar() {
  return std::system("zbarimg --version >/dev/null 2>&1") == 0;
}
#endif

TEST(LabelDrawing, PngHasTheLabelsSizeAndResolution) {
  for (const int dpi : {203, 300, 600}) {
    TTextItem text;
    text.Text = u"Молоко 3,2%";
    text.Box = {2, 2, 0, 0, 0};
    const TBitmap bitmap = Draw(OneItem(text, 58, 40), dpi);
    ASSERT_EQ(bitmap.Width, Dots(58, dpi));
    ASSERT_EQ(bitmap.Height, Dots(40, dpi));
    const std::string png = EncodePng(bitmap, dpi);
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()), static_cast<int>(png.size()),
                              &width, &height, &channels, 1),
        stbi_image_free);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(width, bitmap.Width);
    EXPECT_EQ(height, bitmap.Height);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(0, std::memcmp(pixels.get(), bitmap.Dots.data(), bitmap.Dots.size()));
    // pHYs right after IHDR: dots per metre both ways, the metre as unit.
    ASSERT_GT(png.size(), 54u);
    EXPECT_EQ(png.substr(37, 4), "pHYs");
    const auto byte = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(png[i])); };
    const unsigned perMetre = byte(41) << 24 | byte(42) << 16 | byte(43) << 8 | byte(44);
    EXPECT_EQ(perMetre, static_cast<unsigned>(std::lround(dpi / 0.0254)));
    EXPECT_EQ(byte(49), 1u);
    // The dots are only black and white.
    for (std::uint8_t dot : bitmap.Dots)
      ASSERT_TRUE(dot == 0 || dot == 255);
    EXPECT_GT(CountBlack(bitmap, 0, 0, bitmap.Width, bitmap.Height).Inside, 50);
  }
}

struct TReadable {
  std::u16string Type;
  std::u16string Value;
  std::string Read; // what zbar gives back
};

TEST(LabelDrawing, BarcodesReadBackToTheirValues) {
#ifndef _WIN32
  const bool zbar = HaveZbar();
#endif
  const TReadable codes[] = {
      {u"EAN8", u"46012340", "46012340"},
      {u"ean13", u"4601234567893", "4601234567893"},
      {u"Code39", u"ORVIK-39", "ORVIK-39"},
      {u"Code93", u"Orvik 93", "Orvik 93"},
      {u"Code128", u"Orvik-128/x", "Orvik-128/x"},
      {u"EAN128", u"(01)04601234567893(10)ABC", "010460123456789310ABC"},
      {u"ITF14", u"14601234567890", "14601234567890"},
      {u"QRCode", u"Молоко https://orvik/?a=1", "Молоко https://orvik/?a=1"},
      {u"EAN13Addon2", u"460123456789312", "12\n4601234567893"},
      {u"EAN13Addon5", u"4601234567893 12345", "12345\n4601234567893"},
      {u"GS1DataBarExpandedStacked", u"(01)04601234567893(3103)000123", "01046012345678933103000123"},
  };
  for (const int dpi : {203, 300}) {
    for (const TReadable& code : codes) {
      SCOPED_TRACE(Utf16ToUtf8(code.Type) + " at " + std::to_string(dpi));
      TBarcodeItem item = Barcode(code.Type, code.Value, 0, 20);
      item.FontSize = 8;
      const TBitmap bitmap = Draw(OneItem(item, 90, 40), dpi);
      ASSERT_EQ(bitmap.Width, Dots(90, dpi));
      const std::string png = EncodePng(bitmap, dpi);
      ASSERT_FALSE(png.empty());
#ifndef _WIN32
      if (zbar) {
        std::string read = Decode(png, Utf16ToUtf8(code.Type));
        // zbar gives GS1 data without its parentheses, an add-on before its EAN.
        EXPECT_EQ(read, code.Read);
      }
#endif
      // Within the box: 5 mm from the top, 20 mm high.
      const TCount count = CountBlack(bitmap, Dots(5, dpi), Dots(5, dpi), bitmap.Width, Dots(25, dpi) + 1);
      EXPECT_GT(count.Inside, 100);
      EXPECT_EQ(count.Outside, 0);
    }
  }
}

// The codes zbar cannot read (Code 16K, PDF417 as zbar is built,
// DataMatrix): every dark module a square of whole dots, as large as fits
// the box with two modules of quiet zone, and nothing outside the box.
TEST(LabelDrawing, SymbolsZbarCannotReadHaveWholeModules) {
  struct TCase {
    const char16_t* Type;
    TBarcodeType Encoded;
    double Width, Height;
  };
  const TCase cases[] = {{u"DataMatrix", TBarcodeType::DataMatrix, 10, 10},
                         {u"Code16k", TBarcodeType::CODE16K, 60, 25},
                         {u"PDF417", TBarcodeType::PDF417, 60, 25}};
  for (const int dpi : {203, 300}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(Utf16ToUtf8(c.Type) + " at " + std::to_string(dpi));
      const std::u16string value = u"ORVIK 0104601234567893";
      const TBarcodeSymbol symbol = EncodeBarcode(c.Encoded, value);
      ASSERT_FALSE(symbol.Empty());
      const int w = Dots(c.Width, dpi), h = Dots(c.Height, dpi);
      const int module = std::min(w / (symbol.Width + 4), h / (symbol.Height + 4));
      ASSERT_GE(module, 1);
      const TBitmap bitmap = Draw(OneItem(Barcode(c.Type, value, c.Width, c.Height)), dpi);
      const int x0 = Dots(5, dpi), y0 = Dots(5, dpi);
      const TCount count = CountBlack(bitmap, x0, y0, x0 + w, y0 + h);
      long long dark = 0;
      for (int y = 0; y < symbol.Height; ++y)
        for (int x = 0; x < symbol.Width; ++x)
          dark += symbol.At(x, y);
      EXPECT_EQ(count.Inside, dark * module * module);
      EXPECT_EQ(count.Outside, 0);
    }
  }
}

TEST(LabelDrawing, CheckDigitIsAddedOrVerified) {
  TBarcodeItem ean = Barcode(u"EAN13", u"460123456789");
  ean.CheckSymbol = false;
  TBitmap added = Draw(OneItem(ean), 203);
  ean.Value = u"4601234567893";
  ean.CheckSymbol = true;
  EXPECT_EQ(added.Dots, Draw(OneItem(ean), 203).Dots);
  ean.Value = u"4601234567894";
  EXPECT_NE(Refusal(OneItem(ean)).find("\"Код\""), std::string::npos);
  TBarcodeItem itf = Barcode(u"ITF14", u"14601234567891");
  EXPECT_NE(Refusal(OneItem(itf)).find("контрольная цифра"), std::string::npos);
  itf.CheckSymbol = false;
  itf.Value = u"1460123456789";
#ifndef _WIN32
  if (HaveZbar()) {
    EXPECT_EQ(Decode(EncodePng(Draw(OneItem(itf), 203), 203), "itf"), "14601234567890");
  }
#endif
}

// Each quarter turn keeps the content in its box (the box stays where it is).
TEST(LabelDrawing, TurnedContentStaysInItsBox) {
  for (const int turn : {0, 90, 180, 270}) {
    SCOPED_TRACE(turn);
    TTextItem text;
    text.FieldName = u"Название";
    text.Text = u"Хлеб ржаной нарезной, 500 г, очень длинное название товара";
    text.FontSize = 12;
    text.Multiline = true;
    text.Box = {10, 10, 30, 30, turn};
    const TBitmap bitmap = Draw(OneItem(text, 60, 60), 203);
    const TCount count = CountBlack(bitmap, Dots(10, 203), Dots(10, 203), Dots(40, 203), Dots(40, 203));
    EXPECT_GT(count.Inside, 500);
    EXPECT_EQ(count.Outside, 0);
    TBarcodeItem code = Barcode(u"Code128", u"ORVIK", 0, 15);
    code.Box = {20, 5, 0, 15, turn};
    const TBitmap bars = Draw(OneItem(code, 60, 60), 203);
    // Turned a quarter, the bars' natural width runs down the box.
    int box[4] = {Dots(20, 203), Dots(5, 203), bars.Width, bars.Height};
    if (turn % 180 == 0)
      box[3] = Dots(20, 203);
    else
      box[2] = Dots(35, 203);
    const TCount barCount = CountBlack(bars, box[0], box[1], box[2], box[3]);
    EXPECT_GT(barCount.Inside, 500);
    EXPECT_EQ(barCount.Outside, 0);
  }
  // The first line of an upright text is at the top; turned half, at the bottom.
  TTextItem text;
  text.Text = u"ВЕРХ";
  text.Box = {0, 0, 40, 40, 0};
  const TBitmap upright = Draw(OneItem(text, 40, 40), 203);
  text.Box.Orientation = 180;
  const TBitmap turned = Draw(OneItem(text, 40, 40), 203);
  const int half = Dots(20, 203);
  EXPECT_EQ(CountBlack(upright, 0, 0, upright.Width, half).Outside, 0);
  EXPECT_EQ(CountBlack(turned, 0, half, turned.Width, turned.Height).Outside, 0);
}

TEST(LabelDrawing, StylesWrapAndBordersChangeTheDots) {
  TTextItem text;
  text.Text = u"Сыр Российский";
  text.Box = {2, 2, 50, 20, 0};
  text.FontSize = 14;
  const long long plain = CountBlack(Draw(OneItem(text), 203), 0, 0, 0, 0).Outside;
  for (bool TTextItem::*style : {&TTextItem::Bold, &TTextItem::Underline, &TTextItem::StrikeOut}) {
    TTextItem styled = text;
    styled.*style = true;
    EXPECT_GT(CountBlack(Draw(OneItem(styled), 203), 0, 0, 0, 0).Outside, plain);
  }
  TTextItem italic = text;
  italic.Italic = true;
  EXPECT_NE(Draw(OneItem(italic), 203).Dots, Draw(OneItem(text), 203).Dots);
  // Wrapped, the second word moves to a second line: black dots below the first.
  TTextItem wrapped = text;
  wrapped.Box.Width = 20;
  wrapped.Multiline = true;
  const TBitmap two = Draw(OneItem(wrapped), 203);
  const int firstLine = Dots(2, 203) + static_cast<int>(14 * 203 / 72.0 * 1.2);
  EXPECT_GT(CountBlack(two, 0, firstLine, two.Width, two.Height).Inside, 50);
  wrapped.Multiline = false;
  EXPECT_EQ(CountBlack(Draw(OneItem(wrapped), 203), 0, firstLine, 1000, 1000).Inside, 0);
  // A solid border of 3 dots on all four sides: the box's frame only.
  TTextItem framed;
  framed.Box = {10, 10, 20, 10, 0};
  framed.Borders = {true, true, true, true, 3, TLineStyle::Solid};
  const TBitmap frame = Draw(OneItem(framed), 203);
  const int x0 = Dots(10, 203), y0 = Dots(10, 203), x1 = Dots(30, 203), y1 = Dots(20, 203);
  const TCount around = CountBlack(frame, x0, y0, x1, y1);
  EXPECT_EQ(around.Outside, 0);
  EXPECT_EQ(around.Inside, 2LL * 3 * (x1 - x0) + 2LL * 3 * (y1 - y0) - 4 * 9);
  // Text inside borders keeps a dot clear of them, even when it overflows.
  framed.Text = u"ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ";
  framed.FontSize = 30;
  const TBitmap filled = Draw(OneItem(framed), 203);
  EXPECT_EQ(CountBlack(filled, x0, y0, x1, y1).Outside, 0);
  EXPECT_EQ(CountBlack(filled, x0 + 3, y0 + 3, x1 - 3, y1 - 3).Inside,
            CountBlack(filled, x0 + 4, y0 + 4, x1 - 4, y1 - 4).Inside);
  EXPECT_GT(CountBlack(filled, x0 + 4, y0 + 4, x1 - 4, y1 - 4).Inside, 100);
  framed.Text.clear();
  for (TLineStyle style : {TLineStyle::Dotted, TLineStyle::Dashed, TLineStyle::Double}) {
    framed.Borders.Style = style;
    const TCount broken = CountBlack(Draw(OneItem(framed), 203), x0, y0, x1, y1);
    EXPECT_EQ(broken.Outside, 0);
    EXPECT_LT(broken.Inside, around.Inside);
    EXPECT_GT(broken.Inside, around.Inside / 4);
  }
}

// A 2 x 2 PNG, black at the top left, white elsewhere.
std::string SmallPng() {
  TBitmap bitmap{2, 2, {0, 255, 255, 255}};
  return EncodePng(bitmap, 203);
}

TEST(LabelDrawing, ImagesAreScaledIntoTheirBoxAndHostileOnesRefused) {
  TImageItem image;
  image.FieldName = u"Логотип";
  image.Data = SmallPng();
  image.Box = {10, 10, 10, 10, 0};
  const TBitmap bitmap = Draw(OneItem(image), 203);
  const int x0 = Dots(10, 203), y0 = Dots(10, 203), half = Dots(10, 203) / 2;
  // The black pixel fills the top left quarter of the box, nothing else is black.
  const TCount count = CountBlack(bitmap, x0, y0, x0 + half, y0 + half);
  EXPECT_EQ(count.Inside, static_cast<long long>(half) * half);
  EXPECT_EQ(count.Outside, 0);
  // Turned half, it is the bottom right quarter.
  image.Box.Orientation = 180;
  const TBitmap turned = Draw(OneItem(image), 203);
  EXPECT_EQ(CountBlack(turned, x0 + Dots(10, 203) - half, y0 + Dots(10, 203) - half, x0 + Dots(10, 203),
                       y0 + Dots(10, 203))
                .Outside,
            0);

  // Mid grey is dithered to about half of the box's dots.
  TBitmap grey{4, 4, std::vector<std::uint8_t>(16, 128)};
  image.Data = EncodePng(grey, 203);
  image.Box.Orientation = 0;
  const int side = Dots(10, 203);
  const long long greyDots = CountBlack(Draw(OneItem(image), 203), x0, y0, x0 + side, y0 + side).Inside;
  EXPECT_GT(greyDots, side * side * 4 / 10);
  EXPECT_LT(greyDots, side * side * 6 / 10);
  image.Data = SmallPng();

  // Truncated data, a declared size far beyond the limit, bytes of no format.
  TImageItem hostile = image;
  hostile.Data = image.Data.substr(0, image.Data.size() - 20);
  EXPECT_NE(Refusal(OneItem(hostile)).find("\"Логотип\""), std::string::npos);
  hostile.Data = image.Data;
  // IHDR's width and height (bytes 16-23), the chunk's CRC left wrong.
  hostile.Data.replace(16, 8, std::string("\x00\x01\x86\xa0\x00\x01\x86\xa0", 8));
  EXPECT_NE(Refusal(OneItem(hostile)).find("\"Логотип\""), std::string::npos);
  // 5000 x 5000: each side allowed, more pixels than an image may have.
  hostile.Data.replace(16, 8, std::string("\x00\x00\x13\x88\x00\x00\x13\x88", 8));
  EXPECT_NE(Refusal(OneItem(hostile)).find("слишком большое изображение 5000 x 5000"), std::string::npos);
  hostile.Data = "GIF89a\xff\xff\xff\xff";
  EXPECT_NE(Refusal(OneItem(hostile)).find("\"Логотип\""), std::string::npos);
  hostile.Data = "not an image";
  EXPECT_NE(Refusal(OneItem(hostile)).find("\"Логотип\""), std::string::npos);
}

// Each allocation stb makes for a label refused in turn, while drawing its
// glyphs (some wider than the rasteriser's scanline on the stack) and
// decoding its image, then while writing its PNG: the call fails as memory
// running out (never a crash, a missing glyph or a torn PNG; the sanitizer
// build sees every block freed), and the next call draws the same dots.
TEST(LabelDrawing, AllocationRefusedInsideStbFailsTheCall) {
  TLabelPicture label;
  label.Width = 30;
  label.Height = 12;
  TTextItem text;
  text.Text = u"Жj";
  text.FontSize = 40;
  text.Italic = true;
  text.Box = {1, 1, 0, 0, 0};
  label.Items.push_back(text);
  TImageItem image;
  image.Data = SmallPng();
  image.Box = {20, 2, 5, 5, 0};
  label.Items.push_back(image);
  const TBitmap expected = Draw(label, 203);
  const std::string expectedPng = EncodePng(expected, 203);
  ASSERT_FALSE(expectedPng.empty());

  unsigned long refusedDrawing = 0;
  for (unsigned long n = 1;; ++n) {
    orvik_stb_refuse_nth(n);
    TBitmap bitmap;
    bool threw = false;
    try {
      (void)DrawLabel(label, 203, bitmap);
    } catch (const std::bad_alloc&) {
      threw = true;
    }
    const bool fired = orvik_stb_refuse_nth(0) == 0;
    ASSERT_EQ(threw, fired) << "allocation " << n;
    if (!fired) {
      EXPECT_EQ(bitmap.Dots, expected.Dots);
      break;
    }
    refusedDrawing = n;
  }
  EXPECT_GT(refusedDrawing, 5u);

  unsigned long refusedPng = 0;
  for (unsigned long n = 1;; ++n) {
    orvik_stb_refuse_nth(n);
    const std::string png = EncodePng(expected, 203);
    const bool fired = orvik_stb_refuse_nth(0) == 0;
    if (!fired) {
      EXPECT_EQ(png, expectedPng);
      break;
    }
    ASSERT_EQ(png, "") << "allocation " << n;
    refusedPng = n;
  }
  EXPECT_GT(refusedPng, 3u);
}

TEST(LabelDrawing, BadValuesAreRefusedNamingTheField) {
  TLabelPicture label = OneItem(Barcode(u"UPC", u"1"));
  EXPECT_NE(Refusal(label).find("\"Код\": неизвестный тип штрихкода (Type) \"UPC\""), std::string::npos);
  label.Width = 600;
  EXPECT_NE(Refusal(label).find("(Width) 600"), std::string::npos);
  label.Width = 80;
  label.Height = -1;
  EXPECT_NE(Refusal(label).find("(Height)"), std::string::npos);
  EXPECT_NE(Refusal(OneItem(Barcode(u"EAN13", u"12345"))).find("\"Код\""), std::string::npos);
  EXPECT_NE(Refusal(OneItem(Barcode(u"Code39", u"абв"))).find("\"Код\""), std::string::npos);
  EXPECT_NE(Refusal(OneItem(Barcode(u"EAN128", u"0104601234567893"))).find("\"Код\""), std::string::npos);
  // Too narrow for one dot a module.
  EXPECT_NE(Refusal(OneItem(Barcode(u"Code128", u"ORVIK-LONG-VALUE", 5))).find("\"Код\""), std::string::npos);
  TTextItem text;
  text.FieldName = u"Цена";
  text.FontSize = 0;
  EXPECT_NE(Refusal(OneItem(text)).find("\"Цена\": неверный размер шрифта"), std::string::npos);
  text.FontSize = 10;
  text.Box.Orientation = 45;
  EXPECT_NE(Refusal(OneItem(text)).find("\"Цена\": неверный поворот"), std::string::npos);
  text.Box.Orientation = 0;
  text.Box.Left = std::nan("");
  EXPECT_NE(Refusal(OneItem(text)).find("\"Цена\""), std::string::npos);
  text.Box.Left = 0;
  text.Text.assign(5000, u'x');
  EXPECT_NE(Refusal(OneItem(text)).find("\"Цена\": слишком длинный текст"), std::string::npos);
  // 500 mm a side at 600 dpi is more dots than a label may have.
  EXPECT_NE(Refusal(OneItem(TTextItem{}, 500, 500), 600).find("слишком большая этикетка"), std::string::npos);
  EXPECT_NE(Refusal(OneItem(TTextItem{}), 5000).find("разрешение"), std::string::npos);
}

} // namespace
