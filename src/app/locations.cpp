#include "app/locations.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/tform1.h"

namespace orvio {

namespace {
// An existing folder the running user may write to, as the kernel sees it.
bool WritableFolder(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).isDir() && ::access(path.c_str(), W_OK) == 0;
}

std::string DocumentsFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}
}  // namespace

FileLocations LocateFiles(const QString& appDir) {
  LocationInputs in;
  const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  in.executablePath = QDir(appDir).filePath(exeName).toStdString();
  // Writable for the running user, as the kernel sees it (root may write a 0555 folder).
  in.executableFolderWritable = ::access(QFile::encodeName(appDir).constData(), W_OK) == 0;
  in.home = QDir::homePath().toStdString();
  in.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME").toStdString();
  in.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME").toStdString();
  in.documentsFolder = DocumentsFolder();
  in.documentsFolderWritable = WritableFolder(in.documentsFolder);
  return DecideFileLocations(in);
}

QString UsableDialogFolder(const QString& wanted) {
  const std::vector<std::string> fallbacks = {DocumentsFolder(), QDir::homePath().toStdString(),
                                              QDir::tempPath().toStdString()};
  return QString::fromStdString(DialogFolder(wanted.toStdString(), fallbacks, WritableFolder));
}

QString TForm1::DialogDir() const { return UsableDialogFolder(settingsDirValue_); }

}  // namespace orvio
