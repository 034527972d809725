#include "TextCodec.h"

#include <bit>
#include <cstring>
#include <string>

namespace {

// Four units from t on are all ASCII. Little-endian machines read them as one
// word; others do not take this shortcut.
bool AsciiQuad(const char16_t* t, uint64_t& quad) {
  if constexpr (std::endian::native != std::endian::little) {
    return false;
  } else {
    std::memcpy(&quad, t, sizeof quad);
    return (quad & 0xFF80FF80FF80FF80u) == 0;
  }
}

} // namespace

void AppendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<char16_t>(codePoint));
  } else {
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
  }
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    char32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 || (c & 0xF0) == 0xE0 || (c & 0xF8) == 0xF0) {
      const size_t need = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
      char32_t v = need == 2 ? (c & 0x1F) : need == 3 ? (c & 0x0F) : (c & 0x07);
      size_t k = 1;
      for (; k < need && i + k < n; ++k) {
        const auto cc = static_cast<unsigned char>(text[i + k]);
        if ((cc & 0xC0) != 0x80)
          break;
        v = (v << 6) | (cc & 0x3F);
      }
      if (k == need) {
        const bool overlong =
            (need == 2 && v < 0x80) || (need == 3 && v < 0x800) || (need == 4 && v < 0x10000);
        if (!overlong && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF))
          cp = v;
        len = need;
      } else {
        len = k; // a broken sequence counts as one replacement character
      }
    }
    AppendUtf16(out, cp);
    i += len;
  }
  return out;
}

size_t Utf8Size(std::u16string_view text) {
  const char16_t* t = text.data();
  const size_t n = text.size();
  uint64_t quad = 0;
  size_t bytes = 0;
  for (size_t i = 0; i < n; ++i) {
    for (; i + 4 <= n && AsciiQuad(t + i, quad); i += 4)
      bytes += 4;
    if (i == n)
      break;
    if (t[i] < 0x80)
      bytes += 1;
    else if (t[i] < 0x800)
      bytes += 2;
    else if (IsSurrogatePair(text, i))
      bytes += 4, ++i;
    else
      bytes += 3; // also a lone surrogate, written as U+FFFD
  }
  return bytes;
}

char* EncodeUtf8(char* out, std::u16string_view text) {
  const char16_t* t = text.data();
  const size_t n = text.size();
  uint64_t quad = 0;
  auto* p = reinterpret_cast<unsigned char*>(out);
  for (size_t i = 0; i < n; ++i) {
    for (; i + 4 <= n && AsciiQuad(t + i, quad); i += 4, p += 4) {
      const auto packed = static_cast<uint32_t>((quad & 0xFF) | ((quad >> 8) & 0xFF00) |
                                                ((quad >> 16) & 0xFF0000) | ((quad >> 24) & 0xFF000000));
      std::memcpy(p, &packed, sizeof packed);
    }
    if (i == n)
      break;
    char32_t c = t[i];
    if (c < 0x80) {
      *p++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (IsSurrogatePair(text, i)) {
      c = CombineSurrogates(t[i], t[i + 1]);
      ++i;
      *p++ = static_cast<unsigned char>(0xF0 | (c >> 18));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
      if (IsSurrogate(t[i]))
        c = 0xFFFD; // a lone surrogate has no UTF-8 form
      *p++ = static_cast<unsigned char>(0xE0 | (c >> 12));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
  }
  return reinterpret_cast<char*>(p);
}

void AppendUtf8(std::string& out, std::u16string_view text) {
  const size_t at = out.size();
  out.resize(at + Utf8Size(text));
  EncodeUtf8(out.data() + at, text);
}

std::u16string Decimal(long long n) {
  const std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

namespace {

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

} // namespace

// Standard Base64, padding optional; false on any other character.
bool DecodeBase64(std::string_view text, std::string& bytes) {
  while (!text.empty() && text.back() == '=')
    text.remove_suffix(1);
  if (text.size() % 4 == 1)
    return false;
  uint32_t buffer = 0;
  int bits = 0;
  for (const char c : text) {
    const int digit = Base64Digit(c);
    if (digit < 0)
      return false;
    buffer = (buffer << 6) | static_cast<uint32_t>(digit);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return true;
}

std::u16string EncodeBase64(std::string_view bytes) {
  static constexpr char16_t kDigits[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::u16string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t group = (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16) |
                           (static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6)
      out += kDigits[(group >> shift) & 0x3F];
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (rest == 2)
      group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out += kDigits[(group >> 18) & 0x3F];
    out += kDigits[(group >> 12) & 0x3F];
    out += rest == 2 ? kDigits[(group >> 6) & 0x3F] : u'=';
    out += u'=';
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  AppendUtf8(out, text);
  return out;
}

std::u16string LowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& unit : out)
    unit = FoldAscii(unit);
  return out;
}

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i]))
      return false;
  return true;
}
