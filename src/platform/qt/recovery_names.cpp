// The names around a recovery copy, apart from the files: the picture's name read back from a copy's text,
// the process read from a copy's file name, a name made plain for a file name. Bytes from outside go
// through each (a copy's chunks, the names in a folder), so each is safe on any input; a fuzz target feeds
// them random bytes.

#include <QByteArray>

#include <cstdint>
#include <cstdio>

#include "platform/recovery_copies.h"

namespace brisel::platform {

std::string PictureFromCopyText(const std::string& percentEncoded, const std::string& text) {
  if (percentEncoded.empty()) return text;
  return QByteArray::fromPercentEncoding(QByteArray::fromStdString(percentEncoded)).toStdString();
}

int64_t WriterOf(const std::string& path) {
  const size_t end = path.rfind(".png"), dash = path.rfind('-', end);
  if (end == std::string::npos || dash == std::string::npos || dash + 1 >= end) return 0;
  int64_t pid = 0;
  for (size_t i = dash + 1; i < end; ++i) {
    if (path[i] < '0' || path[i] > '9' || pid > INT32_MAX) return 0;
    pid = pid * 10 + (path[i] - '0');
  }
  return pid;
}

namespace {

// name, with each control character and each byte that does not begin whole UTF-8 replaced by what
// replace(byte) answers.
template <class Replace>
std::string Rewritten(const std::string& name, Replace replace) {
  std::string plain;
  for (size_t i = 0; i < name.size();) {
    const uint8_t lead = uint8_t(name[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    // The second byte's range narrows after some leads: no overlong form (E0, F0), no UTF-16 surrogate
    // (ED) and nothing past U+10FFFF (F4), which Qt would read as U+FFFD, and so as another file's name.
    const uint8_t low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    bool valid = length > 0 && i + length <= name.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const uint8_t next = uint8_t(name[i + k]);
      valid = next >= (k == 1 ? low : 0x80) && next <= (k == 1 ? high : 0xBF);
    }
    if (!valid || lead < 0x20 || lead == 0x7F) {
      plain += replace(lead);
      ++i;
    } else {
      plain.append(name, i, length);
      i += length;
    }
  }
  return plain;
}

}  // namespace

std::string PlainName(const std::string& name) {
  return Rewritten(name, [](uint8_t) { return std::string("_"); });
}

std::string ShownName(const std::string& name) {
  return Rewritten(name, [](uint8_t byte) {
    switch (byte) {
      case '\n': return std::string("\\n");
      case '\t': return std::string("\\t");
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        return std::string(escaped);
      }
    }
  });
}

}  // namespace brisel::platform
