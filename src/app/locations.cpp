#include "app/locations.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace orvio {

FileLocations LocateFiles(const QString& appDir) {
  LocationInputs in;
  const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  in.executablePath = QDir(appDir).filePath(exeName).toStdString();
  // Writable for the running user, as the kernel sees it (root may write a 0555 folder).
  in.executableFolderWritable = ::access(QFile::encodeName(appDir).constData(), W_OK) == 0;
  in.home = QDir::homePath().toStdString();
  in.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME").toStdString();
  in.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME").toStdString();
  in.documentsFolder =
      QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
  return DecideFileLocations(in);
}

}  // namespace orvio
