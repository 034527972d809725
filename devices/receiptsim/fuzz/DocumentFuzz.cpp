// libFuzzer target: the text document check over arbitrary text, then the
// layout of an accepted document and its paper, each barcode encoded by zint
// again as the paper window draws it. The first byte chooses the line length
// (its low seven bits) and whether the rest goes to the parser as raw UTF-16
// units, two bytes each, lone surrogates and all (high bit), or as UTF-8 made
// into host text.
#include "Barcode.h"
#include "Paper.h"
#include "Tape.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Expect(bool condition, const char* what) {
  if (condition)
    return;
  std::fprintf(stderr, "document_fuzz: %s\n", what);
  std::abort();
}

// The paper's drawing, checked to stay on the paper.
struct TCheckedCanvas : IPaperCanvas {
  int Width = 0;
  int Height = 0;
  void Fill(int x, int y, int width, int height, bool) override {
    Expect(x >= 0 && y >= 0 && width > 0 && height > 0 && x + width <= Width && y + height <= Height,
           "a rectangle off the paper");
  }
  void Text(int, int, std::u16string_view) override {}
};

// Characters of a line, a surrogate pair counting as one.
size_t Characters(std::u16string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i, ++n)
    if (IsSurrogatePair(text, i))
      ++i;
  return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const uint8_t head = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::u16string xml;
  if (head & 0x80) {
    xml.resize(rest.size() / 2);
    std::memcpy(xml.data(), rest.data(), xml.size() * 2);
  } else {
    xml = Utf8ToUtf16(rest);
  }
  std::vector<TPrintItem> items;
  const std::u16string fault = ReadTextDocument(xml, items);
  if (!fault.empty()) {
    Expect(fault.starts_with(u"Ошибка разбора XML : "), "unexpected message");
    Expect(items.empty(), "a refused document left items");
    return 0;
  }
  // A lone surrogate is no XML character: no document with one is accepted.
  for (size_t i = 0; i < xml.size(); ++i) {
    if (IsSurrogatePair(xml, i))
      ++i;
    else
      Expect(!IsSurrogate(xml[i]), "a lone surrogate accepted");
  }
  // Every text line fits the line length; the document ends with its cut.
  const int32_t width = head & 0x7F;
  const std::vector<TTapeLine> lines = LayOutDocument(items, width);
  const size_t limit = static_cast<size_t>(std::clamp(width, kReceiptMinLineLength, kReceiptMaxLineLength));
  Expect(!lines.empty() && lines.back().Kind == TTapeKind::Cut, "no cut at the end");
  for (const TTapeLine& line : lines) {
    if (line.Kind == TTapeKind::Text)
      Expect(Characters(line.Text) <= limit, "a line longer than the line length");
    if (line.Kind == TTapeKind::Barcode)
      Expect(!line.Text.empty(), "an empty barcode");
  }
  (void)TapeFileText(lines);
  // Every accepted barcode is one zint encodes (but a CODE39 value longer
  // than zint's 85 characters, accepted as ever and printed as its text).
  for (const TPrintItem& item : items)
    if (item.Barcode && !(item.Type == TBarcodeType::CODE39 && item.Text.size() > 85))
      Expect(!EncodeBarcode(item.Type, item.Text).Empty(), "an accepted barcode zint does not encode");
  TCheckedCanvas canvas;
  canvas.Width = PaperWidth(static_cast<int32_t>(limit));
  canvas.Height = PaperHeight();
  PaintPaper(canvas, lines, static_cast<int32_t>(limit));
  return 0;
}
