#include "file/image_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <iostream>

#include "file/atomic_write.h"
#include "platform/error.h"

namespace brisel::filehost {
namespace {

[[noreturn]] void Fail(const std::string& text) { throw Error(errors::kHostCallFailed, text); }

QString q(const std::string& s) { return QString::fromStdString(s); }

std::string Size(const BytePlane& p) { return std::to_string(p.width()) + " x " + std::to_string(p.height()); }

const char* ChannelName(int c) { return c == 0 ? "red" : c == 1 ? "green" : "blue"; }

}  // namespace

ImageFile::ImageFile(std::string path, std::string newPictureFolder)
    : path_(std::move(path)), newPictureFolder_(std::move(newPictureFolder)) {
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
  ReadPictureResult read = ReadPicture(path_);
  if (!read.error.empty()) Fail(read.error);
  auto planes = std::make_shared<PicturePlanes>(SplitPlanes(read.image));
  planes->format = read.format;
  if (stamp) cached_ = planes, cachedStamp_ = *stamp;
  return planes;
}

void ImageFile::SaveUndo() {
  pendingBackup_.reset();
  if (path_.empty()) return;  // a new picture has nothing on disk to keep yet
  int err = 0;
  const std::optional<FileStamp> stamp = StampOf(path_, &err);
  if (!stamp && err == ENOENT) return;  // deleted meanwhile: nothing to keep
  if (!stamp || !stamp->isRegular()) Fail(path_ + " cannot be kept as an undo backup: it is not a readable file");
  QFile file(q(path_));
  if (!file.open(QIODevice::ReadOnly))
    Fail(path_ + " cannot be kept as an undo backup: " + file.errorString().toStdString());
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
    return;
  }

  const bool isNew = path_.empty();
  const std::string target = isNew ? ReserveNewPictureName() : path_;
  const QByteArray format = WriteFormatFor(target, current ? current->format : QByteArray());
  if (format.isEmpty()) {
    if (isNew) QFile::remove(q(target));
    Fail(target + " cannot be written: no image writer for its format; the file is unchanged");
  }
  // Encoded first, so that a picture that cannot be encoded touches nothing on disk.
  QByteArray bytes;
  std::string why = EncodePicture(JoinPlanes(*planes[0], *planes[1], *planes[2]), format, bytes);
  if (why.empty() && pendingBackup_ && !isNew) {
    const std::string backup = BackupPathFor(target);
    why = WriteBytesAtomically(backup, *pendingBackup_);
    if (!why.empty()) Fail("The undo backup " + backup + " cannot be written (" + why + "); " + target + " is unchanged");
    pendingBackup_.reset();
  }
  if (why.empty()) why = WriteBytesAtomically(target, bytes);
  if (!why.empty()) {
    if (isNew) QFile::remove(q(target));
    Fail(target + " cannot be written (" + why + "); the file on disk is unchanged");
  }

  staged_ = {};
  cached_.reset();
  if (isNew) {
    path_ = target;
    newPicture_.reset();
    std::cout << target << std::endl;
  }
}

// Claims the first free name brisel-N.png by creating it exclusively, so that no file, not even one
// made by another program a moment ago, is ever overwritten.
std::string ImageFile::ReserveNewPictureName() {
  const QDir folder(q(newPictureFolder_));
  for (int n = 1; n < 1'000'000; ++n) {
    const QString name = folder.filePath(QString("brisel-%1.png").arg(n));
    QFile file(name);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return name.toStdString();
    const QFileInfo info(name);
    if (!info.exists() && !info.isSymLink())
      Fail("A new picture cannot be made in " + newPictureFolder_ + ": " + file.errorString().toStdString());
  }
  Fail("A new picture cannot be made in " + newPictureFolder_ + ": every name brisel-N.png is taken");
}

}  // namespace brisel::filehost
