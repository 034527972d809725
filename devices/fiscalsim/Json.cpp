#include "Json.h"

#include <cstdio>

namespace fiscal::json {

namespace {

bool SkipSpace(std::string_view s, size_t& i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
    ++i;
  return i < s.size();
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A string from its opening quote; appends its text as it stands to out.
bool ScanString(std::string_view s, size_t& i, std::string* out) {
  const size_t start = i++;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '"') {
      ++i;
      if (out != nullptr)
        out->append(s.substr(start, i - start));
      return true;
    }
    if (c < 0x20)
      return false;
    if (c == '\\') {
      if (++i >= s.size())
        return false;
      const char e = s[i];
      if (e == 'u') {
        if (i + 4 >= s.size() || !IsHex(s[i + 1]) || !IsHex(s[i + 2]) || !IsHex(s[i + 3]) || !IsHex(s[i + 4]))
          return false;
        i += 4;
      } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
        return false;
      }
    }
    ++i;
  }
  return false;
}

bool ScanNumber(std::string_view s, size_t& i, std::string* out) {
  const size_t start = i;
  auto digits = [&] {
    const size_t from = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
      ++i;
    return i > from;
  };
  if (i < s.size() && s[i] == '-')
    ++i;
  if (i < s.size() && s[i] == '0')
    ++i;
  else if (!digits())
    return false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (!digits())
      return false;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
      ++i;
    if (!digits())
      return false;
  }
  if (out != nullptr)
    out->append(s.substr(start, i - start));
  return true;
}

unsigned HexValue(std::string_view four) {
  unsigned value = 0;
  for (const char c : four)
    value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  return value;
}

void AppendCodePoint(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

} // namespace

// One value from i, written without its blanks to out (when given).
bool ScanValue(std::string_view s, size_t& i, std::string* out, int depth) {
  if (depth > kNestingLimit || !SkipSpace(s, i))
    return false;
  const char c = s[i];
  if (c == '"')
    return ScanString(s, i, out);
  if (c == '{' || c == '[') {
    const char close = c == '{' ? '}' : ']';
    if (out != nullptr)
      out->push_back(c);
    ++i;
    if (!SkipSpace(s, i))
      return false;
    if (s[i] == close) {
      ++i;
      if (out != nullptr)
        out->push_back(close);
      return true;
    }
    for (;;) {
      if (c == '{') {
        if (!SkipSpace(s, i) || s[i] != '"' || !ScanString(s, i, out) || !SkipSpace(s, i) || s[i] != ':')
          return false;
        ++i;
        if (out != nullptr)
          out->push_back(':');
      }
      if (!ScanValue(s, i, out, depth + 1) || !SkipSpace(s, i))
        return false;
      if (s[i] == close) {
        ++i;
        if (out != nullptr)
          out->push_back(close);
        return true;
      }
      if (s[i] != ',')
        return false;
      ++i;
      if (out != nullptr)
        out->push_back(',');
    }
  }
  for (const std::string_view word : {"true", "false", "null"})
    if (s.substr(i, word.size()) == word) {
      i += word.size();
      if (out != nullptr)
        out->append(word);
      return true;
    }
  return ScanNumber(s, i, out);
}

std::string Unquote(std::string_view raw) {
  std::string text;
  if (raw.size() < 2)
    return text;
  for (size_t i = 1; i + 1 < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 2 >= raw.size()) {
      text.push_back(raw[i]);
      continue;
    }
    const char e = raw[++i];
    switch (e) {
    case 'n':
      text.push_back('\n');
      break;
    case 't':
      text.push_back('\t');
      break;
    case 'r':
      text.push_back('\r');
      break;
    case 'b':
      text.push_back('\b');
      break;
    case 'f':
      text.push_back('\f');
      break;
    case 'u': {
      if (i + 5 > raw.size() - 1) // not a whole escape: only in text the scanner refused
        return text;
      char32_t c = HexValue(raw.substr(i + 1, 4));
      i += 4;
      if (c >= 0xD800 && c < 0xDC00 && i + 7 < raw.size() && raw[i + 1] == '\\' && raw[i + 2] == 'u') {
        const char32_t low = HexValue(raw.substr(i + 3, 4));
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          i += 6;
        }
      }
      AppendCodePoint(text, c >= 0xD800 && c < 0xE000 ? char32_t{0xFFFD} : c);
      break;
    }
    default:
      text.push_back(e);
    }
  }
  return text;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out.push_back(c);
    }
  }
  return out + "\"";
}

// The members of one object (keys unquoted, values as their compact text).
bool ParseObject(std::string_view s, TMembers& members, std::string* compact) {
  size_t i = 0;
  std::string whole;
  if (!SkipSpace(s, i) || s[i] != '{' || !ScanValue(s, i, &whole, 0))
    return false;
  if (SkipSpace(s, i)) // something after the object
    return false;
  // The compact text is valid: walk its top level again for the members.
  size_t j = 1;
  while (j < whole.size() && whole[j] != '}') {
    const size_t keyStart = j;
    ScanString(whole, j, nullptr);
    std::string key = Unquote(std::string_view(whole).substr(keyStart, j - keyStart));
    ++j; // ':'
    const size_t valueStart = j;
    ScanValue(whole, j, nullptr, 0);
    members.emplace_back(std::move(key), whole.substr(valueStart, j - valueStart));
    if (whole[j] == ',')
      ++j;
  }
  if (compact != nullptr)
    *compact = std::move(whole);
  return true;
}

bool ParseArray(std::string_view s, std::vector<std::string>& items) {
  size_t i = 0;
  std::string whole;
  if (!SkipSpace(s, i) || s[i] != '[' || !ScanValue(s, i, &whole, 0))
    return false;
  if (SkipSpace(s, i))
    return false;
  size_t j = 1;
  while (j < whole.size() && whole[j] != ']') {
    const size_t start = j;
    ScanValue(whole, j, nullptr, 0);
    items.emplace_back(whole.substr(start, j - start));
    if (whole[j] == ',')
      ++j;
  }
  return true;
}

const std::string* Find(const TMembers& members, std::string_view key) {
  for (const auto& [name, value] : members)
    if (name == key)
      return &value;
  return nullptr;
}

std::optional<int64_t> Integer(const TMembers& members, std::string_view key) {
  const std::string* raw = Find(members, key);
  if (raw == nullptr || raw->empty() || raw->size() > 18) // no overflow
    return std::nullopt;
  size_t i = (*raw)[0] == '-' ? 1 : 0;
  if (i == raw->size())
    return std::nullopt;
  int64_t value = 0;
  for (; i < raw->size(); ++i) {
    if ((*raw)[i] < '0' || (*raw)[i] > '9')
      return std::nullopt;
    value = value * 10 + ((*raw)[i] - '0');
  }
  return (*raw)[0] == '-' ? -value : value;
}

std::optional<std::string> String(const TMembers& members, std::string_view key) {
  const std::string* raw = Find(members, key);
  if (raw == nullptr || raw->empty() || (*raw)[0] != '"')
    return std::nullopt;
  return Unquote(*raw);
}

} // namespace fiscal::json
