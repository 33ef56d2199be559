#include "gimp/gimp_host.h"

#include <libgimp/gimp.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>
#include <vector>

#include "common/host_table.h"
#include "gimp/gimp_api.h"
#include "gimp/layer_pixels.h"
#include "platform/window.h"

namespace brisel::gimphost {
namespace {

// Rows written per pass on a send, so that the copies of a large change stay small.
constexpr int32_t kStripRows = 64;

[[noreturn]] void Fail(const std::string& text) { throw Error(errors::kHostCallFailed, text); }

std::string SizeText(int32_t w, int32_t h) { return std::to_string(w) + " x " + std::to_string(h); }

GeglRectangle Rect(const Box& box) { return {box.x, box.y, box.width, box.height}; }

// A GEGL buffer held for one scope.
class BufferRef {
 public:
  explicit BufferRef(GeglBuffer* buffer) : buffer_(buffer) {
    if (!buffer_) Fail("GIMP gave no pixels for the layer");
  }
  ~BufferRef() { g_object_unref(buffer_); }
  BufferRef(const BufferRef&) = delete;
  BufferRef& operator=(const BufferRef&) = delete;
  GeglBuffer* get() const { return buffer_; }

 private:
  GeglBuffer* buffer_;
};

// An undo group open for one scope, closed however the scope ends.
class UndoGroup {
 public:
  explicit UndoGroup(api::ImageRef image) : image_(image) { gimp_image_undo_group_start(image_); }
  ~UndoGroup() { gimp_image_undo_group_end(image_); }
  UndoGroup(const UndoGroup&) = delete;
  UndoGroup& operator=(const UndoGroup&) = delete;

 private:
  api::ImageRef image_;
};

// For one scope, the image's selection narrowed to a box of the layer (within what was selected), and
// then put back as it was. GIMP merges the whole selected part of a shadow buffer and keeps all of it
// for undo: narrowed, a small change on a large layer costs GIMP a small merge. Inside the send's undo
// group, so that one undo in GIMP still gives back the picture and the selection.
class NarrowedSelection {
 public:
  NarrowedSelection(int32_t drawable, const Box& box) : image_(api::ImageOf(drawable)) {
    int32_t x = 0, y = 0;
    api::Offsets(drawable, x, y);
    gimp_context_push();
    gimp_context_set_feather(FALSE);  // the box exactly, and the selection put back exactly
    const bool whole = gimp_selection_is_empty(image_);
    if (!whole) saved_ = gimp_selection_save(image_);
    gimp_image_select_rectangle(image_, whole ? GIMP_CHANNEL_OP_REPLACE : GIMP_CHANNEL_OP_INTERSECT, x + box.x,
                                y + box.y, box.width, box.height);
  }
  ~NarrowedSelection() {
    if (saved_) api::RestoreSelection(image_, saved_);
    else gimp_selection_none(image_);
    gimp_context_pop();
  }
  NarrowedSelection(const NarrowedSelection&) = delete;
  NarrowedSelection& operator=(const NarrowedSelection&) = delete;

 private:
  api::ImageRef image_;
  api::ChannelRef saved_{};
};

class GimpHost final : public host::HostTable {
  // A staged plane: the part kept, where it lies, and the size of the plane it came from.
  struct Staged {
    BytePlane part;
    int32_t width, height;
    int32_t x, y;
  };

 public:
  explicit GimpHost(int32_t drawable) : drawable_(drawable) {}

 private:
  // ---- paper: the current pattern -----------------------------------------------------------------
  // Asked afresh at every call, so that "Get paper" takes the pattern chosen in GIMP since. No pattern,
  // or one GIMP cannot give, is no paper (0 x 0).
  static BytePlane CurrentPattern() {
    const api::Pattern pattern = api::CurrentPattern();
    if (pattern.bytes.empty()) return {};
    return PatternToGrey(pattern.bytes, pattern.width, pattern.height, pattern.bytesPerPixel);
  }

  int32_t PaperWidth() override { return CurrentPattern().width(); }
  int32_t PaperHeight() override { return CurrentPattern().height(); }
  BytePlane Paper() override { return CurrentPattern(); }

  // ---- the layer ------------------------------------------------------------------------------------
  bool Present() { return api::IsValid(drawable_); }
  int32_t BufferWidth() override { return Present() ? api::Width(drawable_) : 0; }
  int32_t BufferHeight() override { return Present() ? api::Height(drawable_) : 0; }

  void ExpectPresent(const char* doing) {
    if (!Present())
      Fail(std::string("The layer Brisel was started on is no longer in GIMP; nothing was ") + doing);
  }

  int Channels() { return api::HasAlpha(drawable_) ? 4 : 3; }

  // The layer's pixels of area as perceptual bytes, interleaved, channels as Channels() says.
  std::vector<uint8_t> ReadPixels(const Box& area, int channels) {
    std::vector<uint8_t> pixels(size_t(area.width) * size_t(area.height) * size_t(channels));
    BufferRef buffer(api::Buffer(drawable_));
    const GeglRectangle rect = Rect(area);
    gegl_buffer_get(buffer.get(), &rect, 1.0, babl_format(channels == 4 ? "R'G'B'A u8" : "R'G'B' u8"), pixels.data(),
                    GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    return pixels;
  }

  // The program asks for red, green and blue in turn: red reads the layer afresh, and green and blue are
  // handed out from that reading (each once; asked again, the layer is read again).
  BytePlane Buffer(host::Channel channel) override {
    if (channel == host::Channel::kRed || !fetched_[int(channel)]) {
      ExpectPresent("read");
      const int32_t width = BufferWidth(), height = BufferHeight();
      const int channels = Channels();
      const std::vector<uint8_t> pixels = ReadPixels({0, 0, width, height}, channels);
      for (host::Channel c : {host::Channel::kRed, host::Channel::kGreen, host::Channel::kBlue}) {
        fetched_[int(c)] = ChannelPlane(pixels, width, height, channels, c);
        base_[int(c)] = *fetched_[int(c)];
      }
    }
    BytePlane plane = std::move(*fetched_[int(channel)]);
    fetched_[int(channel)].reset();
    return plane;
  }

  // ---- the send -------------------------------------------------------------------------------------
  // GIMP's undo step is pushed by the merge in Refresh.
  void SaveUndo() override { pushUndo_ = true; }

  void ChangedBox(int32_t left, int32_t top, int32_t width, int32_t height) override {
    changedSinceSend_ = Box{left, top, width, height};
  }

  // Only the part the program said it changed is kept (all of the plane when it said nothing): on a
  // large picture, copying whole planes would cost a small send most of its time.
  void Stage(host::Channel channel, const BytePlane& plane) override {
    const Box whole{0, 0, plane.width(), plane.height()};
    const Box part = changedSinceSend_ ? Intersect(*changedSinceSend_, whole) : whole;
    Staged staged{BytePlane(part.width, part.height), plane.width(), plane.height(), part.x, part.y};
    for (int32_t y = 0; y < part.height; ++y)
      std::copy_n(plane.row(part.y + y) + part.x, part.width, staged.part.row(y));
    staged_[int(channel)] = std::move(staged);
  }

  void Refresh() override {
    auto staged = std::exchange(staged_, {});
    const bool pushUndo = std::exchange(pushUndo_, false);
    const std::optional<Box> changedSinceSend = std::exchange(changedSinceSend_, std::nullopt);
    ExpectPresent("sent");
    // What made Brisel refuse the layer at the start may have come about since (an image made indexed).
    if (auto refusal = RefusalFor(drawable_)) Fail(*refusal + " Nothing was sent; the painting is kept.");
    if (api::ContentLocked(drawable_))
      Fail("The layer's pixels are locked in GIMP (the brush lock in the Layers dialog): unlock them and send "
           "again. Nothing was sent; the painting is kept.");
    const int32_t width = BufferWidth(), height = BufferHeight();
    for (host::Channel c : {host::Channel::kRed, host::Channel::kGreen, host::Channel::kBlue}) {
      const auto& plane = staged[int(c)];
      if (!plane) Fail(std::string("No ") + host::ChannelName(c) + " plane was sent; GIMP's layer is left as it was");
      if (plane->width != width || plane->height != height)
        Fail(std::string("The ") + host::ChannelName(c) + " plane sent is " + SizeText(plane->width, plane->height) +
             ", GIMP's layer " + SizeText(width, height) + "; the layer is left as it was");
    }
    // The planes as sent, before a grey layer's conversion.
    const std::array<BytePlane, 3> sent{staged[0]->part, staged[1]->part, staged[2]->part};
    const Box stagedPart{staged[0]->x, staged[0]->y, staged[0]->part.width(), staged[0]->part.height()};
    // Without a selection all of the layer is the program's, the part outside the image included.
    const bool nothingSelected = api::NothingSelected(drawable_);
    Box selected{0, 0, width, height};
    if (!nothingSelected && !api::MaskIntersect(drawable_, selected.x, selected.y, selected.width, selected.height))
      return TakeHeld(sent, stagedPart);  // the selection leaves nothing of this layer to change
    // Only where the program changed its planes since its last send can they differ from the layer; a
    // program that does not say where is compared everywhere.
    const Box area = Intersect(changedSinceSend ? Intersect(*changedSinceSend, selected) : selected, stagedPart);
    if (area.empty()) return TakeHeld(sent, stagedPart);

    // Only the pixels the program painted since it and the layer last held the same are its to write:
    // the layer's others keep what GIMP did to them meanwhile (a filter, another Brisel's strokes).
    std::vector<uint8_t> painted;
    if (BaseFits(width, height)) {
      painted = PaintedSince({staged[0]->part, staged[1]->part, staged[2]->part, stagedPart.x, stagedPart.y},
                             {*base_[0], *base_[1], *base_[2]});
    }
    // A grey layer stores the colours sent as grey: compared as stored, colours already sent once change
    // nothing the next time.
    if (api::IsGray(drawable_)) AsGrey(staged);
    const StagedPlanes planes{staged[0]->part, staged[1]->part, staged[2]->part, stagedPart.x, stagedPart.y, painted};
    const int channels = Channels();
    const std::vector<uint8_t> current = ReadPixels(area, channels);
    const Box changed = gimphost::ChangedBox(current, channels, area, planes);
    if (changed.empty()) return TakeHeld(sent, stagedPart);  // nothing to change: no undo step either

    UndoGroup group(api::ImageOf(drawable_));
    std::optional<NarrowedSelection> narrowed;
    // A selection made for the change can hold only what lies over the image: a change reaching past the
    // image's edge (a layer larger than its image, or moved partly off it) merges the whole layer instead.
    if (changed != selected && (!nothingSelected || InsideImage(changed))) narrowed.emplace(drawable_, changed);
    {
      BufferRef source(api::Buffer(drawable_));
      BufferRef shadow(api::ShadowBuffer(drawable_));
      // The merge takes the whole (narrowed) selected part of the shadow: it starts as the layer stands.
      const GeglRectangle mergedRect = Rect(narrowed ? changed : selected);
      gegl_buffer_copy(source.get(), &mergedRect, GEGL_ABYSS_NONE, shadow.get(), &mergedRect);
      // The changes go in strip by strip in the layer's own format. A changed pixel's colour is converted
      // once from the bytes sent, and its alpha goes through doubles, which hold any precision's exactly;
      // the pixels left alone keep every bit they had.
      const Babl* native = gegl_buffer_get_format(source.get());
      const Babl* wide = babl_format(channels == 4 ? "R'G'B'A double" : "R'G'B' double");
      const Babl* toWide = babl_fish(native, wide);
      const Babl* toNative = babl_fish(wide, native);
      const size_t pixelBytes = size_t(babl_format_get_bytes_per_pixel(native));
      for (int32_t y = changed.y; y < changed.y + changed.height; y += kStripRows) {
        const Box strip{changed.x, y, changed.width, std::min(kStripRows, changed.y + changed.height - y)};
        const GeglRectangle stripRect = Rect(strip);
        const size_t count = size_t(strip.width) * size_t(strip.height);
        const ComposedStrip composed = Compose(current, channels, area, planes, strip);
        std::vector<uint8_t> converted(count * pixelBytes), pixels(count * pixelBytes);
        std::vector<double> wideStrip(count * size_t(channels));
        gegl_buffer_get(source.get(), &stripRect, 1.0, native, pixels.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
        babl_process(toWide, pixels.data(), wideStrip.data(), long(count));
        for (size_t i = 0; i < count; ++i) {
          if (!composed.changed[i]) continue;
          for (size_t c = 0; c < 3; ++c)
            wideStrip[i * size_t(channels) + c] = composed.pixels[i * size_t(channels) + c] / 255.0;
        }
        babl_process(toNative, wideStrip.data(), converted.data(), long(count));
        TakeChanged(pixels, converted, pixelBytes, composed.changed);
        gegl_buffer_set(shadow.get(), &stripRect, 0, native, pixels.data(), GEGL_AUTO_ROWSTRIDE);
      }
      gegl_buffer_flush(shadow.get());
    }
    if (!api::MergeShadow(drawable_, pushUndo)) Fail("GIMP did not take the painted pixels: " + api::LastError());
    TakeHeld(sent, stagedPart);
    api::Update(drawable_, changed.x, changed.y, changed.width, changed.height);
    gimp_displays_flush();
    // Not kept above GIMP's window: it may have come up over the canvas to show the change.
    if (canvas_ && !keptAbove_) canvas_->Show();
  }

  // Whether the planes last held alike with the layer are there, and of the layer's size.
  bool BaseFits(int32_t width, int32_t height) const {
    for (const auto& plane : base_)
      if (!plane || plane->width() != width || plane->height() != height) return false;
    return true;
  }

  // After a send, the layer's pixels in the part sent are what the program and the layer hold alike: the
  // program's own where it wrote them or the layer held them already, and elsewhere GIMP's (its edits made
  // meanwhile, a feathered selection's blend, a grey layer's grey). Where they differ from what was sent
  // they are kept for HeldAfterSend, for the program to show.
  void TakeHeld(const std::array<BytePlane, 3>& sent, const Box& part) {
    held_.reset();
    if (part.empty()) return;
    const bool baseFits = BaseFits(BufferWidth(), BufferHeight());
    const int channels = Channels();
    Held held{{BytePlane(part.width, part.height), BytePlane(part.width, part.height),
               BytePlane(part.width, part.height)},
              BytePlane(part.width, part.height)};
    bool differs = false;
    for (int32_t y0 = 0; y0 < part.height; y0 += kStripRows) {
      const Box strip{part.x, part.y + y0, part.width, std::min(kStripRows, part.height - y0)};
      const std::vector<uint8_t> pixels = ReadPixels(strip, channels);
      for (int32_t y = 0; y < strip.height; ++y)
        for (int32_t x = 0; x < part.width; ++x) {
          const uint8_t* pixel = &pixels[(size_t(y) * size_t(part.width) + size_t(x)) * size_t(channels)];
          bool other = false;
          for (int c = 0; c < 3; ++c) {
            held.planes[c](x, y0 + y) = pixel[c];
            other |= pixel[c] != sent[c](x, y0 + y);
            if (baseFits) (*base_[c])(part.x + x, part.y + y0 + y) = pixel[c];
          }
          held.mask(x, y0 + y) = other;
          differs |= other;
        }
    }
    if (differs) held_ = std::move(held);
  }

  bool HeldAfterSend(BytePlane& red, BytePlane& green, BytePlane& blue, BytePlane& mask) override {
    if (!held_) return false;
    Held held = std::move(*std::exchange(held_, std::nullopt));
    red = std::move(held.planes[0]);
    green = std::move(held.planes[1]);
    blue = std::move(held.planes[2]);
    mask = std::move(held.mask);
    return true;
  }

  bool InsideImage(const Box& box) {
    int32_t x = 0, y = 0, width = 0, height = 0;
    api::Offsets(drawable_, x, y);
    api::ImageSize(drawable_, width, height);
    return x + box.x >= 0 && y + box.y >= 0 && x + box.x + box.width <= width && y + box.y + box.height <= height;
  }

  // The planes as a grey layer would hold them, grey in all three.
  static void AsGrey(std::array<std::optional<Staged>, 3>& planes) {
    const BytePlane &r = planes[0]->part, &g = planes[1]->part, &b = planes[2]->part;
    const size_t count = r.size();
    std::vector<uint8_t> rgb(count * 3);
    for (size_t i = 0; i < count; ++i) {
      rgb[i * 3] = r.data()[i];
      rgb[i * 3 + 1] = g.data()[i];
      rgb[i * 3 + 2] = b.data()[i];
    }
    BytePlane grey(r.width(), r.height());
    babl_process(babl_fish(babl_format("R'G'B' u8"), babl_format("Y' u8")), rgb.data(), grey.data(), long(count));
    for (auto& plane : planes) plane->part = grey;
  }

  // ---- the rest -------------------------------------------------------------------------------------
  std::string WallpaperFilename() override { return {}; }

  void TakeForm(platform::Form& form) override {
    canvas_ = &form;
    const char* why = "Brisel does not run on X11, and no Wayland compositor imports other programs' windows "
                      "(xdg-foreign) for it";
    if (platform::CanOwnNativeWindows()) {
      const uintptr_t window = api::ProgressWindow(false).x11;
      keptAbove_ = window != 0;
      if (keptAbove_) form.SetTransientForNative(window);
      why = "GIMP names no X11 window";
    } else if (platform::CanOwnExportedWindows()) {
      const std::string handle = api::ProgressWindow(true).wayland;
      keptAbove_ = !handle.empty() && form.SetTransientForExported(handle);
      why = "GIMP exported no handle for its window";
    }
    if (!keptAbove_)
      std::fprintf(stderr, "brisel: GIMP's window is not one Brisel's windows can stay above (%s); the canvas is "
                           "raised above it at the start and after each send instead\n", why);
    form.Show();
  }

  platform::Form* canvas_ = nullptr;
  bool keptAbove_ = false;  // the canvas is GIMP's window's transient
  int32_t drawable_;
  bool pushUndo_ = false;
  std::optional<Box> changedSinceSend_;  // as the program said before this send
  std::array<std::optional<BytePlane>, 3> fetched_;
  // The planes as the program and the layer last held them alike (its fetch, then each send); none until
  // the program fetches, and then every difference is the program's.
  std::array<std::optional<BytePlane>, 3> base_;
  std::array<std::optional<Staged>, 3> staged_;
  // What the layer holds after the last send where it differs from what was sent, until the program asks.
  struct Held {
    std::array<BytePlane, 3> planes;
    BytePlane mask;
  };
  std::optional<Held> held_;
};

}  // namespace

std::shared_ptr<platform::HostObject> MakeGimpHost(int32_t drawable) { return std::make_shared<GimpHost>(drawable); }

void RegisterGimpHost(int32_t drawable) {
  platform::RegisterHost(platform::kHostProgId, [drawable] { return MakeGimpHost(drawable); });
}

std::string PictureIdentity(int32_t drawable) {
  if (!api::IsValid(drawable)) return {};
  std::string image = api::ImageFile(drawable);
  if (image.empty()) image = api::ImageName(drawable);
  if (image.empty()) return {};
  return image + " (GIMP layer \"" + api::ItemName(drawable) + "\")";
}

std::optional<std::string> RefusalFor(int32_t drawable) {
  if (!api::IsValid(drawable)) return "Brisel was given no layer to paint on.";
  if (api::IsLayerMask(drawable))
    return "Brisel paints on a layer's colours, not on its mask: select the layer itself (click its thumbnail "
           "in the Layers dialog) and start Brisel again.";
  if (api::IsChannel(drawable))
    return "Brisel paints on layers, not on channels: select a layer and start Brisel again.";
  if (api::IsGroup(drawable))
    return "Brisel cannot paint on a layer group, whose pixels come from its layers: select one of them.";
  if (api::IsIndexed(drawable))
    return "Brisel paints in RGB or greyscale, and this image is indexed: painted colours would be lost to its "
           "palette. Convert it with Image > Mode > RGB first.";
  return std::nullopt;
}

}  // namespace brisel::gimphost
