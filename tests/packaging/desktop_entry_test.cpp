// The desktop entry offers Brisel for the picture types in its MimeType= key ("Open With" in file
// managers). Each must be one that Brisel opens and writes back with the colours painted on it, with the
// image plug-ins installed where the tests run: a grey-only or read-only type would lose a painting.

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QMimeDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "file/file_host.h"
#include "file/picture_codec.h"

namespace brisel::testing {
namespace {

QStringList OfferedTypes() {
  QFile entry(BRISEL_DESKTOP_ENTRY);
  if (!entry.open(QIODevice::ReadOnly)) return {};
  for (const QByteArray& line : entry.readAll().split('\n'))
    if (line.startsWith("MimeType=")) return QString::fromUtf8(line.mid(9)).split(';', Qt::SkipEmptyParts);
  return {};
}

TEST(DesktopEntry, EveryOfferedPictureTypeOpensAndTakesAColourPaintingBack) {
  const QStringList types = OfferedTypes();
  ASSERT_FALSE(types.isEmpty()) << BRISEL_DESKTOP_ENTRY;
  QTemporaryDir folder;
  for (const QString& type : types) {
    const QMimeType mime = QMimeDatabase().mimeTypeForName(type);
    if (!mime.isValid() || mime.name() != type) {  // an alias (image/jpg) is not matched by every desktop
      ADD_FAILURE() << type.toStdString() << " is no MIME type's own name";
      continue;
    }
    const std::string path = folder.filePath("picture." + mime.preferredSuffix()).toStdString();

    // A grey picture, as another program saved it.
    QImage grey(40, 30, QImage::Format_RGB32);
    grey.fill(QColor(128, 128, 128));
    if (!QImageWriter(QString::fromStdString(path)).write(grey)) {
      ADD_FAILURE() << type.toStdString() << ": no writer for it here";
      continue;
    }
    EXPECT_EQ(filehost::CheckPicture(path), std::nullopt) << type.toStdString();

    // Painted red in the middle, written back as the file host writes, and read again.
    QByteArray bytes;
    const filehost::DecodedPicture read = filehost::DecodePictureFile(path, bytes);
    if (!read.error.empty()) continue;  // said by CheckPicture
    BytePlane r = read.r, g = read.g, b = read.b;
    for (int y = 10; y < 20; ++y)
      for (int x = 10; x < 30; ++x) r(x, y) = 230, g(x, y) = 20, b(x, y) = 30;
    EXPECT_EQ(read.source->Write(filehost::Painting(r, g, b, read.r, read.g, read.b), bytes), "") << type.toStdString();
    const QColor painted = QImage::fromData(bytes).pixelColor(20, 15);
    EXPECT_TRUE(painted.red() > 200 && painted.green() < 60 && painted.blue() < 60)
        << type.toStdString() << " keeps the painting as " << painted.name().toStdString();
  }
}

}  // namespace
}  // namespace brisel::testing
