// A stand-in for Brisel's window in the Krita tests: started by the Krita plug-in as Brisel is
// (`brisel-krita-probe --krita-exchange FOLDER`), it calls the Krita host as the program does, without a window,
// so that what reaches Krita is known to the pixel.
//
// BRISEL_KRITA_PROBE holds its sends, separated by ";": each "x y w h r g b" paints that box in that colour on
// the planes read at the start and sends it with its box as the program would; boxes joined by "+" are painted
// and sent together, with the box that holds them all. "paper" asks for the paper and
// prints its size on the standard error ("paper W x H"). "wait" says "probe: waiting" there and waits until the
// file $BRISEL_KRITA_PROBE_GO exists, so that Krita can change the layer between the probe's read and its send.
// "crash" ends the probe by abort(), as a crash of Brisel would end it. "fetch X Y" reads the layer again, as the
// panel's get-image button does, and says "probe: pixel X Y R G B" of what it read there. After a send that left
// the layer holding other than was sent over its box, it says "probe: held N" of the pixels that differ.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "krita/krita_host.h"
#include "platform/host.h"

namespace {

using brisel::BytePlane;
using brisel::platform::Variant;

Variant Call(brisel::platform::HostObject& host, const char* name, std::initializer_list<Variant> args = {}) {
  std::vector<Variant> arguments(args);
  return host.Invoke(name, arguments);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3 || std::strcmp(argv[1], "--krita-exchange") != 0) {
    std::fprintf(stderr, "usage: brisel-krita-probe --krita-exchange FOLDER\n");
    return 2;
  }
  const int requests = ::dup(STDOUT_FILENO);
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
  try {
    brisel::kritahost::RegisterKritaHost(argv[2], requests, STDIN_FILENO);
    auto host = brisel::platform::CreateObject(brisel::platform::kHostProgId);
    const int32_t width = brisel::platform::ToLong(Call(*host, "Tarn_BufferWidth"));
    const int32_t height = brisel::platform::ToLong(Call(*host, "Tarn_BufferHeight"));
    BytePlane planes[3] = {brisel::platform::ToByteArray(Call(*host, "Tarn_GetRBuffer")),
                           brisel::platform::ToByteArray(Call(*host, "Tarn_GetGBuffer")),
                           brisel::platform::ToByteArray(Call(*host, "Tarn_GetBBuffer"))};
    std::fprintf(stderr, "probe: layer %d x %d\n", width, height);
    const char* script = std::getenv("BRISEL_KRITA_PROBE");
    std::stringstream sends(script ? script : "");
    for (std::string send; std::getline(sends, send, ';');) {
      if (send == "wait") {
        std::fprintf(stderr, "probe: waiting\n");
        std::fflush(stderr);
        const char* go = std::getenv("BRISEL_KRITA_PROBE_GO");
        for (int i = 0; go && i < 1200 && ::access(go, F_OK) != 0; ++i) ::usleep(50000);
        continue;
      }
      if (send == "crash") std::abort();
      if (int32_t x, y; std::sscanf(send.c_str(), "fetch %d %d", &x, &y) == 2) {
        planes[0] = brisel::platform::ToByteArray(Call(*host, "Tarn_GetRBuffer"));
        planes[1] = brisel::platform::ToByteArray(Call(*host, "Tarn_GetGBuffer"));
        planes[2] = brisel::platform::ToByteArray(Call(*host, "Tarn_GetBBuffer"));
        std::fprintf(stderr, "probe: pixel %d %d %d %d %d\n", x, y, planes[0](x, y), planes[1](x, y), planes[2](x, y));
        continue;
      }
      if (send == "paper") {
        const int32_t w = brisel::platform::ToLong(Call(*host, "Tarn_GetPaperWidth"));
        const int32_t h = brisel::platform::ToLong(Call(*host, "tarn_GetPaperHeight"));
        const BytePlane paper = brisel::platform::ToByteArray(Call(*host, "Tarn_GetPaper"));
        std::fprintf(stderr, "paper %d x %d (%zu bytes)\n", w, h, paper.size());
        continue;
      }
      int32_t left = width, top = height, right = 0, bottom = 0;
      std::stringstream boxes(send);
      for (std::string box; std::getline(boxes, box, '+');) {
        int32_t x, y, w, h, colour[3];
        if (std::sscanf(box.c_str(), "%d %d %d %d %d %d %d", &x, &y, &w, &h, &colour[0], &colour[1], &colour[2]) != 7) {
          std::fprintf(stderr, "probe: cannot read the send \"%s\"\n", box.c_str());
          return 2;
        }
        for (int c = 0; c < 3; ++c)
          for (int32_t j = y; j < y + h; ++j)
            for (int32_t i = x; i < x + w; ++i) planes[c](i, j) = uint8_t(colour[c]);
        left = std::min(left, x), top = std::min(top, y), right = std::max(right, x + w), bottom = std::max(bottom, y + h);
      }
      Call(*host, "Brisel_ChangedBox", {left, top, right - left, bottom - top});
      Call(*host, "Tarn_SaveUndo");
      Call(*host, "Tarn_SetRbuffer", {&planes[0]});
      Call(*host, "Tarn_SetGbuffer", {&planes[1]});
      Call(*host, "Tarn_SetBbuffer", {&planes[2]});
      Call(*host, "tarn_Refresh");
      std::fprintf(stderr, "probe: sent %s\n", send.c_str());
      BytePlane held[3], mask;
      if (brisel::platform::ToLong(Call(*host, "Brisel_HeldAfterSend", {&held[0], &held[1], &held[2], &mask})) != 0)
        std::fprintf(stderr, "probe: held %ld\n", long(std::count_if(mask.data(), mask.data() + mask.size(),
                                                                       [](uint8_t m) { return m != 0; })));
    }
  } catch (const brisel::Error& e) {
    std::fprintf(stderr, "probe: error %d: %s\n", e.number(), e.text().c_str());
    return 1;
  }
  return 0;
}
