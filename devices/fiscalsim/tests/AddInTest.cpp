// FISCALSIM_3004 as the platform sees it: the real library, loaded and driven
// through its exports and interface tables by the test host; two components
// of it over one data folder serve one register.
#include "FiscalHost.h"

namespace {

TEST_F(FiscalSimAddin, OffersTheFiscalRegisterMethods) {
  EXPECT_EQ(addIn->ClassNames(), kClass);
  const long check = component->FindMethod(u"ProcessCheck");
  EXPECT_EQ(component->FindMethod(u"СформироватьЧек"), check);
  EXPECT_EQ(component->GetNParams(check), 4);
  EXPECT_EQ(component->GetNParams(component->FindMethod(u"ОткрытьДенежныйЯщик")), 1);
  // The marking codes' methods follow the fiscal ones.
  const long request = component->FindMethod(u"RequestKM");
  EXPECT_EQ(component->FindMethod(u"ЗапросКМ"), request);
  EXPECT_EQ(component->FindMethod(u"ОткрытьСессиюРегистрацииКМ"), request - 2);
  EXPECT_EQ(component->GetNParams(component->FindMethod(u"ПолучитьРезультатыЗапросаКМ")), 3);
  EXPECT_EQ(component->GetNParams(component->FindMethod(u"ConfirmKM")), 3);
  EXPECT_EQ(component->GetNParams(component->FindMethod(u"CloseSessionRegistrationKM")), 1);
  std::vector<std::u16string> out;
  EXPECT_EQ(CallOn(*component, u"GetDescription", {EmptyValue()}, &out), 1);
  EXPECT_NE(out.at(0).find(u"EquipmentType=\"ККТ\""), std::u16string::npos) << Utf16ToUtf8(out.at(0));
  EXPECT_EQ(CallOn(*component, u"SetParameter", {StringValue(memory, u"Show"), BoolValue(false)}), 1);
}

TEST_F(FiscalSimAddin, TwoComponentsServeOneRegister) {
  std::filesystem::remove(std::filesystem::path(testenv::LogFilePath(u"FiscalSim_3004_journal.jsonl")));
  std::unique_ptr<Component> other = addIn->Create(kClass, memory);
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(other->Init(connection));
  ASSERT_TRUE(other->SetMemManager());
  for (Component* target : {component.get(), other.get()})
    EXPECT_EQ(CallOn(*target, u"SetParameter", {StringValue(memory, u"Show"), BoolValue(false)}), 1);
  std::vector<std::u16string> out;
  ASSERT_EQ(CallOn(*component, u"Open", {EmptyValue()}, &out), 1);
  const std::u16string first = out.at(0);
  out.clear();
  ASSERT_EQ(CallOn(*other, u"Open", {EmptyValue()}, &out), 1);
  const std::u16string second = out.at(0);

  const auto status = [&](Component& target, const std::u16string& id) {
    std::vector<std::u16string> texts;
    EXPECT_EQ(CallOn(target, u"GetCurrentStatus",
                     {StringValue(memory, id), StringValue(memory, kInput), EmptyValue()}, &texts),
              1);
    return texts.at(2);
  };
  EXPECT_EQ(CallOn(*component, u"OpenShift",
                   {StringValue(memory, first), StringValue(memory, kInput), EmptyValue()}),
            1);
  EXPECT_EQ(CallOn(*component, u"ProcessCheck",
                   {StringValue(memory, first), BoolValue(false), StringValue(memory, kSale), EmptyValue()}),
            1);
  const std::u16string seen = status(*other, second);
  EXPECT_EQ(Attribute(seen, "CheckNumber"), "3");
  EXPECT_EQ(Attribute(seen, "ShiftState"), "2");
  EXPECT_EQ(Attribute(seen, "CashBalance"), "45.00");
  EXPECT_EQ(
      CallOn(*other, u"CloseShift", {StringValue(memory, second), StringValue(memory, kInput), EmptyValue()}),
      1);
  EXPECT_EQ(Attribute(status(*component, first), "CheckNumber"), "4");
  EXPECT_EQ(Attribute(status(*component, first), "ShiftState"), "1");
  other.reset();
}

} // namespace
