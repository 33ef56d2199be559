#pragma once
// Recovery copies of the painting (platform/recovery_copies.h), so that no way out of the program loses it: one is
// written before the program ends on a failure, a lost display or a termination signal (SIGTERM, SIGHUP,
// SIGINT, SIGQUIT), and whenever a send at close fails;
// while there are changes not yet sent it is refreshed in the background at the autosave interval; a send
// that goes through removes it. At the next start on the same picture the newest copy is offered back.
//
// One copy per run, named after the picture and the time (or the copy taken back at start, which the run
// then keeps up to date). Nothing happens until StartRecovery: the entry points arm it, tests choose.

#include <cstdint>
#include <functional>
#include <string>

namespace brisel::app {

// The autosave interval in seconds: the host's setting Autosave_Seconds in section "Startup" (read as the
// theme's settings are), 60 where it is absent, negative or not a number (with a warning); 0 turns autosave off.
int32_t AutosaveSeconds();

// Before the program opens picture (its identity, as below): marks it as open in this run; where another run
// has it open already, asks "<name> is already open in Brisel (process <n>). Open it anyway?" and returns
// the answer (No, the default, ends the start). A run that opens it anyway never takes the other's copies.
bool ClaimPictureOrAsk(const std::string& picture);

// Arms recovery for picture, with the canvas shown (after Main): picture is the picture's identity (the
// file host: its absolute path; empty for a picture that has no name yet, whose copies are kept but never
// offered). Offers the newest copy of the same picture back, "A recovery copy from <date and time> exists.
// Restore it?" (and, where the picture changed after the copy was made, when it did): Yes makes it the image
// as unsent changes, one undo step away from the host's picture, and this run's copy; No keeps it for later.
// A copy equal to the image holds nothing to recover and is removed without a question; one that another
// run still writes is not offered.
// Then starts the autosave, catches the termination signals and sets the last words of a failing end.
void StartRecovery(const std::string& picture, int32_t autosaveSeconds);

// A picture without a name got one (the file host's first send of a new picture wrote it): its copies from
// now on carry it, so that they are offered when it is next opened; the run has it open.
void RecoveryPictureNamed(const std::string& picture);

// How a termination signal ends the run once the copy is written: by default the process ends by the
// signal. A plug-in owes its host an answer instead: with endRun set, the run goes on to endRun(sentence),
// the sentence saying what ended Brisel and where the copy is, and ends as endRun sees to. Empty: the default.
void EndRunOnTermination(std::function<void(const std::string& sentence)> endRun);

// Disarms it all (a normal end, or a test's): waits for a background write; the copy stays where it is.
void StopRecovery();

// A send went through: the host holds the painting, and the copy goes.
void RecoveryAfterSend();
// After a fetch of the host's picture: the painting starts over from it, and its copy and journal go.
void RecoveryAfterFetch();

// Writes the copy now, from the image as it is, and returns one sentence that names it or says why there
// is none; empty when recovery is not armed.
std::string KeepRecoveryCopy();

// The run's copy: empty until one is written or taken back.
const std::string& RecoveryCopyPath();

}  // namespace brisel::app
