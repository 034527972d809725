// Windows on X11: the X libraries loaded at run time, connections of
// our own, top-level windows, fonts with Cyrillic and off-screen drawing.
#include "X11_x11.h"
#include "TextCodec.h"

#include <dlfcn.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace x11 {

namespace {

template <class Function> bool Bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

TApi Load() {
  TApi api;
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (x11 == nullptr)
    return api;
  bool complete = true;
#define ORVIK_X11_FUNCTION(name) complete = Bind(x11, "X" #name, api.X##name) && complete;
#include "X11Functions.inc"
#undef ORVIK_X11_FUNCTION
  Bind(x11, "XESetWireToError", api.ESetWireToError);
  if (!complete) {
    dlclose(x11);
    return TApi{};
  }
  if (void* xft = dlopen("libXft.so.2", RTLD_NOW | RTLD_LOCAL)) {
    bool all = true;
#define ORVIK_XFT_FUNCTION(name) all = Bind(xft, "Xft" #name, api.Xft##name) && all;
#include "XftFunctions.inc"
#undef ORVIK_XFT_FUNCTION
    api.HasXft = Bind(xft, "XRenderQueryExtension", api.XRenderQueryExtension) && all;
  }
  return api;
}

// Errors on our own connections go nowhere: they come of windows that someone
// else destroyed or of a window manager's refusal, and are no reason to stop
// the host.
Bool DropError(Display*, XErrorEvent*, void*) {
  return False;
}

// A colour component of 8 bits placed in a true-colour mask.
unsigned long Component(unsigned value, unsigned long mask) {
  if (mask == 0)
    return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const unsigned long scaled =
      bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8) : value >> (8 - bits);
  return (scaled << shift) & mask;
}

// Statically initialised and never destroyed: a thread may still take it
// while the library's other statics go.
pthread_mutex_t XMutex = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
thread_local int GuardDepth = 0;

} // namespace

TXGuard::TXGuard() {
  pthread_mutex_lock(&XMutex);
  ++GuardDepth;
}

TXGuard::~TXGuard() {
  --GuardDepth;
  pthread_mutex_unlock(&XMutex);
}

bool TXGuard::Held() {
  return GuardDepth > 0;
}

TXRelease::TXRelease() : Depth_(GuardDepth) {
  for (int i = 0; i < Depth_; ++i)
    pthread_mutex_unlock(&XMutex);
  GuardDepth = 0;
}

TXRelease::~TXRelease() {
  for (int i = 0; i < Depth_; ++i)
    pthread_mutex_lock(&XMutex);
  GuardDepth = Depth_;
}

const TApi* Api() {
  static const TApi api = Load();
  return api.XOpenDisplay != nullptr ? &api : nullptr;
}

std::string DisplayName() {
  const char* name = std::getenv("DISPLAY");
  return name != nullptr ? name : "";
}

// ---------------------------------------------------------------------------
// Connection

std::unique_ptr<TConnection> TConnection::Open(const std::string& displayName) {
  if (displayName.empty())
    return nullptr;
  const TApi* api = Api();
  if (api == nullptr)
    return nullptr;
  // A server busy with other clients coming and going now and then resets a
  // connection as it opens: a few tries before there is no display.
  Display* display = nullptr;
  for (int attempt = 0; display == nullptr && attempt < 4; ++attempt) {
    if (attempt > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(25 * attempt));
    display = api->XOpenDisplay(displayName.c_str());
  }
  if (display == nullptr)
    return nullptr;
  if (api->ESetWireToError != nullptr)
    for (int code = 1; code < 256; ++code)
      api->ESetWireToError(display, code, DropError);
  if (api->HasXft) {
    // RENDER is set up on the connection before Xft is: Xft's hook at the
    // connection's close then runs before RENDER's, and frees its cached
    // fonts while RENDER still knows the connection. The other way round
    // RENDER would record the closing connection anew and hand that stale
    // record to the next connection opened at the same address.
    int eventBase = 0;
    int errorBase = 0;
    api->XRenderQueryExtension(display, &eventBase, &errorBase);
  }
  return std::unique_ptr<TConnection>(new TConnection(*api, display));
}

TConnection::TConnection(const TApi& api, Display* display)
    : X(api), Dpy(display), Screen(api.XDefaultScreen(display)), Root(api.XRootWindow(display, Screen)) {}

TConnection::~TConnection() {
  X.XCloseDisplay(Dpy);
}

Atom TConnection::Intern(const char* name) {
  return X.XInternAtom(Dpy, name, False);
}

unsigned long TConnection::Pixel(TColour colour) {
  const unsigned red = (colour >> 16) & 0xFF;
  const unsigned green = (colour >> 8) & 0xFF;
  const unsigned blue = colour & 0xFF;
  const Visual* visual = X.XDefaultVisual(Dpy, Screen);
  if (visual != nullptr && visual->c_class == TrueColor)
    return Component(red, visual->red_mask) | Component(green, visual->green_mask) |
           Component(blue, visual->blue_mask);
  XColor exact{};
  exact.red = static_cast<unsigned short>(red * 257);
  exact.green = static_cast<unsigned short>(green * 257);
  exact.blue = static_cast<unsigned short>(blue * 257);
  exact.flags = DoRed | DoGreen | DoBlue;
  if (X.XAllocColor(Dpy, X.XDefaultColormap(Dpy, Screen), &exact) != 0)
    return exact.pixel;
  return colour != 0 ? 1 : 0;
}

int TConnection::ScreenWidth() const {
  return X.XDisplayWidth(Dpy, Screen);
}

int TConnection::ScreenHeight() const {
  return X.XDisplayHeight(Dpy, Screen);
}

bool TConnection::Wait(int wakeFd, int timeoutMs) {
  if (X.XPending(Dpy) > 0)
    return true;
  pollfd fds[2] = {{X.XConnectionNumber(Dpy), POLLIN, 0}, {wakeFd, POLLIN, 0}};
  pthread_mutex_unlock(&XMutex);
  const int count = poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
  pthread_mutex_lock(&XMutex);
  return count > 0 && fds[0].revents != 0 && X.XPending(Dpy) > 0;
}

TDialogUnits DialogUnitsOf(TFont& font) {
  const int width = font.Width(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {std::max((width / 26 + 1) / 2, 4), std::max(font.Height(), 8)};
}

void PaintButton(TCanvas& canvas, TFont& font, std::u16string_view text, bool focused, bool pressed,
                 bool disabled) {
  const int width = canvas.Width();
  const int height = canvas.Height();
  canvas.Fill(0, 0, width, height, pressed ? dialog::kButtonPressed : dialog::kButtonFace);
  canvas.Frame(0, 0, width, height,
               disabled  ? dialog::kDisabledFace
               : focused ? dialog::kFocusBorder
                         : dialog::kButtonBorder);
  if (focused && !disabled)
    canvas.Frame(1, 1, width - 2, height - 2, dialog::kFocusBorder);
  const int baseline = (height - font.Height()) / 2 + font.Ascent();
  const TColour ink = disabled ? dialog::kDisabledInk : dialog::kInk;
  const int room = width - 8;
  if (font.Width(text) <= room) {
    canvas.Text(font, (width - font.Width(text)) / 2, baseline, text, ink);
    return;
  }
  // Too wide (a long code on a button of the recent ones): its start, as
  // much as fits with an ellipsis, from the left.
  size_t fits = 0;
  for (size_t low = 0, high = text.size(); low <= high;) {
    const size_t middle = low + (high - low) / 2;
    if (font.Width(std::u16string(text.substr(0, middle)) + u"\u2026") <= room) {
      fits = middle;
      low = middle + 1;
    } else if (middle == 0) {
      break;
    } else {
      high = middle - 1;
    }
  }
  if (fits > 0 && fits < text.size() && text[fits] >= 0xDC00 && text[fits] <= 0xDFFF)
    --fits; // never half a surrogate pair
  canvas.Text(font, 4, baseline, std::u16string(text.substr(0, fits)) + u"\u2026", ink);
}

TModalTurn ServeModal(TConnection& connection, const TTopWindow& window, int timeoutMs,
                      const std::function<bool(XEvent&)>& handle) {
  connection.Wait(-1, timeoutMs);
  while (connection.X.XPending(connection.Dpy) > 0) {
    XEvent event;
    connection.X.XNextEvent(connection.Dpy, &event);
    if (window.IsCloseRequest(event) || window.IsDestroyed(event))
      return TModalTurn::Closed;
    if (handle(event))
      return TModalTurn::Answered;
  }
  return TModalTurn::Going;
}

KeySym KeyOf(TConnection& connection, XKeyEvent& event) {
  char text[32];
  KeySym key = NoSymbol;
  connection.X.XLookupString(&event, text, sizeof text, &key, nullptr);
  return key;
}

// ---------------------------------------------------------------------------
// Windows

void SetWindowText(TConnection& connection, Window window, std::u16string_view text) {
  const std::string utf8 = Utf16ToUtf8(text);
  const Atom type = connection.Intern("UTF8_STRING");
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  const int length = static_cast<int>(std::min<size_t>(utf8.size(), 4096));
  connection.X.XChangeProperty(connection.Dpy, window, XA_WM_NAME, type, 8, PropModeReplace, bytes, length);
  connection.X.XChangeProperty(connection.Dpy, window, connection.Intern("_NET_WM_NAME"), type, 8,
                               PropModeReplace, bytes, length);
}

void TDialogControls::Add(int x, int y, int width, int height, std::u16string_view text, bool clickable) {
  TControl& control = Controls_.emplace_back();
  control.Width = Units_.X(width);
  control.Height = Units_.Y(height);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = Connection_.Pixel(dialog::kFace);
  attributes.event_mask = ExposureMask | (clickable ? ButtonPressMask | ButtonReleaseMask : 0);
  control.Id = Connection_.X.XCreateWindow(
      Connection_.Dpy, Dialog_, Units_.X(x), Units_.Y(y), static_cast<unsigned>(std::max(control.Width, 1)),
      static_cast<unsigned>(std::max(control.Height, 1)), 0, CopyFromParent, InputOutput, nullptr,
      CWBackPixel | CWEventMask, &attributes);
  if (control.Id != 0)
    SetWindowText(Connection_, control.Id, text);
}

int TDialogControls::IndexOf(Window window) const {
  for (size_t i = 0; i < Controls_.size(); ++i)
    if (Controls_[i].Id == window)
      return static_cast<int>(i);
  return -1;
}

bool TDialogControls::ReleasedInside(const XButtonEvent& release, int index) const {
  const TControl& control = (*this)[index];
  return release.window == control.Id && release.x >= 0 && release.y >= 0 && release.x < control.Width &&
         release.y < control.Height;
}

namespace {

// The host's active window when it belongs to this process: the owner of a
// dialog, as on Windows.
Window ActiveWindowOfThisProcess(TConnection& connection) {
  const auto read = [&](Window window, const char* name, Atom type) -> long {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    long value = -1;
    if (connection.X.XGetWindowProperty(connection.Dpy, window, connection.Intern(name), 0, 1, False, type,
                                        &actualType, &format, &count, &after, &data) == Success &&
        data != nullptr && format == 32 && count == 1)
      value = *reinterpret_cast<long*>(data);
    if (data != nullptr)
      connection.X.XFree(data);
    return value;
  };
  const long active = read(connection.Root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
  if (active <= 0)
    return 0;
  const long pid = read(static_cast<Window>(active), "_NET_WM_PID", XA_CARDINAL);
  return pid == static_cast<long>(getpid()) ? static_cast<Window>(active) : 0;
}

void SetAtoms(TConnection& connection, Window window, const char* property, const std::vector<Atom>& atoms) {
  if (atoms.empty())
    return;
  connection.X.XChangeProperty(connection.Dpy, window, connection.Intern(property), XA_ATOM, 32,
                               PropModeReplace, reinterpret_cast<const unsigned char*>(atoms.data()),
                               static_cast<int>(atoms.size()));
}

void SetCardinal(TConnection& connection, Window window, const char* property, long value) {
  connection.X.XChangeProperty(connection.Dpy, window, connection.Intern(property), XA_CARDINAL, 32,
                               PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
}

} // namespace

TTopWindow::TTopWindow(TConnection& connection, const TTopWindowSpec& spec) : Connection_(connection) {
  const TApi& x = connection.X;
  const int width = std::max(spec.Width, 1);
  const int height = std::max(spec.Height, 1);
  const int left = spec.Centred ? (connection.ScreenWidth() - width) / 2 : spec.X;
  const int top = spec.Centred ? (connection.ScreenHeight() - height) / 2 : spec.Y;

  XSetWindowAttributes attributes{};
  attributes.background_pixel = connection.Pixel(spec.Background);
  attributes.event_mask = spec.EventMask | StructureNotifyMask;
  Id_ = x.XCreateWindow(connection.Dpy, connection.Root, left, top, static_cast<unsigned>(width),
                        static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, nullptr,
                        CWBackPixel | CWEventMask, &attributes);
  if (Id_ == 0)
    return;

  SetWindowText(connection, Id_, spec.Title);
  if (XClassHint* hint = x.XAllocClassHint()) {
    std::string name = spec.ClassName; // Xlib wants it writable
    hint->res_name = name.data();
    hint->res_class = name.data();
    x.XSetClassHint(connection.Dpy, Id_, hint);
    x.XFree(hint);
  }
  DeleteWindow_ = connection.Intern("WM_DELETE_WINDOW");
  x.XSetWMProtocols(connection.Dpy, Id_, &DeleteWindow_, 1);
  SetCardinal(connection, Id_, "_NET_WM_PID", static_cast<long>(getpid()));

  // Where it stands and that its size is fixed.
  if (XSizeHints* size = x.XAllocSizeHints()) {
    size->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize | PWinGravity;
    size->x = left;
    size->y = top;
    size->width = size->min_width = size->max_width = width;
    size->height = size->min_height = size->max_height = height;
    size->win_gravity = spec.Centred ? CenterGravity : NorthWestGravity;
    x.XSetWMNormalHints(connection.Dpy, Id_, size);
    x.XFree(size);
  }
  if (XWMHints* hints = x.XAllocWMHints()) {
    hints->flags = InputHint | StateHint;
    hints->input = spec.TakeFocus ? True : False;
    hints->initial_state = NormalState;
    x.XSetWMHints(connection.Dpy, Id_, hints);
    x.XFree(hints);
  }
  if (!spec.TakeFocus)
    SetCardinal(connection, Id_, "_NET_WM_USER_TIME", 0); // not to be focused when it appears

  std::vector<Atom> state;
  if (spec.KeepAbove)
    state.push_back(connection.Intern("_NET_WM_STATE_ABOVE"));
  if (spec.Dialog) {
    SetAtoms(connection, Id_, "_NET_WM_WINDOW_TYPE", {connection.Intern("_NET_WM_WINDOW_TYPE_DIALOG")});
    if (const Window owner = ActiveWindowOfThisProcess(connection)) {
      x.XSetTransientForHint(connection.Dpy, Id_, owner);
      state.push_back(connection.Intern("_NET_WM_STATE_MODAL"));
    }
  } else {
    SetAtoms(connection, Id_, "_NET_WM_WINDOW_TYPE", {connection.Intern("_NET_WM_WINDOW_TYPE_NORMAL")});
  }
  SetAtoms(connection, Id_, "_NET_WM_STATE", state);
  TakeFocus_ = spec.TakeFocus;
}

bool TTopWindow::Show() {
  if (Id_ == 0)
    return false;
  const TApi& x = Connection_.X;
  x.XMapSubwindows(Connection_.Dpy, Id_);
  x.XMapWindow(Connection_.Dpy, Id_);
  // Once the server has done the mapping the window is on the screen, unless a
  // window manager maps it a little later.
  x.XSync(Connection_.Dpy, False);
  if (TakeFocus_) // refused (and dropped) while a window manager has not yet mapped it
    x.XSetInputFocus(Connection_.Dpy, Id_, RevertToParent, CurrentTime);
  x.XFlush(Connection_.Dpy);
  return true;
}

TTopWindow::~TTopWindow() {
  if (Id_ != 0) {
    Connection_.X.XDestroyWindow(Connection_.Dpy, Id_);
    Connection_.X.XFlush(Connection_.Dpy);
  }
}

bool TTopWindow::IsCloseRequest(const XEvent& event) const {
  return event.type == ClientMessage && event.xclient.window == Id_ && event.xclient.format == 32 &&
         static_cast<Atom>(event.xclient.data.l[0]) == DeleteWindow_;
}

bool TTopWindow::IsDestroyed(const XEvent& event) const {
  return event.type == DestroyNotify && event.xdestroywindow.window == Id_;
}

// ---------------------------------------------------------------------------
// Drawing

TCanvas::TCanvas(TConnection& connection, Window window, int width, int height)
    : Connection_(connection), Window_(window), Width_(std::max(width, 1)), Height_(std::max(height, 1)) {
  const TApi& x = connection.X;
  Pixmap_ =
      x.XCreatePixmap(connection.Dpy, window, static_cast<unsigned>(Width_), static_cast<unsigned>(Height_),
                      static_cast<unsigned>(x.XDefaultDepth(connection.Dpy, connection.Screen)));
  Gc_ = x.XCreateGC(connection.Dpy, Target(), 0, nullptr);
}

TCanvas::~TCanvas() {
  const TApi& x = Connection_.X;
  if (XftDraw_ != nullptr)
    x.XftDrawDestroy(XftDraw_);
  if (Gc_ != nullptr)
    x.XFreeGC(Connection_.Dpy, Gc_);
  if (Pixmap_ != 0)
    x.XFreePixmap(Connection_.Dpy, Pixmap_);
}

XftDraw* TCanvas::Xft() {
  const TApi& x = Connection_.X;
  if (XftDraw_ == nullptr && x.HasXft)
    XftDraw_ =
        x.XftDrawCreate(Connection_.Dpy, Target(), x.XDefaultVisual(Connection_.Dpy, Connection_.Screen),
                        x.XDefaultColormap(Connection_.Dpy, Connection_.Screen));
  return XftDraw_;
}

void TCanvas::Fill(int x, int y, int width, int height, TColour colour) {
  if (Gc_ == nullptr || width <= 0 || height <= 0)
    return;
  Connection_.X.XSetForeground(Connection_.Dpy, Gc_, Connection_.Pixel(colour));
  Connection_.X.XFillRectangle(Connection_.Dpy, Target(), Gc_, x, y, static_cast<unsigned>(width),
                               static_cast<unsigned>(height));
}

void TCanvas::Frame(int x, int y, int width, int height, TColour colour) {
  if (Gc_ == nullptr || width <= 1 || height <= 1)
    return;
  Connection_.X.XSetForeground(Connection_.Dpy, Gc_, Connection_.Pixel(colour));
  Connection_.X.XDrawRectangle(Connection_.Dpy, Target(), Gc_, x, y, static_cast<unsigned>(width - 1),
                               static_cast<unsigned>(height - 1));
}

void TCanvas::Text(TFont& font, int x, int baseline, std::u16string_view text, TColour colour) {
  if (!text.empty())
    font.Draw(*this, x, baseline, text, colour);
}

void TCanvas::Show() {
  if (Pixmap_ != 0 && Gc_ != nullptr)
    Connection_.X.XCopyArea(Connection_.Dpy, Pixmap_, Window_, Gc_, 0, 0, static_cast<unsigned>(Width_),
                            static_cast<unsigned>(Height_), 0, 0);
  Connection_.X.XFlush(Connection_.Dpy);
}

// ---------------------------------------------------------------------------
// Fonts

namespace {

class TXftFont final : public TFont {
public:
  TXftFont(TConnection& connection, XftFont* font) : Connection_(connection), Font_(font) {}
  ~TXftFont() override { Connection_.X.XftFontClose(Connection_.Dpy, Font_); }

  static XftFont* OpenSized(TConnection& connection, const TFontSpec& spec, int pixelSize) {
    // Fontconfig prefers a face that covers Russian and takes the best match.
    char name[128];
    std::snprintf(name, sizeof name, "%s:lang=ru:weight=%s:pixelsize=%d:antialias=true",
                  spec.Monospace ? "monospace" : "sans-serif", spec.Bold ? "bold" : "regular", pixelSize);
    return connection.X.XftFontOpenName(connection.Dpy, connection.Screen, name);
  }

  int Ascent() const override { return Font_->ascent; }
  int Descent() const override { return Font_->descent; }
  int Width(std::u16string_view text) override {
    const std::string utf8 = Utf16ToUtf8(text);
    XGlyphInfo extents{};
    Connection_.X.XftTextExtentsUtf8(Connection_.Dpy, Font_, reinterpret_cast<const FcChar8*>(utf8.data()),
                                     static_cast<int>(utf8.size()), &extents);
    return extents.xOff;
  }
  bool Has(char16_t unit) override { return Connection_.X.XftCharExists(Connection_.Dpy, Font_, unit) != 0; }

protected:
  void Draw(TCanvas& canvas, int x, int baseline, std::u16string_view text, TColour colour) override {
    XftDraw* draw = canvas.Xft();
    if (draw == nullptr)
      return;
    const TApi& api = Connection_.X;
    XRenderColor value{static_cast<unsigned short>(((colour >> 16) & 0xFF) * 257),
                       static_cast<unsigned short>(((colour >> 8) & 0xFF) * 257),
                       static_cast<unsigned short>((colour & 0xFF) * 257), 0xFFFF};
    Visual* visual = api.XDefaultVisual(Connection_.Dpy, Connection_.Screen);
    const Colormap map = api.XDefaultColormap(Connection_.Dpy, Connection_.Screen);
    XftColor ink{};
    if (!api.XftColorAllocValue(Connection_.Dpy, visual, map, &value, &ink))
      return;
    const std::string utf8 = Utf16ToUtf8(text);
    api.XftDrawStringUtf8(draw, &ink, Font_, x, baseline, reinterpret_cast<const FcChar8*>(utf8.data()),
                          static_cast<int>(utf8.size()));
    api.XftColorFree(Connection_.Dpy, visual, map, &ink);
  }

private:
  TConnection& Connection_;
  XftFont* Font_;
};

std::vector<XChar2b> Ucs2(std::u16string_view text) {
  std::vector<XChar2b> chars;
  chars.reserve(text.size());
  for (char16_t unit : text) {
    const char16_t shown = IsSurrogate(unit) ? u'?' : unit;
    chars.push_back({static_cast<unsigned char>(shown >> 8), static_cast<unsigned char>(shown & 0xFF)});
  }
  return chars;
}

// A core font of ISO 10646; a bold one drawn twice, a pixel apart, when the
// server has no bold face of a fitting size.
class TCoreFont final : public TFont {
public:
  TCoreFont(TConnection& connection, XFontStruct* font, bool embolden)
      : Connection_(connection), Font_(font), Embolden_(embolden) {}
  ~TCoreFont() override { Connection_.X.XFreeFont(Connection_.Dpy, Font_); }

  int Ascent() const override { return Font_->ascent; }
  int Descent() const override { return Font_->descent; }
  int Width(std::u16string_view text) override {
    const std::vector<XChar2b> chars = Ucs2(text);
    return Connection_.X.XTextWidth16(Font_, chars.data(), static_cast<int>(chars.size())) +
           (Embolden_ ? 1 : 0);
  }
  bool Has(char16_t unit) override {
    const unsigned row = unit >> 8;
    const unsigned column = unit & 0xFF;
    if (row < Font_->min_byte1 || row > Font_->max_byte1 || column < Font_->min_char_or_byte2 ||
        column > Font_->max_char_or_byte2)
      return false;
    if (Font_->per_char == nullptr)
      return true;
    const unsigned columns = Font_->max_char_or_byte2 - Font_->min_char_or_byte2 + 1;
    const XCharStruct& glyph =
        Font_->per_char[(row - Font_->min_byte1) * columns + (column - Font_->min_char_or_byte2)];
    return glyph.width != 0 || glyph.ascent != 0 || glyph.descent != 0;
  }

protected:
  void Draw(TCanvas& canvas, int x, int baseline, std::u16string_view text, TColour colour) override {
    const TApi& api = Connection_.X;
    if (canvas.Gc() == nullptr)
      return;
    const std::vector<XChar2b> chars = Ucs2(text);
    api.XSetFont(Connection_.Dpy, canvas.Gc(), Font_->fid);
    api.XSetForeground(Connection_.Dpy, canvas.Gc(), Connection_.Pixel(colour));
    for (int pass = 0; pass < (Embolden_ ? 2 : 1); ++pass)
      api.XDrawString16(Connection_.Dpy, canvas.Target(), canvas.Gc(), x + pass, baseline, chars.data(),
                        static_cast<int>(chars.size()));
  }

private:
  TConnection& Connection_;
  XFontStruct* Font_;
  bool Embolden_;
};

std::unique_ptr<TFont> OpenXftFont(TConnection& connection, const TFontSpec& spec) {
  int size = std::max(spec.PixelSize, 6);
  XftFont* font = TXftFont::OpenSized(connection, spec, size);
  if (font == nullptr)
    return nullptr;
  auto result = std::make_unique<TXftFont>(connection, font);
  if (!result->Has(u'Ж'))
    return nullptr; // no face with Cyrillic: a core font of ISO 10646 may have it
  while (spec.MaxAdvance > 0 && size > 6 &&
         std::max(result->Width(u"W"), result->Width(u"Ж")) > spec.MaxAdvance) {
    font = TXftFont::OpenSized(connection, spec, --size);
    if (font == nullptr)
      break;
    result = std::make_unique<TXftFont>(connection, font);
  }
  return result;
}

std::unique_ptr<TFont> OpenCoreFont(TConnection& connection, const TFontSpec& spec) {
  const TApi& x = connection.X;
  const char* const weights[] = {spec.Bold ? "bold" : "medium", spec.Bold ? "medium" : "bold"};
  const char* const spacings[] = {"c", "m", spec.Monospace ? "c" : "p"};
  for (const char* weight : weights) {
    for (int size = spec.PixelSize; size >= 8; --size) {
      for (const char* spacing : spacings) {
        char name[128];
        std::snprintf(name, sizeof name, "-*-*-%s-r-normal--%d-*-*-*-%s-*-iso10646-1", weight, size, spacing);
        XFontStruct* font = x.XLoadQueryFont(connection.Dpy, name);
        if (font == nullptr)
          continue;
        const bool embolden = spec.Bold && weight[0] != 'b';
        const int advance = font->max_bounds.width + (embolden ? 1 : 0);
        if (spec.MaxAdvance > 0 && advance > spec.MaxAdvance) {
          x.XFreeFont(connection.Dpy, font);
          continue;
        }
        return std::make_unique<TCoreFont>(connection, font, embolden);
      }
    }
  }
  // Whatever the server has: the text may lose its Cyrillic, not its window.
  for (const char* name : {"-*-*-*-r-*--*-*-*-*-*-*-iso10646-1", "fixed"})
    if (XFontStruct* font = x.XLoadQueryFont(connection.Dpy, name))
      return std::make_unique<TCoreFont>(connection, font, spec.Bold);
  return nullptr;
}

} // namespace

std::unique_ptr<TFont> TFont::Open(TConnection& connection, const TFontSpec& spec) {
  if (connection.X.HasXft)
    if (auto font = OpenXftFont(connection, spec))
      return font;
  return OpenCoreFont(connection, spec);
}

} // namespace x11
