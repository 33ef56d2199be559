#pragma once
// The host application's side of the exchange, once for every host: the nineteen calls the program makes
// by name, their argument counts and kinds, and the errors a wrong call gets. A host says what each call
// does; HostTable says how it is called.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/host.h"

namespace brisel::host {

enum class Channel { kRed, kGreen, kBlue };
const char* ChannelName(Channel channel);  // "red", "green", "blue"

class HostTable : public platform::HostObject {
 public:
  // Calls by name as the program spells them (case matters); 438 for an unknown name, 450 for a wrong
  // number of arguments, 13 for an argument of the wrong kind.
  platform::Variant Invoke(std::string_view name, std::span<platform::Variant> args) final;

 protected:
  virtual int32_t PaperWidth() = 0;
  virtual int32_t PaperHeight() = 0;
  virtual BytePlane Paper() = 0;
  virtual int32_t BufferWidth() = 0;
  virtual int32_t BufferHeight() = 0;
  virtual BytePlane Buffer(Channel channel) = 0;
  // The box of the planes the program changed since its last send, in image pixels: columns left ..
  // left + width - 1, rows top .. top + height - 1 (width and height 0: nothing changed). Called just before
  // the send's Tarn_SaveUndo. A host may compare and write only inside it, and must treat the pixels outside
  // it as unchanged. The box is as the program sent it: a host clips it to its own picture. By default
  // ignored, and the host compares the whole planes.
  virtual void ChangedBox(int32_t /*left*/, int32_t /*top*/, int32_t /*width*/, int32_t /*height*/) {}
  virtual void SaveUndo() = 0;
  // The program's plane, by reference to its own array: a host that keeps it makes its own copy.
  virtual void Stage(Channel channel, const BytePlane& plane) = 0;
  virtual void Refresh() = 0;
  // After a send: where the host's picture, inside the box ChangedBox last gave, holds other pixels than the
  // planes sent (its own edits made meanwhile, a selection's feather, a grey layer's conversion), so that
  // the program shows what the picture holds. Fills the four planes at the box's size: red, green and blue
  // as the host holds them, and mask non-zero where they differ from what was sent. Returns false, the planes
  // left alone, when the host holds exactly what was sent: by default, for a host that writes every pixel.
  virtual bool HeldAfterSend(BytePlane& /*red*/, BytePlane& /*green*/, BytePlane& /*blue*/, BytePlane& /*mask*/) {
    return false;
  }
  virtual std::string WallpaperFilename() = 0;
  // The canvas window handed over; the host shows it. (The Integer that comes with it is left alone.)
  virtual void TakeForm(platform::Form& form) = 0;
  // The host as the painter knows it, for the program's messages and tooltips ("GIMP", "sample.png").
  virtual std::string HostName() { return "the host"; }
  // Empty while the layer or document the program was started on is still in the host; once it is gone, the
  // host's own sentence saying so ("The layer Brisel was started on is no longer in GIMP.").
  virtual std::string PictureGone() { return {}; }
};

}  // namespace brisel::host
