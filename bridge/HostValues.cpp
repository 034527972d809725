// Reading and writing the host's values, and their two renderings for the
// call log.
#include "HostValues.h"

#include "Calendar.h"
#include "TextCodec.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <locale>
#include <sstream>

std::u16string_view HostText(const WCHAR_T* text) {
  if (text == nullptr)
    return {};
  return std::u16string_view(AsU16(text));
}

// ---------------------------------------------------------------------------
// Host memory

void* HostMemory::Alloc(size_t bytes) const {
  if (manager_ == nullptr || manager_->table == nullptr || manager_->table->AllocMemory == nullptr)
    return nullptr;
  if (bytes > ULONG_MAX)
    return nullptr;
  void* block = nullptr;
  if (!manager_->table->AllocMemory(manager_, &block, static_cast<unsigned long>(bytes)))
    return nullptr;
  return block;
}

void HostMemory::Free(void* block) const {
  if (block == nullptr || manager_ == nullptr || manager_->table == nullptr ||
      manager_->table->FreeMemory == nullptr)
    return;
  manager_->table->FreeMemory(manager_, &block);
}

WCHAR_T* HostMemory::CopyString(std::u16string_view text) const {
  if (text.size() > (SIZE_MAX / 2) - 1)
    return nullptr;
  auto* copy = static_cast<WCHAR_T*>(Alloc(text.size() * 2 + 2));
  if (copy == nullptr)
    return nullptr;
  if (!text.empty())
    std::memcpy(copy, text.data(), text.size() * 2);
  copy[text.size()] = 0;
  return copy;
}

// ---------------------------------------------------------------------------
// Writers

void ClearValue(const HostMemory& memory, tVariant& value) {
  const uint16_t type = TypeOf(value);
  if ((type == VTYPE_PSTR || type == VTYPE_PWSTR || type == VTYPE_BLOB) && value.pstrVal != nullptr)
    memory.Free(value.pstrVal);
  std::memset(static_cast<void*>(&value), 0, sizeof(tVariant));
}

WCHAR_T* CopyStringToHost(const HostMemory& memory, std::u16string_view text) {
  return memory.CopyString(text);
}

bool SetWideStringValue(const HostMemory& memory, tVariant& value, std::u16string_view text) {
  ClearValue(memory, value);
  if (text.size() > UINT32_MAX)
    return false;
  WCHAR_T* copy = memory.CopyString(text);
  if (copy == nullptr)
    return false; // no memory manager or no memory: the value stays empty
  value.pwstrVal = copy;
  value.wstrLen = static_cast<uint32_t>(text.size());
  value.vt = VTYPE_PWSTR;
  return true;
}

void SetIntValue(const HostMemory& memory, tVariant& value, int32_t n) {
  ClearValue(memory, value);
  value.lVal = n;
  value.vt = VTYPE_I4;
}

void SetBoolValue(const HostMemory& memory, tVariant& value, bool b) {
  ClearValue(memory, value);
  value.bVal = b;
  value.vt = VTYPE_BOOL;
}

void SetDoubleValue(const HostMemory& memory, tVariant& value, double d) {
  ClearValue(memory, value);
  value.dblVal = d;
  value.vt = VTYPE_R8;
}

// ---------------------------------------------------------------------------
// Readers

std::u16string_view GetStatedUnits(const tVariant& value) {
  if (TypeOf(value) != VTYPE_PWSTR || value.pwstrVal == nullptr)
    return {};
  return {AsU16(value.pwstrVal), value.wstrLen};
}

std::u16string GetStringValue(const tVariant& value) {
  if (TypeOf(value) != VTYPE_PWSTR)
    return {};
  return std::u16string(HostText(value.pwstrVal));
}

std::u16string_view GetStringUnits(const tVariant& value) {
  const std::u16string_view units = GetStatedUnits(value);
  return units.substr(0, units.find(u'\0'));
}

namespace {

// The host's boolean byte: any value but zero is true. (Read as a byte: a
// host's 2 or 255 is no valid C++ bool.)
bool BoolByte(const tVariant& value) {
  unsigned char byte = 0;
  std::memcpy(&byte, &value.bVal, 1);
  return byte != 0;
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c > 0x7F)
      return {}; // a number has no such characters
    out.push_back(static_cast<char>(c));
  }
  return out;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

int32_t ParseInt(std::u16string_view text) {
  const std::string narrow = Narrow(text);
  std::string_view s = TrimBlanks(narrow);
  if (!s.empty() && s.front() == '+')
    s.remove_prefix(1);
  int32_t n = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty())
    return 0;
  return n;
}

#if !defined(__cpp_lib_to_chars)
// True when s is a whole number in std::from_chars' general format: an
// optional minus, digits with an optional decimal point, an optional exponent.
bool IsDecimalNumber(std::string_view s) {
  size_t i = 0;
  const auto digits = [&] {
    const size_t start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
      ++i;
    return i - start;
  };
  if (i < s.size() && s[i] == '-')
    ++i;
  size_t mantissa = digits();
  if (i < s.size() && s[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0)
    return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
      ++i;
    if (digits() == 0)
      return false;
  }
  return i == s.size();
}
#endif

// The whole of s as a number, read the same whatever the process's locale.
bool DecimalToDouble(std::string_view s, double& d) {
#if defined(__cpp_lib_to_chars)
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d, std::chars_format::general);
  return ec == std::errc() && end == s.data() + s.size();
#else
  // A C++ library that converts only integers (libc++ 14): the grammar is
  // checked here and the stream converts in the classic locale.
  if (!IsDecimalNumber(s))
    return false;
  std::istringstream in{std::string(s)};
  in.imbue(std::locale::classic());
  in >> d;
  return !in.fail();
#endif
}

double ParseDouble(std::u16string_view text) {
  std::string narrow = Narrow(text);
  for (char& c : narrow)
    if (c == ',')
      c = '.'; // either separator is taken, whatever the system locale says
  std::string_view s = TrimBlanks(narrow);
  if (!s.empty() && s.front() == '+')
    s.remove_prefix(1);
  double d = 0;
  if (!DecimalToDouble(s, d) || !std::isfinite(d))
    return 0;
  return d;
}

// Truncation toward zero, saturated to the 32-bit range (NaN gives 0).
int32_t TruncateToInt(double d) {
  if (std::isnan(d))
    return 0;
  if (d >= 2147483647.0)
    return INT32_MAX;
  if (d <= -2147483648.0)
    return INT32_MIN;
  return static_cast<int32_t>(d);
}

} // namespace

int32_t GetIntValue(const tVariant& value) {
  switch (TypeOf(value)) {
  case VTYPE_I1:
    return value.i8Val;
  case VTYPE_UI1:
    return value.ui8Val;
  case VTYPE_I2:
    return value.shortVal;
  case VTYPE_UI2:
    return value.ushortVal;
  case VTYPE_I4:
  case VTYPE_UI4:
  case VTYPE_INT:
  case VTYPE_UINT:
  case VTYPE_ERROR:
  case VTYPE_I8:
  case VTYPE_UI8:
    return static_cast<int32_t>(value.ulVal);
  case VTYPE_R4:
    return TruncateToInt(value.fltVal);
  case VTYPE_R8:
    return TruncateToInt(value.dblVal);
  case VTYPE_DATE:
    return TruncateToInt(value.date);
  case VTYPE_PWSTR:
    return ParseInt(GetStringValue(value));
  default:
    return 0;
  }
}

bool GetBoolValue(const tVariant& value) {
  if (TypeOf(value) == VTYPE_BOOL)
    return BoolByte(value);
  return GetIntValue(value) != 0;
}

double GetDoubleValue(const tVariant& value) {
  switch (TypeOf(value)) {
  case VTYPE_R8:
    return value.dblVal;
  case VTYPE_R4:
    return value.fltVal;
  case VTYPE_DATE:
    return value.date;
  case VTYPE_I1:
    return value.i8Val;
  case VTYPE_I2:
    return value.shortVal;
  case VTYPE_I4:
  case VTYPE_INT:
    return value.lVal;
  case VTYPE_UI1:
    return value.ui8Val;
  case VTYPE_UI2:
    return value.ushortVal;
  case VTYPE_UI4:
  case VTYPE_UINT:
    return value.ulVal;
  case VTYPE_I8:
    return static_cast<double>(value.llVal);
  case VTYPE_UI8:
    return static_cast<double>(value.ullVal);
  case VTYPE_PWSTR:
    return ParseDouble(GetStringValue(value));
  default:
    return 0;
  }
}

// ---------------------------------------------------------------------------
// Number text

namespace {

// Rewrites a mantissa-and-exponent text ("1.5E-5") as plain decimals.
std::string WithoutExponent(const std::string& text) {
  const size_t e = text.find('E');
  if (e == std::string::npos)
    return text;
  std::string mantissa = text.substr(0, e);
  int exponent = 0;
  std::string_view exp(text.data() + e + 1, text.size() - e - 1);
  if (!exp.empty() && exp.front() == '+')
    exp.remove_prefix(1);
  std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
  if (exponent == 0)
    return mantissa;

  const size_t dot = mantissa.find('.');
  const size_t point = dot == std::string::npos ? mantissa.size() : dot; // 0-based place of the point
  if (dot != std::string::npos)
    mantissa.erase(dot, 1);
  if (exponent > 0) {
    const size_t fraction = dot == std::string::npos ? 0 : mantissa.size() - point;
    const auto shift = static_cast<size_t>(exponent);
    if (shift > fraction)
      mantissa.append(shift - fraction, '0');
    else if (shift < fraction)
      mantissa.insert(point + shift, 1, '.');
    return mantissa;
  }
  const size_t k = mantissa.starts_with('-') ? 1 : 0; // first digit
  const size_t integerDigits = point - k;             // digits before the point
  const size_t shift = static_cast<size_t>(-exponent);
  const size_t zeros = shift > integerDigits ? shift - integerDigits : 0;
  mantissa.insert(k, "0." + std::string(zeros, '0'));
  return mantissa;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return s;
}

} // namespace

std::string FormatNumber(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return WithoutExponent(Upper(std::string(buffer, result.ptr)));
}

std::string FormatNumber(float value) {
  char buffer[64];
  // The shortest text that reads back as the same 32-bit value: never more
  // digits than a float carries.
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general);
  return WithoutExponent(Upper(std::string(buffer, result.ptr)));
}

// ---------------------------------------------------------------------------
// Dates

namespace {

void Append2(std::u16string& out, int64_t n) {
  out.push_back(static_cast<char16_t>(u'0' + n / 10 % 10));
  out.push_back(static_cast<char16_t>(u'0' + n % 10));
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

} // namespace

bool FormatDateTime(int year, int month, int day, int hour, int minute, int second, std::u16string& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59)
    return false;
  int64_t y = 0, m = 0, d = 0;
  CivilFromDays(DaysFromCivil(year, month, day), y, m, d);
  if (d != day) // 31 April and the like
    return false;
  out.clear();
  Append2(out, day);
  out.push_back(u'.');
  Append2(out, month);
  out.push_back(u'.');
  Append2(out, year / 100);
  Append2(out, year % 100);
  out.push_back(u' ');
  Append2(out, hour);
  out.push_back(u':');
  Append2(out, minute);
  out.push_back(u':');
  Append2(out, second);
  return true;
}

bool OleDateToText(double date, std::u16string& out) {
  // Years 1 to 9999 lie between these day numbers.
  if (!std::isfinite(date) || date < -693594.0 || date >= 2958466.0)
    return false;
  const double whole = std::trunc(date);
  auto ms = static_cast<int64_t>(std::llround(std::fabs(date - whole) * 86400000.0));
  auto days = static_cast<int64_t>(whole);
  if (ms >= 86400000) { // rounding reached the next day
    ms -= 86400000;
    days += date < 0 ? -1 : 1;
  }
  int64_t y = 0, m = 0, d = 0;
  CivilFromDays(kOleEpoch + days, y, m, d);
  const int64_t seconds = ms / 1000;
  return FormatDateTime(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d),
                        static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                        static_cast<int>(seconds % 60), out);
}

// ---------------------------------------------------------------------------
// Renderings

namespace {

std::u16string Ascii(std::string_view s) {
  return std::u16string(s.begin(), s.end());
}

std::u16string TypeText(uint16_t type) {
  return u"TYPE " + Ascii(std::to_string(type));
}

bool TmToText(const struct tm& t, std::u16string& out) {
  if (t.tm_year > 9999 - 1900 || t.tm_year < 1 - 1900 || t.tm_mon < 0 || t.tm_mon > 11)
    return false;
  return FormatDateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, out);
}

} // namespace

std::u16string ValueToLogText(const tVariant& value) {
  const uint16_t type = TypeOf(value);
  switch (type) {
  case VTYPE_EMPTY:
    return u"Неопределено";
  case VTYPE_NULL:
    return u"NULL";
  case VTYPE_I1:
    return Ascii(std::to_string(value.i8Val));
  case VTYPE_I2:
    return Ascii(std::to_string(value.shortVal));
  case VTYPE_I4:
    return Ascii(std::to_string(value.lVal));
  case VTYPE_UI1:
    return Ascii(std::to_string(value.ui8Val));
  case VTYPE_UI2:
    return Ascii(std::to_string(value.ushortVal));
  case VTYPE_UI4:
    return Ascii(std::to_string(value.ulVal));
  case VTYPE_I8:
    return Ascii(std::to_string(value.llVal));
  case VTYPE_UI8:
    return Ascii(std::to_string(value.ullVal));
  case VTYPE_R4:
    return Ascii(FormatNumber(value.fltVal));
  case VTYPE_R8:
    return Ascii(FormatNumber(value.dblVal));
  case VTYPE_DATE: {
    std::u16string text;
    return OleDateToText(value.date, text) ? text : TypeText(type);
  }
  case VTYPE_TM: {
    std::u16string text;
    return TmToText(value.tmVal, text) ? text : TypeText(type);
  }
  case VTYPE_BOOL:
    return BoolByte(value) ? u"Истина" : u"Ложь";
  case VTYPE_PWSTR: {
    const std::u16string_view text = HostText(value.pwstrVal);
    std::u16string out;
    out.reserve(text.size() + 2);
    out.push_back(u'"');
    out.append(text);
    out.push_back(u'"');
    return out;
  }
  default:
    return TypeText(type);
  }
}

std::string ValueFingerprint(const tVariant& value) {
  const uint16_t type = TypeOf(value);
  std::string out = std::to_string(type) + " ";
  switch (type) {
  case VTYPE_I1:
    return out + std::to_string(value.i8Val);
  case VTYPE_I2:
    return out + std::to_string(value.shortVal);
  case VTYPE_I4:
  case VTYPE_INT:
    return out + std::to_string(value.lVal);
  case VTYPE_UI1:
    return out + std::to_string(value.ui8Val);
  case VTYPE_UI2:
    return out + std::to_string(value.ushortVal);
  case VTYPE_UI4:
  case VTYPE_UINT:
    return out + std::to_string(value.ulVal);
  case VTYPE_I8:
    return out + std::to_string(value.llVal);
  case VTYPE_UI8:
    return out + std::to_string(value.ullVal);
  case VTYPE_R4:
    return out + FormatNumber(value.fltVal);
  case VTYPE_R8:
    return out + FormatNumber(value.dblVal);
  case VTYPE_DATE:
    return out + FormatNumber(value.date);
  case VTYPE_TM: {
    const struct tm& t = value.tmVal;
    for (int field :
         {t.tm_sec, t.tm_min, t.tm_hour, t.tm_mday, t.tm_mon, t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst})
      out += std::to_string(field) + "_";
    return out;
  }
  case VTYPE_BOOL:
    return out + (BoolByte(value) ? "True" : "False");
  case VTYPE_PWSTR: {
    // The text's bytes in memory order; the stated length never reaches past
    // the terminating zero.
    static const char kHex[] = "0123456789ABCDEF";
    const std::u16string_view units = GetStringUnits(value);
    const auto* bytes = reinterpret_cast<const unsigned char*>(units.data());
    out.reserve(out.size() + units.size() * 4);
    for (size_t i = 0; i < units.size() * 2; ++i) {
      out.push_back(kHex[bytes[i] >> 4]);
      out.push_back(kHex[bytes[i] & 0x0F]);
    }
    return out;
  }
  default:
    return out;
  }
}
