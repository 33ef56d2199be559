// A GIMP plug-in for the tests only. "plug-in-brisel-probe" takes four loaded pictures (RGB, RGB with
// alpha, greyscale, indexed) and a folder, and tries the GIMP host on copies of them the way the program
// calls it, without a window: one plug-in run for every case, since each start of a plug-in costs GIMP
// more than a second. It writes report.txt ("case.key=value" lines) and a PNG of each layer it sent to.
//
//   invert-*   the program's start-up reads (size, red, green, blue), then a send of the inverted planes
//   selection  the same inside a rectangular selection
//   selection-stroke   a 4 x 4 stroke inside a larger selection, sent with its box; the selection after
//   unchanged  a send of the planes as read, on a clean image: whether the image became dirty
//   grey-again colours sent to a grey layer twice: whether the second send made the image dirty
//   offset     the same on a layer moved by (7, 5), inside a selection
//   resize     the planes read, the layer made 10 pixels wider, then a send
//   delete     the planes read, the layer removed, then a send; the host's words, then with the image closed
//   new1, new2  the identities of two new unnamed images alike
//   transparent  an RGBA layer cleared left of x = 16, and a send of a square of its planes inverted
//   paper      the paper calls on GIMP's "Pine" pattern
//   precision, precision32   on a 16-bit integer or 32-bit float linear copy with values between the 8-bit
//              steps, a send changing two opposite corners; which pixels moved, byte for byte
//   big        sends on a new 4000 x 3000 layer: after a 100 x 100 stroke (the first and a later one) with
//              and without the program's changed box, and after a change of everything; how long each took
//   accepted, indexed, mask, channel   whether Brisel would paint there, and why not

#include <libgimp/gimp.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "gimp/gimp_api.h"
#include "gimp/gimp_host.h"
#include "gimp/plugin_shell.h"
#include "platform/host.h"

namespace {

using brisel::BytePlane;
using brisel::platform::Variant;
namespace api = brisel::gimphost::api;

// The calls the cases make where GIMP 2.10 and GIMP 3 differ beyond IDs and objects.
int32_t SelectedDrawable(int32_t image) {
#if GIMP_MAJOR_VERSION >= 3
  GimpDrawable** drawables = gimp_image_get_selected_drawables(api::Image(image));
  const int32_t id = drawables && drawables[0] ? api::Id(GIMP_ITEM(drawables[0])) : 0;
  g_free(drawables);
  return id;
#else
  return gimp_image_get_active_drawable(image);
#endif
}

int32_t AddMask(int32_t layer) {
  auto mask = gimp_layer_create_mask(api::Layer(layer), GIMP_ADD_MASK_WHITE);
  gimp_layer_add_mask(api::Layer(layer), mask);
#if GIMP_MAJOR_VERSION >= 3
  return api::Id(GIMP_ITEM(mask));
#else
  return mask;
#endif
}

int32_t AddChannel(int32_t image) {
#if GIMP_MAJOR_VERSION >= 3
  GeglColor* black = gegl_color_new("black");
  GimpChannel* channel = gimp_channel_new(api::Image(image), "probe", 40, 30, 50, black);
  g_object_unref(black);
  gimp_image_insert_channel(api::Image(image), channel, nullptr, 0);
  return api::Id(GIMP_ITEM(channel));
#else
  const GimpRGB black{0, 0, 0, 1};
  const int32_t channel = gimp_channel_new(image, "probe", 40, 30, 50, &black);
  gimp_image_insert_channel(image, channel, 0, 0);
  return channel;
#endif
}

// A new image of one white RGB layer; its layer's ID.
int32_t NewImage(int32_t width, int32_t height) {
  auto image = gimp_image_new(width, height, GIMP_RGB);
  auto layer = gimp_layer_new(image, "probe", width, height, GIMP_RGB_IMAGE, 100, GIMP_LAYER_MODE_NORMAL);
  gimp_image_insert_layer(image, layer, 0, 0);
#if GIMP_MAJOR_VERSION >= 3
  const int32_t id = api::Id(GIMP_ITEM(layer));
#else
  const int32_t id = layer;
#endif
  gimp_drawable_fill(api::Drawable(id), GIMP_FILL_WHITE);
  return id;
}

// Has GIMP draw the image's projection, as it has for every image it shows: a painter's image is on
// screen before Brisel sends to it, while a new image in a console GIMP is drawn only when first needed.
void Draw(int32_t image) {
  gint width = 128, height = 128, bpp = 0;  // the thumbnail's size asked for, then given
#if GIMP_MAJOR_VERSION >= 3
  if (GBytes* thumbnail = gimp_image_get_thumbnail_data(api::Image(image), &width, &height, &bpp))
    g_bytes_unref(thumbnail);
#else
  g_free(gimp_image_get_thumbnail_data(image, &width, &height, &bpp));
#endif
}

void UsePattern(const char* name, int32_t& width, int32_t& height) {
  gint w = 0, h = 0, bpp = 0;
#if GIMP_MAJOR_VERSION >= 3
  GimpPattern* pattern = gimp_pattern_get_by_name(name);
  gimp_context_set_pattern(pattern);
  gimp_pattern_get_info(pattern, &w, &h, &bpp);
#else
  gimp_context_set_pattern(name);
  gimp_pattern_get_info(name, &w, &h, &bpp);
#endif
  width = w;
  height = h;
}

struct Planes {
  BytePlane r, g, b;
};

class Probe {
 public:
  Probe(std::string folder) : folder_(std::move(folder)), report_(folder_ + "/report.txt") {}

  // The cases, each on a copy of a picture that is deleted after.
  void RunAll(int32_t rgb, int32_t rgba, int32_t grey, int32_t indexed) {
    OnCopy(rgb, "invert-rgb", [&](int32_t, int32_t layer) { Invert(layer); });
    OnCopy(rgba, "invert-rgba", [&](int32_t, int32_t layer) { Invert(layer); });
    OnCopy(grey, "invert-grey", [&](int32_t, int32_t layer) { Invert(layer); });
    OnCopy(rgb, "selection", [&](int32_t image, int32_t layer) {
      gimp_image_select_rectangle(api::Image(image), GIMP_CHANNEL_OP_REPLACE, 10, 8, 20, 12);
      Invert(layer);
    });
    // A stroke smaller than the selection: GIMP merges just its box, and the selection is as it was.
    OnCopy(rgb, "selection-stroke", [&](int32_t image, int32_t layer) {
      gimp_image_select_rectangle(api::Image(image), GIMP_CHANNEL_OP_REPLACE, 10, 8, 20, 12);
      Planes planes = Read(layer);
      Invert(planes, {12, 10, 4});
      Send(layer, planes, Square{12, 10, 4});
      Save(layer);
      gboolean selected = FALSE;
      gint x1 = 0, y1 = 0, x2 = 0, y2 = 0;
      gimp_selection_bounds(api::Image(image), &selected, &x1, &y1, &x2, &y2);
      Write("selection_after", std::to_string(x1) + "," + std::to_string(y1) + "," + std::to_string(x2) + "," +
                                   std::to_string(y2));
    });
    OnCopy(rgb, "offset", [&](int32_t image, int32_t layer) {
      gimp_layer_set_offsets(api::Layer(layer), 7, 5);
      gimp_image_select_rectangle(api::Image(image), GIMP_CHANNEL_OP_REPLACE, 17, 13, 20, 12);
      Invert(layer);
    });
    OnCopy(rgb, "unchanged", [&](int32_t image, int32_t layer) {
      Planes planes = Read(layer);
      gimp_image_clean_all(api::Image(image));
      Send(layer, planes);
      Write("dirty", gimp_image_is_dirty(api::Image(image)));
    });
    OnCopy(grey, "grey-again", [&](int32_t image, int32_t layer) {
      Planes planes = Read(layer);
      for (size_t i = 0; i < planes.r.size(); ++i) planes.r.data()[i] = uint8_t(255 - planes.r.data()[i]);
      Send(layer, planes);
      gimp_image_clean_all(api::Image(image));
      Send(layer, planes);  // the same colours again: GIMP holds them as grey already
      Write("dirty", gimp_image_is_dirty(api::Image(image)));
    });
    OnCopy(rgb, "resize", [&](int32_t, int32_t layer) {
      Planes planes = Read(layer);
      gimp_layer_resize(api::Layer(layer), api::Width(layer) + 10, api::Height(layer), 0, 0);
      SizeAfter(layer);
      Send(layer, planes);
      Save(layer);
    });
    OnCopy(rgb, "delete", [&](int32_t image, int32_t layer) {
      Planes planes = Read(layer);
      gimp_image_remove_layer(api::Image(image), api::Layer(layer));
      SizeAfter(layer);
      Send(layer, planes);
      Write("gone", brisel::platform::ToString(Call(layer, "Brisel_PictureGone")));
      gimp_image_delete(api::Image(image));
      Write("gone_closed", brisel::platform::ToString(Call(layer, "Brisel_PictureGone")));
    });
    for (const char* name : {"new1", "new2"})
      OnNew(40, 30, name, [&](int32_t layer) { Write("identity", brisel::gimphost::PictureIdentity(layer)); });
    OnCopy(rgba, "transparent", [&](int32_t image, int32_t layer) {
      gimp_image_select_rectangle(api::Image(image), GIMP_CHANNEL_OP_REPLACE, 0, 0, 16, 30);
      gimp_drawable_edit_clear(api::Drawable(layer));
      gimp_selection_none(api::Image(image));
      Planes planes = Read(layer);
      Invert(planes, {10, 10, 12});
      Send(layer, planes, Square{10, 10, 12});
      Save(layer);
    });
    OnCopy(rgb, "paper", [&](int32_t, int32_t layer) { Paper(layer); });
    for (const auto& [name, precision] : {std::pair{"precision", GIMP_PRECISION_U16_LINEAR},
                                          {"precision32", GIMP_PRECISION_FLOAT_LINEAR}}) {
      OnCopy(rgb, name, [&](int32_t image, int32_t layer) {
        // Inverted in linear light, most values fall between the 8-bit steps.
        gimp_image_convert_precision(api::Image(image), precision);
        gimp_drawable_invert(api::Drawable(layer), TRUE);
        Precision(layer);
      });
    }
    // What a send costs on a 4000 x 3000 layer: after a 100 x 100 stroke (as the program sends it, and
    // without the program's changed box, as before it said one), and after a change of everything.
    OnNew(4000, 3000, "big", [&](int32_t layer) {
      Draw(api::Id(api::ImageOf(layer)));
      Planes planes = Read(layer);
      for (const auto& [stroke, prefix] : {std::pair{Square{1000, 1000, 100}, "first_"}, {Square{1000, 2000, 100}, ""}}) {
        Invert(planes, stroke);
        Send(layer, planes, stroke, prefix);
      }
      Invert(planes, {2000, 1000, 100});
      Send(layer, planes, std::nullopt, "unboxed_");
      Invert(planes, {0, 0, 4000});
      Send(layer, planes, Square{0, 0, 4000}, "all_");
      Write("changed", ChangedPixels(layer));
    });
    // GIMP changes the layer while Brisel has it open: a send writes Brisel's strokes alone. A diagonal
    // line is painted white; GIMP inverts the layer meanwhile; the line's box is sent.
    OnCopy(rgb, "gimp-edit", [&](int32_t, int32_t layer) {
      Planes planes = Read(layer);
      for (int32_t i = 5; i < 16; ++i)
        for (BytePlane* p : {&planes.r, &planes.g, &planes.b}) (*p)(i, i) = 255;
      gimp_drawable_invert(api::Drawable(layer), FALSE);
      Send(layer, planes, Square{5, 5, 11});
      Save(layer);
      Held(layer, planes, Square{5, 5, 11});
    });
    // What makes a send impossible since the start refuses it, the image left clean.
    OnCopy(rgb, "locked", [&](int32_t image, int32_t layer) {
      Planes planes = Read(layer);
      Invert(planes, {4, 4, 6});
      gimp_item_set_lock_content(api::Item(layer), TRUE);
      gimp_image_clean_all(api::Image(image));
      Send(layer, planes, Square{4, 4, 6});
      Write("dirty", gimp_image_is_dirty(api::Image(image)));
    });
    OnCopy(rgb, "indexed-meanwhile", [&](int32_t image, int32_t layer) {
      Planes planes = Read(layer);
      Invert(planes, {4, 4, 6});
      gimp_image_convert_indexed(api::Image(image), GIMP_CONVERT_DITHER_NONE, GIMP_CONVERT_PALETTE_GENERATE, 16, FALSE,
                                 FALSE, "");
      Send(layer, planes, Square{4, 4, 6});
    });
    // A layer moved partly off its image: a stroke on the part outside is written too.
    OnCopy(rgb, "outside", [&](int32_t, int32_t layer) {
      gimp_layer_set_offsets(api::Layer(layer), -10, -6);
      Planes planes = Read(layer);
      Invert(planes, {0, 0, 8});
      Send(layer, planes, Square{0, 0, 8});
      Save(layer);
    });
    // Alpha between the 8-bit steps, in 16-bit integer and 32-bit float layers: a send of new colours
    // everywhere, lighter ones that show at the layer's alpha, keeps every alpha exactly.
    for (const auto& [name, precision] : {std::pair{"deep-alpha16", 250}, {"deep-alpha32", 350}}) {
      OnCopy(rgba, name, [&](int32_t image, int32_t layer) {
        gimp_image_convert_precision(api::Image(image), GimpPrecision(precision));  // non-linear
        gimp_drawable_levels(api::Drawable(layer), GIMP_HISTOGRAM_ALPHA, 0, 1, TRUE, 0.7, 0, 1, TRUE);
        AlphaKept(layer);
      });
    }
    OnCopy(rgb, "accepted", [&](int32_t, int32_t layer) { Refusal(layer); });
    OnCopy(indexed, "indexed", [&](int32_t, int32_t layer) { Refusal(layer); });
    OnCopy(rgb, "mask", [&](int32_t, int32_t layer) { Refusal(AddMask(layer)); });
    OnCopy(rgb, "channel", [&](int32_t image, int32_t) { Refusal(AddChannel(image)); });
  }

 private:
  template <typename Case>
  void OnCopy(int32_t source, const char* name, Case run) {
    case_ = name;
    const int32_t image = api::Id(gimp_image_duplicate(api::Image(source)));
    host_.reset();
    const auto start = std::chrono::steady_clock::now();
    try {
      run(image, SelectedDrawable(image));
    } catch (const brisel::Error& e) {
      Write("failed", std::to_string(e.number()) + " " + e.text());
    }
    Write("ms", Since(start));
    host_.reset();
    if (api::ImageIsValid(image)) gimp_image_delete(api::Image(image));
  }

  template <typename Case>
  void OnNew(int32_t width, int32_t height, const char* name, Case run) {
    case_ = name;
    const int32_t layer = NewImage(width, height);
    const int32_t image = api::Id(api::ImageOf(layer));
    host_.reset();
    try {
      run(layer);
    } catch (const brisel::Error& e) {
      Write("failed", std::to_string(e.number()) + " " + e.text());
    }
    host_.reset();
    gimp_image_delete(api::Image(image));
  }

  static long Since(std::chrono::steady_clock::time_point start) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
  }

  brisel::platform::HostObject& Host(int32_t layer) {
    if (!host_) host_ = brisel::gimphost::MakeGimpHost(layer);
    return *host_;
  }
  Variant Call(int32_t layer, const char* name) { return Host(layer).Invoke(name, {}); }
  void Call(int32_t layer, const char* name, BytePlane& plane) {
    Variant args[] = {&plane};
    Host(layer).Invoke(name, args);
  }
  int32_t Long(int32_t layer, const char* name) { return brisel::platform::ToLong(Call(layer, name)); }
  BytePlane Plane(int32_t layer, const char* name) { return brisel::platform::ToByteArray(Call(layer, name)); }

  void Write(const std::string& key, const std::string& value) { report_ << case_ << '.' << key << '=' << value << '\n'; }
  void Write(const std::string& key, long value) { Write(key, std::to_string(value)); }

  Planes Read(int32_t layer) {
    Write("width", Long(layer, "Tarn_BufferWidth"));
    Write("height", Long(layer, "Tarn_BufferHeight"));
    return {Plane(layer, "Tarn_GetRBuffer"), Plane(layer, "Tarn_GetGBuffer"), Plane(layer, "Tarn_GetBBuffer")};
  }
  void SizeAfter(int32_t layer) {
    Write("width_after", Long(layer, "Tarn_BufferWidth"));
    Write("height_after", Long(layer, "Tarn_BufferHeight"));
  }

  struct Square {
    int32_t x, y, size;
  };
  static void Invert(Planes& planes, const Square& square) {
    for (BytePlane* p : {&planes.r, &planes.g, &planes.b})
      for (int32_t y = square.y; y < std::min(square.y + square.size, p->height()); ++y)
        for (int32_t x = square.x; x < std::min(square.x + square.size, p->width()); ++x)
          (*p)(x, y) = uint8_t(255 - (*p)(x, y));
  }

  // The pixels of the layer no longer white.
  long ChangedPixels(int32_t layer) {
    const int32_t w = api::Width(layer), h = api::Height(layer);
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 3);
    GeglBuffer* buffer = api::Buffer(layer);
    const GeglRectangle all{0, 0, w, h};
    gegl_buffer_get(buffer, &all, 1.0, babl_format("R'G'B' u8"), pixels.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    long changed = 0;
    for (size_t i = 0; i < pixels.size(); i += 3) changed += pixels[i] != 255 || pixels[i + 1] != 255 || pixels[i + 2] != 255;
    return changed;
  }

  // The send-back as the program makes it, naming the box it changed when given one; its failure is
  // reported (keys after prefix), not thrown.
  void Send(int32_t layer, Planes& planes, std::optional<Square> changed = std::nullopt, const std::string& prefix = "") {
    const auto start = std::chrono::steady_clock::now();
    try {
      if (changed) {
        Variant box[] = {changed->x, changed->y, changed->size, changed->size};
        Host(layer).Invoke("Brisel_ChangedBox", box);
      }
      Call(layer, "Tarn_SaveUndo");
      Call(layer, "Tarn_SetRbuffer", planes.r);
      Call(layer, "Tarn_SetGbuffer", planes.g);
      Call(layer, "Tarn_SetBbuffer", planes.b);
      Call(layer, "tarn_Refresh");
      Write(prefix + "sent", "yes");
      Write(prefix + "send_ms", Since(start));
    } catch (const brisel::Error& e) {
      Write(prefix + "sent", "no");
      Write(prefix + "error", std::to_string(e.number()) + " " + e.text());
    }
  }

  // What the host says the layer holds after a send, where it differs from what was sent: how many pixels,
  // and at how many pixels of the box the program would then show other colours than the layer's.
  void Held(int32_t layer, const Planes& sent, const Square& box) {
    BytePlane held[3], mask;
    Variant args[] = {&held[0], &held[1], &held[2], &mask};
    const bool any = brisel::platform::ToLong(Host(layer).Invoke("Brisel_HeldAfterSend", args)) != 0;
    std::vector<uint8_t> pixels(size_t(box.size) * size_t(box.size) * 3);
    GeglBuffer* buffer = api::Buffer(layer);
    const GeglRectangle rect{box.x, box.y, box.size, box.size};
    gegl_buffer_get(buffer, &rect, 1.0, babl_format("R'G'B' u8"), pixels.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    long taken = 0, unlike = 0;
    for (int32_t y = 0; y < box.size; ++y)
      for (int32_t x = 0; x < box.size; ++x) {
        const bool take = any && mask(x, y) != 0;
        taken += take;
        const BytePlane* shown[3] = {&sent.r, &sent.g, &sent.b};
        for (int c = 0; c < 3; ++c) {
          const uint8_t value = take ? held[c](x, y) : (*shown[c])(box.x + x, box.y + y);
          if (value != pixels[(size_t(y) * size_t(box.size) + size_t(x)) * 3 + size_t(c)]) {
            ++unlike;
            break;
          }
        }
      }
    Write("held_taken", taken);
    Write("held_unlike", unlike);
  }

  // The layer's pixels as GIMP now holds them, to case.png.
  void Save(int32_t layer) {
    const int32_t w = api::Width(layer), h = api::Height(layer);
    QImage image(w, h, QImage::Format_RGBA8888);
    GeglBuffer* buffer = api::Buffer(layer);
    const GeglRectangle all{0, 0, w, h};
    gegl_buffer_get(buffer, &all, 1.0, babl_format("R'G'B'A u8"), image.bits(), image.bytesPerLine(), GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    if (!image.save(QString::fromStdString(folder_ + "/" + case_ + ".png"))) Write("save", "failed");
  }

  void Invert(int32_t layer) {
    Planes planes = Read(layer);
    for (BytePlane* p : {&planes.r, &planes.g, &planes.b})
      for (size_t i = 0; i < p->size(); ++i) p->data()[i] = uint8_t(255 - p->data()[i]);
    Send(layer, planes);
    Save(layer);
  }

  void Paper(int32_t layer) {
    int32_t patternWidth = 0, patternHeight = 0;
    UsePattern("Pine", patternWidth, patternHeight);
    Write("paper_width", Long(layer, "Tarn_GetPaperWidth"));
    Write("paper_height", Long(layer, "tarn_GetPaperHeight"));
    const BytePlane paper = Plane(layer, "Tarn_GetPaper");
    Write("texture_width", paper.width());
    Write("texture_height", paper.height());
    long sum = 0;
    for (size_t i = 0; i < paper.size(); ++i) sum += paper.data()[i];
    Write("texture_sum", sum);
    Write("pattern_width", patternWidth);
    Write("pattern_height", patternHeight);
  }

  // The layer's pixels as GIMP keeps them, byte for byte; bytes a pixel in pixelBytes.
  std::vector<uint8_t> ReadNative(int32_t layer, size_t& pixelBytes) {
    const int32_t w = api::Width(layer), h = api::Height(layer);
    GeglBuffer* buffer = api::Buffer(layer);
    const Babl* format = gegl_buffer_get_format(buffer);
    pixelBytes = size_t(babl_format_get_bytes_per_pixel(format));
    std::vector<uint8_t> bytes(size_t(w) * size_t(h) * pixelBytes);
    const GeglRectangle all{0, 0, w, h};
    gegl_buffer_get(buffer, &all, 1.0, format, bytes.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
    g_object_unref(buffer);
    return bytes;
  }

  void Precision(int32_t layer) {
    size_t pixelBytes = 0;
    const std::vector<uint8_t> before = ReadNative(layer, pixelBytes);
    Planes planes = Read(layer);
    const int32_t right = planes.r.width() - 1, bottom = planes.r.height() - 1;
    planes.r(0, 0) = uint8_t(255 - planes.r(0, 0));
    planes.r(right, bottom) = uint8_t(255 - planes.r(right, bottom));
    Send(layer, planes);
    const std::vector<uint8_t> after = ReadNative(layer, pixelBytes);
    const size_t count = before.size() / pixelBytes;
    auto moved = [&](size_t i) {
      return !std::equal(before.begin() + i * pixelBytes, before.begin() + (i + 1) * pixelBytes,
                         after.begin() + i * pixelBytes);
    };
    long others = 0;
    for (size_t i = 1; i + 1 < count; ++i) others += moved(i);
    Write("bytes_per_pixel", long(pixelBytes));
    Write("others_moved", others);
    Write("corners_moved", long(moved(0)) + long(moved(count - 1)));
  }

  void AlphaKept(int32_t layer) {
    size_t pixelBytes = 0;
    const std::vector<uint8_t> before = ReadNative(layer, pixelBytes);
    Planes planes = Read(layer);
    for (BytePlane* p : {&planes.r, &planes.g, &planes.b})
      for (size_t i = 0; i < p->size(); ++i) p->data()[i] = uint8_t((p->data()[i] + 256) / 2);  // halfway to white
    Send(layer, planes);
    const std::vector<uint8_t> after = ReadNative(layer, pixelBytes);
    const size_t alphaBytes = pixelBytes / 4, count = before.size() / pixelBytes;  // alpha: the last of four
    long alphaMoved = 0, colourMoved = 0;
    for (size_t i = 0; i < count; ++i) {
      const auto pixel = before.begin() + i * pixelBytes, now = after.begin() + i * pixelBytes;
      alphaMoved += !std::equal(pixel + 3 * alphaBytes, pixel + pixelBytes, now + 3 * alphaBytes);
      colourMoved += !std::equal(pixel, pixel + 3 * alphaBytes, now);
    }
    Write("bytes_per_pixel", long(pixelBytes));
    Write("alpha_moved", alphaMoved);
    Write("colour_moved", colourMoved);
  }

  void Refusal(int32_t drawable) {
    const auto refusal = brisel::gimphost::RefusalFor(drawable);
    Write("refused", refusal ? "yes" : "no");
    if (refusal) Write("reason", *refusal);
  }

  std::string folder_;
  std::ofstream report_;
  std::string case_;
  std::shared_ptr<brisel::platform::HostObject> host_;
};

brisel::gimphost::Outcome RunProbe(const brisel::gimphost::Run& run) {
  gegl_init(nullptr, nullptr);
  Probe(run.strings.at(0)).RunAll(run.images.at(0), run.images.at(1), run.images.at(2), run.images.at(3));
  return brisel::gimphost::Outcome::Success();
}

}  // namespace

int main(int argc, char* argv[]) {
  using Kind = brisel::gimphost::Argument::Kind;
  static const brisel::gimphost::Procedure kProbe{
      .name = "plug-in-brisel-probe",
      .blurb = "Tries Brisel's GIMP host",
      .help = "For Brisel's tests.",
      .arguments = {{Kind::kImage, "rgb", "An RGB picture without alpha"},
                    {Kind::kImage, "rgba", "An RGB picture with alpha"},
                    {Kind::kImage, "grey", "A greyscale picture"},
                    {Kind::kImage, "indexed", "An indexed picture"},
                    {Kind::kString, "folder", "Where the report and pictures go"}},
      .run = RunProbe,
  };
  return brisel::gimphost::PlugInMain(argc, argv, kProbe);
}
