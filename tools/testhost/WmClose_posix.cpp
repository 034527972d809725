// wmclose WINDOW: sends the window the message a window manager sends when
// the user closes it (WM_PROTOCOLS, WM_DELETE_WINDOW), on the display named
// by DISPLAY. The window tests run it as a program of its own, so that their
// process works with X on the library's threads alone. Status 1 when there is
// no display.
#include "X11_x11.h"

#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2)
    return 2;
  const Window window = std::strtoul(argv[1], nullptr, 0);
  const x11::TXGuard guard;
  auto connection = x11::TConnection::Open(x11::DisplayName());
  if (!connection)
    return 1;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = connection->Intern("WM_PROTOCOLS");
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(connection->Intern("WM_DELETE_WINDOW"));
  event.xclient.data.l[1] = CurrentTime;
  connection->X.XSendEvent(connection->Dpy, window, False, NoEventMask, &event);
  connection->X.XSync(connection->Dpy, False);
  return 0;
}
