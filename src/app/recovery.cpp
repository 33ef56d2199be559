#include "app/recovery.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/canvas_stroke.h"
#include "canvas/changed_box.h"
#include "canvas/display.h"
#include "canvas/undo.h"
#include "link/host_link.h"
#include "link/low_memory.h"
#include "platform/lifecycle.h"
#include "platform/recovery_copies.h"
#include "platform/settings.h"
#include "platform/window.h"
#include "state/shared_state.h"

namespace brisel::app {
namespace {

constexpr int32_t kDefaultAutosaveSeconds = 60;
constexpr int32_t kLongestAutosaveSeconds = INT32_MAX / 1000;

struct Recovery {
  std::string picture;
  std::string copyPath;  // the run's copy, once written or taken back
  platform::RecoveryJournal journal;
  bool journalMissed = false;  // a change could not be recorded: only a copy from the planes catches up
  platform::RepeatingTimer autosave;
};
std::unique_ptr<Recovery> gRecovery;  // armed while it exists
std::function<void(const std::string&)> gEndRun;  // how a termination signal ends the run; empty: by the signal

bool HaveImage() {
  return ImageWidth > 0 && ImageHeight > 0 && PlaneR.width() == ImageWidth && PlaneR.height() == ImageHeight;
}

// The journal starts over on the planes as the host holds them (a start, a send, a fetch).
void BeginJournal() {
  gRecovery->journal.Begin(platform::NewRecoveryPath(gRecovery->picture), gRecovery->picture, PlaneR, PlaneG, PlaneB);
  canvas::TakeChangedSinceRecord();
  gRecovery->journalMissed = false;  // the journal starts from the planes as they are
}

// After each handler: what it changed goes to the journal, its pixels copied here and written on the
// journal's own thread.
void RecordChanges() {
  if (!gRecovery || !HaveImage()) return;
  const PixelRect r = canvas::TakeChangedSinceRecord();
  if (r.empty()) return;
  if (!gRecovery->journal.Record(r.x1, r.y1, r.width(), r.height(), PlaneR, PlaneG, PlaneB))
    gRecovery->journalMissed = true;
}

// Folds the journal into the copy while there are changes the host has not had; the copy is written on the
// journal's thread, from the journal's own planes.
void AutosaveTick() {
  if (!gRecovery || !HaveImage() || canvas::ChangedBoxToSend().empty()) return;
  if (gRecovery->journalMissed) {
    if (const std::string words = KeepRecoveryCopy(); !words.empty()) std::fprintf(stderr, "brisel: %s\n", words.c_str());
    return;
  }
  gRecovery->journal.Fold();
}

// The newest copy of this picture that differs from the image is offered; the ones equal to it go. A copy
// that another run of the program still keeps up to date is not lost work, and is left to it.
void OfferCopies() {
  if (gRecovery->picture.empty()) return;
  for (const platform::RecoveryCopy& copy : platform::ListRecoveryCopies(gRecovery->picture)) {
    if (copy.picture != gRecovery->picture) continue;
    if (platform::StillWritten(copy)) {
      std::fprintf(stderr, "brisel: the recovery copy %s is kept up to date by process %lld, which still runs: "
                   "not offered\n", platform::ShownName(copy.path).c_str(), static_cast<long long>(copy.writer));
      continue;
    }
    if (copy.width != ImageWidth || copy.height != ImageHeight) {
      std::fprintf(stderr,
                   "brisel: the recovery copy %s is %d x %d, the picture now %d x %d: it is kept, not offered\n",
                   copy.path.c_str(), copy.width, copy.height, ImageWidth, ImageHeight);
      continue;
    }
    // The painting comes back onto the picture as it is now: what it painted, and the picture elsewhere.
    BytePlane red = PlaneR, green = PlaneG, blue = PlaneB;
    const platform::RestoredCopy restored = platform::RestoreRecoveryCopy(copy.path, red, green, blue);
    if (!restored.read) {
      std::fprintf(stderr, "brisel: the recovery copy %s cannot be read: it is kept, not offered\n", copy.path.c_str());
      continue;
    }
    if (red == PlaneR && green == PlaneG && blue == PlaneB) {
      platform::RemoveRecoveryCopy(copy);
      continue;
    }
    std::string question = "A recovery copy from " + platform::LocalTimeText(copy.savedAt) + " exists. Restore it?";
    if (restored.pictureChanged) {
      question += "\rThe picture was changed since the copy's painting began: restoring the copy brings back only "
                  "the pixels it painted, and keeps that change everywhere else (one undo step gives it back).";
    } else if (!restored.knowsItsStart) {
      // A copy that does not say what it painted: another program's later edit would be painted over. Say
      // so, with both times.
      if (const std::optional<int64_t> changed = platform::ModifiedAt(gRecovery->picture); changed && *changed > copy.savedAt)
        question += "\rThe picture was changed after the copy was made, at " + platform::LocalTimeText(*changed) +
                    ": restoring the copy paints over that change (one undo step gives it back).";
    }
    const std::string file = platform::ModifiedAt(copy.path) ? copy.path : copy.journal;
    const auto answer = platform::AskYesNo(kProgramName, question + "\r(" + platform::ShownName(file) + ")");
    if (answer != platform::MessageBoxAnswer::Yes ||
        !link::ReplaceImage(std::move(red), std::move(green), std::move(blue)))
      return;
    // Taken back, the painting is this run's: its copy is written under this run's name at once, and then
    // the old one goes (a run that still wrote there would be told apart by that name).
    const std::string words = KeepRecoveryCopy();
    if (RecoveryCopyPath() != copy.path && platform::ModifiedAt(RecoveryCopyPath())) {
      platform::RemoveRecoveryCopy(copy);
    } else {
      std::fprintf(stderr, "brisel: %s\n", words.c_str());
      gRecovery->copyPath = copy.path;
    }
    return;
  }
}

bool OnTermination(int signal) {
  const std::string words = KeepRecoveryCopy();
  platform::ReleasePicture();  // its small file goes too; the lock itself would go with the process
  const std::string ended = std::string("ended by ") + platform::SignalName(signal) + "." + (words.empty() ? "" : " ") + words;
  std::fprintf(stderr, "brisel: %s\n", ended.c_str());
  if (!gEndRun) return true;
  gEndRun("Brisel was " + ended);
  return false;
}

}  // namespace

int32_t AutosaveSeconds() {
  const std::string text =
      platform::GetSetting("tarnwick", "Startup", "Autosave_Seconds", std::to_string(kDefaultAutosaveSeconds));
  const std::optional<int32_t> seconds = platform::SettingNumber(text);
  // The timer counts in milliseconds, in 32 bits: about 24 days at most.
  if (!seconds || *seconds < 0 || *seconds > kLongestAutosaveSeconds) {
    std::fprintf(stderr,
                 "brisel: warning: the setting Autosave_Seconds=%s is not a number of seconds up to %d; "
                 "autosaving every %d seconds\n",
                 text.c_str(), kLongestAutosaveSeconds, kDefaultAutosaveSeconds);
    return kDefaultAutosaveSeconds;
  }
  return *seconds;
}

bool ClaimPictureOrAsk(const std::string& picture) {
  if (picture.empty()) return true;
  const int64_t holder = platform::ClaimPicture(picture);
  if (holder == 0) return true;
  const std::string name = picture.substr(picture.rfind('/') + 1);
  const std::string process = holder > 0 ? " (process " + std::to_string(holder) + ")" : "";
  return platform::AskYesNo(kProgramName, name + " is already open in Brisel" + process + ". Open it anyway?") ==
         platform::MessageBoxAnswer::Yes;
}

void StartRecovery(const std::string& picture, int32_t autosaveSeconds) {
  StopRecovery();
  gRecovery = std::make_unique<Recovery>();
  gRecovery->picture = picture;
  link::SetAfterSend(RecoveryAfterSend);
  link::SetAfterFetch(RecoveryAfterFetch);
  platform::SetLastWords(KeepRecoveryCopy);
  platform::OnTerminationSignal(OnTermination);
  if (HaveImage()) BeginJournal();
  OfferCopies();
  RecordChanges();
  platform::SetAfterEachHandler(RecordChanges);
  if (autosaveSeconds > 0)
    gRecovery->autosave.Start(int32_t(std::min<int64_t>(int64_t(autosaveSeconds) * 1000, INT32_MAX)), AutosaveTick);
}

void RecoveryPictureNamed(const std::string& picture) {
  if (!gRecovery || !gRecovery->picture.empty() || picture.empty()) return;
  gRecovery->picture = picture;
  link::SetAfterSend(RecoveryAfterSend);
  platform::ClaimPicture(picture);  // a file made a moment ago is open nowhere else
}

void EndRunOnTermination(std::function<void(const std::string& sentence)> endRun) { gEndRun = std::move(endRun); }

void StopRecovery() {
  if (!gRecovery) return;
  link::SetAfterSend(nullptr);
  link::SetAfterFetch(nullptr);
  platform::OnTerminationSignal(nullptr);
  platform::SetLastWords(nullptr);
  platform::SetAfterEachHandler(nullptr);
  gRecovery.reset();  // stops the timer, writes what the journal was handed and lets a fold end
}

void RecoveryAfterSend() {
  if (!gRecovery) return;
  // The host holds the painting: the copy and its journal go, and the journal starts over on it.
  if (HaveImage()) BeginJournal();
  // A picture written anew is a new file: the claim moves to it.
  if (platform::ClaimedPicture() && !gRecovery->picture.empty()) platform::ClaimPicture(gRecovery->picture);
  else gRecovery->journal.Discard();
  gRecovery->copyPath.clear();
}

void RecoveryAfterFetch() {
  // The image is the host's picture again: the painting starts over from it (what was painted before is in
  // the undo history, and a later undo of the fetch is painting like any other).
  if (gRecovery && HaveImage()) BeginJournal();
  if (gRecovery) gRecovery->copyPath.clear();
}

std::string KeepRecoveryCopy() {
  if (!gRecovery || !HaveImage()) return {};
  // A stroke held at the end is painting too: it is committed, as its release would.
  if (CanvasStroke().StrokeUncommitted) (void)CommitCanvasStroke();
  // With nothing changed since the host last had the planes, the host's picture is the painting.
  if (canvas::ChangedBoxToSend().empty()) return {};
  // The copy is worth more than the oldest undo steps: they go, one at a time, while memory is short.
  std::string why;
  link::RunLettingUndoStepsGo([&] {
    why = gRecovery->journal.KeepNow(PlaneR, PlaneG, PlaneB);
    return why.rfind(platform::kNotEnoughMemory, 0) != 0;
  });
  if (!why.empty()) return "No recovery copy of the painting could be written (" + why + ").";
  // The copy holds every change so far, those not yet recorded among them.
  canvas::TakeChangedSinceRecord();
  gRecovery->journalMissed = false;
  gRecovery->copyPath = gRecovery->journal.CopyPath();  // where it went, when not to the recovery folder
  return "A recovery copy of the painting is kept in " + gRecovery->copyPath + ".";
}

const std::string& RecoveryCopyPath() {
  static const std::string none;
  return gRecovery ? gRecovery->copyPath : none;
}

}  // namespace brisel::app
