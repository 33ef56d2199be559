// Recovery copies as PNG: written by libpng one row at a time straight from the planes, read back through
// Qt's codec; the picture's name in text chunks; written through platform/atomic_file.h; the background
// write on a std::thread.

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/journal.h"
#include "platform/qt/picture_planes.h"
#include "platform/qt/recovery_files.h"
#include "platform/recovery_copies.h"

namespace brisel::platform {
namespace {

// The text chunks of a copy: a mark that the file is one (the format's version), and the picture's name,
// as text (all that earlier versions wrote) and as its bytes, percent-encoded.
constexpr const char* kMarkKey = "Brisel-Recovery";
constexpr const char* kPictureKey = "Brisel-Picture";
constexpr const char* kPictureBytesKey = "Brisel-Picture-Bytes";
// The last record of the journal beside the copy that the copy holds (none: 0).
constexpr const char* kSequenceKey = "Brisel-Journal-Sequence";
// The fingerprint of the picture the painting started from, in hex, and the private chunk of its painted
// mask: ancillary, private, and not safe to copy (it means nothing once the pixels change).
constexpr const char* kStartKey = "Brisel-Start-Fingerprint";
constexpr png_byte kPaintedChunk[5] = {'b', 'r', 'P', 'M', '\0'};

std::string PictureOf(const QImageReader& reader) {
  return PictureFromCopyText(reader.text(kPictureBytesKey).toLatin1().toStdString(),
                             reader.text(kPictureKey).toStdString());
}

}  // namespace

namespace {

std::string RuntimeRecoveryFolder();
std::string TemporaryRecoveryFolder();

// Whether folder is one that the program keeps for itself (and so may make and tighten).
bool OwnFolder(const std::string& folder) {
  return !folder.empty() && (folder == RecoveryFolder() || folder == RuntimeRecoveryFolder() ||
                             folder == TemporaryRecoveryFolder());
}

// Whether folder, found as it is, is the user's alone: a real folder (not a link), the user's, which nobody
// else may write to or read.
bool UsersAlone(const std::string& folder, bool readableByOthers) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & (readableByOthers ? 022 : 077)) == 0;
}

}  // namespace

// The program's own folders are made with their missing parents, private to the user (paintings are nobody
// else's business), and one found readable by others (made by another tool, restored from a backup) is made
// private; one that is a link or another user's is refused. Any other folder (a picture's) is never made
// nor changed: it is used only where it is already the user's alone.
bool MakeFolder(const std::string& folder) {
  if (!OwnFolder(folder)) {
    if (UsersAlone(folder, true)) return true;
    errno = EACCES;
    return false;
  }
  for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
    errno = S_ISDIR(st.st_mode) ? EACCES : ENOTDIR;
    return false;
  }
  if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), st.st_mode & 07700) != 0) return false;
  return true;
}

namespace {

// libpng reports a failure by calling these and then jumping back to the setjmp in EncodePng: the message is
// kept (it says when libpng itself found no memory), and nothing is printed.
struct PngOutput {
  QByteArray* bytes;
  bool outOfMemory = false;
  char message[128] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* out = static_cast<PngOutput*>(png_get_error_ptr(png));
  std::snprintf(out->message, sizeof out->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void AppendPngBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<PngOutput*>(png_get_io_ptr(png));
  try {
    out->bytes->append(reinterpret_cast<const char*>(data), qsizetype(length));
  } catch (const std::bad_alloc&) {
    out->outOfMemory = true;
  }
  // Outside the handler: the jump must not leave an exception behind.
  if (out->outOfMemory) png_error(png, "not enough memory for the encoded copy");
}

void FlushPngBytes(png_structp) {}

// Encodes the planes as an 8-bit RGB PNG, one row at a time: besides the encoded bytes it needs a row of
// 3 x width bytes and libpng's own buffers, never a picture of the whole size. Everything that has a
// destructor is made before the setjmp that a failure jumps back to.
std::string EncodePng(const std::string& picture, uint64_t sequence, const BytePlane& red, const BytePlane& green,
                      const BytePlane& blue, QByteArray& bytes, const PaintedPart* painted) {
  const int32_t w = red.width(), h = red.height();
  std::vector<uint8_t> row(size_t(w) * 3);
  const QByteArray name = QString::fromStdString(picture).toUtf8();
  const QByteArray nameBytes = QByteArray::fromStdString(picture).toPercentEncoding("/");
  const std::string sequenceText = std::to_string(sequence);
  char startText[17] = {};
  std::vector<Bytef> mask;
  if (painted) {
    std::snprintf(startText, sizeof startText, "%016llx", static_cast<unsigned long long>(painted->startFingerprint));
    uLongf size = compressBound(uLong(painted->maskBits.size()));
    mask.resize(size);
    if (compress2(mask.data(), &size, reinterpret_cast<const Bytef*>(painted->maskBits.data()),
                  uLong(painted->maskBits.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
      return kNotEnoughMemory;
    mask.resize(size);
  }
  PngOutput out{&bytes};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return kNotEnoughMemory;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    bytes.clear();
    // libpng's own allocations fail with "Out of memory" or "Insufficient memory ...".
    if (out.outOfMemory || std::strstr(out.message, "memory") != nullptr) return kNotEnoughMemory;
    return std::string("the PNG cannot be encoded: ") + out.message;
  }
  png_set_write_fn(png, &out, AppendPngBytes, FlushPngBytes);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // The text chunks go before the pixels, where a reader that reads only the header finds them.
  png_text text[5] = {};
  int texts = 0;
  text[texts].compression = PNG_TEXT_COMPRESSION_NONE;
  text[texts].key = const_cast<char*>(kMarkKey);
  text[texts++].text = const_cast<char*>("1");
  text[texts].compression = PNG_TEXT_COMPRESSION_NONE;
  text[texts].key = const_cast<char*>(kSequenceKey);
  text[texts++].text = const_cast<char*>(sequenceText.c_str());
  if (!picture.empty()) {
    text[texts].compression = PNG_ITXT_COMPRESSION_NONE;  // UTF-8 text
    text[texts].key = const_cast<char*>(kPictureKey);
    text[texts++].text = const_cast<char*>(name.constData());
    text[texts].compression = PNG_TEXT_COMPRESSION_NONE;
    text[texts].key = const_cast<char*>(kPictureBytesKey);
    text[texts++].text = const_cast<char*>(nameBytes.constData());
  }
  png_unknown_chunk maskChunk{};
  if (painted) {
    text[texts].compression = PNG_TEXT_COMPRESSION_NONE;
    text[texts].key = const_cast<char*>(kStartKey);
    text[texts++].text = startText;
    std::memcpy(maskChunk.name, kPaintedChunk, sizeof kPaintedChunk);
    maskChunk.data = mask.data();
    maskChunk.size = mask.size();
    maskChunk.location = PNG_HAVE_IHDR;  // before the pixels, where a reader of the header finds it
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, kPaintedChunk, 1);
    png_set_unknown_chunks(png, info, &maskChunk, 1);
  }
  png_set_text(png, info, text, texts);
  png_write_info(png, info);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t *r = red.row(y), *g = green.row(y), *b = blue.row(y);
    for (int32_t x = 0; x < w; ++x) {
      row[3 * size_t(x)] = r[x];
      row[3 * size_t(x) + 1] = g[x];
      row[3 * size_t(x) + 2] = b[x];
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return {};
}

}  // namespace

std::string EncodeCopy(const std::string& picture, uint64_t sequence, const BytePlane& red, const BytePlane& green,
                       const BytePlane& blue, QByteArray& bytes, const PaintedPart* painted) {
  const int32_t w = red.width(), h = red.height();
  if (red.empty() || green.width() != w || green.height() != h || blue.width() != w || blue.height() != h)
    return "the image planes are empty or of different sizes";
  return EncodePng(picture, sequence, red, green, blue, bytes, painted);
}

std::string WritePrivateFile(const std::string& path, const char* data, size_t size) {
  struct stat privateFile {};
  privateFile.st_mode = S_IFREG | 0600;
  privateFile.st_uid = ::geteuid();
  privateFile.st_gid = ::getegid();
  AtomicWriteOptions options;
  options.like = &privateFile;
  options.followLink = false;
  return WriteFileAtomically(path, data, size, options);
}

namespace {

std::string Encode(const std::string& picture, const BytePlane& red, const BytePlane& green, const BytePlane& blue,
                   QByteArray& bytes) {
  return EncodeCopy(picture, 0, red, green, blue, bytes);
}

// Writes encoded bytes to path, the folder made first, as the user's alone; empty or why not.
std::string WriteCopyFile(const std::string& path, const QByteArray& bytes) {
  const std::string folder = path.substr(0, path.rfind('/'));
  if (!folder.empty() && !MakeFolder(folder)) return folder + ": " + std::strerror(errno);
  return WritePrivateFile(path, bytes.constData(), size_t(bytes.size()));
}

// The folder of picture when it names a file by its absolute path; empty otherwise (a GIMP layer).
std::string PictureFolder(const std::string& picture) {
  if (picture.empty() || picture[0] != '/') return {};
  const std::string folder = picture.substr(0, picture.rfind('/'));
  return folder.empty() ? "/" : folder;
}

// The second choice: a folder in the user's runtime folder (in memory, gone at logout); empty without one.
std::string RuntimeRecoveryFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && runtime[0] == '/' ? std::string(runtime) + "/brisel-recovery" : std::string();
}

// The third: a folder of the user's own in the temporary folder, named by the user's number, which another
// user could only have planted (then it is refused).
std::string TemporaryRecoveryFolder() {
  const char* temporary = std::getenv("TMPDIR");
  std::string base = temporary && temporary[0] == '/' ? temporary : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/brisel-recovery-" + std::to_string(::geteuid());
}

}  // namespace

std::vector<std::string> RecoveryPlaces(const std::string& path, const std::string& picture) {
  std::vector<std::string> places{path};
  const std::string name = path.substr(path.rfind('/') + 1);
  for (const std::string& folder : {RecoveryFolder(), RuntimeRecoveryFolder(), TemporaryRecoveryFolder()})
    if (!folder.empty() && folder + "/" + name != path) places.push_back(folder + "/" + name);
  // Beside the picture last, and only where its folder is the user's alone.
  if (const std::string beside = PictureFolder(picture); !beside.empty() && UsersAlone(beside, true))
    places.push_back((beside == "/" ? "" : beside) + "/." + name);
  return places;
}

// Writes the copy at path (in the recovery folder) or, where that fails (a folder that cannot be written,
// a full disk), under the same name in the runtime folder, then beside the picture as a hidden file.
// written receives where it went; empty or why not (the first place's reason).
std::string WriteEncoded(const std::string& path, const std::string& picture, const QByteArray& bytes,
                         std::string& written) {
  const std::string why = WriteCopyFile(path, bytes);
  if (why.empty()) {
    written = path;
    return {};
  }
  for (const std::string& other : RecoveryPlaces(path, picture)) {
    if (other == path || !WriteCopyFile(other, bytes).empty()) continue;
    std::fprintf(stderr, "brisel: the recovery copy cannot go to %s (%s); it is kept in %s\n", path.c_str(),
                 why.c_str(), other.c_str());
    written = other;
    return {};
  }
  return why;
}

namespace {

// Tells planes apart from the ones written last, without keeping a copy of them.
size_t Fingerprint(const BytePlane& red, const BytePlane& green, const BytePlane& blue) {
  size_t h = std::hash<int64_t>()(int64_t(red.width()) << 32 | uint32_t(red.height()));
  for (const BytePlane* p : {&red, &green, &blue}) {
    const size_t ph = std::hash<std::string_view>()({reinterpret_cast<const char*>(p->data()), p->size()});
    h ^= ph + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
  }
  return h;
}

}  // namespace

std::string RecoveryFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base;
  if (state && state[0] == '/') {
    base = state;
  } else {
    // Without HOME (env -i, cron), the account's own home; none, or the root of the file system: no folder.
    const char* home = std::getenv("HOME");
    std::string folder = home && home[0] == '/' ? home : "";
    if (folder.empty())
      if (const passwd* account = ::getpwuid(::geteuid()); account && account->pw_dir) folder = account->pw_dir;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty() || folder == "/" || folder[0] != '/') return {};
    base = folder + "/.local/state";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/brisel/recovery";
}

namespace {

// The part of a copy's name that names its picture.
std::string CopyStem(const std::string& picture) {
  std::string name = PlainName(picture.substr(picture.rfind('/') + 1));
  if (name.empty()) name = "untitled";
  // The time and the process follow it, and a file name holds at most 255 bytes.
  constexpr size_t kNameBytes = 160;
  if (name.size() > kNameBytes) {
    size_t cut = kNameBytes;
    while (cut > 0 && (uint8_t(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a UTF-8 character
    name.resize(cut);
  }
  return name;
}

}  // namespace

std::string NewRecoveryPath(const std::string& picture) {
  const std::string name = CopyStem(picture);
  char when[32];
  const time_t now = std::time(nullptr);
  tm local {};
  localtime_r(&now, &local);
  std::strftime(when, sizeof when, "%Y%m%d-%H%M%S", &local);
  std::string folder = RecoveryFolder();
  if (folder.empty()) folder = RuntimeRecoveryFolder();
  if (folder.empty()) folder = TemporaryRecoveryFolder();
  return folder + "/" + name + "-" + when + "-" + std::to_string(::getpid()) + ".png";
}

std::string LocalTimeText(int64_t secondsSinceEpoch) {
  char text[32];
  const time_t t = time_t(secondsSinceEpoch);
  tm local {};
  localtime_r(&t, &local);
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

namespace {

// The bytes of the file at path, at most limit of them; false when it cannot be read.
bool ReadBytes(const std::string& path, std::string& bytes, size_t limit = SIZE_MAX) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.clear();
  char chunk[1 << 16];
  while (bytes.size() < limit && file) {
    file.read(chunk, std::streamsize(std::min(sizeof chunk, limit - bytes.size())));
    bytes.append(chunk, size_t(file.gcount()));
  }
  return !file.bad();
}

// Whether the file at path is a copy (or a journal) that this user wrote: a regular file, not a link, the
// user's, 0600. Anything else may have been planted by another user, to be restored into a picture.
bool OwnPrivateFile(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 07777) == 0600;
}

// A journal's header and its file's time, read without its records.
std::optional<JournalHeader> JournalHeaderAt(const std::string& path) {
  std::string bytes;
  if (!ReadBytes(path, bytes, 1 << 17)) return std::nullopt;
  const JournalReplay replay = ReplayJournal(bytes, 0);
  if (!replay.headerRead) return std::nullopt;
  return replay.header;
}

// The copies in folder whose file names match pattern (".png" at its end), and the journals there that have
// no copy yet, whose records follow the picture itself.
void AddCopiesIn(const std::string& folder, const QString& pattern, std::vector<RecoveryCopy>& copies) {
  if (folder.empty()) return;
  const QDir dir(QString::fromStdString(folder));
  for (const QFileInfo& file : dir.entryInfoList({pattern}, QDir::Files | QDir::Hidden)) {
    if (!OwnPrivateFile(file.filePath().toStdString())) continue;
    QImageReader reader(file.filePath(), "png");
    if (reader.text(kMarkKey).isEmpty()) continue;
    const QSize size = reader.size();
    const std::string path = file.filePath().toStdString();
    RecoveryCopy copy{path, PictureOf(reader), file.lastModified().toSecsSinceEpoch(), size.width(), size.height(),
                      WriterOf(path), {}};
    const std::string journal = JournalPathOf(path);
    if (const std::optional<int64_t> changed = ModifiedAt(journal); changed && OwnPrivateFile(journal)) {
      copy.journal = journal;
      copy.savedAt = std::max(copy.savedAt, *changed);
    }
    copies.push_back(std::move(copy));
  }
  QString journals = pattern;
  journals.chop(4);
  for (const QFileInfo& file : dir.entryInfoList({journals + ".journal"}, QDir::Files | QDir::Hidden)) {
    const std::string journal = file.filePath().toStdString();
    const std::string path = journal.substr(0, journal.size() - 8) + ".png";
    if (QFileInfo::exists(QString::fromStdString(path)) || !OwnPrivateFile(journal)) continue;
    const std::optional<JournalHeader> header = JournalHeaderAt(journal);
    if (!header || header->base != 0) continue;  // its copy is gone: the records alone are not the painting
    copies.push_back({path, header->picture, file.lastModified().toSecsSinceEpoch(), header->width, header->height,
                      WriterOf(path), journal});
  }
}

}  // namespace

std::vector<RecoveryCopy> ListRecoveryCopies(const std::string& picture) {
  const std::string folder = RecoveryFolder();
  if (!folder.empty()) RemoveLeftoverTemporaries(folder);
  std::vector<RecoveryCopy> copies;
  AddCopiesIn(folder, "*.png", copies);
  AddCopiesIn(RuntimeRecoveryFolder(), "*.png", copies);
  if (UsersAlone(TemporaryRecoveryFolder(), false)) AddCopiesIn(TemporaryRecoveryFolder(), "*.png", copies);
  // Hidden beside the picture: ".NAME-TIME-PROCESS.png", NAME as a copy's name spells the picture's.
  if (const std::string beside = PictureFolder(picture); !beside.empty()) {
    QString stem = QString::fromStdString(CopyStem(picture));
    stem.replace('[', "[[]").replace('*', "[*]").replace('?', "[?]");  // the name filter's wildcards
    std::vector<RecoveryCopy> hidden;
    AddCopiesIn(beside, "." + stem + "-*.png", hidden);
    for (RecoveryCopy& copy : hidden)
      if (copy.picture == picture) copies.push_back(std::move(copy));
  }
  std::sort(copies.begin(), copies.end(), [](const RecoveryCopy& a, const RecoveryCopy& b) {
    return a.savedAt != b.savedAt ? a.savedAt > b.savedAt : a.path > b.path;
  });
  return copies;
}

std::optional<int64_t> ModifiedAt(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return int64_t(st.st_mtime);
}

namespace {

std::string CommandOf(int64_t process) {
  std::ifstream comm("/proc/" + std::to_string(process) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

bool StillRunning(int64_t process) {
  if (process <= 0 || process > INT32_MAX || process == ::getpid()) return false;
  if (::kill(pid_t(process), 0) != 0 && errno != EPERM) return false;
  // A number the system gave to another program since: not ours.
  return CommandOf(process) == CommandOf(::getpid());
}

bool StillWritten(const RecoveryCopy& copy) {
  if (copy.journal.empty()) return StillRunning(copy.writer);  // a copy of a version without journals
  const int fd = ::open(copy.journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

namespace {

int gClaimFile = -1;     // the picture itself, locked; or, for a picture that is no file, the claim's file
int gClaimNote = -1;     // the small file that names this process as the claim's holder
std::string gClaimNotePath;

// The claim's small file in folder, for picture: by its file's device and inode where it is a file (so
// that every name of it, through any link, is the same claim), else by a hash of its bytes (FNV-1a).
std::string ClaimNoteOf(const std::string& folder, const std::string& picture, const struct stat* file) {
  char name[80];
  if (file) {
    std::snprintf(name, sizeof name, "/.open-%llx-%llx.lock", static_cast<unsigned long long>(file->st_dev),
                  static_cast<unsigned long long>(file->st_ino));
  } else {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : picture) hash = (hash ^ uint8_t(c)) * 0x100000001b3ull;
    std::snprintf(name, sizeof name, "/.open-%016llx.lock", static_cast<unsigned long long>(hash));
  }
  return folder + name;
}

// The folder of the claims' notes: the first of the program's own folders that can be made.
std::string ClaimFolder() {
  for (const std::string& folder : {RecoveryFolder(), RuntimeRecoveryFolder(), TemporaryRecoveryFolder()})
    if (!folder.empty() && MakeFolder(folder)) return folder;
  return {};
}

int64_t NotedHolder(const std::string& note) {
  char text[24] = {};
  const int fd = ::open(note.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  ::close(fd);
  const long long holder = n > 0 ? std::atoll(text) : 0;
  return holder > 0 ? holder : -1;
}

}  // namespace

int64_t ClaimPicture(const std::string& picture) {
  ReleasePicture();
  // A picture that is a file is claimed by a lock on the file itself: every name of it, every user's run,
  // and the kernel lets it go with the process.
  struct stat st {};
  const bool isFile = picture.size() > 1 && picture[0] == '/' && ::stat(picture.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  const std::string folder = ClaimFolder();
  const std::string note = folder.empty() ? std::string() : ClaimNoteOf(folder, picture, isFile ? &st : nullptr);
  int fd = -1;
  if (isFile) fd = ::open(picture.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  else if (!note.empty()) fd = ::open(note.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::fprintf(stderr, "brisel: warning: %s cannot be claimed (%s): another Brisel opening it is not warned\n",
                 ShownName(picture).c_str(), std::strerror(errno));
    return 0;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int why = errno;
    ::close(fd);
    if (why == EWOULDBLOCK) return note.empty() ? -1 : NotedHolder(note);
    std::fprintf(stderr, "brisel: warning: %s cannot be claimed (%s): another Brisel opening it is not warned\n",
                 ShownName(picture).c_str(), std::strerror(why));
    return 0;
  }
  gClaimFile = fd;
  // Who holds it, for another run of this user to name; without it the claim holds all the same.
  const int noteFd = !isFile ? fd : note.empty() ? -1 : ::open(note.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (noteFd >= 0) {
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(noteFd, 0) == 0) (void)!::pwrite(noteFd, pid.data(), pid.size(), 0);
    if (noteFd != fd) gClaimNote = noteFd;
    gClaimNotePath = note;
  }
  return 0;
}

bool ClaimedPicture() { return gClaimFile >= 0; }

void ReleasePicture() {
  if (gClaimFile < 0) return;
  // A process forked from the holder lets go of its copies of the descriptors only: the note stays its.
  if (!gClaimNotePath.empty() && NotedHolder(gClaimNotePath) == ::getpid()) ::unlink(gClaimNotePath.c_str());
  if (gClaimNote >= 0) ::close(gClaimNote);
  ::close(gClaimFile);
  gClaimFile = gClaimNote = -1;
  gClaimNotePath.clear();
}

namespace {

// The compressed painted mask of the copy at path, from its private chunk (before the pixels: libpng reads
// the header only); empty when it has none.
std::string PaintedChunkOf(const std::string& path, size_t largest) {
  std::string found;
  QByteArray unused;
  PngOutput failure{&unused};  // where libpng's message goes, unread: a copy without the chunk says nothing
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return found;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return {};
  }
  png_init_io(png, file);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, kPaintedChunk, 1);
  png_set_chunk_malloc_max(png, largest);
  png_read_info(png, info);
  png_unknown_chunkp chunks = nullptr;
  for (int i = 0, n = png_get_unknown_chunks(png, info, &chunks); i < n; ++i)
    if (std::memcmp(chunks[i].name, kPaintedChunk, 4) == 0)
      found.assign(reinterpret_cast<const char*>(chunks[i].data), chunks[i].size);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return found;
}

// What the copy at path (width x height) says was painted: its mask, a byte a pixel, and the fingerprint of
// the picture it started from; nullopt for a copy that does not say.
std::optional<uint64_t> PaintedOfCopy(const std::string& path, const QImageReader& reader, int32_t width,
                                      int32_t height, BytePlane& painted) {
  bool isNumber = false;
  const uint64_t start = reader.text(kStartKey).toULongLong(&isNumber, 16);
  if (!isNumber) return std::nullopt;
  const uLong maskBytes = uLong((uint64_t(width) * uint64_t(height) + 7) / 8);
  const std::string compressed = PaintedChunkOf(path, compressBound(maskBytes) + 64);
  std::string bits(maskBytes, '\0');
  uLongf size = maskBytes;
  if (compressed.empty() || uncompress(reinterpret_cast<Bytef*>(bits.data()), &size,
                                       reinterpret_cast<const Bytef*>(compressed.data()), uLong(compressed.size())) != Z_OK ||
      size != maskBytes)
    return std::nullopt;
  painted = UnpackPaintedMask(bits, width, height);
  if (painted.empty()) return std::nullopt;
  return start;
}

// The painting of the copy at path as kept, its journal's records applied (see ReadRecoveryCopy). Given
// painted, it receives which pixels the painting changed, a byte a pixel (all of them for a copy that does
// not say), and start the fingerprint of the picture the painting started from where the copy says.
bool ReadPainting(const std::string& path, BytePlane& red, BytePlane& green, BytePlane& blue, BytePlane* painted,
                  std::optional<uint64_t>* start) {
  uint64_t sequence = 0;
  const bool haveCopy = QFileInfo::exists(QString::fromStdString(path));
  if (haveCopy && !OwnPrivateFile(path)) return false;
  if (haveCopy) {
    QImageReader reader(QString::fromStdString(path), "png");
    // The copies are the program's own, in the user's private folder: one as large as the painting reads.
    DecodingAllowance allowance;
    const QSize size = reader.size();
    if (size.isValid()) allowance.Allow(size.width(), size.height());
    sequence = reader.text(kSequenceKey).toULongLong();
    if (painted) {
      *start = size.isValid() ? PaintedOfCopy(path, reader, size.width(), size.height(), *painted) : std::nullopt;
      if (!*start) *painted = BytePlane(std::max(size.width(), 0), std::max(size.height(), 0), 1);
    }
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) return false;
    SplitRgb888(image, red, green, blue);
    if (painted && (painted->width() != red.width() || painted->height() != red.height())) return false;
  } else if (painted) {
    *painted = BytePlane(red.width(), red.height(), 0);
  }
  std::string bytes;
  const std::string journal = JournalPathOf(path);
  if (!ModifiedAt(journal) || !OwnPrivateFile(journal) || !ReadBytes(journal, bytes)) return haveCopy;
  const JournalReplay replay = ReplayJournal(bytes, sequence, &red, &green, &blue, painted);
  // Without a copy the journal is all there is: it must follow the picture given, and fit it.
  if (!haveCopy) {
    if (start) *start = replay.header.fingerprint;
    return replay.headerRead && replay.header.base == 0 && replay.header.width == red.width() &&
           replay.header.height == red.height();
  }
  return true;
}

}  // namespace

bool ReadRecoveryCopy(const std::string& path, BytePlane& red, BytePlane& green, BytePlane& blue) {
  return ReadPainting(path, red, green, blue, nullptr, nullptr);
}

RestoredCopy RestoreRecoveryCopy(const std::string& path, BytePlane& red, BytePlane& green, BytePlane& blue) {
  RestoredCopy restored;
  const int32_t w = red.width(), h = red.height();
  if (w <= 0 || green.width() != w || green.height() != h || blue.width() != w || blue.height() != h) return restored;
  PlaneTriple painting{red, green, blue};  // the picture under a painting kept only in its journal
  BytePlane painted;
  std::optional<uint64_t> start;
  if (!ReadPainting(path, painting[0], painting[1], painting[2], &painted, &start) || painting[0].width() != w ||
      painting[0].height() != h)
    return restored;
  restored.read = true;
  restored.knowsItsStart = start.has_value();
  restored.pictureChanged = start && *start != PlanesFingerprint(red, green, blue);
  BytePlane* now[3] = {&red, &green, &blue};
  for (size_t i = 0; i < painted.size(); ++i)
    if (painted.data()[i])
      for (int c = 0; c < 3; ++c) now[c]->data()[i] = painting[c].data()[i];
  return restored;
}

void RemoveRecoveryCopy(const RecoveryCopy& copy) {
  ::unlink(copy.path.c_str());
  ::unlink(JournalPathOf(copy.path).c_str());
}

// ---- the writer ------------------------------------------------------------------------------------
//
// One worker thread at a time. The mutex covers the last-written fingerprint and the moment a write lands
// (check of the generation, write, rename), so that Discard, which moves the generation on, never sees a
// stale copy appear after it removed the file.

struct RecoveryWriter::Impl {
  std::thread worker;
  std::atomic<bool> running{false};
  std::mutex lock;
  uint64_t generation = 0;
  std::string lastPath;  // empty: nothing written since the last Discard
  size_t lastFingerprint = 0;
};

RecoveryWriter::RecoveryWriter() : impl_(std::make_unique<Impl>()) {}

RecoveryWriter::~RecoveryWriter() { Wait(); }

void RecoveryWriter::Wait() {
  if (impl_->worker.joinable()) impl_->worker.join();
}

bool RecoveryWriter::WriteInBackground(const std::string& path, const std::string& picture, const BytePlane& red,
                                       const BytePlane& green, const BytePlane& blue) {
  if (impl_->running) return false;
  Wait();
  uint64_t generation;
  {
    std::lock_guard<std::mutex> hold(impl_->lock);
    generation = impl_->generation;
  }
  // The snapshot, taken here: the painting goes on while the thread encodes it.
  auto job = [impl = impl_.get(), path, picture, generation, r = red, g = green, b = blue] {
    // Nothing may escape a thread: it would end the program, copy unwritten.
    try {
      const size_t fingerprint = Fingerprint(r, g, b);
      bool same;
      {
        std::lock_guard<std::mutex> hold(impl->lock);
        same = !impl->lastPath.empty() && impl->lastFingerprint == fingerprint &&
               QFileInfo::exists(QString::fromStdString(impl->lastPath));
      }
      QByteArray bytes;
      std::string why = same ? std::string() : Encode(picture, r, g, b, bytes);
      std::lock_guard<std::mutex> hold(impl->lock);
      if (!same && generation == impl->generation) {
        std::string written;
        if (why.empty()) why = WriteEncoded(path, picture, bytes, written);
        if (why.empty()) impl->lastPath = written, impl->lastFingerprint = fingerprint;
        else std::fprintf(stderr, "brisel: the recovery copy %s cannot be written: %s\n", path.c_str(), why.c_str());
      }
    } catch (const std::exception& e) {
      std::fprintf(stderr, "brisel: the recovery copy %s cannot be written: %s\n", path.c_str(), e.what());
    } catch (...) {
      std::fprintf(stderr, "brisel: the recovery copy %s cannot be written\n", path.c_str());
    }
    impl->running = false;
  };
  impl_->running = true;
  try {
    impl_->worker = std::thread(std::move(job));
  } catch (...) {
    impl_->running = false;
    throw;
  }
  return true;
}

std::string RecoveryWriter::WriteNow(const std::string& path, const std::string& picture, const BytePlane& red,
                                     const BytePlane& green, const BytePlane& blue) {
  Wait();
  std::string why, written;
  try {
    QByteArray bytes;
    why = Encode(picture, red, green, blue, bytes);
    if (why.empty()) why = WriteEncoded(path, picture, bytes, written);
  } catch (const std::bad_alloc&) {
    why = "not enough memory";
  }
  std::lock_guard<std::mutex> hold(impl_->lock);
  if (why.empty()) {
    if (!impl_->lastPath.empty() && impl_->lastPath != written) ::unlink(impl_->lastPath.c_str());
    impl_->lastPath = written;
    impl_->lastFingerprint = Fingerprint(red, green, blue);
  }
  return why;
}

std::string RecoveryWriter::LastWritten() const {
  std::lock_guard<std::mutex> hold(impl_->lock);
  return impl_->lastPath;
}

void RecoveryWriter::Discard(const std::string& path) {
  std::lock_guard<std::mutex> hold(impl_->lock);
  ++impl_->generation;
  if (!impl_->lastPath.empty() && impl_->lastPath != path) ::unlink(impl_->lastPath.c_str());
  impl_->lastPath.clear();
  ::unlink(path.c_str());
}

}  // namespace brisel::platform
