#include "file/file_stamp.h"

#include <sys/stat.h>

#include <cerrno>

namespace brisel::filehost {

bool FileStamp::isRegular() const { return S_ISREG(mode); }
bool FileStamp::isFolder() const { return S_ISDIR(mode); }

std::optional<FileStamp> StampOf(const std::string& path, int* errnoOut) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errnoOut) *errnoOut = errno;
    return std::nullopt;
  }
  auto ns = [](const timespec& t) { return int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
  return FileStamp{st.st_dev, st.st_ino, st.st_mode, int64_t(st.st_size), ns(st.st_mtim), ns(st.st_ctim)};
}

}  // namespace brisel::filehost
