#pragma once
// What the recovery copies' writers share (recovery_qt.cpp): the encoding of a copy, the places a copy may
// go and its atomic landing there.

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_plane.h"

namespace brisel::platform {

// Makes folder and its missing parents, private to the user.
bool MakeFolder(const std::string& folder);

// Writes size bytes of data to path atomically as the user's alone (0600), whatever the umask or the
// picture's permissions, never through a link in its place; empty or why not.
std::string WritePrivateFile(const std::string& path, const char* data, size_t size);

// What a copy the journal writes says of its painting: the fingerprint of the picture it started from, and
// which pixels it changed (platform::PaintedMaskBits over the whole picture).
struct PaintedPart {
  uint64_t startFingerprint = 0;
  std::string maskBits;
};

// A copy's PNG of the planes, naming picture and the journal's last record it holds (sequence), and what was
// painted where given; empty or why not (kNotEnoughMemory first when memory ran short).
std::string EncodeCopy(const std::string& picture, uint64_t sequence, const BytePlane& red, const BytePlane& green,
                       const BytePlane& blue, QByteArray& bytes, const PaintedPart* painted = nullptr);

// Where the copy named path may go, in order: path, the runtime folder, beside the picture.
std::vector<std::string> RecoveryPlaces(const std::string& path, const std::string& picture);

// Writes encoded bytes at the first of the places that takes them; written receives which; empty or why
// not (the first place's reason).
std::string WriteEncoded(const std::string& path, const std::string& picture, const QByteArray& bytes,
                         std::string& written);

}  // namespace brisel::platform
