#include "state/shared_state.h"

namespace brisel {

std::shared_ptr<platform::HostObject> HostObject;
std::string AppCaption;
int32_t ImageWidth = 0, ImageHeight = 0;
BytePlane PlaneR, PlaneG, PlaneB;
BytePlane ViewR, ViewG, ViewB;
BytePlane FXbuffer;
BytePlane PaperTexture;
int32_t PaperWidth = 0, PaperHeight = 0;

float Zoom = 1.0f;
int32_t PanX = 0, PanY = 0;
double ViewAngle = 0;
bool ViewMirrored = false;
ChangedArea ChangedSinceSend;
ChangedArea ChangedSinceRecord;

bool StrokeActive = false;
bool PickMode = false;
bool SpaceHeld = false;
bool SpacePan = false;
bool SpaceTurn = false;
float DragStartX = 0, DragStartY = 0, DragStartZoom = 0, DragStartPanX = 0, DragStartPanY = 0;

bool TabletPresent = false;
int16_t PenInProximity = 0;
float PenWindowX = 0, PenWindowY = 0, PenPressure = 1.0f, PenAltitude = 0;
int32_t TabletExtentX = 0, TabletExtentY = 0;

float BrushPress = 0, BrushSize = 0, BrushOpacity = 0, BrushStep = 0;
int32_t PaperStrength = 0;
float PaintRed = 0, PaintGreen = 0, PaintBlue = 0;
int32_t ColorHue = 0, ColorSat = 0, ColorVal = 0;

int32_t BlendMode = 0, CoverageCurve = 0, ReliefEffect = 0;
std::array<uint8_t, 256 * 256 * kBlendLayers> BlendTable{};
std::array<uint8_t, 256 * 2> CoverageCurves{};

void ResetSharedState() {
  HostObject.reset();
  AppCaption.clear();
  ImageWidth = ImageHeight = 0;
  PlaneR = PlaneG = PlaneB = BytePlane();
  ViewR = ViewG = ViewB = BytePlane();
  FXbuffer = PaperTexture = BytePlane();
  PaperWidth = PaperHeight = 0;
  Zoom = 1.0f;
  PanX = PanY = 0;
  ViewAngle = 0;
  ViewMirrored = false;
  ChangedSinceSend = ChangedArea();
  ChangedSinceRecord = ChangedArea();
  StrokeActive = PickMode = SpaceHeld = SpacePan = SpaceTurn = false;
  DragStartX = DragStartY = DragStartZoom = DragStartPanX = DragStartPanY = 0;
  TabletPresent = false;
  PenInProximity = 0;
  PenWindowX = PenWindowY = PenAltitude = 0;
  PenPressure = 1.0f;
  TabletExtentX = TabletExtentY = 0;
  BrushPress = BrushSize = BrushOpacity = BrushStep = 0;
  PaperStrength = 0;
  PaintRed = PaintGreen = PaintBlue = 0;
  ColorHue = ColorSat = ColorVal = 0;
  BlendMode = CoverageCurve = ReliefEffect = 0;
  BlendTable.fill(0);
  CoverageCurves.fill(0);
}

}  // namespace brisel
