// The labels document: the shared strict XML check with the document's own
// elements (Data, Formatting and its fields, Labels, Label, Record).
#include "LabelDocument.h"

#include "TextCodec.h"
#include "XmlCheck.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace {

using label::TAlign;
using label::TBarcodeItem;
using label::TBorders;
using label::TBox;
using label::TImageItem;
using label::TLineStyle;
using label::TTextItem;

// A value that a message quotes is shown by its beginning.
constexpr size_t kShownLimit = 32;
constexpr double kFontSizeLimit = 500; // points
constexpr int kBorderWidthLimit = 100; // dots

std::u16string Shown(const char* value) {
  std::u16string text = Utf8ToUtf16(value);
  if (text.size() > kShownLimit)
    text = text.substr(0, kShownLimit) + u"...";
  return text;
}

// The barcode types as the document names them; "QR" as receipts name it.
struct TTypeName {
  const char* Lower;
  std::u16string_view Name;
};
constexpr TTypeName kTypes[] = {
    {"ean8", u"EAN8"},
    {"ean13", u"EAN13"},
    {"ean128", u"EAN128"},
    {"code39", u"Code39"},
    {"code128", u"Code128"},
    {"code16k", u"Code16k"},
    {"code93", u"Code93"},
    {"pdf417", u"PDF417"},
    {"datamatrix", u"DataMatrix"},
    {"qrcode", u"QRCode"},
    {"itf14", u"ITF14"},
    {"ean13addon2", u"EAN13Addon2"},
    {"ean13addon5", u"EAN13Addon5"},
    {"gs1databarexpandedstacked", u"GS1DataBarExpandedStacked"},
    {"qr", u"QRCode"},
};

std::u16string KnownTypesText() {
  std::u16string text;
  const size_t last = std::size(kTypes) - 2; // without the receipts' "QR"
  for (size_t i = 0; i <= last; ++i) {
    if (i > 0)
      text += i == last ? u" или " : u", ";
    text += kTypes[i].Name;
  }
  return text;
}

// A decimal with a dot or a comma: digits, then a separator and digits.
bool ParseDecimal(const char* text, double& value) {
  double whole = 0;
  size_t digits = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits)
    whole = whole * 10 + (*p - '0');
  if (digits == 0 || digits > 9)
    return false;
  double fraction = 0;
  if (*p == '.' || *p == ',') {
    ++p;
    double scale = 0.1;
    size_t fractionDigits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++fractionDigits, scale /= 10)
      fraction += (*p - '0') * scale;
    if (fractionDigits == 0 || fractionDigits > 9)
      return false;
  }
  value = whole + fraction;
  return *p == 0;
}

// A whole number of up to nine digits.
bool ParseWhole(const char* text, int& value) {
  if (*text == 0 || std::strlen(text) > 9)
    return false;
  value = 0;
  for (const char* p = text; *p != 0; ++p) {
    if (*p < '0' || *p > '9')
      return false;
    value = value * 10 + (*p - '0');
  }
  return true;
}

// The attributes of one element, and the messages about them: each names the
// element, the attribute and, once known, the field.
class TElement {
public:
  TElement(std::u16string_view name, const char** attributes) : Name_(name), Attributes_(attributes) {}

  const char* Find(std::string_view lower) const {
    const char* found = nullptr;
    for (const char** a = Attributes_; a[0] != nullptr; a += 2)
      if (XmlNameIs(a[0], lower))
        found = a[1];
    return found;
  }

  std::u16string Fault(std::u16string_view what, std::u16string_view attribute,
                       std::u16string_view expected = {}) const {
    std::u16string text = XmlAttributeFault(what, attribute, Name_);
    if (!Field.empty())
      text += u" (поле \"" + Field + u"\")";
    if (!expected.empty())
      text += u", ожидается " + std::u16string(expected);
    return text;
  }
  std::u16string Missing(std::u16string_view attribute) const {
    return Fault(u"не найден атрибут", attribute);
  }
  std::u16string Wrong(std::u16string_view attribute, std::u16string_view expected) const {
    return Fault(u"неверное значение атрибута", attribute, expected);
  }

  // A measure in millimetres from 0 to kLabelMeasureLimit (above 0 when
  // positive); left as it is when absent and not required.
  std::u16string Measure(std::string_view lower, std::u16string_view name, bool required, double& value,
                         bool positive = false) const {
    const char* text = Find(lower);
    if (text == nullptr)
      return required ? Missing(name) : std::u16string();
    double parsed = 0;
    if (!ParseDecimal(text, parsed) || parsed > kLabelMeasureLimit || (positive && parsed <= 0))
      return Wrong(name, positive ? u"число миллиметров больше 0 и не больше 1000"
                                  : u"число миллиметров от 0 до 1000");
    value = parsed;
    return {};
  }

  std::u16string Boolean(std::string_view lower, std::u16string_view name, bool& value) const {
    const char* text = Find(lower);
    if (text == nullptr)
      return {};
    if (XmlNameIs(text, "true") || std::strcmp(text, "1") == 0)
      value = true;
    else if (XmlNameIs(text, "false") || std::strcmp(text, "0") == 0)
      value = false;
    else
      return Wrong(name, u"true или false");
    return {};
  }

  // One of the words (any letter case); its index.
  std::u16string OneOf(std::string_view lower, std::u16string_view name,
                       std::initializer_list<const char*> words, std::u16string_view expected,
                       int& index) const {
    const char* text = Find(lower);
    if (text == nullptr)
      return {};
    int i = 0;
    for (const char* word : words) {
      if (XmlNameIs(text, word)) {
        index = i;
        return {};
      }
      ++i;
    }
    return Wrong(name, expected);
  }

  // Words parted by blanks or commas, each one of words: a flag per word.
  std::u16string Words(std::string_view lower, std::u16string_view name,
                       std::initializer_list<const char*> words, std::u16string_view expected,
                       std::initializer_list<bool*> flags) const {
    const char* text = Find(lower);
    if (text == nullptr)
      return {};
    std::string word;
    for (const char* p = text;; ++p) {
      if (*p != 0 && *p != ' ' && *p != ',' && *p != '\t') {
        word += *p;
        continue;
      }
      if (!word.empty()) {
        bool known = false;
        auto flag = flags.begin();
        for (const char* candidate : words) {
          if (XmlNameIs(word.c_str(), candidate)) {
            **flag = true;
            known = true;
          }
          ++flag;
        }
        if (!known)
          return Wrong(name, expected);
        word.clear();
      }
      if (*p == 0)
        return {};
    }
  }

  std::u16string Orientation(int& value) const {
    const char* text = Find("orientation");
    if (text == nullptr)
      return {};
    int parsed = 0;
    if (!ParseWhole(text, parsed) || parsed % 90 != 0 || parsed > 270)
      return Wrong(u"Orientation", u"0, 90, 180 или 270");
    value = parsed;
    return {};
  }

  std::u16string FontSize(bool required, double& value) const {
    const char* text = Find("fontsize");
    if (text == nullptr)
      return required ? Missing(u"FontSize") : std::u16string();
    if (!ParseDecimal(text, value) || value <= 0 || value > kFontSizeLimit)
      return Wrong(u"FontSize", u"размер шрифта в пунктах больше 0 и не больше 500");
    return {};
  }

  std::u16string Borders(TBorders& borders) const {
    std::u16string fault =
        Words("border", u"Border", {"left", "top", "right", "bottom"}, u"слова Left, Top, Right, Bottom",
              {&borders.Left, &borders.Top, &borders.Right, &borders.Bottom});
    if (!fault.empty())
      return fault;
    if (const char* width = Find("borderwidth"); width != nullptr)
      if (!ParseWhole(width, borders.WidthDots) || borders.WidthDots > kBorderWidthLimit)
        return Wrong(u"BorderWidth", u"число точек от 0 до 100");
    int style = 0;
    fault = OneOf("borderstyle", u"BorderStyle", {"solid", "dotted", "dashed", "double"},
                  u"Solid, Dotted, Dashed или Double", style);
    borders.Style = static_cast<TLineStyle>(style);
    return fault;
  }

  std::u16string_view Name_;
  std::u16string Field; // the field's name, once read

private:
  const char** Attributes_;
};

// The box of a field: Left and Top always required, Width and Height as the
// field's kind asks.
std::u16string ReadBox(const TElement& element, bool sizeRequired, TBox& box) {
  std::u16string fault;
  if (fault.empty())
    fault = element.Measure("left", u"Left", true, box.Left);
  if (fault.empty())
    fault = element.Measure("top", u"Top", true, box.Top);
  if (fault.empty())
    fault = element.Measure("width", u"Width", sizeRequired, box.Width);
  if (fault.empty())
    fault = element.Measure("height", u"Height", sizeRequired, box.Height);
  if (fault.empty())
    fault = element.Orientation(box.Orientation);
  return fault;
}

std::u16string ReadText(const TElement& element, TLabelField& field) {
  TTextItem item;
  std::u16string fault = ReadBox(element, true, item.Box);
  if (fault.empty())
    fault = element.FontSize(true, item.FontSize);
  if (fault.empty())
    fault = element.Words("fontstyle", u"FontStyle", {"bold", "italic", "underline", "strikeout"},
                          u"слова Bold, Italic, Underline, StrikeOut",
                          {&item.Bold, &item.Italic, &item.Underline, &item.StrikeOut});
  if (fault.empty())
    fault = element.Borders(item.Borders);
  int align = 0;
  int valign = 0;
  if (fault.empty())
    fault = element.OneOf("align", u"Align", {"left", "center", "right"}, u"Left, Center или Right", align);
  if (fault.empty())
    fault =
        element.OneOf("valign", u"VAlign", {"top", "center", "bottom"}, u"Top, Center или Bottom", valign);
  if (fault.empty())
    fault = element.Boolean("multiline", u"Multiline", item.Multiline);
  if (!fault.empty())
    return fault;
  item.Align = static_cast<TAlign>(align);
  item.VAlign = static_cast<TAlign>(valign);
  if (const char* font = element.Find("fontname"); font != nullptr)
    item.FontName = Utf8ToUtf16(font);
  if (const char* value = element.Find("value"); value != nullptr)
    field.Value = Utf8ToUtf16(value);
  field.Item = std::move(item);
  return {};
}

std::u16string ReadBarcode(const TElement& element, TLabelField& field) {
  TBarcodeItem item;
  const char* type = element.Find("type");
  if (type == nullptr)
    return element.Missing(u"Type");
  for (const TTypeName& known : kTypes)
    if (XmlNameIs(type, known.Lower))
      item.Type = known.Name;
  if (item.Type.empty())
    return element.Fault(u"неизвестный тип штрихкода \"" + Shown(type) + u"\" в атрибуте", u"Type",
                         KnownTypesText());
  std::u16string fault = element.Measure("left", u"Left", true, item.Box.Left);
  if (fault.empty())
    fault = element.Measure("top", u"Top", true, item.Box.Top);
  if (fault.empty())
    fault = element.Measure("height", u"Height", true, item.Box.Height);
  if (fault.empty())
    fault = element.Measure("width", u"Width", false, item.Box.Width);
  if (fault.empty())
    fault = element.Orientation(item.Box.Orientation);
  if (fault.empty())
    fault = element.Boolean("printhri", u"PrintHRI", item.PrintHri);
  if (fault.empty())
    fault = element.FontSize(item.PrintHri, item.FontSize);
  if (fault.empty())
    fault = element.Boolean("checksymbol", u"CheckSymbol", item.CheckSymbol);
  if (!fault.empty())
    return fault;
  // The value: ValueBase64 (its UTF-8) since the revision that brought it,
  // Value before it; never both.
  const char* base64 = element.Find("valuebase64");
  const char* plain = element.Find("value");
  if (base64 != nullptr && plain != nullptr)
    return XmlFault(u"атрибуты \"Value\" и \"ValueBase64\" заданы вместе у элемента \"Barcode\" (поле \"" +
                    field.Name + u"\")");
  if (base64 != nullptr) {
    std::string bytes;
    if (!DecodeBase64(base64, bytes) || bytes.find('\0') != std::string::npos)
      return element.Wrong(u"ValueBase64", u"Base64");
    field.Value = Utf8ToUtf16(bytes);
  } else if (plain != nullptr) {
    field.Value = Utf8ToUtf16(plain);
  }
  if (field.Static && field.Value.empty())
    return element.Missing(u"ValueBase64");
  field.Item = std::move(item);
  return {};
}

std::u16string ReadImage(const TElement& element, TLabelField& field) {
  TImageItem item;
  std::u16string fault = ReadBox(element, false, item.Box);
  if (fault.empty())
    fault = element.Borders(item.Borders);
  if (!fault.empty())
    return fault;
  if (const char* value = element.Find("value"); value != nullptr)
    if (!DecodeBase64(value, field.ImageBytes))
      return element.Wrong(u"Value", u"файл изображения в Base64");
  if (field.Static && field.ImageBytes.empty())
    return element.Missing(u"Value");
  field.Item = std::move(item);
  return {};
}

class TLabelsCheck : public TXmlCheck {
public:
  explicit TLabelsCheck(TLabelsBatch& batch) : batch_(batch) {}

protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1) {
      if (!XmlNameIs(name, "data"))
        Fault(XmlFault(u"неверный корневой элемент \"" + Shown(name) + u"\", ожидается \"Data\""));
    } else if (depth == 2) {
      if (XmlNameIs(name, "formatting"))
        StartFormatting(attributes);
      else if (XmlNameIs(name, "labels"))
        StartLabels();
    } else if (depth == 3 && inFormatting_) {
      if (XmlNameIs(name, "text"))
        ReadField(TFieldKind::Text, u"Text", attributes);
      else if (XmlNameIs(name, "barcode"))
        ReadField(TFieldKind::Barcode, u"Barcode", attributes);
      else if (XmlNameIs(name, "image"))
        ReadField(TFieldKind::Image, u"Image", attributes);
      else if (XmlNameIs(name, "userdata"))
        ReadField(TFieldKind::UserData, u"UserData", attributes);
    } else if (depth == 3 && inLabels_ && XmlNameIs(name, "label")) {
      StartLabel(attributes);
    } else if (depth == 4 && inLabel_ && XmlNameIs(name, "record")) {
      ReadRecord(attributes);
    }
  }
  void OnEnd(size_t depth) override {
    if (depth == 2)
      inFormatting_ = inLabels_ = false;
    else if (depth == 3)
      inLabel_ = false;
  }
  std::u16string Finish() override {
    return seenLabels_ ? std::u16string() : XmlFault(u"не найден элемент \"Labels\"");
  }

private:
  void StartFormatting(const char** attributes) {
    if (batch_.Formatting.has_value())
      return Fault(XmlFault(u"элемент \"Formatting\" задан дважды"));
    const TElement element(u"Formatting", attributes);
    TLabelFormatting formatting;
    std::u16string fault = element.Measure("width", u"Width", true, formatting.Width, true);
    if (fault.empty())
      fault = element.Measure("height", u"Height", true, formatting.Height, true);
    if (!fault.empty())
      return Fault(std::move(fault));
    batch_.Formatting = std::move(formatting);
    inFormatting_ = true;
  }

  void StartLabels() {
    if (seenLabels_)
      return Fault(XmlFault(u"элемент \"Labels\" задан дважды"));
    seenLabels_ = true;
    inLabels_ = true;
  }

  void ReadField(TFieldKind kind, std::u16string_view elementName, const char** attributes) {
    TElement element(elementName, attributes);
    TLabelField field;
    field.Kind = kind;
    const char* name = element.Find("fieldname");
    if (name == nullptr || *name == 0)
      return Fault(name == nullptr ? element.Missing(u"FieldName")
                                   : element.Fault(u"пустое значение атрибута", u"FieldName"));
    field.Name = Utf8ToUtf16(name);
    element.Field = field.Name;
    const std::u16string key = LowerCaseFull(field.Name);
    for (const TLabelField& other : batch_.Formatting->Fields)
      if (LowerCaseFull(other.Name) == key)
        return Fault(element.Fault(u"повторяется значение атрибута", u"FieldName"));
    std::u16string fault = element.Boolean("static", u"Static", field.Static);
    if (fault.empty()) {
      switch (kind) {
      case TFieldKind::Text:
        fault = ReadText(element, field);
        break;
      case TFieldKind::Barcode:
        fault = ReadBarcode(element, field);
        break;
      case TFieldKind::Image:
        fault = ReadImage(element, field);
        break;
      case TFieldKind::UserData:
        if (const char* value = element.Find("value"); value != nullptr)
          field.Value = Utf8ToUtf16(value);
        break;
      }
    }
    if (!fault.empty())
      return Fault(std::move(fault));
    std::visit([&](auto& item) { item.FieldName = field.Name; }, field.Item);
    batch_.Formatting->Fields.push_back(std::move(field));
  }

  void StartLabel(const char** attributes) {
    const TElement element(u"Label", attributes);
    TLabelRecords labelRecords;
    if (const char* quantity = element.Find("quantity"); quantity != nullptr) {
      int copies = 0;
      if (!ParseWhole(quantity, copies) || copies < 1 || copies > kLabelCopiesLimit)
        return Fault(element.Wrong(u"Quantity", u"число копий от 1 до 1000"));
      labelRecords.Quantity = copies;
    }
    copies_ += labelRecords.Quantity;
    if (copies_ > kLabelCopiesLimit)
      return Fault(XmlFault(u"слишком много этикеток в пакете: больше 1000 копий"));
    batch_.Labels.push_back(std::move(labelRecords));
    inLabel_ = true;
  }

  void ReadRecord(const char** attributes) {
    const TElement element(u"Record", attributes);
    const char* name = element.Find("fieldname");
    if (name == nullptr)
      return Fault(element.Missing(u"FieldName"));
    const char* value = element.Find("value");
    if (value == nullptr)
      return Fault(element.Missing(u"Value"));
    std::u16string field = Utf8ToUtf16(name);
    const std::u16string key = LowerCaseFull(field);
    auto& records = batch_.Labels.back().Records;
    for (const auto& [other, _] : records)
      if (LowerCaseFull(other) == key)
        return Fault(
            XmlFault(u"поле \"" + field + u"\" задано дважды в одной этикетке (элемент \"Record\")"));
    records.emplace_back(std::move(field), Utf8ToUtf16(value));
  }

  TLabelsBatch& batch_;
  bool inFormatting_ = false;
  bool seenLabels_ = false;
  bool inLabels_ = false;
  bool inLabel_ = false;
  int copies_ = 0;
};

} // namespace

std::u16string ReadLabelsDocument(std::u16string_view xml, TLabelsBatch& batch) {
  batch = {};
  std::u16string fault = TLabelsCheck(batch).Check(xml);
  if (!fault.empty())
    batch = {};
  return fault;
}

std::u16string ResolveLabel(const TLabelFormatting& formatting, const TLabelRecords& label,
                            TResolvedLabel& resolved) {
  resolved = {};
  resolved.Quantity = label.Quantity;
  resolved.Picture.Width = formatting.Width;
  resolved.Picture.Height = formatting.Height;
  // Each record names a field that takes a value.
  std::vector<const TLabelField*> fieldOf(label.Records.size(), nullptr);
  for (size_t r = 0; r < label.Records.size(); ++r) {
    const std::u16string key = LowerCaseFull(label.Records[r].first);
    for (const TLabelField& field : formatting.Fields)
      if (LowerCaseFull(field.Name) == key)
        fieldOf[r] = &field;
    if (fieldOf[r] == nullptr)
      return u"Ошибка данных этикетки: поле \"" + label.Records[r].first +
             u"\" элемента \"Record\" не найдено в элементе \"Formatting\"";
    if (fieldOf[r]->Static)
      return u"Ошибка данных этикетки: поле \"" + label.Records[r].first +
             u"\" статическое, его значение задаёт элемент \"Formatting\", а не \"Record\"";
  }
  for (const TLabelField& field : formatting.Fields) {
    const std::u16string* record = nullptr;
    for (size_t r = 0; r < label.Records.size(); ++r)
      if (fieldOf[r] == &field)
        record = &label.Records[r].second;
    if (field.Kind == TFieldKind::Image) {
      std::string bytes;
      if (record != nullptr && !DecodeBase64(Utf16ToUtf8(*record), bytes))
        return u"Ошибка данных этикетки: значение поля \"" + field.Name +
               u"\" элемента \"Record\" не Base64, ожидается файл изображения в Base64";
      if (record == nullptr)
        bytes = field.ImageBytes;
      resolved.Values.emplace_back(field.Name,
                                   u"изображение, байт: " + Decimal(static_cast<long long>(bytes.size())));
      if (!bytes.empty()) {
        TImageItem item = std::get<TImageItem>(field.Item);
        item.Data = std::move(bytes);
        resolved.Picture.Items.emplace_back(std::move(item));
      }
      continue;
    }
    const std::u16string& value = record != nullptr ? *record : field.Value;
    resolved.Values.emplace_back(field.Name, value);
    if (field.Kind == TFieldKind::Text) {
      TTextItem item = std::get<TTextItem>(field.Item);
      item.Text = value;
      resolved.Picture.Items.emplace_back(std::move(item));
    } else if (field.Kind == TFieldKind::Barcode && !value.empty()) {
      TBarcodeItem item = std::get<TBarcodeItem>(field.Item);
      item.Value = value;
      resolved.Picture.Items.emplace_back(std::move(item));
    }
  }
  return {};
}
