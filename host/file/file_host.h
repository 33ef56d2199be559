#pragma once
// The stand-in host: answers the ProgID "PT_Embers.Wickbox_Class" with a picture file on disk.
//
//   image    IMAGE, read and written back by its format's own source (picture_codec.h), which replaces
//            only the painted pixels and keeps the rest of the file; the host reports the file as it
//            stands at each call (cached while unchanged). Without IMAGE: a new white 1024 x 768
//            picture, written at its first send to the first free brisel-N.png in the new-picture
//            folder, whose name is printed on standard output; later sends go to that file.
//   undo     Tarn_SaveUndo keeps the file's current bytes; just before the file is next overwritten they
//            are written beside it as IMAGE~ (sample.png -> sample.png~). One backup, the latest step;
//            none where IMAGE~ is not a plain file (never followed), is another user's that this one may
//            not replace (a shared sticky folder), or its name too long.
//   send     Tarn_Set?buffer stage the planes; tarn_Refresh writes them atomically, the file's own bytes
//            with the painted pixels replaced (a new picture: a PNG); a format that cannot hold the
//            painting asks first.
//            Planes equal to the file's pixels leave it untouched; a failed write is a failed call and leaves
//            the file as it was.
//            A read-only picture is refused. A picture changed on disk since the program fetched or last
//            wrote it (its bytes in place under the same modification time too) is refused with
//            kChangedOnDisk; the same send again at once writes it, while a send that starts with
//            Tarn_BufferWidth, as the program's own do, is asked about anew.
//            Brisel_ChangedBox is ignored: the file is written whole anyway.
//   paper    the built-in 256 x 256 grain, or --paper FILE read as greyscale at every call; a paper file
//            that cannot be read gives no paper (0 x 0) and one warning line on standard error.
//   wallpaper --wallpaper FILE, reported by name only.
//   name     the picture's file name (Brisel_HostName: "sample.png"), "the new picture" before a new one is
//            written.
// The details live in image_file.h, paper_source.h and picture_codec.h.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/host.h"

namespace brisel::filehost {


struct FileHostOptions {
  std::string imagePath;  // empty: a new white 1024 x 768 picture
  std::string paperPath;  // empty: the built-in grain
  std::string wallpaperPath;
  std::string newPictureFolder = ".";
  // Told the new picture's file (as written) when its first send has made it; may be empty.
  std::function<void(const std::string& path)> onNamed = {};
};

std::shared_ptr<platform::HostObject> MakeFileHost(FileHostOptions options);

// Makes platform::kHostProgId answer with a new file host on these options at each CreateObject.
void RegisterFileHost(FileHostOptions options);

// Whether the picture at path can be opened and later written back: nullopt when it can, else one
// line saying why not (naming the file), for the command line to report before start-up.
std::optional<std::string> CheckPicture(const std::string& path);

}  // namespace brisel::filehost
