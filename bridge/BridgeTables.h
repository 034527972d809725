// The bridge's own process-wide tables (internal to the bridge).
#pragma once

#include "v8napi.h"

namespace bridge {

extern const v8abi::InitDoneTable kInitDoneTable;
extern const v8abi::LanguageExtenderTable kLanguageExtenderTable;
extern const v8abi::LocaleTable kLocaleTable;
extern const v8abi::UserLanguageTable kUserLanguageTable;

// Ends an object the host was given: its user object, then its block. What
// DestroyObject and the tables' destructor slots do.
void EndHostComponent(v8abi::HostComponentBlock* block);

} // namespace bridge
