// The recovery writer's background write against a send that makes the copy unwanted meanwhile.

#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/recovery.h"

namespace brisel::testing {
namespace {

// A copy discarded while its background write still runs never appears afterwards; a later write does.
TEST(RecoveryWriter, ADiscardedBackgroundWriteNeverLands) {
  QTemporaryDir folder;
  const std::string path = folder.filePath("copy.png").toStdString();
  BytePlane noise(1500, 1200);
  for (size_t i = 0; i < noise.size(); ++i) noise.data()[i] = uint8_t(i * 2654435761u >> 13);  // slow to compress
  platform::RecoveryWriter writer;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(writer.WriteInBackground(path, "/p.png", noise, noise, noise));
    EXPECT_FALSE(writer.WriteInBackground(path, "/p.png", noise, noise, noise)) << "one write at a time";
    writer.Discard(path);
    writer.Wait();
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(path))) << "round " << round;
  }
  ASSERT_TRUE(writer.WriteInBackground(path, "/p.png", noise, noise, noise));
  writer.Wait();
  // Read back whatever its size: Qt's own cap on decoded bytes (here 1 MiB) does not stop a copy.
  const int cap = QImageReader::allocationLimit();
  QImageReader::setAllocationLimit(1);
  BytePlane r, g, b;
  const bool read = platform::ReadRecoveryCopy(path, r, g, b);
  QImageReader::setAllocationLimit(cap);
  ASSERT_TRUE(read);
  EXPECT_TRUE(r == noise && g == noise && b == noise);
}

// However long the picture's name (a file name may take 255 bytes, each character here 2), the copy's name
// fits a file system and is whole UTF-8 that still begins with the picture's name; a GIMP layer's name
// after the path's last slash counts as the name.
TEST(RecoveryWriter, CopyNamesFitAFileSystemAndKeepWholeCharacters) {
  const std::string longName = std::string(1, 'x') + [] {
    std::string s;
    for (int i = 0; i < 127; ++i) s += "\xc3\xa9";  // é
    return s;
  }();
  for (const std::string& picture : {"/tmp/" + longName, std::string("/tmp/short.png"), std::string("pic.png (GIMP layer \"a/b\")"),
                                     std::string()}) {
    const std::string path = platform::NewRecoveryPath(picture);
    const std::string name = path.substr(path.rfind('/') + 1);
    SCOPED_TRACE(name);
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(QString::fromStdString(name).toStdString() == name) << "not whole UTF-8";
    const std::string stem = picture.empty() ? "untitled" : picture.substr(picture.rfind('/') + 1);
    EXPECT_EQ(name.substr(0, std::min<size_t>(stem.size(), 20)), stem.substr(0, 20));
  }
}

}  // namespace
}  // namespace brisel::testing
