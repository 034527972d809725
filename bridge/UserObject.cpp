#include "v8napi.h"

HostMemory TV8UserObject::Memory() const {
  return HostMemory(MemManager);
}

void TV8UserObject::GetParamDefValue(const std::u16string&, long, long, tVariant&) {}

bool TV8UserObject::CallMethod(const std::u16string&, long, tVariant&, tVariant*, long) {
  return false;
}

long TV8UserObject::GetInfo() {
  return 2100;
}

void TV8UserObject::LocaleChanged() {}

bool TV8UserObject::AccessProperty(long, const std::u16string&, tVariant&, bool) {
  return false;
}

void TV8UserObject::OnInit(v8abi::Connection*) {}

void TV8UserObject::OnDone() {}

void TV8UserObject::AddProperty(std::u16string english, std::u16string russian, std::u16string access) {
  PropNames.push_back(std::move(english));
  PropNamesRu.push_back(std::move(russian));
  PropAccess.push_back(std::move(access));
}

void TV8UserObject::AddMethod(std::u16string english, std::u16string russian, int32_t paramCount,
                              bool hasRetVal) {
  MethNames.push_back(std::move(english));
  MethNamesRu.push_back(std::move(russian));
  MethParamCounts.push_back(paramCount);
  MethHasRetVal.push_back(hasRetVal);
}

namespace {

// English name before local name at each index; the first index where either matches.
long FindName(const std::vector<std::u16string>& english, const std::vector<std::u16string>& local,
              std::u16string_view name) {
  if (name.empty())
    return -1;
  for (size_t i = 0; i < english.size(); ++i) {
    if (HostNamesEqual(name, english[i]) || (i < local.size() && HostNamesEqual(name, local[i])))
      return static_cast<long>(i);
  }
  return -1;
}

} // namespace

long TV8UserObject::FindProperty(std::u16string_view name) const {
  return FindName(PropNames, PropNamesRu, name);
}

long TV8UserObject::FindMethod(std::u16string_view name) const {
  return FindName(MethNames, MethNamesRu, name);
}
