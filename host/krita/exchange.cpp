#include "krita/exchange.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <limits>

#include "common/picture_limits.h"
#include "platform/error.h"

namespace brisel::kritahost {
namespace {

[[noreturn]] void Fail(const std::string& text) { throw Error(errors::kHostCallFailed, text); }

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  size_t at = 0;
  while (at < text.size()) {
    const size_t start = text.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    const size_t end = std::min(text.find(' ', start), text.size());
    words.emplace_back(text.substr(start, end - start));
    at = end;
  }
  return words;
}

bool Number(std::string_view word, int32_t& value, int32_t least, int32_t most) {
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  return error == std::errc() && end == word.data() + word.size() && value >= least && value <= most;
}

}  // namespace

std::optional<Header> ParseHeader(std::string_view text, std::string& why) {
  constexpr int32_t kMostSide = 1 << 20;
  Header header;
  bool first = true, sized = false, deep = false;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (first) {
      first = false;
      if (line != "brisel-krita 1") {
        why = "the exchange folder is not one this Brisel reads (its plug-in may be of another version)";
        return std::nullopt;
      }
      continue;
    }
    const size_t space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    const std::vector<std::string> words = Words(value);
    auto numbers = [&](int32_t& a, int32_t& b, int32_t least, int32_t most) {
      return words.size() == 2 && Number(words[0], a, least, most) && Number(words[1], b, least, most);
    };
    if (key == "size") {
      sized = numbers(header.width, header.height, 1, std::numeric_limits<int32_t>::max());
      if (!sized) break;
      if (header.width > host::kMaxPictureSide || header.height > host::kMaxPictureSide ||
          int64_t(header.width) * header.height > host::kMaxPicturePixels) {
        why = "the layer is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
              " pixels, larger than Brisel paints (" + std::to_string(host::kMaxPictureSide) + " a side and " +
              std::to_string(host::kMaxPicturePixels) + " pixels in all)";
        return std::nullopt;
      }
    } else if (key == "origin") {
      if (!numbers(header.originX, header.originY, -kMostSide * 4, kMostSide * 4)) break;
    } else if (key == "depth") {
      int32_t depth = 0;
      if (words.size() != 1 || !Number(words[0], depth, 8, 16) || (depth != 8 && depth != 16)) break;
      header.depth = depth;
      deep = true;
    } else if (key == "document") {
      header.document = value;
    } else if (key == "layer") {
      header.layer = value;
    } else if (key == "window") {
      // A window Brisel cannot read is only not kept above.
      uint64_t id = 0;
      if (words.size() == 1 && std::from_chars(words[0].data(), words[0].data() + words[0].size(), id).ec == std::errc())
        header.window = id;
    }  // other keys are a later plug-in's, and can be left unread
  }
  if (first) {
    why = "the exchange folder's header is empty";
    return std::nullopt;
  }
  if (!sized || !deep) {
    why = "the exchange folder's header names no usable layer size and depth";
    return std::nullopt;
  }
  return header;
}

std::optional<std::vector<std::string>> OkWords(std::string_view answer) {
  std::vector<std::string> words = Words(answer);
  if (words.empty() || words[0] != "ok") return std::nullopt;
  words.erase(words.begin());
  return words;
}

std::string Exchange::Ask(const std::string& request, int timeoutSeconds) {
  const std::string line = request + "\n";
  for (size_t done = 0; done < line.size();) {
    const ssize_t n = ::write(out_, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("Krita is no longer there to take the request (" + std::string(std::strerror(errno)) + ")");
    done += size_t(n);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  for (;;) {
    if (const size_t end = pending_.find('\n'); end != std::string::npos) {
      std::string answer = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (answer.rfind("error ", 0) == 0) Fail(answer.substr(6));
      return answer;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) Fail("Krita did not answer within " + std::to_string(timeoutSeconds) + " seconds");
    pollfd answers{in_, POLLIN, 0};
    const int ready = ::poll(&answers, 1, int(std::min<int64_t>(left.count(), std::numeric_limits<int>::max())));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(in_, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) Fail("Krita has closed its side of the exchange (Krita quit, or the plug-in stopped)");
    pending_.append(buffer, size_t(n));
  }
}

std::vector<uint8_t> Exchange::Read(std::string_view name, std::optional<size_t> expected) const {
  const std::string path = Path(name);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) Fail("Brisel cannot read " + path + ": " + std::strerror(errno));
  std::vector<uint8_t> bytes;
  if (struct stat status; ::fstat(fd, &status) == 0 && status.st_size > 0) bytes.reserve(size_t(status.st_size));
  uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      Fail("Brisel cannot read " + path + ": " + std::strerror(error));
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  ::close(fd);
  if (expected && bytes.size() != *expected)
    Fail(path + " holds " + std::to_string(bytes.size()) + " bytes where " + std::to_string(*expected) +
         " were expected; the plug-in and Brisel disagree");
  return bytes;
}

}  // namespace brisel::kritahost
