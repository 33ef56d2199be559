#include "common/host_table.h"

#include <array>

namespace brisel::host {
namespace {

using platform::Variant;
using Args = std::span<Variant>;


[[noreturn]] void TypeMismatch() { throw Error(errors::kTypeMismatch, "Type mismatch"); }

const BytePlane& PlaneArgument(const Variant& arg) {
  if (auto* ref = std::get_if<BytePlane*>(&arg); ref && *ref) return **ref;
  if (auto* plane = std::get_if<BytePlane>(&arg)) return *plane;
  TypeMismatch();
}

// The caller's own array, to fill.
BytePlane& PlaneToFill(const Variant& arg) {
  if (auto* ref = std::get_if<BytePlane*>(&arg); ref && *ref) return **ref;
  TypeMismatch();
}

// A Long, or an Integer, which widens to one.
int32_t LongArgument(const Variant& arg) {
  if (auto* value = std::get_if<int32_t>(&arg)) return *value;
  if (auto* value = std::get_if<int16_t>(&arg)) return *value;
  TypeMismatch();
}

}  // namespace

const char* ChannelName(Channel channel) {
  switch (channel) {
    case Channel::kRed: return "red";
    case Channel::kGreen: return "green";
    case Channel::kBlue: return "blue";
  }
  return "?";
}

Variant HostTable::Invoke(std::string_view name, Args args) {
  struct Entry {
    std::string_view name;
    size_t argCount;
    Variant (*call)(HostTable&, Args);
  };
  static constexpr std::array<Entry, 19> kCalls = {{
      {"Tarn_GetPaperWidth", 0, [](HostTable& h, Args) -> Variant { return h.PaperWidth(); }},
      {"tarn_GetPaperHeight", 0, [](HostTable& h, Args) -> Variant { return h.PaperHeight(); }},
      {"Tarn_GetPaper", 0, [](HostTable& h, Args) -> Variant { return h.Paper(); }},
      {"Tarn_BufferWidth", 0, [](HostTable& h, Args) -> Variant { return h.BufferWidth(); }},
      {"Tarn_BufferHeight", 0, [](HostTable& h, Args) -> Variant { return h.BufferHeight(); }},
      {"Tarn_GetRBuffer", 0, [](HostTable& h, Args) -> Variant { return h.Buffer(Channel::kRed); }},
      {"Tarn_GetGBuffer", 0, [](HostTable& h, Args) -> Variant { return h.Buffer(Channel::kGreen); }},
      {"Tarn_GetBBuffer", 0, [](HostTable& h, Args) -> Variant { return h.Buffer(Channel::kBlue); }},
      {"Brisel_ChangedBox", 4, [](HostTable& h, Args a) -> Variant {
         h.ChangedBox(LongArgument(a[0]), LongArgument(a[1]), LongArgument(a[2]), LongArgument(a[3]));
         return {};
       }},
      {"Tarn_SaveUndo", 0, [](HostTable& h, Args) -> Variant { h.SaveUndo(); return {}; }},
      {"Tarn_SetRbuffer", 1, [](HostTable& h, Args a) -> Variant { h.Stage(Channel::kRed, PlaneArgument(a[0])); return {}; }},
      {"Tarn_SetGbuffer", 1, [](HostTable& h, Args a) -> Variant { h.Stage(Channel::kGreen, PlaneArgument(a[0])); return {}; }},
      {"Tarn_SetBbuffer", 1, [](HostTable& h, Args a) -> Variant { h.Stage(Channel::kBlue, PlaneArgument(a[0])); return {}; }},
      {"tarn_Refresh", 0, [](HostTable& h, Args) -> Variant { h.Refresh(); return {}; }},
      {"Brisel_HeldAfterSend", 4, [](HostTable& h, Args a) -> Variant {
         return int32_t(h.HeldAfterSend(PlaneToFill(a[0]), PlaneToFill(a[1]), PlaneToFill(a[2]), PlaneToFill(a[3])));
       }},
      {"Tarn_WallpaperFilename", 0, [](HostTable& h, Args) -> Variant { return h.WallpaperFilename(); }},
      {"Tarn_SendFormObject", 2, [](HostTable& h, Args a) -> Variant {
         auto* form = std::get_if<platform::Form*>(&a[0]);
         if (!form || !*form) TypeMismatch();
         if (!std::holds_alternative<int16_t*>(a[1]) && !std::holds_alternative<int16_t>(a[1])) TypeMismatch();
         h.TakeForm(**form);
         return {};
       }},
      {"Brisel_HostName", 0, [](HostTable& h, Args) -> Variant { return h.HostName(); }},
      {"Brisel_PictureGone", 0, [](HostTable& h, Args) -> Variant { return h.PictureGone(); }},
  }};
  for (const Entry& entry : kCalls) {
    if (name != entry.name) continue;
    if (args.size() != entry.argCount)
      throw Error(errors::kWrongArgumentCount, "Wrong number of arguments or invalid property assignment");
    return entry.call(*this, args);
  }
  throw Error(errors::kNoSuchMethod, "Object doesn't support this property or method");
}

}  // namespace brisel::host
