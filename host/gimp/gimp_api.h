#pragma once
// The few calls where GIMP 2.10's libgimp and GIMP 3's differ, by item ID on both: GIMP 2.10 names
// items and images by ID, GIMP 3 by object, and an ID turns into GIMP 3's object at no cost. Drawable,
// Layer and Image give what a call of either libgimp takes for an ID; Id gives the ID of what it returns. Everything else the
// GIMP host uses (GEGL buffers, shadow merges, undo groups) is spelled alike in both.

#include <libgimp/gimp.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace brisel::gimphost::api {

#if GIMP_MAJOR_VERSION >= 3
inline GimpDrawable* Drawable(int32_t id) { return gimp_drawable_get_by_id(id); }
inline GimpItem* Item(int32_t id) { return GIMP_ITEM(gimp_drawable_get_by_id(id)); }
inline GimpLayer* Layer(int32_t id) { return gimp_layer_get_by_id(id); }
inline GimpImage* Image(int32_t id) { return gimp_image_get_by_id(id); }
using ImageRef = GimpImage*;
inline int32_t Id(GimpImage* image) { return image ? gimp_image_get_id(image) : 0; }
inline int32_t Id(GimpItem* item) { return item ? gimp_item_get_id(item) : 0; }

inline bool IsValid(int32_t id) { return gimp_item_id_is_valid(id); }
inline bool IsLayerMask(int32_t id) { return gimp_item_id_is_layer_mask(id); }
inline bool IsChannel(int32_t id) { return gimp_item_id_is_channel(id); }
inline bool IsGroup(int32_t id) { return gimp_item_id_is_group_layer(id); }
inline bool IsTextLayer(int32_t id) { return gimp_item_is_text_layer(Item(id)); }
inline bool ImageIsValid(int32_t image) { return gimp_image_id_is_valid(image); }
inline int32_t Width(int32_t id) { return gimp_drawable_get_width(Drawable(id)); }
inline int32_t Height(int32_t id) { return gimp_drawable_get_height(Drawable(id)); }
inline ImageRef ImageOf(int32_t id) { return gimp_item_get_image(Item(id)); }
inline std::string LastError() {
  const gchar* text = gimp_pdb_get_last_error(gimp_get_pdb());
  return text ? text : "";
}
#else
inline int32_t Drawable(int32_t id) { return id; }
inline int32_t Item(int32_t id) { return id; }
inline int32_t Layer(int32_t id) { return id; }
inline int32_t Image(int32_t id) { return id; }
using ImageRef = int32_t;
inline int32_t Id(int32_t id) { return id; }

inline bool IsValid(int32_t id) { return gimp_item_is_valid(id); }
inline bool IsLayerMask(int32_t id) { return gimp_item_is_layer_mask(id); }
inline bool IsChannel(int32_t id) { return gimp_item_is_channel(id); }
inline bool IsGroup(int32_t id) { return gimp_item_is_group(id); }
inline bool IsTextLayer(int32_t id) { return gimp_item_is_text_layer(id); }
inline bool ImageIsValid(int32_t image) { return gimp_image_is_valid(image); }
inline int32_t Width(int32_t id) { return gimp_drawable_width(id); }
inline int32_t Height(int32_t id) { return gimp_drawable_height(id); }
inline ImageRef ImageOf(int32_t id) { return gimp_item_get_image(id); }
inline std::string LastError() {
  const gchar* text = gimp_get_pdb_error();
  return text ? text : "";
}
#endif

// Where the drawable's (0, 0) lies in its image.
inline void Offsets(int32_t id, int32_t& x, int32_t& y) {
#if GIMP_MAJOR_VERSION >= 3
  gimp_drawable_get_offsets(Drawable(id), &x, &y);
#else
  gimp_drawable_offsets(id, &x, &y);
#endif
}

// The image's selection kept aside as a channel, and put back from it (the channel then removed).
#if GIMP_MAJOR_VERSION >= 3
using ChannelRef = GimpChannel*;
inline void RestoreSelection(ImageRef image, ChannelRef saved) {
  gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, GIMP_ITEM(saved));
  gimp_image_remove_channel(image, saved);
}
#else
using ChannelRef = int32_t;
inline void RestoreSelection(ImageRef image, ChannelRef saved) {
  gimp_image_select_item(image, GIMP_CHANNEL_OP_REPLACE, saved);
  gimp_image_remove_channel(image, saved);
}
#endif

// Text GIMP hands over to be freed, as a string; empty for none.
inline std::string Take(gchar* text) {
  std::string taken = text ? text : "";
  g_free(text);
  return taken;
}

// The file the drawable's image was opened from or saved to (empty when it has none), its image's name,
// and the drawable's own name.
inline std::string ImageFile(int32_t id) {
#if GIMP_MAJOR_VERSION >= 3
  GFile* file = gimp_image_get_file(ImageOf(id));
  return file ? Take(g_file_get_path(file)) : "";
#else
  return Take(gimp_image_get_filename(ImageOf(id)));
#endif
}
inline std::string ImageName(int32_t id) { return Take(gimp_image_get_name(ImageOf(id))); }
inline std::string ItemName(int32_t id) { return Take(gimp_item_get_name(Item(id))); }

// A drawable's pixels in GEGL; the caller unrefs the buffers.
inline GeglBuffer* Buffer(int32_t id) { return gimp_drawable_get_buffer(Drawable(id)); }
inline GeglBuffer* ShadowBuffer(int32_t id) { return gimp_drawable_get_shadow_buffer(Drawable(id)); }
inline bool HasAlpha(int32_t id) { return gimp_drawable_has_alpha(Drawable(id)); }
inline bool IsGray(int32_t id) { return gimp_drawable_is_gray(Drawable(id)); }
inline bool IsIndexed(int32_t id) { return gimp_drawable_is_indexed(Drawable(id)); }
inline bool MaskIntersect(int32_t id, int32_t& x, int32_t& y, int32_t& width, int32_t& height) {
  return gimp_drawable_mask_intersect(Drawable(id), &x, &y, &width, &height);
}
// Whether the image has no selection (all of it counts as selected).
inline bool NothingSelected(int32_t id) { return gimp_selection_is_empty(ImageOf(id)); }
// The size of the drawable's image.
inline void ImageSize(int32_t id, int32_t& width, int32_t& height) {
#if GIMP_MAJOR_VERSION >= 3
  width = gimp_image_get_width(ImageOf(id));
  height = gimp_image_get_height(ImageOf(id));
#else
  width = gimp_image_width(ImageOf(id));
  height = gimp_image_height(ImageOf(id));
#endif
}
// Whether the item's pixels are locked in GIMP, by its own lock or a layer group's it is in.
inline bool ContentLocked(int32_t id) {
#if GIMP_MAJOR_VERSION >= 3
  for (GimpItem* item = Item(id); item; item = gimp_item_get_parent(item))
    if (gimp_item_get_lock_content(item)) return true;
#else
  for (int32_t item = id; item > 0; item = gimp_item_get_parent(item))
    if (gimp_item_get_lock_content(item)) return true;
#endif
  return false;
}
inline bool MergeShadow(int32_t id, bool undo) { return gimp_drawable_merge_shadow(Drawable(id), undo); }
inline void Update(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
  gimp_drawable_update(Drawable(id), x, y, width, height);
}

// GIMP's current pattern, as bytes of bytesPerPixel (1 to 4) each, rows contiguous; empty when GIMP has
// none to give.
struct Pattern {
  std::vector<uint8_t> bytes;
  int32_t width = 0, height = 0, bytesPerPixel = 0;
};

inline Pattern CurrentPattern() {
  Pattern pattern;
#if GIMP_MAJOR_VERSION >= 3
  GimpPattern* current = gimp_context_get_pattern();
  gint width = 0, height = 0, bpp = 0;
  if (!current || !gimp_pattern_get_info(current, &width, &height, &bpp) || width <= 0 || height <= 0)
    return pattern;
  // Read as grey-and-alpha or colour-and-alpha bytes, whatever GIMP keeps the pattern in.
  const bool grey = bpp <= 2;
  GeglBuffer* buffer = gimp_pattern_get_buffer(current, width, height, babl_format(grey ? "Y'A u8" : "R'G'B'A u8"));
  if (!buffer) return pattern;
  pattern.width = gegl_buffer_get_width(buffer);
  pattern.height = gegl_buffer_get_height(buffer);
  pattern.bytesPerPixel = grey ? 2 : 4;
  pattern.bytes.resize(size_t(pattern.width) * size_t(pattern.height) * size_t(pattern.bytesPerPixel));
  const GeglRectangle all{0, 0, pattern.width, pattern.height};
  gegl_buffer_get(buffer, &all, 1.0, babl_format(grey ? "Y'A u8" : "R'G'B'A u8"), pattern.bytes.data(),
                  GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
  g_object_unref(buffer);
#else
  gchar* name = gimp_context_get_pattern();
  if (!name) return pattern;
  gint width = 0, height = 0, bpp = 0, byteCount = 0;
  guint8* bytes = nullptr;
  if (gimp_pattern_get_pixels(name, &width, &height, &bpp, &byteCount, &bytes) && bytes && byteCount > 0) {
    pattern.bytes.assign(bytes, bytes + byteCount);
    pattern.width = width;
    pattern.height = height;
    pattern.bytesPerPixel = bpp;
  }
  g_free(bytes);
  g_free(name);
#endif
  return pattern;
}

// The window GIMP names to plug-ins for the run (its image window): an X11 window id, or on Wayland the
// handle GIMP exported for it (xdg-foreign). Ask only where the answer can be used: GIMP asked on a
// compositor without xdg-foreign logs a failed assertion.
struct WindowHandle {
  uintptr_t x11 = 0;
  std::string wayland;
};
inline WindowHandle ProgressWindow(bool onWayland) {
  WindowHandle named;
#if GIMP_MAJOR_VERSION >= 3
  GBytes* handle = gimp_progress_get_window_handle();
  if (!handle) return named;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(handle, &size));
  if (data && onWayland) {
    // A Wayland handle is text, with or without its NUL; GIMP on X11 names its window by number instead.
    const std::string_view text(data, strnlen(data, size));
    if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 127; }))
      named.wayland = text;
  } else if (data && (size == 4 || size == 8)) {
    // An X11 window is a number of 32 bits, held in 4 or 8 bytes.
    uint64_t window = 0;
    std::memcpy(&window, data, size);
    if (!(window >> 32)) named.x11 = uintptr_t(window);
  }
  g_bytes_unref(handle);
#else
  const gint handle = gimp_progress_get_window_handle();  // GIMP 2.10 runs on X11 alone
  if (!onWayland && handle > 0) named.x11 = uintptr_t(handle);
#endif
  return named;
}

}  // namespace brisel::gimphost::api
