// The settings store over QSettings' INI files. Each read opens the files afresh by their full names, so
// it sees $XDG_CONFIG_HOME as it is now (QSettings' own default paths are fixed at its first use).

#include <sys/stat.h>

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>
#include <mutex>
#include <set>

#include "platform/settings.h"

namespace brisel::platform {
namespace {

// The user's file first, then the system's: where QSettings(application, application) would look.
QStringList SettingsFiles(const QString& application) {
  QStringList files;
  const QString name = "/" + application + "/" + application + ".conf";
  for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
    files << dir + name;
  return files;
}

// Whether file may be read: absent (nothing to read), or a regular file. Anything else (a FIFO would hang
// the start before any window, a device) is passed over, with one warning per file.
bool Readable(const QString& file) {
  struct stat st {};
  const QByteArray name = file.toLocal8Bit();
  if (::stat(name.constData(), &st) != 0) return false;
  if (S_ISREG(st.st_mode)) return true;
  static std::mutex lock;
  static std::set<QByteArray> warned;
  std::lock_guard<std::mutex> hold(lock);
  if (warned.insert(name).second)
    std::fprintf(stderr, "brisel: warning: the settings file %s is not a regular file: it is not read, and the "
                 "defaults are used\n", name.constData());
  return false;
}

}  // namespace

std::string GetSetting(const std::string& application, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
  const QString path = QString::fromStdString(section) + "/" + QString::fromStdString(key);
  for (const QString& file : SettingsFiles(QString::fromStdString(application))) {
    if (!Readable(file)) continue;
    QSettings store(file, QSettings::IniFormat);
    const QVariant value = store.value(path);
    if (!value.isValid()) continue;
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(", ").toStdString();
    return value.toString().toStdString();
  }
  return defaultValue;
}

void SetSetting(const std::string& application, const std::string& section, const std::string& key,
                const std::string& value) {
  const QStringList files = SettingsFiles(QString::fromStdString(application));
  if (files.isEmpty()) return;
  QSettings store(files.front(), QSettings::IniFormat);
  store.setValue(QString::fromStdString(section) + "/" + QString::fromStdString(key), QString::fromStdString(value));
  store.sync();
}

}  // namespace brisel::platform
