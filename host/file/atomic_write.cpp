#include "file/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <random>

namespace brisel::filehost {
namespace {

// Creates a new hidden file beside target with an unused name; -1 with errno set when it cannot.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + "." + name + ".brisel-" + std::to_string(random() % 1000000);
    // 0666 less the umask: the permissions a new file of the user's would get.
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= size_t(n);
  }
  return true;
}

}  // namespace

std::string WriteBytesAtomically(const std::string& path, const QByteArray& bytes) {
  // Through a link, the file it points to is replaced, and the link stays.
  const QFileInfo info(QString::fromStdString(path));
  const std::string target = info.isSymLink() && info.exists() ? info.canonicalFilePath().toStdString() : path;

  std::string temp;
  const int fd = CreateTemporaryBeside(target, temp);
  if (fd < 0) return std::strerror(errno);
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  bool ok = WriteAll(fd, bytes.constData(), size_t(bytes.size()));
  if (ok && replacing) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    ::unlink(temp.c_str());
    return std::strerror(err);
  }
  return {};
}

}  // namespace brisel::filehost
