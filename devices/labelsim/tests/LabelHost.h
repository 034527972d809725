// LABELSIM_3001 loaded by the test host: the fixture of the add-in tests
// (AddInTest.cpp and the window tests of each platform).
#pragma once

#include "AddInFixture.h"
#include "TestEnv.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using namespace testhost;

inline constexpr char16_t kClass[] = u"Orvik_LabelSim_3001";
inline constexpr char16_t kTitle[] = u"Принтер этикеток";

// A 58 x 40 mm label: a name, a price, a code and data that is not drawn.
inline constexpr char16_t kFormatting[] =
    u"<Formatting Width=\"58\" Height=\"40\">"
    u"<Text FieldName=\"Name\" Left=\"2\" Top=\"2\" Width=\"54\" Height=\"8\" FontSize=\"10\" "
    u"Value=\"Товар\"/>"
    u"<Text FieldName=\"Price\" Left=\"2\" Top=\"30\" Width=\"30\" Height=\"8\" FontSize=\"12\" "
    u"Value=\"0,00\"/>"
    u"<Barcode FieldName=\"Code\" Type=\"EAN13\" Left=\"4\" Top=\"11\" Height=\"15\" FontSize=\"8\"/>"
    u"<UserData FieldName=\"Article\" Value=\"A-1\"/>"
    u"</Formatting>";

inline std::u16string Batch(std::u16string_view formatting, std::u16string_view labels) {
  return u"<Data>" + std::u16string(formatting) + u"<Labels>" + std::u16string(labels) + u"</Labels></Data>";
}

inline std::string U8(std::u16string_view text) {
  return Utf16ToUtf8(text);
}

// A label's size in dots at a resolution.
inline int Dots(double mm, int dpi) {
  return static_cast<int>(std::lround(mm * dpi / 25.4));
}

class LabelSimAddin : public testenv::AddInFixture {
protected:
  LabelSimAddin() : AddInFixture(LABELSIM_FILE, kClass) {}

  void SetUp() override {
    std::error_code error;
    std::filesystem::remove_all(Folder(), error);
    std::filesystem::remove(std::filesystem::path(testenv::LogFilePath(u"LabelSim_3001_labels.txt")), error);
    AddInFixture::SetUp();
  }

public:
  static std::filesystem::path Folder() {
    return std::filesystem::path(testenv::LogFilePath(u"LabelSim_3001_labels"));
  }
  static std::string Records() {
    return testenv::ReadFileBytes(std::filesystem::path(testenv::LogFilePath(u"LabelSim_3001_labels.txt")));
  }
  // The folder's files, sorted.
  static std::vector<std::string> Files() {
    std::vector<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(Folder(), error), end; !error && it != end;
         it.increment(error))
      names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

protected:
  // One call; the boolean result (-1 for another type).
  int Call(std::u16string_view method, std::vector<tVariant> params) {
    ValueList list(memory);
    for (const tVariant& value : params)
      list.Add(value);
    tVariant result = AddInFixture::Call(method, list);
    const int outcome = TypeOf(result) == VTYPE_BOOL ? result.bVal : -1;
    ReleaseValue(memory, result);
    return outcome;
  }
  tVariant Text(std::u16string_view text) { return StringValue(memory, text); }

  int Print(std::u16string_view id, std::u16string_view xml, std::u16string_view status) {
    return Call(u"PrintLabels", {Text(id), Text(xml), Text(status)});
  }

  std::u16string LastError() {
    ValueList list(memory);
    list.Add(EmptyValue());
    tVariant result = AddInFixture::Call(u"GetLastError", list);
    ReleaseValue(memory, result);
    return TextOf(list[0], &memory);
  }
};
