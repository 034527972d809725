// The text document check and the tape's layout, without the host: what is
// accepted, each fault's message, how the tape wraps and marks its cuts, and
// the barcodes the paper window draws.
#include "Barcode.h"
#include "Paper.h"
#include "Tape.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kXml = "Ошибка разбора XML : ";

// The check's message as UTF-8 (readable in failures); empty when accepted.
std::string Check(std::string_view xml, std::vector<TPrintItem>* out = nullptr) {
  std::vector<TPrintItem> items;
  const std::u16string fault = ReadTextDocument(Utf8ToUtf16(xml), items);
  if (out != nullptr)
    *out = items;
  return Utf16ToUtf8(fault);
}

std::string Doc(std::string_view positions) {
  return "<Document><Positions>" + std::string(positions) + "</Positions></Document>";
}

std::string Barcode(std::string_view what, std::string_view attribute) {
  return kXml + std::string(what) + " \"" + std::string(attribute) + "\" у элемента \"Barcode\"";
}

TEST(TextDocument, ReadsTextsAndBothBarcodeFormsInOrder) {
  std::vector<TPrintItem> items;
  EXPECT_EQ(
      Check("<?xml version=\"1.0\"?><document><Header/><POSITIONS>"
            "<TextString Text=\"Чек &#8470;1&#10;Итого\"/><Cut/>"
            "<Barcode BarcodeType=\"ean13\" Barcode=\"460123456789\"/>"
            "<barcode type=\"EAN8\" value=\"96385074\" Width=\"2\"/>"
            "<Barcode Type=\"Code39\" Value=\"AB-12 $\"/><Barcode Type=\"QR\" Value=\"https://x/?a=1\"/>"
            "<TextString Text=\"\"/></POSITIONS></document>",
            &items),
      "");
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items[0].Text, u"Чек №1\nИтого");
  EXPECT_FALSE(items[0].Barcode);
  EXPECT_TRUE(items[1].Barcode);
  EXPECT_EQ(items[1].Type, TBarcodeType::EAN13);
  EXPECT_EQ(items[1].Text, u"4601234567893"); // the check digit added
  EXPECT_EQ(items[2].Type, TBarcodeType::EAN8);
  EXPECT_EQ(items[2].Text, u"96385074");
  EXPECT_EQ(items[3].Type, TBarcodeType::CODE39);
  EXPECT_EQ(items[4].Type, TBarcodeType::QR);
  EXPECT_EQ(items[5].Text, u"");
  // Elements outside Positions, or deeper in it, are no positions.
  EXPECT_EQ(Check("<Document><TextString/><Positions><X><TextString/></X></Positions></Document>", &items),
            "");
  EXPECT_TRUE(items.empty());
}

TEST(TextDocument, RefusesStructuralFaultsAndPrintsNothing) {
  std::vector<TPrintItem> items;
  EXPECT_EQ(Check(Doc("<TextString Text=\"a\"/><TextString Txt=\"b\"/>"), &items),
            kXml + "не найден атрибут \"Text\" у элемента \"TextString\"");
  EXPECT_TRUE(items.empty()); // the line before the fault is not printed either
  EXPECT_EQ(Check("<Receipt><Positions/></Receipt>"),
            kXml + "неверный корневой элемент \"Receipt\", ожидается \"Document\"");
  EXPECT_EQ(Check("<Document><TextString Text=\"a\"/></Document>"), kXml + "не найден элемент \"Positions\"");
  // Not well-formed: the parser's error wins over an earlier fault.
  EXPECT_EQ(Check("<Receipt>\n  <Positions></Position></Receipt>"),
            kXml + "закрывающий тег не соответствует открывающему (строка 2, позиция 16)");
  EXPECT_EQ(Check(""), kXml + "текст закончился раньше документа (строка 1, позиция 1)");
}

// A surrogate that is not half of a pair is refused wherever it stands, as
// the parser refuses any character XML does not allow, and is never taken
// together with the unit after it.
TEST(TextDocument, RefusesLoneSurrogatesAndKeepsPairs) {
  const std::u16string head = u"<Document><Positions><TextString Text=\"a"; // the unit after it: 41
  const std::u16string tail = u"\"/></Positions></Document>";
  const std::string refused = kXml + "недопустимый символ или неверная разметка (строка 1, позиция ";
  const struct {
    std::u16string units;
    std::string position;
  } cases[] = {
      {u"\xD800"
       u"b",
       "41)"},
      {u"\xDBFF\xD800\xDC00", "41)"},                       // a high one before a pair
      {u"\U0001F600\xDC00\xD800", "42)"},                   // a pair is one character; then reversed
      {u"\xDFFF", "41)"},                                   // a low one alone
      {u"b\xD800", "42)"},                                  // before the closing quote
      {u"b\xD800\"/></Positions></Document>\xD800", "42)"}, // the first one is named
  };
  for (const auto& c : cases) {
    std::vector<TPrintItem> items;
    EXPECT_EQ(Utf16ToUtf8(ReadTextDocument(head + c.units + tail, items)), refused + c.position)
        << Utf16ToUtf8(c.units);
    EXPECT_TRUE(items.empty());
  }
  // Outside the root, in a comment (named by its beginning), at the very end: the same answer.
  std::vector<TPrintItem> items;
  const std::u16string doc = u"<Document><Positions/></Document>";
  EXPECT_EQ(Utf16ToUtf8(ReadTextDocument(u"<!--\xD800-->" + doc, items)), refused + "1)");
  EXPECT_EQ(Utf16ToUtf8(ReadTextDocument(doc + u"\xD800", items)), refused + "34)");
  EXPECT_EQ(Utf16ToUtf8(ReadTextDocument(u"\xD800" + doc, items)), refused + "1)");
  // Pairs are characters like any other.
  EXPECT_EQ(Utf16ToUtf8(ReadTextDocument(head + u"\U0001F600\U00010000\U0010FFFF" + tail, items)), "");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].Text, u"a\U0001F600\U00010000\U0010FFFF");
}

TEST(TextDocument, ChecksBarcodeTypesAndValues) {
  EXPECT_EQ(
      Check(Doc("<Barcode Type=\"UPC\" Value=\"1\"/>")),
      kXml +
          "неизвестный тип штрихкода \"UPC\" у элемента \"Barcode\", ожидается EAN8, EAN13, EAN128, CODE39, "
          "Code128, Code16k, Code93, ITF14, EAN13Addon2, EAN13Addon5, GS1DataBarExpandedStacked, PDF417, "
          "DataMatrix или QR");
  // A missing attribute is named in the form the element uses.
  EXPECT_EQ(Check(Doc("<Barcode Value=\"1\"/>")), Barcode("не найден атрибут", "Type"));
  EXPECT_EQ(Check(Doc("<Barcode Barcode=\"1\"/>")), Barcode("не найден атрибут", "BarcodeType"));
  EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\"/>")), Barcode("не найден атрибут", "Value"));
  EXPECT_EQ(Check(Doc("<Barcode/>")), Barcode("не найден атрибут", "BarcodeType"));
  EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\" BarcodeType=\"QR\" Value=\"1\"/>")),
            kXml + "атрибуты \"BarcodeType\" и \"Type\" заданы вместе у элемента \"Barcode\"");
  EXPECT_EQ(Check(Doc("<Barcode Type=\"EAN13\" Value=\"4601234567890\"/>")),
            Barcode("неверная контрольная цифра в значении атрибута", "Value"));
  for (const char* bad : {"460123456789x", "46012345678", "46012345678930", "４60123456789", " 460123456789"})
    EXPECT_EQ(Check(Doc("<Barcode BarcodeType=\"EAN13\" Barcode=\"" + std::string(bad) + "\"/>")),
              Barcode("неверное значение атрибута", "Barcode"))
        << bad;
  EXPECT_EQ(Check(Doc("<Barcode Type=\"EAN8\" Value=\"96385070\"/>")),
            Barcode("неверная контрольная цифра в значении атрибута", "Value"));
  // A CODE39 refusal names the first character the code does not take.
  const std::string code39 = ", ожидается 0-9, A-Z, пробел или - . $ / + %";
  for (const auto& [value, shown] : {std::pair<std::string, std::string>{"AB-a", "\"a\""},
                                     {"*A*", "\"*\""},
                                     {"A&#9;B", "U+0009"},
                                     {"A&#x85;", "U+0085"},
                                     {"AЖ", "\"Ж\""},
                                     {"A\U0001F600", "\"\U0001F600\""},
                                     {"AB\"", "\"\"\""}})
    EXPECT_EQ(Check(Doc("<Barcode Type=\"CODE39\" Value='" + value + "'/>")),
              Barcode("недопустимый символ " + shown + " в значении атрибута", "Value") + code39)
        << value;
  EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\" Value=\"\"/>")), Barcode("пустое значение атрибута", "Value"));
  // A QR value up to the limit in bytes of UTF-8; a refusal names the limit.
  EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\" Value=\"" + std::string(kQrValueLimit, 'x') + "\"/>")), "");
  EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\" Value=\"" + std::string(kQrValueLimit - 1, 'x') + "ы\"/>")),
            Barcode("слишком длинное значение атрибута", "Value") + ", ожидается не более 2953 байт в UTF-8");
  // A long unknown type is named by its beginning.
  const std::string message = Check(Doc("<Barcode Type=\"" + std::string(5000, 'Z') + "\" Value=\"1\"/>"));
  EXPECT_LT(message.size(), 400u);
}

// The newer types: a good value of each is accepted (as the tape keeps it)
// and drawn as a barcode, not as its text line; malformed ones are refused
// with what zint found wrong and what the type holds.
TEST(TextDocument, NewerTypesDrawTheirValuesAndRefuseMalformedOnes) {
  struct TCase {
    const char* Type;
    std::string Value;
    std::string Kept;                                     // empty: the value as given
    std::string Expected;                                 // what a refusal says the type holds
    std::vector<std::pair<std::string, std::string>> Bad; // value, fault
  };
  const std::string wrongValue = "неверное значение атрибута";
  const std::string wrongCheck = "неверная контрольная цифра в значении атрибута";
  const std::string tooLong = "слишком длинное значение атрибута";
  const std::string gs1 = ", ожидаются данные GS1: идентификаторы применения в скобках и их значения, "
                          "например (01)04601234567893";
  const std::string latin1 = ", ожидаются символы ASCII или Latin-1";
  const TCase cases[] = {
      {"EAN128",
       "(01)04601234567893(10)ABC",
       "",
       gs1,
       {{"(01)04601234567890", wrongCheck}, {"0104601234567893", wrongValue}, {"(99", wrongValue}}},
      {"code128",
       "Abc-123 é",
       "",
       latin1,
       {{"AЖ", "недопустимый символ \"Ж\" в значении атрибута"}, {std::string(200, 'x'), tooLong}}},
      {"Code16k", "Code16k 42", "", latin1, {{std::string(200, 'x'), tooLong}}},
      {"CODE93",
       "CODE-93 x",
       "",
       ", ожидаются символы ASCII",
       {{"xé", "недопустимый символ \"é\" в значении атрибута"}, {std::string(200, 'X'), tooLong}}},
      {"ITF14",
       "1460123456789",
       "14601234567890",
       ", ожидается 13 или 14 цифр",
       {{"14601234567891", wrongCheck}, {"12345", wrongValue}}},
      {"EAN13Addon2",
       "46012345678912",
       "4601234567893+12",
       ", ожидается EAN-13 и 2 цифры дополнения",
       {{"4601234567890 12", wrongCheck}, {"460123456789x1", wrongValue}, {"12", wrongValue}}},
      {"EAN13Addon5",
       "4601234567893 54321",
       "4601234567893+54321",
       ", ожидается EAN-13 и 5 цифр дополнения",
       {{"4601234567893+5432", wrongValue}}},
      {"GS1DataBarExpandedStacked",
       "[01]04601234567893[3103]001234",
       "",
       gs1,
       {{"(01)046012345678", wrongValue}, {"(01)04601234567893(3103)12", wrongValue}}},
      // Bytes on both sides of an eleven-digit number: zint's text estimate of its neighbours.
      {"PDF417", "Чек№89991234567№ https://example.org", "", "", {{std::string(3000, 'x'), tooLong}}},
      {"DataMatrix",
       "Чек №1 https://example.org",
       "",
       "",
       {{std::string(3000, 'x'), tooLong}, {std::string(100000, '1'), tooLong}}},
  };
  for (const TCase& c : cases) {
    std::vector<TPrintItem> items;
    const std::string type = c.Type;
    ASSERT_EQ(Check(Doc("<Barcode Type=\"" + type + "\" Value=\"" + c.Value + "\"/>"), &items), "") << type;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(items[0].Text), c.Kept.empty() ? c.Value : c.Kept) << type;
    EXPECT_GT(PaperRowsOf(TTapeLine{TTapeKind::Barcode, items[0].Type, items[0].Text}, 42), 2) << type;
    for (const auto& [value, fault] : c.Bad)
      EXPECT_EQ(Check(Doc("<Barcode BarcodeType=\"" + type + "\" Barcode=\"" + value + "\"/>")),
                Barcode(fault, "Barcode") + c.Expected)
          << type << " " << value;
  }
}

// ValueBase64 carries the value's UTF-8: decoded, then checked as any value.
TEST(TextDocument, ReadsBase64ValuesAsTheValuesTheyCarry) {
  std::vector<TPrintItem> items;
  // "4601234567893" and "чек".
  EXPECT_EQ(Check(Doc("<Barcode Type=\"EAN13\" ValueBase64=\"NDYwMTIzNDU2Nzg5Mw==\"/>"
                      "<Barcode Type=\"qr\" ValueBase64=\"0YfQtdC6\"/>"),
                  &items),
            "");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(Utf16ToUtf8(items[0].Text), "4601234567893");
  EXPECT_EQ(Utf16ToUtf8(items[1].Text), "чек");
  EXPECT_EQ(Check(Doc("<Barcode Type=\"EAN13\" ValueBase64=\"NDYwMTIzNDU2Nzg5MA==\"/>")),
            Barcode("неверная контрольная цифра в значении атрибута", "ValueBase64"));
  for (const char* bad : {"NDYw*", "N", "AA==AA", "AAA="}) // not Base64; "AAA=" is zero bytes
    EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\" ValueBase64=\"" + std::string(bad) + "\"/>")),
              Barcode("неверное значение атрибута", "ValueBase64") + ", ожидается Base64")
        << bad;
  EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\" ValueBase64=\"\"/>")),
            Barcode("пустое значение атрибута", "ValueBase64"));
  EXPECT_EQ(Check(Doc("<Barcode Type=\"QR\" Value=\"1\" ValueBase64=\"MQ==\"/>")),
            kXml + "атрибуты \"Value\" и \"ValueBase64\" заданы вместе у элемента \"Barcode\"");
  EXPECT_EQ(Check(Doc("<Barcode ValueBase64=\"MQ==\"/>")), Barcode("не найден атрибут", "Type"));
}

// Each of the ten check digits, for both lengths: added to a value without
// it, accepted when it is given right and refused when it is any other digit.
TEST(TextDocument, EveryCheckDigitIsAddedAndVerified) {
  const char* const withCheckDigit[] = {
      "4601234567800", "4601234567831", "4601234567862", "4601234567893", "4601234567824",
      "4601234567855", "4601234567886", "4601234567817", "4601234567848", "4601234567879",
      "96385050",      "96385081",      "96385012",      "96385043",      "96385074",
      "96385005",      "96385036",      "96385067",      "96385098",      "96385029",
  };
  for (const std::string good : withCheckDigit) {
    const std::string type = good.size() == 13 ? "EAN13" : "EAN8";
    const auto barcode = [&type](const std::string& value) {
      return Doc("<Barcode Type=\"" + type + "\" Value=\"" + value + "\"/>");
    };
    const std::string prefix = good.substr(0, good.size() - 1);
    std::vector<TPrintItem> items;
    ASSERT_EQ(Check(barcode(prefix), &items), "") << prefix;
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(items[0].Text), good);
    EXPECT_EQ(Check(barcode(good)), "") << good;
    for (char digit = '0'; digit <= '9'; ++digit)
      if (digit != good.back()) {
        EXPECT_EQ(Check(barcode(prefix + digit)),
                  Barcode("неверная контрольная цифра в значении атрибута", "Value"))
            << prefix + digit;
      }
  }
}

TEST(Tape, WrapsTextsAtTheLineLengthAndCutsAfterTheDocument) {
  std::vector<TPrintItem> items(3);
  items[0].Text = std::u16string(20, u'a') + u"\U0001F600b\r\nc\td";
  items[1].Text = u"";
  items[2] = TPrintItem{true, TBarcodeType::QR, u"x\ny"};
  const std::vector<TTapeLine> lines = LayOutDocument(items, 16);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].Text, std::u16string(16, u'a'));
  EXPECT_EQ(lines[1].Text, u"aaaa\U0001F600b"); // the pair is one character, never split
  EXPECT_EQ(lines[2].Text, u"c d");
  EXPECT_EQ(lines[3].Text, u"");
  EXPECT_EQ(TapeLineText(lines[4]), u"[QR x y]");
  EXPECT_EQ(lines[5].Kind, TTapeKind::Cut);
  EXPECT_EQ(TapeFileText(lines), std::u16string(16, u'a') +
                                     u"\r\naaaa\U0001F600b\r\nc d\r\n\r\n[QR x y]\r\n" +
                                     u"~~~~ отрез ~~~~~\r\n");
  // A width out of range is clamped; an empty document is only a cut.
  EXPECT_EQ(LayOutDocument({}, 5).at(0).Text.size(), size_t(kReceiptMinLineLength));
  EXPECT_EQ(LayOutDocument({TPrintItem{false, {}, std::u16string(500, u'z')}}, 1000).at(0).Text.size(),
            size_t(kReceiptMaxLineLength));
}

TEST(Barcode, BarsFollowTheEncodingTables) {
  const auto text = [](const TBarcodeSymbol& symbol) {
    std::string bits;
    for (const bool dark : symbol.Dark)
      bits += dark ? '1' : '0';
    return bits;
  };
  // EAN-13 5901234123457: first digit 5 sets the parity L G G L L G of the left half.
  const std::string ean13 = text(EncodeBarcode(TBarcodeType::EAN13, u"5901234123457"));
  ASSERT_EQ(ean13.size(), 95u);
  EXPECT_EQ(ean13.substr(0, 3 + 14), "101"
                                     "0001011"
                                     "0100111"); // guard, 9 in L, 0 in G
  EXPECT_EQ(ean13.substr(45, 5), "01010");
  EXPECT_EQ(ean13.substr(85), "1000100"
                              "101"); // 7 in R, guard
  EXPECT_EQ(EncodeBarcode(TBarcodeType::EAN8, u"96385074").Width, 67);
  // A wrong check digit (the fiscal register's barcodes come unchecked) is no symbol.
  EXPECT_TRUE(EncodeBarcode(TBarcodeType::EAN13, u"5901234123450").Empty());
  // CODE39: every character is three wide elements (two modules) of nine and a gap.
  for (const char16_t c : std::u16string_view(u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"))
    EXPECT_EQ(EncodeBarcode(TBarcodeType::CODE39, std::u16string(1, c)).Width, 3 * 13 - 1) << char(c);
  EXPECT_EQ(text(EncodeBarcode(TBarcodeType::CODE39, u"A")).substr(13, 12), "110101001011");
  EXPECT_TRUE(EncodeBarcode(TBarcodeType::CODE39, u"a*").Empty());
  EXPECT_FALSE(EncodeBarcode(TBarcodeType::QR, u"x").Linear);
}

TEST(Barcode, QrSymbolsTakeTheirVersionsSizeWithFinderPatternsInTheCorners) {
  const auto finder = [](const TBarcodeSymbol& qr, int left, int top) {
    for (int y = -1; y <= 7; ++y)
      for (int x = -1; x <= 7; ++x) {
        if (left + x < 0 || top + y < 0 || left + x >= qr.Width || top + y >= qr.Height)
          continue;
        const int ring = std::max(std::abs(x - 3), std::abs(y - 3)); // 4: the light separator
        if (qr.At(left + x, top + y) != (ring != 2 && ring != 4))
          return false;
      }
    return true;
  };
  const auto qr = [](const std::string& value, int maxModules = kBarcodeMaxModules) {
    return EncodeBarcode(TBarcodeType::QR, Utf8ToUtf16(value), maxModules);
  };
  // Alphanumeric "HELLO WORLD" fits version 1; 100 lower-case bytes need version 5 at level L.
  for (const auto& [value, size] :
       {std::pair<std::string, int>{"HELLO WORLD", 21}, {std::string(100, 'a'), 37}}) {
    const TBarcodeSymbol symbol = qr(value);
    ASSERT_EQ(symbol.Width, size) << value;
    ASSERT_EQ(symbol.Height, size) << value;
    ASSERT_EQ(symbol.Dark.size(), size_t(size * size));
    EXPECT_TRUE(finder(symbol, 0, 0));
    EXPECT_TRUE(finder(symbol, size - 7, 0));
    EXPECT_TRUE(finder(symbol, 0, size - 7));
    EXPECT_FALSE(finder(symbol, size - 7, size - 7));
  }
  // The longest accepted value fills version 40; a NUL is a byte, not the end.
  EXPECT_EQ(qr(std::string(kQrValueLimit, 'x')).Width, 177);
  EXPECT_TRUE(qr(std::string(kQrValueLimit + 1, 'x')).Empty());
  EXPECT_TRUE(qr(std::string(100, 'a'), 36).Empty()); // version 5 is wider
  EXPECT_EQ(qr(std::string(3000, '1')).Width, 117);   // digits in numeric mode: version 25
  EXPECT_NE(qr(std::string("a\0b", 3)).Dark, qr("a").Dark);
}

// The paper's dark rectangles, and the texts written.
struct TInk : IPaperCanvas {
  int Left = 1 << 20, Top = 1 << 20, Right = 0, Bottom = 0;
  std::vector<std::u16string> Texts;
  void Fill(int x, int y, int width, int height, bool dark) override {
    if (!dark)
      return;
    Left = std::min(Left, x), Top = std::min(Top, y);
    Right = std::max(Right, x + width), Bottom = std::max(Bottom, y + height);
  }
  void Text(int, int, std::u16string_view text) override { Texts.emplace_back(text); }
};

TEST(Paper, QrCodesAreDrawnAsSquaresThatFitTheWindowElseAsText) {
  const TTapeLine qr{TTapeKind::Barcode, TBarcodeType::QR, u"https://example.org/чек?n=1\n2"};
  for (const int32_t length : {kReceiptMinLineLength, 42, kReceiptMaxLineLength}) {
    TInk ink;
    PaintPaper(ink, {TTapeLine{TTapeKind::Text, TBarcodeType::EAN13, u"top"}, qr}, length);
    const int rows = PaperRowsOf(qr, length);
    ASSERT_GT(rows, 2) << length;
    EXPECT_EQ(ink.Right - ink.Left, ink.Bottom - ink.Top) << length;
    EXPECT_GE(ink.Left, kPaperMargin + 8); // the quiet zone inside the paper
    EXPECT_LE(ink.Right, PaperWidth(length) - kPaperMargin - 8);
    // Within its rows above the value, however wide the paper (the window is not).
    const int top = kPaperMargin + kPaperRowPitch * (kPaperRows - rows);
    EXPECT_GE(ink.Top, top + 8);
    EXPECT_LE(ink.Bottom, top + kPaperRowPitch * (rows - 1));
    ASSERT_EQ(ink.Texts.size(), 2u);
    EXPECT_EQ(ink.Texts[1], u"top"); // painted from the bottom up
    EXPECT_EQ(ink.Texts[0], std::u16string(u"https://example.org/чек?n=1 2").substr(0, size_t(length)));
  }
  // Too many modules for the narrowest paper: the text line.
  const TTapeLine big{TTapeKind::Barcode, TBarcodeType::QR, std::u16string(1000, u'x')};
  EXPECT_EQ(PaperRowsOf(big, kReceiptMinLineLength), 1);
  TInk ink;
  PaintPaper(ink, {big}, kReceiptMinLineLength);
  EXPECT_EQ(ink.Right, 0);
  EXPECT_EQ(ink.Texts.at(0), u"[QR " + std::u16string(kReceiptMinLineLength - 4, u'x'));
}

// Linear codes as a scanner reads them off the paper: the drawn bars, a
// column of pixels each, give back the symbol's modules at a whole number of
// pixels a module, with blank paper of ten modules or more on both sides.
TEST(Paper, BarsAreTheSymbolsModulesWithQuietZones) {
  struct TColumns : IPaperCanvas {
    std::vector<bool> Dark;
    void Fill(int x, int, int width, int, bool dark) override {
      if (!dark)
        return;
      for (int i = x; i < x + width; ++i)
        Dark.at(size_t(i)) = true;
    }
    void Text(int, int, std::u16string_view) override {}
  };
  const std::pair<TBarcodeType, std::u16string> codes[] = {
      {TBarcodeType::EAN13, u"4601234567893"}, {TBarcodeType::EAN8, u"96385074"},
      {TBarcodeType::CODE39, u"AB-12 $"},      {TBarcodeType::ITF14, u"14601234567890"},
      {TBarcodeType::CODE128, u"Abc-123"},     {TBarcodeType::EAN128, u"(01)04601234567893"}};
  for (const auto& [type, value] : codes)
    for (const int32_t length : {kReceiptMinLineLength, 42, kReceiptMaxLineLength}) {
      const TBarcodeSymbol symbol = EncodeBarcode(type, value);
      ASSERT_TRUE(symbol.Linear) << Utf16ToUtf8(value);
      const TTapeLine line{TTapeKind::Barcode, type, value};
      if (PaperRowsOf(line, length) == 1) { // its text line: too wide with its quiet zones
        EXPECT_GT(symbol.Width + 20, kPaperCellWidth * length) << Utf16ToUtf8(value) << " " << length;
        continue;
      }
      TColumns paper;
      paper.Dark.resize(size_t(PaperWidth(length)));
      PaintPaper(paper, {line}, length);
      const auto first = std::find(paper.Dark.begin(), paper.Dark.end(), true) - paper.Dark.begin();
      const auto last = paper.Dark.rend() - std::find(paper.Dark.rbegin(), paper.Dark.rend(), true);
      const int module = int(last - first) / symbol.Width; // every code ends with a bar
      ASSERT_EQ(int(last - first) % symbol.Width, 0) << Utf16ToUtf8(value) << " " << length;
      ASSERT_GE(module, 1) << Utf16ToUtf8(value) << " " << length;
      for (int i = 0; i < symbol.Width; ++i)
        for (int p = 0; p < module; ++p)
          ASSERT_EQ(paper.Dark.at(size_t(first + i * module + p)), symbol.At(i, 0))
              << Utf16ToUtf8(value) << " " << length << " module " << i;
      EXPECT_GE(first, 10 * module) << Utf16ToUtf8(value) << " " << length;
      EXPECT_GE(PaperWidth(length) - (first + symbol.Width * module), 10 * module);
    }
}

TEST(Paper, ASurrogatePairTakesOneCellAsOnTheTape) {
  const std::u16string line = u"😀" + std::u16string(kReceiptMinLineLength - 1, u'a');
  TInk ink;
  PaintPaper(ink, {TTapeLine{TTapeKind::Text, TBarcodeType::EAN13, line + u"b"}}, kReceiptMinLineLength);
  EXPECT_EQ(ink.Texts.at(0), line); // the whole width, the pair kept whole
}

} // namespace
