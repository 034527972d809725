// The table of registered classes and what the three exports do with it.
#include "BridgeTables.h"

#include <array>
#include <list>

namespace {

struct ClassSlot {
  UserObjectFactory factory = nullptr;
  std::u16string name;
};

// Written only while the library starts, read afterwards; names live until unload.
std::array<ClassSlot, kClassSlots>& Slots() {
  static std::array<ClassSlot, kClassSlots> slots;
  return slots;
}

} // namespace

void RegisterUserClass(UserObjectFactory factory, std::u16string_view name) {
  if (factory == nullptr)
    return;
  for (ClassSlot& slot : Slots()) {
    if (slot.factory == nullptr) {
      slot.factory = factory;
      slot.name = name;
      return;
    }
  }
  // all slots taken: ignored
}

const WCHAR_T* RegisteredClassNames() {
  // Every list handed out stays readable until unload; a new one is kept only
  // when the registrations changed since the last call.
  static std::list<std::u16string> lists;
  try {
    std::u16string joined;
    for (const ClassSlot& slot : Slots()) {
      if (slot.factory == nullptr)
        break;
      if (!joined.empty())
        joined.push_back(u'|');
      joined += slot.name;
    }
    if (lists.empty() || lists.back() != joined)
      lists.push_back(std::move(joined));
    return AsHost(lists.back().c_str());
  } catch (...) {
    return AsHost(u"");
  }
}

long CreateHostComponent(const WCHAR_T* wsName, void** pIntf) {
  if (wsName == nullptr || pIntf == nullptr)
    return 0;
  try {
    const std::u16string_view name = HostText(wsName);
    for (const ClassSlot& slot : Slots()) {
      if (slot.factory == nullptr || slot.name != name)
        continue;
      auto block = std::make_unique<v8abi::HostComponentBlock>();
      block->initDone = &bridge::kInitDoneTable;
      block->languageExtender = &bridge::kLanguageExtenderTable;
      block->locale = &bridge::kLocaleTable;
      block->userLanguage = &bridge::kUserLanguageTable;
      std::unique_ptr<TV8UserObject> object = slot.factory();
      object->AfterConstruction();
      object->Name = slot.name;
      for (void*& word : block->object)
        word = object.get();
      object.release();
      *pIntf = block.release();
      return 1;
    }
  } catch (...) {
    // An object that cannot be made is not handed out.
  }
  return 0;
}

void bridge::EndHostComponent(v8abi::HostComponentBlock* block) {
  if (block == nullptr)
    return;
  try {
    delete static_cast<TV8UserObject*>(block->object[0]);
  } catch (...) {
    // the block is freed all the same
  }
  delete block;
}

long DestroyHostComponent(void** pIntf) {
  if (pIntf == nullptr || *pIntf == nullptr)
    return 0;
  bridge::EndHostComponent(static_cast<v8abi::HostComponentBlock*>(*pIntf));
  return 0;
}
