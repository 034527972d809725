// libFuzzer target: the marking documents over arbitrary bytes. The first
// byte chooses the reader: 0 the drive's reading of a raw code, 1 of a Base64
// one, 2 a RequestKM document, 3 a control file's km rule. Every answer is
// either a refusal with its message and nothing read, or what the reader
// promises of an accepted input.
#include "Marking.h"
#include "TextCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Expect(bool condition, const char* what) {
  if (condition)
    return;
  std::fprintf(stderr, "marking_fuzz: %s\n", what);
  std::abort();
}

void CheckCode(const fiscal::TMarkingCode& code) {
  if (!code.Ok) {
    Expect(!code.Error.empty(), "a refused code without a message");
    Expect(code.Gtin.empty() && code.Serial.empty(), "a refused code left its fields");
    return;
  }
  Expect(code.Error.empty(), "an accepted code with a message");
  Expect(fiscal::IsGtin14(code.Gtin), "an accepted code without a valid GTIN");
  Expect(!code.Serial.empty() && code.Serial.size() <= 20, "an accepted code's serial out of bounds");
  Expect(code.Raw.find(code.Gtin) != std::string::npos, "a GTIN that is not in the code");
  const std::u16string shortened = fiscal::ShortMarkingCode(code.Raw, 30);
  Expect(shortened.size() <= 30, "a shortened code too long");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1)
    return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 4) {
  case 0:
    CheckCode(fiscal::ReadMarkingCode(rest));
    break;
  case 1:
    CheckCode(fiscal::ReadMarkingCodeBase64(rest));
    break;
  case 2: {
    fiscal::TRequestKm request;
    const std::u16string fault = fiscal::ReadRequestKm(Utf8ToUtf16(rest), request);
    if (!fault.empty()) {
      Expect(fault.starts_with(u"Ошибка разбора XML : "), "unexpected message");
      Expect(request.Guid.empty() && request.MarkingCode.empty(), "a refused request left data");
    } else {
      Expect(!request.Guid.empty() && !request.MarkingCode.empty(), "accepted without GUID or code");
      Expect(request.PlannedStatus >= 1 && request.PlannedStatus <= 5, "a planned status out of range");
      Expect(request.Quantity >= 0, "a negative quantity");
      CheckCode(fiscal::ReadMarkingCodeBase64(Utf16ToUtf8(request.MarkingCode)));
    }
    break;
  }
  default: {
    std::u16string error;
    const auto answer = fiscal::ParseKmAnswer(Utf8ToUtf16(rest), error);
    if (answer) {
      Expect(answer->ResultCode >= 0 && answer->ResultCode <= 15, "a result code out of range");
      Expect(answer->DelaySeconds >= 0 && answer->DelaySeconds <= 3600, "a delay out of range");
    } else {
      Expect(!error.empty(), "a refused rule without a message");
    }
  }
  }
  return 0;
}
