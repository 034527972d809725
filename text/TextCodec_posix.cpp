// Outside Windows the system's 8-bit text is UTF-8.
#include "TextCodec.h"

size_t AnsiSize(std::u16string_view text) {
  return Utf8Size(text);
}

char* EncodeAnsi(char* out, std::u16string_view text) {
  return EncodeUtf8(out, text);
}

void AppendAnsi(std::string& out, std::u16string_view text) {
  AppendUtf8(out, text);
}
