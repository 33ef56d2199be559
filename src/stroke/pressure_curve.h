#pragma once
// The painter's pressure curve: what the pen's pressure (0..1, as the tablet reports it over its maximum)
// becomes before the stroke sees it. Two to eight points, their input pressures rising from 0 to 1, joined
// by straight pieces; the mouse's pressure of 1 never goes through it. Kept in the settings file, section
// [Pressure_Curve], key Points, as "input:output" pairs apart by spaces: "0:0 0.5:0.75 1:1".

#include <string>
#include <utility>
#include <vector>

namespace brisel::stroke {

inline constexpr size_t kCurvePointsMost = 8;

struct PressureCurve {
  std::vector<std::pair<float, float>> points;  // (pen pressure, painted pressure), both 0..1

  // The painted pressure for pen pressure p (held to 0..1).
  float Apply(float p) const;
  std::string Text() const;
  // The curve the text names; false (and the curve left alone) for anything else: fewer than two points or
  // more than eight, a value outside 0..1, inputs that do not rise from 0 to 1.
  bool ReadText(const std::string& text);
};

// The starting points the curve window offers: straight, soft (a light touch paints lightly) and firm (a
// light touch already paints heavily).
PressureCurve LinearCurve();
PressureCurve SoftCurve();
PressureCurve FirmCurve();

// The curve the pen's pressure goes through, read from the settings at start-up (a curve that cannot be
// read is linear, with a warning on standard error) and changed by the curve window, which stores it.
const PressureCurve& PenCurve();
void LoadPenCurve();
void SetPenCurve(const PressureCurve& curve);

}  // namespace brisel::stroke
