// The tape's layout and its file text.
#include "Tape.h"

#include "TextCodec.h"

#include <algorithm>

namespace {

// Appends one text of a document, split at line feeds and wrapped at width.
void LayOutText(std::u16string_view text, int32_t width, std::vector<TTapeLine>& lines) {
  std::u16string line;
  int32_t characters = 0;
  const auto end = [&] {
    lines.push_back(TTapeLine{TTapeKind::Text, TBarcodeType::EAN13, std::move(line)});
    line.clear();
    characters = 0;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == u'\r')
      continue;
    if (unit == u'\n') {
      end();
      continue;
    }
    if (characters == width)
      end();
    if (IsSurrogatePair(text, i))
      line += text[i++];
    line += unit == u'\t' ? u' ' : text[i];
    ++characters;
  }
  end();
}

} // namespace

std::vector<TTapeLine> LayOutDocument(const std::vector<TPrintItem>& items, int32_t width) {
  width = std::clamp(width, kReceiptMinLineLength, kReceiptMaxLineLength);
  std::vector<TTapeLine> lines;
  for (const TPrintItem& item : items) {
    if (item.Barcode)
      lines.push_back(TTapeLine{TTapeKind::Barcode, item.Type, item.Text});
    else
      LayOutText(item.Text, width, lines);
  }
  lines.push_back(CutLine(width));
  return lines;
}

TTapeLine CutLine(int32_t width) {
  const std::u16string_view mark(kReceiptCutText);
  const size_t total = static_cast<size_t>(std::max<int32_t>(width, 0));
  const size_t left = total > mark.size() ? (total - mark.size()) / 2 : 0;
  std::u16string text(left, u'~');
  text += mark;
  if (text.size() < total)
    text.append(total - text.size(), u'~');
  return TTapeLine{TTapeKind::Cut, TBarcodeType::EAN13, std::move(text)};
}

std::u16string TapeLineText(const TTapeLine& line) {
  if (line.Kind != TTapeKind::Barcode)
    return line.Text;
  std::u16string text = u"[";
  text += BarcodeTypeName(line.Type);
  text += u' ';
  for (const char16_t c : line.Text)
    text += c < u' ' ? u' ' : c;
  text += u']';
  return text;
}

std::u16string TapeFileText(const std::vector<TTapeLine>& lines) {
  std::u16string text;
  for (const TTapeLine& line : lines) {
    text += TapeLineText(line);
    text += u"\r\n";
  }
  return text;
}
