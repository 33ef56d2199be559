#include "file/picture_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace brisel::filehost {

std::string AbsolutePathOf(const std::string& path) {
  if (path.empty()) return path;
  std::string whole;
  if (path[0] != '/') {
    const std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    if (folder) whole = folder.get();
  }
  if (path != ".") {
    if (!whole.empty() && whole.back() != '/') whole += '/';
    whole += path;
  }
  if (whole.empty()) return path;  // no current folder to be had
  if (whole == "/") return whole;
  // Part by part: "" (a doubled slash) and "." go, ".." takes back the part before it where there is one
  // that is not itself "..", and stays where there is none, above the root too.
  std::vector<std::string_view> parts;
  const std::string_view rest(whole);
  for (size_t start = 0; start <= rest.size();) {
    const size_t end = std::min(rest.find('/', start), rest.size());
    const std::string_view part = rest.substr(start, end - start);
    if (part == ".." && !parts.empty() && parts.back() != "..")
      parts.pop_back();
    else if (!part.empty() && part != ".")
      parts.push_back(part);
    start = end + 1;
  }
  std::string clean;
  for (const std::string_view part : parts) (clean += '/') += part;
  if (whole[0] != '/' && !clean.empty()) clean.erase(0, 1);  // relative, where no current folder was had
  if (clean.empty()) clean = whole[0] == '/' ? "/" : ".";
  if (whole.back() == '/') clean += '/';  // a folder's trailing slash is kept, even after the root ("//")
  return clean;
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

QByteArray SuffixOf(const std::string& path) {
  const std::string name = FileNameOf(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  QByteArray suffix(name.data() + dot + 1, qsizetype(name.size() - dot - 1));
  for (char& c : suffix)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return suffix;
}

std::string OpenForReading(const std::string& path, QFile& file) {
  // Without waiting: a FIFO put in the picture's place would hold the open until some program writes to it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return "not a regular file";
  }
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return file.errorString().toStdString();
  }
  return {};
}

}  // namespace brisel::filehost
