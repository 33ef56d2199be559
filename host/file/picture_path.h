#pragma once
// A picture's path as the bytes the system names it by. A Linux file name is any bytes but '/' and NUL,
// UTF-8 or not, with spaces, tabs and newlines anywhere; a QString cannot hold a name that is not UTF-8.
// So the file host keeps paths as the bytes given (std::string) and reaches files through the system's
// own calls; only text for a person (a message, the progress window) shows them decoded, lossily.

#include <QByteArray>
#include <QFile>

#include <string>

namespace brisel::filehost {

// The path made absolute: the current folder + "/" + path, cleaned of ".", ".." and doubled slashes the
// way QFileInfo::absoluteFilePath cleans it, so that a name Qt can hold gets the very string Qt gives: a
// ".." above the root stays ("/../a.png"), as does a trailing slash; links are not resolved. Empty stays
// empty. Any other bytes pass unchanged.
std::string AbsolutePathOf(const std::string& path);

// The last part of path, after its last '/'.
std::string FileNameOf(const std::string& path);

// What follows the last '.' of the file name, in lower case (ASCII letters only): "png" for "a.b.PNG" and
// for ".png", empty for "a." and "a".
QByteArray SuffixOf(const std::string& path);

// Opens the regular file at path for reading, following links, into file, which closes it in the end.
// Empty on success, else the system's reason ("not a regular file" for a FIFO, a device, a folder).
std::string OpenForReading(const std::string& path, QFile& file);

}  // namespace brisel::filehost
