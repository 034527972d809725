// The window layer: what a device shows on the screen, described once and
// drawn by the platform's backend: Win32 on Windows, X11 on Linux, and a null
// backend where nothing can be shown (no display, no X library). Devices see
// only this header: no window handle, no platform type.
//
// Four kinds of window:
// - a device window (OpenWindow): non-modal, at its place with its title,
//   kept above the others if asked, closed by the user whenever he likes and
//   made again by the device's next output; the device paints it through a
//   canvas and may have it tick;
// - a dialog (RunDialog): modal to the calling thread, laid out by its
//   template from the library's resource script, with labels, one edit field
//   with a check and buttons;
// - a painted dialog (RunPaintedDialog): modal like a dialog, its face
//   painted by the device like a device window's;
// - an input window (OpenInputWindow): non-modal, laid out by its template
//   like a dialog, served by a thread of its own, handing what a person
//   types to the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ui {

// An RGB colour, 0xRRGGBB.
using TColour = uint32_t;

// ---------------------------------------------------------------------------
// Drawing

// A font with Cyrillic. PixelSize is the size of the characters (the em);
// CellWidth, when not 0, is the width of the cells the characters are drawn
// in, which no character's advance may exceed; CellHeight, when not 0, asks
// for a font whose line fills cells of that height (Windows takes it as the
// font's cell height, X the PixelSize).
struct TFontSpec {
  bool Monospace = false;
  bool Bold = false;
  int PixelSize = 13;
  int CellWidth = 0;
  int CellHeight = 0;

  friend bool operator==(const TFontSpec&, const TFontSpec&) = default;
};

// What a window is painted on: its whole inner area, shown at once when the
// paint is over. Coordinates are pixels from the top left of the inner area.
class ICanvas {
public:
  virtual ~ICanvas() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void Fill(int x, int y, int width, int height, TColour colour) = 0;
  // Each character of text (a surrogate pair is one) centred in a cell of
  // cellWidth by cellHeight, the first cell's top left at x, top, the next
  // cells to its right; blanks and lone surrogates leave their cell as it is.
  virtual void Cells(const TFontSpec& font, int x, int top, int cellWidth, int cellHeight,
                     std::u16string_view text, TColour ink) = 0;
  // Text with its top left at x, top, in the font's own advances.
  virtual void Text(const TFontSpec& font, int x, int top, std::u16string_view text, TColour ink) = 0;
  // The advance of text in pixels.
  virtual int TextWidth(const TFontSpec& font, std::u16string_view text) = 0;
};

// What a device supplies to a window it paints. Paint and Tick run on the
// window's own thread where the platform serves windows from one (Linux), on
// the host's thread otherwise (Windows): the device guards what they read.
class IPainter {
public:
  virtual ~IPainter() = default;
  // Paints the whole inner area.
  virtual void Paint(ICanvas& canvas) = 0;
  // A tick of the window's timer; true when the window is to be painted again.
  virtual bool Tick() { return false; }
  // The window's print command (Windows only): the printed page, drawn on a
  // printer's canvas whose pixels are dotsPerMmX by dotsPerMmY per millimetre.
  // Nothing is printed by default: an empty page.
  virtual void PreparePrintout(double /*dotsPerMmX*/, double /*dotsPerMmY*/) {}
  virtual void DrawPrintout(ICanvas& /*canvas*/, double /*dotsPerMmX*/, double /*dotsPerMmY*/) {}
};

// ---------------------------------------------------------------------------
// Device windows

struct TWindowSpec {
  std::u16string Title;
  // The class of the window: the X window class (WM_CLASS); on Windows the
  // prefix of the window class's name, which gets the tick count of the load.
  const char* ClassName = "Orvik";
  int X = 0; // the top left of the window's frame on the screen
  int Y = 0;
  int Width = 1; // the inner area, without frame and caption
  int Height = 1;
  TColour Background = 0;
  bool KeepAbove = false;   // above every other window
  bool Activate = false;    // takes the keyboard when it appears
  int TickMs = 0;           // when not 0: Tick every so many milliseconds
  unsigned TimerId = 1;     // the Windows timer's identifier
  std::u16string PrintName; // the print command's document (Windows); the title when empty
};

// A device window that is, or was, on the screen. Destroying it closes the
// window: no call of its painter runs afterwards.
class TDeviceWindow {
public:
  virtual ~TDeviceWindow() = default;
  TDeviceWindow(const TDeviceWindow&) = delete;
  TDeviceWindow& operator=(const TDeviceWindow&) = delete;
  // Paints the window again with what the painter shows now; false when the
  // window is no more (closed by the user, or never shown): the device makes
  // a new one.
  virtual bool Repaint() = 0;
  // Whether the window came on the screen (the null backend's never does).
  virtual bool Shown() const = 0;

protected:
  TDeviceWindow() = default;
};

// Makes and shows a device window painted by painter, which must outlive it.
// Never null: where nothing can be shown the window is the null backend's,
// which is not Shown and whose Repaint is false, so that the next output
// tries again.
std::unique_ptr<TDeviceWindow> OpenWindow(const TWindowSpec& spec, IPainter& painter);

// ---------------------------------------------------------------------------
// Dialogs

// A control of a dialog template. Positions and sizes are in dialog units.
enum class TControlKind { Label, Field, Button };
struct TControlTemplate {
  TControlKind Kind;
  int Id; // -1 for a label nobody addresses
  const char16_t* Text;
  int X, Y, Width, Height;
  bool Default = false; // the default push button (Enter)
  bool TabStop = false;
  bool WordWrap = true; // a label whose text wraps (the others stay on one line)
};

// A dialog template of the library's resource script, as a table: generated
// at build time from the script itself (one header per script), so that the
// layout is written once. Windows runs the resource; X11 lays the table out.
struct TDialogTemplate {
  const char16_t* Name;  // the resource's name ("ORVIK_DLG_PAY")
  int Number;            // or its number (4423) when it has no name; else 0
  const char16_t* Title; // the caption
  int Width, Height;     // in dialog units
  std::span<const TControlTemplate> Controls;

  const TControlTemplate* Control(int id) const {
    for (const TControlTemplate& control : Controls)
      if (control.Id == id)
        return &control;
    return nullptr;
  }
};

// The control identifiers of the two buttons every dialog understands:
// Enter presses the default button, Escape and the window's close give
// kCancel whether or not the template has such a button.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// What RunDialog answers besides the identifier of the button that ended the
// dialog.
inline constexpr int kNoDisplay = 0; // nothing can be shown here (no display, no X library)
inline constexpr int kNoWindow = -1; // the window could not be made

// One run of a dialog.
struct TDialogRun {
  explicit TDialogRun(const TDialogTemplate& dialog) : Template(dialog) {}

  const TDialogTemplate& Template;
  // The class of the dialog's window as a device window's ClassName names it
  // (the X window class); Windows shows every dialog in the dialog class.
  const char* ClassName = "Orvik";
  // Texts that replace the template's, by control identifier.
  std::vector<std::pair<int, std::u16string>> Texts;
  // The edit field, when the template has one: its identifier, its text
  // (prefilled selected; on the default button, what the operator typed)
  // and the most characters it takes.
  int FieldId = 0;
  std::u16string Field;
  size_t FieldLimit = 64;
  // The default button's check of the field: empty when the field is sound
  // and the dialog may end, else the reason, shown in the label ReasonId
  // while the dialog stays open with the field selected.
  std::function<std::u16string(const std::u16string&)> Check;
  int ReasonId = 0;

  // The text control id starts with: its replacement, else the template's.
  std::u16string TextOf(int id) const {
    for (const auto& [control, text] : Texts)
      if (control == id)
        return text;
    const TControlTemplate* control = Template.Control(id);
    return control != nullptr && control->Text != nullptr ? control->Text : u"";
  }
};

// Shows the dialog, owned by the host's active window, until the operator
// answers: the identifier of the button that ended it (kOk, kCancel or
// another button's), kNoDisplay or kNoWindow.
int RunDialog(TDialogRun& run);

// Who answers the operator's windows: the platform's dialogs, or a test's
// stand-in.
class IOperatorPrompt {
public:
  virtual ~IOperatorPrompt() = default;
  virtual int Ask(TDialogRun& run) = 0;
};
// The prompt that runs the dialogs on the screen (RunDialog).
std::unique_ptr<IOperatorPrompt> ScreenPrompt();

// A modal window of the dialog template (its title; its controls, if any,
// are not shown) with an inner area of width by height painted by painter,
// ticking like a device window when tickMs is not 0, centred on the screen
// and ended by Enter, Escape or its close. className names it as a device
// window's ClassName does. Returns when it ends; at once where nothing can be
// shown.
void RunPaintedDialog(const TDialogTemplate& dialog, const char* className, int width, int height,
                      IPainter& painter, int tickMs = 0, unsigned timerId = 1);

// ---------------------------------------------------------------------------
// Input windows

// What a device does with what a person gives through an input window. The
// calls run on the window's own thread (on both platforms), one at a time,
// never after the window is destroyed; they must not wait for anything the
// destroying thread holds, nor destroy the window themselves.
class IInputHandler {
public:
  virtual ~IInputHandler() = default;
  // The default button, or Enter in a field, with the fields' texts in the
  // order of TInputWindowSpec::Fields: empty when the input is taken (the
  // fields are emptied and the first one takes the keyboard for the next),
  // else the reason, shown in the label ReasonId while the fields keep their
  // texts, the first one selected.
  virtual std::u16string Submit(std::span<const std::u16string> fields) = 0;
  // Any other button of the template, by its identifier.
  virtual void Command(int id) = 0;
};

struct TInputWindowSpec {
  const TDialogTemplate* Template = nullptr; // the title and the controls
  // As a device window's ClassName (the X window class); Windows shows it in
  // the dialog class.
  const char* ClassName = "Orvik";
  int X = 0; // the top left of the window's frame on the screen
  int Y = 0;
  bool KeepAbove = true; // above every other window
  // The template's edit fields, in order, and the most characters each takes.
  std::vector<int> Fields;
  size_t FieldLimit = 256;
  int ReasonId = 0; // the label that shows why an input was refused; 0: none
};

// A non-modal window laid out from a dialog template through which a person
// gives a device its input: fields, the default button that hands them to
// the handler, and other buttons. Tab moves among the controls and Enter
// presses the default button, as in a dialog; Escape does nothing; the
// window's close box closes it. Destroying the object closes the window and
// waits for a handler call in progress.
class TInputWindow {
public:
  virtual ~TInputWindow() = default;
  TInputWindow(const TInputWindow&) = delete;
  TInputWindow& operator=(const TInputWindow&) = delete;
  // Whether the window came on the screen (the null backend's never does).
  virtual bool Shown() const = 0;
  // Whether it is still there: false once the person closed it.
  virtual bool Open() const = 0;
  // Gives controls new texts, by identifier; a button whose text is empty is
  // disabled, and enabled again by a text. From any thread, the handler's
  // included; it does not wait for the window.
  virtual void SetTexts(std::vector<std::pair<int, std::u16string>> texts) = 0;

protected:
  TInputWindow() = default;
};

// Makes and shows an input window whose input goes to handler, which must
// outlive it. Never null: where nothing can be shown the window is the null
// backend's, never Shown nor Open.
std::unique_ptr<TInputWindow> OpenInputWindow(const TInputWindowSpec& spec, IInputHandler& handler);

} // namespace ui
