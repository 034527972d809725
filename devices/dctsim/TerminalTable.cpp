// The data collection terminal's documents: the goods table read by the
// strict XML check (XmlCheck.h) that the scale's goods list uses, so that the
// messages read alike; the state file written and read back; the collected
// table.
#include "TerminalTable.h"

#include "DeviceSet.h"
#include "TextCodec.h"
#include "XmlCheck.h"

#include <map>
#include <optional>

namespace {

constexpr char16_t kXmlHead[] = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u00A0';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// An attribute value for the documents this terminal writes: the XML
// specials and the blanks an attribute would lose (tab, CR, LF) as references.
void AppendAttribute(std::u16string& out, std::u16string_view name, std::u16string_view value) {
  out += u' ';
  out += name;
  out += u"=\"";
  out += XmlEscape(value);
  out += u'"';
}

// Whether XML 1.0 can carry every character of text (lone surrogates
// included among those it cannot).
bool XmlCanCarry(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r')
      return false;
    if (c == 0xFFFE || c == 0xFFFF)
      return false;
    if (IsSurrogatePair(text, i))
      ++i;
    else if (IsSurrogate(c))
      return false;
  }
  return true;
}

// Strict Base64: only the canonical text of some bytes (padded to four,
// unused bits zero) is taken; the bytes must be UTF-8 text.
std::optional<std::u16string> DecodeText64(std::string_view text) {
  std::string bytes;
  if (text.size() % 4 != 0 || !DecodeBase64(text, bytes) || Utf16ToUtf8(EncodeBase64(bytes)) != text)
    return std::nullopt;
  std::u16string decoded = Utf8ToUtf16(bytes);
  if (Utf16ToUtf8(decoded) != bytes) // malformed UTF-8 became U+FFFD
    return std::nullopt;
  return decoded;
}

std::u16string Encode64(std::u16string_view text) {
  return EncodeBase64(Utf16ToUtf8(text));
}

// A boolean as the platform writes it: true/false in any case, or 1/0.
std::optional<bool> ReadBoolean(const char* value) {
  if (XmlNameIs(value, "true") || std::string_view(value) == "1")
    return true;
  if (XmlNameIs(value, "false") || std::string_view(value) == "0")
    return false;
  return std::nullopt;
}

// A decimal with "." or "," and no sign: the text with "." as separator, or
// nullopt.
std::optional<std::u16string> ReadDecimal(std::string_view text) {
  std::u16string out;
  bool separator = false;
  size_t digits = 0;
  for (const char c : text) {
    if (c == '.' || c == ',') {
      if (separator)
        return std::nullopt;
      separator = true;
      out += u'.';
    } else if (c >= '0' && c <= '9') {
      ++digits;
      out += static_cast<char16_t>(c);
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0)
    return std::nullopt;
  return out;
}

bool AllDigits(std::string_view text) {
  if (text.empty())
    return false;
  for (const char c : text)
    if (c < '0' || c > '9')
      return false;
  return true;
}

// The attributes of a Record that are checked (their names compared
// without regard to A-Z case).
enum class TKind { Plain, BarCode, BarCode64, Decimal, Digits, Boolean, Base64 };

TKind KindOf(const char* name) {
  static const std::pair<std::string_view, TKind> kKinds[] = {
      {"barcode", TKind::BarCode},
      {"barcodebase64", TKind::BarCode64},
      {"price", TKind::Decimal},
      {"quantity", TKind::Decimal},
      {"markedgoodtypecode", TKind::Digits},
      {"alcohol", TKind::Boolean},
      {"alcoholexcisable", TKind::Boolean},
      {"containerbarcodebase64", TKind::Base64},
      {"alcoholexcisestampbase64", TKind::Base64},
  };
  for (const auto& [lower, kind] : kKinds)
    if (XmlNameIs(name, lower))
      return kind;
  return TKind::Plain;
}

// Reads the goods table's elements as they come.
class TGoodsReader : public TXmlCheck {
public:
  explicit TGoodsReader(TGoodsBatch& batch) : batch_(batch) {}

protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1)
      return Root(name, attributes);
    if (depth == 2 && XmlNameIs(name, "record"))
      Record(attributes);
  }

private:
  void Root(const char* name, const char** attributes) {
    if (!XmlNameIs(name, "table"))
      return Fault(
          XmlFault(u"неверный корневой элемент \"" + Utf8ToUtf16(name) + u"\", ожидается \"Table\""));
    for (; attributes[0] != nullptr; attributes += 2) {
      if (!XmlNameIs(attributes[0], "fullload"))
        continue;
      const std::optional<bool> full = ReadBoolean(attributes[1]);
      if (!full)
        return Fault(XmlAttributeFault(u"неверное значение атрибута", u"FullLoad", u"Table"));
      batch_.FullLoad = *full;
    }
  }

  void Record(const char** attributes) {
    ++number_;
    named_.clear();
    // The code as the record gives it, to name the record in a message.
    for (const char** a = attributes; a[0] != nullptr; a += 2)
      if (KindOf(a[0]) == TKind::BarCode || KindOf(a[0]) == TKind::BarCode64)
        named_ = Utf8ToUtf16(a[1]);
    TGood good;
    std::optional<std::u16string> plain, decoded;
    for (; attributes[0] != nullptr; attributes += 2) {
      const char* name = attributes[0];
      const std::string_view value = attributes[1];
      const std::u16string wideName = Utf8ToUtf16(name);
      // An empty number or flag is one not given, as the platform sends them.
      const TKind kind = KindOf(name);
      if (value.empty() && (kind == TKind::Decimal || kind == TKind::Digits || kind == TKind::Boolean)) {
        good.Attributes.emplace_back(wideName, std::u16string());
        continue;
      }
      switch (kind) {
      case TKind::BarCode:
        if (value.empty())
          return RecordFault(u"пустое значение атрибута", wideName);
        plain = Utf8ToUtf16(value);
        continue;
      case TKind::BarCode64:
        decoded = DecodeText64(value);
        if (!decoded || decoded->empty())
          return RecordFault(u"неверное значение атрибута (ожидается Base64 текста UTF-8)", wideName);
        continue;
      case TKind::Decimal:
        if (const std::optional<std::u16string> number = ReadDecimal(value)) {
          good.Attributes.emplace_back(wideName, *number);
          continue;
        }
        return RecordFault(u"неверное значение атрибута (ожидается число)", wideName);
      case TKind::Digits:
        if (!AllDigits(value))
          return RecordFault(u"неверное значение атрибута (ожидается целое число)", wideName);
        break;
      case TKind::Boolean:
        if (!ReadBoolean(attributes[1]))
          return RecordFault(u"неверное значение атрибута (ожидается true или false)", wideName);
        break;
      case TKind::Base64:
        if (!value.empty() && !DecodeText64(value))
          return RecordFault(u"неверное значение атрибута (ожидается Base64)", wideName);
        break;
      case TKind::Plain:
        break;
      }
      good.Attributes.emplace_back(wideName, Utf8ToUtf16(value));
    }
    if (!plain && !decoded)
      return RecordFault(u"не найден атрибут", u"BarCode");
    if (plain && decoded && *plain != *decoded)
      return RecordFault(u"значение не совпадает с BarCode у атрибута", u"BarCodeBase64");
    good.Code = decoded ? std::move(*decoded) : std::move(*plain);
    batch_.Goods.push_back(std::move(good));
  }

  void RecordFault(std::u16string_view what, std::u16string_view attribute) {
    std::u16string message = XmlAttributeFault(what, attribute, u"Record") + u" (запись " + Decimal(number_);
    if (!named_.empty())
      message += u", штрихкод \"" + named_ + u"\"";
    Fault(message + u")");
  }

  TGoodsBatch& batch_;
  long long number_ = 0;
  std::u16string named_;
};

// Reads the state file back: sections at depth 2, their items at depth 3, a
// good's attributes at depth 4 (elements of their own, so that no name the
// host gave can clash with the file's own attributes).
class TStateReader : public TXmlCheck {
public:
  explicit TStateReader(TTerminalState& state) : state_(state) {}

protected:
  void OnStart(size_t depth, const char* name, const char** attributes) override {
    if (depth == 1) {
      if (!XmlNameIs(name, "terminal"))
        Fault(u"неверный корневой элемент");
    } else if (depth == 2) {
      section_ = name;
      if (section_ == "Upload")
        for (; attributes[0] != nullptr; attributes += 2) {
          if (std::string_view(attributes[0]) == "Open")
            state_.UploadOpen = ReadBoolean(attributes[1]).value_or(false);
          else if (std::string_view(attributes[0]) == "FullLoad")
            state_.UploadFullLoad = ReadBoolean(attributes[1]).value_or(false);
        }
    } else if (depth == 3) {
      Item(attributes);
    } else if (depth == 4 && good_ != nullptr) {
      std::u16string key, value;
      for (; attributes[0] != nullptr; attributes += 2) {
        if (std::string_view(attributes[0]) == "Name")
          key = Utf8ToUtf16(attributes[1]);
        else if (std::string_view(attributes[0]) == "Value")
          value = Utf8ToUtf16(attributes[1]);
      }
      good_->Attributes.emplace_back(std::move(key), std::move(value));
    }
  }

private:
  void Item(const char** attributes) {
    good_ = nullptr;
    std::optional<std::u16string> code;
    int64_t milli = 0;
    for (; attributes[0] != nullptr; attributes += 2) {
      const std::string_view name = attributes[0];
      if (name == "Code64" || name == "Text64") {
        code = DecodeText64(attributes[1]);
        if (!code)
          return Fault(u"неверный Base64 в атрибуте " + Utf8ToUtf16(name));
      } else if (name == "Quantity") {
        if (!ReadQuantity(Utf8ToUtf16(attributes[1]), milli).empty())
          return Fault(u"неверное количество");
      }
    }
    if (!code)
      return Fault(u"нет кода у элемента в разделе " + Utf8ToUtf16(section_));
    if (section_ == "Goods" || section_ == "Upload") {
      std::vector<TGood>& goods = section_ == "Goods" ? state_.Goods : state_.Upload;
      goods.push_back({std::move(*code), {}});
      good_ = &goods.back();
    } else if (section_ == "Collected") {
      if (milli == 0)
        return Fault(u"нет количества");
      state_.Collected.push_back({std::move(*code), milli});
    } else if (section_ == "Taken") {
      state_.Taken.push_back(std::move(*code));
    }
  }

  TTerminalState& state_;
  std::string section_;
  TGood* good_ = nullptr; // the good whose attributes come next
};

void AppendGoods(std::u16string& out, const std::vector<TGood>& goods) {
  for (const TGood& good : goods) {
    out += u"<Good";
    AppendAttribute(out, u"Code64", Encode64(good.Code));
    out += u">";
    for (const auto& [name, value] : good.Attributes) {
      out += u"<Attribute";
      AppendAttribute(out, u"Name", name);
      AppendAttribute(out, u"Value", value);
      out += u"/>";
    }
    out += u"</Good>\r\n";
  }
}

} // namespace

std::u16string TGood::Attribute(std::u16string_view name) const {
  for (const auto& [key, value] : Attributes)
    if (EqualIgnoringAsciiCase(key, name))
      return value;
  return {};
}

const TGood* TTerminalState::FindGood(std::u16string_view code) const {
  for (const TGood& good : Goods)
    if (good.Code == code)
      return &good;
  return nullptr;
}

std::u16string ReadPackageStatus(std::u16string_view status, std::u16string& message) {
  std::u16string lower = LowerCaseFull(Trim(status));
  if (lower == u"first" || lower == u"regular" || lower == u"last")
    return lower;
  message =
      u"Неверный статус пакета: \"" + std::u16string(status) + u"\" (ожидается first, regular или last)";
  return {};
}

std::u16string ReadGoodsTable(std::u16string_view xml, TGoodsBatch& batch) {
  batch = {};
  std::u16string fault = TGoodsReader(batch).Check(xml);
  if (!fault.empty())
    batch = {};
  return fault;
}

std::u16string ApplyBatch(TTerminalState& state, std::u16string_view status, TGoodsBatch batch) {
  if (status == u"regular" && !state.UploadOpen)
    return u"Пакет \"regular\" не принят: выгрузка не начата пакетом \"first\"";
  if (status == u"first" || (status == u"last" && !state.UploadOpen)) {
    state.UploadFullLoad = batch.FullLoad;
    state.Upload = std::move(batch.Goods);
  } else {
    state.Upload.insert(state.Upload.end(), std::make_move_iterator(batch.Goods.begin()),
                        std::make_move_iterator(batch.Goods.end()));
  }
  state.UploadOpen = status != u"last";
  if (state.UploadOpen)
    return {};
  if (state.UploadFullLoad)
    state.Goods.clear();
  std::map<std::u16string, size_t> index;
  for (size_t i = 0; i < state.Goods.size(); ++i)
    index.emplace(state.Goods[i].Code, i);
  for (TGood& good : state.Upload) {
    const auto [at, added] = index.emplace(good.Code, state.Goods.size());
    if (added)
      state.Goods.push_back(std::move(good));
    else
      state.Goods[at->second] = std::move(good);
  }
  state.Upload.clear();
  state.UploadFullLoad = false;
  return {};
}

std::u16string ReadQuantity(std::u16string_view text, int64_t& milli) {
  text = Trim(text);
  int64_t whole = 0, fraction = 0;
  int decimals = 0;
  bool separator = false, digits = false;
  for (const char16_t c : text) {
    if (c == u'.' || c == u',') {
      if (separator)
        return u"Неверное количество \"" + std::u16string(text) + u"\"";
      separator = true;
    } else if (c >= u'0' && c <= u'9') {
      digits = true;
      if (separator) {
        if (++decimals > 3)
          return u"Количество \"" + std::u16string(text) + u"\": не больше трёх знаков после запятой";
        fraction = fraction * 10 + (c - u'0');
      } else if ((whole = whole * 10 + (c - u'0')) > kQuantityLimitMilli / 1000) {
        return u"Количество \"" + std::u16string(text) + u"\" больше 1000000000";
      }
    } else {
      return u"Неверное количество \"" + std::u16string(text) + u"\"";
    }
  }
  if (!digits)
    return text.empty() ? u"Не указано количество" : u"Неверное количество \"" + std::u16string(text) + u"\"";
  for (; decimals < 3; ++decimals)
    fraction *= 10;
  const int64_t total = whole * 1000 + fraction;
  if (total == 0)
    return u"Количество должно быть больше нуля";
  if (total > kQuantityLimitMilli)
    return u"Количество \"" + std::u16string(text) + u"\" больше 1000000000";
  milli = total;
  return {};
}

std::u16string QuantityText(int64_t milli) {
  std::u16string text = Decimal(milli / 1000);
  if (int64_t fraction = milli % 1000; fraction != 0) {
    text += u'.';
    for (int64_t unit = 100; fraction != 0; unit /= 10) {
      text += static_cast<char16_t>(u'0' + fraction / unit);
      fraction %= unit;
    }
  }
  return text;
}

std::u16string Collect(TTerminalState& state, std::u16string code, int64_t milli) {
  for (TCollected& record : state.Collected) {
    if (record.Code != code)
      continue;
    if (record.Milli + milli > kQuantityLimitMilli)
      return u"Количество по штрихкоду \"" + RecordText(code) + u"\" превысило бы 1000000000";
    record.Milli += milli;
    return {};
  }
  state.Collected.push_back({std::move(code), milli});
  return {};
}

std::u16string ReadCollectLine(std::u16string_view line, std::u16string& code, int64_t& milli) {
  const size_t semicolon = line.rfind(u';');
  code = Trim(line.substr(0, semicolon));
  if (code.empty())
    return u"Пустой штрихкод";
  if (semicolon == std::u16string_view::npos) {
    milli = 1000;
    return {};
  }
  return ReadQuantity(line.substr(semicolon + 1), milli);
}

std::vector<std::u16string> NewLines(const std::vector<std::u16string>& lines,
                                     const std::vector<std::u16string>& taken) {
  std::map<std::u16string_view, size_t> unmatched;
  for (const std::u16string& line : taken)
    ++unmatched[line];
  std::vector<std::u16string> fresh;
  for (const std::u16string& line : lines) {
    const auto at = unmatched.find(line);
    if (at != unmatched.end() && at->second > 0)
      --at->second;
    else
      fresh.push_back(line);
  }
  return fresh;
}

std::u16string DownloadXml(const TTerminalState& state) {
  std::u16string out = kXmlHead;
  out += u"<Table>\r\n";
  for (const TCollected& record : state.Collected) {
    out += u"<Record";
    if (XmlCanCarry(record.Code))
      AppendAttribute(out, u"BarCode", record.Code);
    AppendAttribute(out, u"BarCodeBase64", Encode64(record.Code));
    AppendAttribute(out, u"Quantity", QuantityText(record.Milli));
    if (const TGood* good = state.FindGood(record.Code)) {
      for (const std::u16string_view name : {u"Name", u"Article"})
        if (const std::u16string value = good->Attribute(name); !value.empty())
          AppendAttribute(out, name, value);
    }
    out += u"/>\r\n";
  }
  out += u"</Table>\r\n";
  return out;
}

std::u16string StateXml(const TTerminalState& state) {
  std::u16string out = kXmlHead;
  out += u"<Terminal>\r\n<Goods>\r\n";
  AppendGoods(out, state.Goods);
  out += u"</Goods>\r\n<Upload";
  AppendAttribute(out, u"Open", state.UploadOpen ? u"true" : u"false");
  AppendAttribute(out, u"FullLoad", state.UploadFullLoad ? u"true" : u"false");
  out += u">\r\n";
  AppendGoods(out, state.Upload);
  out += u"</Upload>\r\n<Collected>\r\n";
  for (const TCollected& record : state.Collected) {
    out += u"<Record";
    AppendAttribute(out, u"Code64", Encode64(record.Code));
    AppendAttribute(out, u"Quantity", QuantityText(record.Milli));
    out += u"/>\r\n";
  }
  out += u"</Collected>\r\n<Taken>\r\n";
  for (const std::u16string& line : state.Taken) {
    out += u"<Line";
    AppendAttribute(out, u"Text64", Encode64(line));
    out += u"/>\r\n";
  }
  out += u"</Taken>\r\n</Terminal>\r\n";
  return out;
}

std::u16string ReadStateXml(std::u16string_view xml, TTerminalState& state) {
  state = {};
  std::u16string fault = TStateReader(state).Check(xml);
  if (!fault.empty())
    state = {};
  return fault;
}

std::u16string RecordText(std::u16string_view text) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string out;
  for (const char16_t unit : text) {
    if (unit == u'\\') {
      out += u"\\\\";
    } else if (unit < 0x20 || unit == 0x7F) {
      out += u"\\x";
      out += kHex[(unit >> 4) & 0xF];
      out += kHex[unit & 0xF];
    } else {
      out += unit;
    }
  }
  return out;
}
