#pragma once
// What a host keeps between the program's calls so that a send writes only what the program painted: the
// planes the program and the host's layer last held alike (its fetch, then each send), the box the program
// says it changed, and the parts of the planes it stages. Every host that shares its layer with a painter
// working meanwhile (GIMP, Krita) sends by this three-way rule: a pixel is the program's to write only where
// its plane differs from what they last agreed on; elsewhere the layer keeps what the host's own tools did.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "common/host_table.h"
#include "platform/byte_plane.h"

namespace brisel::host {

// A box of layer pixels: columns x .. x + width - 1, rows y .. y + height - 1.
struct Box {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  friend bool operator==(const Box&, const Box&) = default;
};

Box Intersect(const Box& a, const Box& b);

// The three planes a send stages, against the layer's pixels as they stand: the whole layer's, or a part
// of them whose (0, 0) is the layer's (x, y). Where painted is given (one byte a pixel of the planes, rows
// of their width), only the pixels it marks are the program's to write: the others it has not changed
// since the layer last held what the planes hold, and the layer's own (the host's edits since) stay.
struct StagedPlanes {
  const BytePlane& r;
  const BytePlane& g;
  const BytePlane& b;
  int32_t x = 0, y = 0;
  std::span<const uint8_t> painted = {};
  const BytePlane& operator[](int c) const { return c == 0 ? r : c == 1 ? g : b; }
  bool Painted(int32_t layerX, int32_t layerY) const {
    return painted.empty() || painted[size_t(layerY - y) * size_t(r.width()) + size_t(layerX - x)] != 0;
  }
};

// Marks, for the staged planes, the pixels whose colour differs from base (the whole layer's planes as
// the program and the layer last held them alike: at its fetch or its last send).
std::vector<uint8_t> PaintedSince(StagedPlanes planes, StagedPlanes base);

// One send's planes, taken out of SendPlanes.
struct Send {
  std::array<BytePlane, 3> parts;        // the staged part of each plane
  Box part;                              // where the parts lie in the layer
  int32_t width = 0, height = 0;         // the layer's size, which the planes had
  std::optional<Box> changedSinceSend;   // as the program said; none: it did not say
  std::vector<uint8_t> painted;          // over the parts; empty when every difference is the program's
  StagedPlanes Staged() const { return {parts[0], parts[1], parts[2], part.x, part.y, painted}; }
  // What of the layer the send may change: the parts, within the changed box, within selected.
  Box Area(const Box& selected) const {
    return Intersect(changedSinceSend ? Intersect(*changedSinceSend, selected) : selected, part);
  }
};

class SendPlanes {
 public:
  using Reading = std::array<BytePlane, 3>;

  // The program asks for red, green and blue in turn: red reads the layer afresh (read gives all three, the
  // layer's whole size), and green and blue are handed out from that reading (each once; asked again, the
  // layer is read again). What is read is what the program and the layer now hold alike.
  BytePlane Fetch(Channel channel, const std::function<Reading()>& read);

  void SetChangedBox(const Box& box) { changedSinceSend_ = box; }

  // Only the part the program said it changed is kept (all of the plane when it said nothing): on a large
  // picture, copying whole planes would cost a small send most of its time.
  void Stage(Channel channel, const BytePlane& plane);

  // The staged planes for a send on a layer of width x height, taken out: the next send starts afresh.
  // An Error (kHostCallFailed) naming layerName ("GIMP's layer") when a plane is missing or of another size.
  Send Take(int32_t width, int32_t height, std::string_view layerName);

  // After a send went through, the planes sent (as the program sent them, before any conversion a host
  // makes to store them) are what the program and the layer hold alike.
  void Agreed(const Send& send);
  // The same where the host reads its layer back over the part sent (layer: red, green and blue, the part's
  // size): what it holds there is what the two hold alike, the planes sent where it took them and its own
  // elsewhere (its edits meanwhile, a selection's feather, a grey layer's grey). Where that differs from
  // what was sent, it is kept for TakeHeld.
  void AgreedWithLayer(const Send& send, Reading&& layer);
  // What the layer held otherwise than was sent after the last send, handed out once (the program's
  // Brisel_HeldAfterSend): red, green, blue and a mask, non-zero where they differ, the part's size. False,
  // nothing filled, when the layer held just what was sent.
  bool TakeHeld(BytePlane& red, BytePlane& green, BytePlane& blue, BytePlane& mask);

 private:
  struct Staged {
    BytePlane part;
    int32_t width, height;  // of the plane it came from
    int32_t x, y;
  };
  bool BaseFits(int32_t width, int32_t height) const;

  std::optional<Box> changedSinceSend_;
  std::array<std::optional<BytePlane>, 3> fetched_;
  // The planes as the program and the layer last held them alike; none until the program fetches, and then
  // every difference is the program's.
  std::array<std::optional<BytePlane>, 3> base_;
  std::array<std::optional<Staged>, 3> staged_;
  struct Held {
    Reading planes;
    BytePlane mask;
  };
  std::optional<Held> held_;
};

}  // namespace brisel::host
