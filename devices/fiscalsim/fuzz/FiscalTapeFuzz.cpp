// libFuzzer target: the tape of a journal line over arbitrary bytes (the
// journal is disk input). The first byte chooses the line length (clamped by
// the tape) and whether it is a copy (high bit). Every answer is either the
// one line of a damaged document or a tape ending in a cut whose text lines
// fit the line length.
#include "FiscalTape.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void Expect(bool condition, const char* what) {
  if (condition)
    return;
  std::fprintf(stderr, "fiscaltape_fuzz: %s\n", what);
  std::abort();
}

size_t Characters(std::u16string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i, ++count)
    if (IsSurrogatePair(text, i))
      ++i;
  return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const int32_t asked = data[0] & 0x7F;
  const bool copy = (data[0] & 0x80) != 0;
  const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::vector<TTapeLine> tape = fiscal::FiscalTapeLines(line, asked, copy);
  Expect(!tape.empty(), "no lines");
  if (tape.size() == 1) {
    Expect(tape[0].Text == fiscal::kBadJournalLineText, "one line that is not the damage line");
  } else {
    Expect(tape.back().Kind == TTapeKind::Cut, "no cut at the end");
    const size_t width = static_cast<size_t>(std::clamp(asked, kReceiptMinLineLength, kReceiptMaxLineLength));
    for (const TTapeLine& l : tape)
      Expect(l.Kind != TTapeKind::Text || Characters(l.Text) <= width, "a line longer than the line length");
  }
  const std::string qr = fiscal::ReceiptQrText(line);
  Expect(qr.empty() || qr.starts_with("t="), "a QR text of another form");
  return 0;
}
