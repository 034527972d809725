// The class table and the library's exports: the classes a library offers the
// host, registered when the library is loaded.
#pragma once

#include "UserObject.h"

#include <memory>
#include <string_view>

using UserObjectFactory = std::unique_ptr<TV8UserObject> (*)();
inline constexpr int kClassSlots = 10;

// Puts the class into the first empty slot of ten; ignored when all are taken.
void RegisterUserClass(UserObjectFactory factory, std::u16string_view name);

template <class T> void RegisterUserClass(std::u16string_view name) {
  RegisterUserClass([]() -> std::unique_ptr<TV8UserObject> { return std::make_unique<T>(); }, name);
}

// Registers a class when the library is loaded:
//   static const ClassRegistration registration{RegisterUserClass<TFoo>, u"Name"};
struct ClassRegistration {
  template <class F> ClassRegistration(F registerClass, std::u16string_view name) { registerClass(name); }
};

// The name-comparison rule of the platform (case-sensitive; linguistic on Windows).
bool HostNamesEqual(std::u16string_view a, std::u16string_view b);
