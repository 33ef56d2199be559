#pragma once
// The paper texture the host reports: the built-in grain, or a picture file read as greyscale.
//
// The file is looked at again on every call and decoded again only when it changed on disk, so a paper
// replaced by another program is what the next "Get paper" receives. A paper file that cannot be read
// gives no paper (0 x 0, an empty plane) and one warning line on standard error per version of the file.

#include <memory>
#include <optional>
#include <string>

#include "file/file_stamp.h"
#include "platform/byte_plane.h"

namespace brisel::filehost {

class PaperSource {
 public:
  explicit PaperSource(std::string path);  // empty: the built-in grain
  std::shared_ptr<const BytePlane> Current();

 private:
  std::string path_;
  bool cached_ = false;
  std::optional<FileStamp> stamp_;  // the version paper_ came from; nullopt for a file that was missing
  std::shared_ptr<const BytePlane> paper_;
};

// A picture file as greyscale bytes, or the reason it cannot be read.
struct GreyPicture {
  BytePlane plane;
  std::string error;
};
GreyPicture ReadGreyPicture(const std::string& path);

}  // namespace brisel::filehost
