#pragma once
// Replacing a file so that it is either wholly old or wholly new, never half written.
//
// The bytes go to a hidden temporary file in the same folder (".NAME.brisel-XXXXXX"), are synced to
// disk, and the temporary file is renamed over the target. Every write is checked for its full length:
// a short write (file size limit, full disk) is a failure. QSaveFile is not used because it reports a
// short write at close as success. A target that is a symbolic link has the file it points to replaced;
// an existing file keeps its permission bits.

#include <QByteArray>

#include <string>

namespace brisel::filehost {

// Empty on success, else the reason (the system's text); on failure the target is untouched and no
// temporary file is left.
std::string WriteBytesAtomically(const std::string& path, const QByteArray& bytes);

}  // namespace brisel::filehost
