// The bridge's own process-wide tables (internal to the bridge).
#pragma once

#include "v8napi.h"

namespace bridge {

extern const v8abi::InitDoneTable kInitDoneTable;
extern const v8abi::LanguageExtenderTable kLanguageExtenderTable;
extern const v8abi::LocaleTable kLocaleTable;
extern const v8abi::UserLanguageTable kUserLanguageTable;

} // namespace bridge
