// A write killed at any moment leaves the old picture or the new one, whole, never a mix or a stump.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "file/atomic_write.h"

namespace brisel::testing {
namespace {

QByteArray Bytes(char seed, int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char(seed + i * 7 + (i >> 9));
  return bytes;
}

TEST(InterruptedWrite, AKilledWriterLeavesOneWholeVersion) {
  QTemporaryDir folder;
  const std::string path = folder.filePath("picture.png").toStdString();
  const QByteArray before = Bytes('a', 3 << 20), after = Bytes('b', 5 << 20);
  ASSERT_EQ(filehost::WriteBytesAtomically(path, before), "");
  std::mt19937 random(5);
  for (int round = 0; round < 12; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The writer: back and forth between the two versions until it is killed.
      for (;;) {
        filehost::WriteBytesAtomically(path, after);
        filehost::WriteBytesAtomically(path, before);
      }
    }
    usleep(useconds_t(2000 + random() % 40000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "round " << round;
    const QByteArray now = file.readAll();
    EXPECT_TRUE(now == before || now == after) << "round " << round << ": " << now.size() << " bytes";
  }
  // What the killed writers left half written is theirs by name, and goes at the picture's next opening.
  filehost::RemoveLeftoversOf(path);
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"picture.png"}));
}

}  // namespace
}  // namespace brisel::testing
