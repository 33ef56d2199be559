#pragma once
// Jpeg pictures through libjpeg-turbo: see picture_codec.h for what reading and writing back promise.

#include <QByteArray>

#include <string>

#include "file/picture_codec.h"

namespace brisel::filehost {

// The picture at path, whose whole content is bytes (a Jpeg file by its signature).
DecodedPicture ReadJpeg(const std::string& path, const QByteArray& bytes);

}  // namespace brisel::filehost
