#pragma once
// Brisel on a Krita layer, as the Krita plug-in starts it.

#include <string>

namespace brisel::kritahost {

// brisel --krita-exchange FOLDER: requests go to the plug-in on the standard output as it was given, answers
// come on the standard input. The standard output the rest of the program (and Qt) writes to becomes the
// standard error, so that nothing else reaches the plug-in as a request. The picture then runs through
// runOnPicture (the program's own run on a picture identity), while a watch on the answers' pipe keeps the
// painting if Krita ends first. Returns the program's exit status.
int PaintOnKritaLayer(const std::string& folder, int (*runOnPicture)(const std::string& picture));

}  // namespace brisel::kritahost
