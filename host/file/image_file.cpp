#include "file/image_file.h"

#include <QCryptographicHash>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

#include "file/atomic_write.h"
#include "file/picture_codec.h"
#include "file/picture_path.h"
#include "platform/error.h"
#include "platform/qt/picture_planes.h"
#include "platform/window.h"

namespace brisel::filehost {
namespace {

[[noreturn]] void Fail(const std::string& text) { throw Error(errors::kHostCallFailed, text); }

// The digest that tells one content of a file from another: fast, and no guard against a writer that
// forges a collision (one who may write the picture needs none).
constexpr QCryptographicHash::Algorithm kDigest = QCryptographicHash::Blake2b_256;

// The digest of the file's bytes as they are now; empty when they cannot be read.
QByteArray DigestOfFile(const std::string& path) {
  QFile file;
  QCryptographicHash digest(kDigest);
  if (!OpenForReading(path, file).empty() || !digest.addData(&file)) return {};
  return digest.result();
}

// Whether the entry at path stands in a folder with the sticky bit (a shared one, such as /tmp) and belongs
// to another user, in a folder not ours either: then only that user may replace or remove it.
bool OthersInStickyFolder(const std::string& folder, const std::string& path) {
  struct stat entry {}, shared {};
  return ::lstat(path.c_str(), &entry) == 0 && ::stat(folder.c_str(), &shared) == 0 && (shared.st_mode & S_ISVTX) &&
         entry.st_uid != ::geteuid() && shared.st_uid != ::geteuid();
}

std::string Size(const BytePlane& p) { return std::to_string(p.width()) + " x " + std::to_string(p.height()); }

const char* ChannelName(int c) { return c == 0 ? "red" : c == 1 ? "green" : "blue"; }

// Writes the undo backup of target, with target's permissions. The backup's name is never resolved: where
// anything but a regular file stands there (a link another user planted, a folder), where the name does
// not fit the file system, or where another user's file there cannot be replaced (a shared folder), the
// send goes on without a backup and says so. Empty, or why it failed.
std::string WriteBackup(const std::string& target, const QByteArray& bytes) {
  const std::string backup = ImageFile::BackupPathFor(target);
  const size_t slash = backup.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : backup.substr(0, slash);
  const size_t nameLength = slash == std::string::npos ? backup.size() : backup.size() - slash - 1;
  struct stat there {};
  const bool occupied = ::lstat(backup.c_str(), &there) == 0;
  std::string skip;
  if (long(nameLength) > platform::NameLimitOf(folder) || (!occupied && errno == ENAMETOOLONG))
    skip = "its name would be too long for the file system";
  else if (occupied && !S_ISREG(there.st_mode))
    skip = S_ISLNK(there.st_mode)   ? "a symbolic link is there"
           : S_ISDIR(there.st_mode) ? "a folder is there"
                                    : "something other than a file is there";
  if (skip.empty()) {
    struct stat picture {};
    platform::AtomicWriteOptions options;
    options.followLink = false;
    if (::stat(target.c_str(), &picture) == 0) options.like = &picture;
    const std::string why = WriteBytesAtomically(backup, bytes, options);
    // Another user's file in a folder with the sticky bit is theirs alone to replace; tried all the same,
    // since root may.
    if (why.empty() || !OthersInStickyFolder(folder, backup)) return why;
    skip = "it is another user's file, which only they may replace in this shared folder (" + why + ")";
  }
  std::cerr << "brisel: no undo backup written to " << backup << ": " << skip << std::endl;
  return {};
}

}  // namespace

ImageFile::ImageFile(std::string path, std::string newPictureFolder,
                     std::function<void(const std::string& path)> onNamed)
    : path_(std::move(path)), newPictureFolder_(std::move(newPictureFolder)), onNamed_(std::move(onNamed)) {
  if (path_.empty()) {
    BytePlane white(kNewPictureWidth, kNewPictureHeight, 255);
    newPicture_ = std::make_shared<const PicturePlanes>(PicturePlanes{white, white, white, {}});
    return;
  }
  // A send cut short (a kill, a power cut) leaves its temporary file beside the picture or its backup.
  RemoveLeftoversOf(path_);
  RemoveLeftoversOf(BackupPathFor(path_));
}

std::shared_ptr<const PicturePlanes> ImageFile::Current() {
  if (path_.empty()) return newPicture_;
  // The stamp is taken before the read: a change during the read shows as a new stamp next time.
  const std::optional<FileStamp> stamp = StampOf(path_);
  if (cached_ && stamp && *stamp == cachedStamp_) return cached_;
  cached_.reset();
  std::shared_ptr<PicturePlanes> planes;
  std::string error;
  QByteArray digest;
  platform::RunLongWork("Reading " + FileNameOf(path_) + "...", [&] {
    // The digest of the very bytes decoded: bytes changed meanwhile give another at the next look.
    QByteArray bytes;
    DecodedPicture read = DecodePictureFile(path_, bytes);
    digest = QCryptographicHash::hash(bytes, kDigest);
    if (!read.error.empty()) {
      error = std::move(read.error);
      return;
    }
    planes = std::make_shared<PicturePlanes>(
        PicturePlanes{std::move(read.r), std::move(read.g), std::move(read.b), std::move(read.source)});
  });
  if (!error.empty()) Fail(error);
  if (stamp) cached_ = planes, cachedStamp_ = *stamp, cachedDigest_ = digest;
  return planes;
}

QSize ImageFile::CurrentSize() {
  const auto picture = Current();
  return {picture->width(), picture->height()};
}

std::shared_ptr<const PicturePlanes> ImageFile::HandOver() {
  std::shared_ptr<const PicturePlanes> planes = Current();
  if (!path_.empty() && planes == cached_) known_ = cachedStamp_, knownDigest_ = cachedDigest_;
  return planes;
}

// Throws kChangedOnDisk when the file is not the version the program last saw, unless a send was just
// refused for this very change.
void ImageFile::RefuseUnseenChange() {
  if (!known_) return;
  int err = 0;
  const std::optional<FileStamp> now = StampOf(path_, &err);
  if (now ? SameVersion(*now, *known_) : err != ENOENT) return;  // unchanged, or unreadable: the write says
  // The change time alone moved: another mode, owner or links (the same bytes), or an edit in place that
  // kept the modification time (other bytes).
  if (now && SameOutwardly(*now, *known_) && !knownDigest_.isEmpty() && DigestOfFile(path_) == knownDigest_) {
    known_ = *now;
    return;
  }
  if (told_ && (now ? *told_ && SameVersion(**told_, *now) : !*told_)) return;  // asked, and the answer was yes
  told_.emplace(now);
  staged_ = {};
  throw Error(errors::kChangedOnDisk,
              now ? path_ + " was changed on disk by another program since Brisel read or wrote it (" +
                        WhatChanged(*known_, *now) + ")."
                  : path_ + " was deleted from disk since Brisel read or wrote it.");
}

void ImageFile::SaveUndo() {
  pendingBackup_.reset();
  if (path_.empty()) return;  // a new picture has nothing on disk to keep yet
  int err = 0;
  const std::optional<FileStamp> stamp = StampOf(path_, &err);
  if (!stamp && err == ENOENT) return;  // deleted meanwhile: nothing to keep
  if (!stamp || !stamp->isRegular()) Fail(path_ + " cannot be kept as an undo backup: it is not a readable file");
  QFile file;
  if (const std::string why = OpenForReading(path_, file); !why.empty())
    Fail(path_ + " cannot be kept as an undo backup: " + why);
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    Fail(path_ + " cannot be kept as an undo backup: " + file.errorString().toStdString());
  pendingBackup_ = std::move(bytes);
}

void ImageFile::Stage(Channel channel, const BytePlane& plane) { staged_[channel] = plane; }

void ImageFile::Refresh() {
  int firstStaged = -1;
  for (int c = 2; c >= 0; --c)
    if (staged_[c]) firstStaged = c;
  if (firstStaged < 0) return;  // nothing sent: nothing to write
  const BytePlane& model = *staged_[firstStaged];

  // The planes sent decide the size; they must agree with each other. A channel not sent keeps the
  // picture's own, which it can only do when the picture has the same size.
  std::shared_ptr<const PicturePlanes> current;
  try {
    current = Current();
  } catch (const Error&) {
    // A file that cannot be read now is simply replaced.
  }
  std::array<const BytePlane*, 3> planes{};
  for (int c = 0; c < 3; ++c) {
    if (staged_[c]) {
      planes[c] = &*staged_[c];
    } else if (current && current->width() == model.width() && current->height() == model.height()) {
      planes[c] = c == kRed ? &current->r : c == kGreen ? &current->g : &current->b;
    }
    if (!planes[c] || planes[c]->width() != model.width() || planes[c]->height() != model.height()) {
      const std::string why = planes[c] ? std::string("the ") + ChannelName(c) + " plane sent is " + Size(*planes[c])
                                        : std::string("no ") + ChannelName(c) + " plane was sent";
      staged_ = {};
      Fail("The picture cannot be written: " + why + ", the " + ChannelName(firstStaged) + " plane " + Size(model));
    }
  }
  if (model.empty()) {
    staged_ = {};
    Fail("The picture cannot be written: the planes sent are empty");
  }
  // Rewriting unchanged pixels would only lose quality in a lossy format.
  if (!path_.empty() && current && current->r == *planes[0] && current->g == *planes[1] && current->b == *planes[2]) {
    staged_ = {};
    if (current == cached_) known_ = cachedStamp_, knownDigest_ = cachedDigest_;  // the file holds the painting
    return;
  }

  const bool isNew = path_.empty();
  if (!isNew) {
    RefuseUnseenChange();
    // Read-only for this user, or for everyone (0444 stops root too): the owner meant it to stay.
    const std::optional<FileStamp> stamp = StampOf(path_);
    if ((::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) ||
        (stamp && (stamp->mode & 0222) == 0)) {
      staged_ = {};
      Fail(path_ + " is read-only: Brisel does not replace it (make it writable, or paint on a copy); the file is "
                   "unchanged");
    }
    // The new file goes beside the one it replaces (through a link, the file linked to): its folder must take
    // it, which is said before anything, an undo backup included, is written there.
    if (char* resolved = ::realpath(path_.c_str(), nullptr)) {
      std::string folder(resolved);
      std::free(resolved);
      folder = folder.substr(0, folder.rfind('/'));
      if (folder.empty()) folder = "/";
      if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0 && errno == EACCES) {
        staged_ = {};
        Fail(path_ + " cannot be written: Brisel writes a picture through a new file in its folder, and the folder " +
             folder + " is not writable for you; the file is unchanged");
      }
    }
  }
  const std::string target = isNew ? ReserveNewPictureName() : path_;
  // The file read is written back through its source, which replaces only the pixels painted; a new
  // picture, or one of another size than the file (sent after the file changed on disk), is written whole.
  const PictureSource* source = current && current->source && current->width() == model.width() &&
                                        current->height() == model.height()
                                    ? current->source.get()
                                    : nullptr;
  std::optional<Painting> painting;
  if (source) painting.emplace(*planes[0], *planes[1], *planes[2], current->r, current->g, current->b);
  const QByteArray format =
      source ? source->format() : WriteFormatFor(target, current && current->source ? current->source->format() : "");
  if (format.isEmpty()) {
    if (isNew) ::unlink(target.c_str());
    Fail(target + " cannot be written: no image writer for its format; the file is unchanged");
  }
  const std::string holds = source ? source->WhatItCannotHold(*painting) : WhatFormatHolds(format, *planes[0], *planes[1], *planes[2]);
  if (!holds.empty() && !askedLoss_) {
    askedLoss_ = true;
    staged_ = {};
    if (isNew) ::unlink(target.c_str());
    throw Error(errors::kAskBeforeWriting,
                FileNameOf(target) + " can hold only " + holds + ". Write your painting in " + holds + "?");
  }
  // Encoded first, so that a picture that cannot be encoded touches nothing on disk.
  std::string why, backupWhy;
  bool backupWritten = false;
  // A picture that finds no memory to be composed or encoded in (Qt then hands over an empty image) says so,
  // with an error number of its own: the program can free memory and send again.
  bool outOfMemory = false;
  struct stat written {};
  QByteArray writtenDigest;
  platform::RunLongWork("Writing " + FileNameOf(target) + "...", [&] {
    QByteArray bytes;
    try {
      if (source) {
        why = source->Write(*painting, bytes);
      } else {
        const QImage image = platform::JoinPlanes(*planes[0], *planes[1], *planes[2]);
        outOfMemory = image.isNull();
        why = outOfMemory ? "not enough memory" : EncodePicture(image, format, {}, {}, bytes);
      }
    } catch (const std::bad_alloc&) {
      outOfMemory = true;
      why = "not enough memory";
    }
    writtenDigest = QCryptographicHash::hash(bytes, kDigest);
    if (why.empty() && pendingBackup_ && !isNew) {
      backupWhy = WriteBackup(target, *pendingBackup_);
      if (!backupWhy.empty()) return;
      backupWritten = true;
    }
    platform::AtomicWriteOptions options;
    options.written = &written;
    if (why.empty()) why = WriteBytesAtomically(target, bytes, options);
  });
  if (!backupWhy.empty())
    Fail("The undo backup " + BackupPathFor(target) + " cannot be written (" + backupWhy + "); " + target +
         " is unchanged");
  if (backupWritten) pendingBackup_.reset();
  if (!why.empty()) {
    if (isNew) ::unlink(target.c_str());
    const std::string text = target + " cannot be written (" + why + "); the file on disk is unchanged";
    if (outOfMemory) throw Error(errors::kOutOfMemory, text);
    Fail(text);
  }

  staged_ = {};
  cached_.reset();
  known_ = StampOf(written);
  knownDigest_ = writtenDigest;
  // The rename that put the file in place moved its change time: the stamp as it stands now, while the
  // name holds the file written.
  const std::optional<FileStamp> now = StampOf(target);
  if (now && now->device == known_->device && now->inode == known_->inode) known_ = now;
  told_.reset();
  askedLoss_ = false;
  if (isNew) {
    path_ = target;
    newPicture_.reset();
    std::cout << target << std::endl;
    if (onNamed_) onNamed_(target);
  }
}

// Claims the first free name brisel-N.png by creating it exclusively, so that no file, not even one
// made by another program a moment ago, is ever overwritten.
std::string ImageFile::ReserveNewPictureName() {
  const std::string folder = newPictureFolder_.empty() ? "." : newPictureFolder_;
  for (int n = 1; n < 1'000'000; ++n) {
    const std::string name = folder + (folder.back() == '/' ? "" : "/") + "brisel-" + std::to_string(n) + ".png";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) Fail("A new picture cannot be made in " + newPictureFolder_ + ": " + std::strerror(errno));
  }
  Fail("A new picture cannot be made in " + newPictureFolder_ + ": every name brisel-N.png is taken");
}

}  // namespace brisel::filehost
