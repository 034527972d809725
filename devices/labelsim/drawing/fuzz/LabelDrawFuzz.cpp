// Labels built from the fuzzer's bytes: a size and resolution, then items of
// each kind with measures, styles, turns, values and image bytes taken from
// the input (now and then out of range), drawn and written as PNG. Whatever
// the bytes, DrawLabel draws or gives a reason, and never crashes or leaks.
#include "LabelPicture.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

class TReader {
public:
  TReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  // Millimetres: mostly 0..63.75 in quarters, sometimes a value out of range.
  double Mm() {
    const std::uint8_t b = Byte();
    if (b == 255)
      return -1;
    if (b == 254)
      return 1e9;
    return b / 4.0;
  }
  std::string Bytes(std::size_t limit) {
    std::size_t n = Byte();
    if (n == 255)
      n = static_cast<std::size_t>(Byte()) * 64; // now and then a long run
    n = std::min<std::size_t>({n, limit, size_ - std::min(at_, size_)});
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }
  std::u16string Text(std::size_t limit) {
    std::u16string out;
    for (char c : Bytes(limit)) {
      const auto b = static_cast<std::uint8_t>(c);
      // Bytes from 0xC0 stand for Cyrillic letters, the rest as they are.
      out.push_back(b >= 0xC0 ? static_cast<char16_t>(0x0410 + (b - 0xC0)) : static_cast<char16_t>(b));
    }
    return out;
  }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

label::TBox Box(TReader& in) {
  label::TBox box;
  box.Left = in.Mm();
  box.Top = in.Mm();
  box.Width = in.Mm();
  box.Height = in.Mm();
  const std::uint8_t turn = in.Byte();
  box.Orientation = turn < 250 ? (turn % 4) * 90 : turn;
  return box;
}

label::TBorders Borders(TReader& in) {
  label::TBorders borders;
  const std::uint8_t flags = in.Byte();
  borders.Left = flags & 1;
  borders.Top = flags & 2;
  borders.Right = flags & 4;
  borders.Bottom = flags & 8;
  borders.Style = static_cast<label::TLineStyle>((flags >> 4) % 4);
  borders.WidthDots = in.Byte() % 40;
  return borders;
}

const char16_t* const kTypes[] = {u"EAN8",        u"EAN13",
                                  u"EAN128",      u"Code39",
                                  u"Code128",     u"Code16k",
                                  u"Code93",      u"PDF417",
                                  u"DataMatrix",  u"QRCode",
                                  u"ITF14",       u"EAN13Addon2",
                                  u"EAN13Addon5", u"GS1DataBarExpandedStacked",
                                  u"qrcode",      u"UPC"};
// The first bytes of each image format the drawing reads.
const char* const kImageHeads[] = {"\x89PNG\r\n\x1a\n\0\0\0\rIHDR", "\xff\xd8\xff", "BM", "GIF89a", ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TReader in(data, size);
  label::TLabelPicture picture;
  // Labels up to 32 mm a side, mostly at 203 dpi, so that a run stays short;
  // the limits on larger labels are the unit tests'.
  picture.Width = in.Mm() / 2;
  picture.Height = in.Mm() / 2;
  static const int kDpi[] = {203, 203, 203, 203, 203, 300, 600, 50};
  const int dpi = kDpi[in.Byte() % 8];
  while (!in.Empty() && picture.Items.size() < 16) {
    const std::uint8_t kind = in.Byte();
    if (kind % 3 == 0) {
      label::TTextItem text;
      text.Box = Box(in);
      const std::uint8_t style = in.Byte();
      text.Bold = style & 1;
      text.Italic = style & 2;
      text.Underline = style & 4;
      text.StrikeOut = style & 8;
      text.Multiline = style & 16;
      text.Align = static_cast<label::TAlign>((style >> 5) % 3);
      text.VAlign = static_cast<label::TAlign>(in.Byte() % 3);
      text.FontSize = in.Byte() / 4.0;
      text.Borders = Borders(in);
      text.Text = in.Text(5000);
      picture.Items.emplace_back(std::move(text));
    } else if (kind % 3 == 1) {
      label::TBarcodeItem barcode;
      barcode.Box = Box(in);
      const std::uint8_t flags = in.Byte();
      barcode.Type = kTypes[flags % 16];
      barcode.PrintHri = flags & 16;
      barcode.CheckSymbol = flags & 32;
      barcode.FontSize = in.Byte() / 8.0;
      barcode.Value = in.Text(600);
      picture.Items.emplace_back(std::move(barcode));
    } else {
      label::TImageItem image;
      image.Box = Box(in);
      image.Borders = Borders(in);
      image.Data = kImageHeads[in.Byte() % 5];
      image.Data += in.Bytes(4096);
      picture.Items.emplace_back(std::move(image));
    }
  }
  label::TBitmap bitmap;
  if (label::DrawLabel(picture, dpi, bitmap).empty())
    (void)label::EncodePng(bitmap, dpi);
  return 0;
}
