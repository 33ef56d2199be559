// The forms' control lists. Forms are known by their client widget, whose destruction drops the list, so
// a new form made at a dead one's address never inherits its controls.

#include <QObject>

#include <algorithm>
#include <map>
#include <vector>

#include "platform/qt/control_registry.h"
#include "platform/qt/form_impl.h"

namespace brisel::platform {
namespace {

std::map<const QObject*, std::vector<FormControl>>& Lists() {
  // Never freed: a client widget may be destroyed during the program's exit, after statics are gone.
  static auto* lists = new std::map<const QObject*, std::vector<FormControl>>;
  return *lists;
}

}  // namespace

void RegisterControl(Form& parent, ControlPointer control) {
  QObject* key = parent.impl().client;
  auto& lists = Lists();
  auto found = lists.find(key);
  if (found == lists.end()) {
    found = lists.emplace(key, std::vector<FormControl>{}).first;
    QObject::connect(key, &QObject::destroyed, [key] { Lists().erase(key); });
  }
  found->second.push_back(FormControl{control});
}

void UnregisterControl(ControlPointer control) {
  for (auto& [form, list] : Lists())
    std::erase_if(list, [&](const FormControl& c) { return c.control == control; });
}

std::vector<FormControl> FormControls(const Form& form) {
  // impl() is not const; the list is read only.
  const QObject* key = const_cast<Form&>(form).impl().client;
  const auto found = Lists().find(key);
  return found == Lists().end() ? std::vector<FormControl>{} : found->second;
}

}  // namespace brisel::platform
