#pragma once
// The Krita host: answers the program's host calls for a paint layer that Brisel's Krita plug-in exported into
// an exchange folder (see exchange.h), the plug-in doing on Krita's side what Brisel asks.
//
//   image     the layer's pixels within its bounds, read as 8-bit colours (16-bit ones to the nearest);
//             its alpha is never written.
//   send      Tarn_Set?buffer stage the planes; tarn_Refresh asks the plug-in for the layer's pixels as they
//             stand within the box the program changed, writes the pixels the program painted since it and
//             the layer last agreed (blended through the selection, if there is one) into result.raw, and has
//             the plug-in put them on the layer as an undo step. Planes that change nothing write nothing.
//             Pixels left alone keep their exact values at either depth.
//   size      a layer deleted in Krita (or its document closed) reports 0 x 0, so the program sees a changed size.
//   paper     Krita's current pattern, as grey.
//   wallpaper none.

#include <memory>
#include <string>

#include "krita/exchange.h"
#include "platform/host.h"

namespace brisel::kritahost {

// Reads the exchange folder's header: the layer to paint on, or an Error (kHostCallFailed) saying why not.
Header ReadHeader(const std::string& folder);

// Makes the program's host ProgID answer with a Krita host on folder's layer, speaking to the plug-in
// through requests and answers (file descriptors).
void RegisterKritaHost(const std::string& folder, int requests, int answers);

// What the painting is, to find its recovery copies again at a later start: the document's file (or its name)
// and the layer's name.
std::string PictureIdentity(const Header& header);

}  // namespace brisel::kritahost
