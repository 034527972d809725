#include "HostEvents.h"

#include "Abi.h"

#include <string>

namespace hostevents {

namespace {

const v8abi::ConnectionTable* TableOf(const v8abi::Connection* connection) {
  return connection == nullptr ? nullptr : connection->table;
}

// The host's text type from UTF-16 held in a string of this call.
WCHAR_T* HostUnits(std::u16string& text) {
  return reinterpret_cast<WCHAR_T*>(text.data());
}

} // namespace

bool CanSend(const v8abi::Connection* connection) {
  const v8abi::ConnectionTable* table = TableOf(connection);
  return table != nullptr && table->ExternalEvent != nullptr;
}

bool SetDepth(v8abi::Connection* connection, long depth) {
  const v8abi::ConnectionTable* table = TableOf(connection);
  if (table == nullptr || table->SetEventBufferDepth == nullptr)
    return false;
  return table->SetEventBufferDepth(connection, depth);
}

long Depth(v8abi::Connection* connection) {
  const v8abi::ConnectionTable* table = TableOf(connection);
  if (table == nullptr || table->GetEventBufferDepth == nullptr)
    return 0;
  return table->GetEventBufferDepth(connection);
}

bool Send(v8abi::Connection* connection, std::u16string_view source, std::u16string_view event,
          std::u16string_view data) {
  if (!CanSend(connection))
    return false;
  // The slot takes writable texts: copies, so that a host that writes into
  // them changes nothing of ours.
  std::u16string s(source), e(event), d(data);
  return connection->table->ExternalEvent(connection, HostUnits(s), HostUnits(e), HostUnits(d));
}

void Clean(v8abi::Connection* connection) {
  const v8abi::ConnectionTable* table = TableOf(connection);
  if (table != nullptr && table->CleanEventBuffer != nullptr)
    table->CleanEventBuffer(connection);
}

} // namespace hostevents
