// Picture paths as bytes: made absolute, named and given an extension as Qt does for the names it can hold.

#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "file/picture_path.h"

namespace brisel::testing {
namespace {

// The absolute path is what tells a picture's recovery copies, and copies were first made with Qt's: every
// name Qt can hold must keep the very string it gave.
TEST(PicturePath, AsQtForEveryNameItHoldsAndBytesAsTheyAreElse) {
  for (const char* path : {"a.png", "./a.png", "a//b.png", "a/./b.png", "a/../b.png", "../x.png", "a/b/../../c",
                           "../../../../../../../../../../../../../../../../../../x.png", "/../x.png", "//x.png",
                           "/a/./b/../c.PNG", "///x//y/", "x/", "/", ".", "..", "a/..", "/a/b/../../..", ".png",
                           "a.b/c", "x.", "a.tar.GZ", "a/.hidden", "//", "/./", "a/.../b", "..a/b.", "b../c",
                           "dé jà/vu\t .JpG", " a /b "}) {
    SCOPED_TRACE(path);
    const QFileInfo qt(QString::fromUtf8(path));
    EXPECT_EQ(filehost::AbsolutePathOf(path), qt.absoluteFilePath().toStdString());
    EXPECT_EQ(filehost::FileNameOf(path), qt.fileName().toStdString());
    EXPECT_EQ(filehost::SuffixOf(path), qt.suffix().toLower().toUtf8());
  }
  const std::string folder = QFileInfo(".").absoluteFilePath().toStdString();
  EXPECT_EQ(filehost::AbsolutePathOf("x/../\xff\xfe/./caf\xe9.PNG"), folder + "/\xff\xfe/caf\xe9.PNG");
  EXPECT_EQ(filehost::SuffixOf("/\xff.d/caf\xe9.P\xe9NG"), "p\xe9ng");
  EXPECT_EQ(filehost::AbsolutePathOf(""), "");
}

}  // namespace
}  // namespace brisel::testing
