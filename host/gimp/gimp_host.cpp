#include "gimp/gimp_host.h"

#include <libgimp/gimp.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "app/startup.h"
#include "common/host_table.h"
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
  explicit UndoGroup(int32_t image) : image_(image) { gimp_image_undo_group_start(image_); }
  ~UndoGroup() { gimp_image_undo_group_end(image_); }
  UndoGroup(const UndoGroup&) = delete;
  UndoGroup& operator=(const UndoGroup&) = delete;

 private:
  int32_t image_;
};

class GimpHost final : public host::HostTable {
 public:
  explicit GimpHost(int32_t drawable) : drawable_(drawable) {}

 private:
  // ---- paper: the current pattern -----------------------------------------------------------------
  // Asked afresh at every call, so that "Get paper" takes the pattern chosen in GIMP since. No pattern,
  // or one GIMP cannot give, is no paper (0 x 0).
  static BytePlane CurrentPattern() {
    BytePlane grey;
    gchar* name = gimp_context_get_pattern();
    if (!name) return grey;
    gint width = 0, height = 0, bpp = 0, byteCount = 0;
    guint8* bytes = nullptr;
    if (gimp_pattern_get_pixels(name, &width, &height, &bpp, &byteCount, &bytes) && bytes && byteCount > 0)
      grey = PatternToGrey({bytes, size_t(byteCount)}, width, height, bpp);
    g_free(bytes);
    g_free(name);
    return grey;
  }

  int32_t PaperWidth() override { return CurrentPattern().width(); }
  int32_t PaperHeight() override { return CurrentPattern().height(); }
  BytePlane Paper() override { return CurrentPattern(); }

  // ---- the layer ------------------------------------------------------------------------------------
  bool Present() { return gimp_item_is_valid(drawable_); }
  int32_t BufferWidth() override { return Present() ? gimp_drawable_width(drawable_) : 0; }
  int32_t BufferHeight() override { return Present() ? gimp_drawable_height(drawable_) : 0; }

  void ExpectPresent(const char* doing) {
    if (!Present())
      Fail(std::string("The layer Brisel was started on is no longer in GIMP; nothing was ") + doing);
  }

  int Channels() { return gimp_drawable_has_alpha(drawable_) ? 4 : 3; }

  // The layer's pixels as perceptual bytes, interleaved, channels as Channels() says.
  std::vector<uint8_t> ReadPixels(int32_t width, int32_t height, int channels) {
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * size_t(channels));
    BufferRef buffer(gimp_drawable_get_buffer(drawable_));
    const GeglRectangle all{0, 0, width, height};
    gegl_buffer_get(buffer.get(), &all, 1.0, babl_format(channels == 4 ? "R'G'B'A u8" : "R'G'B' u8"), pixels.data(),
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
      const std::vector<uint8_t> pixels = ReadPixels(width, height, channels);
      for (host::Channel c : {host::Channel::kRed, host::Channel::kGreen, host::Channel::kBlue})
        fetched_[int(c)] = ChannelPlane(pixels, width, height, channels, c);
    }
    BytePlane plane = std::move(*fetched_[int(channel)]);
    fetched_[int(channel)].reset();
    return plane;
  }

  // ---- the send -------------------------------------------------------------------------------------
  // GIMP's undo step is pushed by the merge in Refresh.
  void SaveUndo() override { pushUndo_ = true; }

  void Stage(host::Channel channel, const BytePlane& plane) override { staged_[int(channel)] = plane; }

  void Refresh() override {
    auto staged = std::exchange(staged_, {});
    const bool pushUndo = std::exchange(pushUndo_, false);
    ExpectPresent("sent");
    const int32_t width = BufferWidth(), height = BufferHeight();
    for (host::Channel c : {host::Channel::kRed, host::Channel::kGreen, host::Channel::kBlue}) {
      const auto& plane = staged[int(c)];
      if (!plane) Fail(std::string("No ") + host::ChannelName(c) + " plane was sent; GIMP's layer is left as it was");
      if (plane->width() != width || plane->height() != height)
        Fail(std::string("The ") + host::ChannelName(c) + " plane sent is " + SizeText(plane->width(), plane->height()) +
             ", GIMP's layer " + SizeText(width, height) + "; the layer is left as it was");
    }
    // A grey layer stores the colours sent as grey: compared as stored, colours already sent once change
    // nothing the next time.
    if (gimp_drawable_is_gray(drawable_)) AsGrey(staged);
    const StagedPlanes planes{*staged[0], *staged[1], *staged[2]};
    const int channels = Channels();
    const std::vector<uint8_t> current = ReadPixels(width, height, channels);

    Box selected;
    if (!gimp_drawable_mask_intersect(drawable_, &selected.x, &selected.y, &selected.width, &selected.height))
      return;  // the selection leaves nothing of this layer to change
    const Box changed = Intersect(ChangedBox(current, channels, width, planes), selected);
    if (changed.empty()) return;  // nothing to change: no undo step either

    UndoGroup group(gimp_item_get_image(drawable_));
    {
      BufferRef source(gimp_drawable_get_buffer(drawable_));
      BufferRef shadow(gimp_drawable_get_shadow_buffer(drawable_));
      // The merge takes the whole selected part of the shadow: it starts as the layer stands.
      const GeglRectangle selectedRect = Rect(selected);
      gegl_buffer_copy(source.get(), &selectedRect, GEGL_ABYSS_NONE, shadow.get(), &selectedRect);
      // The changes go in strip by strip in the layer's own format, converted from bytes only where a
      // colour changes, so that the pixels left alone keep their exact values in any precision.
      const Babl* native = gegl_buffer_get_format(source.get());
      const Babl* bytes = babl_format(channels == 4 ? "R'G'B'A u8" : "R'G'B' u8");
      const Babl* fish = babl_fish(bytes, native);
      const size_t pixelBytes = size_t(babl_format_get_bytes_per_pixel(native));
      for (int32_t y = changed.y; y < changed.y + changed.height; y += kStripRows) {
        const Box strip{changed.x, y, changed.width, std::min(kStripRows, changed.y + changed.height - y)};
        const GeglRectangle stripRect = Rect(strip);
        const size_t count = size_t(strip.width) * size_t(strip.height);
        const ComposedStrip composed = Compose(current, channels, width, planes, strip);
        std::vector<uint8_t> converted(count * pixelBytes), pixels(count * pixelBytes);
        babl_process(fish, composed.pixels.data(), converted.data(), long(count));
        gegl_buffer_get(source.get(), &stripRect, 1.0, native, pixels.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
        TakeChanged(pixels, converted, pixelBytes, composed.changed);
        gegl_buffer_set(shadow.get(), &stripRect, 0, native, pixels.data(), GEGL_AUTO_ROWSTRIDE);
      }
      gegl_buffer_flush(shadow.get());
    }
    if (!gimp_drawable_merge_shadow(drawable_, pushUndo))
      Fail("GIMP did not take the painted pixels: " + std::string(gimp_get_pdb_error()));
    gimp_drawable_update(drawable_, changed.x, changed.y, changed.width, changed.height);
    gimp_displays_flush();
  }

  // The planes as a grey layer would hold them, grey in all three.
  static void AsGrey(std::array<std::optional<BytePlane>, 3>& planes) {
    const BytePlane& r = *planes[0];
    const size_t count = r.size();
    std::vector<uint8_t> rgb(count * 3);
    for (size_t i = 0; i < count; ++i) {
      rgb[i * 3] = r.data()[i];
      rgb[i * 3 + 1] = planes[1]->data()[i];
      rgb[i * 3 + 2] = planes[2]->data()[i];
    }
    BytePlane grey(r.width(), r.height());
    babl_process(babl_fish(babl_format("R'G'B' u8"), babl_format("Y' u8")), rgb.data(), grey.data(), long(count));
    planes = {grey, grey, grey};
  }

  // ---- the rest -------------------------------------------------------------------------------------
  std::string WallpaperFilename() override { return {}; }

  void TakeForm(platform::Form& form) override {
    if (const gint handle = gimp_progress_get_window_handle(); handle > 0)
      form.SetTransientForNative(uintptr_t(handle));
    form.Show();
  }

  int32_t drawable_;
  bool pushUndo_ = false;
  std::array<std::optional<BytePlane>, 3> fetched_;
  std::array<std::optional<BytePlane>, 3> staged_;
};

}  // namespace

std::shared_ptr<platform::HostObject> MakeGimpHost(int32_t drawable) { return std::make_shared<GimpHost>(drawable); }

void RegisterGimpHost(int32_t drawable) {
  platform::RegisterHost(kHostProgId, [drawable] { return MakeGimpHost(drawable); });
}

std::optional<std::string> RefusalFor(int32_t drawable) {
  if (!gimp_item_is_valid(drawable)) return "Brisel was given no layer to paint on.";
  if (gimp_item_is_layer_mask(drawable))
    return "Brisel paints on a layer's colours, not on its mask: select the layer itself (click its thumbnail "
           "in the Layers dialog) and start Brisel again.";
  if (gimp_item_is_channel(drawable))
    return "Brisel paints on layers, not on channels: select a layer and start Brisel again.";
  if (gimp_item_is_group(drawable))
    return "Brisel cannot paint on a layer group, whose pixels come from its layers: select one of them.";
  if (gimp_drawable_is_indexed(drawable))
    return "Brisel paints in RGB or greyscale, and this image is indexed: painted colours would be lost to its "
           "palette. Convert it with Image > Mode > RGB first.";
  return std::nullopt;
}

}  // namespace brisel::gimphost
