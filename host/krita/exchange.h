#pragma once
// The exchange between Brisel and its Krita plug-in: a private folder of files, and one line each way for each
// request (Brisel's standard output to the plug-in, the plug-in's answer on Brisel's standard input).
//
// The folder (0700, the plug-in's) holds:
//   header.txt      "brisel-krita 1", then one "key value" a line: size W H (the layer's bounds), origin X Y
//                   (their top-left in the image), depth 8|16, document TEXT (its file, or its name), layer TEXT,
//                   window ID (Krita's main window, an X11 window; 0 or none: not known)
//   layer.raw       the layer's pixels within its bounds: B, G, R, A, depth bits each (16: the machine's order)
//   current.raw     a box of the layer as it stands, written for a "read" request, and
//   selection.raw   the selection over that box, one byte a pixel, when there is one
//   result.raw      a send's box as the layer is to hold it, written by Brisel (atomically) before "apply"
//   paper.raw       the current pattern as grey, one byte a pixel, for a "paper" request
//
// Requests, each answered "ok ..." or "error TEXT" (TEXT said to the painter as it is):
//   fetch             the plug-in writes header.txt and layer.raw afresh   -> ok
//   size              the layer's size and depth now (8|16; converted    -> ok W H D
//                     meanwhile: Brisel fetches again)
//   read X Y W H      current.raw (and selection.raw) for that box         -> ok 0|1 (whether a selection is)
//   apply X Y W H     result.raw onto the layer as undo steps              -> ok, or "changed" when the box's
//                     pixels are no longer those of the last read (Krita painted there meanwhile)
//   paper             paper.raw                                            -> ok W H (0 0: no pattern)

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisel::kritahost {

struct Header {
  int32_t width = 0, height = 0;
  int32_t originX = 0, originY = 0;
  int depth = 8;
  std::string document, layer;
  uint64_t window = 0;
};

// The header's fields, or nullopt with why (a sentence) when the text is not a header this Brisel reads.
std::optional<Header> ParseHeader(std::string_view text, std::string& why);

// Splits an answer's words after "ok"; nullopt for anything else.
std::optional<std::vector<std::string>> OkWords(std::string_view answer);

// The exchange folder and the pipe to the plug-in.
class Exchange {
 public:
  // requests: where requests are written; answers: where answers are read.
  Exchange(std::string folder, int requests, int answers) : folder_(std::move(folder)), out_(requests), in_(answers) {}

  std::string Path(std::string_view name) const { return folder_ + "/" + std::string(name); }

  // Sends request and waits for its answer line (without its newline). An Error (kHostCallFailed) when
  // Krita has gone (the pipe closed), or has not answered within timeoutSeconds.
  std::string Ask(const std::string& request, int timeoutSeconds = 120);

  // A file of the folder, whole; an Error when it cannot be read or has not exactly expected bytes (when given).
  std::vector<uint8_t> Read(std::string_view name, std::optional<size_t> expected = std::nullopt) const;

 private:
  std::string folder_;
  int out_, in_;
  std::string pending_;  // bytes read past the last answer
};

}  // namespace brisel::kritahost
