#pragma once
// Pictures on disk for the file host's tests: a scratch folder, patterned pictures, raw bytes, planes.
// Paths are bytes, as the file host takes them: a name need not be UTF-8.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/byte_plane.h"

namespace brisel::testing {

struct Planes {
  BytePlane r, g, b;
  friend bool operator==(const Planes&, const Planes&) = default;
};

// A picture's colours as three planes.
inline Planes PlanesOf(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  Planes p{BytePlane(image.width(), image.height()), BytePlane(image.width(), image.height()),
           BytePlane(image.width(), image.height())};
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      p.r(x, y) = uint8_t(qRed(c)), p.g(x, y) = uint8_t(qGreen(c)), p.b(x, y) = uint8_t(qBlue(c));
    }
  return p;
}

class PictureFolderTest : public ::testing::Test {
 protected:
  // Removed by its bytes: QTemporaryDir cannot remove a name that is not UTF-8.
  ~PictureFolderTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_.path().toStdString(), ignored);
  }

  std::string Path(const std::string& name) const { return dir_.path().toStdString() + "/" + name; }

  // Pixel (x, y) is (7x + y, 3x + 5y, x ^ y) + seed, each mod 256.
  static QImage Pattern(int w, int h, int seed = 0) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        image.setPixel(x, y, qRgb((x * 7 + y + seed) & 255, (y * 5 + x * 3 + seed) & 255, ((x ^ y) + seed) & 255));
    return image;
  }

  static QImage Load(const std::string& path) { return QImage::fromData(ReadBytes(path)); }

  std::string Save(const std::string& name, const QImage& image) const {
    EXPECT_TRUE(image.save(QString::fromStdString(Path(name)))) << name;
    return Path(name);
  }

  std::string WriteBytes(const std::string& name, const QByteArray& bytes) const {
    std::ofstream file(Path(name), std::ios::binary | std::ios::trunc);
    EXPECT_TRUE(file.write(bytes.constData(), bytes.size()).flush()) << name;
    return Path(name);
  }

  static QByteArray ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
  }

  // The names in the scratch folder, sorted, hidden ones included: a temporary file left would show.
  QStringList Names() const { return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }


  QTemporaryDir dir_;
};

}  // namespace brisel::testing
