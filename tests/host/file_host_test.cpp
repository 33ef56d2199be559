// The file host through its calls by name: reading, sending back, backups, atomic writes, new pictures.

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <vector>

#include "file/file_host.h"
#include "file/file_stamp.h"
#include "host/picture_fixture.h"
#include "platform/window.h"

namespace brisel::testing {
namespace {

using filehost::MakeFileHost;
using platform::HostObject;
using platform::Variant;

Variant Call(HostObject& host, std::string_view name, std::vector<Variant> args = {}) {
  return host.Invoke(name, args);
}

Planes Fetch(HostObject& host) {
  return {platform::ToByteArray(Call(host, "Tarn_GetRBuffer")), platform::ToByteArray(Call(host, "Tarn_GetGBuffer")),
          platform::ToByteArray(Call(host, "Tarn_GetBBuffer"))};
}

// The program's send-back: undo step, the three planes by reference, refresh.
void SendBack(HostObject& host, Planes& p) {
  Call(host, "Tarn_SaveUndo");
  Call(host, "Tarn_SetRbuffer", {&p.r});
  Call(host, "Tarn_SetGbuffer", {&p.g});
  Call(host, "Tarn_SetBbuffer", {&p.b});
  Call(host, "tarn_Refresh");
}

QSize SizeOf(HostObject& host) {
  return {platform::ToLong(Call(host, "Tarn_BufferWidth")), platform::ToLong(Call(host, "Tarn_BufferHeight"))};
}

// The error a call raises, as "number: text".
std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Error& e) {
    return std::to_string(e.number()) + ": " + e.text();
  }
  return "no error";
}

// As ErrorOf, with files limited to 1000 bytes: writes fail, even for root.
std::string ErrorUnderFileSizeLimit(const std::function<void()>& call) {
  struct rlimit old {};
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 1000;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  std::string error = setrlimit(RLIMIT_FSIZE, &small) == 0 ? ErrorOf(call) : "setrlimit failed";
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  return error;
}

// The names in folder, sorted, hidden ones included, as the bytes they are.
std::vector<std::string> EntriesOf(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Whether the program, started on the picture (its name passed as the bytes it is, as a shell passes it), with
// its state and settings in scratch, shows it: it then catches SIGTERM, which ends it here. A refusal ends it
// at once, its reason on standard error.
bool ShowsPicture(const std::string& picture, const std::string& scratch) {
  std::string state = "XDG_STATE_HOME=" + scratch, config = "XDG_CONFIG_HOME=" + scratch, name = picture;
  char offscreen[] = "QT_QPA_PLATFORM=offscreen", env[] = "env";
  char* arguments[] = {env, state.data(), config.data(), offscreen, const_cast<char*>(BRISEL_BINARY),
                       name.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, "env", nullptr, nullptr, arguments, environ) != 0) return false;
  bool shown = false, ended = false;
  for (int waited = 0; waited < 30'000 && !shown; waited += 20) {
    if ((ended = waitpid(child, nullptr, WNOHANG) == child)) break;
    std::ifstream status("/proc/" + std::to_string(child) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.starts_with("SigCgt:")) shown = (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    if (!shown) usleep(20'000);
  }
  if (!ended) {
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
  }
  return shown;
}

using FileHostTest = PictureFolderTest;

TEST_F(FileHostTest, SendsBackLosslesslyAndKeepsTheLastUndoStepAsBackup) {
  const std::string path = Save("sample.png", Pattern(40, 30));
  const QByteArray original = ReadBytes(path);
  auto host = MakeFileHost({path, "", "", "."});
  EXPECT_EQ(SizeOf(*host), QSize(40, 30));
  Planes p = Fetch(*host);
  EXPECT_EQ(p, PlanesOf(Pattern(40, 30)));

  p.r(0, 0) = 1, p.g(39, 29) = 2, p.b(17, 5) = 3;
  SendBack(*host, p);
  EXPECT_EQ(PlanesOf(Load(path)), p);
  EXPECT_EQ(Fetch(*host), p);
  EXPECT_EQ(ReadBytes(path + "~"), original);
  EXPECT_EQ(Names(), QStringList({"sample.png", "sample.png~"}));  // no temporary file left

  // The next backup is this send's result: one undo step, one backup.
  const QByteArray firstSend = ReadBytes(path);
  p.r(5, 5) = 200;
  SendBack(*host, p);
  EXPECT_EQ(ReadBytes(path + "~"), firstSend);
  EXPECT_EQ(PlanesOf(Load(path)), p);
}

TEST_F(FileHostTest, WritesKeepPermissionsAndGoThroughLinks) {
  const std::string real = Save("real.png", Pattern(8, 8));
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink(real.c_str(), Path("link.png").c_str()), 0);
  auto host = MakeFileHost({Path("link.png"), "", "", "."});
  Planes p = Fetch(*host);
  p.g.fill(1);
  SendBack(*host, p);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(Path("link.png"))).isSymLink());
  EXPECT_EQ(PlanesOf(Load(real)), p);
  EXPECT_EQ(filehost::StampOf(real)->mode & 0777, 0640u);
}

// What a send does to a picture that someone else has been at, or whose name is hostile. Each case has its own
// folder holding the picture and a file "victim"; `meddle` runs after the program fetched the planes and
// before it sends them.
struct HostileCase {
  const char* name;
  std::string file;
  std::function<void(const std::string& picture, const std::string& victim)> meddle;
  std::string refusal;  // part of the first send's error; empty: the send goes through
  bool retryWrites;     // after a refusal, the same send made again at once writes
  bool backup;          // the old content is then kept as IMAGE~, with the picture's mode
  std::string said = {};       // part of what the sends say on standard error
  bool byAnotherUser = false;  // the sends run as user and group 65534, the meddling as root
};

// The calls made meanwhile run as another user (and group): only root can, and so only root runs them.
class OtherUser {
 public:
  static constexpr uid_t kId = 65534;
  explicit OtherUser(bool on) : on_(on) {
    if (on_) { EXPECT_TRUE(setegid(kId) == 0 && seteuid(kId) == 0); }
  }
  ~OtherUser() {
    if (on_) { EXPECT_TRUE(seteuid(0) == 0 && setegid(0) == 0); }
  }

 private:
  bool on_;
};

TEST_F(FileHostTest, HostileSendsNeverFollowLinksNorOverwriteUnasked) {
  auto replaceWith = [](const std::string& picture, int seed) {
    const std::string other = picture + ".new";
    ASSERT_TRUE(Pattern(8, 6, seed).save(QString::fromStdString(other), "png"));
    ASSERT_EQ(rename(other.c_str(), picture.c_str()), 0);
  };
  // Another program's edit in place that leaves the size and sets the modification time back (cp -p, touch -r,
  // rsync --inplace -t): only the change time, which the file system alone sets, moves.
  auto editInPlaceKeepingTimes = [](const std::string& picture, int seed) {
    struct stat was {};
    ASSERT_EQ(stat(picture.c_str(), &was), 0);
    QByteArray other;
    QBuffer buffer(&other);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && Pattern(8, 6, seed).save(&buffer, "bmp"));
    ASSERT_EQ(other.size(), was.st_size);
    usleep(20'000);  // past a tick of the clock that stamps files, where it is a coarse one
    const int fd = open(picture.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_EQ(write(fd, other.constData(), size_t(other.size())), other.size());
    const timespec times[2] = {was.st_atim, was.st_mtim};
    ASSERT_EQ(futimens(fd, times) | close(fd), 0);
  };
  // A shared folder (mode 1777, as /tmp) where root, another user than the sending one, put a file at IMAGE~.
  auto othersBackupInSharedFolder = [this](const std::string& picture, const std::string&) {
    ASSERT_TRUE(std::ofstream(picture + "~") << "root's own");
    const std::string folder = picture.substr(0, picture.rfind('/'));
    ASSERT_EQ(chmod(dir_.path().toLocal8Bit().constData(), 0711) | chmod(folder.c_str(), 01777), 0);
    ASSERT_EQ(chown(picture.c_str(), OtherUser::kId, OtherUser::kId), 0);
  };
  const std::vector<HostileCase> cases = {
      {"plain", "p.png", [](auto&, auto&) {}, "", false, true},
      {"backup-symlink", "s.png", [](auto& pic, auto& victim) { ASSERT_EQ(symlink(victim.c_str(), (pic + "~").c_str()), 0); },
       "", false, false, "a symbolic link is there"},
      {"backup-folder", "d.png", [](auto& pic, auto&) { ASSERT_EQ(mkdir((pic + "~").c_str(), 0700), 0); }, "", false,
       false, "a folder is there"},
      {"backup-of-another-user-in-shared-folder", "o.png", othersBackupInSharedFolder, "", false, false,
       "another user's file", true},
      {"folder-not-writable", "nw.png",
       [this](const std::string& picture, const std::string&) {
         const std::string folder = picture.substr(0, picture.rfind('/'));
         ASSERT_EQ(chmod(dir_.path().toLocal8Bit().constData(), 0711) | chmod(folder.c_str(), 0755), 0);
         ASSERT_EQ(chown(picture.c_str(), OtherUser::kId, OtherUser::kId), 0);
       },
       "the folder", false, false, "", true},
      {"name-250-bytes", std::string(246, 'n') + ".png", [](auto&, auto&) {}, "", false, true},
      {"name-255-bytes-no-room-for-backup", std::string(251, 'm') + ".png", [](auto&, auto&) {}, "", false, false,
       "too long"},
      {"mode-0660-kept", "private.png", [](auto& pic, auto&) { ASSERT_EQ(chmod(pic.c_str(), 0660), 0); }, "", false, true},
      {"mode-0444-refused", "ro.png", [](auto& pic, auto&) { ASSERT_EQ(chmod(pic.c_str(), 0444), 0); }, "is read-only",
       false, false},
      {"hard-link-keeps-old", "h.png",
       [](auto& pic, auto& victim) { ASSERT_EQ(unlink(victim.c_str()) | link(pic.c_str(), victim.c_str()), 0); },
       "", false, true},
      {"replaced-same-size", "r.png", [&](auto& pic, auto&) { replaceWith(pic, 1); }, "replaced by another file", true,
       true},
      {"touched", "t.png",
       [](auto& pic, auto&) {
         const timespec hourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
         ASSERT_EQ(utimensat(AT_FDCWD, pic.c_str(), hourAgo, 0), 0);
       },
       "modified at", true, true},
      {"edited-in-place-times-kept", "e.bmp", [&](auto& pic, auto&) { editInPlaceKeepingTimes(pic, 1); },
       "changed in place", true, true},
      {"deleted", "x.png", [](auto& pic, auto&) { ASSERT_EQ(unlink(pic.c_str()), 0); }, "was deleted", true, false},
  };
  const pid_t ended = fork();  // a process number that runs no more
  if (ended == 0) _exit(0);
  ASSERT_GT(ended, 0);
  waitpid(ended, nullptr, 0);
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.byAnotherUser && geteuid() != 0) {
      std::printf("%s: only root can run it, as another user\n", c.name);
      continue;
    }
    ASSERT_EQ(mkdir(Path(c.name).c_str(), 0700), 0);
    const std::string picture = Save(std::string(c.name) + "/" + c.file, Pattern(8, 6));
    // A killed send's leftover, its name cut to fit 255 bytes as the writer cuts it: gone once opened.
    WriteBytes(std::string(c.name) + "/." + c.file.substr(0, 230) + ".brisel-" + std::to_string(ended) + "-7", "half");
    const std::string victim = WriteBytes(std::string(c.name) + "/victim", "not yours");
    auto host = MakeFileHost({picture, "", "", "."});
    Planes p = Fetch(*host);
    p.r(0, 0) ^= 0xff;
    c.meddle(picture, victim);
    const QByteArray before = ReadBytes(picture), victimBefore = ReadBytes(victim);
    struct stat was {}, backupWas {};
    const bool existed = stat(picture.c_str(), &was) == 0;
    const bool backupExisted = lstat((picture + "~").c_str(), &backupWas) == 0;

    ::testing::internal::CaptureStderr();
    {
      const OtherUser sender(c.byAnotherUser);
      const std::string first = ErrorOf([&] { SendBack(*host, p); });
      if (c.refusal.empty()) {
        EXPECT_EQ(first, "no error");
      } else {
        EXPECT_NE(first.find(c.refusal), std::string::npos) << first;
        EXPECT_EQ(ReadBytes(picture), before);
      }
      if (c.retryWrites) {
        if (existed) {  // a new send asks again; the same send at once writes
          EXPECT_NE(ErrorOf([&] { SizeOf(*host), SendBack(*host, p); }).find(c.refusal), std::string::npos);
        }
        EXPECT_EQ(ErrorOf([&] { SendBack(*host, p); }), "no error");
      }
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    const bool written = c.refusal.empty() || c.retryWrites;
    EXPECT_EQ(PlanesOf(Load(picture)) == p, written);
    struct stat now {}, backupNow {};
    ASSERT_EQ(stat(picture.c_str(), &now), 0);
    if (existed) {
      EXPECT_EQ(now.st_mode & 07777, was.st_mode & 07777);
      EXPECT_EQ(now.st_uid, was.st_uid);
    }
    EXPECT_EQ(ReadBytes(victim), victimBefore);  // not written through a link, nor a hard link's other name
    const bool backupNowExists = lstat((picture + "~").c_str(), &backupNow) == 0;
    if (c.backup) {
      EXPECT_TRUE(backupNowExists && S_ISREG(backupNow.st_mode));
      EXPECT_EQ(ReadBytes(picture + "~"), before);
      EXPECT_EQ(backupNow.st_mode & 07777, was.st_mode & 07777);
    } else {  // whatever stood at the backup's name is left as it was
      EXPECT_EQ(backupNowExists, backupExisted);
      if (backupExisted) { EXPECT_EQ(backupNow.st_ino, backupWas.st_ino); }
      if (backupExisted) { EXPECT_EQ(backupNow.st_mode, backupWas.st_mode); }
    }
    for (const QString& name : QDir(QString::fromStdString(Path(c.name))).entryList(QDir::Hidden | QDir::Files))
      EXPECT_FALSE(name.contains(".brisel-")) << name.toStdString();  // no temporary left
  }
}

// Any name the system takes names a picture, through the command line, opening, sending and the backup:
// spaces the eye misses, a tab, a newline, bytes that are not UTF-8, and the longest names (at 255 bytes the
// backup's name has no room: none is written, and standard error says so).
TEST_F(FileHostTest, PicturesOfAnyNameOpenSendAndKeepABackup) {
  std::string e;  // "é" 124 times, two bytes each: a temporary file's name is cut between characters
  for (int i = 0; i < 124; ++i) e += "\xc3\xa9";
  const struct {
    const char* label;
    std::string name;
    bool backup;
  } names[] = {
      {"two spaces", "two  spaces.png", true},
      {"tab", "tab\t.png", true},
      {"newline", "new\nline.png", true},
      {"leading space", " lead.png", true},
      {"trailing space", "trail.png ", true},  // "png " names no format: the content does
      {"not UTF-8", "caf\xe9-\xff\xfe.png", true},
      {"254 bytes", e + "\xff\xfe.png", true},
      {"255 bytes", e + "\xff\xfe\xfd.png", false},
  };
  QByteArray png;
  QBuffer buffer(&png);
  ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && Pattern(8, 6).save(&buffer, "png"));
  ASSERT_EQ(mkdir(Path("state").c_str(), 0700), 0);
  for (const auto& n : names) {
    SCOPED_TRACE(n.label);
    const std::string folder = Path(n.label);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string picture = WriteBytes(std::string(n.label) + "/" + n.name, png);
    EXPECT_EQ(filehost::CheckPicture(picture), std::nullopt);
    EXPECT_TRUE(ShowsPicture(picture, Path("state")));

    auto host = MakeFileHost({picture, "", "", "."});
    Planes p = Fetch(*host);
    EXPECT_EQ(p, PlanesOf(Pattern(8, 6)));
    p.g(3, 2) ^= 0xff;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(ErrorOf([&] { SendBack(*host, p); }), "no error");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(PlanesOf(Load(picture)), p);
    EXPECT_EQ(ReadBytes(picture + "~"), n.backup ? png : QByteArray());
    EXPECT_EQ(said.find("too long") != std::string::npos, !n.backup) << said;
    // The picture and its backup, and no temporary file left.
    const std::vector<std::string> expected = n.backup ? std::vector{n.name, n.name + "~"} : std::vector{n.name};
    EXPECT_EQ(EntriesOf(folder), expected);
  }
}

// A send cut short leaves a hidden temporary beside the picture (or its backup). Opening the picture again
// removes those whose writing process is gone, or, named without one, that are an hour old; nothing else.
TEST_F(FileHostTest, OpeningThePictureRemovesOnlyTemporariesWhoseWriterIsGone) {
  const std::string picture = Save("sample.png", Pattern(4, 3));
  const pid_t ended = fork();  // a process number that runs no more
  if (ended == 0) _exit(0);
  ASSERT_GT(ended, 0);
  waitpid(ended, nullptr, 0);
  const std::string gone = std::to_string(ended), alive = std::to_string(getpid());
  // Removed: the two of the ended process, and the last, made an hour old below. Kept: a running writer's, a
  // young one without a writer, another picture's, names that are not ours, and a link (further below).
  for (const std::string& name : std::vector<std::string>{
           ".sample.png.brisel-" + gone + "-12", ".sample.png~.brisel-" + gone + "-3",
           ".sample.png.brisel-" + alive + "-34", ".sample.png.brisel-666666", ".other.png.brisel-" + gone + "-1",
           "sample.png.brisel-" + gone + "-1", ".sample.png.brisel-" + gone + "-x", ".sample.png.brisel-555555"})
    WriteBytes(name, "half a picture");
  const timespec twoHoursAgo[2] = {{time(nullptr) - 7200, 0}, {time(nullptr) - 7200, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, Path(".sample.png.brisel-555555").c_str(), twoHoursAgo, 0), 0);
  ASSERT_EQ(symlink(Path("sample.png").c_str(), Path(".sample.png.brisel-" + gone + "-99").c_str()), 0);

  ::testing::internal::CaptureStderr();
  MakeFileHost({picture, "", "", "."});
  const std::string said = ::testing::internal::GetCapturedStderr();
  QStringList kept;
  for (const std::string& name : {".other.png.brisel-" + gone + "-1", ".sample.png.brisel-" + gone + "-99",
                                  ".sample.png.brisel-" + gone + "-x", ".sample.png.brisel-" + alive + "-34",
                                  std::string(".sample.png.brisel-666666"), std::string("sample.png"),
                                  "sample.png.brisel-" + gone + "-1"})
    kept << QString::fromStdString(name);
  kept.sort();
  EXPECT_EQ(Names().join(" ").toStdString(), kept.join(" ").toStdString());
  EXPECT_NE(said.find(Path(".sample.png.brisel-" + gone + "-12")), std::string::npos) << said;
}

TEST_F(FileHostTest, UnchangedPlanesLeaveALossyFileUntouched) {
  const std::string path = Save("photo.jpg", Pattern(64, 48));
  const QByteArray bytes = ReadBytes(path);
  const auto stamp = filehost::StampOf(path);
  auto host = MakeFileHost({path, "", "", "."});
  Planes p = Fetch(*host);
  SendBack(*host, p);
  Call(*host, "tarn_Refresh");  // nothing staged
  EXPECT_EQ(filehost::StampOf(path), stamp);
  EXPECT_EQ(Names(), QStringList({"photo.jpg"}));

  // Changed: rewritten as JPEG, at a quality that keeps a two-pixel change, with its backup.
  for (BytePlane* plane : {&p.r, &p.g, &p.b}) (*plane)(10, 10) = (*plane)(11, 10) = 255;
  SendBack(*host, p);
  EXPECT_EQ(QImageReader(QString::fromStdString(path)).format(), "jpeg");
  EXPECT_NEAR(Fetch(*host).g(10, 10), 255, 24);
  EXPECT_EQ(ReadBytes(path + "~"), bytes);
}

TEST_F(FileHostTest, ReportsThePictureAsItNowStandsOnDisk) {
  const std::string path = Save("sample.png", Pattern(40, 30));
  auto host = MakeFileHost({path, "", "", "."});
  EXPECT_EQ(SizeOf(*host), QSize(40, 30));

  Save("other.png", Pattern(50, 20, 9));  // replaced by another program: written aside, renamed over
  ASSERT_EQ(std::rename(Path("other.png").c_str(), path.c_str()), 0);
  EXPECT_EQ(SizeOf(*host), QSize(50, 20));
  EXPECT_EQ(Fetch(*host), PlanesOf(Pattern(50, 20, 9)));
  Save("sample.png", Pattern(50, 20, 77));  // rewritten in place at the same size, a moment later
  EXPECT_EQ(Fetch(*host), PlanesOf(Pattern(50, 20, 77)));

  ASSERT_TRUE(QFile::remove(QString::fromStdString(path)));
  EXPECT_EQ(ErrorOf([&] { SizeOf(*host); }).rfind("440: " + path, 0), 0u);
}

TEST_F(FileHostTest, RefreshTakesThePlanesSizeAndKeepsChannelsNotSent) {
  const std::string path = Save("sample.png", Pattern(40, 30));
  auto host = MakeFileHost({path, "", "", "."});
  BytePlane red(40, 30, 9);
  Call(*host, "Tarn_SetRbuffer", {&red});
  Call(*host, "tarn_Refresh");
  EXPECT_EQ(Fetch(*host), (Planes{red, PlanesOf(Pattern(40, 30)).g, PlanesOf(Pattern(40, 30)).b}));

  const QByteArray before = ReadBytes(path);
  BytePlane wide(60, 30, 1), other(40, 30, 2);
  Call(*host, "Tarn_SetRbuffer", {&wide});
  Call(*host, "Tarn_SetGbuffer", {&other});
  EXPECT_EQ(ErrorOf([&] { Call(*host, "tarn_Refresh"); }).substr(0, 5), "440: ");
  EXPECT_EQ(ReadBytes(path), before);

  Planes big{BytePlane(60, 10, 4), BytePlane(60, 10, 5), BytePlane(60, 10, 6)};  // the program decides
  SendBack(*host, big);
  EXPECT_EQ(PlanesOf(Load(path)), big);
}

TEST_F(FileHostTest, FailedWriteIsAnErrorAndLeavesTheOldFile) {
  const std::string path = Save("sample.png", Pattern(200, 200));
  const QByteArray before = ReadBytes(path);
  auto host = MakeFileHost({path, "", "", "."});
  Planes p = Fetch(*host);
  p.r.fill(0);
  for (bool withUndo : {false, true}) {  // the picture's own write fails, then the backup's
    if (withUndo) Call(*host, "Tarn_SaveUndo");
    const std::string failure = ErrorUnderFileSizeLimit([&] {
      Call(*host, "Tarn_SetRbuffer", {&p.r});
      Call(*host, "tarn_Refresh");
    });
    EXPECT_EQ(failure.rfind("440: ", 0), 0u) << failure;
    EXPECT_NE(failure.find("sample.png"), std::string::npos) << failure;
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(Names(), QStringList({"sample.png"}));  // no temporary file, no half backup
  }
  // The staged plane and the undo step survive; a retry once the disk takes them writes both.
  Call(*host, "tarn_Refresh");
  EXPECT_EQ(Fetch(*host).r, p.r);
  EXPECT_EQ(ReadBytes(path + "~"), before);

  // The picture's folder replaced by a file: an error, not a crash.
  ASSERT_TRUE(QDir().mkdir(QString::fromStdString(Path("sub"))));
  auto inner = MakeFileHost({Save("sub/inner.png", Pattern(8, 8)), "", "", "."});
  Planes q = Fetch(*inner);
  ASSERT_EQ(std::rename(Path("sub").c_str(), Path("moved").c_str()), 0);
  WriteBytes("sub", "not a folder");
  q.g.fill(7);
  EXPECT_EQ(ErrorOf([&] { SendBack(*inner, q); }).substr(0, 5), "440: ");
}

TEST_F(FileHostTest, NewPictureIsWhiteAndNeverOverwritesAFile) {
  WriteBytes("brisel-1.png", "someone else's");
  auto host = MakeFileHost({"", "", "", dir_.path().toStdString()});
  EXPECT_EQ(SizeOf(*host), QSize(1024, 768));
  Planes p = Fetch(*host);
  EXPECT_EQ(p.r, BytePlane(1024, 768, 255));
  Call(*host, "tarn_Refresh");  // nothing sent: no file made
  EXPECT_EQ(Names(), QStringList({"brisel-1.png"}));

  p.b(0, 0) = 0;
  ::testing::internal::CaptureStdout();
  SendBack(*host, p);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), Path("brisel-2.png") + "\n");
  EXPECT_EQ(ReadBytes(Path("brisel-1.png")), "someone else's");
  EXPECT_EQ(PlanesOf(Load(Path("brisel-2.png"))), p);

  // Later sends go to that file, with a backup; another new picture takes the next name.
  p.b(1, 0) = 0;
  SendBack(*host, p);
  auto second = MakeFileHost({"", "", "", dir_.path().toStdString()});
  Planes white = Fetch(*second);
  ::testing::internal::CaptureStdout();
  SendBack(*second, white);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(Names(), QStringList({"brisel-1.png", "brisel-2.png", "brisel-2.png~", "brisel-3.png"}));

  auto nowhere = MakeFileHost({"", "", "", Path("missing-folder")});
  EXPECT_EQ(ErrorOf([&] { SendBack(*nowhere, white); }).substr(0, 5), "440: ");
}

// The planes show transparency laid on white; the file keeps it where nothing was painted.
TEST_F(FileHostTest, TransparencyIsShownOnWhiteAndKeptWhereNotPainted) {
  QImage image(2, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgba(0, 0, 0, 0));
  image.setPixel(1, 0, qRgba(255, 0, 100, 128));
  auto host = MakeFileHost({Save("alpha.png", image), "", "", "."});
  Planes p = Fetch(*host);
  // c * a / 255 + 255 * (255 - a) / 255, rounded.
  EXPECT_EQ(std::vector<int>({p.r(0, 0), p.g(0, 0), p.b(0, 0), p.r(1, 0), p.g(1, 0), p.b(1, 0)}),
            std::vector<int>({255, 255, 255, 255, 127, 177}));
  p.r(0, 0) = 0;
  SendBack(*host, p);
  const QImage after = Load(Path("alpha.png")).convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(after.pixel(0, 0), qRgba(0, 255, 255, 255));  // painted: opaque, as it was seen
  EXPECT_EQ(after.pixel(1, 0), qRgba(255, 0, 100, 128));
}

// A format that cannot hold the painting asks first and writes nothing; the same send again writes what it
// can hold; a new send asks anew; a painting it holds writes without a question.
TEST_F(FileHostTest, AFormatThatCannotHoldThePaintingAsksFirst) {
  QImage grey(3, 2, QImage::Format_Grayscale8), mono(3, 2, QImage::Format_Mono);
  grey.fill(100), mono.fill(1);
  for (const auto& [name, image, paint, holds] : {std::tuple{"pic.pgm", grey, 90, "grey"},
                                                  std::tuple{"pic.pbm", mono, 0, "black and white"}}) {
    const std::string path = Save(name, image);
    const QByteArray before = ReadBytes(path);
    auto host = MakeFileHost({path, "", "", "."});
    Planes p = Fetch(*host);
    p.r(0, 0) = p.g(0, 0) = uint8_t(paint), p.b(0, 0) = 200;  // a colour
    const std::string question = "31004: " + std::string(name) + " can hold only " + holds + ". Write your painting in " + holds + "?";
    EXPECT_EQ(ErrorOf([&] { SendBack(*host, p); }), question);
    EXPECT_EQ(ReadBytes(path), before) << name;
    SizeOf(*host);  // no, and later a new send: asked again
    EXPECT_EQ(ErrorOf([&] { SendBack(*host, p); }), question);
    EXPECT_EQ(ErrorOf([&] { SendBack(*host, p); }), "no error");  // yes
    EXPECT_EQ(Load(path).format(), image.format()) << name;
    EXPECT_EQ(Load(path).pixel(2, 1), image.pixel(2, 1)) << name;
    p.b(0, 0) = 201;
    SizeOf(*host);  // a new send
    EXPECT_EQ(ErrorOf([&] { SendBack(*host, p); }), question);
    p.b(0, 0) = uint8_t(paint);
    EXPECT_EQ(ErrorOf([&] { SendBack(*host, p); }), "no error");  // what it holds, unasked
  }
}

TEST_F(FileHostTest, CallsAreByExactNameWithCheckedArguments) {
  filehost::RegisterFileHost({Save("sample.png", Pattern(4, 4)), "", "/themes/wall.png", "."});
  auto host = platform::CreateObject(platform::kHostProgId);
  platform::UnregisterHost(platform::kHostProgId);
  EXPECT_EQ(platform::ToString(Call(*host, "Tarn_WallpaperFilename")), "/themes/wall.png");
  EXPECT_EQ(ErrorOf([&] { Call(*host, "Tarn_Nonsense"); }), "438: Object doesn't support this property or method");
  EXPECT_EQ(ErrorOf([&] { Call(*host, "tarn_BufferWidth"); }).substr(0, 4), "438:");
  EXPECT_EQ(ErrorOf([&] { Call(*host, "Tarn_BufferWidth", {int32_t(1)}); }).substr(0, 4), "450:");
  EXPECT_EQ(ErrorOf([&] { Call(*host, "Tarn_SetRbuffer", {int32_t(3)}); }), "13: Type mismatch");
  EXPECT_EQ(ErrorOf([&] { Call(*host, "Tarn_SendFormObject", {(platform::Form*)nullptr, int16_t(0)}); }),
            "13: Type mismatch");
  const auto box = [&](std::vector<Variant> args) { return ErrorOf([&] { Call(*host, "Brisel_ChangedBox", args); }); };
  EXPECT_EQ(box({int32_t(1), int32_t(2), int32_t(3), int16_t(4)}), "no error");  // ignored: files are written whole
  EXPECT_EQ(box({int32_t(1), int32_t(2), int32_t(3)}).substr(0, 4), "450:");
  EXPECT_EQ(box({int32_t(1), 2.0, int32_t(3), int32_t(4)}), "13: Type mismatch");

  platform::Form form;
  int16_t zero = 0;
  Call(*host, "Tarn_SendFormObject", {&form, &zero});
  EXPECT_TRUE(form.loaded() && form.visible());
  form.Hide();
}

}  // namespace
}  // namespace brisel::testing
