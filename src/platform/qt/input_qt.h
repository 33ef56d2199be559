#pragma once
// Qt's mouse, pen and key events in the program's terms: its button and modifier bit sets, its key codes,
// and the handler calls they become.

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTransform>

#include <cstdint>

#include "platform/window.h"

namespace brisel::platform {

int16_t ButtonBit(Qt::MouseButton button);
int16_t ButtonBits(Qt::MouseButtons buttons);
int16_t ShiftBits(Qt::KeyboardModifiers modifiers);
int16_t VirtualKeyCode(const QKeyEvent& event);

// Hands a mouse or pen event to a program handler, through Dispatch: the button that went down or up (for a
// move, the buttons held), the modifiers, and the position in the receiving widget's pixels, or where
// toPixels takes them (a form's screen pixels: Form::Impl::ToSurface).
void ForwardPress(const Form::MouseHandler& handler, const QSinglePointEvent& event, const QTransform& toPixels = {});
void ForwardMove(const Form::MouseHandler& handler, const QSinglePointEvent& event, const QTransform& toPixels = {});
void ForwardRelease(const Form::MouseHandler& handler, const QSinglePointEvent& event, const QTransform& toPixels = {});

}  // namespace brisel::platform
