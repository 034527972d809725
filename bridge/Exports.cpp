// The three functions the host resolves by name. Compiled into every add-in
// library; on Windows the export table (resources/exports.def) gives them
// their names and ordinals.
#include "v8napi.h"

#if defined(_WIN32)
#define ORVIK_EXPORT
#else
#define ORVIK_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
ORVIK_EXPORT long GetClassObject(const WCHAR_T* wsName, void** pIntf) {
  return CreateHostComponent(wsName, pIntf);
}
ORVIK_EXPORT long DestroyObject(void** pIntf) {
  return DestroyHostComponent(pIntf);
}
ORVIK_EXPORT const WCHAR_T* GetClassNames() {
  return RegisteredClassNames();
}
}
