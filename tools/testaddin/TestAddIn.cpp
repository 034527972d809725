// TESTADDIN: a component for the tests of the bridge as the host sees it. It
// derives directly from TV8UserObject and offers methods and properties that
// exercise every path of the adapters: a raised error, a returned text,
// output parameters, a plain false, and properties of every access string.
#include "v8napi.h"

#include <array>

namespace {

enum Method : long { kFail, kEcho, kFill, kRefuse, kReset };
enum Property : long { kCounter, kLocale, kLanguage, kSink, kFaulty, kHidden };

class TTestObject : public TV8UserObject {
public:
  void AfterConstruction() override {
    AddMethod(u"Fail", u"Сбой", 0, true);
    AddMethod(u"Echo", u"Эхо", 1, true);
    AddMethod(u"Fill", u"Заполнить", 3, true);
    AddMethod(u"Refuse", u"Отказать", 0, true);
    AddMethod(u"Reset", u"Сбросить", 0, false);

    AddProperty(u"Counter", u"Счётчик", u"RW");
    AddProperty(u"Locale", u"Локаль", u"R");
    AddProperty(u"Language", u"ЯзыкИнтерфейса", u"R");
    AddProperty(u"Sink", u"Приёмник", u"W");
    AddProperty(u"Faulty", u"Сбойное", u"RW");
    AddProperty(u"Hidden", u"Скрытое", u"r"); // lower case: neither readable nor writable
  }

  bool CallMethod(const std::u16string&, long methodIndex, tVariant& retValue, tVariant* params,
                  long paramCount) override {
    const HostMemory memory = Memory();
    switch (methodIndex) {
    case kFail:
      throw EV8Error("Тестовая ошибка: компонента отказала");
    case kEcho:
      Need(1, paramCount);
      ++counter_;
      return SetWideStringValue(memory, retValue, GetStringValue(params[0]));
    case kFill:
      Need(3, paramCount);
      ++counter_;
      SetWideStringValue(memory, params[0], u"Выход");
      SetIntValue(memory, params[1], 42);
      SetBoolValue(memory, params[2], true);
      SetBoolValue(memory, retValue, true);
      return true;
    case kRefuse:
      return false;
    case kReset:
      counter_ = 0;
      return true;
    default:
      return false;
    }
  }

  bool AccessProperty(long propIndex, const std::u16string&, tVariant& value, bool isGet) override {
    const HostMemory memory = Memory();
    switch (propIndex) {
    case kCounter:
      if (isGet)
        SetIntValue(memory, value, counter_);
      else
        counter_ = GetIntValue(value);
      return true;
    case kLocale:
      return isGet && SetWideStringValue(memory, value, Locale);
    case kLanguage:
      return isGet && SetWideStringValue(memory, value, UserInterfaceLanguage);
    case kSink:
      if (isGet)
        return false;
      sink_ = GetStringValue(value);
      return true;
    case kFaulty:
      throw EV8Error(isGet ? "Свойство не читается" : "Свойство не записывается");
    case kHidden:
      SetIntValue(memory, value, 7);
      return isGet;
    default:
      return false;
    }
  }

private:
  static void Need(long wanted, long given) {
    if (given < wanted)
      throw EV8Error("Недостаточно параметров");
  }

  int32_t counter_ = 0;
  std::u16string sink_;
};

// Eleven registrations: the class table keeps ten and ignores the eleventh.
const std::array<std::u16string_view, 11> kClassNames = {
    u"Test.First",   u"Test.Second", u"Test.Third", u"Test.Fourth", u"Test.Fifth",   u"Test.Sixth",
    u"Test.Seventh", u"Test.Eighth", u"Test.Ninth", u"Test.Tenth",  u"Test.Eleventh"};

[[maybe_unused]] const bool registered = [] {
  for (std::u16string_view name : kClassNames)
    RegisterUserClass<TTestObject>(name);
  return true;
}();

} // namespace
