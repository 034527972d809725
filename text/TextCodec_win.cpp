// The system's ANSI code page on Windows.
#include "TextCodec.h"

#include <windows.h>

#include <algorithm>

namespace {

// The conversions take int lengths: long text goes in pieces that never split
// a surrogate pair. Each piece is handed to convert (its units, count).
constexpr size_t kPiece = 1 << 24;

template <class Convert> void InPieces(std::u16string_view text, Convert&& convert) {
  while (!text.empty()) {
    size_t n = std::min(text.size(), kPiece);
    if (n < text.size() && IsHighSurrogate(text[n - 1]))
      --n;
    convert(reinterpret_cast<const wchar_t*>(text.data()), static_cast<int>(n));
    text.remove_prefix(n);
  }
}

} // namespace

size_t AnsiSize(std::u16string_view text) {
  size_t bytes = 0;
  InPieces(text, [&bytes](const wchar_t* units, int n) {
    const int size = WideCharToMultiByte(CP_ACP, 0, units, n, nullptr, 0, nullptr, nullptr);
    bytes += size > 0 ? static_cast<size_t>(size) : 0;
  });
  return bytes;
}

char* EncodeAnsi(char* out, std::u16string_view text) {
  // The caller made room for AnsiSize bytes, which is what this writes; three
  // bytes a unit bounds every code page (UTF-8 included).
  InPieces(text, [&out](const wchar_t* units, int n) {
    const int size = WideCharToMultiByte(CP_ACP, 0, units, n, out, n * 3, nullptr, nullptr);
    out += size > 0 ? size : 0;
  });
  return out;
}

void AppendAnsi(std::string& out, std::u16string_view text) {
  const size_t at = out.size();
  out.resize(at + AnsiSize(text));
  EncodeAnsi(out.data() + at, text);
}
