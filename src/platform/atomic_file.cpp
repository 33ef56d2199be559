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

// A temporary name is "." + stem + kTemporaryMark + PID + "-" + N: PID at most 9 digits (as TemporaryWriter
// reads it), N at most 6.
constexpr size_t kTemporaryNameExtra = 1 + 8 + 9 + 1 + 6;

// The part of name a temporary file's name carries: all of it where the whole fits nameLimit, else its
// longest head that does, cut at a UTF-8 character.
std::string TemporaryStem(const std::string& name, long nameLimit) {
  const size_t room = nameLimit > long(kTemporaryNameExtra) ? size_t(nameLimit) - kTemporaryNameExtra : 1;
  if (name.size() <= room) return name;
  size_t cut = room;
  while (cut > 1 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

// Creates a new hidden file beside target with an unused name, with permissions mode (less the umask);
// -1 with errno set when it cannot.
int CreateTemporaryBeside(const std::string& target, mode_t mode, std::string& tempPath) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string stem = TemporaryStem(name, NameLimitOf(folder.empty() ? "." : folder));
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = folder + "." + stem + kTemporaryMark + std::to_string(::getpid()) + "-" +
               std::to_string(random() % 1000000);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
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

// What a temporary file's name says: nullopt when the name is not one of ours (for the stem, when given);
// else the writing process, 0 for a name of the earlier pattern without one.
std::optional<long> TemporaryWriter(const std::string& entry, const std::string& stem) {
  if (entry.size() < 2 || entry[0] != '.') return std::nullopt;
  const size_t mark = entry.rfind(kTemporaryMark);
  if (mark == std::string::npos || mark < 2) return std::nullopt;
  if (!stem.empty() && (mark - 1 != stem.size() || entry.compare(1, mark - 1, stem) != 0)) return std::nullopt;
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

long NameLimitOf(const std::string& folder) {
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? limit : NAME_MAX;
}

std::string WriteFileAtomically(const std::string& path, const char* bytes, size_t size,
                                const AtomicWriteOptions& options) {
  // What the name holds now, never through a link unless asked: a link planted at a path we write must
  // not make us replace the file it points to.
  std::string target = path;
  struct stat old {};
  bool replacing = ::lstat(path.c_str(), &old) == 0;
  if (!replacing && errno != ENOENT) return std::strerror(errno);
  if (replacing && S_ISLNK(old.st_mode)) {
    if (!options.followLink) return std::strerror(ELOOP);
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved)) return std::strerror(errno);
    target = resolved;
    if (::lstat(target.c_str(), &old) != 0) return std::strerror(errno);
  }
  if (replacing && !S_ISREG(old.st_mode)) return "not a regular file";

  const struct stat* like = options.like ? options.like : replacing ? &old : nullptr;
  std::string temp;
  // Created with no more than the final permissions; 0666 less the umask for a new file of the user's.
  const int fd = CreateTemporaryBeside(target, like ? (like->st_mode & 0666) : 0666, temp);
  if (fd < 0) return std::strerror(errno);
  bool ok = true;
  if (like) {
    // The owner first: a change of owner clears the set-user-ID bits that the mode then sets.
    if (::geteuid() == 0)
      ok = ::fchown(fd, like->st_uid, like->st_gid) == 0;
    else if (like->st_gid != ::getegid())
      (void)!::fchown(fd, uid_t(-1), like->st_gid);  // kept when the user belongs to the group
    if (ok) ok = ::fchmod(fd, like->st_mode & 07777) == 0;
  }
  if (ok) ok = WriteAll(fd, bytes, size);
  if (ok) ok = ::fsync(fd) == 0;
  if (ok && options.written) ok = ::fstat(fd, options.written) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  // rename replaces the name itself: a link put there meanwhile is replaced, not followed.
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
  const std::string stem = name.empty() ? std::string() : TemporaryStem(name, NameLimitOf(base));
  while (const dirent* entry = ::readdir(dir)) {
    const std::string entryName = entry->d_name;
    const std::optional<long> writer = TemporaryWriter(entryName, stem);
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
