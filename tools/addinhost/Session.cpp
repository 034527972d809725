// Execution of addinhost statements through the test host's component proxy.
#include "Session.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace addinhost {

namespace {

using testhost::Utf16ToUtf8;
using testhost::Utf8ToUtf16;

// Width of UTF-8 text in characters, for aligned columns.
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string Pad(const std::string& text, size_t width) {
  const size_t w = Width(text);
  return w >= width ? text : text + std::string(width - w, ' ');
}

// Rows indented by two blanks, each column but the last padded to its widest entry.
void PrintColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows)
    for (size_t c = 0; c < row.size(); ++c) {
      widths.resize(std::max(widths.size(), row.size()));
      widths[c] = std::max(widths[c], Width(row[c]));
    }
  for (const auto& row : rows) {
    out << "  ";
    for (size_t c = 0; c < row.size(); ++c)
      out << (c + 1 < row.size() ? Pad(row[c], widths[c] + 2) : row[c]);
    out << "\n";
  }
}

// A field of a tab-separated row.
std::string TsvField(const std::string& text) {
  std::string field;
  for (const char c : text) {
    switch (c) {
    case '\t':
      field += "\\t";
      break;
    case '\n':
      field += "\\n";
      break;
    case '\r':
      field += "\\r";
      break;
    case '\\':
      field += "\\\\";
      break;
    default:
      field += c;
    }
  }
  return field;
}

template <typename Float> std::string Fixed(Float value) {
  if (std::isnan(value))
    return "nan";
  if (std::isinf(value))
    return value < 0 ? "-inf" : "inf";
  // Enough for the longest: 309 whole digits of the largest double, or 326
  // characters of the smallest subnormal one.
  char text[400];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return ec == std::errc() ? std::string(text, end) : std::string("?");
}

std::string Plural(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

std::string FormatNumber(double value) {
  return Fixed(value);
}

std::string FormatNumber(float value) {
  return Fixed(value);
}

Session::Session(testhost::Component& component, testhost::CountingMemory& memory,
                 testhost::RecordingConnection& connection, std::ostream& out)
    : component_(component), memory_(memory), connection_(connection), out_(out) {}

void Session::ListMembers() {
  auto name = [](const std::optional<std::u16string>& n) {
    return n ? Utf16ToUtf8(*n) : std::string("(null)");
  };
  const long props = component_.GetNProps();
  out_ << "Properties: " << props << "\n";
  std::vector<std::vector<std::string>> rows;
  for (long i = 0; i < props; ++i) {
    std::string access;
    if (component_.IsPropReadable(i))
      access += "read";
    if (component_.IsPropWritable(i))
      access += access.empty() ? "write" : "/write";
    rows.push_back({std::to_string(i), name(component_.GetPropName(i, 0)), name(component_.GetPropName(i, 1)),
                    access.empty() ? "no access" : access});
  }
  PrintColumns(out_, rows);
  const long methods = component_.GetNMethods();
  out_ << "Methods: " << methods << "\n";
  rows.clear();
  for (long i = 0; i < methods; ++i)
    rows.push_back({std::to_string(i), name(component_.GetMethodName(i, 0)),
                    name(component_.GetMethodName(i, 1)),
                    Plural(component_.GetNParams(i), "param", "params") +
                        (component_.HasRetVal(i) ? ", returns a value" : "")});
  PrintColumns(out_, rows);
}

void Session::ListMethodsTsv(const std::string& className) {
  auto name = [](const std::optional<std::u16string>& n) {
    return n ? TsvField(Utf16ToUtf8(*n)) : std::string();
  };
  out_ << "class\tindex\tenglish\trussian\tparams\treturns\n";
  const long methods = component_.GetNMethods();
  for (long i = 0; i < methods; ++i)
    out_ << TsvField(className) << "\t" << i << "\t" << name(component_.GetMethodName(i, 0)) << "\t"
         << name(component_.GetMethodName(i, 1)) << "\t" << component_.GetNParams(i) << "\t"
         << (component_.HasRetVal(i) ? 1 : 0) << "\n";
}

Session::Outcome Session::Run(const Statement& statement) {
  switch (statement.kind) {
  case Statement::Kind::Call:
    return Call(statement);
  case Statement::Kind::GetProperty:
    return GetProperty(statement);
  case Statement::Kind::SetProperty:
    return SetProperty(statement);
  case Statement::Kind::Nothing:
    break;
  }
  return Outcome::Done;
}

tVariant Session::MakeValue(const Argument& argument) {
  Literal value = argument.value;
  if (!argument.variable.empty()) {
    auto it = variables_.find(argument.variable);
    value = it == variables_.end() ? Literal() : it->second;
  }
  switch (value.kind) {
  case Literal::Kind::Text:
    return testhost::StringValue(memory_, value.text);
  case Literal::Kind::Integer:
    return testhost::IntValue(value.integer);
  case Literal::Kind::Number:
    return testhost::DoubleValue(value.number);
  case Literal::Kind::Boolean:
    return testhost::BoolValue(value.boolean);
  case Literal::Kind::Empty:
    break;
  }
  return testhost::EmptyValue();
}

Literal Session::Keep(const tVariant& value) const {
  Literal kept;
  auto integer = [&](int64_t n) {
    if (n >= INT32_MIN && n <= INT32_MAX) {
      kept.kind = Literal::Kind::Integer;
      kept.integer = static_cast<int32_t>(n);
    } else {
      kept.kind = Literal::Kind::Number;
      kept.number = static_cast<double>(n);
    }
  };
  switch (testhost::TypeOf(value)) {
  case VTYPE_PWSTR:
    kept.kind = Literal::Kind::Text;
    kept.text = testhost::TextOf(value, &memory_);
    break;
  case VTYPE_I1:
    integer(value.i8Val);
    break;
  case VTYPE_I2:
    integer(value.shortVal);
    break;
  case VTYPE_I4:
  case VTYPE_ERROR:
    integer(value.lVal);
    break;
  case VTYPE_INT:
    integer(value.intVal);
    break;
  case VTYPE_UI1:
    integer(value.ui8Val);
    break;
  case VTYPE_UI2:
    integer(value.ushortVal);
    break;
  case VTYPE_UI4:
    integer(value.ulVal);
    break;
  case VTYPE_UINT:
    integer(value.uintVal);
    break;
  case VTYPE_I8:
    integer(value.llVal);
    break;
  case VTYPE_UI8:
    if (value.ullVal <= INT32_MAX)
      integer(static_cast<int64_t>(value.ullVal));
    else
      kept.kind = Literal::Kind::Number, kept.number = static_cast<double>(value.ullVal);
    break;
  case VTYPE_R4:
    kept.kind = Literal::Kind::Number, kept.number = value.fltVal;
    break;
  case VTYPE_R8:
    kept.kind = Literal::Kind::Number, kept.number = value.dblVal;
    break;
  case VTYPE_DATE:
    kept.kind = Literal::Kind::Number, kept.number = value.date;
    break;
  case VTYPE_BOOL:
    kept.kind = Literal::Kind::Boolean, kept.boolean = value.bVal;
    break;
  default:
    break;
  }
  return kept;
}

std::string Session::Describe(const tVariant& value) const {
  switch (testhost::TypeOf(value)) {
  case VTYPE_R4:
    return FormatNumber(value.fltVal);
  case VTYPE_R8:
    return FormatNumber(value.dblVal);
  default:
    return testhost::DescribeValue(value, &memory_);
  }
}

void Session::PrintValue(const std::string& label, const tVariant& value) {
  if (testhost::TypeOf(value) == VTYPE_PWSTR && value.pwstrVal != nullptr) {
    const std::u16string text = testhost::TextOf(value, &memory_);
    if (text.find(u'\n') != std::u16string::npos) {
      // Documents read better as they are, one line per line.
      std::vector<std::u16string> lines;
      size_t start = 0;
      for (;;) {
        const size_t nl = text.find(u'\n', start);
        std::u16string line =
            text.substr(start, nl == std::u16string::npos ? std::u16string::npos : nl - start);
        if (!line.empty() && line.back() == u'\r')
          line.pop_back();
        lines.push_back(std::move(line));
        if (nl == std::u16string::npos)
          break;
        start = nl + 1;
      }
      out_ << "  " << label << ": text of " << lines.size() << " lines:\n";
      for (const std::u16string& line : lines)
        out_ << (line.empty() ? "    |" : "    | " + Utf16ToUtf8(line)) << "\n";
      return;
    }
  }
  out_ << "  " << label << ": " << Describe(value) << "\n";
}

void Session::PrintErrors(size_t from) {
  const auto& errors = connection_.Errors();
  for (size_t i = from; i < errors.size(); ++i) {
    const testhost::ErrorReport& e = errors[i];
    // Further lines of a description are indented: no output line is empty.
    std::string description = Utf16ToUtf8(e.description);
    for (size_t nl = description.find('\n'); nl != std::string::npos; nl = description.find('\n', nl + 1))
      description.insert(nl + 1, "    ");
    out_ << "  AddError " << e.code << " \"" << Utf16ToUtf8(e.source) << "\": " << description << " (scode "
         << e.scode << ")\n";
  }
}

Session::Outcome Session::Call(const Statement& statement) {
  const long method = component_.FindMethod(Utf8ToUtf16(statement.name));
  if (method < 0) {
    out_ << "  error: the object has no method " << statement.name << "\n";
    return Outcome::UnknownName;
  }
  const long count = component_.GetNParams(method);
  if (static_cast<long>(statement.arguments.size()) > count) {
    out_ << "  error: " << statement.name << " takes " << Plural(count, "parameter", "parameters") << ", "
         << statement.arguments.size() << " given\n";
    return Outcome::BadUse;
  }
  testhost::ValueList params(memory_, static_cast<size_t>(count));
  for (size_t i = 0; i < statement.arguments.size(); ++i)
    params[i] = MakeValue(statement.arguments[i]);
  for (long i = static_cast<long>(statement.arguments.size()); i < count; ++i) {
    const bool given = component_.GetParamDefValue(method, i, params[static_cast<size_t>(i)]);
    out_ << "  param " << i + 1 << " omitted: "
         << (given ? "default " + Describe(params[static_cast<size_t>(i)]) : std::string("no default value"))
         << "\n";
  }
  std::vector<std::string> before;
  for (long i = 0; i < count; ++i)
    before.push_back(testhost::ValueKey(params[static_cast<size_t>(i)], &memory_));

  const size_t errorsBefore = connection_.Errors().size();
  const bool procedure = statement.asProcedure || !component_.HasRetVal(method);
  tVariant result = testhost::EmptyValue();
  const bool ok =
      procedure ? component_.CallAsProc(method, params) : component_.CallAsFunc(method, result, params);

  if (!ok)
    out_ << "  failed: " << (procedure ? "CallAsProc" : "CallAsFunc") << " returned false\n";
  else if (!procedure)
    PrintValue("result", result);
  else
    out_ << "  done\n";
  for (long i = 0; i < count; ++i) {
    const auto index = static_cast<size_t>(i);
    if (testhost::ValueKey(params[index], &memory_) != before[index])
      PrintValue("param " + std::to_string(i + 1), params[index]);
    if (index < statement.arguments.size() && !statement.arguments[index].variable.empty())
      variables_[statement.arguments[index].variable] = Keep(params[index]);
  }
  PrintErrors(errorsBefore);
  if (!statement.target.empty()) {
    if (procedure)
      out_ << "  note: " << statement.name << " returns no value; $" << statement.target << " is empty\n";
    variables_[statement.target] = Keep(result);
  }
  testhost::ReleaseValue(memory_, result);
  return Outcome::Done;
}

long Session::FindUsableProperty(const Statement& statement, bool write, Outcome& outcome) {
  const long prop = component_.FindProp(Utf8ToUtf16(statement.name));
  if (prop < 0) {
    out_ << "  error: the object has no property " << statement.name << "\n";
    outcome = Outcome::UnknownName;
    return -1;
  }
  if (!(write ? component_.IsPropWritable(prop) : component_.IsPropReadable(prop))) {
    out_ << "  error: the property " << statement.name
         << (write ? " is not writable\n" : " is not readable\n");
    outcome = Outcome::BadUse;
    return -1;
  }
  return prop;
}

Session::Outcome Session::GetProperty(const Statement& statement) {
  Outcome outcome = Outcome::Done;
  const long prop = FindUsableProperty(statement, false, outcome);
  if (prop < 0)
    return outcome;
  const size_t errorsBefore = connection_.Errors().size();
  tVariant value = testhost::EmptyValue();
  if (component_.GetPropVal(prop, value))
    PrintValue("value", value);
  else
    out_ << "  failed: GetPropVal returned false\n";
  PrintErrors(errorsBefore);
  if (!statement.target.empty())
    variables_[statement.target] = Keep(value);
  testhost::ReleaseValue(memory_, value);
  return Outcome::Done;
}

Session::Outcome Session::SetProperty(const Statement& statement) {
  Outcome outcome = Outcome::Done;
  const long prop = FindUsableProperty(statement, true, outcome);
  if (prop < 0)
    return outcome;
  const size_t errorsBefore = connection_.Errors().size();
  tVariant value = MakeValue(statement.arguments.at(0));
  out_ << (component_.SetPropVal(prop, value) ? "  done\n" : "  failed: SetPropVal returned false\n");
  PrintErrors(errorsBefore);
  testhost::ReleaseValue(memory_, value);
  return Outcome::Done;
}

} // namespace addinhost
