#pragma once
// The program's shared state: one instance per process, read by every subsystem, each variable written
// only by the subsystem named beside it. Names are the program's established ones.
//
// Types: Single is float, Long int32_t, Integer int16_t. Booleans that only the program sets are bool.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/byte_plane.h"
#include "platform/host.h"
#include "platform/program.h"
#include "state/pixel_rect.h"

namespace brisel {


// ---- start-up (app/startup) and the host link (link/) ---------------------------------------------
extern std::shared_ptr<platform::HostObject> HostObject;  // target of every host call (start-up)
extern std::string AppCaption;                            // the canvas caption before any zoom (start-up)
extern int32_t ImageWidth, ImageHeight;                   // fixed by start-up
// The image as committed (what the host gets): sized by start-up, replaced by a fetch (link/), changed
// by a stroke's commit (stroke/), a clear and undo (canvas/).
extern BytePlane PlaneR, PlaneG, PlaneB;
// The display copy, the committed image and the stroke's preview: the preview (stroke/), kept in step
// with the planes by canvas/.
extern BytePlane ViewR, ViewG, ViewB;
extern BytePlane FXbuffer;                // coverage of the stroke in progress, 0..255: stroke/, cleared by canvas/
extern BytePlane PaperTexture;            // paper grain, tiled over the image (link/)
extern int32_t PaperWidth, PaperHeight;   // 0 x 0 means no paper (link/)

// ---- canvas and view: canvas/, and start-up's first view ---------------------------------------------
extern float Zoom;           // window pixels per image pixel, > 0
extern int32_t PanX, PanY;   // client position of the image's top-left corner
// The view turned by ViewAngle degrees (clockwise on the screen, 0 <= ViewAngle < 360) and mirrored left to
// right, both about the canvas's centre, after the zoom and pan have placed the picture (canvas/view_turn.h).
extern double ViewAngle;
extern bool ViewMirrored;

// What changed in the image planes since the last send the host took whole (canvas/changed_box.h keeps it):
// a box of image pixels; wholeImage stands for the picture at whatever size it has when next sent.
struct ChangedArea {
  PixelRect box;
  bool wholeImage = false;
};
extern ChangedArea ChangedSinceSend;
// The same since the recovery journal's last record (app/recovery.h takes it after each handler).
extern ChangedArea ChangedSinceRecord;

// ---- the canvas's mouse and key handlers (app/canvas_input) ----------------------------------------
extern bool StrokeActive;                            // a press is held on the canvas
extern bool PickMode;                                // comma key held
extern bool SpaceHeld;                               // Space key held: a press begins a pan
extern bool SpacePan;                                // the press now held began a Space pan, until its release
extern bool SpaceTurn;                               // the press now held began a Shift+Space turn, until its release

// ---- view drags (canvas/navigation) ------------------------------------------------------------------
extern float DragStartX, DragStartY, DragStartZoom, DragStartPanX, DragStartPanY;

// Tablet (app/canvas_tablet): pen state of the latest packet. A mouse press without the pen in proximity
// sets PenPressure to 1 (app/canvas_input).
extern bool TabletPresent;
extern int16_t PenInProximity;  // -1 true, 0 false: only those two values change it
extern float PenWindowX, PenWindowY, PenPressure, PenAltitude;
extern int32_t TabletExtentX, TabletExtentY;

// ---- brush state, written by the tool panel's sliders (panel/), and by the canvas's load (app/) from
// the sliders' designed values --------------------------------------------------------------------------
extern float BrushPress, BrushSize, BrushOpacity, BrushStep;
extern int32_t PaperStrength;
extern float PaintRed, PaintGreen, PaintBlue;
extern int32_t ColorHue, ColorSat, ColorVal;  // colour selection

// ---- blend modes: the mode menu and the presets (panel/), read by the compositing (stroke/) -------
extern int32_t BlendMode;      // 0..10
extern int32_t CoverageCurve;  // 0 none, 1..2 a curve
extern int32_t ReliefEffect;   // 0 off, 1 on

// BlendTable(p, q, layer): brush component p, canvas component q, layer = BlendMode - 1.
// Stored layer-major, then p, so a stroke's fixed paint component reads one contiguous row of 256 q's.
inline constexpr int kBlendLayers = 10;
extern std::array<uint8_t, 256 * 256 * kBlendLayers> BlendTable;
inline uint8_t& BlendEntry(int p, int q, int layer) { return BlendTable[(size_t(layer) * 256 + size_t(p)) * 256 + size_t(q)]; }
// CoverageCurves(v, curve): coverage v reshaped by curve 0 or 1.
extern std::array<uint8_t, 256 * 2> CoverageCurves;
inline uint8_t& CoverageEntry(int v, int curve) { return CoverageCurves[size_t(curve) * 256 + size_t(v)]; }

// Puts every shared variable back to its value at process start. What the subsystems hold besides (the
// display bitmap, the undo history, the tablet, the triangle's pick) each lets go itself: ResetProgramState
// (app/reset_state.h) does it all, for tests.
void ResetSharedState();

}  // namespace brisel
