#pragma once
// Every exchange with the host application: calls by name on HostObject, and the procedures built on them.

#include <span>
#include <string>
#include <string_view>

#include "canvas/refusal.h"
#include "platform/host.h"

namespace brisel::link {

// What runs after every send that went through, or found nothing to send (the recovery copy goes then,
// app/recovery.h, which sets it while it runs); nullptr: nothing.
void SetAfterSend(void (*afterSend)());
// What runs after a fetch of the host's picture replaced the image (the recovery's painting starts over
// from it); nullptr: nothing.
void SetAfterFetch(void (*afterFetch)());

// Says each refusal of the engine to the user, in a message box of its own titled as the host's errors are.
void Tell(const canvas::Refusals& refused);

// One late-bound call on HostObject. Errors propagate.
platform::Variant CallHost(std::string_view name, std::span<platform::Variant> args = {});

// The host as the painter knows it, for messages and tooltips: Brisel_HostName ("GIMP", "sample.png"), or
// "the host" where there is no host yet or it does not say (an unknown call, a failure, an empty name).
std::string HostName();

// Brisel_PictureGone: the host's own sentence once the layer or document the program was started on is gone
// from it ("The layer Brisel was started on is no longer in GIMP."); empty while it is there, or where the host
// does not say.
std::string PictureGone();

// Paper width, paper height, paper texture, in that order. A texture that does not cover the size the host
// reported, or of size 0, leaves the program without paper (PaperWidth = PaperHeight = 0).
void FetchPaper();

// "Get paper": FetchPaper, with a failing call reported and the old paper kept.
void GetPaperFromTarnwick();

// The host's red, green or blue plane, which must cover the image; Error 31002 when it does not.
// A larger plane is cut to the image's size.
BytePlane FetchPlane(std::string_view name, const char* colourName);

// The send-back sequence: Brisel_ChangedBox(left, top, width, height) with the box of the planes changed
// since the last send (image pixels, far corner exclusive, all 0 when nothing changed), Tarn_SaveUndo, the
// three planes, tarn_Refresh. A host without Brisel_ChangedBox (438) gets the rest as before; any other error
// propagates, and the box is kept until a send goes through; one that goes through removes the recovery
// copy (SetAfterSend). A host that runs out of memory (Error 7, or std::bad_alloc) is sent the sequence
// again after the oldest undo step went, until it goes through or no step is left (link/low_memory.h); then
// its Error 7 propagates.
void SendBack();

// SendBack, where the host refuses a send over a picture changed by another program (kChangedOnDisk) asking
// "<what changed> Write your painting over it?", or asks its own question (kAskBeforeWriting: "pic.pgm can
// hold only grey. Write your painting in grey?"): Yes sends again at once, which the host then writes; No
// (the default) sends nothing and returns false. Other errors propagate.
bool SendBackUnlessRefused();

// "Get image from Tarnwick": an undo step of the whole image, then the host's planes; the next send then
// names the whole picture as changed. A failing call or a plane of the wrong size is reported and leaves the
// image and the undo history as they were.
// The image replaced by planes of its size, as one undo step, all of it unsent; false (image untouched,
// the user told) when the undo step cannot be made.
bool ReplaceImage(BytePlane&& red, BytePlane&& green, BytePlane&& blue);
void GetImageFromTarnwick();
// "Send image to Tarnwick": SendBackUnlessRefused, refused when the host's image changed size meanwhile
// (the message names the host, after its own sentence where the picture is gone from it). A failing call is
// reported; nothing of the program's image changes either way.
void SendImageToTarnwick();

}  // namespace brisel::link
