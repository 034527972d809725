#include "TestEnv.h"

#include "TestHost.h"
#include "orvik_version.h"

namespace testenv {

std::u16string BuildVersion() {
  return testhost::Utf8ToUtf16(ORVIK_VERSION_TEXT);
}

} // namespace testenv
