// Opening pictures: bad files give one line that names the file; sensible large ones load.

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <optional>

#include "file/file_host.h"
#include "file/picture_io.h"
#include "host/picture_fixture.h"

namespace brisel::testing {
namespace {

using PictureIoTest = PictureFolderTest;

uint32_t Crc32(const QByteArray& bytes) {
  uint32_t crc = 0xffffffffu;
  for (char c : bytes) {
    crc ^= uint8_t(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

QByteArray BigEndian(uint32_t v) {
  uchar be[4];
  qToBigEndian(v, be);
  return QByteArray(reinterpret_cast<const char*>(be), 4);
}

QByteArray Chunk(const QByteArray& type, const QByteArray& data) {
  return BigEndian(uint32_t(data.size())) + type + data + BigEndian(Crc32(type + data));
}

// A well-formed RGB PNG whose header claims width x height. With rows, its pixel data is that many
// rows of black (the rest missing); without, one tiny compressed block.
QByteArray PngHeaderClaiming(uint32_t width, uint32_t height, uint32_t rows = 0) {
  const QByteArray ihdr = BigEndian(width) + BigEndian(height) + QByteArray("\x08\x02\x00\x00\x00", 5);
  const QByteArray idat = rows ? qCompress(QByteArray(qsizetype(rows) * (1 + 3 * width), '\0'), 1).mid(4)
                               : QByteArray("\x78\x9c\x63\x60\x00\x00\x00\x02\x00\x01", 10);
  return QByteArray("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", idat) + Chunk("IEND", {});
}

QByteArray Encoded(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes;
}

TEST_F(PictureIoTest, BadPicturesAreRefusedWithOneLineNamingTheFile) {
  const QByteArray png = Encoded(Pattern(32, 32), "png");
  const QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00,"
                       "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;", 43);
  QDir(dir_.path()).mkdir("folder.png");
  struct Case {
    std::string name;
    std::optional<QByteArray> bytes;  // nullopt: no file of that name is written
    std::string expected;             // a piece of the message; empty: opens fine
  };
  const std::vector<Case> cases = {
      {"missing.png", std::nullopt, "No such file"},
      {"folder.png", std::nullopt, "is a folder"},
      {"empty.png", QByteArray(), "is empty"},
      {"text.png", QByteArray("just some words\n"), "not a picture"},
      {"truncated.png", png.left(png.size() / 2), "cannot be decoded"},
      {"huge.png", PngHeaderClaiming(100000, 100000), "claims 100000 x 100000 pixels"},
      {"tall.png", PngHeaderClaiming(1, 40000), "claims 1 x 40000 pixels"},
      {"readonly-format.gif", gif, "not written back"},
      {"tiny.png", Encoded(Pattern(1, 1), "png"), ""},
      {"jpeg-named.png", Encoded(Pattern(5, 5), "jpeg"), ""},
  };
  for (const Case& c : cases) {
    if (c.bytes) WriteBytes(c.name, *c.bytes);
    const std::string path = Path(c.name);
    const std::optional<std::string> error = filehost::CheckPicture(path);
    if (c.expected.empty()) {
      EXPECT_FALSE(error) << c.name << ": " << *error;
      continue;
    }
    ASSERT_TRUE(error) << c.name;
    EXPECT_NE(error->find(c.expected), std::string::npos) << c.name << ": " << *error;
    EXPECT_EQ(error->rfind(path, 0), 0u) << c.name << ": " << *error;
    EXPECT_EQ(error->find('\n'), std::string::npos) << c.name;
  }

  // The host answers a picture that went bad with the same reason, as a failed call.
  auto host = filehost::MakeFileHost({Path("truncated.png"), "", "", "."});
  try {
    std::vector<platform::Variant> none;
    host->Invoke("Tarn_BufferWidth", none);
    ADD_FAILURE() << "a truncated picture was read";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errors::kHostCallFailed);
    EXPECT_EQ(e.text(), *filehost::CheckPicture(Path("truncated.png")));
  }
}

TEST_F(PictureIoTest, LargePictureBeyondQtsDefaultLimitLoads) {
  // 9000 x 9000 decodes to 309 MiB, beyond Qt's default limit (128 MiB in Qt 6.4, 256 MiB in 6.8).
  const int defaultLimit = QImageReader::allocationLimit();
  const std::string path = WriteBytes("big.png", PngHeaderClaiming(9000, 9000, 9000));
  const filehost::ReadPictureResult read = filehost::ReadPicture(path);
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.image.size(), QSize(9000, 9000));
  EXPECT_EQ(read.image.pixel(8999, 8999), qRgb(0, 0, 0));
  EXPECT_EQ(QImageReader::allocationLimit(), defaultLimit);  // raised for this picture only
}

}  // namespace
}  // namespace brisel::testing
