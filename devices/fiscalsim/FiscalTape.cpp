// The tape of a journal line, as a Russian fiscal register prints it.
#include "FiscalTape.h"

#include "FiscalValues.h"
#include "Json.h"
#include "Marking.h"
#include "TextCodec.h"

#include <algorithm>
#include <array>
#include <optional>

namespace fiscal {

namespace {

constexpr std::u16string_view kTaxationNames[] = {u"ОСН",  u"УСН доход", u"УСН доход - расход",
                                                  u"ЕНВД", u"ЕСХН",      u"ПСН"};
constexpr std::u16string_view kOperationNames[] = {u"ПРИХОД", u"ВОЗВРАТ ПРИХОДА", u"РАСХОД",
                                                   u"ВОЗВРАТ РАСХОДА"};
constexpr std::u16string_view kPaymentMethods[] = {
    u"ПРЕДОПЛАТА 100%",           u"ПРЕДОПЛАТА",        u"АВАНС",         u"ПОЛНЫЙ РАСЧЕТ",
    u"ЧАСТИЧНЫЙ РАСЧЕТ И КРЕДИТ", u"ПЕРЕДАЧА В КРЕДИТ", u"ОПЛАТА КРЕДИТА"};

// Reads the members of one object, remembering any that is there with the
// wrong kind of value: such a line is not the journal's.
class TLineReader {
public:
  explicit TLineReader(std::string_view text, bool& bad) : Bad_(bad) {
    if (!json::ParseObject(text, Members_))
      Bad_ = true;
  }
  bool Has(std::string_view key) const { return json::Find(Members_, key) != nullptr; }
  std::optional<int64_t> Int(std::string_view key) const {
    if (!Has(key))
      return std::nullopt;
    const auto value = json::Integer(Members_, key);
    if (!value)
      Bad_ = true;
    return value;
  }
  std::u16string Text(std::string_view key) const {
    if (!Has(key))
      return {};
    const auto value = json::String(Members_, key);
    if (!value)
      Bad_ = true;
    return value ? Utf8ToUtf16(*value) : std::u16string();
  }
  // A member that is an array (of objects or numbers), each item's text.
  std::vector<std::string> Array(std::string_view key) const {
    std::vector<std::string> items;
    if (const std::string* raw = json::Find(Members_, key); raw != nullptr && !json::ParseArray(*raw, items))
      Bad_ = true;
    return items;
  }
  std::string Raw(std::string_view key) const {
    const std::string* raw = json::Find(Members_, key);
    return raw != nullptr ? *raw : std::string();
  }
  bool& Bad() const { return Bad_; }

private:
  json::TMembers Members_;
  bool& Bad_;
};

size_t Characters(std::u16string_view text) {
  size_t count = 0;
  for (size_t i = 0; i < text.size(); ++i, ++count)
    if (IsSurrogatePair(text, i))
      ++i;
  return count;
}

// Control characters become blanks: a printed line is one line.
std::u16string Printable(std::u16string text) {
  for (char16_t& c : text)
    if (c < u' ' || c == u'\x7F')
      c = u' ';
  return text;
}

std::u16string Money(int64_t kopecks) {
  const uint64_t magnitude =
      kopecks < 0 ? 0 - static_cast<uint64_t>(kopecks) : static_cast<uint64_t>(kopecks);
  const uint64_t cents = magnitude % 100;
  std::u16string text = Utf8ToUtf16(std::to_string(magnitude / 100));
  text += u'.';
  text += static_cast<char16_t>(u'0' + cents / 10);
  text += static_cast<char16_t>(u'0' + cents % 10);
  return kopecks < 0 ? u"-" + text : text;
}

// Thousandths without the zeros that say nothing: 1500 is 1.5, 2000 is 2.
std::u16string Quantity(int64_t thousandths) {
  const uint64_t magnitude =
      thousandths < 0 ? 0 - static_cast<uint64_t>(thousandths) : static_cast<uint64_t>(thousandths);
  std::string text = (thousandths < 0 ? "-" : "") + std::to_string(magnitude / 1000);
  if (const uint64_t fraction = magnitude % 1000; fraction != 0) {
    std::string digits = std::to_string(fraction + 1000).substr(1);
    while (digits.back() == '0')
      digits.pop_back();
    text += "." + digits;
  }
  return Utf8ToUtf16(text);
}

// "09.12.2026 10:00" of "2026-12-09T10:00:00".
std::u16string PrintedDate(std::string_view d) {
  return Utf8ToUtf16(std::string(d.substr(8, 2)) + "." + std::string(d.substr(5, 2)) + "." +
                     std::string(d.substr(0, 4)) + " " + std::string(d.substr(11, 5)));
}

std::u16string TaxationNames(int64_t mask) {
  std::u16string names;
  for (size_t code = 0; code < std::size(kTaxationNames); ++code)
    if ((mask >> code) & 1) {
      if (!names.empty())
        names += u", ";
      names += kTaxationNames[code];
    }
  return names;
}

// The lines of one document before they are laid out at the width.
class TPrint {
public:
  explicit TPrint(int32_t width) : Width_(static_cast<size_t>(width)) {}
  void Line(std::u16string text) {
    Items_.push_back(TPrintItem{false, TBarcodeType::EAN13, Printable(std::move(text))});
  }
  void Centre(std::u16string text) {
    text = Printable(std::move(text));
    const size_t length = Characters(text);
    if (length < Width_)
      text.insert(0, (Width_ - length) / 2, u' ');
    Line(std::move(text));
  }
  // The left text and the right one on a line, the right at the edge; when
  // both do not fit, the right on a line of its own.
  void Pair(std::u16string_view left, std::u16string_view right) {
    std::u16string l = Printable(std::u16string(left));
    std::u16string r = Printable(std::u16string(right));
    const size_t ll = Characters(l);
    const size_t rl = Characters(r);
    if (ll + rl + 1 <= Width_) {
      Line(l + std::u16string(Width_ - ll - rl, u' ') + r);
      return;
    }
    if (!l.empty())
      Line(std::move(l));
    Line(rl < Width_ ? std::u16string(Width_ - rl, u' ') + r : r);
  }
  bool Fits(size_t characters) const { return characters <= Width_; }
  size_t Width() const { return Width_; }
  void PairIf(std::u16string_view left, std::u16string_view right) {
    if (!right.empty())
      Pair(left, right);
  }
  void Barcode(TBarcodeType type, std::u16string value) {
    Items_.push_back(TPrintItem{true, type, std::move(value)});
  }
  std::vector<TTapeLine> Done() const { return LayOutDocument(Items_, static_cast<int32_t>(Width_)); }

private:
  size_t Width_;
  std::vector<TPrintItem> Items_;
};

struct TTypeInfo {
  std::string_view Name;
  std::u16string_view Title;
  bool Fiscal;
};
constexpr TTypeInfo kTypes[] = {
    {"registration", u"ОТЧЕТ О РЕГИСТРАЦИИ", true},
    {"change_registration", u"ОТЧЕТ ОБ ИЗМЕНЕНИИ ПАРАМЕТРОВ РЕГИСТРАЦИИ", true},
    {"open_shift", u"ОТЧЕТ ОБ ОТКРЫТИИ СМЕНЫ", true},
    {"receipt", u"КАССОВЫЙ ЧЕК", true},
    {"correction", u"КАССОВЫЙ ЧЕК КОРРЕКЦИИ", true},
    {"settlements_report", u"ОТЧЕТ О ТЕКУЩЕМ СОСТОЯНИИ РАСЧЕТОВ", true},
    {"close_shift", u"ОТЧЕТ О ЗАКРЫТИИ СМЕНЫ", true},
    {"close_drive", u"ОТЧЕТ О ЗАКРЫТИИ ФН", true},
    {"cash_in", u"ВНЕСЕНИЕ", false},
    {"cash_out", u"ВЫПЛАТА", false},
    {"x_report", u"X-ОТЧЕТ", false},
    {"marking_notice", u"УВЕДОМЛЕНИЕ О РЕАЛИЗАЦИИ МАРКИРОВАННОГО ТОВАРА", true},
};

// The mark before a marked line's name: [М+] the marking system found the
// code right, [М-] it did not (or the drive did not), [М] the system did not
// check it (unreachable, or the drive's check alone).
std::u16string MarkOf(int64_t resultCode) {
  if ((resultCode & 2) == 0)
    return u"[М-]";
  if ((resultCode & 4) == 0)
    return u"[М]";
  return (resultCode & 8) != 0 ? u"[М+]" : u"[М-]";
}

// A marked line's code, shortened to a line.
void PrintMarking(const TLineReader& km, TPrint& print, size_t width) {
  print.Line(u"КМ " + ShortMarkingCode(Utf16ToUtf8(km.Text("2000")), width > 3 ? width - 3 : width));
}

// A receipt's or a correction's lines, payments and totals.
void ReceiptBody(const TLineReader& doc, TPrint& print) {
  bool& bad = doc.Bad();
  // The text and barcode positions, each after the fiscal lines it followed.
  std::vector<std::pair<int64_t, std::string>> extras;
  for (const std::string& item : doc.Array("print")) {
    const TLineReader reader(item, bad);
    extras.emplace_back(reader.Int("after").value_or(0), item);
  }
  size_t nextExtra = 0;
  const auto printExtras = [&](int64_t before) {
    for (; nextExtra < extras.size() && extras[nextExtra].first <= before && !bad; ++nextExtra) {
      const TLineReader reader(extras[nextExtra].second, bad);
      if (reader.Has("text")) {
        print.Line(reader.Text("text"));
        continue;
      }
      const std::u16string type = reader.Text("barcode");
      const std::u16string value = reader.Text("value");
      std::optional<TBarcodeType> kind;
      for (const TBarcodeType t :
           {TBarcodeType::EAN8, TBarcodeType::EAN13, TBarcodeType::CODE39, TBarcodeType::QR})
        if (type == BarcodeTypeName(t))
          kind = t;
      if (kind && !value.empty())
        print.Barcode(*kind, value);
      else
        print.Line(value);
    }
  };

  const std::vector<std::string> lines = doc.Array("1059");
  int64_t index = 0;
  for (const std::string& text : lines) {
    printExtras(index++);
    const TLineReader line(text, bad);
    if (bad)
      return;
    const bool marked = line.Has("km");
    const TLineReader km(marked ? line.Raw("km") : "{}", bad);
    print.Line(marked ? MarkOf(km.Int("2106").value_or(0)) + u" " + line.Text("1030") : line.Text("1030"));
    int64_t quantity = 0;
    const std::string rawQuantity = line.Raw("1023");
    if (!ParseFixed(rawQuantity, 3, true, quantity)) {
      bad = true;
      return;
    }
    const int64_t price = line.Int("1079").value_or(0);
    const int64_t amount = line.Int("1043").value_or(0);
    // "qty x price = amount" at the right edge; on two lines when it is too long.
    const std::u16string product = Quantity(quantity) + u" x " + Money(price);
    const std::u16string result = u"= " + Money(amount);
    if (print.Fits(product.size() + 1 + result.size())) {
      print.Pair({}, product + u" " + result);
    } else {
      print.Pair({}, product);
      print.Pair({}, result);
    }
    if (const int64_t discount = line.Int("discount").value_or(0); discount != 0)
      print.Pair(discount > 0 ? u"СКИДКА" : u"НАДБАВКА", Money(discount > 0 ? discount : -discount));
    const bool older = line.Raw("vat18") == "true";
    static constexpr std::u16string_view kRates[] = {u"",           u"НДС 20%", u"НДС 10%", u"НДС 20/120",
                                                     u"НДС 10/110", u"НДС 0%",  u"БЕЗ НДС"};
    const int64_t code = line.Int("1199").value_or(0);
    std::u16string rate = code > 0 && code < 7 ? std::u16string(kRates[code]) : std::u16string();
    if (older && (code == 1 || code == 3))
      rate = code == 1 ? u"НДС 18%" : u"НДС 18/118";
    if (!rate.empty())
      print.Pair(rate, line.Has("1200") ? Money(line.Int("1200").value_or(0)) : std::u16string());
    if (const int64_t method = line.Int("1214").value_or(4); method >= 1 && method <= 7)
      print.Line(std::u16string(kPaymentMethods[method - 1]));
    if (marked)
      PrintMarking(km, print, print.Width());
  }
  printExtras(INT64_MAX);

  const int64_t change = doc.Int("change").value_or(0);
  print.Pair(u"ИТОГ", u"=" + Money(doc.Int("1020").value_or(0)));
  const int64_t cash = doc.Int("1031").value_or(0) + change;
  struct TPayment {
    std::u16string_view Name;
    int64_t Amount;
  };
  const TPayment payments[] = {{u"НАЛИЧНЫМИ", cash},
                               {u"БЕЗНАЛИЧНЫМИ", doc.Int("1081").value_or(0)},
                               {u"ПРЕДВАРИТЕЛЬНАЯ ОПЛАТА (АВАНС)", doc.Int("1215").value_or(0)},
                               {u"ПОСЛЕДУЮЩАЯ ОПЛАТА (КРЕДИТ)", doc.Int("1216").value_or(0)},
                               {u"ИНАЯ ФОРМА ОПЛАТЫ", doc.Int("1217").value_or(0)}};
  bool paid = false;
  for (const TPayment& payment : payments)
    if (payment.Amount != 0) {
      print.Pair(payment.Name, u"=" + Money(payment.Amount));
      paid = true;
    }
  if (!paid)
    print.Pair(u"НАЛИЧНЫМИ", u"=0.00");
  if (change != 0)
    print.Pair(u"СДАЧА", u"=" + Money(change));
  constexpr std::pair<std::string_view, std::u16string_view> kVatTotals[] = {
      {"1102", u"СУММА НДС 20%"},    {"1103", u"СУММА НДС 10%"},  {"1106", u"СУММА НДС 20/120"},
      {"1107", u"СУММА НДС 10/110"}, {"vat18", u"СУММА НДС 18%"}, {"vat18_118", u"СУММА НДС 18/118"},
      {"1104", u"СУММА С НДС 0%"},   {"1105", u"СУММА БЕЗ НДС"}};
  for (const auto& [tag, name] : kVatTotals)
    if (doc.Has(tag))
      print.Pair(name, u"=" + Money(doc.Int(tag).value_or(0)));
  if (const int64_t mask = doc.Int("1055").value_or(0); mask != 0)
    print.Pair(u"СНО:", TaxationNames(mask));

  if (doc.Has("1173")) {
    print.Pair(u"ТИП КОРРЕКЦИИ", doc.Int("1173").value_or(0) == 1 ? u"ПО ПРЕДПИСАНИЮ" : u"САМОСТОЯТЕЛЬНО");
    const TLineReader basis(doc.Has("1174") ? doc.Raw("1174") : "{}", bad);
    print.PairIf(u"ОСНОВАНИЕ", basis.Text("1177"));
    const std::u16string date = basis.Text("1178");
    print.PairIf(u"ДАТА ДОК. ОСНОВАНИЯ",
                 date.size() >= 10 && IsDateTime(Utf16ToUtf8(date))
                     ? date.substr(8, 2) + u"." + date.substr(5, 2) + u"." + date.substr(0, 4)
                     : date);
    print.PairIf(u"НОМЕР ДОК. ОСНОВАНИЯ", basis.Text("1179"));
  }
  const std::u16string contact = doc.Text("1008");
  print.PairIf(contact.find(u'@') != std::u16string::npos ? u"ЭЛ. АДР. ПОКУПАТЕЛЯ" : u"ТЕЛ. ПОКУПАТЕЛЯ",
               contact);
  print.PairIf(u"ПОКУПАТЕЛЬ", doc.Text("1227"));
  print.PairIf(u"ИНН ПОКУПАТЕЛЯ", doc.Text("1228"));
}

// A report's counters, the cash in the drawer and the backlog.
void ReportBody(const TLineReader& doc, TPrint& print) {
  bool& bad = doc.Bad();
  const std::vector<std::string> counters = doc.Array("counters");
  for (size_t i = 0; i < counters.size() && i < 4 && !bad; ++i) {
    const TLineReader c(counters[i], bad);
    print.Line(std::u16string(kOperationNames[i]));
    print.Pair(u"ЧЕКОВ", Utf8ToUtf16(std::to_string(c.Int("1135").value_or(0))));
    print.Pair(u"СУММА", Money(c.Int("1201").value_or(0)));
    print.Pair(u"ЧЕКОВ КОРРЕКЦИИ", Utf8ToUtf16(std::to_string(c.Int("corrections").value_or(0))));
    print.Pair(u"СУММА КОРРЕКЦИЙ", Money(c.Int("corrections_amount").value_or(0)));
  }
  if (doc.Has("1118"))
    print.Pair(u"ЧЕКОВ ЗА СМЕНУ", Utf8ToUtf16(std::to_string(doc.Int("1118").value_or(0))));
  if (doc.Has("cash_balance"))
    print.Pair(u"НАЛИЧНЫХ В КАССЕ", Money(doc.Int("cash_balance").value_or(0)));
  print.Pair(u"НЕПЕРЕДАННЫХ ФД", Utf8ToUtf16(std::to_string(doc.Int("1097").value_or(0))));
  print.PairIf(u"ФД НЕ ПЕРЕДАНЫ С", doc.Text("1098"));
}

} // namespace

std::vector<TTapeLine> FiscalTapeLines(std::string_view journalLine, int32_t lineLength, bool copy) {
  const int32_t width = std::clamp(lineLength, kReceiptMinLineLength, kReceiptMaxLineLength);
  const std::vector<TTapeLine> failed{TTapeLine{TTapeKind::Text, TBarcodeType::EAN13, kBadJournalLineText}};
  bool bad = false;
  const TLineReader doc(journalLine, bad);
  if (bad)
    return failed;
  const std::string typeName = Utf16ToUtf8(doc.Text("type"));
  const TTypeInfo* type = nullptr;
  for (const TTypeInfo& info : kTypes)
    if (info.Name == typeName)
      type = &info;
  const std::string dateTime = Utf16ToUtf8(doc.Text("1012"));
  if (type == nullptr || !IsDateTime(dateTime))
    return failed;
  const bool receipt = typeName == "receipt" || typeName == "correction";
  const int64_t operation = doc.Int("1054").value_or(0);
  if (receipt && (operation < 1 || operation > 4))
    return failed;
  if (type->Fiscal && (!doc.Has("1040") || !doc.Has("1041") || !doc.Has("1077")))
    return failed;

  TPrint print(width);
  if (copy)
    print.Centre(u"КОПИЯ");
  print.Centre(doc.Text("1048"));
  print.PairIf(u"ИНН", doc.Text("1018"));
  if (const std::u16string address = doc.Text("1009"); !address.empty())
    print.Line(address);
  print.PairIf(u"МЕСТО РАСЧЕТОВ", doc.Text("1187"));
  print.Centre(std::u16string(type->Title));
  if (receipt)
    print.Centre(std::u16string(kOperationNames[operation - 1]));
  if (doc.Has("1042"))
    print.Pair(u"ЧЕК №", Utf8ToUtf16(std::to_string(doc.Int("1042").value_or(0))));
  if (doc.Has("1038"))
    print.Pair(u"СМЕНА №", Utf8ToUtf16(std::to_string(doc.Int("1038").value_or(0))));
  print.Pair(u"ДАТА ВРЕМЯ", PrintedDate(dateTime));

  if (receipt) {
    ReceiptBody(doc, print);
  } else if (typeName == "close_shift" || typeName == "x_report" || typeName == "settlements_report") {
    ReportBody(doc, print);
  } else if (typeName == "marking_notice") {
    print.Pair(u"ЧЕК ФД №", Utf8ToUtf16(std::to_string(doc.Int("receipt").value_or(0))));
    for (const std::string& item : doc.Array("codes")) {
      const TLineReader km(item, bad);
      if (bad)
        break;
      print.Pair(MarkOf(km.Int("2106").value_or(0)) + u" GTIN", km.Text("gtin"));
      PrintMarking(km, print, print.Width());
      print.Pair(u"КОД РЕЗУЛЬТАТА", Utf8ToUtf16(std::to_string(km.Int("2106").value_or(0))));
    }
  } else if (typeName == "cash_in" || typeName == "cash_out") {
    print.Pair(u"СУММА", u"=" + Money(doc.Int("1020").value_or(0)));
  } else if (typeName == "registration" || typeName == "change_registration" || typeName == "close_drive") {
    if (doc.Has("1055"))
      print.Pair(u"СНО:", TaxationNames(doc.Int("1055").value_or(0)));
    static constexpr std::u16string_view kVersions[] = {u"", u"1.0", u"1.05", u"1.1", u"1.2"};
    if (const int64_t version = doc.Int("1209").value_or(0); version > 0 && version < 5)
      print.Pair(u"ФФД", kVersions[version]);
    std::u16string reasons;
    for (const std::string& code : doc.Array("1205"))
      reasons += (reasons.empty() ? u"" : u",") + Utf8ToUtf16(code);
    print.PairIf(u"КОДЫ ПРИЧИН ИЗМЕНЕНИЯ", reasons);
  }
  print.PairIf(u"КАССИР", doc.Text("1021"));
  print.PairIf(u"ИНН КАССИРА", doc.Text("1203"));

  print.PairIf(u"РН ККТ", doc.Text("1037"));
  print.PairIf(u"ЗН ККТ", doc.Text("1013"));
  if (type->Fiscal) {
    print.PairIf(u"ФН", doc.Text("1041"));
    print.Pair(u"ФД", Utf8ToUtf16(std::to_string(doc.Int("1040").value_or(0))));
    print.PairIf(u"ФП", doc.Text("1077"));
    print.Pair(u"САЙТ ФНС", u"www.nalog.gov.ru");
  }
  if (receipt)
    print.Barcode(TBarcodeType::QR, Utf8ToUtf16(ReceiptQrText(journalLine)));
  if (copy)
    print.Centre(u"КОПИЯ");
  if (bad)
    return failed;
  return print.Done();
}

std::string ReceiptQrText(std::string_view journalLine) {
  json::TMembers members;
  if (!json::ParseObject(journalLine, members))
    return {};
  const auto type = json::String(members, "type");
  const auto date = json::String(members, "1012");
  const auto total = json::Integer(members, "1020");
  const auto drive = json::String(members, "1041");
  const auto number = json::Integer(members, "1040");
  const auto sign = json::String(members, "1077");
  const auto operation = json::Integer(members, "1054");
  if (!type || (*type != "receipt" && *type != "correction") || !date || !IsDateTime(*date) || !total ||
      !drive || !number || !sign || !operation)
    return {};
  const std::string& d = *date;
  return "t=" + d.substr(0, 4) + d.substr(5, 2) + d.substr(8, 2) + "T" + d.substr(11, 2) + d.substr(14, 2) +
         "&s=" + Utf16ToUtf8(Money(*total)) + "&fn=" + *drive + "&i=" + std::to_string(*number) +
         "&fp=" + *sign + "&n=" + std::to_string(*operation);
}

} // namespace fiscal
