#pragma once
// Pictures on disk for the file host's tests: a scratch folder, patterned pictures, raw bytes, planes.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
  std::string Path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }

  // Pixel (x, y) is (7x + y, 3x + 5y, x ^ y) + seed, each mod 256.
  static QImage Pattern(int w, int h, int seed = 0) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        image.setPixel(x, y, qRgb((x * 7 + y + seed) & 255, (y * 5 + x * 3 + seed) & 255, ((x ^ y) + seed) & 255));
    return image;
  }

  static QImage Load(const std::string& path) { return QImage(QString::fromStdString(path)); }

  std::string Save(const std::string& name, const QImage& image) const {
    EXPECT_TRUE(image.save(QString::fromStdString(Path(name)))) << name;
    return Path(name);
  }

  std::string WriteBytes(const std::string& name, const QByteArray& bytes) const {
    QFile file(QString::fromStdString(Path(name)));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << name;
    return Path(name);
  }

  static QByteArray ReadBytes(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  // The names in the scratch folder, sorted, hidden ones included: a temporary file left would show.
  QStringList Names() const { return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }


  QTemporaryDir dir_;
};

}  // namespace brisel::testing
