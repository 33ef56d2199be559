// The settings store over QSettings' INI files. Each read opens the files afresh by their full names, so
// it sees $XDG_CONFIG_HOME as it is now (QSettings' own default paths are fixed at its first use).

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

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

}  // namespace

std::string GetSetting(const std::string& application, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
  const QString path = QString::fromStdString(section) + "/" + QString::fromStdString(key);
  for (const QString& file : SettingsFiles(QString::fromStdString(application))) {
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
