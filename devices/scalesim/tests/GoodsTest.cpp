// The goods-list check on its own: the order of the checks, the case rules,
// the price syntax, the attribute values and input that must not hurt. (The
// messages as the host sees them: AddInTest.cpp.)
#include "GoodsList.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The check's message as UTF-8 (readable in failures); empty when accepted.
std::string Check(std::string_view xml, std::u16string_view status = u"first") {
  return Utf16ToUtf8(CheckGoodsUpload(Utf8ToUtf16(xml), status));
}

std::string Table(std::string_view records) {
  return "<Table>" + std::string(records) + "</Table>";
}

// A list of one record with the given attributes.
std::string One(std::string_view attributes) {
  return Table("<Record " + std::string(attributes) + "/>");
}

constexpr char kValid[] =
    R"(<Record PLU="1" Code="2001" IsWeightGoods="true" Name="Сыр" Price="450,00" ShelfLife="10"/>)";
constexpr char kRest[] = R"( Code="2" IsWeightGoods="true" Name="x")"; // with PLU and Price: valid

const std::string kXml = "Ошибка разбора XML : ";
std::string BadValue(std::string_view attribute) {
  return kXml + "неверное значение атрибута \"" + std::string(attribute) + "\" у элемента \"Record\"";
}
std::string Missing(std::string_view attribute) {
  return kXml + "не найден атрибут \"" + std::string(attribute) + "\" у элемента \"Record\"";
}
const std::string kEmptyName = kXml + "пустое значение атрибута \"Name\" у элемента \"Record\"";
const std::string kNoRecord = kXml + "не найден элемент \"Record\"";

TEST(PackageStatus, ThreeStatusesInAnyCaseCheckedBeforeTheDocument) {
  for (const char16_t* status : {u"first", u"First", u"REGULAR", u"last", u"lAsT"})
    EXPECT_EQ(Check(Table(kValid), status), "") << Utf16ToUtf8(status);
  EXPECT_EQ(Check("not xml", u"Middle"), "Неверный статус пакета: \"middle\"!");
  EXPECT_EQ(Check(Table(kValid), u""), "Неверный статус пакета: \"\"!");
  EXPECT_EQ(Check(Table(kValid), u" first"), "Неверный статус пакета: \" first\"!");
  EXPECT_EQ(Check(Table(kValid), u"ПЕРВЫЙ Ёж"), "Неверный статус пакета: \"первый ёж\"!");
  // Unicode's lower-casing: the dotted capital I does not become a plain i.
  EXPECT_EQ(Check(Table(kValid), u"F\u0130RST"), "Неверный статус пакета: \"fi\u0307rst\"!");
}

TEST(LowerCase, CoversScriptsBeyondAscii) {
  EXPECT_EQ(LowerCaseFull(u"ABCxyz09 ÀÉÎÕÜ ĀĂĄ ŸŹ"), u"abcxyz09 àéîõü āăą ÿź");
  EXPECT_EQ(LowerCaseFull(u"АБВГДЕЁЖЯ ЀЏ ѠҐӁ ΑΒΓΩ Ά"), u"абвгдеёжя ѐџ ѡґӂ αβγω ά");
  EXPECT_EQ(LowerCaseFull(u"ＡＺ K Ω ß ǅ"), u"ａｚ k ω ß ǆ"); // fullwidth, Kelvin and Ohm signs
  EXPECT_EQ(LowerCaseFull(u"\U00010400\U0001E900"), u"\U00010428\U0001E922"); // beyond the BMP
  EXPECT_EQ(LowerCaseFull(std::u16string(u"A\xD800"
                                         u"B\xDC00")),
            std::u16string(u"a\xD800"
                           u"b\xDC00"));
}

TEST(Price, DecimalNumbersWithCommaOrPoint) {
  for (const char* good :
       {"0", "12", "12.50", "12.", ".5", "+3", "-3.25", "007", "123456789012345678901234567890"})
    EXPECT_TRUE(IsDecimalNumber(good)) << good;
  for (const char* bad :
       {"", ".", "+", "-", "+.", "1.2.3", "1e5", " 1", "1 ", "1 000", "0x10", "inf", "--1", "١"})
    EXPECT_FALSE(IsDecimalNumber(bad)) << bad;
  // In a record every "," reads as ".".
  for (const char* price : {"99,90", "99.90", "100", ",5", "-1,25"})
    EXPECT_EQ(Check(One(std::string(kRest) + " PLU=\"1\" Price=\"" + price + "\"")), "") << price;
  for (const char* price : {"abc", "", "1,000,50", "1.000,50", "1e2", "12 руб"})
    EXPECT_EQ(Check(One(std::string(kRest) + " PLU=\"1\" Price=\"" + price + "\"")), BadValue("Price"))
        << price;
}

TEST(GoodsList, AttributeValuesAndNames) {
  const std::string price = " Price=\"1\"";
  struct Case {
    std::string attributes;
    std::string message;
  } cases[] = {
      // Names in any letter case count; other attributes are ignored; ShelfLife may be missing.
      {R"(plu="1" CODE="007" isWeightGoods="FALSE" nAmE="x" pRiCe="100" Extra="?")", ""},
      // A name of characters outside any 8-bit code page is still a name; references are read.
      {R"(PLU="&#49;" Code="2" IsWeightGoods="tru&#x65;" Name="漢字 🧀" Price="1")", ""},
      {R"(PLU="" )" + std::string(kRest) + price, BadValue("PLU")},
      {R"(PLU="12a")" + std::string(kRest) + price, BadValue("PLU")},
      {R"(PLU="-1")" + std::string(kRest) + price, BadValue("PLU")},
      {R"(PLU="١")" + std::string(kRest) + price, BadValue("PLU")}, // a digit, but not an ASCII one
      {R"(PLU="1" Code="2" IsWeightGoods="1" Name="x")" + price, BadValue("IsWeightGoods")},
      {R"(PLU="1" Code="2" IsWeightGoods="true " Name="x")" + price, BadValue("IsWeightGoods")},
      {R"(PLU="1" ShelfLife="")" + std::string(kRest) + price, BadValue("ShelfLife")},
      {R"(PLU="1" shelflife="7d")" + std::string(kRest) + price, BadValue("ShelfLife")},
      // Values first, in document order, then presence in the fixed order.
      {R"(Price="x" PLU="y")", BadValue("Price")},
      {R"(PLU="y" Price="x")", BadValue("PLU")},
      {R"(Name="")", kEmptyName},
      {R"(Price="1" Name="x" Code="2" PLU="1")", Missing("IsWeightGoods")},
      {R"(PLU="1" IsWeightGoods="true" Name="x")", Missing("Code")},
      {R"(РLU="1")" + std::string(kRest) + price, Missing("PLU")}, // a Cyrillic Р
  };
  for (const Case& c : cases)
    EXPECT_EQ(Check(One(c.attributes)), c.message) << c.attributes;
}

TEST(GoodsList, RecordsAndRoot) {
  struct Case {
    std::string xml;
    std::string message;
  } cases[] = {
      // Other nodes around the records, a declaration, a BOM, a root in capitals.
      {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- c -->\n<TABLE> text " + std::string(kValid) +
           "<Item/><!-- x -->" + kValid + "<![CDATA[<Record/>]]></TABLE>\n",
       ""},
      // The host's text is UTF-16 whatever the declaration says.
      {"<?xml version=\"1.0\" encoding=\"windows-1251\"?>" + Table(kValid), ""},
      // Entities the document type declares are expanded; so are its default attribute values.
      {"<!DOCTYPE Table [<!ENTITY p \"450,00\"><!ENTITY n \"Сыр &amp; Ко\">]>" +
           One(std::string(kRest) + R"( PLU="1" Price="&p;")"),
       ""},
      {"<!DOCTYPE Table [<!ENTITY p \"12 руб\">]>" + One(std::string(kRest) + R"( PLU="1" Price="&p;")"),
       BadValue("Price")},
      {"<!DOCTYPE Table [<!ATTLIST Record ShelfLife CDATA \"7d\">]>" +
           One(std::string(kRest) + R"( PLU="1" Price="1")"),
       BadValue("ShelfLife")},
      {Table("<RECORD/>"), Missing("PLU")},
      {Table("<record/>"), Missing("PLU")},
      {"<Table>  \n\t </Table>", kNoRecord},
      {"<Table><!-- <Record/> --><Item/><Items><Record/></Items>text</Table>", kNoRecord},
      {"<Table><Records/><x:Record xmlns:x=\"u\"/><?Record?></Table>", kNoRecord},
      // The first faulty record ends the check; nothing after it is looked at.
      {Table(std::string(kValid) + R"(<Record PLU="2" Code="x"/><Record PLU="3"/>)"), BadValue("Code")},
      {Table(std::string(kValid) + R"(<Record PLU="2"/><Record PLU="x"/>)"), Missing("Code")},
      {"<Tables/>", kXml + "неверный корневой элемент \"Tables\", ожидается \"Table\""},
      // The name comes back exactly, whatever its characters' UTF-8 lengths.
      {"<é表Ж/>", kXml + "неверный корневой элемент \"é表Ж\", ожидается \"Table\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Check(c.xml), c.message) << c.xml;
}

// Documents that are not well-formed XML are refused before anything in them
// is judged, with the parser's error in Russian, the line and the character.
TEST(GoodsList, MalformedDocumentsAreParseErrors) {
  const std::string rest = std::string(kRest) + R"( PLU="1" Price="1")";
  const std::string notWellFormed = "недопустимый символ или неверная разметка";
  struct Case {
    std::string xml;
    std::string message;
  } cases[] = {
      {"   ", "текст закончился раньше документа (строка 1, позиция 4)"},
      {"<Table></table>", "закрывающий тег не соответствует открывающему (строка 1, позиция 10)"},
      {"<Table><Record PLU=1/></Table>", notWellFormed + " (строка 1, позиция 20)"},
      // Text outside the root, a second root.
      {"x" + Table(kValid), notWellFormed + " (строка 1, позиция 2)"},
      {Table(kValid) + "x", "лишнее содержимое после корневого элемента (строка 1, позиция 107)"},
      {Table(kValid) + "<Table><Record/></Table>",
       "лишнее содержимое после корневого элемента (строка 1, позиция 107)"},
      // Attribute values: a bare & or <, a repeated name, an unknown entity, a zero, control characters.
      {One(rest + R"( Extra="Молоко & Ко")"), notWellFormed + " (строка 1, позиция 89)"},
      {One(rest + R"( Extra="a<b")"), notWellFormed + " (строка 1, позиция 82)"},
      {One(rest + R"( PLU="2")"), "повторяющийся атрибут (строка 1, позиция 74)"},
      {One(rest + R"( Extra="&nbsp;")"), "ссылка на необъявленную сущность (строка 1, позиция 8)"},
      {One(R"(PLU="1&#0;x")" + std::string(kRest) + R"( Price="1")"),
       "ссылка на недопустимый символ (строка 1, позиция 22)"},
      {One(rest + " Extra=\"a\x01b\""), notWellFormed + " (строка 1, позиция 82)"},
      {Table(std::string(kValid) + "\x1F"), notWellFormed + " (строка 1, позиция 99)"},
      // Lines and characters count from 1; CR LF is one line end, a pair of surrogates one character.
      {"<Table>\r\n<Record PLU=\"1\"/>\n  <Record Name=\"🧀Ж<\"/>\r\n</Table>",
       notWellFormed + " (строка 3, позиция 19)"},
      // A fault in a record or in the root does not hide a later parse error.
      {Table(R"(<Record PLU="x"/><Record)"), notWellFormed + " (строка 1, позиция 32)"},
      {"<Goods></Table>", "закрывающий тег не соответствует открывающему (строка 1, позиция 10)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Check(c.xml), kXml + c.message) << c.xml;
}

// Hostile input: each gets a clear answer (a hang is caught by the test's timeout).
class HostileGoods : public ::testing::Test {};

TEST_F(HostileGoods, EntitiesThatExplodeRecurseOrPointOutside) {
  std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE Table [<!ENTITY lol0 \"lol\">";
  for (int i = 1; i <= 9; ++i) {
    bomb += "<!ENTITY lol" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k)
      bomb += "&lol" + std::to_string(i - 1) + ";";
    bomb += "\">";
  }
  bomb += "]>";
  const std::string limit = kXml + "раскрытие сущностей превысило допустимый объём";
  EXPECT_TRUE(Check(bomb + One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="&lol9;" Price="1")"))
                  .starts_with(limit));
  EXPECT_TRUE(Check(bomb + Table("&lol9;")).starts_with(limit));
  EXPECT_TRUE(Check("<!DOCTYPE Table [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]>" + One("PLU=\"&a;\""))
                  .starts_with(kXml + "рекурсивная ссылка на сущность"));
  // A chain of a hundred thousand entities, each naming the next: expanded without deep recursion.
  std::string chain = "<!DOCTYPE Table [<!ENTITY e0 \"1\">";
  const int links = 100000;
  for (int i = 1; i < links; ++i)
    chain += "<!ENTITY e" + std::to_string(i) + " \"&e" + std::to_string(i - 1) + ";\">";
  chain += "]>";
  EXPECT_EQ(
      Check(chain + One(std::string(kRest) + R"( Price="1" PLU="&e)" + std::to_string(links - 1) + ";\"")),
      "");
  // An external entity or document type is never opened: in a value it is an error, elsewhere
  // nothing is read from it.
  EXPECT_TRUE(Check("<!DOCTYPE Table [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + One("PLU=\"&x;\""))
                  .starts_with(kXml + "ссылка на внешнюю сущность в значении атрибута"));
  EXPECT_EQ(Check("<!DOCTYPE Table SYSTEM \"file:///nonexistent/goods.dtd\" [<!ENTITY x SYSTEM "
                  "\"file:///etc/passwd\">]>" +
                  Table(std::string("&x;") + kValid)),
            "");
}

TEST_F(HostileGoods, MillionNestedElements) {
  const size_t depth = 1000000;
  std::string deep = "<Table>";
  for (size_t i = 0; i < depth; ++i)
    deep += "<a>";
  EXPECT_EQ(Check(deep), kXml + "текст закончился раньше документа (строка 1, позиция 3000008)");
  for (size_t i = 0; i < depth; ++i)
    deep += "</a>";
  EXPECT_EQ(Check(deep + "</Table>"), kNoRecord);
}

TEST_F(HostileGoods, HundredMegabytes) {
  const std::string record = kValid;
  std::string big = "<Table>";
  const size_t count = 100'000'000 / record.size();
  big.reserve(count * record.size() + 100);
  for (size_t i = 0; i < count; ++i)
    big += record;
  EXPECT_EQ(Check(big + R"(<Record PLU="1"/></Table>)"), Missing("Code")); // the last record is faulty
  EXPECT_EQ(
      Check(One(std::string(kRest) + R"( PLU="1" Price="1" Extra=")" + std::string(100'000'000, 'x') + "\"")),
      "");
}

TEST_F(HostileGoods, BrokenText) {
  // A lone surrogate or a zero is no XML character.
  const std::u16string lone =
      u"<Table><Record PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Price=\"1\" Name=\"" +
      std::u16string(1, u'\xDC00') + u"\"/></Table>";
  EXPECT_EQ(Utf16ToUtf8(CheckGoodsUpload(lone, u"first")),
            kXml + "недопустимый символ или неверная разметка (строка 1, позиция 70)");
  // A lone high one alike, never taken together with the unit after it.
  std::u16string high = lone;
  high.replace(high.find(u'\xDC00'), 1,
               u"\xD800"
               u"b");
  EXPECT_EQ(Utf16ToUtf8(CheckGoodsUpload(high, u"first")),
            kXml + "недопустимый символ или неверная разметка (строка 1, позиция 70)");
  EXPECT_EQ(Check(std::string("<Table>\0<Record/></Table>", 25)),
            kXml + "недопустимый символ или неверная разметка (строка 1, позиция 8)");
  // U+FFFD (what the test's conversion makes of bytes that are no UTF-8) is a character like any other.
  EXPECT_EQ(Check(One(std::string(kRest) + " PLU=\"1\" Price=\"1\" Extra=\"\xC0\xFF\"")), "");
}

} // namespace
