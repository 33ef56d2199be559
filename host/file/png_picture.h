#pragma once
// Png pictures through libpng: see picture_codec.h for what reading and writing back promise.

#include <QByteArray>

#include <string>

#include "file/picture_codec.h"

namespace brisel::filehost {

// The picture at path, whose whole content is bytes (a Png file by its signature).
DecodedPicture ReadPng(const std::string& path, const QByteArray& bytes);

}  // namespace brisel::filehost
