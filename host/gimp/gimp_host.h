#pragma once
// The GIMP host: answers the program's host calls from inside a GIMP 2.10 or GIMP 3 plug-in, on one drawable.
//
//   image     the drawable's own pixels, in its own (layer) coordinates, read as perceptual R'G'B' bytes;
//             a layer with alpha shows its colours laid on white through it (a transparent pixel white).
//   send      Tarn_Set?buffer stage the planes; tarn_Refresh writes the pixels they change through the
//             shadow buffer and merges it as one undo step (in an undo group), inside the selection if
//             there is one, then updates the drawable and flushes GIMP's displays. Planes that change
//             nothing make no undo step. Pixels left alone keep their exact values in any precision. A painted
//             pixel of a layer with alpha shows on white what the canvas showed: its alpha rises as far as
//             that needs and never falls. The first send that paints on a text layer asks first (it becomes
//             a plain layer): kAskBeforeWriting, the same send again at once being the painter's yes.
//   size      a drawable deleted in GIMP reports 0 x 0, so the program sees a changed size; Brisel_PictureGone
//             then says whether the layer was deleted or its image closed. Brisel_HostName is "GIMP".
//   paper     GIMP's current pattern, as grey.
//   wallpaper none.
//   window    shown transient for the image window the plug-in was started from, where GIMP names it.
//
// Only for a process GIMP started as a plug-in: every call goes to GIMP.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/host.h"

namespace brisel::gimphost {

std::shared_ptr<platform::HostObject> MakeGimpHost(int32_t drawable);

// Makes the program's host ProgID answer with a GIMP host on drawable.
void RegisterGimpHost(int32_t drawable);

// What the painting on drawable is, to find its recovery copies again at a later start and to tell it open
// in another Brisel: the image's file and the layer's name; for an image without a file, its name, its ID,
// the layer's ID, name and size, and this run of GIMP (IDs start over at each start), so that no other
// picture can share it. Empty when the drawable is gone, or the run of GIMP cannot be named.
std::string PictureIdentity(int32_t drawable);

// nullopt when Brisel can paint on drawable; else why not, in a sentence for the user.
std::optional<std::string> RefusalFor(int32_t drawable);

}  // namespace brisel::gimphost
