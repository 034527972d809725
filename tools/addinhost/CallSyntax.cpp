// Parsing of addinhost statements (grammar in CallSyntax.h).
#include "CallSyntax.h"

#include "TestHost.h"

#include <charconv>
#include <cstdlib>

namespace addinhost {

namespace {

class Parser {
public:
  Parser(std::string_view line, const FileReader& readFile) : s_(line), readFile_(readFile) {}

  bool Parse(Statement& st, std::string& error) {
    SkipSpace();
    if (AtEnd())
      return true;
    if (Peek() == '$') {
      ++pos_;
      if (!Identifier(st.target))
        return Fail("expected a variable name after '$'", error);
      SkipSpace();
      if (!Take('='))
        return Fail("expected '=' after $" + st.target, error);
      SkipSpace();
    }
    if (Peek() == '.') {
      ++pos_;
      st.name = Name();
      if (st.name.empty())
        return Fail("expected a property name after '.'", error);
      SkipSpace();
      st.kind = Statement::Kind::GetProperty;
      if (Take('=')) {
        if (!st.target.empty())
          return Fail("a property write gives no value to keep", error);
        st.kind = Statement::Kind::SetProperty;
        SkipSpace();
        Argument argument;
        if (!ParseArgument(argument, error))
          return false;
        st.arguments.push_back(std::move(argument));
      }
      return End(error);
    }
    st.name = Name();
    if (st.name == "proc") {
      SkipSpace();
      st.asProcedure = true;
      st.name = Name();
    }
    if (st.name.empty())
      return Fail("expected a method name", error);
    if (st.asProcedure && !st.target.empty())
      return Fail("a procedure call gives no value to keep", error);
    SkipSpace();
    if (!Take('('))
      return Fail("expected '(' after " + st.name, error);
    st.kind = Statement::Kind::Call;
    SkipSpace();
    if (!Take(')')) {
      for (;;) {
        SkipSpace();
        Argument argument;
        if (!ParseArgument(argument, error))
          return false;
        st.arguments.push_back(std::move(argument));
        SkipSpace();
        if (Take(')'))
          break;
        if (!Take(','))
          return Fail("expected ',' or ')'", error);
      }
    }
    return End(error);
  }

private:
  bool AtEnd() const { return pos_ >= s_.size() || s_[pos_] == '#'; }
  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c || pos_ >= s_.size())
      return false;
    ++pos_;
    return true;
  }
  void SkipSpace() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n'))
      ++pos_;
  }
  bool Fail(const std::string& message, std::string& error) {
    error = message + " at column " + std::to_string(pos_ + 1);
    return false;
  }
  bool End(std::string& error) {
    SkipSpace();
    return AtEnd() ? true : Fail("unexpected text after the statement", error);
  }

  static bool IsWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '_';
  }
  // A method or property name: letters of any script, digits, "_".
  std::string Name() {
    const size_t start = pos_;
    while (pos_ < s_.size() && IsWordByte(s_[pos_]))
      ++pos_;
    return std::string(s_.substr(start, pos_ - start));
  }
  bool Identifier(std::string& name) {
    name = Name();
    return !name.empty();
  }

  bool ParseArgument(Argument& argument, std::string& error) {
    Literal& value = argument.value;
    const char c = Peek();
    if (c == '"') {
      value.kind = Literal::Kind::Text;
      return QuotedString(value.text, error);
    }
    if (c == '$') {
      ++pos_;
      if (!Identifier(argument.variable))
        return Fail("expected a variable name after '$'", error);
      return true;
    }
    if (c == '@') {
      ++pos_;
      std::string path;
      if (Peek() == '"') {
        std::u16string quoted;
        if (!QuotedString(quoted, error))
          return false;
        path = testhost::Utf16ToUtf8(quoted);
      } else {
        const size_t start = pos_;
        while (pos_ < s_.size() && s_[pos_] != ',' && s_[pos_] != ')' && s_[pos_] != ' ' && s_[pos_] != '\t')
          ++pos_;
        path = std::string(s_.substr(start, pos_ - start));
      }
      if (path.empty())
        return Fail("expected a file name after '@'", error);
      std::string contents, readError;
      if (!readFile_ || !readFile_(path, contents, readError)) {
        error = "@" + path + ": " + (readError.empty() ? "cannot be read" : readError);
        return false;
      }
      if (contents.starts_with("\xEF\xBB\xBF"))
        contents.erase(0, 3);
      value.kind = Literal::Kind::Text;
      value.text = testhost::Utf8ToUtf16(contents);
      return true;
    }
    if (c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9'))
      return ParseNumber(value, error);
    const std::string word = Name();
    if (word == "_") {
      value.kind = Literal::Kind::Empty;
      return true;
    }
    if (word == "true" || word == "false") {
      value.kind = Literal::Kind::Boolean;
      value.boolean = word == "true";
      return true;
    }
    if (word.empty())
      return Fail(std::string("unexpected '") + c + "'", error);
    return Fail("unknown value '" + word + "' (texts are written in double quotes)", error);
  }

  bool ParseNumber(Literal& value, std::string& error) {
    const size_t start = pos_;
    if (Peek() == '-' || Peek() == '+')
      ++pos_;
    bool fraction = false;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c >= '0' && c <= '9') {
        ++pos_;
      } else if (c == '.' || c == 'e' || c == 'E') {
        fraction = true;
        ++pos_;
        if ((c == 'e' || c == 'E') && (Peek() == '-' || Peek() == '+'))
          ++pos_;
      } else {
        break;
      }
    }
    std::string text(s_.substr(start, pos_ - start));
    if (!text.empty() && text[0] == '+')
      text.erase(0, 1);
    if (fraction) {
      char* end = nullptr;
      const double d = std::strtod(text.c_str(), &end);
      if (text.empty() || end != text.c_str() + text.size())
        return Fail("'" + text + "' is not a number", error);
      value.kind = Literal::Kind::Number;
      value.number = d;
      return true;
    }
    int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < INT32_MIN || n > INT32_MAX)
      return Fail("'" + text + "' is not a 32-bit integer (write 1.0 for a number, \"...\" for a text)",
                  error);
    value.kind = Literal::Kind::Integer;
    value.integer = static_cast<int32_t>(n);
    return true;
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9')
      return c - '0';
    if (c >= 'a' && c <= 'f')
      return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
      return c - 'A' + 10;
    return -1;
  }

  bool QuotedString(std::u16string& out, std::string& error) {
    ++pos_;            // opening quote
    std::string bytes; // plain UTF-8 collected between escapes
    auto flush = [&] {
      out += testhost::Utf8ToUtf16(bytes);
      bytes.clear();
    };
    while (pos_ < s_.size()) {
      const char c = s_[pos_++];
      if (c == '"') {
        flush();
        return true;
      }
      if (c != '\\') {
        bytes.push_back(c);
        continue;
      }
      if (pos_ >= s_.size())
        break;
      const char e = s_[pos_++];
      switch (e) {
      case '"':
      case '\\':
        bytes.push_back(e);
        break;
      case 'n':
        bytes.push_back('\n');
        break;
      case 'r':
        bytes.push_back('\r');
        break;
      case 't':
        bytes.push_back('\t');
        break;
      case 'u': {
        unsigned unit = 0;
        for (int i = 0; i < 4; ++i) {
          const int digit = pos_ < s_.size() ? HexDigit(s_[pos_]) : -1;
          if (digit < 0)
            return Fail("\\u needs four hexadecimal digits", error);
          unit = unit * 16 + static_cast<unsigned>(digit);
          ++pos_;
        }
        flush();
        out.push_back(static_cast<char16_t>(unit)); // surrogate pairs are written as two escapes
        break;
      }
      default:
        return Fail(std::string("unknown escape \\") + e, error);
      }
    }
    return Fail("the text has no closing '\"'", error);
  }

  std::string_view s_;
  const FileReader& readFile_;
  size_t pos_ = 0;
};

} // namespace

bool ParseStatement(std::string_view line, const FileReader& readFile, Statement& statement,
                    std::string& error) {
  statement = Statement();
  error.clear();
  Parser parser(line, readFile);
  if (!parser.Parse(statement, error)) {
    statement = Statement();
    return false;
  }
  return true;
}

} // namespace addinhost
