#include "krita/krita_host.h"

#include <cstdio>
#include <utility>

#include "common/host_table.h"
#include "common/send_planes.h"
#include "krita/layer_merge.h"
#include "platform/atomic_file.h"
#include "platform/window.h"

namespace brisel::kritahost {
namespace {

constexpr const char* kLayerGone =
    "The layer Brisel was started on is no longer in Krita (deleted, or its document closed)";


[[noreturn]] void Fail(const std::string& text) { throw Error(errors::kHostCallFailed, text); }

// Krita may have painted in the box between the read and the apply: the send reads it again, so often.
constexpr int kSendAttempts = 3;

std::string BoxWords(const Box& box) {
  return std::to_string(box.x) + " " + std::to_string(box.y) + " " + std::to_string(box.width) + " " +
         std::to_string(box.height);
}

int32_t Word(const std::vector<std::string>& words, size_t i) {
  if (i >= words.size()) Fail("The Krita plug-in gave an answer Brisel cannot read");
  try {
    return std::stoi(words[i]);
  } catch (const std::exception&) {
    Fail("The Krita plug-in gave an answer Brisel cannot read");
  }
}

std::vector<std::string> AskOk(Exchange& exchange, const std::string& request) {
  const std::string answer = exchange.Ask(request);
  auto words = OkWords(answer);
  if (!words) Fail("The Krita plug-in answered \"" + answer + "\" to " + request);
  return *words;
}

class KritaHost final : public host::HostTable {
 public:
  KritaHost(std::string folder, int requests, int answers)
      : exchange_(std::move(folder), requests, answers) {}

 private:
  // ---- paper: the current pattern, asked afresh at every "Get paper" -----------------------------------
  int32_t PaperWidth() override {
    const auto words = AskOk(exchange_, "paper");
    paper_ = {};
    const int32_t width = Word(words, 0), height = Word(words, 1);
    if (width > 0 && height > 0) {
      paper_ = BytePlane(width, height);
      const std::vector<uint8_t> bytes = exchange_.Read("paper.raw", paper_.size());
      std::copy(bytes.begin(), bytes.end(), paper_.data());
    }
    return paper_.width();
  }
  int32_t PaperHeight() override { return paper_.height(); }
  BytePlane Paper() override { return std::exchange(paper_, {}); }

  // ---- the layer ------------------------------------------------------------------------------------
  // The layer's size as Krita has it now: 0 x 0 when it is gone, or Krita is.
  void AskSize() {
    try {
      const auto words = AskOk(exchange_, "size");
      width_ = Word(words, 0);
      height_ = Word(words, 1);
      depth_ = words.size() > 2 ? Word(words, 2) : header_.depth;
    } catch (const Error& e) {
      std::fprintf(stderr, "brisel: %s\n", e.text().c_str());
      width_ = height_ = 0;
    }
  }
  int32_t BufferWidth() override {
    AskSize();
    return width_;
  }
  int32_t BufferHeight() override { return height_; }

  std::string HostName() override { return "Krita"; }
  // The plug-in answers 0 x 0 for a layer deleted or a document closed (and the size asked fails when Krita
  // itself is gone).
  std::string PictureGone() override { return width_ == 0 ? std::string(kLayerGone) + "." : std::string(); }

  // The first reading is the one the plug-in made before starting Brisel; later ones ask it to read again.
  BytePlane Buffer(host::Channel channel) override {
    return planes_.Fetch(channel, [this] {
      if (!firstFetch_) AskOk(exchange_, "fetch");
      firstFetch_ = false;
      header_ = ReadHeader(exchange_.Path(""));
      const std::vector<uint8_t> pixels = exchange_.Read(
          "layer.raw", size_t(header_.width) * size_t(header_.height) * PixelBytes(header_.depth));
      auto planes = PlanesOf(pixels, header_.width, header_.height, header_.depth);
      width_ = header_.width;
      height_ = header_.height;
      return planes;
    });
  }

  // ---- the send -------------------------------------------------------------------------------------
  // Krita's undo step is made by the plug-in as it applies the send.
  void SaveUndo() override {}
  void ChangedBox(int32_t left, int32_t top, int32_t width, int32_t height) override {
    planes_.SetChangedBox({left, top, width, height});
  }
  void Stage(host::Channel channel, const BytePlane& plane) override { planes_.Stage(channel, plane); }

  void Refresh() override {
    AskSize();
    if (width_ == 0)
      Fail(std::string(kLayerGone) + "; nothing was sent");
    // Converted meanwhile to the other depth Brisel paints: the layer's pixels are read at it from here on.
    if (depth_ != header_.depth) {
      AskOk(exchange_, "fetch");
      header_ = ReadHeader(exchange_.Path(""));
    }
    const host::Send send = planes_.Take(width_, height_, "Krita's layer");
    const Box area = send.Area({0, 0, width_, height_});
    if (area.empty()) return planes_.Agreed(send);
    const size_t pixelBytes = PixelBytes(header_.depth);
    Merged merged;
    for (int attempt = 1;; ++attempt) {
      const auto words = AskOk(exchange_, "read " + BoxWords(area));
      const size_t count = size_t(area.width) * size_t(area.height);
      const std::vector<uint8_t> current = exchange_.Read("current.raw", count * pixelBytes);
      std::vector<uint8_t> selection;
      if (Word(words, 0) == 1) selection = exchange_.Read("selection.raw", count);
      merged = MergeSend(current, header_.depth, area, send.Staged(), selection);
      if (merged.changed.empty()) break;  // nothing to change: no undo step either
      const std::string why = platform::WriteFileAtomically(
          exchange_.Path("result.raw"), reinterpret_cast<const char*>(merged.pixels.data()), merged.pixels.size());
      if (!why.empty()) Fail("Brisel could not write the painting for Krita: " + why + "; nothing was sent");
      const std::string answer = exchange_.Ask("apply " + BoxWords(merged.changed));
      if (OkWords(answer)) break;
      if (answer != "changed" || attempt == kSendAttempts)
        Fail(answer == "changed" ? "Krita kept painting on the layer while Brisel sent; send again"
                                 : "The Krita plug-in answered \"" + answer + "\" to the send");
    }
    // What the layer now holds over the part is what it and the program hold alike; where that differs from
    // what was sent (Krita's edits meanwhile, a feathered selection's blend) the canvas is to show it.
    if (area == send.part)
      planes_.AgreedWithLayer(send, PlanesOf(merged.area, area.width, area.height, header_.depth));
    else
      planes_.Agreed(send);
  }

  bool HeldAfterSend(BytePlane& red, BytePlane& green, BytePlane& blue, BytePlane& mask) override {
    return planes_.TakeHeld(red, green, blue, mask);
  }

  // ---- the rest -------------------------------------------------------------------------------------
  std::string WallpaperFilename() override { return {}; }
  // The canvas stays above Krita's window where both are X11 windows (Krita 5 always is one).
  void TakeForm(platform::Form& form) override {
    if (header_.window != 0 && platform::CanOwnNativeWindows()) form.SetTransientForNative(uintptr_t(header_.window));
    form.Show();
  }

  Exchange exchange_;
  Header header_;
  bool firstFetch_ = true;
  int32_t width_ = 0, height_ = 0;  // as Krita last said
  int depth_ = 8;
  BytePlane paper_;
  host::SendPlanes planes_;
};

}  // namespace

Header ReadHeader(const std::string& folder) {
  const Exchange exchange(folder, -1, -1);
  const std::vector<uint8_t> bytes = exchange.Read("header.txt");
  std::string why;
  auto header = ParseHeader(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), why);
  if (!header) Fail("Brisel cannot paint on what Krita gave it: " + why);
  return *header;
}

void RegisterKritaHost(const std::string& folder, int requests, int answers) {
  // One host for the run: it holds the pipe's unread bytes and what the program and the layer agreed on.
  auto host = std::make_shared<KritaHost>(folder, requests, answers);
  platform::RegisterHost(platform::kHostProgId, [host] { return host; });
}

std::string PictureIdentity(const Header& header) {
  if (header.document.empty()) return {};
  return header.document + " (Krita layer \"" + header.layer + "\")";
}

}  // namespace brisel::kritahost
