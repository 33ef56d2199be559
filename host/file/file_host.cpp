#include "file/file_host.h"

#include <utility>

#include "common/host_table.h"
#include "file/image_file.h"
#include "file/paper_source.h"
#include "file/picture_codec.h"
#include "file/picture_io.h"
#include "file/picture_path.h"
#include "platform/window.h"

namespace brisel::filehost {
namespace {

ImageFile::Channel ToFileChannel(host::Channel channel) {
  switch (channel) {
    case host::Channel::kRed: return ImageFile::kRed;
    case host::Channel::kGreen: return ImageFile::kGreen;
    case host::Channel::kBlue: return ImageFile::kBlue;
  }
  return ImageFile::kRed;
}

class FileHost final : public host::HostTable {
 public:
  explicit FileHost(FileHostOptions options)
      : image_(std::move(options.imagePath), std::move(options.newPictureFolder), std::move(options.onNamed)),
        paper_(std::move(options.paperPath)),
        wallpaper_(std::move(options.wallpaperPath)) {}

 private:
  int32_t PaperWidth() override { return paper_.Current()->width(); }
  int32_t PaperHeight() override { return paper_.Current()->height(); }
  BytePlane Paper() override { return *paper_.Current(); }
  // The program asks the size before every send of its own: a change on disk is asked about anew.
  int32_t BufferWidth() override {
    image_.AskAgain();
    return image_.CurrentSize().width();
  }
  int32_t BufferHeight() override { return image_.CurrentSize().height(); }
  BytePlane Buffer(host::Channel channel) override {
    const auto picture = image_.HandOver();
    switch (channel) {
      case host::Channel::kRed: return picture->r;
      case host::Channel::kGreen: return picture->g;
      case host::Channel::kBlue: return picture->b;
    }
    return {};
  }
  void SaveUndo() override { image_.SaveUndo(); }
  void Stage(host::Channel channel, const BytePlane& plane) override { image_.Stage(ToFileChannel(channel), plane); }
  void Refresh() override { image_.Refresh(); }
  std::string WallpaperFilename() override { return wallpaper_; }
  // This host sets nothing in return: it only shows the window.
  void TakeForm(platform::Form& form) override { form.Show(); }
  // The picture file by its name; a new picture has none until its first send writes it.
  std::string HostName() override {
    return image_.path().empty() ? "the new picture" : FileNameOf(image_.path());
  }

  ImageFile image_;
  PaperSource paper_;
  std::string wallpaper_;
};

}  // namespace

std::shared_ptr<platform::HostObject> MakeFileHost(FileHostOptions options) {
  return std::make_shared<FileHost>(std::move(options));
}

void RegisterFileHost(FileHostOptions options) {
  platform::RegisterHost(platform::kHostProgId, [options] { return MakeFileHost(options); });
}

std::optional<std::string> CheckPicture(const std::string& path) {
  QByteArray bytes;
  const DecodedPicture read = DecodePictureFile(path, bytes);
  if (!read.error.empty()) return read.error;
  return std::nullopt;
}

}  // namespace brisel::filehost
