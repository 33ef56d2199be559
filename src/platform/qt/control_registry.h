#pragma once
// Each form's list of its controls, in the order they were made. A control adds itself when made and
// removes itself when destroyed; a form's list goes with the form's client widget.

#include "platform/window.h"

namespace brisel::platform {

void RegisterControl(Form& parent, ControlPointer control);
// Safe after the parent form is gone (the panel's controls may outlive its window).
void UnregisterControl(ControlPointer control);

}  // namespace brisel::platform
