// The host bridge: exports and class table, the component's interface tables,
// the host-visible object with its property and method registry, and the host
// values. Everything that crosses the host boundary goes through here.
#pragma once

#include "Abi.h"
#include "ClassTable.h"
#include "HostValues.h"
#include "TextCodec.h"
#include "UserObject.h"

// What the library's three exports do (bridge/Exports.cpp exports them by name).
long CreateHostComponent(const WCHAR_T* wsName, void** pIntf); // GetClassObject
long DestroyHostComponent(void** pIntf);                       // DestroyObject
const WCHAR_T* RegisteredClassNames();                         // GetClassNames
