// Host values: making parameters, reading results, giving host text back.
#include "TestHost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace testhost {

namespace {

tVariant Zeroed() {
  tVariant value;
  std::memset(static_cast<void*>(&value), 0, sizeof value);
  return value;
}

bool HoldsHostBlock(const tVariant& value) {
  const uint16_t type = TypeOf(value);
  return (type == VTYPE_PWSTR || type == VTYPE_PSTR || type == VTYPE_BLOB) && value.pstrVal != nullptr;
}

std::string Quote(std::u16string_view text) {
  std::string out = "\"";
  size_t plain = 0; // start of the run of characters copied as they are
  auto flush = [&](size_t end) { out += Utf16ToUtf8(text.substr(plain, end - plain)); };
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const char* escape = nullptr;
    char numeric[16];
    if (c == u'"')
      escape = "\\\"";
    else if (c == u'\\')
      escape = "\\\\";
    else if (c == u'\n')
      escape = "\\n";
    else if (c == u'\r')
      escape = "\\r";
    else if (c == u'\t')
      escape = "\\t";
    else if (c < 0x20) {
      std::snprintf(numeric, sizeof numeric, "\\u%04X", static_cast<unsigned>(c));
      escape = numeric;
    }
    if (escape == nullptr)
      continue;
    flush(i);
    out += escape;
    plain = i + 1;
  }
  flush(text.size());
  return out + "\"";
}

std::string Number(double d) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", d);
  // the shortest text that reads back as the same number
  for (int digits = 1; digits <= 17; ++digits) {
    char shorter[64];
    std::snprintf(shorter, sizeof shorter, "%.*g", digits, d);
    if (std::strtod(shorter, nullptr) == d) {
      std::memcpy(text, shorter, sizeof shorter);
      break;
    }
  }
  std::string out = text;
  if (std::isfinite(d) && out.find_first_of(".en") == std::string::npos)
    out += ".0"; // keep a double recognisable as one
  return out;
}

} // namespace

tVariant EmptyValue() {
  return Zeroed();
}

tVariant IntValue(int32_t n) {
  tVariant value = Zeroed();
  value.vt = VTYPE_I4;
  value.lVal = n;
  return value;
}

tVariant DoubleValue(double d) {
  tVariant value = Zeroed();
  value.vt = VTYPE_R8;
  value.dblVal = d;
  return value;
}

tVariant BoolValue(bool b) {
  tVariant value = Zeroed();
  value.vt = VTYPE_BOOL;
  value.bVal = b;
  return value;
}

tVariant StringValue(CountingMemory& memory, std::u16string_view text) {
  tVariant value = Zeroed();
  if (text.size() >= 0x7FFFFFFF)
    return value;
  auto* block = static_cast<char16_t*>(memory.Allocate((text.size() + 1) * sizeof(char16_t)));
  if (block == nullptr)
    return value;
  std::memcpy(block, text.data(), text.size() * sizeof(char16_t));
  block[text.size()] = 0;
  value.vt = VTYPE_PWSTR;
  value.pwstrVal = reinterpret_cast<WCHAR_T*>(block);
  value.wstrLen = static_cast<uint32_t>(text.size());
  return value;
}

std::u16string TextOf(const tVariant& value, const CountingMemory* memory) {
  if (TypeOf(value) != VTYPE_PWSTR || value.pwstrVal == nullptr)
    return {};
  size_t length = value.wstrLen;
  if (memory != nullptr && memory->Owns(value.pwstrVal))
    length = std::min(length, memory->BlockSize(value.pwstrVal) / sizeof(char16_t));
  return std::u16string(U16Ptr(value.pwstrVal), length);
}

std::string CheckHostText(const CountingMemory& memory, const tVariant& value) {
  if (TypeOf(value) != VTYPE_PWSTR)
    return "not a text value (type " + std::to_string(TypeOf(value)) + ")";
  if (value.pwstrVal == nullptr)
    return "null text pointer";
  if (!memory.Owns(value.pwstrVal))
    return "text not allocated by the host memory manager";
  const size_t units = memory.BlockSize(value.pwstrVal) / sizeof(char16_t);
  if (static_cast<size_t>(value.wstrLen) + 1 > units)
    return "block of " + std::to_string(units) + " units too small for length " +
           std::to_string(value.wstrLen);
  if (value.pwstrVal[value.wstrLen] != 0)
    return "no terminating zero after " + std::to_string(value.wstrLen) + " units";
  return {};
}

std::string DescribeValue(const tVariant& value, const CountingMemory* memory) {
  switch (TypeOf(value)) {
  case VTYPE_EMPTY:
    return "empty";
  case VTYPE_NULL:
    return "null";
  case VTYPE_I1:
    return std::to_string(value.i8Val);
  case VTYPE_I2:
    return std::to_string(value.shortVal);
  case VTYPE_I4:
  case VTYPE_ERROR:
    return std::to_string(value.lVal);
  case VTYPE_INT:
    return std::to_string(value.intVal);
  case VTYPE_UI1:
    return std::to_string(value.ui8Val);
  case VTYPE_UI2:
    return std::to_string(value.ushortVal);
  case VTYPE_UI4:
    return std::to_string(value.ulVal);
  case VTYPE_UINT:
    return std::to_string(value.uintVal);
  case VTYPE_I8:
    return std::to_string(value.llVal);
  case VTYPE_UI8:
    return std::to_string(value.ullVal);
  case VTYPE_R4:
    return Number(value.fltVal);
  case VTYPE_R8:
    return Number(value.dblVal);
  case VTYPE_DATE:
    return "date " + Number(value.date);
  case VTYPE_BOOL:
    return value.bVal ? "true" : "false";
  case VTYPE_TM: {
    char text[64];
    std::snprintf(text, sizeof text, "tm %04d-%02d-%02d %02d:%02d:%02d", value.tmVal.tm_year + 1900,
                  value.tmVal.tm_mon + 1, value.tmVal.tm_mday, value.tmVal.tm_hour, value.tmVal.tm_min,
                  value.tmVal.tm_sec);
    return text;
  }
  case VTYPE_PWSTR:
    if (value.pwstrVal == nullptr)
      return "text(null)";
    return Quote(TextOf(value, memory));
  case VTYPE_PSTR:
    if (value.pstrVal == nullptr)
      return "pstr(null)";
    return "pstr " + Quote(Utf8ToUtf16(std::string_view(value.pstrVal, value.strLen)));
  case VTYPE_BLOB:
    return "blob of " + std::to_string(value.strLen) + " bytes";
  default:
    return "<type " + std::to_string(TypeOf(value)) + ">";
  }
}

std::string ValueKey(const tVariant& value, const CountingMemory* memory) {
  return std::to_string(value.vt) + " " + DescribeValue(value, memory);
}

void ReleaseValue(CountingMemory& memory, tVariant& value) {
  if (HoldsHostBlock(value))
    memory.Free(value.pstrVal);
  value = Zeroed();
}

ValueList::ValueList(CountingMemory& memory, size_t count) : memory_(memory), values_(count, Zeroed()) {}

ValueList::~ValueList() {
  Release();
}

void ValueList::Release() {
  for (tVariant& value : values_)
    ReleaseValue(memory_, value);
}

} // namespace testhost
