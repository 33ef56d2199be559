#include "app/reset_state.h"

#include "app/canvas_stroke.h"
#include "app/canvas_tablet.h"
#include "canvas/display.h"
#include "canvas/undo.h"
#include "panel/triangle_pick.h"
#include "state/shared_state.h"

namespace brisel::app {

void ResetProgramState() {
  app::CloseTablet();
  canvas::ResetDisplay();
  canvas::TheHistory().Reset();
  panel::TrianglePicking = 0;
  ResetCanvasStroke();
  ResetSharedState();
}

}  // namespace brisel::app
