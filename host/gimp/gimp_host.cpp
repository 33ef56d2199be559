#include "gimp/gimp_host.h"

#include <libgimp/gimp.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/host_table.h"
#include "common/send_planes.h"
#include "gimp/gimp_api.h"
#include "gimp/layer_pixels.h"
#include "platform/window.h"

namespace brisel::gimphost {
namespace {

// Rows written per pass on a send, so that the copies of a large change stay small.
constexpr int32_t kStripRows = 64;

[[noreturn]] void Fail(const std::string& text) { throw Error(errors::kHostCallFailed, text); }

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
 public:
  explicit GimpHost(int32_t drawable)
      : drawable_(drawable), image_(api::IsValid(drawable) ? api::Id(api::ImageOf(drawable)) : 0) {}

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
  int32_t LayerWidth() { return Present() ? api::Width(drawable_) : 0; }
  int32_t LayerHeight() { return Present() ? api::Height(drawable_) : 0; }
  // The program asks the size before every send of its own: what the last send asked is asked anew.
  int32_t BufferWidth() override {
    askedText_ = false;
    return LayerWidth();
  }
  int32_t BufferHeight() override { return LayerHeight(); }

  std::string HostName() override { return "GIMP"; }

  // A closed image takes its layers with it: which of the two went is what the painter did.
  std::string PictureGone() override {
    if (Present()) return {};
    if (image_ == 0 || !api::ImageIsValid(image_)) return "The image Brisel was started on is no longer open in GIMP.";
    return "The layer Brisel was started on is no longer in GIMP.";
  }

  void ExpectPresent(const char* doing) {
    if (Present()) return;
    std::string gone = PictureGone();
    gone.pop_back();  // its full stop
    Fail(gone + "; nothing was " + doing);
  }

  int Channels() { return api::HasAlpha(drawable_) ? 4 : 3; }

  // The layer's pixels of area as the program sees them: perceptual bytes, interleaved, channels as Channels()
  // says, a layer's colours laid on white through its alpha (which comes along).
  std::vector<uint8_t> ReadPixels(const Box& area, int channels) {
    std::vector<uint8_t> pixels(size_t(area.width) * size_t(area.height) * size_t(channels));
    BufferRef buffer(api::Buffer(drawable_));
    const GeglRectangle rect = Rect(area);
    gegl_buffer_get(buffer.get(), &rect, 1.0, babl_format(channels == 4 ? "R'G'B'A u8" : "R'G'B' u8"), pixels.data(),
                    GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    if (channels == 4) ShowOnWhite(pixels);
    return pixels;
  }

  BytePlane Buffer(host::Channel channel) override {
    return planes_.Fetch(channel, [this] {
      ExpectPresent("read");
      const int32_t width = LayerWidth(), height = LayerHeight();
      const int channels = Channels();
      const std::vector<uint8_t> pixels = ReadPixels({0, 0, width, height}, channels);
      host::SendPlanes::Reading planes;
      for (host::Channel c : {host::Channel::kRed, host::Channel::kGreen, host::Channel::kBlue})
        planes[int(c)] = ChannelPlane(pixels, width, height, channels, c);
      return planes;
    });
  }

  // ---- the send -------------------------------------------------------------------------------------
  // GIMP's undo step is pushed by the merge in Refresh.
  void SaveUndo() override { pushUndo_ = true; }

  void ChangedBox(int32_t left, int32_t top, int32_t width, int32_t height) override {
    planes_.SetChangedBox({left, top, width, height});
  }

  void Stage(host::Channel channel, const BytePlane& plane) override { planes_.Stage(channel, plane); }

  void Refresh() override {
    const bool pushUndo = std::exchange(pushUndo_, false);
    ExpectPresent("sent");
    const int32_t width = LayerWidth(), height = LayerHeight();
    const host::Send send = planes_.Take(width, height, "GIMP's layer");
    // What made Brisel refuse the layer at the start may have come about since (an image made indexed).
    if (auto refusal = RefusalFor(drawable_)) Fail(*refusal + " Nothing was sent; the painting is kept.");
    if (api::ContentLocked(drawable_))
      Fail("The layer's pixels are locked in GIMP (the brush lock in the Layers dialog): unlock them and send "
           "again. Nothing was sent; the painting is kept.");
    // Without a selection all of the layer is the program's, the part outside the image included.
    const bool nothingSelected = api::NothingSelected(drawable_);
    Box selected{0, 0, width, height};
    if (!nothingSelected && !api::MaskIntersect(drawable_, selected.x, selected.y, selected.width, selected.height))
      return TakeHeld(send);  // the selection leaves nothing of this layer to change
    // Only where the program changed its planes since its last send can they differ from the layer; a
    // program that does not say where is compared everywhere.
    const Box area = send.Area(selected);
    if (area.empty()) return TakeHeld(send);

    // Only the pixels the program painted since it and the layer last held the same are its to write (the
    // send's painted mask): the layer's others keep what GIMP did to them meanwhile (a filter, another
    // Brisel's strokes).
    // A grey layer stores the colours sent as grey: compared as stored, colours already sent once change
    // nothing the next time.
    std::array<BytePlane, 3> stored = send.parts;
    if (api::IsGray(drawable_)) AsGrey(stored);
    const StagedPlanes planes{stored[0], stored[1], stored[2], send.part.x, send.part.y, send.painted};
    const int channels = Channels();
    const std::vector<uint8_t> current = ReadPixels(area, channels);
    const Box changed = gimphost::ChangedBox(current, channels, area, planes);
    if (changed.empty()) return TakeHeld(send);  // nothing to change: no undo step either
    AskBeforePaintingOnText();

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
      // once from the bytes sent, and its alpha goes through doubles, which hold any precision's exactly,
      // rising only as far as the colour shown on white needs; the pixels left alone keep every bit they had.
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
          double* pixel = &wideStrip[i * size_t(channels)];
          const uint8_t* shown = &composed.pixels[i * size_t(channels)];
          if (channels == 4) ShowOverWhite(pixel, shown);
          else for (size_t c = 0; c < 3; ++c) pixel[c] = shown[c] / 255.0;
        }
        babl_process(toNative, wideStrip.data(), converted.data(), long(count));
        TakeChanged(pixels, converted, pixelBytes, composed.changed);
        gegl_buffer_set(shadow.get(), &stripRect, 0, native, pixels.data(), GEGL_AUTO_ROWSTRIDE);
      }
      gegl_buffer_flush(shadow.get());
    }
    if (!api::MergeShadow(drawable_, pushUndo)) Fail("GIMP did not take the painted pixels: " + api::LastError());
    TakeHeld(send);
    api::Update(drawable_, changed.x, changed.y, changed.width, changed.height);
    gimp_displays_flush();
    // Not kept above GIMP's window: it may have come up over the canvas to show the change. A raise is
    // ignored on Wayland; an activation request is the compositor's to grant.
    if (canvas_ && !keptAbove_) canvas_->SetFocus();
  }

  // GIMP keeps a text layer's text only while its pixels are GIMP's own: painted on, it is a plain layer. The
  // first send that would paint on one asks (the same send again at once is the painter's yes), and once it
  // went through, the layer is plain.
  void AskBeforePaintingOnText() {
    if (paintOnText_ || !api::IsTextLayer(drawable_)) return;
    if (askedText_) {
      paintOnText_ = true;
      return;
    }
    askedText_ = true;
    throw Error(errors::kAskBeforeWriting, "\"" + api::ItemName(drawable_) +
                                               "\" is a text layer in GIMP: painted on, it becomes a plain layer "
                                               "and its text can no longer be edited. Send your painting to it?");
  }

  // After a send, what the layer holds over the part sent becomes the common ground, and where it differs
  // from what was sent (GIMP's edits meanwhile, a feathered selection's blend, a grey layer's grey) it is
  // kept for the program to show.
  void TakeHeld(const host::Send& send) {
    const Box& part = send.part;
    host::SendPlanes::Reading layer{BytePlane(part.width, part.height), BytePlane(part.width, part.height),
                                    BytePlane(part.width, part.height)};
    const int channels = Channels();
    for (int32_t y0 = 0; y0 < part.height; y0 += kStripRows) {
      const Box strip{part.x, part.y + y0, part.width, std::min(kStripRows, part.height - y0)};
      const std::vector<uint8_t> pixels = ReadPixels(strip, channels);
      for (int32_t y = 0; y < strip.height; ++y)
        for (int32_t x = 0; x < part.width; ++x)
          for (int c = 0; c < 3; ++c)
            layer[c](x, y0 + y) = pixels[(size_t(y) * size_t(part.width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
    planes_.AgreedWithLayer(send, std::move(layer));
  }

  bool HeldAfterSend(BytePlane& red, BytePlane& green, BytePlane& blue, BytePlane& mask) override {
    return planes_.TakeHeld(red, green, blue, mask);
  }

  bool InsideImage(const Box& box) {
    int32_t x = 0, y = 0, width = 0, height = 0;
    api::Offsets(drawable_, x, y);
    api::ImageSize(drawable_, width, height);
    return x + box.x >= 0 && y + box.y >= 0 && x + box.x + box.width <= width && y + box.y + box.height <= height;
  }

  // The planes as a grey layer would hold them, grey in all three.
  static void AsGrey(std::array<BytePlane, 3>& planes) {
    const BytePlane &r = planes[0], &g = planes[1], &b = planes[2];
    const size_t count = r.size();
    std::vector<uint8_t> rgb(count * 3);
    for (size_t i = 0; i < count; ++i) {
      rgb[i * 3] = r.data()[i];
      rgb[i * 3 + 1] = g.data()[i];
      rgb[i * 3 + 2] = b.data()[i];
    }
    BytePlane grey(r.width(), r.height());
    babl_process(babl_fish(babl_format("R'G'B' u8"), babl_format("Y' u8")), rgb.data(), grey.data(), long(count));
    for (auto& plane : planes) plane = grey;
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
      std::fprintf(stderr, "brisel: GIMP's window is not one Brisel's windows can stay above (%s); the canvas asks "
                           "to be brought forward at the start and after each send instead\n", why);
    form.Show();
    if (!keptAbove_) form.SetFocus();
  }

  platform::Form* canvas_ = nullptr;
  bool keptAbove_ = false;  // the canvas is GIMP's window's transient
  int32_t drawable_;
  int32_t image_;             // the drawable's image at the start, to tell a closed image from a deleted layer
  bool askedText_ = false;    // the send under way asked before painting on a text layer
  bool paintOnText_ = false;  // and the painter said yes
  bool pushUndo_ = false;
  host::SendPlanes planes_;
};

// The run of the process pid, told apart from any other run on any start of the system: its id, and a
// digest of when it started since which boot. Empty when the system does not say.
std::string GimpRun(int64_t pid) {
  std::ifstream bootFile("/proc/sys/kernel/random/boot_id");
  std::string boot;
  std::getline(bootFile, boot);
  std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(statFile, stat);
  // The fields after the name in parentheses (which may hold anything): the start time is the 20th.
  const size_t nameEnd = stat.rfind(')');
  if (boot.empty() || nameEnd == std::string::npos) return {};
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string started;
  for (int i = 0; i < 20 && fields >> started;) ++i;
  if (!fields) return {};
  // FNV-1a, the same in every build.
  uint64_t digest = 14695981039346656037u;
  for (const char c : boot + "/" + started) digest = (digest ^ uint8_t(c)) * 1099511628211u;
  char text[17];
  std::snprintf(text, sizeof text, "%08x", unsigned(digest ^ (digest >> 32)));
  return std::to_string(pid) + "." + text;
}

}  // namespace

std::shared_ptr<platform::HostObject> MakeGimpHost(int32_t drawable) { return std::make_shared<GimpHost>(drawable); }

void RegisterGimpHost(int32_t drawable) {
  platform::RegisterHost(platform::kHostProgId, [drawable] { return MakeGimpHost(drawable); });
}

std::string PictureIdentity(int32_t drawable) {
  if (!api::IsValid(drawable)) return {};
  const std::string layer = "\"" + api::ItemName(drawable) + "\"";
  // A file tells pictures apart for good, and GIMP keeps its layers' names unique within an image.
  if (const std::string file = api::ImageFile(drawable); !file.empty()) return file + " (GIMP layer " + layer + ")";
  // Without one, only the IDs tell this image and layer apart, and those start over at each start of GIMP:
  // this run of GIMP is named too, so that no other picture, now or after a restart, can share the identity.
  const std::string run = GimpRun(gimp_getpid());
  if (run.empty()) return {};
  std::string image = api::ImageName(drawable);
  if (image.empty()) image = "[Untitled]";
  return image + "-" + std::to_string(api::Id(api::ImageOf(drawable))) + " (GIMP layer " +
         std::to_string(drawable) + " " + layer + ", " + std::to_string(api::Width(drawable)) + " x " +
         std::to_string(api::Height(drawable)) + ", GIMP run " + run + ")";
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
