// The file locations of the running copy: gathers the executable's path, whether its folder is
// writable for this user, and the user's XDG and documents folders, and decides.
#pragma once

#include <QString>

#include "core/settings/file_locations.h"

namespace orvio {

// `appDir` is the executable's folder (tests pass a scratch folder of their own).
FileLocations LocateFiles(const QString& appDir);

// Where a file dialog starts: `wanted` when it is a folder this user may write to, else the
// documents folder, the home folder or the temporary folder, the first that is.
QString UsableDialogFolder(const QString& wanted);

}  // namespace orvio
