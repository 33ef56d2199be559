#include "file/file_host.h"

#include <array>
#include <utility>

#include "file/image_file.h"
#include "file/paper_source.h"
#include "file/picture_io.h"
#include "platform/window.h"

namespace brisel::filehost {
namespace {

using platform::Variant;
using Args = std::span<Variant>;

constexpr int32_t kWrongArgumentCount = 450;

void ExpectArgs(Args args, size_t count) {
  if (args.size() != count)
    throw Error(kWrongArgumentCount, "Wrong number of arguments or invalid property assignment");
}

[[noreturn]] void TypeMismatch() { throw Error(errors::kTypeMismatch, "Type mismatch"); }

class FileHost final : public platform::HostObject {
 public:
  explicit FileHost(FileHostOptions options)
      : image_(std::move(options.imagePath), std::move(options.newPictureFolder)),
        paper_(std::move(options.paperPath)),
        wallpaper_(std::move(options.wallpaperPath)) {}

  Variant Invoke(std::string_view name, Args args) override {
    for (const auto& [methodName, argCount, method] : kMethods) {
      if (name != methodName) continue;
      ExpectArgs(args, argCount);
      return (this->*method)(args);
    }
    throw Error(errors::kNoSuchMethod, "Object doesn't support this property or method");
  }

 private:
  using Method = Variant (FileHost::*)(Args);
  struct MethodEntry {
    std::string_view name;
    size_t argCount;
    Method method;
  };

  Variant PaperWidth(Args) { return paper_.Current()->width(); }
  Variant PaperHeight(Args) { return paper_.Current()->height(); }
  Variant Paper(Args) { return BytePlane(*paper_.Current()); }
  Variant BufferWidth(Args) { return image_.Current()->width(); }
  Variant BufferHeight(Args) { return image_.Current()->height(); }
  Variant RBuffer(Args) { return BytePlane(image_.Current()->r); }
  Variant GBuffer(Args) { return BytePlane(image_.Current()->g); }
  Variant BBuffer(Args) { return BytePlane(image_.Current()->b); }
  Variant SetR(Args a) { return Stage(ImageFile::kRed, a); }
  Variant SetG(Args a) { return Stage(ImageFile::kGreen, a); }
  Variant SetB(Args a) { return Stage(ImageFile::kBlue, a); }
  Variant Wallpaper(Args) { return wallpaper_; }
  Variant SaveUndo(Args) {
    image_.SaveUndo();
    return {};
  }
  Variant Refresh(Args) {
    image_.Refresh();
    return {};
  }

  // The plane comes by reference to the program's own array; the host keeps a copy.
  Variant Stage(ImageFile::Channel channel, Args args) {
    if (auto* ref = std::get_if<BytePlane*>(&args[0]); ref && *ref) {
      image_.Stage(channel, **ref);
    } else if (auto* plane = std::get_if<BytePlane>(&args[0])) {
      image_.Stage(channel, *plane);
    } else {
      TypeMismatch();
    }
    return {};
  }

  // The canvas window, then an Integer the host may set; this host shows the window and sets nothing.
  Variant SendFormObject(Args args) {
    auto* form = std::get_if<platform::Form*>(&args[0]);
    if (!form || !*form) TypeMismatch();
    if (!std::holds_alternative<int16_t*>(args[1]) && !std::holds_alternative<int16_t>(args[1])) TypeMismatch();
    (*form)->Show();
    return {};
  }

  // Names as the program calls them: case matters.
  static constexpr std::array<MethodEntry, 15> kMethods = {{
      {"Tarn_GetPaperWidth", 0, &FileHost::PaperWidth},
      {"tarn_GetPaperHeight", 0, &FileHost::PaperHeight},
      {"Tarn_GetPaper", 0, &FileHost::Paper},
      {"Tarn_BufferWidth", 0, &FileHost::BufferWidth},
      {"Tarn_BufferHeight", 0, &FileHost::BufferHeight},
      {"Tarn_GetRBuffer", 0, &FileHost::RBuffer},
      {"Tarn_GetGBuffer", 0, &FileHost::GBuffer},
      {"Tarn_GetBBuffer", 0, &FileHost::BBuffer},
      {"Tarn_SaveUndo", 0, &FileHost::SaveUndo},
      {"Tarn_SetRbuffer", 1, &FileHost::SetR},
      {"Tarn_SetGbuffer", 1, &FileHost::SetG},
      {"Tarn_SetBbuffer", 1, &FileHost::SetB},
      {"tarn_Refresh", 0, &FileHost::Refresh},
      {"Tarn_WallpaperFilename", 0, &FileHost::Wallpaper},
      {"Tarn_SendFormObject", 2, &FileHost::SendFormObject},
  }};

  ImageFile image_;
  PaperSource paper_;
  std::string wallpaper_;
};

}  // namespace

std::shared_ptr<platform::HostObject> MakeFileHost(FileHostOptions options) {
  return std::make_shared<FileHost>(std::move(options));
}

void RegisterFileHost(FileHostOptions options) {
  platform::RegisterHost(kFileHostProgId, [options] { return MakeFileHost(options); });
}

std::optional<std::string> CheckPicture(const std::string& path) {
  const ReadPictureResult read = ReadPicture(path);
  if (!read.error.empty()) return read.error;
  if (WriteFormatFor(path, read.format).isEmpty())
    return path + " can be read but not written back (Brisel has no writer for " + read.format.toStdString() +
           " pictures); convert it to PNG first";
  return std::nullopt;
}

}  // namespace brisel::filehost
