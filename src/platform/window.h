#pragma once
// Windowing and drawing: forms with client-pixel coordinates and handler callbacks, a persistent client
// surface that memory bitmaps (memory_bitmap.h) are copied to, message boxes, pop-up menus and mouse pointers.
//
// Every form has a client surface: a 32-bit picture the size of its client area. Drawing on the form
// writes into that surface and stays until overwritten; the window presents the changed part at its next
// paint. So whatever the user would see is in memory, and a test can read it back (SurfacePixel).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/error.h"
#include "platform/memory_bitmap.h"

namespace brisel::platform {

// A colour as 0xBBGGRR: red in the low byte.
using Color = uint32_t;
constexpr Color RGB(int r, int g, int b) { return Color(r) | Color(g) << 8 | Color(b) << 16; }

// Mouse pointer shapes, numbered as the program's controls number them.
enum class MousePointer : int16_t { Default = 0, Arrow = 1, Crosshair = 2, SizeAll = 15 };
enum class WindowState { Normal, Minimized, Maximized };

// Mouse buttons and modifier keys as bit sets.
namespace buttons { inline constexpr int16_t kLeft = 1, kRight = 2, kMiddle = 4; }
namespace shiftkeys {
inline constexpr int16_t kShift = 1, kCtrl = 2, kAlt = 4;
inline constexpr int16_t kShiftCtrl = kShift | kCtrl;  // exactly these two, without Alt: the canvas's view drag
}  // namespace shiftkeys
// The virtual-key codes of the keys the canvas acts on (the rest: letters and digits as their capitals).
namespace keys {
inline constexpr int16_t kTab = 9, kSpace = 32, kPlus = 187, kComma = 188, kMinus = 189;
inline constexpr int16_t kBracketLeft = 219, kBracketRight = 221;
}  // namespace keys

// A turn of the mouse wheel, or a touchpad's two-finger scroll, over a form's client area.
struct WheelTurn {
  int16_t Shift = 0;  // the modifier bit set
  float X = 0, Y = 0;  // the pointer, client pixels
  // The turn in notches of a usual wheel, fractions from a fine one; positive: away from the user (up), and
  // to the left.
  float NotchesX = 0, NotchesY = 0;
  // Where the device tells it (a touchpad): how far the content should move, in client pixels; positive:
  // down and right.
  bool HasPixels = false;
  float PixelsX = 0, PixelsY = 0;
};

class Form {
 public:
  using MouseHandler = std::function<void(int16_t Button, int16_t Shift, float X, float Y)>;
  using KeyHandler = std::function<void(int16_t& KeyCode, int16_t& Shift)>;
  // Close requests: UnloadMode says who asks.
  static constexpr int16_t kCloseButton = 0, kClosedByProgram = 1;

  Form();
  ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Handlers, set by the program's window modules. Load runs once, on the first Show. Unload runs when
  // the window is asked to close; setting Cancel to true keeps it open.
  std::function<void()> Load;
  // Runs before Unload: the user's close button (kCloseButton) or the program's Close (kClosedByProgram).
  // Setting Cancel to true keeps the window loaded, and Unload does not run.
  std::function<void(int16_t& Cancel, int16_t UnloadMode)> QueryUnload;
  std::function<void(int16_t& Cancel)> Unload;
  std::function<void()> Paint;
  MouseHandler MouseDown, MouseMove, MouseUp;
  KeyHandler KeyDown, KeyUp;
  std::function<void(int16_t& KeyAscii)> KeyPress;
  std::function<void(const WheelTurn&)> MouseWheel;
  // The window lost the keyboard to another: keys held now are let go where it does not see them.
  std::function<void()> Deactivate;
  // A touchpad's pinch about client point (X, Y): the zoom should grow by Factor since the last one.
  std::function<void(float X, float Y, float Factor)> Pinch;
  // A touchpad's two-finger rotation: the view should turn by Degrees (clockwise) since the last one.
  std::function<void(float Degrees)> Turn;

  // Life and placement.
  void Show();
  void ShowOwnedBy(Form& owner);  // modeless, as a tool window of owner
  // Keeps this window above another program's window, given by its native handle (an X11 window id);
  // 0 lets it go. The window manager places and stacks it as that window's dialog.
  void SetTransientForNative(uintptr_t nativeWindow);
  // The same on Wayland, for another program's window given by the handle that program exported for it
  // (xdg-foreign); empty lets it go. Returns false where the compositor cannot import windows.
  bool SetTransientForExported(const std::string& handle);
  void Hide();
  void Close();                    // runs QueryUnload and Unload (kClosedByProgram), which may cancel
  void SetFocus();                 // brings the window forward with the keyboard's focus
  bool loaded() const;
  bool visible() const;
  WindowState windowState() const;
  void SetCaption(const std::string& caption);
  std::string caption() const;
  int32_t clientWidth() const;
  int32_t clientHeight() const;
  void SetClientSize(int32_t width, int32_t height);
  // The client size width x height where the screen's free area holds it with the window's frame, else
  // as much as it holds, so that the caption and its buttons stay on the screen; and at least wide
  // enough for the menu bar and the caption.
  void SetClientSizeOnScreen(int32_t width, int32_t height);
  void SetMousePointer(MousePointer pointer);
  MousePointer mousePointer() const;
  void SetToolTip(const std::string& text);
  // Client pixels are the screen's own where the desktop's scale is fractional (a Wayland compositor at
  // 125 % that tells the program so): sizes, positions, wheel and pen and the surface count them, and the
  // surface shows each of its pixels on one screen pixel. At whole scales they stay the toolkit's. For the
  // canvas, whose pictures at 100 % zoom must not be resampled; set once, before the form is shown.
  void UseScreenPixels();

  // Menus of the window's menu bar.
  void AddMenuItem(const std::string& menuCaption, const std::string& itemCaption, std::function<void()> onClick);

  // Drawing on the client surface. Corners are inclusive; anything outside the client area is clipped.
  Color backColor() const;
  void SetBackColor(Color color);
  void FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color);
  // Copies w x h pixels from bitmap position (sx, sy) to client position (dx, dy).
  void CopyFromBitmap(const MemoryBitmap& bitmap, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                      int32_t sy);
  // The same for several parts of one bitmap, at the cost of one copy's bookkeeping; the window presents
  // the box around them.
  struct BitmapPart {
    int32_t dx, dy, w, h, sx, sy;
  };
  void CopyFromBitmap(const MemoryBitmap& bitmap, std::span<const BitmapPart> parts);
  Color SurfacePixel(int32_t x, int32_t y) const;  // -1 as Color outside

  // The toolkit's own object behind this form, for the platform layer's other parts.
  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// Called before the application object is made: a fractional desktop scale is rounded to a whole one
// (125 % to 1, 150 % and 175 % to 2), so that at 100 % zoom every picture pixel covers the same whole
// device pixels, with neither blur nor uneven columns. On Wayland a compositor's fractional scale is kept:
// the canvas counts screen pixels there (Form::UseScreenPixels) and the rest is scaled by the toolkit.
// QT_SCALE_FACTOR_ROUNDING_POLICY, when set, decides.
void UseWholeScaleFactors();

// Every report of the pen and of the mouse reaches the program, none merged by the toolkit into a later one
// while the program was busy: each is a control point of the stroke's spline.
void KeepEveryPointerReport();

// Called before the application object is made, which ends the process when no window system can be
// reached: whether the program can open windows here. Empty when it can (where both a Wayland compositor
// and an X server are named but only one can be used, that one is chosen); else one sentence saying why
// not and what to do. A platform the user chose by name (QT_QPA_PLATFORM) is checked as far as it can be.
std::string WhyNoWindows();

// Whether SetTransientForNative can work here: the windows are X11 ones.
bool CanOwnNativeWindows();
// Whether SetTransientForExported can work here: the windows are Wayland ones, and the compositor imports
// other programs' windows.
bool CanOwnExportedWindows();

// A pop-up menu at the pointer; returns the chosen item's index, or nullopt when dismissed.
std::optional<int> PopupMenu(Form& owner, const std::vector<std::string>& items);

enum class MessageBoxAnswer { Yes, No };
// A question with Yes and No buttons. No is the default: Enter and Escape answer No, so a question whose
// Yes throws work away keeps it unless Yes is chosen.
MessageBoxAnswer AskYesNo(const std::string& title, const std::string& text);
// A message with an OK button, also written to standard error.
void ShowMessage(const std::string& title, const std::string& text);

// A failure that ends the program: message box and standard error, then exit with status 1.
[[noreturn]] void ReportFatal(const Error& error);
// Runs a handler; an Error escaping it is reported as fatal.
void Dispatch(const std::function<void()>& handler);
// Runs after every handler Dispatch runs (a nested one's too), as part of it: every change the handler
// made to the picture is whole by then. Empty: nothing.
void SetAfterEachHandler(std::function<void()> after);

// Test seams: answer message boxes (ShowMessage passes through the answerer too) and pop-up menus without a user, and catch fatal reports.
void SetMessageBoxAnswerer(std::function<MessageBoxAnswer(const std::string& title, const std::string& text)>);
void SetPopupMenuChooser(std::function<std::optional<int>(const std::vector<std::string>& items)>);
void SetFatalErrorHook(std::function<void(const Error&)> hook);  // must not return normally to continue

// Work that may take seconds (encoding or decoding a large picture) while the windows stay painted: work
// runs on a worker thread under a busy pointer, and when it takes longer than half a second a small
// window says `what` until it ends. Meanwhile the program's windows take no input and cannot be closed,
// so work may read the program's state but nothing else may change it. An exception thrown by work is
// thrown here. Without a screen, or off the main thread, work simply runs here.
void RunLongWork(const std::string& what, const std::function<void()>& work);

// The busy pointer over the program's windows for as long as it lives (nestable).
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// The platform's message loop: lets pending window events run (a paint, a resize) before returning.
void ProcessEvents();
// Runs the message loop until form is unloaded for good (its Unload did not cancel) or the application
// quits. For a window whose end is the program's end even where it is another program's dialog, which a
// toolkit does not count among the windows whose closing ends the application.
void RunUntilUnloaded(Form& form);
// Ends the RunUntilUnloaded that runs, the form left as it is: a run ended from outside the window.
void LeaveRunUntilUnloaded();

// ---- the plain controls of a form ---------------------------------------------------------------------
// Child controls at client-pixel positions (left, top, width, height). They draw above the form's surface
// and stay where they are put; the form owns their windows.

// A text label: word-wrapped within its box, left aligned and centred top to bottom, on a transparent
// back (the form's surface shows through). Font Arial unless set.
class Label {
 public:
  Label(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height);
  ~Label();
  Label(const Label&) = delete;
  Label& operator=(const Label&) = delete;

  void SetCaption(const std::string& caption);
  std::string caption() const;
  void SetToolTip(const std::string& text);
  std::string toolTip() const;
  void SetForeColor(Color color);
  Color foreColor() const;
  // family and size in pixels
  void SetFont(const std::string& family, int32_t pixelSize);
  std::string fontName() const;

  int32_t left() const;
  int32_t top() const;
  int32_t width() const;
  int32_t height() const;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// A straight line from (x1, y1) to (x2, y2), both ends inclusive, one pixel wide. Only horizontal and
// vertical lines are drawn (the separators of a panel).
class Line {
 public:
  Line(Form& parent, int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color);
  ~Line();
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  Color color() const;
  int32_t x1() const;
  int32_t y1() const;
  int32_t x2() const;
  int32_t y2() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// A picture box: a child control with a persistent 32-bit surface of its own size, filled with its back
// colour when made. Hidden boxes keep their drawing too (a hit mask can live in one).
class PictureBox {
 public:
  PictureBox(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height);
  ~PictureBox();
  PictureBox(const PictureBox&) = delete;
  PictureBox& operator=(const PictureBox&) = delete;

  void SetVisible(bool visible);
  bool visible() const;
  Color backColor() const;
  void SetBackColor(Color color);  // also clears the drawing to the new colour
  // Corners inclusive, clipped to the box.
  void FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color);
  Color Pixel(int32_t x, int32_t y) const;  // -1 as Color outside the box

  int32_t left() const;
  int32_t top() const;
  int32_t width() const;
  int32_t height() const;

  // Handlers, like a form's. Mouse positions are box pixels; while a button is held the box keeps the
  // pointer, so a drag reports positions outside it. Paint runs when the box is shown (its window appears
  // or comes back); the drawing itself persists, so nothing else needs it.
  Form::MouseHandler MouseDown, MouseMove, MouseUp;
  std::function<void()> Paint;

  // A one-pixel line from (x1, y1) towards (x2, y2); the end point itself is not drawn. Clipped to the box.
  void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color color);
  void SetPixel(int32_t x, int32_t y, Color color);  // nothing outside the box

  // A triangle corner for the gradient fill: position in box pixels and 16-bit channels (an 8-bit
  // channel c goes in as c * 255, so 255 becomes 0xFE01 and shows as 254).
  struct GradientVertex {
    int32_t x, y;
    uint16_t red, green, blue;
  };
  // Fills triangle a, b, c with the linear (Gouraud) blend of its corners' colours; each channel shows its
  // high byte. Covers the pixels whose centres lie inside; every covered pixel takes the blend at its own
  // whole-number position, so a corner pixel shows its corner's colour. False when the fill is not
  // available, with nothing drawn: the caller falls back to drawing pixel by pixel.
  bool FillGradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c);

  // Shows the persistent drawing now.
  void Refresh();

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// Test seam: with false, every PictureBox::FillGradientTriangle fails, as on a system without the fill.
void SetGradientFillAvailable(bool available);

// Makes form's client area width x height and keeps the user from resizing the window.
void SetFixedClientSize(Form& form, int32_t width, int32_t height);

// ---- a form's controls, in creation order --------------------------------------------------------------

class VxButton;
class HProp;
class ImageHolder;

// The kinds of control a form can hold; the numbering follows ControlPointer's alternatives.
enum class ControlKind { Button, Slider, Label, PictureBox, Line, ImageHolder };
using ControlPointer = std::variant<VxButton*, HProp*, Label*, PictureBox*, Line*, ImageHolder*>;

struct FormControl {
  ControlPointer control;
  ControlKind kind() const { return ControlKind(control.index()); }
};

// Every control made on form and not yet destroyed, in the order they were made (the form's own control
// order, index 0 first). A control registers itself with its parent when made and leaves when destroyed.
std::vector<FormControl> FormControls(const Form& form);

// ---- the image holder --------------------------------------------------------------------------------
// A hidden control that holds a picture for drawing elsewhere. Without a picture it keeps its design size;
// a loaded picture gives it the picture's size in pixels.
class ImageHolder {
 public:
  ImageHolder(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height);
  ~ImageHolder();
  ImageHolder(const ImageHolder&) = delete;
  ImageHolder& operator=(const ImageHolder&) = delete;

  // Reads the picture file at path. False when it cannot be read; the holder then keeps what it had.
  bool LoadPicture(const std::string& path);
  bool hasPicture() const;

  int32_t left() const;
  int32_t top() const;
  int32_t width() const;
  int32_t height() const;

  struct Impl;
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// Draws holder's picture at its own size with its top-left corner at (x, y) of the form's client surface or
// the picture box's surface, clipped to it; the drawing stays. False (nothing drawn) without a picture.
bool DrawPicture(Form& target, const ImageHolder& holder, int32_t x, int32_t y);
bool DrawPicture(PictureBox& target, const ImageHolder& holder, int32_t x, int32_t y);

}  // namespace brisel::platform
