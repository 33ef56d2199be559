// The recovery writer: its background write against a send that makes the copy unwanted meanwhile, and the
// names and permissions of its copies.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/journal.h"
#include "platform/recovery_copies.h"
#include "support/scoped_env.h"

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

// Pictures with names that are not plain text: each copy says its picture byte for byte (white space,
// control characters and bytes that are not UTF-8 included), has a plain name of its own that every tool
// handles, and is the user's alone in a folder of the user's alone, even one found open to others.
TEST(RecoveryWriter, EveryPictureNameComesBackByteForByteInAPrivateCopy) {
  QTemporaryDir state;
  const std::string folder = state.path().toStdString() + "/brisel/recovery";
  ASSERT_EQ(::mkdir((state.path().toStdString() + "/brisel").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const ScopedEnv stateHome("XDG_STATE_HOME", state.path().toStdString());
  const BytePlane plane(3, 2);
  // The long name is built in place: GCC 12 takes a string + literal temporary for an overflow (-Warray-bounds).
  const char* const literals[] = {"two  spaces.png", "tab\there.png", "new\nline.png", " leading.png",
                                  "trailing.png ", "latin1 \xe9t\xe9.png", "overlong \xe0\x87\x87.png",
                                  "surrogate \xed\xa0\x80.png", "past \xf4\x90\x80\x80.png"};
  std::vector<std::string> names(std::begin(literals), std::end(literals));
  names.emplace_back("clears \x1b[2J the terminal.png");
  EXPECT_EQ(platform::ShownName("a\x1b[2Jb\n\t\xff.png"), "a\\x1b[2Jb\\n\\t\\xff.png");
  names.emplace_back(251, 'n');
  names.back() += ".png";
  for (const std::string& name : names) {
    const std::string picture = "/pictures/" + name;
    SCOPED_TRACE(picture);
    const std::string path = platform::NewRecoveryPath(picture);
    const std::string copyName = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(QString::fromStdString(copyName).toStdString(), copyName) << "not whole UTF-8";
    EXPECT_EQ(copyName.find_first_of("\t\n"), std::string::npos);
    const std::string shown = platform::ShownName(picture);  // as messages and --recover show it
    EXPECT_EQ(QString::fromStdString(shown).toStdString(), shown) << "not whole UTF-8";
    EXPECT_TRUE(std::none_of(shown.begin(), shown.end(), [](char c) { return uint8_t(c) < 0x20 || c == 0x7f; }));
    platform::RecoveryWriter writer;
    ASSERT_EQ(writer.WriteNow(path, picture, plane, plane, plane), "");
    const std::vector<platform::RecoveryCopy> copies = platform::ListRecoveryCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].picture, picture);
    EXPECT_EQ(copies[0].writer, ::getpid());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    std::remove(path.c_str());
  }
}

// Where the recovery folder cannot be made or written, a copy goes to the runtime folder, else hidden beside
// its picture, where the next start on the picture finds it; nowhere at all is a failure with the reason.
// Discarded, it goes from wherever it went.
TEST(RecoveryWriter, ACopyThatCannotGoToTheFolderGoesToTheNextPlace) {
  QTemporaryDir root;
  const std::string base = root.path().toStdString();
  ASSERT_TRUE(QDir(root.path()).mkpath("pictures"));
  ASSERT_TRUE(QFile(root.filePath("state")).open(QIODevice::WriteOnly)) << "a file where the folder would be";
  // Folders of others' too: a shared sticky one and a group's, whose modes must never change.
  ASSERT_TRUE(QDir(root.path()).mkpath("shared") && QDir(root.path()).mkpath("group"));
  ASSERT_EQ(::chmod(root.filePath("pictures").toLocal8Bit(), 0700), 0);
  ASSERT_EQ(::chmod(root.filePath("shared").toLocal8Bit(), 01777), 0);
  ASSERT_EQ(::chmod(root.filePath("group").toLocal8Bit(), 02775), 0);
  const auto modes = [&] {
    std::string text;
    for (const char* folder : {"pictures", "shared", "group"}) {
      struct stat st {};
      ::stat(root.filePath(folder).toLocal8Bit(), &st);
      text += std::to_string(st.st_mode & 07777) + " ";
    }
    return text;
  };
  const std::string modesBefore = modes();
  struct Case {
    const char* runtime;    // XDG_RUNTIME_DIR, or nullptr
    const char* temporary;  // TMPDIR
    std::string picture;
    std::string expected;  // the folder it lands in; empty: nowhere
  };
  const std::string ownTemporary = "/tmp/brisel-recovery-" + std::to_string(::geteuid()) + "/";
  const std::vector<Case> cases = {
      {"/run-here", "/tmp", base + "/pictures/p.png", base + "/run-here/brisel-recovery/"},
      {nullptr, "/tmp", base + "/pictures/p.png", base + ownTemporary},
      {nullptr, "/state", base + "/pictures/p.png", base + "/pictures/."},
      {nullptr, "/state", base + "/shared/p.png", ""},
      {nullptr, "/state", base + "/group/p.png", ""},
      {nullptr, "/state", "/proc/no such folder/p.png", ""},
  };
  const ScopedEnv stateHome("XDG_STATE_HOME", base + "/state");
  const BytePlane plane(4, 4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture + " -> " + c.expected);
    const ScopedEnv runtime("XDG_RUNTIME_DIR",
                            c.runtime ? std::optional<std::string>(base + c.runtime) : std::nullopt);
    const ScopedEnv temporary("TMPDIR", base + c.temporary);
    platform::RecoveryWriter writer;
    const std::string path = platform::NewRecoveryPath(c.picture);
    const std::string why = writer.WriteNow(path, c.picture, plane, plane, plane);
    EXPECT_EQ(modes(), modesBefore) << "a folder not the program's own changed";
    if (c.expected.empty()) {
      EXPECT_THAT(why, ::testing::HasSubstr("/state/brisel"));
      EXPECT_EQ(writer.LastWritten(), "");
      continue;
    }
    ASSERT_EQ(why, "");
    const std::string written = writer.LastWritten();
    EXPECT_EQ(written, c.expected + path.substr(path.rfind('/') + 1));
    const std::vector<platform::RecoveryCopy> copies = platform::ListRecoveryCopies(c.picture);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].path, written);
    EXPECT_EQ(copies[0].picture, c.picture);
    writer.Discard(path);
    EXPECT_TRUE(platform::ListRecoveryCopies(c.picture).empty());
  }
}

// A copy that this user did not write as the program writes them (a link to one, another user's file, one
// others may read or write) may have been planted to be restored into a picture: it is neither listed nor
// read, nor is a journal planted beside a true copy.
TEST(RecoveryWriter, APlantedCopyOrJournalIsNeverOffered) {
  QTemporaryDir root;
  const ScopedEnv stateHome("XDG_STATE_HOME", root.path().toStdString());
  const std::string picture = "/pictures/p.png";
  const BytePlane plane(3, 3, 9);
  struct Case {
    const char* what;
    std::function<void(const std::string& copy)> plant;
    bool copyStays;  // the copy is sound, only its journal is planted
  };
  const std::string elsewhere = root.filePath("elsewhere.png").toStdString();
  const std::vector<Case> cases = {
      {"another user's", [](const std::string& copy) { ASSERT_EQ(::chown(copy.c_str(), 12345, 12345), 0); }, false},
      {"readable by others", [](const std::string& copy) { ASSERT_EQ(::chmod(copy.c_str(), 0644), 0); }, false},
      {"a link to a copy",
       [&](const std::string& copy) {
         ASSERT_EQ(::rename(copy.c_str(), elsewhere.c_str()), 0);
         ASSERT_EQ(::symlink(elsewhere.c_str(), copy.c_str()), 0);
       },
       false},
      {"a journal of another user's beside it",
       [&](const std::string& copy) {
         const std::string journal = platform::JournalPathOf(copy);
         BytePlane forged(3, 3, 200);
         const std::string bytes = platform::JournalHeaderBytes({0, 3, 3, picture, {}}) +
                                   platform::JournalRecordBytes(1, 0, 0, 3, 3, forged, forged, forged);
         std::FILE* file = std::fopen(journal.c_str(), "wb");
         ASSERT_TRUE(file);
         std::fwrite(bytes.data(), 1, bytes.size(), file);
         std::fclose(file);
         ASSERT_EQ(::chown(journal.c_str(), 12345, 12345), 0);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::RecoveryWriter writer;
    const std::string path = platform::NewRecoveryPath(picture);
    ASSERT_EQ(writer.WriteNow(path, picture, plane, plane, plane), "");
    c.plant(path);
    const std::vector<platform::RecoveryCopy> copies = platform::ListRecoveryCopies(picture);
    BytePlane r, g, b;
    if (c.copyStays) {
      ASSERT_EQ(copies.size(), 1u);
      EXPECT_TRUE(copies[0].journal.empty());
      ASSERT_TRUE(platform::ReadRecoveryCopy(path, r, g, b));
      EXPECT_EQ(r, plane) << "the planted journal's pixels came in";
    } else {
      EXPECT_TRUE(copies.empty());
      EXPECT_FALSE(platform::ReadRecoveryCopy(path, r, g, b));
    }
    std::remove(path.c_str());
    std::remove(platform::JournalPathOf(path).c_str());
    std::remove(elsewhere.c_str());
  }
}

// A copy is written a row at a time: read back through the reader, it is the planes, pixel for pixel, and its
// picture's name byte for byte, whatever the size (one pixel, odd widths, one column, a long row).
TEST(RecoveryWriter, ACopyWrittenRowByRowReadsBackAsItsPlanesAndPicture) {
  QTemporaryDir state;
  const ScopedEnv stateHome("XDG_STATE_HOME", state.path().toStdString());
  const std::string picture = "/p/odd \xff\xfe\x01  \xc3\xa9%2F\t.png";
  struct Size {
    int32_t width, height;
  };
  for (const Size size : {Size{1, 1}, Size{3, 2}, Size{7, 5}, Size{1, 9}, Size{1001, 3}}) {
    SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
    BytePlane planes[3] = {BytePlane(size.width, size.height), BytePlane(size.width, size.height),
                           BytePlane(size.width, size.height)};
    for (int c = 0; c < 3; ++c)  // each plane its own pixels, so that a swap of planes or a shift shows
      for (size_t i = 0; i < planes[c].size(); ++i) planes[c].data()[i] = uint8_t((i + 1) * (c + 3) * 2654435761u >> 11);
    const std::string path = platform::NewRecoveryPath(picture);
    platform::RecoveryWriter writer;
    ASSERT_EQ(writer.WriteNow(path, picture, planes[0], planes[1], planes[2]), "");
    BytePlane r, g, b;
    ASSERT_TRUE(platform::ReadRecoveryCopy(path, r, g, b));
    EXPECT_TRUE(r == planes[0] && g == planes[1] && b == planes[2]);
    const std::vector<platform::RecoveryCopy> copies = platform::ListRecoveryCopies();
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].picture, picture);
    EXPECT_EQ(copies[0].width, size.width);
    EXPECT_EQ(copies[0].height, size.height);
    writer.Discard(path);
  }
}

}  // namespace
}  // namespace brisel::testing

namespace brisel::testing {
namespace {

// A picture is claimed once, however it is named: through a link to its folder or a hard link another run
// meets the same claim, which names this process; another picture is free, and the claim goes with the
// process that held it.
TEST(RecoveryClaim, EveryNameOfAPictureMeetsTheSameClaim) {
  QTemporaryDir root;
  const ScopedEnv stateHome("XDG_STATE_HOME", root.filePath("state").toStdString());
  ASSERT_TRUE(QDir(root.path()).mkpath("real"));
  const std::string picture = root.filePath("real/p.png").toStdString();
  ASSERT_TRUE(QFile(QString::fromStdString(picture)).open(QIODevice::WriteOnly));
  ASSERT_TRUE(QFile(root.filePath("real/other.png")).open(QIODevice::WriteOnly));
  ASSERT_EQ(::symlink(root.filePath("real").toLocal8Bit().constData(), root.filePath("link").toLocal8Bit().constData()), 0);
  ASSERT_EQ(::link(picture.c_str(), root.filePath("real/hard.png").toLocal8Bit().constData()), 0);
  ASSERT_EQ(platform::ClaimPicture(picture), 0);
  struct Case {
    const char* name;
    bool held;
  };
  for (const Case c : {Case{"real/p.png", true}, Case{"link/p.png", true}, Case{"real/hard.png", true},
                       Case{"link/hard.png", true}, Case{"real/other.png", false}}) {
    SCOPED_TRACE(c.name);
    const std::string path = root.filePath(c.name).toStdString();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int64_t holder = platform::ClaimPicture(path);
      ::_exit(holder == int64_t(::getppid()) ? 1 : holder == 0 ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.held ? 1 : 0) << "1: held by this process, 0: free, 2: someone else";
  }
  platform::ReleasePicture();

  // A copy is still written while its journal is held, not while some process has the number in its name.
  {
    const ScopedEnv stateHome("XDG_STATE_HOME", root.filePath("copies").toStdString());
    const BytePlane plane(2, 2);
    platform::RecoveryJournal journal;
    journal.Begin(platform::NewRecoveryPath(picture), picture, plane, plane, plane);
    ASSERT_EQ(journal.KeepNow(plane, plane, plane), "");
    std::vector<platform::RecoveryCopy> copies = platform::ListRecoveryCopies(picture);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(platform::StillWritten(copies[0])) << "its journal is held";
  }
  for (const platform::RecoveryCopy& copy : [&] {
         const ScopedEnv stateHome("XDG_STATE_HOME", root.filePath("copies").toStdString());
         return platform::ListRecoveryCopies(picture);
       }()) {
    platform::RecoveryCopy named = copy;
    named.writer = 1;  // a process that runs, and is no run of the program's
    EXPECT_FALSE(platform::StillWritten(named)) << "its writer is gone, whatever runs under its number";
  }
  const pid_t child = ::fork();
  if (child == 0) ::_exit(platform::ClaimPicture(root.filePath("link/hard.png").toStdString()) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "released, the picture is free";
}

}  // namespace
}  // namespace brisel::testing
