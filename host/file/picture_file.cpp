// Which reader a picture file goes to: its content's signature decides, never its name.

#include <QFile>

#include "file/bmp_picture.h"
#include "file/jpeg_picture.h"
#include "file/picture_codec.h"
#include "file/picture_io.h"
#include "file/picture_path.h"
#include "file/png_picture.h"
#include "file/pnm_picture.h"
#include "file/qt_picture.h"
#include "file/tiff_picture.h"
#include "file/webp_picture.h"

namespace brisel::filehost {

DecodedPicture DecodePictureFile(const std::string& path, QByteArray& bytes) {
  bytes.clear();
  if (const std::string why = WhyNotAPictureFile(path); !why.empty()) return Refused(why);
  QFile file;
  if (const std::string why = OpenForReading(path, file); !why.empty()) return Refused(path + " cannot be opened: " + why);
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return Refused(path + " cannot be read: " + file.errorString().toStdString());
  return DecodePictureBytes(path, bytes);
}

DecodedPicture DecodePictureBytes(const std::string& path, const QByteArray& bytes) {
  auto starts = [&](const char* signature, qsizetype length, qsizetype at = 0) {
    return bytes.size() >= at + length && bytes.mid(at, length) == QByteArray(signature, length);
  };
  if (starts("\x89PNG\r\n\x1a\n", 8)) return ReadPng(path, bytes);
  if (starts("\xff\xd8\xff", 3)) return ReadJpeg(path, bytes);
  if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4)) return ReadTiff(path, bytes);
  if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return ReadWebp(path, bytes);
  if (starts("BM", 2)) return ReadBmp(path, bytes);
  if (bytes.size() >= 3 && bytes[0] == 'P' && bytes[1] >= '1' && bytes[1] <= '7' &&
      (bytes[2] == ' ' || bytes[2] == '\t' || bytes[2] == '\n' || bytes[2] == '\r' || bytes[2] == '#'))
    return ReadPnm(path, bytes);
  return ReadThroughQt(path, bytes, QtRoundTrip::kMustBeExact);
}

}  // namespace brisel::filehost
