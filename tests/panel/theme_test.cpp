// The host theme and the panel wallpaper: the settings read from a settings file made for each case, the
// theme pass over the panel and over a form of our own, and the wallpaper's tiles on the panel and in the
// triangle box.

#include <QImage>

#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include <sys/stat.h>

#include "app/recovery.h"
#include "canvas/undo.h"
#include "panel/theme.h"
#include "platform/settings.h"
#include "panel/tool_panel.h"
#include "panel/wallpaper.h"
#include "platform/controls.h"
#include "support/app_fixture.h"

namespace brisel::testing {
namespace {

using panel::Panel;
using platform::RGB;

// Points XDG_CONFIG_HOME (and XDG_CONFIG_DIRS, so no system file answers) at a new directory for each
// Settings() call: a file at a new path is never one the store has cached.
class ThemeTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
      if (const char* v = std::getenv(name)) saved_.emplace_back(name, v);
      else saved_.emplace_back(name, std::nullopt);
    root_ = std::filesystem::temp_directory_path() /
            ("brisel-theme-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "system");
    ::setenv("XDG_CONFIG_DIRS", (root_ / "system").c_str(), 1);
    Settings("");
  }

  void TearDown() override {
    for (const auto& [name, value] : saved_)
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    std::filesystem::remove_all(root_);
    AppTest::TearDown();
  }

  // A fresh settings file whose [Startup] section holds lines.
  void Settings(const std::string& lines) {
    const std::filesystem::path home = root_ / ("home" + std::to_string(++homes_));
    std::filesystem::create_directories(home / "tarnwick");
    std::ofstream(home / "tarnwick" / "tarnwick.conf") << "[Startup]\n" << lines;
    ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  }

  // The wallpaper used below: pixel (x, y) is RGB(5x, 6y, 200), so RGB(0, 0, 200) marks a tile's corner.
  static platform::Color WallPixel(int32_t x, int32_t y) { return RGB(5 * x, 6 * y, 200); }
  std::string Wallpaper(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(5 * x, 6 * y, 200));
    const std::string path = (root_ / "wall.png").string();
    EXPECT_TRUE(image.save(QString::fromStdString(path)));
    return path;
  }

  std::filesystem::path root_;
  int homes_ = 0;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

void ExpectBevelledButton(platform::VxButton& b, platform::Color back, double gradient) {
  SCOPED_TRACE("button at " + std::to_string(b.left()) + "," + std::to_string(b.top()));
  EXPECT_EQ(b.backColor(), back);
  EXPECT_EQ(b.highlight(), RGB(224, 224, 224));
  EXPECT_EQ(b.shadow(), RGB(32, 32, 32));
  EXPECT_EQ(b.gradient(), gradient);
  EXPECT_FALSE(b.borderless());
}

// ---- the theme pass ----------------------------------------------------------------------------------

TEST_F(ThemeTest, WithoutSettingsThePanelTakesTheDefaultTheme) {
  Start(4, 4);
  panel::Controls& p = Panel();
  EXPECT_EQ(Form2Window().backColor(), RGB(143, 149, 158));
  for (platform::VxButton* b : {&p.vx_button8, &p.vx_button9, &p.vx_button6, &p.vx_button7, &p.vx_button13,
                                &p.vx_button14, &p.vx_button11, &p.vx_button12, &p.vx_button3, &p.vx_button4,
                                &p.vx_button1, &p.vx_button2, &p.vx_button10})
    ExpectBevelledButton(*b, RGB(192, 192, 192), 1.2);
  ExpectBevelledButton(p.vx_pte_button15, RGB(182, 197, 197), 1.3);
  // The primary swatch was themed too, then SetColor gave it the (black) paint colour back.
  EXPECT_EQ(p.vx_button5.backColor(), RGB(0, 0, 0));
  EXPECT_EQ(p.vx_button5.gradient(), 1.2);
  for (platform::HProp* s : {&p.HProp1, &p.HProp8, &p.HProp5, &p.HProp6, &p.HProp7, &p.HProp2, &p.HProp3, &p.HProp4}) {
    SCOPED_TRACE("slider at y " + std::to_string(s->top()));
    EXPECT_EQ(s->backColor(), RGB(143, 149, 158));
    EXPECT_EQ(s->foreColor(), RGB(255, 255, 255));
    EXPECT_EQ(s->highlight(), RGB(224, 224, 224));
    EXPECT_EQ(s->shadow(), RGB(32, 32, 32));
  }
  EXPECT_EQ(p.Label4.foreColor(), panel::kLabelColor);
  EXPECT_EQ(p.Line4.color(), 0x404040u);
  // No wallpaper: the panel is its plain back colour wherever no control covers it.
  EXPECT_EQ(Form2Window().SurfacePixel(0, 0), RGB(143, 149, 158));
  EXPECT_EQ(Form2Window().SurfacePixel(140, 489), RGB(143, 149, 158));
}

TEST_F(ThemeTest, BordersFollowTheTwoBorderlessSettings) {
  Start(4, 4);
  const platform::Color fill = RGB(143, 149, 158);
  // Buttons lose their border only at exactly 1; sliders go flat at any value but 0.
  const struct {
    const char* value;
    bool flatButtons, flatSliders;
  } cases[] = {{"1", true, true}, {"-1", false, true}, {"2", false, true}, {"0", false, false},
               {" 1 ", true, true}, {"1.4", true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("value '") + c.value + "'");
    Settings(std::string("Borderless_Buttons=") + c.value + "\nBorderless_Scrollers=" + c.value + "\n");
    panel::PrefsCallback(Form2Window());
    EXPECT_EQ(Panel().vx_button2.borderless(), c.flatButtons);
    EXPECT_EQ(Panel().vx_pte_button15.borderless(), c.flatButtons);
    EXPECT_EQ(Panel().HProp4.highlight(), c.flatSliders ? fill : RGB(224, 224, 224));
    EXPECT_EQ(Panel().HProp4.shadow(), c.flatSliders ? fill : RGB(32, 32, 32));
  }
}

TEST_F(ThemeTest, StoredColoursApplyAndWhatIsNoNumberKeepsItsDefault) {
  Settings(
      "Shine_Color=255\n"
      "Shadow_Color=1,2\n"                 // comes back as a list: no number
      "Button_Fill_Color=grey\n"
      "Scroll_Fill_Color=&H102030\n"
      "Scroll_Bar_Color=\n"
      "Special_Setting_Color=12.5\n"       // halves go to the even neighbour
      "shine_color=65280\n");              // keys are case-sensitive: not Shine_Color
  Start(4, 4);
  panel::Controls& p = Panel();
  EXPECT_EQ(p.vx_button2.highlight(), 255u);
  EXPECT_EQ(p.vx_button2.shadow(), RGB(32, 32, 32));
  EXPECT_EQ(p.vx_button2.backColor(), RGB(192, 192, 192));
  EXPECT_EQ(p.HProp1.backColor(), 0x102030u);
  EXPECT_EQ(p.HProp1.foreColor(), RGB(255, 255, 255));
  EXPECT_EQ(p.vx_pte_button15.backColor(), 12u);
  // The form's own colour is fixed, whatever the settings.
  EXPECT_EQ(Form2Window().backColor(), 0x9E958Fu);
}

TEST(SettingNumber, AcceptsDecimalAndHexLongsOnly) {
  EXPECT_EQ(platform::SettingNumber("14737632"), 14737632);
  EXPECT_EQ(platform::SettingNumber("  -1 "), -1);
  EXPECT_EQ(platform::SettingNumber("+7"), 7);
  EXPECT_EQ(platform::SettingNumber("2.5"), 2);
  EXPECT_EQ(platform::SettingNumber("3.5"), 4);
  EXPECT_EQ(platform::SettingNumber(".5"), 0);
  EXPECT_EQ(platform::SettingNumber("&HE0E0E0"), 0xE0E0E0);
  EXPECT_EQ(platform::SettingNumber("&hffffffff"), -1);
  EXPECT_EQ(platform::SettingNumber("2147483647"), 2147483647);
  for (const char* bad : {"", " ", "-", ".", "1e3", "12px", "0x10", "&H", "&H123456789", "&HG0", "1, 2",
                          "2147483648", "-2147483649"})
    EXPECT_EQ(platform::SettingNumber(bad), std::nullopt) << "'" << bad << "'";
}

// The same settings bound the undo history's memory, read at start-up: Undo_Memory_MB in megabytes; what
// is not a positive number keeps the default, a quarter of the machine's memory but at most 8 GiB.
TEST_F(ThemeTest, UndoMemoryMBSetsTheUndoBudgetAtStartUp) {
  constexpr uint64_t kMiB = uint64_t(1) << 20;
  const uint64_t fallback = canvas::History::DefaultUndoMemoryBudget();
  EXPECT_GT(fallback, 0u);
  EXPECT_LE(fallback, 8192 * kMiB);
  const std::pair<const char*, uint64_t> cases[] = {
      {"Undo_Memory_MB=3\n", 3 * kMiB}, {"Undo_Memory_MB=&H10\n", 16 * kMiB}, {"Undo_Memory_MB=0\n", fallback},
      {"Undo_Memory_MB=-4\n", fallback}, {"Undo_Memory_MB=lots\n", fallback}, {"undo_memory_mb=3\n", fallback},
  };
  for (const auto& [lines, budget] : cases) {
    Settings(lines);
    canvas::TheHistory().SetUndoMemoryBudget(1);
    Start(4, 3);
    EXPECT_EQ(canvas::TheHistory().undoMemoryBudget(), budget) << lines;
    DestroyWindows();
  }
}

// The autosave interval: whole seconds, 0 for none; a negative or unreadable value is the default, and a
// settings file that is not a regular file (a FIFO, which would never answer) is not read at all.
TEST_F(ThemeTest, AutosaveSecondsAreWholeSecondsAndASettingsFifoIsNeverRead) {
  const std::pair<const char*, int32_t> cases[] = {
      {"Autosave_Seconds=5\n", 5}, {"Autosave_Seconds=0\n", 0}, {"Autosave_Seconds=-3\n", 60},
      {"Autosave_Seconds=soon\n", 60}, {"Autosave_Seconds=2147484\n", 60}, {"", 60},
  };
  for (const auto& [lines, seconds] : cases) {
    Settings(lines);
    EXPECT_EQ(app::AutosaveSeconds(), seconds) << lines;
  }
  Settings("Autosave_Seconds=5\n");
  const std::filesystem::path file = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "tarnwick" / "tarnwick.conf";
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_EQ(app::AutosaveSeconds(), 60) << "the FIFO was read, or the start hangs here";
}

TEST_F(ThemeTest, RolesByTagAndControlsThePassLeavesAlone) {
  Settings("Special_Tool_Color=1\nSpecial_Action_Color=2\n");
  platform::Form form;
  platform::SetFixedClientSize(form, 60, 40);
  platform::VxButton swatch(form, 0, 0, 10, 10), tool(form, 10, 0, 10, 10), action(form, 20, 0, 10, 10);
  platform::PictureBox box(form, 30, 0, 10, 10);
  platform::Line line(form, 0, 20, 59, 20, 0x123456);
  swatch.SetTag("Color");
  tool.SetTag("Tool");
  action.SetTag("Action");
  swatch.SetBackColor(0x010203);
  swatch.SetGradient(1.1);
  swatch.SetHighlight(0x0A0B0C);
  swatch.SetBorderless(true);
  box.SetBackColor(0x445566);
  form.FillBox(0, 0, 59, 39, 0x777777);

  panel::PrefsCallback(form);
  EXPECT_EQ(std::make_tuple(swatch.backColor(), swatch.gradient(), swatch.highlight(), swatch.shadow(), swatch.borderless()),
            std::make_tuple(0x010203u, 1.1, 0x0A0B0Cu, RGB(32, 32, 32), true));
  EXPECT_EQ(std::make_pair(tool.backColor(), tool.gradient()), std::make_pair(1u, 1.3));
  EXPECT_EQ(std::make_pair(action.backColor(), action.gradient()), std::make_pair(2u, 1.3));
  EXPECT_EQ(box.backColor(), 0x445566u);
  EXPECT_EQ(box.Pixel(5, 5), 0x445566u);
  EXPECT_EQ(line.color(), 0x123456u);
  // The new back colour clears the form.
  EXPECT_EQ(form.SurfacePixel(59, 39), 0x9E958Fu);
}

TEST_F(ThemeTest, AFormListsItsLiveControlsInTheOrderTheyWereMade) {
  platform::Form form;
  platform::Label label(form, 0, 0, 5, 5);
  auto slider = std::make_unique<platform::HProp>(form, 0, 0, 5, 5);
  platform::ImageHolder holder(form, 0, 0, 5, 5);
  platform::Form other;
  platform::Line line(other, 0, 0, 4, 0, 0);
  std::vector<platform::ControlKind> kinds;
  for (const platform::FormControl& c : platform::FormControls(form)) kinds.push_back(c.kind());
  EXPECT_THAT(kinds, ::testing::ElementsAre(platform::ControlKind::Label, platform::ControlKind::Slider,
                                            platform::ControlKind::ImageHolder));
  slider.reset();
  ASSERT_EQ(platform::FormControls(form).size(), 2u);
  EXPECT_EQ(std::get<platform::ImageHolder*>(platform::FormControls(form)[1].control), &holder);
  EXPECT_EQ(platform::FormControls(other).size(), 1u);
}

// ---- the wallpaper -----------------------------------------------------------------------------------

TEST_F(ThemeTest, TheWallpaperTilesThePanelFromItsTopLeftCorner) {
  host = InstallRecordingHost(4, 4);
  host->wallpaper = Wallpaper(50, 40);
  app::Main();
  ASSERT_NE(panel::Image1(), nullptr);
  EXPECT_EQ(std::make_pair(panel::Image1()->width(), panel::Image1()->height()), std::make_pair(50, 40));
  platform::Form& panel = Form2Window();
  ASSERT_EQ(std::make_pair(panel.clientWidth(), panel.clientHeight()), std::make_pair(141, 490));
  // Every pixel of the panel's surface continues the tiling; tile corners sit at x = 0, 50, 100 and
  // y = 0, 40, ..., 480.
  std::set<std::pair<int, int>> corners, expected;
  int wrong = 0;
  for (int y = 0; y < 490; ++y)
    for (int x = 0; x < 141; ++x) {
      const platform::Color c = panel.SurfacePixel(x, y);
      if (c != WallPixel(x % 50, y % 40)) ++wrong;
      if (c == WallPixel(0, 0)) corners.insert({x, y});
    }
  EXPECT_EQ(wrong, 0);
  for (int y = 0; y <= 480; y += 40)
    for (int x : {0, 50, 100}) expected.insert({x, y});
  EXPECT_EQ(corners, expected);
}

TEST_F(ThemeTest, TheTriangleBoxContinuesThePanelsTiling) {
  host = InstallRecordingHost(4, 4);
  host->wallpaper = Wallpaper(50, 40);
  app::Main();
  platform::PictureBox& box = Panel().Picker;
  ASSERT_EQ(std::make_pair(box.left(), box.top()), std::make_pair(50, 296));
  TriPicker::PaintBackdrop(box);
  int wrong = 0;
  std::set<std::pair<int, int>> corners;
  for (int y = 0; y < box.height(); ++y)
    for (int x = 0; x < box.width(); ++x) {
      if (box.Pixel(x, y) != WallPixel((x + 50) % 50, (y + 296) % 40)) ++wrong;
      if (box.Pixel(x, y) == WallPixel(0, 0)) corners.insert({x, y});
    }
  EXPECT_EQ(wrong, 0);
  // Panel corners (50, 320) and (100, 360) and their kin, in box coordinates.
  EXPECT_EQ(corners, (std::set<std::pair<int, int>>{{0, 24}, {50, 24}, {0, 64}, {50, 64}}));
}

TEST_F(ThemeTest, WithoutAWallpaperThePanelAndTheBoxKeepTheirColours) {
  const std::string missing = (root_ / "none.png").string();
  std::ofstream(root_ / "broken.png") << "not a picture";
  const std::string broken = (root_ / "broken.png").string();
  for (const std::string& name : {std::string(), missing, broken, std::string("fails")}) {
    SCOPED_TRACE("wallpaper '" + name + "'");
    DestroyWindows();
    host = InstallRecordingHost(4, 4);
    host->wallpaper = name;
    if (name == "fails") host->failFrom["Tarn_WallpaperFilename"] = 1;
    app::Main();
    ASSERT_NE(panel::Image1(), nullptr);
    EXPECT_FALSE(panel::Image1()->hasPicture());
    EXPECT_EQ(std::make_pair(panel::Image1()->width(), panel::Image1()->height()), std::make_pair(78, 82));
    EXPECT_EQ(Form2Window().SurfacePixel(0, 0), 0x9E958Fu);
    EXPECT_EQ(Form2Window().SurfacePixel(140, 489), 0x9E958Fu);
    platform::PictureBox& box = Panel().Picker;
    const platform::Color before = box.Pixel(0, 0);
    TriPicker::PaintBackdrop(box);
    panel::Draw_Pattern(Form2Window());
    EXPECT_EQ(box.Pixel(0, 0), before);
    EXPECT_EQ(Form2Window().SurfacePixel(70, 100), 0x9E958Fu);
    EXPECT_TRUE(messages.empty());
  }
}

}  // namespace
}  // namespace brisel::testing
