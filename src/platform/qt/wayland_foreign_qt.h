#pragma once
// Keeping a window above another program's Wayland window, named by the handle that program exported for
// it (the xdg-foreign protocol): the compositor then stacks and places it as that window's dialog, as a
// window manager does for WM_TRANSIENT_FOR on X11.

#include <memory>
#include <string>

class QWindow;

namespace brisel::platform {

// Whether this program runs on Wayland and the compositor imports other programs' windows.
bool CompositorImportsWindows();

// The tie between window and the exported window, alive as long as this is held: releasing it lets the
// window go. Null where the compositor cannot import, or window has no Wayland surface yet (not shown).
class ImportedParent;
struct ImportedParentDeleter {
  void operator()(ImportedParent* parent) const;
};
using ImportedParentHandle = std::unique_ptr<ImportedParent, ImportedParentDeleter>;
ImportedParentHandle ImportAsParent(QWindow& window, const std::string& handle);

}  // namespace brisel::platform
