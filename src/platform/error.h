#pragma once
// The program's error: a number and a text, as the platform reports them.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace brisel {

class Error : public std::runtime_error {
 public:
  Error(int32_t number, const std::string& text) : std::runtime_error(text), number_(number) {}
  int32_t number() const { return number_; }
  std::string text() const { return what(); }

 private:
  int32_t number_;
};

// Numbers the program itself raises or that the platform layer raises for it.
namespace errors {
inline constexpr int32_t kInvalidCall = 5;        // "Invalid procedure call or argument"
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kInternal = 51;          // a fault of the program's own
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectNotSet = 91;      // an object used before it was made
inline constexpr int32_t kCannotCreateObject = 429;
inline constexpr int32_t kNoSuchMethod = 438;
inline constexpr int32_t kWrongArgumentCount = 450;
inline constexpr int32_t kHostCallFailed = 440;  // the host's own failure ("Automation error")
inline constexpr int32_t kDisplayBitmap = 31001;
inline constexpr int32_t kBadPlane = 31002;      // a host plane smaller than the image it should hold
// The host's picture changed on disk since the program read or last wrote it, and the send was refused. The
// text says what changed; the same send made again at once (no Tarn_BufferWidth between) overwrites it.
inline constexpr int32_t kChangedOnDisk = 31003;
// The host would write the painting only with a loss the painter should agree to first (colour into a
// grey-only format): the text is the whole question; the same send made again at once writes it so.
inline constexpr int32_t kAskBeforeWriting = 31004;
}  // namespace errors

}  // namespace brisel
