#pragma once
// Every exchange with the host application: calls by name on HostObject, and the procedures built on them.

#include <span>
#include <string_view>

#include "platform/host.h"

namespace brisel {

// One late-bound call on HostObject. Errors propagate.
platform::Variant CallHost(std::string_view name, std::span<platform::Variant> args = {});

// Paper width, paper height, paper texture, in that order. A texture that does not cover the size the host
// reported, or of size 0, leaves the program without paper (PaperWidth = PaperHeight = 0).
void FetchPaper();

// "Get paper": FetchPaper, with a failing call reported and the old paper kept.
void GetPaperFromTarnwick();

// The host's red, green or blue plane, which must cover the image; Error 31002 when it does not.
// A larger plane is cut to the image's size.
BytePlane FetchPlane(std::string_view name, const char* colourName);

// The send-back sequence: Tarn_SaveUndo, the three planes, tarn_Refresh. Errors propagate.
void SendBack();

// "Get image from Tarnwick": an undo step of the whole image, then the host's planes. A failing call or a
// plane of the wrong size is reported and leaves the image and the undo history as they were.
void GetImageFromTarnwick();
// "Send image to Tarnwick": the send-back sequence, refused when the host's image changed size meanwhile.
// A failing call is reported; nothing of the program's image changes either way.
void SendImageToTarnwick();

}  // namespace brisel
