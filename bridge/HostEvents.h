// The connection's event slots as the core calls them: the host's queue of
// external events of one object (its depth, a new event, emptying it). Each
// call reads the slot afresh, so a connection without it answers as a host
// that has no room: false, or 0 for the depth.
#pragma once

#include <string_view>

namespace v8abi {
struct ConnectionTable;
template <class Table> struct HostObject;
using Connection = HostObject<ConnectionTable>;
} // namespace v8abi

namespace hostevents {

// True when the connection offers ExternalEvent at all.
bool CanSend(const v8abi::Connection* connection);
bool SetDepth(v8abi::Connection* connection, long depth);
long Depth(v8abi::Connection* connection);
// Hands one event to the host. The texts are copied into memory of this call,
// each with its terminating zero, and live until the host returns. False when
// the host refuses it (its queue is full) or cannot take events.
bool Send(v8abi::Connection* connection, std::u16string_view source, std::u16string_view event,
          std::u16string_view data);
void Clean(v8abi::Connection* connection);

} // namespace hostevents
