// The journal's two threads: one appends the records handed over and syncs the file at most once a second;
// the other folds them into a copy of its own of the planes (the mirror), encodes that and lands it as the
// new copy, then starts the journal over after it.
//
// Locks, always taken in this order: landing (a copy's landing and the journal's start over, against
// Discard), file (the journal's descriptor and what it holds), state (everything else; never held across a
// write or an encode). A record is in memory twice at most (waiting for the file, waiting for the mirror),
// shared by both, until the next fold: the fold comes once they pass the picture's size.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include "platform/atomic_file.h"
#include "platform/journal.h"
#include "platform/qt/recovery_files.h"
#include "platform/recovery_copies.h"

namespace brisel::platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kSyncInterval = std::chrono::seconds(1);

struct Entry {
  uint64_t sequence = 0;
  std::shared_ptr<const std::string> bytes;
};

// The planes as of record `sequence`, owned by the fold thread while it folds; made from the planes the
// painting started from at the first fold (empty until then, so that a run that paints nothing holds one
// copy of the picture, not two).
struct Mirror {
  PlaneTriple planes;
  uint64_t sequence = 0;
};

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string CopyBeside(const std::string& journal) { return journal.substr(0, journal.size() - 8) + ".png"; }

bool WriteWhole(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// The folder's entries on disk, so that a rename made before is durable before the next one.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

}  // namespace

struct RecoveryJournal::Impl {
  // ---- state
  std::mutex state;
  std::condition_variable wake;      // the writing thread: a record, a sync due, or the end
  std::condition_variable foldWake;  // the folding thread: a fold wanted, or the end
  std::condition_variable settled;   // a record written, a fold ended
  bool stop = false;
  bool active = false;               // between Begin and Discard
  uint64_t generation = 0;           // Begin and Discard move it on: what was under way lands nowhere
  std::string copyPath, picture;
  int32_t width = 0, height = 0;
  uint64_t next = 1;                 // the next record's sequence
  std::deque<Entry> toWrite;        // handed over, not yet in the journal
  bool writing = false;              // the writing thread holds one out of toWrite
  std::deque<Entry> toMirror;       // handed over, not yet in the mirror
  uint64_t toMirrorBytes = 0;
  std::shared_ptr<Mirror> mirror;
  // The planes as they were at Begin, never changed after: a record's and a copy's painted mask are the
  // pixels that differ from them. Kept whole (3 bytes a pixel), as the exact comparison needs; the masks
  // themselves are a bit a pixel in the records and the copy, where they stay for the painting's life.
  std::shared_ptr<const PlaneTriple> start;
  uint64_t startFingerprint = 0;
  bool foldWanted = false, folding = false;
  bool unsynced = false;
  Clock::time_point lastSync{};

  // ---- file
  std::mutex file;
  int fd = -1;
  std::string journalPath;
  uint64_t journalBase = 0;          // the copy's sequence the journal's records follow
  std::deque<Entry> inJournal;      // its records, for its start over after a fold
  uint64_t journalBytes = 0;
  bool saidNoJournal = false;

  // ---- landing
  std::mutex landing;
  // The copy: changed with landing and file both held, read with either.
  bool haveCopy = false;
  std::string copyWritten;           // where the copy is
  uint64_t copySequence = 0;

  std::thread writer, folder;

  bool Current(uint64_t gen) {
    std::lock_guard<std::mutex> hold(state);
    return active && gen == generation;
  }

  uint64_t StartFingerprint() {
    std::lock_guard<std::mutex> hold(state);
    return startFingerprint;
  }

  // ---- the journal file (file held)

  void CloseJournal() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  // The journal's first place: beside the copy where there is one, else the first place a copy may go
  // that takes it.
  bool OpenJournal(const std::string& path, const std::string& name, int32_t w, int32_t h, uint64_t base,
                   bool besideCopy) {
    const std::vector<std::string> places = besideCopy ? std::vector<std::string>{path} : RecoveryPlaces(path, name);
    const std::string header = JournalHeaderBytes({base, w, h, name, StartFingerprint()});
    for (const std::string& place : places) {
      const std::string journal = JournalPathOf(place);
      if (!MakeFolder(FolderOf(journal))) continue;
      const int opened = ::open(journal.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (opened < 0) continue;
      // Locked while this run writes it: another run asks the lock whether the copy is still kept.
      (void)::flock(opened, LOCK_EX | LOCK_NB);
      if (!WriteWhole(opened, header)) {
        ::close(opened);
        ::unlink(journal.c_str());
        continue;
      }
      fd = opened;
      journalPath = journal;
      journalBase = base;
      journalBytes = header.size();
      return true;
    }
    if (!saidNoJournal)
      std::fprintf(stderr, "brisel: the painting's journal cannot be written beside %s (%s): only its copies "
                   "keep it\n", path.c_str(), std::strerror(errno));
    saidNoJournal = true;
    return false;
  }

  void Append(const Entry& record, uint64_t gen) {
    std::lock_guard<std::mutex> hold(file);
    if (!Current(gen) || record.sequence <= journalBase) return;  // a copy already holds it
    if (fd < 0) {
      std::string path, name;
      int32_t w, h;
      bool besideCopy;
      uint64_t base;
      besideCopy = haveCopy;
      base = copySequence;
      path = haveCopy ? copyWritten : std::string();
      {
        std::lock_guard<std::mutex> hold(state);
        if (path.empty()) path = copyPath;
        name = picture, w = width, h = height;
      }
      // A journal must follow its predecessor's records without a gap.
      if (record.sequence != base + 1 || !OpenJournal(path, name, w, h, base, besideCopy)) return;
    }
    if (!WriteWhole(fd, *record.bytes)) {
      // A full disk, a file size limit: what was written stays good up to the last whole record, and the
      // records stay in memory for the next copy. The journal starts anew after that copy.
      std::fprintf(stderr, "brisel: the painting's journal %s cannot grow (%s)\n", journalPath.c_str(),
                   std::strerror(errno));
      CloseJournal();
      journalBase = UINT64_MAX;  // nothing more goes in until the next copy starts it over
      return;
    }
    inJournal.push_back(record);
    journalBytes += record.bytes->size();
    const auto now = Clock::now();
    std::lock_guard<std::mutex> holdState(state);
    if (now - lastSync >= kSyncInterval) {
      ::fdatasync(fd);
      lastSync = now;
      unsynced = false;
    } else {
      unsynced = true;
      wake.notify_one();
    }
  }

  void SyncNow() {
    std::lock_guard<std::mutex> hold(file);
    if (fd >= 0) ::fdatasync(fd);
    std::lock_guard<std::mutex> holdState(state);
    lastSync = Clock::now();
    unsynced = false;
  }

  // After a copy of `sequence` landed at copy (landing held): the journal starts over beside it with the
  // records that follow it, written whole and renamed in, so that at every moment the copy and one
  // journal together give the painting.
  void StartJournalOver(const std::string& copy, uint64_t sequence) {
    std::lock_guard<std::mutex> hold(file);
    std::string name;
    int32_t w, h;
    {
      std::lock_guard<std::mutex> holdState(state);
      name = picture, w = width, h = height;
    }
    while (!inJournal.empty() && inJournal.front().sequence <= sequence) inJournal.pop_front();
    // What the journal holds must follow the copy without a gap.
    if (!inJournal.empty() && inJournal.front().sequence != sequence + 1) inJournal.clear();
    std::string bytes = JournalHeaderBytes({sequence, w, h, name, StartFingerprint()});
    for (const Entry& record : inJournal) bytes += *record.bytes;
    const std::string journal = JournalPathOf(copy);
    SyncFolder(FolderOf(copy));  // the copy's rename first: a journal that skips records needs its copy
    const std::string why = WritePrivateFile(journal, bytes.data(), bytes.size());
    CloseJournal();
    if (!why.empty()) {
      std::fprintf(stderr, "brisel: the painting's journal %s cannot start over (%s)\n", journal.c_str(), why.c_str());
      journalBase = UINT64_MAX;
      return;
    }
    if (!journalPath.empty() && journalPath != journal) ::unlink(journalPath.c_str());
    journalPath = journal;
    journalBase = sequence;
    journalBytes = bytes.size();
    fd = ::open(journal.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) journalBase = UINT64_MAX;
    else (void)::flock(fd, LOCK_EX | LOCK_NB);
  }

  // Lands an encoded copy of `sequence`: empty or why not. A copy older than the one there never replaces it.
  std::string Land(const QByteArray& bytes, uint64_t sequence, uint64_t gen) {
    std::lock_guard<std::mutex> hold(landing);
    if (!Current(gen)) return {};
    if (haveCopy && sequence < copySequence) return {};
    std::string target, name;
    {
      std::lock_guard<std::mutex> holdFile(file);
      target = !journalPath.empty() ? CopyBeside(journalPath) : std::string();
    }
    {
      std::lock_guard<std::mutex> holdState(state);
      if (target.empty()) target = haveCopy ? copyWritten : copyPath;
      name = picture;
    }
    std::string written;
    const std::string why = WriteEncoded(target, name, bytes, written);
    if (!why.empty()) return why;
    if (haveCopy && copyWritten != written) ::unlink(copyWritten.c_str());
    {
      std::lock_guard<std::mutex> holdFile(file);
      haveCopy = true;
      copyWritten = written;
      copySequence = sequence;
    }
    StartJournalOver(written, sequence);
    return {};
  }

  // ---- the threads

  void WriteRecords() {
    std::unique_lock<std::mutex> hold(state);
    for (;;) {
      if (toWrite.empty() && !stop) {
        if (unsynced) wake.wait_until(hold, lastSync + kSyncInterval);
        else wake.wait(hold);
      }
      if (toWrite.empty()) {
        if (unsynced && (stop || Clock::now() >= lastSync + kSyncInterval)) {
          hold.unlock();
          SyncNow();
          hold.lock();
        }
        if (stop && toWrite.empty()) return;
        continue;
      }
      const Entry record = std::move(toWrite.front());
      toWrite.pop_front();
      writing = true;
      const uint64_t gen = generation;
      hold.unlock();
      Append(record, gen);
      hold.lock();
      writing = false;
      settled.notify_all();
    }
  }

  void FoldRecords() {
    std::unique_lock<std::mutex> hold(state);
    for (;;) {
      foldWake.wait(hold, [&] { return stop || foldWanted; });
      if (stop) return;
      foldWanted = false;
      if (!mirror || !active) continue;
      folding = true;
      std::shared_ptr<Mirror> planes = mirror;
      std::deque<Entry> records = std::move(toMirror);
      toMirror.clear();
      toMirrorBytes = 0;
      const uint64_t gen = generation;
      const std::string name = picture;
      const std::shared_ptr<const PlaneTriple> from = start;
      PaintedPart painted{startFingerprint, {}};
      hold.unlock();
      try {
        if (planes->planes[0].empty()) planes->planes = *from;
        for (const Entry& record : records)
          if (record.sequence == planes->sequence + 1 &&
              ApplyJournalRecord(*record.bytes, planes->planes[0], planes->planes[1], planes->planes[2]))
            planes->sequence = record.sequence;
        const PlaneTriple& p = planes->planes;
        // A mirror that KeepNow made of planes of another size cannot say what was painted.
        const bool sameSize = p[0].width() == (*from)[0].width() && p[0].height() == (*from)[0].height();
        if (sameSize) painted.maskBits = PaintedMaskBits(0, 0, p[0].width(), p[0].height(), p[0], p[1], p[2], *from);
        QByteArray bytes;
        std::string why = EncodeCopy(name, planes->sequence, p[0], p[1], p[2], bytes, sameSize ? &painted : nullptr);
        if (why.empty()) why = Land(bytes, planes->sequence, gen);
        if (!why.empty()) std::fprintf(stderr, "brisel: the recovery copy is not written this time: %s\n", why.c_str());
      } catch (const std::exception& e) {
        std::fprintf(stderr, "brisel: the recovery copy is not written this time: %s\n", e.what());
      }
      hold.lock();
      folding = false;
      settled.notify_all();
    }
  }
};

RecoveryJournal::RecoveryJournal() : impl_(std::make_unique<Impl>()) {
  impl_->writer = std::thread([impl = impl_.get()] { impl->WriteRecords(); });
  impl_->folder = std::thread([impl = impl_.get()] { impl->FoldRecords(); });
}

RecoveryJournal::~RecoveryJournal() {
  {
    std::lock_guard<std::mutex> hold(impl_->state);
    impl_->stop = true;
  }
  impl_->wake.notify_all();
  impl_->foldWake.notify_all();
  impl_->writer.join();
  impl_->folder.join();
  std::lock_guard<std::mutex> hold(impl_->file);
  impl_->CloseJournal();
}

void RecoveryJournal::Begin(const std::string& copyPath, const std::string& picture, const BytePlane& red,
                            const BytePlane& green, const BytePlane& blue) {
  Discard();
  auto mirror = std::make_shared<Mirror>();
  auto start = std::make_shared<const PlaneTriple>(PlaneTriple{red, green, blue});
  const uint64_t fingerprint = PlanesFingerprint(red, green, blue);
  std::lock_guard<std::mutex> holdLanding(impl_->landing);
  std::lock_guard<std::mutex> holdFile(impl_->file);
  std::lock_guard<std::mutex> hold(impl_->state);
  impl_->copyPath = copyPath;
  impl_->picture = picture;
  impl_->width = red.width();
  impl_->height = red.height();
  // The records of this start follow the picture itself.
  mirror->sequence = impl_->next - 1;
  impl_->mirror = std::move(mirror);
  impl_->start = std::move(start);
  impl_->startFingerprint = fingerprint;
  impl_->journalBase = impl_->next - 1;
  impl_->copySequence = impl_->next - 1;
  impl_->saidNoJournal = false;
  impl_->active = true;
}

bool RecoveryJournal::Record(int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane& red, const BytePlane& green,
                             const BytePlane& blue) {
  Impl& impl = *impl_;
  uint64_t sequence;
  std::shared_ptr<const PlaneTriple> start;
  {
    std::lock_guard<std::mutex> hold(impl.state);
    if (!impl.active) return true;
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || w > impl.width - x || h > impl.height - y) return true;
    if (red.width() != impl.width || red.height() != impl.height) return false;  // not the planes begun with
    sequence = impl.next;
    start = impl.start;
  }
  std::shared_ptr<const std::string> bytes;
  try {
    bytes = std::make_shared<const std::string>(JournalRecordBytes(sequence, x, y, w, h, red, green, blue, start.get()));
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::lock_guard<std::mutex> hold(impl.state);
  ++impl.next;
  impl.toWrite.push_back({sequence, bytes});
  impl.toMirror.push_back({sequence, bytes});
  impl.toMirrorBytes += bytes->size();
  if (impl.toMirrorBytes > 3 * uint64_t(impl.width) * uint64_t(impl.height)) {
    impl.foldWanted = true;
    impl.foldWake.notify_one();
  }
  impl.wake.notify_one();
  return true;
}

void RecoveryJournal::Fold() {
  std::lock_guard<std::mutex> hold(impl_->state);
  if (!impl_->active || impl_->toMirror.empty()) return;
  impl_->foldWanted = true;
  impl_->foldWake.notify_one();
}

std::string RecoveryJournal::KeepNow(const BytePlane& red, const BytePlane& green, const BytePlane& blue) {
  Impl& impl = *impl_;
  uint64_t sequence, gen;
  std::string name;
  std::shared_ptr<const PlaneTriple> start;
  PaintedPart painted;
  {
    std::lock_guard<std::mutex> hold(impl.state);
    if (!impl.active) return "nothing is kept";
    sequence = impl.next - 1;
    gen = impl.generation;
    name = impl.picture;
    start = impl.start;
    painted.startFingerprint = impl.startFingerprint;
  }
  try {
    // The planes become the mirror: they hold every record so far.
    auto mirror = std::make_shared<Mirror>();
    mirror->planes = {red, green, blue};
    mirror->sequence = sequence;
    // Planes of another size than at the start cannot say what was painted: the copy is all painting.
    const bool sameSize = start && red.width() == (*start)[0].width() && red.height() == (*start)[0].height();
    if (sameSize) painted.maskBits = PaintedMaskBits(0, 0, red.width(), red.height(), red, green, blue, *start);
    QByteArray bytes;
    std::string why = EncodeCopy(name, sequence, red, green, blue, bytes, sameSize ? &painted : nullptr);
    if (!why.empty()) return why;
    {
      std::lock_guard<std::mutex> hold(impl.state);
      impl.mirror = std::move(mirror);
      impl.toMirror.clear();
      impl.toMirrorBytes = 0;
    }
    return impl.Land(bytes, sequence, gen);
  } catch (const std::bad_alloc&) {
    return kNotEnoughMemory;
  }
}

void RecoveryJournal::WaitForRecords() {
  std::unique_lock<std::mutex> hold(impl_->state);
  impl_->settled.wait(hold, [&] { return impl_->toWrite.empty() && !impl_->writing; });
}

void RecoveryJournal::Flush() {
  {
    std::unique_lock<std::mutex> hold(impl_->state);
    impl_->settled.wait(hold, [&] { return impl_->toWrite.empty() && !impl_->writing && !impl_->folding && !impl_->foldWanted; });
  }
  impl_->SyncNow();
}

void RecoveryJournal::Discard() {
  Impl& impl = *impl_;
  {
    std::lock_guard<std::mutex> hold(impl.state);
    ++impl.generation;
    impl.active = false;
    impl.toWrite.clear();
    impl.toMirror.clear();
    impl.toMirrorBytes = 0;
    impl.foldWanted = false;
    impl.mirror.reset();
    impl.start.reset();
  }
  std::lock_guard<std::mutex> holdLanding(impl.landing);
  std::lock_guard<std::mutex> holdFile(impl.file);
  impl.CloseJournal();
  if (!impl.journalPath.empty()) ::unlink(impl.journalPath.c_str());
  if (impl.haveCopy) ::unlink(impl.copyWritten.c_str());
  impl.journalPath.clear();
  impl.inJournal.clear();
  impl.journalBytes = 0;
  impl.haveCopy = false;
  impl.copyWritten.clear();
}

std::string RecoveryJournal::CopyPath() const {
  {
    std::lock_guard<std::mutex> hold(impl_->landing);
    if (impl_->haveCopy) return impl_->copyWritten;
  }
  {
    std::lock_guard<std::mutex> hold(impl_->file);
    if (!impl_->journalPath.empty()) return CopyBeside(impl_->journalPath);
  }
  std::lock_guard<std::mutex> hold(impl_->state);
  return impl_->copyPath;
}

uint64_t RecoveryJournal::JournalBytes() const {
  std::lock_guard<std::mutex> hold(impl_->file);
  return impl_->fd >= 0 ? impl_->journalBytes : 0;
}

}  // namespace brisel::platform
