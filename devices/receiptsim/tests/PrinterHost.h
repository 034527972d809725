// RECEIPTSIM_3001 loaded by the test host: the fixture of the add-in tests
// (AddInTest.cpp and the window tests of each platform).
#pragma once

#include "AddInFixture.h"
#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace testhost;

inline constexpr char16_t kClass[] = u"Orvik_ReceiptSim_3001";
// A receipt of a text line and a barcode, as the window tests print it.
inline constexpr char16_t kReceipt[] =
    u"<Document><Positions><TextString Text=\"ИТОГО 150,00\"/>"
    u"<Barcode Type=\"EAN13\" Value=\"4601234567893\"/></Positions></Document>";

inline std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

class ReceiptSimAddin : public testenv::AddInFixture {
protected:
  ReceiptSimAddin() : AddInFixture(RECEIPTSIM_FILE, kClass) {}

  // One call; gives the boolean result (-1 for another type) and leaves the
  // parameters' texts after the call in outputs.
  int Call(std::u16string_view method, std::vector<tVariant> params,
           std::vector<std::u16string>* outputs = nullptr, int32_t* integer = nullptr) {
    ValueList list(memory);
    for (const tVariant& value : params)
      list.Add(value);
    tVariant result = AddInFixture::Call(method, list);
    for (long k = 0; outputs != nullptr && k < list.Count(); ++k)
      outputs->push_back(TextOf(list[static_cast<size_t>(k)], &memory));
    if (integer != nullptr && list.Count() > 1 && TypeOf(list[1]) == VTYPE_I4)
      *integer = list[1].lVal;
    const int outcome = TypeOf(result) == VTYPE_BOOL ? result.bVal : -1;
    ReleaseValue(memory, result);
    return outcome;
  }

  tVariant Text(std::u16string_view text) { return StringValue(memory, text); }

  int Print(std::u16string_view id, std::u16string_view xml) {
    return Call(u"PrintTextDocument", {Text(id), Text(xml)});
  }

  std::u16string LastError() {
    std::vector<std::u16string> out;
    Call(u"GetLastError", {EmptyValue()}, &out);
    return out.at(0);
  }
};
