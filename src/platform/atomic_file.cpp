#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>

namespace brisel::platform {
namespace {

constexpr const char* kTemporaryMark = ".brisel-";

// Creates a new hidden file beside target with an unused name; -1 with errno set when it cannot.
int CreateTemporaryBeside(const std::string& target, std::string& tempPath) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + "." + name + kTemporaryMark + std::to_string(::getpid()) + "-" +
               std::to_string(random() % 1000000);
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

bool AllDigits(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// What a temporary file's name says: nullopt when the name is not one of ours (for name, when given);
// else the writing process, 0 for a name of the earlier pattern without one.
std::optional<long> TemporaryWriter(const std::string& entry, const std::string& name) {
  if (entry.size() < 2 || entry[0] != '.') return std::nullopt;
  const size_t mark = entry.rfind(kTemporaryMark);
  if (mark == std::string::npos || mark < 2) return std::nullopt;
  if (!name.empty() && entry.compare(1, mark - 1, name) != 0) return std::nullopt;
  const std::string tail = entry.substr(mark + std::strlen(kTemporaryMark));
  const size_t dash = tail.find('-');
  if (dash == std::string::npos) return AllDigits(tail) ? std::optional<long>(0) : std::nullopt;
  const std::string pid = tail.substr(0, dash), number = tail.substr(dash + 1);
  if (!AllDigits(pid) || !AllDigits(number)) return std::nullopt;
  const long writer = std::strtol(pid.c_str(), nullptr, 10);
  return writer > 0 ? std::optional<long>(writer) : std::nullopt;
}

// A process that exists, even one of another user (EPERM), still runs.
bool ProcessRuns(long pid) { return ::kill(pid_t(pid), 0) == 0 || errno != ESRCH; }

}  // namespace

std::string WriteFileAtomically(const std::string& path, const char* bytes, size_t size) {
  // Through a link, the file it points to is replaced, and the link stays.
  std::string target = path;
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target = resolved;
  }

  std::string temp;
  const int fd = CreateTemporaryBeside(target, temp);
  if (fd < 0) return std::strerror(errno);
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  bool ok = WriteAll(fd, bytes, size);
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

std::vector<std::string> RemoveLeftoverTemporaries(const std::string& folder, const std::string& name) {
  std::vector<std::string> removed;
  const std::string base = folder.empty() ? std::string(".") : folder;
  DIR* dir = ::opendir(base.c_str());
  if (!dir) return removed;
  const time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string entryName = entry->d_name;
    const std::optional<long> writer = TemporaryWriter(entryName, name);
    if (!writer) continue;
    const std::string path = base + "/" + entryName;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()) continue;
    // A writer that still runs may rename its file any moment; one of the earlier pattern is given an hour.
    const bool abandoned = *writer ? !ProcessRuns(*writer) : now - st.st_mtime > kLeftoverTemporaryAgeSeconds;
    if (abandoned && ::unlink(path.c_str()) == 0) removed.push_back(path);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace brisel::platform
