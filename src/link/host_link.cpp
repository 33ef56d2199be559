#include "link/host_link.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <string>

#include "canvas/changed_box.h"
#include "canvas/display.h"
#include "canvas/undo.h"
#include "link/low_memory.h"
#include "platform/window.h"
#include "state/shared_state.h"
#include "state/windows.h"

namespace brisel::link {
namespace {

void (*gAfterSend)() = nullptr;
void (*gAfterFetch)() = nullptr;

void AfterSend() {
  if (gAfterSend) gAfterSend();
}

std::string SizeText(int32_t w, int32_t h) { return std::to_string(w) + " x " + std::to_string(h); }

}  // namespace

void SetAfterSend(void (*afterSend)()) { gAfterSend = afterSend; }
void SetAfterFetch(void (*afterFetch)()) { gAfterFetch = afterFetch; }

void Tell(const canvas::Refusals& refused) {
  for (const std::string& text : refused.texts) platform::ShowMessage(kProgramName, text);
}

namespace {

void ReportHostError(const Error& e) {
  platform::ShowMessage(kProgramName, "Error " + std::to_string(e.number()) + ": " + e.text());
}

// A plane of another width than the image has its rows cut to the image's, so every plane the program
// holds is exactly ImageWidth x ImageHeight.
BytePlane CutTo(BytePlane&& plane, int32_t width, int32_t height) {
  if (plane.width() == width && plane.height() == height) return std::move(plane);
  BytePlane cut(width, height);
  for (int32_t y = 0; y < height; ++y)
    std::copy_n(plane.row(y), width, cut.row(y));
  return cut;
}

// The calls of a send, as SendBack describes them.
void SendSequence(const PixelRect& box) {
  platform::Variant where[] = {box.x1, box.y1, box.x2 - box.x1, box.y2 - box.y1};
  try {
    CallHost("Brisel_ChangedBox", where);
  } catch (const Error& e) {
    if (e.number() != errors::kNoSuchMethod) throw;
  }
  CallHost("Tarn_SaveUndo");
  platform::Variant red[] = {&PlaneR}, green[] = {&PlaneG}, blue[] = {&PlaneB};
  CallHost("Tarn_SetRbuffer", red);
  CallHost("Tarn_SetGbuffer", green);
  CallHost("Tarn_SetBbuffer", blue);
  CallHost("tarn_Refresh");
}

// After a send, the canvas shows what the host's picture holds in the box sent, its own edits made meanwhile
// included. The send itself succeeded: a host without the call leaves the canvas as sent, and one whose
// answer fails or does not fit only says so on standard error.
void ShowWhatTheHostHolds(const PixelRect& box) {
  BytePlane held[3], mask;
  platform::Variant args[] = {&held[0], &held[1], &held[2], &mask};
  try {
    if (platform::ToLong(CallHost("Brisel_HeldAfterSend", args)) == 0) return;
    Tell(canvas::RedrawRect(Form1Window(), canvas::TheHistory().TakeHostPixels(box, held, mask)));
  } catch (const Error& e) {
    if (e.number() != errors::kNoSuchMethod)
      std::fprintf(stderr, "brisel: the canvas may not show the host's own changes: %s\n", e.text().c_str());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "brisel: the canvas may not show the host's own changes: not enough memory\n");
  }
}

}  // namespace

platform::Variant CallHost(std::string_view name, std::span<platform::Variant> args) {
  if (!HostObject) throw Error(errors::kObjectNotSet, "Object variable or With block variable not set");
  return HostObject->Invoke(name, args);
}

namespace {

// A text the host answers for the painter, or empty where it does not (or cannot) say.
std::string HostText(std::string_view name) {
  if (!HostObject) return {};
  try {
    return platform::ToString(CallHost(name));
  } catch (const Error&) {
    return {};  // a host without the call, or failing it, says nothing: the default stands
  }
}

}  // namespace

std::string HostName() {
  const std::string name = HostText("Brisel_HostName");
  return name.empty() ? "the host" : name;
}

std::string PictureGone() { return HostText("Brisel_PictureGone"); }

void FetchPaper() {
  // Asked in full before anything changes, so that a failing call leaves the old paper whole.
  const int32_t width = platform::ToLong(CallHost("Tarn_GetPaperWidth"));
  const int32_t height = platform::ToLong(CallHost("tarn_GetPaperHeight"));
  BytePlane texture = platform::ToByteArray(CallHost("Tarn_GetPaper"));
  if (width <= 0 || height <= 0 || !texture.covers(width, height)) {
    // No usable paper: strokes then ignore the Paper slider instead of dividing by zero or reading past
    // the texture.
    PaperWidth = PaperHeight = 0;
    PaperTexture = BytePlane();
    return;
  }
  PaperTexture = CutTo(std::move(texture), width, height);
  PaperWidth = width;
  PaperHeight = height;
}

BytePlane FetchPlane(std::string_view name, const char* colourName) {
  BytePlane plane = platform::ToByteArray(CallHost(name));
  if (!plane.covers(ImageWidth, ImageHeight))
    throw Error(errors::kBadPlane, std::string("The host's ") + colourName + " plane is " +
                                       SizeText(plane.width(), plane.height()) + ", smaller than its " +
                                       SizeText(ImageWidth, ImageHeight) + " image");
  return CutTo(std::move(plane), ImageWidth, ImageHeight);
}

void SendBack() {
  // Where the planes changed since the last send, so that the host need not compare the whole picture. A
  // host that does not know the call (438) compares everything, as before.
  const PixelRect box = canvas::ChangedBoxToSend();
  // Nothing changed since the host last had the planes: it holds them already, and sending them would
  // only copy and compare the whole picture (seconds on a large one) to write nothing.
  if (box.empty()) {
    AfterSend();
    return;
  }
  platform::BusyCursor busy;
  // A host short of memory (Error 7, or std::bad_alloc on the way) wrote nothing: the oldest undo steps go,
  // one at a time, and the whole sequence runs again.
  std::optional<Error> shortOfMemory;
  const bool sent = RunLettingUndoStepsGo([&] {
    try {
      SendSequence(box);
      return true;
    } catch (const Error& e) {
      if (e.number() != errors::kOutOfMemory) throw;
      shortOfMemory = e;
      return false;
    } catch (const std::bad_alloc&) {
      shortOfMemory = Error(errors::kOutOfMemory, "The picture cannot be sent: not enough memory");
      return false;
    }
  });
  if (!sent) throw *shortOfMemory;
  // Only now does the host hold what was sent: a send that failed on the way sends the same box again,
  // and its recovery copy stays.
  canvas::ForgetChanges();
  ShowWhatTheHostHolds(box);
  AfterSend();
}

bool SendBackUnlessRefused() {
  // The host asks each of its questions once a send: the same send again at once is its yes.
  for (int asked = 0;; ++asked) {
    try {
      SendBack();
      return true;
    } catch (const Error& e) {
      if (asked == 2 || (e.number() != errors::kChangedOnDisk && e.number() != errors::kAskBeforeWriting)) throw;
      const std::string question =
          e.number() == errors::kChangedOnDisk ? e.text() + "\rWrite your painting over it?" : e.text();
      if (platform::AskYesNo(kProgramName, question) != platform::MessageBoxAnswer::Yes) return false;
    }
  }
}

void GetPaperFromTarnwick() {
  try {
    FetchPaper();
  } catch (const Error& e) {
    ReportHostError(e);
  }
}

bool ReplaceImage(BytePlane&& red, BytePlane&& green, BytePlane&& blue) {
  if (const canvas::UndoSaved saved = canvas::TheHistory().Save({0, 0, ImageWidth, ImageHeight}); !saved) {
    Tell(saved.refused);
    return false;
  }
  PlaneR = std::move(red);
  PlaneG = std::move(green);
  PlaneB = std::move(blue);
  canvas::SyncView({0, 0, ImageWidth, ImageHeight});
  canvas::NoteWholeImageChanged();
  Tell(canvas::displaybuffers(Form1Window()));
  return true;
}

void GetImageFromTarnwick() {
  // Fetch first and commit after, so that a failure leaves image and history as they were; the host
  // sees the same calls in the same order either way.
  BytePlane red, green, blue;
  platform::BusyCursor busy;
  try {
    red = FetchPlane("Tarn_GetRBuffer", "red");
    green = FetchPlane("Tarn_GetGBuffer", "green");
    blue = FetchPlane("Tarn_GetBBuffer", "blue");
  } catch (const Error& e) {
    ReportHostError(e);
    return;
  }
  // Without room for the undo step the fetched picture is dropped and the image stays as it is. The host's
  // picture may have changed anywhere since the last send.
  if (ReplaceImage(std::move(red), std::move(green), std::move(blue)) && gAfterFetch) gAfterFetch();
}

void SendImageToTarnwick() {
  try {
    const int32_t width = platform::ToLong(CallHost("Tarn_BufferWidth"));
    const int32_t height = platform::ToLong(CallHost("Tarn_BufferHeight"));
    if (width != ImageWidth || height != ImageHeight) {
      // Sending now would replace a picture that was resized in the host with one of the old size. A layer
      // or document gone from the host reports 0 x 0: the host's own sentence says what happened.
      const std::string gone = PictureGone();
      platform::ShowMessage(kProgramName, (gone.empty() ? "" : gone + "\r") + "Can't send the image to " +
                                              HostName() + ": its buffer is now " + SizeText(width, height) +
                                              ", this image " + SizeText(ImageWidth, ImageHeight) + ".");
      return;
    }
    SendBackUnlessRefused();
  } catch (const Error& e) {
    ReportHostError(e);
  }
}

}  // namespace brisel::link
