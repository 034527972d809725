// The real WEIGHSIM_3001 library through its exports: what the host sees of
// the electronic scale, and its weighings answered from outside the
// application, as automated tests run it.
#include "TestEnv.h"
#include "WeighAddIn.h"

#include <sstream>

namespace weightest {
namespace {

TEST_F(WeighAddIn, OffersOneClassThatDescribesTheScale) {
  EXPECT_EQ(addIn->ClassList(), std::vector<std::u16string>{u"Orvik_WeighSim_3001"});
  ValueList description(memory, 1);
  EXPECT_TRUE(CallBool(u"ПолучитьОписание", description));
  const std::u16string xml = TextOf(description[0], &memory);
  EXPECT_NE(xml.find(u"Name=\"Эмулятор электронных весов\""), std::u16string::npos);
  EXPECT_NE(xml.find(u"EquipmentType=\"ЭлектронныеВесы\""), std::u16string::npos);
  ValueList revision(memory);
  tVariant result = testhost::EmptyValue();
  EXPECT_TRUE(component->CallAsFunc(component->FindMethod(u"GetInterfaceRevision"), result, revision));
  EXPECT_EQ(result.lVal, 3001);

  const struct {
    const char16_t* english;
    const char16_t* russian;
  } methods[] = {{u"Calibrate", u"УстановитьВесТары"}, {u"GetWeight", u"ПолучитьВес"}};
  for (const auto& method : methods) {
    const long index = component->FindMethod(method.english);
    ASSERT_GE(index, 0) << Narrow(method.english);
    EXPECT_EQ(component->FindMethod(method.russian), index);
    EXPECT_EQ(component->GetNParams(index), 2);
    EXPECT_TRUE(component->HasRetVal(index));
  }

  const std::u16string id = Open();
  ValueList test(memory);
  test.AddString(id);
  test.Add(testhost::EmptyValue());
  EXPECT_TRUE(CallBool(u"DeviceTest", test));
  EXPECT_EQ(TextOf(test[0], &memory), u"Эмулятор электронных весов " + testenv::BuildVersion() +
                                          u": предел 1000 кг, тара 0.000 кг, вес без оператора 1.000 кг");
}

// The control file's weight, less the tare, comes back; the call log names
// where it came from. A faulty weight line fails the weighing by name.
TEST_F(WeighAddIn, ControlFileGivesTheWeight) {
  const std::u16string id = Open();
  ASSERT_TRUE(Tare(id, testhost::StringValue(memory, u"0,125")));
  WriteControlFile("approve\nweight = 2,5\n");
  EXPECT_EQ(Weigh(id), 2.375);
  WriteControlFile("\xEF\xBB\xBF"
                   "approve\r\nWEIGHT=12.3456\r\n");
  EXPECT_EQ(Weigh(id), 12.221);
  WriteControlFile("approve\n");
  EXPECT_EQ(Weigh(id), 0.875); // the default weight

  const std::u16string file = (folder / "operator.txt").u16string();
  WriteControlFile("approve\nweight=-1\n");
  EXPECT_EQ(Weigh(id), std::nullopt);
  EXPECT_EQ(LastError(), u"Вес в файле " + file + u" не может быть отрицательным");
  WriteControlFile("approve\nweight=два\n");
  EXPECT_EQ(Weigh(id), std::nullopt);
  EXPECT_EQ(LastError(), u"Вес в файле " + file + u" должен быть числом килограммов, например 1,250");
  WriteControlFile("refuse\nweight=1\n");
  EXPECT_EQ(Weigh(id), std::nullopt);
  EXPECT_EQ(LastError(), u"Взвешивание отменено: окно \"Весы\" закрыто без веса");
  WriteControlFile("maybe\n");
  EXPECT_EQ(Weigh(id), std::nullopt);
  EXPECT_NE(LastError().find(u"Неизвестный ответ оператора \"maybe\""), std::u16string::npos);

  const std::string log = testenv::ReadFileBytes(folder / "WeighSim_3001_emulator.log");
  EXPECT_NE(testenv::DecodeLog(log).find(u"Вес из файла " + file + u": 12.346"), std::u16string::npos);
}

// A DeviceID of a megabyte is named in the message whole, and costs nothing else.
TEST_F(WeighAddIn, HugeDeviceIdIsHandled) {
  Open();
  const std::u16string huge(1 << 20, u'Ж');
  EXPECT_EQ(Weigh(huge), std::nullopt);
  EXPECT_EQ(LastError().size(), huge.size() + 20);
}

} // namespace
} // namespace weightest
