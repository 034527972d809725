// libFuzzer target: the goods-list check over arbitrary goods text and package
// status. The first byte chooses the status length (its low five bits) and
// whether the rest goes to the parser as raw UTF-16 units, two bytes each, lone
// surrogates and all (high bit), or as UTF-8 made into host text.
#include "GoodsList.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Every answer is empty or one of the scale's messages.
void ExpectMessage(const std::u16string& message) {
  if (message.empty() || message.starts_with(u"Неверный статус пакета: \"") ||
      message.starts_with(u"Ошибка разбора XML : "))
    return;
  std::fprintf(stderr, "unexpected answer: %s\n", Utf16ToUtf8(message).c_str());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const uint8_t head = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t statusLength = std::min<size_t>(head & 0x1F, rest.size());
  const std::u16string status = Utf8ToUtf16(rest.substr(0, statusLength));
  const std::string_view goods = rest.substr(statusLength);

  if (head & 0x80) {
    ExpectMessage(CheckPackageStatus(status));
    std::u16string units(goods.size() / 2, u'\0');
    std::memcpy(units.data(), goods.data(), units.size() * 2);
    ExpectMessage(CheckGoodsXml(units));
  } else {
    ExpectMessage(CheckGoodsUpload(Utf8ToUtf16(goods), status));
  }
  return 0;
}
