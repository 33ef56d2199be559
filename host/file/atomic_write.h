#pragma once
// Replacing a picture file so that it is either wholly old or wholly new, never half written: the file host's
// side of platform/atomic_file.h, which holds the write and names its temporary files.

#include <QByteArray>

#include <string>

#include "platform/atomic_file.h"

namespace brisel::filehost {

// Empty on success, else the reason (the system's text); on failure the target is untouched and no
// temporary file is left.
std::string WriteBytesAtomically(const std::string& path, const QByteArray& bytes,
                                 const platform::AtomicWriteOptions& options = {});

// Removes the temporary files that interrupted writes of the file at path left beside it (see
// platform::RemoveLeftoverTemporaries), saying each on standard error.
void RemoveLeftoversOf(const std::string& path);

}  // namespace brisel::filehost
