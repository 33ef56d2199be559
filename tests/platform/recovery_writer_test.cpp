// The recovery writer's background write against a send that makes the copy unwanted meanwhile.

#include <QFileInfo>
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
  BytePlane r, g, b;
  ASSERT_TRUE(platform::ReadRecoveryCopy(path, r, g, b));
  EXPECT_TRUE(r == noise && g == noise && b == noise);
}

}  // namespace
}  // namespace brisel::testing
