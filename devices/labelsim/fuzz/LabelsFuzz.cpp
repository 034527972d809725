// libFuzzer target: the labels document over arbitrary text, then every
// label of an accepted one resolved against its formatting and its record
// line made. The first byte chooses whether the rest goes to the parser as
// raw UTF-16 units, two bytes each, lone surrogates and all (high bit), or as
// UTF-8 made into host text.
#include "LabelDocument.h"
#include "LabelFiles.h"
#include "TextCodec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void Expect(bool condition, const char* what) {
  if (condition)
    return;
  std::fprintf(stderr, "labels_fuzz: %s\n", what);
  std::abort();
}

bool Within(double value) {
  return value >= 0 && value <= kLabelMeasureLimit;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::u16string xml;
  if (data[0] & 0x80) {
    xml.resize(rest.size() / 2);
    std::memcpy(xml.data(), rest.data(), xml.size() * 2);
  } else {
    xml = Utf8ToUtf16(rest);
  }
  TLabelsBatch batch;
  const std::u16string fault = ReadLabelsDocument(xml, batch);
  if (!fault.empty()) {
    Expect(fault.starts_with(u"Ошибка разбора XML : "), "unexpected message");
    Expect(batch.Labels.empty() && !batch.Formatting, "a refused document left labels");
    return 0;
  }
  int copies = 0;
  for (const TLabelRecords& label : batch.Labels) {
    Expect(label.Quantity >= 1, "a label of no copies");
    copies += label.Quantity;
  }
  Expect(copies <= kLabelCopiesLimit, "more copies than a batch takes");
  if (!batch.Formatting)
    return 0;
  const TLabelFormatting& formatting = *batch.Formatting;
  Expect(formatting.Width > 0 && formatting.Height > 0 && Within(formatting.Width) &&
             Within(formatting.Height),
         "a label size out of bounds");
  for (const TLabelField& field : formatting.Fields)
    Expect(!field.Name.empty(), "a field without a name");
  for (const TLabelRecords& label : batch.Labels) {
    TResolvedLabel resolved;
    const std::u16string refusal = ResolveLabel(formatting, label, resolved);
    if (!refusal.empty()) {
      Expect(refusal.starts_with(u"Ошибка данных этикетки: "), "unexpected resolution message");
      continue;
    }
    Expect(resolved.Values.size() == formatting.Fields.size(), "a field without its value");
    Expect(resolved.Picture.Items.size() <= formatting.Fields.size(), "more items than fields");
    for (const label::TLabelItem& item : resolved.Picture.Items)
      std::visit(
          [](const auto& drawn) {
            Expect(Within(drawn.Box.Left) && Within(drawn.Box.Top) && Within(drawn.Box.Width) &&
                       Within(drawn.Box.Height) && drawn.Box.Orientation % 90 == 0 &&
                       drawn.Box.Orientation < 360,
                   "a box out of bounds");
            Expect(!drawn.FieldName.empty(), "an item without its field");
          },
          item);
    // The record stays one line whatever the values hold.
    const TPrintedLabel printed{resolved.Quantity, {}, resolved.Values};
    const std::u16string line = LabelRecordLine(1, printed, {u"000001-1.png"});
    Expect(line.find_first_of(u"\r\n") == line.size() - 2, "a record line broken by a value");
  }
  return 0;
}
