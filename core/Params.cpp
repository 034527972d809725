#include "Params.h"

#include "HostValues.h"

#include <new>

static_assert(sizeof(tVariant) <= 64 && alignof(tVariant) <= 8, "TParams::scratch_ holds one value record");

TParams::TParams(const HostMemory& memory, tVariant* params, long count)
    : memory_(memory.Manager()), params_(params), count_(params != nullptr && count > 0 ? count : 0) {
  new (scratch_) tVariant{};
}

TParams::~TParams() {
  ClearValue(HostMemory(memory_), Scratch());
}

tVariant& TParams::Scratch() const {
  return *std::launder(reinterpret_cast<tVariant*>(scratch_));
}

tVariant& TParams::operator[](long k) {
  if (k >= 0 && k < count_)
    return params_[k];
  ClearValue(HostMemory(memory_), Scratch());
  return Scratch();
}

const tVariant& TParams::operator[](long k) const {
  if (k >= 0 && k < count_)
    return params_[k];
  ClearValue(HostMemory(memory_), Scratch());
  return Scratch();
}

bool TParams::IsText(long k) const {
  return TypeOf((*this)[k]) == VTYPE_PWSTR;
}

TParams::TKind TParams::Kind(long k) const {
  switch (TypeOf((*this)[k])) {
  case VTYPE_EMPTY:
  case VTYPE_NULL:
    return TKind::Empty;
  case VTYPE_PWSTR:
    return TKind::Text;
  case VTYPE_I1:
  case VTYPE_I2:
  case VTYPE_I4:
  case VTYPE_I8:
  case VTYPE_INT:
  case VTYPE_UI1:
  case VTYPE_UI2:
  case VTYPE_UI4:
  case VTYPE_UI8:
  case VTYPE_UINT:
  case VTYPE_R4:
  case VTYPE_R8:
    return TKind::Number;
  default:
    return TKind::Other;
  }
}

std::u16string TParams::Text(long k) const {
  return GetStringValue((*this)[k]);
}

std::u16string_view TParams::TextView(long k) const {
  return GetStringUnits((*this)[k]);
}

std::u16string_view TParams::Units(long k) const {
  return GetStatedUnits((*this)[k]);
}

int32_t TParams::Int(long k) const {
  return GetIntValue((*this)[k]);
}

bool TParams::Bool(long k) const {
  return GetBoolValue((*this)[k]);
}

double TParams::Double(long k) const {
  return GetDoubleValue((*this)[k]);
}

bool TParams::SetText(long k, std::u16string_view text) {
  if (SetWideStringValue(HostMemory(memory_), (*this)[k], text))
    return true;
  if (refused_ < 0)
    refused_ = k;
  return false;
}

void TParams::SetInt(long k, int32_t n) {
  SetIntValue(HostMemory(memory_), (*this)[k], n);
}

void TParams::SetBool(long k, bool b) {
  SetBoolValue(HostMemory(memory_), (*this)[k], b);
}

void TParams::SetDouble(long k, double d) {
  SetDoubleValue(HostMemory(memory_), (*this)[k], d);
}
