#pragma once
// The tool panel's two controls: the button vx_button and the slider HProp, with exactly the properties and
// events the program uses. Each is drawn by a widget of the platform layer.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/window.h"

namespace brisel::platform {

// The pictures a button can show: 29 x 29 icons of the program's own drawing.
enum class Icon {
  None,
  Pen,            // a pen drawing a line
  WaterBrush,     // a brush in a blue puddle
  InkPot,         // an ink pot
  GelBlob,        // a blue gel blob
  Hand,           // a hand (pan)
  NestedSquares,  // nested squares (zoom)
  Magnifier100,   // a magnifier marked 100%
  FourArrows,     // arrows in four directions (fit)
  WindowOut,      // a window with an arrow leaving it (get image)
  WindowIn,       // a window with an arrow returning to it (send image)
  LeftArrow,      // undo
  Cross,          // clear
};

// What each panel control has besides its looks: its place on its form, in client pixels and fixed when it
// is made, and a tag of the program's (the theme reads it).
class ControlPlace {
 public:
  int32_t left() const { return left_; }
  int32_t top() const { return top_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  void SetTag(const std::string& tag) { tag_ = tag; }
  std::string tag() const { return tag_; }

 protected:
  ControlPlace(int32_t left, int32_t top, int32_t width, int32_t height)
      : left_(left), top_(top), width_(width), height_(height) {}

 private:
  int32_t left_, top_, width_, height_;
  std::string tag_;
};

class VxButton : public ControlPlace {
 public:
  using MouseHandler = Form::MouseHandler;

  VxButton(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height);
  ~VxButton();
  VxButton(const VxButton&) = delete;
  VxButton& operator=(const VxButton&) = delete;

  // Events.
  std::function<void()> Click;
  MouseHandler MouseDown, MouseMove, MouseUp;

  void SetCaption(const std::string& caption);
  std::string caption() const;
  void SetPicture(Icon icon);
  Icon picture() const;
  void SetBackColor(Color color);  // redraws
  Color backColor() const;
  void SetGradient(double gradient);
  double gradient() const;
  // 1: a two-state button, which stays pressed until its value is set to false.
  void SetButtonType(int16_t type);
  int16_t buttonType() const;
  void SetValue(bool pressed);
  bool value() const;
  void SetMousePointer(MousePointer pointer);
  void SetHighlight(Color color);
  Color highlight() const;
  void SetShadow(Color color);
  Color shadow() const;
  void SetBorderless(bool borderless);
  bool borderless() const;
  void SetToolTip(const std::string& text);
  std::string toolTip() const;
  void Refresh();

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

class HProp : public ControlPlace {
 public:
  HProp(Form& parent, int32_t left, int32_t top, int32_t width, int32_t height);
  ~HProp();
  HProp(const HProp&) = delete;
  HProp& operator=(const HProp&) = delete;

  // Raised whenever value changes, whether the user moved the slider or the program set it.
  std::function<void()> Change;

  // A value set by the program is kept as set, even outside min..max; the user's moves stay inside.
  void SetValue(double value);
  double value() const;
  // The range, stored as text; a slider without them uses its own defaults, 0 and 100.
  void SetMin(const std::string& min);
  void SetMax(const std::string& max);
  double min() const;
  double max() const;
  void SetBackColor(Color color);
  Color backColor() const;
  void SetForeColor(Color color);
  Color foreColor() const;
  void SetHighlight(Color color);
  Color highlight() const;
  void SetShadow(Color color);
  Color shadow() const;
  void Refresh();

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace brisel::platform
