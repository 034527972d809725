// libFuzzer target: the terminal's goods table over arbitrary text. The first
// byte chooses whether the rest goes to the reader as raw UTF-16 units, two
// bytes each, lone surrogates and all (high bit), or as UTF-8 made into host
// text, and which batch status it comes with (low two bits).
//
// Oracle: a refusal is a parse message; an accepted table changes the
// terminal as a batch, and then the state file written of it reads back to
// the same state, and the collected table of every code it holds reads as a
// goods table with the same codes.
#include "TerminalTable.h"
#include "TextCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what, const std::u16string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, Utf16ToUtf8(detail).c_str());
  std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const uint8_t head = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::u16string xml;
  if (head & 0x80) {
    xml.resize(rest.size() / 2);
    std::memcpy(xml.data(), rest.data(), xml.size() * 2);
  } else {
    xml = Utf8ToUtf16(rest);
  }

  TGoodsBatch batch;
  const std::u16string fault = ReadGoodsTable(xml, batch);
  if (!fault.empty()) {
    if (!fault.starts_with(u"Ошибка разбора XML : "))
      Fail("unexpected answer", fault);
    return 0;
  }
  static constexpr const char16_t* kStatus[] = {u"first", u"regular", u"last", u"last"};
  TTerminalState state;
  state.Taken = {u"1;2"};
  ApplyBatch(state, u"first", TGoodsBatch{false, {{u"\u001D0", {{u"Name", u"старый"}}}}});
  if (!ApplyBatch(state, kStatus[head & 3], std::move(batch)).empty())
    Fail("batch refused", kStatus[head & 3]);
  for (const TGood& good : state.Goods)
    if (!Collect(state, good.Code, 1500).empty())
      Fail("not collected", good.Code);

  const std::u16string written = StateXml(state);
  TTerminalState back;
  if (const std::u16string error = ReadStateXml(written, back); !error.empty())
    Fail("state not read back", error + u"\n" + written);
  if (StateXml(back) != written)
    Fail("state changed on the way", written);

  TGoodsBatch table;
  if (const std::u16string error = ReadGoodsTable(DownloadXml(state), table); !error.empty())
    Fail("collected table unreadable", error);
  if (table.Goods.size() != state.Collected.size())
    Fail("collected table lost records", DownloadXml(state));
  for (size_t i = 0; i < table.Goods.size(); ++i)
    if (table.Goods[i].Code != state.Collected[i].Code)
      Fail("collected code changed", state.Collected[i].Code);
  return 0;
}
