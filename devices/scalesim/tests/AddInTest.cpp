// SCALESIM_3001 as the platform sees it: the real library, loaded and driven
// through its exports and interface tables by the test host. Every message of
// UploadGoods and ClearGoods, the result and GetLastError as the host reads
// them, the call log, and the host's memory afterwards.
#include "AddInFixture.h"
#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace {

using namespace testhost;

constexpr char16_t kClass[] = u"Orvik_ScaleSim_3001";
constexpr char16_t kValid[] =
    u"<Table><Record PLU=\"1\" Code=\"2001\" IsWeightGoods=\"true\" Name=\"Сыр\" Price=\"450,00\" "
    u"ShelfLife=\"10\"/></Table>";
const std::u16string kXml = u"Ошибка разбора XML : ";

std::u16string Attr(std::u16string_view what, std::u16string_view name) {
  return kXml + std::u16string(what) + u" \"" + std::u16string(name) + u"\" у элемента \"Record\"";
}

std::u16string Record(std::u16string_view attributes) {
  return u"<Table><Record " + std::u16string(attributes) + u"/></Table>";
}

std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

class ScaleSimAddin : public testenv::AddInFixture {
protected:
  ScaleSimAddin() : AddInFixture(SCALESIM_FILE, kClass) {}

  // One call of a method with text (or other) parameters; gives the result
  // and leaves the parameters' values after the call in outputs.
  tVariant Call(std::u16string_view method, std::vector<tVariant> params,
                std::vector<std::u16string>* outputs = nullptr) {
    ValueList list(memory);
    for (const tVariant& value : params)
      list.Add(value);
    tVariant result = AddInFixture::Call(method, list);
    for (long k = 0; outputs != nullptr && k < list.Count(); ++k)
      outputs->push_back(TextOf(list[static_cast<size_t>(k)], &memory));
    return result;
  }

  tVariant Text(std::u16string_view text) { return StringValue(memory, text); }

  bool CallBool(std::u16string_view method, std::vector<tVariant> params) {
    tVariant result = Call(method, std::move(params));
    EXPECT_EQ(TypeOf(result), VTYPE_BOOL);
    const bool b = result.bVal;
    ReleaseValue(memory, result);
    return b;
  }

  std::u16string LastError() {
    std::vector<std::u16string> out;
    tVariant result = Call(u"GetLastError", {EmptyValue()}, &out);
    EXPECT_EQ(TypeOf(result), VTYPE_I4);
    return out.at(0);
  }

  bool Upload(std::u16string_view id, std::u16string_view goods, std::u16string_view status) {
    return CallBool(u"UploadGoods", {Text(id), Text(goods), Text(status)});
  }

  // Upload fails with message, which GetLastError hands out once.
  void ExpectRefused(std::u16string_view id, std::u16string_view goods, std::u16string_view status,
                     const std::u16string& message) {
    EXPECT_FALSE(Upload(id, goods, status)) << U8(goods);
    EXPECT_EQ(U8(LastError()), U8(message)) << U8(goods);
    EXPECT_EQ(LastError(), u"");
  }

  // The call log file (its path from the Settings document).
  std::u16string LogPath() {
    std::vector<std::u16string> out;
    tVariant result = Call(u"GetParameters", {EmptyValue()}, &out);
    ReleaseValue(memory, result);
    const std::u16string& xml = out.at(0);
    const std::u16string key = u"DefaultValue=\"";
    const size_t start = xml.find(key) + key.size();
    std::u16string path = xml.substr(start, xml.find(u'"', start) - start);
    for (size_t at = path.find(u"&amp;"); at != std::u16string::npos; at = path.find(u"&amp;", at + 1))
      path.replace(at, 5, u"&");
    return path;
  }

  static std::u16string ReadLog(const std::u16string& path, uintmax_t from) {
    return testenv::DecodeLog(testenv::ReadFileBytes(path, from));
  }
};

TEST_F(ScaleSimAddin, OffersTheLabelScaleMethods) {
  EXPECT_EQ(addIn->ClassNames(), kClass);
  const long upload = component->FindMethod(u"UploadGoods");
  const long clear = component->FindMethod(u"ClearGoods");
  ASSERT_GE(upload, 0);
  ASSERT_GE(clear, 0);
  EXPECT_EQ(component->FindMethod(u"ВыгрузитьТовары"), upload);
  EXPECT_EQ(component->FindMethod(u"ОчиститьТовары"), clear);
  EXPECT_EQ(component->GetNParams(upload), 3);
  EXPECT_EQ(component->GetNParams(clear), 1);
  EXPECT_TRUE(component->HasRetVal(upload));
  EXPECT_EQ(component->GetMethodName(upload, 1), u"ВыгрузитьТовары");
  EXPECT_EQ(component->FindMethod(u"uploadgoods"), -1);

  tVariant revision = Call(u"GetInterfaceRevision", {});
  EXPECT_EQ(TypeOf(revision), VTYPE_I4);
  EXPECT_EQ(revision.lVal, 3001);

  std::vector<std::u16string> out;
  tVariant result = Call(u"ТестУстройства", {EmptyValue(), EmptyValue()}, &out);
  ReleaseValue(memory, result);
  EXPECT_EQ(out.at(0),
            u"Эмулятор электронных весов с печатью этикеток в режиме \"OFFLINE\" " + testenv::BuildVersion());
  out.clear();
  result = Call(u"GetDescription", {EmptyValue()}, &out);
  ReleaseValue(memory, result);
  EXPECT_NE(out.at(0).find(u"ВесыСПечатьюЭтикеток"), std::u16string::npos) << U8(out.at(0));
}

TEST_F(ScaleSimAddin, ClearGoodsKnowsOnlyOpenDevices) {
  const std::u16string id = Open();
  EXPECT_EQ(id, u"ScaleSim_3001#1");
  EXPECT_TRUE(CallBool(u"ClearGoods", {Text(id)}));
  EXPECT_EQ(LastError(), u"");
  EXPECT_TRUE(CallBool(u"ОчиститьТовары", {Text(u"SCALESIM_3001#1")}));

  EXPECT_FALSE(CallBool(u"ClearGoods", {Text(u"ScaleSim_3001#7")}));
  EXPECT_EQ(U8(LastError()), "DeviceID ScaleSim_3001#7не найдено!");
  EXPECT_FALSE(CallBool(u"ClearGoods", {IntValue(1)}));
  EXPECT_EQ(U8(LastError()), "DeviceID не найдено!");
  EXPECT_FALSE(CallBool(u"ClearGoods", {}));
  EXPECT_EQ(U8(LastError()), "DeviceID не найдено!");

  EXPECT_TRUE(CallBool(u"Close", {Text(id)}));
  EXPECT_FALSE(CallBool(u"ClearGoods", {Text(id)}));
  EXPECT_EQ(U8(LastError()), "DeviceID ScaleSim_3001#1не найдено!");
}

TEST_F(ScaleSimAddin, UploadAcceptsValidListsAndStoresNothing) {
  const std::u16string id = Open();
  const std::u16string list =
      u"<Table>\r\n  <Record PLU=\"1\" Code=\"007\" IsWeightGoods=\"TRUE\" Name=\"Сыр "
      u"«Российский»\" Price=\"450,00\" ShelfLife=\"10\"/>\r\n  <record plu=\"2\" "
      u"code=\"8\" isweightgoods=\"false\" name=\"Хлеб\" price=\"45.5\"/>\r\n</Table>";
  for (const char16_t* status : {u"first", u"Regular", u"LAST", u"first"}) {
    EXPECT_TRUE(Upload(id, list, status)) << U8(status);
    EXPECT_EQ(LastError(), u"");
  }
  EXPECT_TRUE(Upload(u"scalesim_3001#1", kValid, u"first"));
  EXPECT_TRUE(CallBool(u"ВыгрузитьТовары", {Text(id), Text(kValid), Text(u"last")}));
  EXPECT_TRUE(CallBool(u"ClearGoods", {Text(id)}));
}

TEST_F(ScaleSimAddin, UploadReportsEveryFaultInWords) {
  const std::u16string id = Open();
  const std::u16string ok = u"PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Name=\"x\" Price=\"1\"";
  struct Case {
    std::u16string goods;
    std::u16string status;
    std::u16string message;
  };
  const std::vector<Case> cases = {
      {kValid, u"Middle", u"Неверный статус пакета: \"middle\"!"},
      {kValid, u"", u"Неверный статус пакета: \"\"!"},
      {u"", u"first", kXml + u"текст закончился раньше документа (строка 1, позиция 1)"},
      {u"<Table><Record>", u"first", kXml + u"текст закончился раньше документа (строка 1, позиция 16)"},
      {u"<Goods/>", u"first", kXml + u"неверный корневой элемент \"Goods\", ожидается \"Table\""},
      {u"<Table><Item/><!-- c --></Table>", u"last", kXml + u"не найден элемент \"Record\""},
      {Record(u"PLU=\"12a\" Code=\"2\" IsWeightGoods=\"true\" Name=\"x\" Price=\"1\""), u"first",
       Attr(u"неверное значение атрибута", u"PLU")},
      {Record(u"PLU=\"1\" Code=\"\" IsWeightGoods=\"true\" Name=\"x\" Price=\"1\""), u"first",
       Attr(u"неверное значение атрибута", u"Code")},
      {Record(u"PLU=\"1\" Code=\"2\" IsWeightGoods=\"yes\" Name=\"x\" Price=\"1\""), u"first",
       Attr(u"неверное значение атрибута", u"IsWeightGoods")},
      {Record(u"PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Name=\"\" Price=\"1\""), u"first",
       Attr(u"пустое значение атрибута", u"Name")},
      {Record(u"PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Name=\"x\" Price=\"abc\""), u"first",
       Attr(u"неверное значение атрибута", u"Price")},
      {Record(ok + u" ShelfLife=\"\""), u"first", Attr(u"неверное значение атрибута", u"ShelfLife")},
      {Record(u"Code=\"2\" IsWeightGoods=\"true\" Name=\"x\" Price=\"1\""), u"first",
       Attr(u"не найден атрибут", u"PLU")},
      {Record(u"PLU=\"1\" IsWeightGoods=\"true\" Name=\"x\""), u"first", Attr(u"не найден атрибут", u"Code")},
      {Record(u"PLU=\"1\" Code=\"2\" Name=\"x\" Price=\"1\""), u"first",
       Attr(u"не найден атрибут", u"IsWeightGoods")},
      {Record(u"PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Price=\"1\""), u"first",
       Attr(u"не найден атрибут", u"Name")},
      {Record(u"PLU=\"1\" Code=\"2\" IsWeightGoods=\"true\" Name=\"x\""), u"first",
       Attr(u"не найден атрибут", u"Price")},
      // The first faulty record ends the check.
      {u"<Table><Record " + ok + u"/><Record PLU=\"2\"/><Record PLU=\"x\"/></Table>", u"regular",
       Attr(u"не найден атрибут", u"Code")},
  };
  for (const Case& c : cases) {
    ExpectRefused(id, c.goods, c.status, c.message);
    ExpectRefused(id, c.goods, c.status, c.message); // a second call answers the same
  }
}

TEST_F(ScaleSimAddin, UploadChecksTheDeviceFirst) {
  ExpectRefused(u"ScaleSim_3001#1", u"junk", u"middle", u"DeviceID ScaleSim_3001#1не найдено!");
  const std::u16string id = Open();
  ExpectRefused(u"ScaleSim_3001#2", kValid, u"first", u"DeviceID ScaleSim_3001#2не найдено!");
  ExpectRefused(id, u"junk", u"middle", u"Неверный статус пакета: \"middle\"!");
}

TEST_F(ScaleSimAddin, ParametersOfOtherTypesReadAsEmptyText) {
  const std::u16string id = Open();
  EXPECT_FALSE(CallBool(u"UploadGoods", {Text(id), Text(kValid), IntValue(1)}));
  EXPECT_EQ(U8(LastError()), "Неверный статус пакета: \"\"!");
  EXPECT_FALSE(CallBool(u"UploadGoods", {Text(id), DoubleValue(1.5), Text(u"first")}));
  EXPECT_EQ(U8(LastError()), U8(kXml + u"текст закончился раньше документа (строка 1, позиция 1)"));
  EXPECT_FALSE(CallBool(u"UploadGoods", {Text(id), Text(kValid)})); // the host passed too few
  EXPECT_EQ(U8(LastError()), "Неверный статус пакета: \"\"!");
  EXPECT_FALSE(CallBool(u"UploadGoods", {IntValue(1), Text(kValid), Text(u"first")}));
  EXPECT_EQ(U8(LastError()), "DeviceID не найдено!");
}

TEST_F(ScaleSimAddin, HostileDocumentsGetClearAnswers) {
  const std::u16string id = Open();
  std::u16string bomb = u"<!DOCTYPE Table [<!ENTITY a \"aaaaaaaaaa\">";
  for (char c = 'b'; c <= 'k'; ++c) {
    bomb += u"<!ENTITY ";
    bomb += static_cast<char16_t>(c);
    bomb += u" \"";
    for (int i = 0; i < 10; ++i)
      bomb += u"&" + std::u16string(1, static_cast<char16_t>(c - 1)) + u";";
    bomb += u"\">";
  }
  bomb += u"]><Table><Record PLU=\"&k;\"/></Table>";
  ExpectRefused(id, bomb, u"first",
                kXml + u"раскрытие сущностей превысило допустимый объём (строка 1, позиция 491)");

  std::u16string deep = u"<Table>";
  for (int i = 0; i < 200000; ++i)
    deep += u"<a>";
  ExpectRefused(id, deep, u"first", kXml + u"текст закончился раньше документа (строка 1, позиция 600008)");
  for (int i = 0; i < 200000; ++i)
    deep += u"</a>";
  ExpectRefused(id, deep + u"</Table>", u"first", kXml + u"не найден элемент \"Record\"");
}

TEST_F(ScaleSimAddin, EveryCallIsLogged) {
  const std::u16string path = LogPath();
  ASSERT_FALSE(path.empty());
  std::error_code error;
  const uintmax_t before = std::filesystem::file_size(std::filesystem::path(path), error);
  ASSERT_FALSE(error);

  const std::u16string id = Open();
  const std::u16string bad = Record(u"PLU=\"1\"");
  EXPECT_FALSE(Upload(id, bad, u"first"));
  EXPECT_TRUE(Upload(id, kValid, u"last"));

  const std::u16string log = ReadLog(path, before);
  // Text values are logged in double quotes.
  const std::u16string failed = u"Метод: UploadGoods\r\nВходные параметры:\r\nПараметр1=\"" + id +
                                u"\"\r\nПараметр2=\"" + bad + u"\"\r\nПараметр3=\"first\"\r\nОшибка: " +
                                Attr(u"не найден атрибут", u"Code") +
                                u"\r\nВыходные параметры:\r\nПараметр1 без изменений\r\nПараметр2 без "
                                u"изменений\r\nПараметр3 без изменений\r\nРезультат=";
  EXPECT_NE(log.find(failed), std::u16string::npos) << U8(log);
  const size_t passed =
      log.find(u"Параметр2=\"" + std::u16string(kValid) + u"\"\r\nПараметр3=\"last\"\r\nВыходные");
  EXPECT_NE(passed, std::u16string::npos) << U8(log);
}

// A host that holds the object through C++ interfaces ends it with Done and
// `delete` through its first interface: the object ends as DestroyObject ends
// it (its last log entry written, the host's memory balanced by TearDown).
TEST_F(ScaleSimAddin, DeleteThroughTheInterfaceEndsTheObject) {
  const std::u16string path = LogPath();
  std::error_code error;
  const uintmax_t before = std::filesystem::file_size(std::filesystem::path(path), error);
  ASSERT_FALSE(error);
  EXPECT_TRUE(Upload(Open(), kValid, u"first"));
  component->Done();
  component->DeleteThrough(0);
  ASSERT_TRUE(component->Destroyed());
  EXPECT_TRUE(ReadLog(path, before).ends_with(u"\tУничтожен объект\r\n"));
  // The same through the other three interfaces.
  for (int word = 1; word < 4; ++word) {
    std::unique_ptr<Component> other = addIn->Create(kClass, memory);
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(other->Init(connection));
    ASSERT_TRUE(other->SetMemManager());
    other->Done();
    const uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
    other->DeleteThrough(word);
    const std::u16string log = ReadLog(path, size);
    EXPECT_TRUE(log.ends_with(u"\tУничтожен объект\r\n")) << word << ": " << U8(log);
  }
}

} // namespace
