#pragma once
// The host application's automation object: created from a ProgID, then called by name, late bound,
// with variant arguments and a variant result. An unknown name or a call that fails is an Error with a
// number and a text. Which hosts answer which ProgIDs is registered by the program's entry point.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/byte_plane.h"
#include "platform/error.h"

namespace brisel::platform {

class Form;

// The automation variant kinds the host exchange uses. The *Ref kinds are by-reference arguments:
// they refer to the caller's own variable, not to a copy.
using Variant = std::variant<std::monostate,  // Empty
                             int32_t,         // Long
                             int16_t,         // Integer
                             double,          // Double
                             std::string,     // String
                             BytePlane,       // byte array (a result, taken over as it is)
                             BytePlane*,      // byte array by reference (VT_BYREF | VT_ARRAY | VT_UI1)
                             int16_t*,        // Integer by reference (VT_BYREF | VT_I2)
                             Form*>;          // window object by reference (VT_BYREF | VT_DISPATCH)

class HostObject {
 public:
  virtual ~HostObject() = default;
  virtual Variant Invoke(std::string_view name, std::span<Variant> args) = 0;
};

using HostFactory = std::function<std::shared_ptr<HostObject>()>;

// The name the program asks its host by; every host registers under it.
inline constexpr const char* kHostProgId = "PT_Embers.Wickbox_Class";

// Makes progId answer by factory's objects (replacing an earlier registration).
void RegisterHost(std::string progId, HostFactory factory);
void UnregisterHost(const std::string& progId);
// Creates the object registered for progId; Error 429 when none is.
std::shared_ptr<HostObject> CreateObject(std::string_view progId);

// Result conversions, each an Error 13 ("Type mismatch") when the variant cannot be converted.
int32_t ToLong(const Variant& v);
std::string ToString(const Variant& v);
BytePlane ToByteArray(Variant&& v);

}  // namespace brisel::platform
