// The one text codec of the libraries: UTF-16 (all text that crosses the host
// boundary) to and from UTF-8 and to the system's ANSI code page (what the
// call log stores), surrogate helpers, and case folding. It depends on nothing else of the system; the
// bridge, the core and the devices all use it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------
// Surrogates

constexpr bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
constexpr bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}
constexpr bool IsSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDFFF;
}
// True when text[i] starts a well-formed surrogate pair.
constexpr bool IsSurrogatePair(std::u16string_view text, size_t i) {
  return i + 1 < text.size() && IsHighSurrogate(text[i]) && IsLowSurrogate(text[i + 1]);
}
constexpr char32_t CombineSurrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
}
// Appends one code point as UTF-16 (a pair above U+FFFF).
void AppendUtf16(std::u16string& out, char32_t codePoint);

// ---------------------------------------------------------------------------
// Conversions. A lone surrogate, which no other encoding can carry, becomes
// U+FFFD; a malformed UTF-8 sequence becomes one U+FFFD.

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// UTF-8 in place: Utf8Size gives the bytes that EncodeUtf8 writes at out (it
// returns their end); runs of ASCII go four units at a time.
size_t Utf8Size(std::u16string_view text);
char* EncodeUtf8(char* out, std::u16string_view text);
void AppendUtf8(std::string& out, std::u16string_view text);
// A whole number in decimal digits, for messages and log lines.
std::u16string Decimal(long long n);
// Appends the bytes of standard Base64 text (A-Z a-z 0-9 + /, padding
// optional) to bytes; false on any other character or a length no Base64
// text has.
bool DecodeBase64(std::string_view text, std::string& bytes);
// Standard Base64 of bytes, padded with "=" to a multiple of four.
std::u16string EncodeBase64(std::string_view bytes);

// The system's ANSI code page (Windows; UTF-8 elsewhere), the same three ways.
// Characters the code page lacks become its stand-in character; they never
// cut text short. TextCodec_win.cpp, TextCodec_posix.cpp.
size_t AnsiSize(std::u16string_view text);
char* EncodeAnsi(char* out, std::u16string_view text);
void AppendAnsi(std::string& out, std::u16string_view text);

// ---------------------------------------------------------------------------
// Case

constexpr char16_t FoldAscii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + (u'a' - u'A')) : unit;
}
constexpr char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
// Text with only the letters A-Z lower-cased.
std::u16string LowerAscii(std::u16string_view text);
// Equal when only the letters A-Z are folded.
bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);
// Full Unicode lower-casing, the same on every platform whatever the system
// locale (LowerCase.cpp): U+0130 becomes "i" plus a combining dot above; a
// lone surrogate stays as it is.
std::u16string LowerCaseFull(std::u16string_view text);
