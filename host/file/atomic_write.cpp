#include "file/atomic_write.h"

#include <cstdio>

#include "platform/atomic_file.h"

namespace brisel::filehost {

std::string WriteBytesAtomically(const std::string& path, const QByteArray& bytes,
                                 const platform::AtomicWriteOptions& options) {
  return platform::WriteFileAtomically(path, bytes.constData(), size_t(bytes.size()), options);
}

void RemoveLeftoversOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return;
  for (const std::string& removed : platform::RemoveLeftoverTemporaries(folder.empty() ? "/" : folder, name))
    std::fprintf(stderr, "brisel: removed %s, left over from an interrupted write\n", removed.c_str());
}

}  // namespace brisel::filehost
