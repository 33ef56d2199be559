#include "platform/qt/wayland_foreign_qt.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef BRISEL_WAYLAND_FOREIGN
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>

#include <cstring>

#include <xdg-foreign-unstable-v2-client-protocol.h>  // made by wayland-scanner
#endif

namespace brisel::platform {

#ifdef BRISEL_WAYLAND_FOREIGN
namespace {

// The importer, looked up once on Qt's connection, on an event queue of its own so that Qt's dispatching
// never meets it. It lives as long as the program.
struct Importer {
  wl_display* display = nullptr;
  wl_event_queue* queue = nullptr;
  zxdg_importer_v2* importer = nullptr;
};

void Announced(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t /*version*/) {
  auto* found = static_cast<Importer*>(data);
  if (!found->importer && std::strcmp(interface, zxdg_importer_v2_interface.name) == 0)
    found->importer = static_cast<zxdg_importer_v2*>(wl_registry_bind(registry, name, &zxdg_importer_v2_interface, 1));
}
void Withdrawn(void*, wl_registry*, uint32_t) {}
const wl_registry_listener kRegistryListener = {Announced, Withdrawn};

Importer& TheImporter() {
  static Importer importer;
  static bool looked = false;
  if (looked) return importer;
  looked = true;
  if (!QGuiApplication::platformName().startsWith("wayland")) return importer;
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  importer.display = native ? static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display")) : nullptr;
  if (!importer.display) return importer;
  importer.queue = wl_display_create_queue(importer.display);
  auto* display = static_cast<wl_display*>(wl_proxy_create_wrapper(importer.display));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(display), importer.queue);
  wl_registry* registry = wl_display_get_registry(display);
  wl_proxy_wrapper_destroy(display);
  wl_registry_add_listener(registry, &kRegistryListener, &importer);
  wl_display_roundtrip_queue(importer.display, importer.queue);
  wl_registry_destroy(registry);
  return importer;
}

}  // namespace

class ImportedParent {
 public:
  explicit ImportedParent(zxdg_imported_v2* imported) : imported_(imported) {}
  ~ImportedParent() {
    zxdg_imported_v2_destroy(imported_);
    wl_display_flush(TheImporter().display);
  }

 private:
  zxdg_imported_v2* imported_;
};

bool CompositorImportsWindows() { return TheImporter().importer != nullptr; }

ImportedParentHandle ImportAsParent(QWindow& window, const std::string& handle) {
  Importer& importer = TheImporter();
  if (!importer.importer || handle.empty()) return nullptr;
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", &window));
  if (!surface) return nullptr;
  zxdg_imported_v2* imported = zxdg_importer_v2_import_toplevel(importer.importer, handle.c_str());
  zxdg_imported_v2_set_parent_of(imported, surface);
  wl_display_flush(importer.display);
  return ImportedParentHandle(new ImportedParent(imported));
}

void ImportedParentDeleter::operator()(ImportedParent* parent) const { delete parent; }

#else  // built without Wayland's client library: no compositor is asked

class ImportedParent {};
bool CompositorImportsWindows() { return false; }
ImportedParentHandle ImportAsParent(QWindow&, const std::string&) { return nullptr; }
void ImportedParentDeleter::operator()(ImportedParent* parent) const { delete parent; }

#endif

}  // namespace brisel::platform
