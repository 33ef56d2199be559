#include "app/canvas_stroke.h"

#include "canvas/clear.h"
#include "canvas/display.h"
#include "canvas/undo.h"
#include "state/shared_state.h"

namespace brisel::app {
namespace {

static_assert(stroke::compositing::kBlendLayers == kBlendLayers, "the brush reads the blend table as it is laid out");

stroke::Stroke gStroke;

class Hooks final : public stroke::CommitHooks {
 public:
  canvas::Refusals SaveUndo(const PixelRect& box) override { return canvas::TheHistory().Save(box).refused; }
  void Settle(const PixelRect& box) override {
    canvas::ClearFXbuffer(box);
    canvas::SyncView(box);
  }
};

}  // namespace

stroke::Stroke& CanvasStroke() { return gStroke; }

stroke::Surface CanvasSurface() {
  return {PlaneR, PlaneG, PlaneB, ViewR, ViewG, ViewB, FXbuffer, PaperTexture, PaperWidth, PaperHeight,
          ImageWidth, ImageHeight};
}

stroke::compositing::Brush CanvasBrush() {
  stroke::compositing::Brush b;
  b.paintRed = PaintRed, b.paintGreen = PaintGreen, b.paintBlue = PaintBlue;
  b.size = BrushSize, b.step = BrushStep, b.press = BrushPress, b.opacity = BrushOpacity;
  b.mode = BlendMode, b.curve = CoverageCurve, b.paperStrength = PaperStrength;
  b.relief = ReliefEffect >= 1;
  b.turnedOver = PenAltitude < 0;
  b.blendTable = BlendTable.data();
  b.coverageCurves = CoverageCurves.data();
  return b;
}

stroke::CommitHooks& CanvasCommitHooks() {
  static Hooks hooks;
  return hooks;
}

canvas::Changed CommitCanvasStroke() {
  stroke::Surface surface = CanvasSurface();
  return stroke::CommitStroke(gStroke, surface, CanvasBrush(), CanvasCommitHooks());
}

void ResetCanvasStroke() { gStroke = stroke::Stroke{}; }

}  // namespace brisel::app
