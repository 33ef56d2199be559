// The GIMP host inside a real GIMP: one headless gimp-console run loads small pictures, calls the probe
// plug-in (which calls the host as the program does) and the Brisel plug-in itself, and saves the
// layers; the cases below read what it left.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

namespace {

constexpr int kWidth = 40;
constexpr int kHeight = 30;

// Colours where every byte value turns up somewhere, the same at every run.
uint32_t Noise(int x, int y, int salt) {
  uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(salt) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

QImage MakePicture(QImage::Format format) {
  QImage image(kWidth, kHeight, format);
  if (format == QImage::Format_Indexed8) {
    image.setColorCount(16);
    for (int i = 0; i < 16; ++i) image.setColor(i, qRgb(i * 16, 255 - i * 16, (i * 97) & 255));
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) image.setPixel(x, y, Noise(x, y, 1) % 16);
    return image;
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t n = Noise(x, y, 2);
      const int alpha = format == QImage::Format_ARGB32 ? 20 + int(n >> 24) % 236 : 255;
      image.setPixel(x, y, qRgba(int(n & 255), int((n >> 8) & 255), int((n >> 16) & 255), alpha));
    }
  }
  if (format == QImage::Format_Grayscale8) return image.convertToFormat(QImage::Format_Grayscale8);
  return image;
}

using Report = std::map<std::string, std::string>;

class GimpHostSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(dir_->isValid());
    const QDir root(dir_->path());
    // A profile of our own: the two plug-ins installed as `make install-gimp-plugin` would, and the data
    // folders GIMP writes to at exit.
    for (const char* sub : {"plug-ins/brisel", "plug-ins/brisel-probe", "brushes", "gradients", "patterns", "palettes",
                            "dynamics", "tool-presets"})
      ASSERT_TRUE(root.mkpath(QString("profile/") + sub));
    ASSERT_TRUE(root.mkpath("out"));
    ASSERT_TRUE(QFile::copy(BRISEL_GIMP_PLUGIN, root.filePath("profile/plug-ins/brisel/brisel")));
    ASSERT_TRUE(QFile::copy(BRISEL_GIMP_PROBE, root.filePath("profile/plug-ins/brisel-probe/brisel-probe")));

    ASSERT_TRUE(MakePicture(QImage::Format_RGB32).save(In("rgb")));
    ASSERT_TRUE(MakePicture(QImage::Format_ARGB32).save(In("rgba")));
    ASSERT_TRUE(MakePicture(QImage::Format_Grayscale8).save(In("grey")));
    ASSERT_TRUE(MakePicture(QImage::Format_Indexed8).save(In("indexed")));

    QProcess gimp;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(BRISEL_GIMP_MAJOR >= 3 ? "GIMP3_DIRECTORY" : "GIMP2_DIRECTORY", root.filePath("profile"));
    env.insert("XDG_STATE_HOME", root.filePath("state"));  // the plug-in's recovery copies stay in the test
    // No window system at all, as on a server: the plug-in must say so rather than open windows.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    gimp.setProcessEnvironment(env);
    gimp.setProcessChannelMode(QProcess::MergedChannels);
    // One -b: each starts a fresh interpreter, so the pictures are loaded and used in one expression.
    QStringList args{"-i", "-f", "-b", QString::fromStdString(Batch()), "-b", "(gimp-quit 0)"};
    if (BRISEL_GIMP_MAJOR >= 3) args = QStringList{"--batch-interpreter", "plug-in-script-fu-eval"} + args;
    gimp.start(BRISEL_GIMP_CONSOLE, args);
    ASSERT_TRUE(gimp.waitForStarted()) << "gimp-console did not start";
    const bool finished = gimp.waitForFinished(180000);
    log_ = gimp.readAll().toStdString();
    ASSERT_TRUE(finished) << "gimp-console did not finish in 3 minutes:\n" << log_;
  }
  static void TearDownTestSuite() { dir_.reset(); }

  static QString In(const char* name) { return QDir(dir_->path()).filePath(QString(name) + ".png"); }
  static std::string Out(const std::string& name) {
    return QDir(dir_->path()).filePath(QString::fromStdString("out/" + name)).toStdString();
  }

  // The Script-Fu of the run, in the words of the prelude for this GIMP (gimp2.scm or gimp3.scm).
  static std::string Batch() {
    auto load = [](const char* name) {
      return std::string("(") + name + " (brisel-load \"" + In(name).toStdString() + "\"))";
    };
    std::ostringstream s;
    s << "(begin (load \"" << BRISEL_GIMP_PRELUDE << "\")\n"
      << "(let* (" << load("rgb") << load("rgba") << load("grey") << load("indexed")
      << " (layer (brisel-drawable rgb))"
      << " (indexed-layer (brisel-drawable indexed)))\n"
      << " (brisel-probe rgb rgba grey indexed \"" << Out("") << "\")\n"
      // The plug-in itself, where it must refuse before any window opens; its message lands in the log.
      << " (catch #f (brisel-paint indexed (list indexed-layer)))\n"
      << (BRISEL_GIMP_MAJOR >= 3 ? " (catch #f (brisel-paint rgb (list layer layer)))\n" : "")
      << " (let ((mask (car (gimp-layer-create-mask layer ADD-MASK-WHITE))))"
      << "   (gimp-layer-add-mask layer mask)"
      << "   (catch #f (brisel-paint rgb (list mask))))\n"
      << " (catch #f (brisel-paint rgb (list layer)))))";
    return s.str();
  }

  // The probe's lines for one case, keys without the case's name.
  static Report ReadReport(const std::string& name) {
    Report report;
    QFile file(QString::fromStdString(Out("report.txt")));
    if (!file.open(QIODevice::ReadOnly)) {
      ADD_FAILURE() << "the probe wrote no report; GIMP said:\n" << log_;
      return report;
    }
    const QByteArray prefix = QByteArray::fromStdString(name + ".");
    for (const QByteArray& line : file.readAll().split('\n')) {
      const int eq = line.indexOf('=');
      if (eq > 0 && line.startsWith(prefix))
        report[line.mid(prefix.size(), eq - prefix.size()).toStdString()] = line.mid(eq + 1).toStdString();
    }
    if (report.count("failed")) ADD_FAILURE() << name << " failed: " << report.at("failed");
    return report;
  }

  static QImage Saved(const std::string& name) {
    QImage image(QString::fromStdString(Out(name + ".png")));
    if (image.isNull()) ADD_FAILURE() << "the probe saved no " << name << ".png; GIMP said:\n" << log_;
    return image;
  }

  // Whether pixel (x, y) of after is before's inverted, or the same, colour by colour; alpha unchanged.
  static bool Inverted(const QImage& before, const QImage& after, int x, int y) {
    const QRgb b = before.pixel(x, y), a = after.pixel(x, y);
    return qRed(a) == 255 - qRed(b) && qGreen(a) == 255 - qGreen(b) && qBlue(a) == 255 - qBlue(b) &&
           qAlpha(a) == qAlpha(b);
  }
  static bool Same(const QImage& before, const QImage& after, int x, int y) {
    return before.pixel(x, y) == after.pixel(x, y);
  }

  // Counts the pixels of the layer not as expected: inverted inside box (layer pixels), the same outside.
  static int Mismatches(const char* picture, const std::string& saved, const QRect& box) {
    const QImage before(In(picture));
    const QImage after = Saved(saved);
    if (after.isNull()) return -1;
    EXPECT_EQ(after.size(), before.size());
    int wrong = 0;
    for (int y = 0; y < before.height(); ++y)
      for (int x = 0; x < before.width(); ++x)
        wrong += box.contains(x, y) ? !Inverted(before, after, x, y) : !Same(before, after, x, y);
    return wrong;
  }

  static std::unique_ptr<QTemporaryDir> dir_;
  static std::string log_;
};

std::unique_ptr<QTemporaryDir> GimpHostSuite::dir_;
std::string GimpHostSuite::log_;

const QRect kWholeLayer(0, 0, kWidth, kHeight);

TEST_F(GimpHostSuite, SendsBackThePlanesOfRgbAndGreyLayers) {
  for (const char* picture : {"rgb", "grey"}) {
    SCOPED_TRACE(picture);
    const Report report = ReadReport(std::string("invert-") + picture);
    EXPECT_EQ(report.at("width"), std::to_string(kWidth));
    EXPECT_EQ(report.at("height"), std::to_string(kHeight));
    EXPECT_EQ(report.at("sent"), "yes") << (report.count("error") ? report.at("error") : "");
    EXPECT_EQ(Mismatches(picture, std::string("invert-") + picture, kWholeLayer), 0);
  }
}

// An alpha layer shows on white: painted (the colours shown inverted), a pixel shows on white as painted, at no
// less alpha than it had; every other keeps its colour and alpha (one cleared left of x = 16 its alpha 0).
TEST_F(GimpHostSuite, AnAlphaLayerShowsOnWhiteAndTakesWhatWasPaintedAlone) {
  const auto onWhite = [](QRgb p, int c) {
    const int a = qAlpha(p), v = c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p);
    return (v * a + 255 * (255 - a) + 127) / 255;
  };
  for (const auto& [name, square, cleared] : {std::tuple{"invert-rgba", kWholeLayer, 0},
                                              {"transparent", QRect(10, 10, 12, 12), 16}}) {
    SCOPED_TRACE(name);
    const QImage before(In("rgba")), after = Saved(name);
    ASSERT_EQ(after.size(), before.size());
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const QRgb old = x < cleared ? qRgba(255, 255, 255, 0) : before.pixel(x, y), now = after.pixel(x, y);
        const bool painted = square.contains(x, y);
        bool ok = painted ? qAlpha(now) >= qAlpha(old) : x < cleared ? qAlpha(now) == 0 : now == old;
        for (int c = 0; c < 3 && painted; ++c) ok = ok && qAbs(onWhite(now, c) - (255 - onWhite(old, c))) <= 1;
        wrong += !ok;
      }
    EXPECT_EQ(wrong, 0);
  }
}

// Recovery copies are found by identity: two new images alike in all GIMP shows of them never share one.
TEST_F(GimpHostSuite, NoTwoUnnamedPicturesShareAnIdentity) {
  EXPECT_NE(ReadReport("new1").at("identity"), ReadReport("new2").at("identity"));
}

// A clean image that stays clean proves nothing was merged, so no undo step was pushed.
TEST_F(GimpHostSuite, ASendThatChangesNothingLeavesGimpsImageAlone) {
  const Report unchanged = ReadReport("unchanged");
  EXPECT_EQ(unchanged.at("sent"), "yes");
  EXPECT_EQ(unchanged.at("dirty"), "0");
  const Report grey = ReadReport("grey-again");
  EXPECT_EQ(grey.at("dirty"), "0");
}

TEST_F(GimpHostSuite, ASelectionLimitsTheChangeInLayerCoordinates) {
  EXPECT_EQ(Mismatches("rgb", "selection", QRect(10, 8, 20, 12)), 0);
  // A stroke inside the selection changes its own box, and the selection is put back as it was.
  EXPECT_EQ(Mismatches("rgb", "selection-stroke", QRect(12, 10, 4, 4)), 0);
  EXPECT_EQ(ReadReport("selection-stroke").at("selection_after"), "10,8,30,20");
  // The layer moved by (7, 5): the image's (17, 13) is the layer's (10, 8).
  EXPECT_EQ(Mismatches("rgb", "offset", QRect(10, 8, 20, 12)), 0);
}

TEST_F(GimpHostSuite, ALayerResizedOrDeletedMeanwhileIsAChangedSizeAndRefusesTheSend) {
  const Report resized = ReadReport("resize");
  EXPECT_EQ(resized.at("width_after"), std::to_string(kWidth + 10));
  EXPECT_EQ(resized.at("sent"), "no");
  EXPECT_NE(resized.at("error").find("40 x 30"), std::string::npos) << resized.at("error");
  const QImage before(In("rgb")), after = Saved("resize");
  ASSERT_EQ(after.width(), kWidth + 10);
  int changed = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) changed += !Same(before, after, x, y);
  EXPECT_EQ(changed, 0);

  const Report deleted = ReadReport("delete");
  EXPECT_EQ(deleted.at("width_after"), "0");
  EXPECT_EQ(deleted.at("height_after"), "0");
  EXPECT_EQ(deleted.at("sent"), "no");
  EXPECT_NE(deleted.at("error").find("no longer in GIMP"), std::string::npos) << deleted.at("error");
  EXPECT_EQ(deleted.at("gone"), "The layer Brisel was started on is no longer in GIMP.");  // for the program to say
  EXPECT_EQ(deleted.at("gone_closed"), "The image Brisel was started on is no longer open in GIMP.");
}

// Against a reference merge: the painted line as painted, every other pixel as GIMP left it.
TEST_F(GimpHostSuite, ASendWritesBrisselsStrokesAloneOverGimpsOwnEdits) {
  EXPECT_EQ(ReadReport("gimp-edit").at("sent"), "yes");
  const QImage before(In("rgb")), after = Saved("gimp-edit");
  ASSERT_FALSE(after.isNull());
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      wrong += (x == y && x >= 5 && x < 16) ? after.pixel(x, y) != qRgb(255, 255, 255) : !Inverted(before, after, x, y);
  EXPECT_EQ(wrong, 0);
  // The program is told what the layer holds otherwise than it sent: the inverted pixels of the box, all but
  // the painted diagonal; shown, the box is the layer's.
  EXPECT_EQ(ReadReport("gimp-edit").at("held_taken"), std::to_string(11 * 11 - 11));
  EXPECT_EQ(ReadReport("gimp-edit").at("held_unlike"), "0");
  // Moved partly off the image, the layer takes a stroke on its part outside.
  EXPECT_EQ(Mismatches("rgb", "outside", QRect(0, 0, 8, 8)), 0);
}

TEST_F(GimpHostSuite, ASendRefusedForWhatCameAboutMeanwhileSaysWhyAndLeavesTheImageClean) {
  const Report locked = ReadReport("locked");
  EXPECT_EQ(locked.at("sent"), "no");
  EXPECT_NE(locked.at("error").find("locked"), std::string::npos) << locked.at("error");
  EXPECT_EQ(locked.at("dirty"), "0");
  const Report indexed = ReadReport("indexed-meanwhile");
  EXPECT_EQ(indexed.at("sent"), "no");
  EXPECT_NE(indexed.at("error").find("this image is indexed"), std::string::npos) << indexed.at("error");
}

TEST_F(GimpHostSuite, AlphaKeepsEveryBitInDeepLayersWherePaintingNeedsNoMore) {
  for (const auto& [name, bytes] : {std::pair{"deep-alpha16", "8"}, {"deep-alpha32", "16"}}) {
    SCOPED_TRACE(name);
    const Report report = ReadReport(name);
    EXPECT_EQ(report.at("bytes_per_pixel"), bytes);
    EXPECT_EQ(report.at("sent"), "yes");
    EXPECT_EQ(report.at("alpha_moved"), "0");
    EXPECT_EQ(report.at("colour_moved"), std::to_string(kWidth * kHeight));
  }
}

TEST_F(GimpHostSuite, PaperIsTheCurrentPatternInGrey) {
  const Report paper = ReadReport("paper");
  EXPECT_EQ(paper.at("paper_width"), paper.at("pattern_width"));
  EXPECT_EQ(paper.at("paper_height"), paper.at("pattern_height"));
  EXPECT_EQ(paper.at("texture_width"), paper.at("pattern_width"));
  EXPECT_EQ(paper.at("texture_height"), paper.at("pattern_height"));
  EXPECT_GT(std::stol(paper.at("texture_sum")), 0);
}

TEST_F(GimpHostSuite, PixelsLeftAloneKeepEveryBitInSixteenAndThirtyTwoBitLayers) {
  for (const auto& [name, bytes] : {std::pair{"precision", "6"}, {"precision32", "12"}}) {
    SCOPED_TRACE(name);
    const Report precision = ReadReport(name);
    EXPECT_EQ(precision.at("bytes_per_pixel"), bytes);  // 3 channels of 16 or 32 bits
    EXPECT_EQ(precision.at("sent"), "yes");
    EXPECT_EQ(precision.at("corners_moved"), "2");
    EXPECT_EQ(precision.at("others_moved"), "0");
  }
}

// A send of a stroke's box writes that box alone, without the program's box the same pixels land; the
// figures are printed for the record (a benchmark, not a timed test).
TEST_F(GimpHostSuite, ASendWritesWhatChangedOnALargeLayerAndSaysHowLongItTook) {
  const Report big = ReadReport("big");
  for (const char* prefix : {"first_", "", "unboxed_", "all_"})
    EXPECT_EQ(big.at(std::string(prefix) + "sent"), "yes") << prefix;
  // After the last send everything is inverted but the three strokes, which were inverted twice.
  EXPECT_EQ(big.at("changed"), std::to_string(4000 * 3000 - 3 * 100 * 100));
  std::printf("GIMP %d host, 4000 x 3000 layer: send after a 100 x 100 stroke %s ms (the first send %s ms; "
              "without the changed box %s ms), send that changes everything %s ms\n",
              BRISEL_GIMP_MAJOR, big.at("send_ms").c_str(), big.at("first_send_ms").c_str(),
              big.at("unboxed_send_ms").c_str(), big.at("all_send_ms").c_str());
}

TEST_F(GimpHostSuite, IndexedImagesMasksAndChannelsAreRefusedWithAReason) {
  EXPECT_EQ(ReadReport("accepted").at("refused"), "no");
  const std::map<std::string, std::string> refusals = {
      {"indexed", "indexed"}, {"mask", "mask"}, {"channel", "channels"}};
  for (const auto& [name, word] : refusals) {
    SCOPED_TRACE(name);
    const Report report = ReadReport(name);
    EXPECT_EQ(report.at("refused"), "yes");
    EXPECT_NE(report.at("reason").find(word), std::string::npos) << report.at("reason");
  }
  // The plug-in said so itself, and GIMP passed it on.
  EXPECT_NE(log_.find("this image is indexed"), std::string::npos) << log_;
  EXPECT_NE(log_.find("not on its mask"), std::string::npos) << log_;
  // GIMP 3 can hand a plug-in several layers at once.
  if (BRISEL_GIMP_MAJOR >= 3) {
    EXPECT_NE(log_.find("select just one layer"), std::string::npos) << log_;
  }
}

TEST_F(GimpHostSuite, WithoutADisplayThePluginSaysSoInsteadOfCrashing) {
  EXPECT_NE(log_.find("GIMP runs without a display here"), std::string::npos) << log_;
  EXPECT_EQ(log_.find("crashed"), std::string::npos) << log_;
}

}  // namespace
