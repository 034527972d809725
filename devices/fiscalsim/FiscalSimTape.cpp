// The journal line reader and the printed tape of a document.
#include "FiscalSimTape.h"

#include "TextCodec.h"

#include <cstdio>

namespace fsim {

const TJsonValue* TJsonValue::Find(std::string_view key) const {
  for (const auto& [name, value] : Members)
    if (name == key)
      return &value;
  return nullptr;
}

std::string TJsonValue::TextOf(std::string_view key) const {
  const TJsonValue* value = Find(key);
  return value != nullptr && value->Kind == TKind::Text ? value->Text : std::string();
}

int64_t TJsonValue::NumberOf(std::string_view key) const {
  const TJsonValue* value = Find(key);
  return value != nullptr && value->Kind == TKind::Number ? value->Number : 0;
}

namespace {

// A recursive reader of the JSON the memory writes, bounded in depth.
class TReader {
public:
  explicit TReader(std::string_view text) : Text_(text) {}

  bool Value(TJsonValue& value, int depth) {
    if (depth > 16)
      return false;
    Blanks();
    if (At_ >= Text_.size())
      return false;
    const char c = Text_[At_];
    if (c == '"') {
      value.Kind = TJsonValue::TKind::Text;
      return String(value.Text);
    }
    if (c == '{') {
      value.Kind = TJsonValue::TKind::Object;
      ++At_;
      Blanks();
      if (Peek('}'))
        return true;
      for (;;) {
        std::string key;
        Blanks();
        if (!String(key) || (Blanks(), !Peek(':')))
          return false;
        value.Members.emplace_back(std::move(key), TJsonValue{});
        if (!Value(value.Members.back().second, depth + 1))
          return false;
        Blanks();
        if (Peek('}'))
          return true;
        if (!Peek(','))
          return false;
      }
    }
    if (c == '[') {
      value.Kind = TJsonValue::TKind::Array;
      ++At_;
      Blanks();
      if (Peek(']'))
        return true;
      for (;;) {
        value.Items.emplace_back();
        if (!Value(value.Items.back(), depth + 1))
          return false;
        Blanks();
        if (Peek(']'))
          return true;
        if (!Peek(','))
          return false;
      }
    }
    if (c == '-' || (c >= '0' && c <= '9')) {
      value.Kind = TJsonValue::TKind::Number;
      const bool negative = c == '-';
      if (negative)
        ++At_;
      size_t digits = 0;
      uint64_t n = 0;
      while (At_ < Text_.size() && Text_[At_] >= '0' && Text_[At_] <= '9' && digits < 19) {
        n = n * 10 + static_cast<uint64_t>(Text_[At_++] - '0');
        ++digits;
      }
      value.Number = negative ? -static_cast<int64_t>(n) : static_cast<int64_t>(n);
      return digits > 0;
    }
    for (const std::string_view word : {"true", "false", "null"})
      if (Text_.substr(At_, word.size()) == word) {
        At_ += word.size();
        return true;
      }
    return false;
  }

private:
  void Blanks() {
    while (At_ < Text_.size() && (Text_[At_] == ' ' || Text_[At_] == '\t'))
      ++At_;
  }
  bool Peek(char c) {
    if (At_ < Text_.size() && Text_[At_] == c) {
      ++At_;
      return true;
    }
    return false;
  }
  static int Hex(char c) {
    if (c >= '0' && c <= '9')
      return c - '0';
    if (c >= 'a' && c <= 'f')
      return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
      return c - 'A' + 10;
    return -1;
  }
  bool String(std::string& out) {
    if (!Peek('"'))
      return false;
    std::u16string units;
    std::string plain;
    while (At_ < Text_.size()) {
      const char c = Text_[At_++];
      if (c == '"') {
        out = std::move(plain);
        return true;
      }
      if (c != '\\') {
        plain += c;
        continue;
      }
      if (At_ >= Text_.size())
        return false;
      const char e = Text_[At_++];
      switch (e) {
      case 'n':
        plain += '\n';
        break;
      case 'r':
        plain += '\r';
        break;
      case 't':
        plain += '\t';
        break;
      case 'b':
        plain += '\b';
        break;
      case 'f':
        plain += '\f';
        break;
      case 'u': {
        if (At_ + 4 > Text_.size())
          return false;
        int code = 0;
        for (int k = 0; k < 4; ++k) {
          const int h = Hex(Text_[At_++]);
          if (h < 0)
            return false;
          code = code * 16 + h;
        }
        plain += Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(code)));
        break;
      }
      default:
        plain += e;
      }
    }
    return false;
  }

  std::string_view Text_;
  size_t At_ = 0;
};

} // namespace

TJsonValue ParseJsonObject(std::string_view text) {
  TJsonValue value;
  TReader reader(text);
  if (!reader.Value(value, 0) || value.Kind != TJsonValue::TKind::Object)
    return TJsonValue{.Kind = TJsonValue::TKind::Object};
  return value;
}

std::string JsonQuote(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
    case '"':
      quoted += "\\\"";
      break;
    case '\\':
      quoted += "\\\\";
      break;
    case '\n':
      quoted += "\\n";
      break;
    case '\r':
      quoted += "\\r";
      break;
    case '\t':
      quoted += "\\t";
      break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        quoted += escaped;
      } else {
        quoted += c;
      }
    }
  }
  return quoted + "\"";
}

namespace {

std::u16string Money(int64_t kopecks) {
  const bool negative = kopecks < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(kopecks) : static_cast<uint64_t>(kopecks);
  char text[32];
  std::snprintf(text, sizeof text, "%s%llu.%02llu", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 100),
                static_cast<unsigned long long>(magnitude % 100));
  return Utf8ToUtf16(text);
}

std::u16string Quantity(int64_t thousandths) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(thousandths / 1000),
                static_cast<long long>(thousandths % 1000 < 0 ? -(thousandths % 1000) : thousandths % 1000));
  std::string s = text;
  while (s.back() == '0')
    s.pop_back();
  if (s.back() == '.')
    s.pop_back();
  return Utf8ToUtf16(s);
}

// Lines of one tape being made at a width.
class TTapeWriter {
public:
  explicit TTapeWriter(int32_t width) : Width_(static_cast<size_t>(width)) {}

  void Text(std::u16string_view text) {
    // Hard-wrapped at the width.
    do {
      Lines.push_back(
          TTapeLine{TTapeKind::Text, TBarcodeType::EAN13, std::u16string(text.substr(0, Width_))});
      text.remove_prefix(std::min(text.size(), Width_));
    } while (!text.empty());
  }
  void Centre(std::u16string_view text) {
    if (text.size() >= Width_)
      return Text(text);
    Text(std::u16string((Width_ - text.size()) / 2, u' ') + std::u16string(text));
  }
  // A caption on the left and its value on the right.
  void Pair(std::u16string_view left, std::u16string_view right) {
    if (left.size() + right.size() + 1 > Width_) {
      Text(left);
      if (right.size() >= Width_)
        return Text(right);
      return Text(std::u16string(Width_ - right.size(), u' ') + std::u16string(right));
    }
    Text(std::u16string(left) + std::u16string(Width_ - left.size() - right.size(), u' ') +
         std::u16string(right));
  }
  void Rule() { Text(std::u16string(Width_, u'-')); }
  void Qr(std::u16string value) {
    Lines.push_back(TTapeLine{TTapeKind::Barcode, TBarcodeType::QR, std::move(value)});
  }

  std::vector<TTapeLine> Lines;

private:
  size_t Width_;
};

std::u16string Title(const TJsonValue& line) {
  const std::string type = line.TextOf("type");
  if (type == "receipt" || type == "correction") {
    static constexpr const char16_t* kOperations[] = {u"ПРИХОД", u"ВОЗВРАТ ПРИХОДА", u"РАСХОД",
                                                      u"ВОЗВРАТ РАСХОДА"};
    const int64_t operation = line.NumberOf("1054");
    const std::u16string kind = operation >= 1 && operation <= 4 ? kOperations[operation - 1] : u"";
    return (type == "receipt" ? u"КАССОВЫЙ ЧЕК " : u"ЧЕК КОРРЕКЦИИ ") + kind;
  }
  static constexpr std::pair<std::string_view, const char16_t*> kTitles[] = {
      {"registration", u"ОТЧЕТ О РЕГИСТРАЦИИ"},
      {"change_registration", u"ОТЧЕТ ОБ ИЗМ. ПАРАМЕТРОВ РЕГИСТРАЦИИ"},
      {"open_shift", u"ОТЧЕТ ОБ ОТКРЫТИИ СМЕНЫ"},
      {"close_shift", u"ОТЧЕТ О ЗАКРЫТИИ СМЕНЫ"},
      {"close_drive", u"ОТЧЕТ О ЗАКРЫТИИ ФН"},
      {"settlements_report", u"ОТЧЕТ О ТЕКУЩЕМ СОСТОЯНИИ РАСЧЕТОВ"},
      {"cash_in", u"ВНЕСЕНИЕ"},
      {"cash_out", u"ВЫПЛАТА"},
      {"x_report", u"ОТЧЕТ БЕЗ ГАШЕНИЯ"},
  };
  for (const auto& [name, title] : kTitles)
    if (type == name)
      return title;
  return Utf8ToUtf16(type);
}

std::u16string U16(const std::string& text) {
  return Utf8ToUtf16(text);
}

// "YYYY-MM-DDTHH:MM:SS" as a receipt prints it: "DD.MM.YY HH:MM".
std::u16string PrintedDate(const std::string& date) {
  if (date.size() != 19)
    return U16(date);
  return U16(date.substr(8, 2) + "." + date.substr(5, 2) + "." + date.substr(2, 2) + " " +
             date.substr(11, 5));
}

} // namespace

std::vector<TTapeLine> FiscalDocumentTape(std::string_view text, int32_t width, bool copy) {
  const TJsonValue line = ParseJsonObject(text);
  TTapeWriter tape(width);
  const std::string type = line.TextOf("type");
  tape.Centre(U16(line.TextOf("1048")));
  if (const std::string inn = line.TextOf("1018"); !inn.empty())
    tape.Centre(u"ИНН " + U16(inn));
  if (const std::string address = line.TextOf("1009"); !address.empty())
    tape.Centre(U16(address));
  if (const std::string place = line.TextOf("1187"); !place.empty())
    tape.Centre(U16(place));
  tape.Rule();
  tape.Centre(Title(line));
  if (copy)
    tape.Centre(u"КОПИЯ");
  if (line.Find("1038") != nullptr)
    tape.Pair(u"СМЕНА", Decimal(line.NumberOf("1038")));
  if (line.Find("1042") != nullptr)
    tape.Pair(u"ЧЕК", Decimal(line.NumberOf("1042")));
  // The receipt's lines.
  if (const TJsonValue* items = line.Find("items"); items != nullptr) {
    tape.Rule();
    for (const TJsonValue& item : items->Items) {
      if (item.Find("1030") != nullptr) {
        tape.Text(U16(item.TextOf("1030")));
        tape.Pair(Quantity(item.NumberOf("1023")) + u" x " + Money(item.NumberOf("1079")),
                  u"=" + Money(item.NumberOf("1043")));
        if (item.Find("discount") != nullptr) {
          const int64_t discount = item.NumberOf("discount");
          tape.Pair(discount > 0 ? u"  СКИДКА" : u"  НАДБАВКА", Money(discount > 0 ? discount : -discount));
        }
        const std::string rate = item.TextOf("1199");
        if (rate == "none")
          tape.Text(u"  БЕЗ НДС");
        else
          tape.Pair(u"  НДС " + U16(rate) + (rate.find('/') == std::string::npos ? u"%" : u""),
                    Money(item.NumberOf("1200")));
      } else if (item.Find("text") != nullptr) {
        tape.Text(U16(item.TextOf("text")));
      } else if (item.Find("barcode") != nullptr) {
        tape.Text(u"[" + U16(item.TextOf("barcode_type")) + u" " + U16(item.TextOf("barcode")) + u"]");
      }
    }
    tape.Rule();
  }
  if (type == "receipt" || type == "correction") {
    tape.Pair(u"ИТОГ", u"=" + Money(line.NumberOf("1020")));
    const int64_t change = line.NumberOf("change");
    if (const int64_t cash = line.NumberOf("1031") + change; cash != 0)
      tape.Pair(u"НАЛИЧНЫМИ", u"=" + Money(cash));
    if (const int64_t card = line.NumberOf("1081"); card != 0)
      tape.Pair(u"БЕЗНАЛИЧНЫМИ", u"=" + Money(card));
    if (const int64_t prepaid = line.NumberOf("1215"); prepaid != 0)
      tape.Pair(u"ПРЕДВАРИТЕЛЬНАЯ ОПЛАТА", u"=" + Money(prepaid));
    if (const int64_t credit = line.NumberOf("1216"); credit != 0)
      tape.Pair(u"ПОСЛЕДУЮЩАЯ ОПЛАТА", u"=" + Money(credit));
    if (const int64_t barter = line.NumberOf("1217"); barter != 0)
      tape.Pair(u"ВСТРЕЧНОЕ ПРЕДОСТАВЛЕНИЕ", u"=" + Money(barter));
    if (change != 0)
      tape.Pair(u"СДАЧА", u"=" + Money(change));
    static constexpr const char16_t* kSystems[] = {u"ОСН",  u"УСН доход", u"УСН доход-расход",
                                                   u"ЕНВД", u"ЕСХН",      u"ПСН"};
    const int64_t system = line.NumberOf("1055");
    if (system >= 0 && system <= 5)
      tape.Pair(u"СНО", kSystems[system]);
  } else if (type == "cash_in" || type == "cash_out") {
    tape.Pair(u"СУММА", u"=" + Money(line.NumberOf("1020")));
  }
  if (const TJsonValue* counters = line.Find("counters"); counters != nullptr) {
    static constexpr const char16_t* kOperations[] = {u"ПРИХОД", u"ВОЗВРАТ ПРИХОДА", u"РАСХОД",
                                                      u"ВОЗВРАТ РАСХОДА"};
    for (size_t k = 0; k < counters->Items.size() && k < 4; ++k) {
      const TJsonValue& counter = counters->Items[k];
      tape.Pair(std::u16string(kOperations[k]) + u" (" + Decimal(counter.NumberOf("count")) + u")",
                Money(counter.NumberOf("amount")));
    }
  }
  if (line.Find("cash") != nullptr)
    tape.Pair(u"НАЛИЧНЫХ В КАССЕ", Money(line.NumberOf("cash")));
  if (const std::string cashier = line.TextOf("1021"); !cashier.empty())
    tape.Pair(u"КАССИР", U16(cashier));
  tape.Pair(u"", PrintedDate(line.TextOf("1012")));
  if (const std::string number = line.TextOf("1037"); !number.empty())
    tape.Pair(u"РН ККТ", U16(number));
  if (line.Find("1040") != nullptr) {
    tape.Pair(u"ФН", U16(line.TextOf("1041")));
    tape.Pair(u"ФД", Decimal(line.NumberOf("1040")));
    tape.Pair(u"ФП", U16(line.TextOf("1077")));
  }
  if (type == "receipt" || type == "correction") {
    // The tax service's form: t=YYYYMMDDTHHMM&s=total&fn=drive&i=document&fp=sign&n=operation.
    const std::string date = line.TextOf("1012");
    std::string stamp;
    for (const char c : date.substr(0, 16))
      if (c != '-' && c != ':')
        stamp += c;
    tape.Qr(u"t=" + U16(stamp) + u"&s=" + Money(line.NumberOf("1020")) + u"&fn=" + U16(line.TextOf("1041")) +
            u"&i=" + Decimal(line.NumberOf("1040")) + u"&fp=" + U16(line.TextOf("1077")) + u"&n=" +
            Decimal(line.NumberOf("1054")));
  }
  if (const std::string clock = line.TextOf("clock"); !clock.empty())
    tape.Text(u"(часы: clock=" + U16(clock) + u")");
  tape.Lines.push_back(CutLine(width));
  return std::move(tape.Lines);
}

} // namespace fsim
