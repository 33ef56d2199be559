#include "file/paper_source.h"

#include <QImage>

#include <cstring>
#include <iostream>

#include "file/paper_grain.h"
#include "file/picture_io.h"

namespace brisel::filehost {

GreyPicture ReadGreyPicture(const std::string& path) {
  ReadPictureResult read = ReadPicture(path);
  if (!read.error.empty()) return {{}, read.error};
  const QImage grey = read.image.convertToFormat(QImage::Format_Grayscale8);
  GreyPicture result{BytePlane(grey.width(), grey.height()), {}};
  for (int32_t y = 0; y < grey.height(); ++y)
    std::memcpy(result.plane.row(y), grey.constScanLine(y), size_t(grey.width()));
  return result;
}

PaperSource::PaperSource(std::string path) : path_(std::move(path)) {}

std::shared_ptr<const BytePlane> PaperSource::Current() {
  if (path_.empty()) {
    if (!paper_) paper_ = std::make_shared<const BytePlane>(MakePaperGrain());
    return paper_;
  }
  const std::optional<FileStamp> stamp = StampOf(path_);
  if (cached_ && stamp == stamp_) return paper_;

  GreyPicture read = ReadGreyPicture(path_);
  if (!read.error.empty()) std::cerr << "brisel: no paper texture: " << read.error << std::endl;
  paper_ = std::make_shared<const BytePlane>(std::move(read.plane));
  stamp_ = stamp;
  cached_ = true;
  return paper_;
}

}  // namespace brisel::filehost
