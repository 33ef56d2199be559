// The pen's pressure curve: its mapping, the texts the settings may hold, and the curve window's drag.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/pressure_window.h"
#include "platform/settings.h"
#include "stroke/pressure_curve.h"
#include "support/app_fixture.h"
#include "support/scoped_env.h"

namespace brisel::testing {
namespace {

TEST(PressureCurve, MapsThePensPressureAlongItsPieces) {
  struct Row {
    const char* curve;
    float pen, painted;
  };
  const Row rows[] = {
      {"0:0 1:1", 0.3f, 0.3f},
      {"0:0 0.5:0.75 1:1", 0.5f, 0.75f},       // firm
      {"0:0 0.5:0.75 1:1", 0.25f, 0.375f},
      {"0:0 0.5:0.75 1:1", 0.75f, 0.875f},
      {"0:0 0.5:0.25 1:1", 0.5f, 0.25f},       // soft
      {"0:0.2 1:0.6", 0.0f, 0.2f},             // a floor and a ceiling
      {"0:0.2 1:0.6", 1.0f, 0.6f},
      {"0:0 1:1", 1.5f, 1.0f},                 // a pressure beyond the device's maximum
      {"0:0 1:1", -0.2f, 0.0f},
      {"0:1 0.1:0 0.9:0 1:1", 0.05f, 0.5f},    // falling pieces too
      {"0:0 0.1:0.1 0.2:0.2 0.3:0.3 0.4:0.4 0.5:0.5 0.6:1 1:1", 0.55f, 0.75f},  // eight points
  };
  for (const Row& row : rows) {
    stroke::PressureCurve curve;
    ASSERT_TRUE(curve.ReadText(row.curve)) << row.curve;
    EXPECT_NEAR(curve.Apply(row.pen), row.painted, 1e-6f) << row.curve << " at " << row.pen;
    stroke::PressureCurve again;
    ASSERT_TRUE(again.ReadText(curve.Text())) << curve.Text();
    EXPECT_EQ(again.points, curve.points) << "its own text reads back";
  }
  EXPECT_FLOAT_EQ(stroke::FirmCurve().Apply(0.4f), 0.68f);
  EXPECT_FLOAT_EQ(stroke::SoftCurve().Apply(0.3f), 0.125f);
}

TEST(PressureCurve, RefusesTextsThatAreNoCurve) {
  for (const char* text : {"", "0:0", "1:1 0:0", "0:0 0.5:0.5 0.5:0.6 1:1", "0:0 1:1.5", "0:-1 1:1", "0:0 0.9:1",
                           "0.1:0 1:1", "0:0 x:1 1:1", "0:0 1", "0:0 1:1:1",
                           "0:0 0.1:0 0.2:0 0.3:0 0.4:0 0.5:0 0.6:0 0.7:0 1:1", "0:0 0.5:nan 1:1"}) {
    stroke::PressureCurve curve = stroke::FirmCurve();
    EXPECT_FALSE(curve.ReadText(text)) << text;
    EXPECT_EQ(curve.points, stroke::FirmCurve().points) << "left alone by " << text;
  }
}

class PressureSettingsTest : public AppTest {
 protected:
  QTemporaryDir config;
  ScopedEnv home{"XDG_CONFIG_HOME", config.path().toStdString()};
  void WriteSettings(const char* text) {
    QDir(config.path()).mkpath("tarnwick");
    QFile file(config.path() + "/tarnwick/tarnwick.conf");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
};

TEST_F(PressureSettingsTest, TheStoredCurveShapesThePensPressureAndABadOneIsLinear) {
  WriteSettings("[Pressure_Curve]\nPoints=0:0 0.5:0.75 1:1\n");
  stroke::LoadPenCurve();
  app::PenReport(0.5f);
  EXPECT_FLOAT_EQ(PenPressure, 0.75f);
  WriteSettings("[Pressure_Curve]\nPoints=0:0 0.5:0.75\n");
  stroke::LoadPenCurve();
  app::PenReport(0.5f);
  EXPECT_FLOAT_EQ(PenPressure, 0.5f) << "a curve that does not reach 1 is no curve";
}

TEST_F(PressureSettingsTest, ADragInTheWindowAddsAPointAndStoresTheCurve) {
  WriteSettings("[Startup]\nShine_Color=255\n");
  Start(20, 20);
  app::ShowPressureWindow();
  const float side = float(app::kCurveSide - 1);
  // A press on the straight line at 50 % adds a point there; the drag lifts it to 80 %.
  app::CurveMouseDown(0.5f * side, 0.5f * side);
  app::CurveMouseMove(0.5f * side, 0.2f * side);
  app::CurveMouseUp();
  EXPECT_NEAR(stroke::PenCurve().Apply(0.5f), 0.8f, 0.01f) << stroke::PenCurve().Text();
  ASSERT_EQ(stroke::PenCurve().points.size(), 3u);
  // The end point moves only up and down, whatever the drag's sideways movement.
  app::CurveMouseDown(side, 0);
  app::CurveMouseMove(0.7f * side, 0.5f * side);
  app::CurveMouseUp();
  EXPECT_FLOAT_EQ(stroke::PenCurve().points.back().first, 1.0f);
  EXPECT_NEAR(stroke::PenCurve().Apply(1.0f), 0.5f, 0.01f);
  // Stored in a section of its own, the other settings kept.
  stroke::PressureCurve read;
  ASSERT_TRUE(read.ReadText(platform::GetSetting("tarnwick", "Pressure_Curve", "Points", "")));
  EXPECT_EQ(read.points.size(), 3u);
  EXPECT_EQ(platform::GetSetting("tarnwick", "Startup", "Shine_Color", ""), "255");
  app::DestroyPressureWindow();
}

}  // namespace
}  // namespace brisel::testing
