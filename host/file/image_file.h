#pragma once
// The host's image: a picture file on disk or, until it is first sent, a new white picture in memory.
//
// Reading: what the host reports is the file as it stands at each call. It is decoded once per version
// of the file (device, inode, size and nanosecond times, see file_stamp.h), so a picture replaced on
// disk by another program is what the next call sees.
//
// Undo: SaveUndo copies the file's bytes as they are at that moment. Just before the file is next
// overwritten, that copy is written beside it as "<IMAGE>~" (sample.png -> sample.png~), replacing the
// backup of the step before: one undo step, one backup. A send that changes nothing writes no backup.
// The backup's name is never resolved: where a symbolic link, a folder or anything but a regular file
// stands there, where the name would be too long for the file system, or where another user's file stands
// there that this user may not replace (a shared folder with the sticky bit, such as /tmp), no backup is
// written, and standard error says so. The backup takes the picture's permissions (and, for root, its owner).
//
// Writing: the red, green and blue planes are staged one by one; Refresh writes them through the picture's
// source (picture_codec.h: the file's own bytes, only the painted pixels replaced), atomically (a temporary
// file in the same folder, renamed over the old one).
// Temporary files that interrupted writes left beside the picture or its backup are removed when the
// ImageFile is made, once their writer no longer runs (platform/atomic_file.h).
// Planes equal to the file's pixels leave the file untouched. A picture this user may not write (0444) is
// not replaced: the send fails. A picture changed on disk (another file in its place, another size or
// modification time, or other bytes in place under the same modification time, which the change time and
// a digest of the bytes tell) since the program last fetched its planes or since the last write is not
// overwritten unasked: the send fails with kChangedOnDisk, saying what changed; the same send made again
// at once overwrites it (a deleted picture is written anew), while a new send, which starts with
// AskAgain (Tarn_BufferWidth), is refused again. A painting the format cannot hold (colour on a PGM; anything
// but black and white on a PBM, XBM or WBMP) is refused likewise with kAskBeforeWriting, whose text is the
// question ("pic.pgm can hold only grey. Write your painting in grey?"). Another mode, owner or links alone is no change. The
// path is bytes throughout (picture_path.h): any name the system takes works. The planes are RGB only: a
// picture that has transparency is read laid on white, and written back with the transparency of every
// pixel not painted. A new
// picture goes, at its first write, to a new file "brisel-N.png" in the new-picture folder (N the first
// number whose name is free; no file is ever overwritten), whose name is printed on standard output.

#include <QByteArray>
#include <QSize>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "file/file_stamp.h"
#include "file/picture_io.h"
#include "platform/byte_plane.h"

namespace brisel::filehost {

inline constexpr int32_t kNewPictureWidth = 1024, kNewPictureHeight = 768;

class ImageFile {
 public:
  enum Channel { kRed, kGreen, kBlue };

  // path empty: a new white picture, written at its first Refresh into newPictureFolder, which then tells
  // onNamed (when given) the file's path.
  ImageFile(std::string path, std::string newPictureFolder,
            std::function<void(const std::string& path)> onNamed = nullptr);

  // The picture now; an Error (kHostCallFailed) when the file cannot be read.
  std::shared_ptr<const PicturePlanes> Current();
  // The picture's size now: Current()'s, so that it is the planes' size whatever the header says (an
  // orientation that turns the picture, a reader that takes a size the header does not give).
  QSize CurrentSize();
  // Current(), as the program takes it: the version a later write may replace without asking.
  std::shared_ptr<const PicturePlanes> HandOver();
  // A new send begins: a change on disk that an earlier send was refused for is asked about again.
  void AskAgain() { told_.reset(), askedLoss_ = false; }
  void SaveUndo();
  void Stage(Channel channel, const BytePlane& plane);
  void Refresh();

  const std::string& path() const { return path_; }  // empty until a new picture is first written
  static std::string BackupPathFor(const std::string& path) { return path + "~"; }

 private:
  std::string ReserveNewPictureName();
  void RefuseUnseenChange();

  // Whether the file is as the program last saw it (fetched or written); nullopt until it was. With the
  // digest of its bytes then (empty where they could not be read).
  std::optional<FileStamp> known_;
  QByteArray knownDigest_;
  // The change a refused send told of: the stamp then, nullopt inside for a deleted file.
  std::optional<std::optional<FileStamp>> told_;
  // Whether this send was refused with the question whether to write the painting in what the format
  // holds (grey, black and white): the same send again writes it so.
  bool askedLoss_ = false;

  std::string path_;
  std::string newPictureFolder_;
  std::function<void(const std::string& path)> onNamed_;
  std::shared_ptr<const PicturePlanes> newPicture_;  // only while path_ is empty

  std::shared_ptr<const PicturePlanes> cached_;  // the file's pixels at cachedStamp_
  FileStamp cachedStamp_;
  QByteArray cachedDigest_;  // the digest of the bytes they were decoded from

  std::optional<QByteArray> pendingBackup_;         // the file's bytes at the last SaveUndo
  std::array<std::optional<BytePlane>, 3> staged_;  // red, green, blue
};

}  // namespace brisel::filehost
