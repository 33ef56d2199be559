#pragma once
// Pictures through Qt's image plug-ins, for the formats that have no reader of their own here (XPM, XBM,
// WBMP, ICO, ...). Qt decodes and encodes a picture whole, format-blind, so a file goes this way only where
// writing back what was read gives the very pixels again (checked at reading, on the decoded picture and
// its model); any other is refused with the reason.

#include <QByteArray>

#include <string>

#include "file/picture_codec.h"

namespace brisel::filehost {

enum class QtRoundTrip {
  kMustBeExact,  // refused where Qt's writer would not give back the pixels and the model read
  kAsBefore,     // taken as Qt reads it, as every picture was before its format had a reader of its own
                 // (what the benchmarks compare a send with)
};

// The picture at path (its whole content is bytes), read by Qt's plug-ins.
DecodedPicture ReadThroughQt(const std::string& path, const QByteArray& bytes, QtRoundTrip roundTrip);

}  // namespace brisel::filehost
