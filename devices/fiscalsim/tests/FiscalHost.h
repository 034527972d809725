// FISCALSIM_3004 loaded by the test host: the fixture of the add-in tests
// (AddInTest.cpp and the window test of each platform).
#pragma once

#include "AddInFixture.h"
#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace testhost;

inline constexpr char16_t kClass[] = u"Orvik_FiscalSim_3004";
inline constexpr char16_t kInput[] =
    u"<InputParameters><Parameters CashierName=\"Иванова\"/></InputParameters>";
inline constexpr char16_t kSale[] =
    u"<CheckPackage><Parameters CashierName=\"Иванова\" OperationType=\"1\" TaxationSystem=\"0\"/>"
    u"<Positions><FiscalString Name=\"Хлеб\" Quantity=\"1\" PriceWithDiscount=\"45\" "
    u"AmountWithDiscount=\"45\" VATRate=\"10\" VATAmount=\"4.09\"/></Positions><Payments Cash=\"50\"/>"
    u"</CheckPackage>";

class FiscalSimAddin : public testenv::AddInFixture {
protected:
  FiscalSimAddin() : AddInFixture(FISCALSIM_FILE, kClass) {}

  // One call on a component; the boolean result, the parameters' texts after it in out.
  int CallOn(Component& target, std::u16string_view method, std::vector<tVariant> values,
             std::vector<std::u16string>* out = nullptr) {
    ValueList list(memory);
    for (const tVariant& value : values)
      list.Add(value);
    tVariant result = EmptyValue();
    EXPECT_TRUE(target.CallAsFunc(target.FindMethod(method), result, list));
    for (long k = 0; out != nullptr && k < list.Count(); ++k)
      out->push_back(TextOf(list[static_cast<size_t>(k)], &memory));
    const int outcome = TypeOf(result) == VTYPE_BOOL ? result.bVal : -1;
    ReleaseValue(memory, result);
    return outcome;
  }
  static std::string Attribute(const std::u16string& xml, std::string_view name) {
    const std::string text = Utf16ToUtf8(xml), key = " " + std::string(name) + "=\"";
    const size_t at = text.find(key);
    return at == std::string::npos
               ? std::string()
               : text.substr(at + key.size(), text.find('"', at + key.size()) - at - key.size());
  }
};
