#include "file/png_picture.h"

#include "file/qt_picture.h"

namespace brisel::filehost {

// Not yet its own reader: Qt's plug-ins, as before.
DecodedPicture ReadPng(const std::string& path, const QByteArray& bytes) {
  return ReadThroughQt(path, bytes, QtRoundTrip::kAsBefore);
}

}  // namespace brisel::filehost
