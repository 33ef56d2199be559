// How a setting's text reads as a number; the store itself is platform/qt/'s.

#include "platform/settings.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace brisel::platform {

std::optional<int32_t> SettingNumber(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  const std::string s = text.substr(begin, end - begin);
  if (s.empty()) return std::nullopt;

  // &Hxx: up to eight hex digits, the bit pattern of a Long (so &HFFFFFFFF is -1).
  if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
    if (s.size() > 10) return std::nullopt;
    uint32_t bits = 0;
    for (size_t i = 2; i < s.size(); ++i) {
      if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return std::nullopt;
      const int c = std::tolower(static_cast<unsigned char>(s[i]));
      bits = bits << 4 | uint32_t(c <= '9' ? c - '0' : c - 'a' + 10);
    }
    return int32_t(bits);
  }

  // [sign] digits [. digits]: whole digits or fraction digits, at least one of them.
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  size_t digits = 0;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
  }
  if (i != s.size() || digits == 0) return std::nullopt;
  const double value = std::nearbyint(std::strtod(s.c_str(), nullptr));
  if (value < double(std::numeric_limits<int32_t>::min()) || value > double(std::numeric_limits<int32_t>::max()))
    return std::nullopt;
  return int32_t(value);
}

}  // namespace brisel::platform
