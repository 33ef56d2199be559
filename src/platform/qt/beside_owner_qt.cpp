#include "platform/qt/beside_owner_qt.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QWindow>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace brisel::platform {

BesidePlace BesideOwner(const SwayRect& workspace, const SwayRect& owner, bool ownerFloats, const SwayRect& owned) {
  const int left = workspace.x, right = workspace.x + workspace.width;
  BesidePlace place;
  place.y = std::max(workspace.y, std::min(owner.y, workspace.y + workspace.height - owned.height));
  place.x = std::min(owner.x + owner.width, right) - owned.width;  // over owner's right edge: no room beside
  if (!ownerFloats) return place;
  if (owner.x + owner.width + owned.width <= right) {
    place.x = owner.x + owner.width;
  } else if (owner.x - owned.width >= left) {
    place.x = owner.x - owned.width;
  } else if (owner.width + owned.width <= workspace.width) {
    place.ownerX = left + (workspace.width - owner.width - owned.width) / 2;
    place.x = *place.ownerX + owner.width;
  }
  return place;
}

namespace {

// One message to sway's IPC socket and its reply, both framed as "i3-ipc", the payload's length and the
// message's type (native byte order), then the payload. Nullopt where sway does not answer within a second.
std::optional<QByteArray> AskSway(uint32_t type, const QByteArray& payload) {
  const QByteArray path = qgetenv("SWAYSOCK");
  sockaddr_un address{};
  if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path) return std::nullopt;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  const auto closing = qScopeGuard([fd] { close(fd); });
  const timeval second{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &second, sizeof second);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &second, sizeof second);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return std::nullopt;
  constexpr int kHeader = 14;
  QByteArray message("i3-ipc");
  const uint32_t header[2] = {uint32_t(payload.size()), type};
  message.append(reinterpret_cast<const char*>(header), sizeof header);
  message.append(payload);
  if (send(fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL) != message.size()) return std::nullopt;
  QByteArray reply;
  qsizetype wanted = kHeader;
  char buffer[4096];
  while (reply.size() < wanted) {
    const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return std::nullopt;
    reply.append(buffer, got);
    uint32_t length = 0;
    if (reply.size() >= kHeader) std::memcpy(&length, reply.constData() + 6, sizeof length);
    wanted = kHeader + qsizetype(length);
  }
  return reply.mid(kHeader, wanted - kHeader);
}

constexpr uint32_t kRunCommand = 0, kGetTree = 4;

// A container's rectangle with the title bar sway draws above it (its "rect" leaves that out, but a move
// places the whole).
SwayRect RectOf(const QJsonObject& node) {
  const QJsonObject r = node["rect"].toObject();
  const int title = node["deco_rect"].toObject()["height"].toInt();
  return {r["x"].toInt(), r["y"].toInt() - title, r["width"].toInt(), r["height"].toInt() + title};
}

// This process's window titled title in sway's tree: its container, and the workspace that holds it.
struct SwayWindow {
  qint64 id = -1;
  SwayRect rect, workspace;
  bool floats = false;
};
void FindWindow(const QJsonObject& node, SwayRect workspace, const QString& title, SwayWindow& found) {
  if (node["type"].toString() == "workspace") workspace = RectOf(node);
  if (node["pid"].toInteger() == getpid() && node["name"].toString() == title) {
    found = {node["id"].toInteger(), RectOf(node), workspace, node["type"].toString() == "floating_con"};
    return;
  }
  for (const char* children : {"nodes", "floating_nodes"})
    for (const QJsonValue child : node[children].toArray()) FindWindow(child.toObject(), workspace, title, found);
}

void MoveTo(qint64 id, int x, int y) {
  AskSway(kRunCommand, QStringLiteral("[con_id=%1] move absolute position %2 %3").arg(id).arg(x).arg(y).toUtf8());
}

// Both windows are mapped some frames after their show: sway's tree is asked again until it has them.
void PlaceWhenMapped(QPointer<QWindow> owner, QPointer<QWindow> owned, int triesLeft) {
  if (!owner || !owned || !owned->isVisible() || triesLeft == 0) return;
  const std::optional<QByteArray> tree = AskSway(kGetTree, {});
  if (!tree) return;  // not sway after all, or it does not answer
  const QJsonObject root = QJsonDocument::fromJson(*tree).object();
  SwayWindow ownerFound, ownedFound;
  FindWindow(root, {}, owner->title(), ownerFound);
  FindWindow(root, {}, owned->title(), ownedFound);
  if (ownerFound.id < 0 || ownedFound.id < 0 || ownedFound.rect.width <= 0 || !ownedFound.floats) {
    QTimer::singleShot(50, owned, [owner, owned, triesLeft] { PlaceWhenMapped(owner, owned, triesLeft - 1); });
    return;
  }
  const BesidePlace place = BesideOwner(ownerFound.workspace, ownerFound.rect, ownerFound.floats, ownedFound.rect);
  if (place.ownerX) MoveTo(ownerFound.id, *place.ownerX, ownerFound.rect.y);
  MoveTo(ownedFound.id, place.x, place.y);
}

}  // namespace

void PlaceBesideOwner(QWindow& owner, QWindow& owned) {
  // Under sway for Wayland windows and for X11 ones alike (Xwayland's), which sway places as it does its own.
  if (qEnvironmentVariableIsEmpty("SWAYSOCK")) return;
  PlaceWhenMapped(&owner, &owned, 60);
}

}  // namespace brisel::platform
