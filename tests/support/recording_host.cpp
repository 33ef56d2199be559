#include "support/recording_host.h"

#include <array>

#include <algorithm>

#include "app/startup.h"
#include "platform/window.h"

namespace brisel::testing {

RecordingHost::RecordingHost(int32_t w, int32_t h, int32_t pw, int32_t ph)
    : width(w), height(h), red(w, h), green(w, h), blue(w, h), paperWidth(pw), paperHeight(ph), paper(pw, ph) {
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      red(x, y) = uint8_t(x + y);
      green(x, y) = uint8_t(2 * x + y);
      blue(x, y) = uint8_t(x + 3 * y);
    }
  for (int32_t y = 0; y < ph; ++y)
    for (int32_t x = 0; x < pw; ++x) paper(x, y) = uint8_t(17 * x + 31 * y);
}

platform::Variant RecordingHost::Invoke(std::string_view nameView, std::span<platform::Variant> args) {
  const std::string name(nameView);
  calls.push_back(name);
  const int n = ++seen[name];
  if (beforeCall) beforeCall(name);
  if (auto it = failFrom.find(name); it != failFrom.end() && n >= it->second)
    throw Error(errors::kHostCallFailed, "The host refused " + name);
  if (auto it = overrides.find(name); it != overrides.end()) return it->second;

  const auto plane = [&](BytePlane& target) {
    if (args.size() != 1 || !std::holds_alternative<BytePlane*>(args[0])) throw Error(errors::kTypeMismatch, "Type mismatch");
    const BytePlane& sent = *std::get<BytePlane*>(args[0]);
    if (!trustsChangedBox || changedBoxes.empty() || sent.width() != target.width() ||
        sent.height() != target.height()) {
      target = sent;
    } else {
      const Box& b = changedBoxes.back();
      for (int32_t y = std::max(b.top, 0); y < std::min(b.top + b.height, target.height()); ++y)
        for (int32_t x = std::max(b.left, 0); x < std::min(b.left + b.width, target.width()); ++x)
          target(x, y) = sent(x, y);
    }
    return platform::Variant{};
  };
  if (name == "Brisel_ChangedBox" && knowsChangedBox) {
    if (args.size() != 4) throw Error(450, "Wrong number of arguments or invalid property assignment");
    for (const platform::Variant& arg : args)
      if (!std::holds_alternative<int32_t>(arg)) throw Error(errors::kTypeMismatch, "Type mismatch");
    changedBoxes.push_back({std::get<int32_t>(args[0]), std::get<int32_t>(args[1]), std::get<int32_t>(args[2]),
                            std::get<int32_t>(args[3])});
    return {};
  }
  if (name == "Tarn_GetPaperWidth") return paperWidth;
  if (name == "tarn_GetPaperHeight") return paperHeight;
  if (name == "Tarn_GetPaper") return paper;
  if (name == "Tarn_BufferWidth") return width;
  if (name == "Tarn_BufferHeight") return height;
  if (name == "Tarn_GetRBuffer") return red;
  if (name == "Tarn_GetGBuffer") return green;
  if (name == "Tarn_GetBBuffer") return blue;
  if (name == "Tarn_SaveUndo") return ++saveUndoCount, platform::Variant{};
  if (name == "Tarn_SetRbuffer") return plane(red);
  if (name == "Tarn_SetGbuffer") return plane(green);
  if (name == "Tarn_SetBbuffer") return plane(blue);
  if (name == "tarn_Refresh") {
    for (const Edit& e : ownEdits) red(e.x, e.y) = e.r, green(e.x, e.y) = e.g, blue(e.x, e.y) = e.b;
    return ++refreshCount, platform::Variant{};
  }
  if (name == "Brisel_HeldAfterSend") {
    const Box b = changedBoxes.empty() ? Box{0, 0, width, height} : changedBoxes.back();
    std::array<BytePlane*, 4> out{};
    for (size_t i = 0; i < out.size(); ++i) {
      if (args.size() != 4 || !std::holds_alternative<BytePlane*>(args[i])) throw Error(errors::kTypeMismatch, "Type mismatch");
      *(out[i] = std::get<BytePlane*>(args[i])) = BytePlane(b.width, b.height);
    }
    bool any = false;
    for (const Edit& e : ownEdits) {
      if (e.x < b.left || e.y < b.top || e.x >= b.left + b.width || e.y >= b.top + b.height) continue;
      const int32_t x = e.x - b.left, y = e.y - b.top;
      (*out[0])(x, y) = e.r, (*out[1])(x, y) = e.g, (*out[2])(x, y) = e.b, (*out[3])(x, y) = 1;
      any = true;
    }
    return int32_t(any);
  }
  if (name == "Brisel_HostName" && hostName) return *hostName;
  if (name == "Brisel_PictureGone" && pictureGone) return *pictureGone;
  if (name == "Tarn_WallpaperFilename") return wallpaper;
  if (name == "Tarn_SendFormObject") {
    if (args.size() != 2 || !std::holds_alternative<platform::Form*>(args[0]) || !std::holds_alternative<int16_t*>(args[1]))
      throw Error(errors::kTypeMismatch, "Type mismatch");
    if (showsForms) std::get<platform::Form*>(args[0])->Show();
    return {};
  }
  throw Error(errors::kNoSuchMethod, "Object doesn't support this property or method");
}

std::shared_ptr<RecordingHost> InstallRecordingHost(int32_t width, int32_t height, int32_t paperWidth,
                                                    int32_t paperHeight) {
  auto host = std::make_shared<RecordingHost>(width, height, paperWidth, paperHeight);
  platform::RegisterHost(platform::kHostProgId, [host] { return host; });
  return host;
}

}  // namespace brisel::testing
