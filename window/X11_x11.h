// Windows on X11. The X libraries are loaded at run time and never
// linked, so that a library loads and works (with no windows) where there is
// no display or no X library. Every window gets a connection of its own, used
// by one thread only; nothing process-wide of Xlib is touched (no
// XInitThreads, no error handler, no locale), so that the host application's
// own toolkit is left alone.
//
// Include this header after every other one: Xlib defines macros (None, Bool,
// Status, True, False) that clash with ordinary names.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// Xft's header wants FreeType's; only the types and prototypes are used.
#include <X11/Xft/Xft.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace x11 {

// The functions of libX11.so.6 and, when it is there, libXft.so.2.
struct TApi {
#define ORVIK_X11_FUNCTION(name) decltype(&::X##name) X##name = nullptr;
#include "X11Functions.inc"
#undef ORVIK_X11_FUNCTION
#define ORVIK_XFT_FUNCTION(name) decltype(&::Xft##name) Xft##name = nullptr;
#include "XftFunctions.inc"
#undef ORVIK_XFT_FUNCTION
  // From libXrender, which libXft brings along.
  decltype(&::XRenderQueryExtension) XRenderQueryExtension = nullptr;
  bool HasXft = false; // every Xft function is there, and that one

  // XESetWireToError, declared by Xlib's internal header only: sets how a
  // connection turns an error of one code into an error event; a converter
  // that returns False drops the error.
  using TErrorConverter = Bool (*)(Display*, XErrorEvent*, void*);
  TErrorConverter (*ESetWireToError)(Display*, int, TErrorConverter) = nullptr;
};

// The libraries, loaded on the first call from any thread; null when
// libX11.so.6 cannot be loaded. They stay loaded for the life of the process:
// Xft hooks itself into every connection it drew on, and the host may use the
// same libraries itself.
const TApi* Api();

// The display named by DISPLAY, read on the calling thread; empty when unset.
std::string DisplayName();

// An RGB colour, 0xRRGGBB.
using TColour = uint32_t;

// The lock of all X work of this library. Xft keeps process-wide lists (of
// displays, of font files) with no lock of their own, and opening and closing
// connections touches process-wide state of Xlib and Xau: so every thread
// that works with X holds this lock while it works, and lets it go only while
// it waits for events (TConnection::Wait). Recursive.
class TXGuard {
public:
  TXGuard();
  ~TXGuard();
  TXGuard(const TXGuard&) = delete;
  TXGuard& operator=(const TXGuard&) = delete;

  // This thread works with X under a guard of its own (and must not wait for
  // another thread that needs the lock).
  static bool Held();
};

// A connection of our own to an X display, for one thread. X errors on it
// (a window someone else destroyed, say) are dropped by the connection itself
// instead of reaching the process's error handler, whose default ends the
// process.
class TConnection {
public:
  // Null when the name is empty, the libraries are missing or the display
  // does not answer. Open, use and close it under a TXGuard.
  static std::unique_ptr<TConnection> Open(const std::string& displayName);
  ~TConnection();
  TConnection(const TConnection&) = delete;
  TConnection& operator=(const TConnection&) = delete;

  const TApi& X;
  Display* const Dpy;
  const int Screen;
  const Window Root;

  Atom Intern(const char* name);
  // A pixel value of the default colour map for colour.
  unsigned long Pixel(TColour colour);
  int ScreenWidth() const;
  int ScreenHeight() const;

  // Waits until an X event is queued, wakeFd (when not negative) can be read,
  // or timeoutMs (when not negative) passes. True when an X event is queued.
  // The caller holds one TXGuard, which is let go while it waits.
  bool Wait(int wakeFd, int timeoutMs);

private:
  TConnection(const TApi& api, Display* display);
};

// What a top-level window is made with.
struct TTopWindowSpec {
  int X = 0;
  int Y = 0;
  bool Centred = false; // centred on the screen instead of at X, Y
  int Width = 1;        // the inner size, without the window manager's frame
  int Height = 1;
  std::u16string Title;
  std::string ClassName = "Orvik"; // WM_CLASS
  bool KeepAbove = false;          // above other windows
  bool Dialog = false;             // a dialog, transient for the host's active window
  bool TakeFocus = false;          // takes the keyboard when it appears
  TColour Background = 0;
  long EventMask = 0;
};

// A top-level window of fixed size with its title in UTF-8 (WM_NAME and
// _NET_WM_NAME), the process id, the window manager's close as a
// WM_DELETE_WINDOW message, and the requested state.
class TTopWindow {
public:
  TTopWindow(TConnection& connection, const TTopWindowSpec& spec);
  ~TTopWindow(); // destroys the window
  TTopWindow(const TTopWindow&) = delete;
  TTopWindow& operator=(const TTopWindow&) = delete;

  // Shows the window with its children; on the screen when this returns true
  // (a window manager may put it there a moment later).
  bool Show();
  Window Id() const { return Id_; }
  // The window manager's close (WM_DELETE_WINDOW) of this window.
  bool IsCloseRequest(const XEvent& event) const;
  // The window was destroyed by someone else.
  bool IsDestroyed(const XEvent& event) const;

private:
  TConnection& Connection_;
  Window Id_ = 0;
  Atom DeleteWindow_ = 0;
  bool TakeFocus_ = false;
};

// Lets the X lock go, on a thread that holds it, until the object goes: for a
// call into a device (an input window's handler) that may take its time and
// must not hold up the other windows.
class TXRelease {
public:
  TXRelease();
  ~TXRelease();
  TXRelease(const TXRelease&) = delete;
  TXRelease& operator=(const TXRelease&) = delete;

private:
  int Depth_;
};

// Sets WM_NAME and _NET_WM_NAME of a window to text in UTF-8.
void SetWindowText(TConnection& connection, Window window, std::u16string_view text);

// A font with Cyrillic: an antialiased TrueType font through Xft where libXft
// is there, else a core font of ISO 10646.
struct TFontSpec {
  bool Monospace = false;
  bool Bold = false;
  int PixelSize = 13;
  int MaxAdvance = 0; // when not 0: shrink until "W" and "Ж" fit in this width
};

class TFont {
public:
  static std::unique_ptr<TFont> Open(TConnection& connection, const TFontSpec& spec);
  virtual ~TFont() = default;
  virtual int Ascent() const = 0;
  virtual int Descent() const = 0;
  int Height() const { return Ascent() + Descent(); }
  // The advance of a text in pixels.
  virtual int Width(std::u16string_view text) = 0;
  // Whether the font has a glyph of its own for unit.
  virtual bool Has(char16_t unit) = 0;

protected:
  friend class TCanvas;
  virtual void Draw(class TCanvas& canvas, int x, int baseline, std::u16string_view text, TColour colour) = 0;
};

// A picture of a window's size drawn off screen and then shown at once, so
// that a repaint never shows a half-drawn window.
class TCanvas {
public:
  TCanvas(TConnection& connection, Window window, int width, int height);
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  void Fill(int x, int y, int width, int height, TColour colour);
  void Frame(int x, int y, int width, int height, TColour colour); // a one-pixel outline
  void Text(TFont& font, int x, int baseline, std::u16string_view text, TColour colour);
  // Copies the picture into the window and sends it to the server.
  void Show();

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  Drawable Target() const { return Pixmap_ != 0 ? Pixmap_ : Window_; }
  GC Gc() const { return Gc_; }
  XftDraw* Xft(); // made on first use

private:
  TConnection& Connection_;
  Window Window_;
  int Width_;
  int Height_;
  Pixmap Pixmap_ = 0;
  GC Gc_ = nullptr;
  XftDraw* XftDraw_ = nullptr;
};

// Dialog units to pixels for a font, as Windows lays out a dialog from its
// template: a horizontal unit is a quarter of the font's average character
// width, a vertical one an eighth of its height.
struct TDialogUnits {
  int AverageWidth;
  int Height;
  int X(int units) const { return (units * AverageWidth + 2) / 4; }
  int Y(int units) const { return (units * Height + 4) / 8; }
};
TDialogUnits DialogUnitsOf(TFont& font);

// The controls of a dialog window: child windows laid out from the template's
// dialog units on the dialog's face, each named with its text so that tools
// that list windows show what it says, found again by their window.
class TDialogControls {
public:
  struct TControl {
    Window Id = 0;
    int Width = 0; // in pixels
    int Height = 0;
  };

  TDialogControls(TConnection& connection, Window dialog, TDialogUnits units)
      : Connection_(connection), Dialog_(dialog), Units_(units) {}

  // Adds the next control at x, y of width by height in dialog units;
  // clickable ones also get the pointer's button.
  void Add(int x, int y, int width, int height, std::u16string_view text, bool clickable);
  const TControl& operator[](int index) const { return Controls_[static_cast<size_t>(index)]; }
  // The index of the control that is window, or -1.
  int IndexOf(Window window) const;
  // Whether a release of the pointer's button happened inside control index:
  // what makes a press on a button a click.
  bool ReleasedInside(const XButtonEvent& release, int index) const;

private:
  TConnection& Connection_;
  Window Dialog_;
  TDialogUnits Units_;
  std::vector<TControl> Controls_;
};

// The colours of a dialog window, as Windows paints one.
namespace dialog {
inline constexpr TColour kFace = 0xF0F0F0;
inline constexpr TColour kInk = 0x000000;
inline constexpr TColour kButtonFace = 0xE1E1E1;
inline constexpr TColour kButtonPressed = 0xCCE4F7;
inline constexpr TColour kButtonBorder = 0xADADAD;
inline constexpr TColour kFocusBorder = 0x0078D7;
inline constexpr TColour kDisabledInk = 0xA0A0A0;
inline constexpr TColour kDisabledFace = 0xCCCCCC;
} // namespace dialog

// A push button of a dialog: its face (pressed or not), a border that is
// doubled in the focus colour when it has the focus, the text centred; a
// disabled one greyed.
void PaintButton(TCanvas& canvas, TFont& font, std::u16string_view text, bool focused, bool pressed,
                 bool disabled = false);

// One turn of a modal window's loop, the window shown: waits for events
// (timeoutMs at most when not negative; the caller's TXGuard is let go
// meanwhile) and hands each to handle until handle answers true (Answered).
// The window manager's close and the window's destruction give Closed.
enum class TModalTurn { Going, Answered, Closed };
TModalTurn ServeModal(TConnection& connection, const TTopWindow& window, int timeoutMs,
                      const std::function<bool(XEvent&)>& handle);

// The keysym of a key event with its modifiers (Shift, Lock, the keyboard's
// group), read without any input method or locale.
KeySym KeyOf(TConnection& connection, XKeyEvent& event);

} // namespace x11
