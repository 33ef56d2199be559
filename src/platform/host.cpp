#include "platform/host.h"

#include <cmath>
#include <limits>
#include <map>

namespace brisel::platform {
namespace {

std::map<std::string, HostFactory, std::less<>>& registry() {
  static std::map<std::string, HostFactory, std::less<>> factories;
  return factories;
}

[[noreturn]] void typeMismatch() { throw Error(errors::kTypeMismatch, "Type mismatch"); }

}  // namespace

void RegisterHost(std::string progId, HostFactory factory) { registry()[std::move(progId)] = std::move(factory); }

void UnregisterHost(const std::string& progId) { registry().erase(progId); }

std::shared_ptr<HostObject> CreateObject(std::string_view progId) {
  auto it = registry().find(progId);
  std::shared_ptr<HostObject> object = it == registry().end() ? nullptr : it->second();
  if (!object) throw Error(errors::kCannotCreateObject, "ActiveX component can't create object");
  return object;
}

int32_t ToLong(const Variant& v) {
  if (auto* l = std::get_if<int32_t>(&v)) return *l;
  if (auto* i = std::get_if<int16_t>(&v)) return *i;
  if (auto* d = std::get_if<double>(&v)) {
    // Numeric variants convert with halves to even, and overflow is an error, not a wrap.
    double r = std::nearbyint(*d);
    if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
      throw Error(errors::kOverflow, "Overflow");
    return static_cast<int32_t>(r);
  }
  typeMismatch();
}

std::string ToString(const Variant& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (std::holds_alternative<std::monostate>(v)) return {};
  typeMismatch();
}

BytePlane ToByteArray(Variant&& v) {
  if (auto* p = std::get_if<BytePlane>(&v)) return std::move(*p);
  typeMismatch();
}

}  // namespace brisel::platform
