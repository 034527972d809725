// The goods-list check on its own: every message, the order of the checks,
// the case rules, the price syntax and input that must not hurt.
#include "GoodsList.h"
#include "v8napi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

// The check's message as UTF-8 (readable in failures); empty when accepted.
std::string Check(std::string_view xml, std::u16string_view status = u"first") {
  return Utf16ToUtf8(CheckGoodsUpload(Utf8ToUtf16(xml), status));
}

std::string Table(std::string_view records) {
  return "<Table>" + std::string(records) + "</Table>";
}

constexpr char kValid[] =
    R"(<Record PLU="1" Code="2001" IsWeightGoods="true" Name="Сыр" Price="450,00" ShelfLife="10"/>)";

const std::string kXml = "Ошибка разбора XML : ";
std::string BadValue(std::string_view attribute) {
  return kXml + "неверное значение атрибута \"" + std::string(attribute) + "\" у элемента \"Record\"";
}
std::string Missing(std::string_view attribute) {
  return kXml + "не найден атрибут \"" + std::string(attribute) + "\" у элемента \"Record\"";
}
const std::string kEmptyName = kXml + "пустое значение атрибута \"Name\" у элемента \"Record\"";
const std::string kNoRecord = kXml + "не найден элемент \"Record\"";

// A record with the given attributes text in place of the valid ones.
std::string One(std::string_view attributes) {
  return Table("<Record " + std::string(attributes) + "/>");
}

TEST(PackageStatus, AcceptsTheThreeStatusesInAnyCase) {
  for (const char16_t* status : {u"first", u"First", u"REGULAR", u"last", u"LAST", u"lAsT"})
    EXPECT_EQ(Check(Table(kValid), status), "") << Utf16ToUtf8(status);
}

TEST(PackageStatus, RefusalQuotesTheStatusLowerCased) {
  EXPECT_EQ(Check(Table(kValid), u"Middle"), "Неверный статус пакета: \"middle\"!");
  EXPECT_EQ(Check(Table(kValid), u""), "Неверный статус пакета: \"\"!");
  EXPECT_EQ(Check(Table(kValid), u"ПЕРВЫЙ Ёж"), "Неверный статус пакета: \"первый ёж\"!");
  EXPECT_EQ(Check(Table(kValid), u" first"), "Неверный статус пакета: \" first\"!");
  // Lower-casing is Unicode's: the dotted capital I does not become a plain i.
  EXPECT_EQ(Check(Table(kValid), u"F\u0130RST"), "Неверный статус пакета: \"fi\u0307rst\"!");
}

TEST(PackageStatus, IsCheckedBeforeTheDocument) {
  EXPECT_EQ(Check("not xml", u"middle"), "Неверный статус пакета: \"middle\"!");
}

TEST(LowerCase, CoversScriptsBeyondAscii) {
  EXPECT_EQ(LowerCaseFull(u"ABCxyz09"), u"abcxyz09");
  EXPECT_EQ(LowerCaseFull(u"ÀÉÎÕÜ ĀĂĄ ŸŹ"), u"àéîõü āăą ÿź");
  EXPECT_EQ(LowerCaseFull(u"АБВГДЕЁЖЯ ЀЏ ѠҐӁ"), u"абвгдеёжя ѐџ ѡґӂ");
  EXPECT_EQ(LowerCaseFull(u"ΑΒΓΩ Ά"), u"αβγω ά");
  EXPECT_EQ(LowerCaseFull(u"ＡＺ K Ω"), u"ａｚ k ω"); // fullwidth, Kelvin and Ohm signs
  EXPECT_EQ(LowerCaseFull(u"\U00010400\U0001E900"), u"\U00010428\U0001E922"); // beyond the BMP
  EXPECT_EQ(LowerCaseFull(std::u16string(u"A\xD800"
                                         u"B\xDC00")),
            std::u16string(u"a\xD800"
                           u"b\xDC00"));
  EXPECT_EQ(LowerCaseFull(u"ß ǅ"), u"ß ǆ");
}

TEST(Price, DecimalNumberSyntax) {
  for (const char* good :
       {"0", "12", "12.50", "12.", ".5", "+3", "-3.25", "007", "123456789012345678901234567890"})
    EXPECT_TRUE(IsDecimalNumber(good)) << good;
  for (const char* bad : {"", ".", "+", "-", "+.", "1.2.3", "1e5", "1E5", " 1", "1 ", "1 000", "0x10", "abc",
                          "1,5", "inf", "nan", "--1", "1-", "١"})
    EXPECT_FALSE(IsDecimalNumber(bad)) << bad;
}

TEST(GoodsList, AcceptsValidLists) {
  EXPECT_EQ(Check(Table(kValid)), "");
  // Several records, other nodes between them, a declaration, a BOM, a root in upper case.
  EXPECT_EQ(Check("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- goods -->\n<TABLE>\n  text " +
                  std::string(kValid) + "<Item/><!-- x -->" + kValid + "<![CDATA[<Record/>]]></TABLE>\n"),
            "");
  // The bytes are UTF-8 whatever the declaration says.
  EXPECT_EQ(Check("<?xml version=\"1.0\" encoding=\"windows-1251\"?>" + Table(kValid)), "");
  // Attribute names in any letter case; other attributes ignored; no ShelfLife.
  EXPECT_EQ(Check(One(R"(plu="1" CODE="007" isWeightGoods="FALSE" nAmE="x" pRiCe="100" Extra="?")")), "");
  // A name of characters outside any 8-bit code page is still a name.
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="漢字 🧀" Price="1")")), "");
  // Character references are read: "&#49;" is 1.
  EXPECT_EQ(Check(One(R"(PLU="&#49;" Code="2" IsWeightGoods="tru&#x65;" Name="&lt;&amp;&gt;" Price="1")")),
            "");
}

TEST(GoodsList, PricesWithCommaOrPoint) {
  for (const char* price : {"99,90", "99.90", "100", ",5", "-1,25"})
    EXPECT_EQ(
        Check(One(std::string(R"(PLU="1" Code="2" IsWeightGoods="true" Name="x" Price=")") + price + "\"")),
        "")
        << price;
  for (const char* price : {"abc", "", "1,000,50", "1.000,50", "1e2", " 1", "12 руб"})
    EXPECT_EQ(
        Check(One(std::string(R"(PLU="1" Code="2" IsWeightGoods="true" Name="x" Price=")") + price + "\"")),
        BadValue("Price"))
        << price;
}

TEST(GoodsList, EachBadValueHasItsMessage) {
  const std::string rest = R"( Code="2" IsWeightGoods="true" Name="x" Price="1")";
  for (const char* plu : {"", "12a", "-1", "1.0", " 1", "١", "１"})
    EXPECT_EQ(Check(One(std::string("PLU=\"") + plu + "\"" + rest)), BadValue("PLU")) << plu;
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2x" IsWeightGoods="true" Name="x" Price="1")")), BadValue("Code"));
  EXPECT_EQ(Check(One(R"(PLU="1" Code="" IsWeightGoods="true" Name="x" Price="1")")), BadValue("Code"));
  for (const char* weight : {"1", "yes", "", "truee", "true ", "tru"})
    EXPECT_EQ(
        Check(One(std::string(R"(PLU="1" Code="2" Name="x" Price="1" IsWeightGoods=")") + weight + "\"")),
        BadValue("IsWeightGoods"))
        << weight;
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="" Price="1")")), kEmptyName);
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="&#0;" Price="1")")), kEmptyName);
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="x" Price="1" ShelfLife="")")),
            BadValue("ShelfLife"));
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="x" Price="1" shelflife="7d")")),
            BadValue("ShelfLife"));
}

TEST(GoodsList, MissingAttributesInTheirFixedOrder) {
  EXPECT_EQ(Check(One(R"(Code="2" IsWeightGoods="true" Name="x" Price="1")")), Missing("PLU"));
  EXPECT_EQ(Check(One(R"(PLU="1" IsWeightGoods="true" Name="x")")), Missing("Code"));
  EXPECT_EQ(Check(One(R"(Price="1" Name="x" Code="2" PLU="1")")), Missing("IsWeightGoods"));
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Price="1")")), Missing("Name"));
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="x")")), Missing("Price"));
  EXPECT_EQ(Check(Table("<Record/>")), Missing("PLU"));
  // An attribute whose name only looks like PLU (Cyrillic Р) does not count.
  EXPECT_EQ(Check(One(R"(РLU="1" Code="2" IsWeightGoods="true" Name="x" Price="1")")), Missing("PLU"));
}

TEST(GoodsList, ValuesAreCheckedBeforePresence) {
  // Every attribute is examined first, in document order; the first bad one wins.
  EXPECT_EQ(Check(One(R"(Price="x" PLU="y")")), BadValue("Price"));
  EXPECT_EQ(Check(One(R"(PLU="y" Price="x")")), BadValue("PLU"));
  EXPECT_EQ(Check(One(R"(Name="")")), kEmptyName);
  // A repeated attribute is examined each time.
  EXPECT_EQ(Check(One(R"(PLU="1" PLU="x" Code="2" IsWeightGoods="true" Name="x" Price="1")")),
            BadValue("PLU"));
}

TEST(GoodsList, FirstFaultyRecordWins) {
  const std::string badCode = R"(<Record PLU="2" Code="x" IsWeightGoods="true" Name="x" Price="1"/>)";
  const std::string noName = R"(<Record PLU="3" Code="3" IsWeightGoods="true" Price="1"/>)";
  EXPECT_EQ(Check(Table(std::string(kValid) + badCode + noName)), BadValue("Code"));
  EXPECT_EQ(Check(Table(std::string(kValid) + noName + badCode)), Missing("Name"));
  // Nothing after the faulty record is looked at, not even a broken root.
  EXPECT_EQ(Check(Table(noName + "<Record/>")), Missing("Name"));
}

TEST(GoodsList, RecordsCountOnlyAsChildrenOfTheRoot) {
  EXPECT_EQ(Check("<Table/>"), kNoRecord);
  EXPECT_EQ(Check("<Table>  \n\t </Table>"), kNoRecord);
  EXPECT_EQ(Check("<Table><!-- <Record/> --></Table>"), kNoRecord);
  EXPECT_EQ(Check("<Table><Item/><Items><Record/></Items>text</Table>"), kNoRecord);
  EXPECT_EQ(Check("<Table><Records/><x:Record xmlns:x=\"u\"/><?Record?></Table>"), kNoRecord);
  // Element names ignore the case of A-Z.
  EXPECT_EQ(Check(Table("<RECORD/>")), Missing("PLU"));
  EXPECT_EQ(Check(Table("<record/>")), Missing("PLU"));
}

TEST(GoodsList, RootElement) {
  EXPECT_EQ(Check("<Goods><Record/></Goods>"),
            kXml + "неверный корневой элемент \"Goods\", ожидается \"Table\"");
  EXPECT_EQ(Check("<Таблица/>"), kXml + "неверный корневой элемент \"Таблица\", ожидается \"Table\"");
  EXPECT_EQ(Check("<Tables/>"), kXml + "неверный корневой элемент \"Tables\", ожидается \"Table\"");
  // The name comes back exactly, whatever its characters' UTF-8 lengths.
  EXPECT_EQ(
      Check("<é表🧀/>"),
      kXml + "неверный корневой элемент \"é表🧀\", ожидается \"Table\"");
  EXPECT_EQ(Check("<tAbLe>" + std::string(kValid) + "</tAbLe>"), "");
}

TEST(GoodsList, ParseErrorsCarryTheParsersText) {
  EXPECT_EQ(Check(""), kXml + "No document element found");
  EXPECT_EQ(Check("   "), kXml + "No document element found");
  EXPECT_EQ(Check("<Table><Record>"), kXml + "Start-end tags mismatch");
  EXPECT_EQ(Check("<Table></table>"), kXml + "Start-end tags mismatch");
  EXPECT_EQ(Check("<Table><Record PLU=1/></Table>"), kXml + "Error parsing element attribute");
  // A second top-level element would go unchecked: refused.
  EXPECT_EQ(Check(Table(kValid) + "<Table><Record/></Table>"), kXml + "More than one document element");
}

TEST(GoodsList, SecondCallBehavesTheSame) {
  const std::string list = Table(std::string(kValid) + kValid);
  EXPECT_EQ(Check(list, u"first"), "");
  EXPECT_EQ(Check(list, u"first"), "");
  const std::string bad = One(R"(PLU="1")");
  EXPECT_EQ(Check(bad), Missing("Code"));
  EXPECT_EQ(Check(bad), Missing("Code"));
}

// Hostile documents: each gives a clear answer quickly.
class HostileGoods : public ::testing::Test {
protected:
  void SetUp() override { start_ = std::chrono::steady_clock::now(); }
  void TearDown() override {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    EXPECT_LT(elapsed, std::chrono::seconds(30)); // a guard against a hang, not a benchmark
  }

private:
  std::chrono::steady_clock::time_point start_;
};

TEST_F(HostileGoods, EntityBombIsNotExpanded) {
  std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE Table [<!ENTITY lol \"lol\">";
  for (int i = 1; i <= 9; ++i)
    bomb += "<!ENTITY lol" + std::to_string(i) + " \"" + [&] {
      std::string ten;
      for (int k = 0; k < 10; ++k)
        ten += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
      return ten;
    }() + "\">";
  bomb += "]>";
  // The reference stays literal text: a name may hold it, a PLU may not.
  EXPECT_EQ(Check(bomb + One(R"(PLU="1" Code="2" IsWeightGoods="true" Name="&lol9;" Price="1")")), "");
  EXPECT_EQ(Check(bomb + One(R"(PLU="&lol9;")")), BadValue("PLU"));
  // An external entity is never fetched.
  EXPECT_EQ(Check("<!DOCTYPE Table [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + One("PLU=\"&x;\"")),
            BadValue("PLU"));
}

TEST_F(HostileGoods, DeepNesting) {
  const size_t depth = 1000000;
  std::string deep = "<Table>";
  deep.reserve(depth * 7 + 100);
  for (size_t i = 0; i < depth; ++i)
    deep += "<a>";
  for (size_t i = 0; i < depth; ++i)
    deep += "</a>";
  EXPECT_EQ(Check(deep + "</Table>"), kNoRecord);
  EXPECT_EQ(Check(deep), kXml + "Start-end tags mismatch");
  std::string unclosed(depth * 3, ' ');
  for (size_t i = 0; i < depth; ++i)
    unclosed.replace(i * 3, 3, "<a>");
  EXPECT_EQ(Check(unclosed), kXml + "Start-end tags mismatch");
}

TEST_F(HostileGoods, HundredMegabytes) {
  // About 100 MB of records; the last one is faulty.
  const std::string record = kValid;
  std::string big = "<Table>";
  const size_t count = 100'000'000 / record.size();
  big.reserve(count * record.size() + 100);
  for (size_t i = 0; i < count; ++i)
    big += record;
  big += R"(<Record PLU="1" Code="2" IsWeightGoods="true" Name="x" Price="1,2,3"/></Table>)";
  EXPECT_EQ(Check(big), BadValue("Price"));
  // One attribute value of 100 MB.
  std::string name(100'000'000, 'x');
  EXPECT_EQ(Check(One(R"(PLU="1" Code="2" IsWeightGoods="true" Price="1" Name=")" + name + "\"")), "");
}

TEST_F(HostileGoods, BrokenText) {
  // Lone surrogates and a zero inside the text: read as U+FFFD and as text up to the zero.
  std::u16string text = Utf8ToUtf16(Table(kValid));
  text.insert(text.find(u"Сыр"), 1, u'\xD800');
  EXPECT_EQ(CheckGoodsUpload(text, u"first"), u"");
  // A name of one lone surrogate is not empty.
  const std::u16string lone =
      u"<Table><Record PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Price=\"1\" Name=\"" +
      std::u16string(1, u'\xDC00') + u"\"/></Table>";
  EXPECT_EQ(CheckGoodsUpload(lone, u"first"), u"");
  EXPECT_EQ(Check(std::string("<Table>\0<Record/></Table>", 25)), kXml + "Start-end tags mismatch");
  // Bytes that are no UTF-8 become U+FFFD; the parser skips such text before the root.
  EXPECT_EQ(Check("\xFF\xFE<Table/>"), kNoRecord);
  EXPECT_EQ(Check(One("PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Name=\"\xC0\xFF\" Price=\"1\"")), "");
}

} // namespace
