// Where Orvio keeps its settings, its log folder and the default data folder, and where it looks
// for the user manual. A copy in a folder the user may write to (a portable copy) keeps
// everything beside the executable; an installed copy (/usr/bin is not writable for a user)
// keeps them in the user's XDG folders instead.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orvio {

// What the decision depends on, gathered by the caller from the running process.
struct LocationInputs {
  std::string executablePath;            // absolute path of the running executable
  bool executableFolderWritable = true;  // access(folder, W_OK) for the running user
  std::string home;                      // $HOME
  std::string xdgConfigHome;             // $XDG_CONFIG_HOME, "" when unset
  std::string xdgDataHome;               // $XDG_DATA_HOME, "" when unset
  std::string documentsFolder;           // the user's documents folder, "" when unknown
  // The documents folder exists and the user may write to it (a fresh account has none).
  bool documentsFolderWritable = true;
};

struct FileLocations {
  bool portable = true;
  std::string settingsFile;  // the INI file
  std::string logFolder;     // the folder "files" that "Save log" writes log.txt into
  std::string dataDir;       // default of the "Dir" setting, with a trailing "/"
  // Where "UsrMan.pdf" is looked for, in order; the first one that exists is opened.
  std::vector<std::string> manualCandidates;
};

// Portable: settings "<folder>/<base name>.ini", log "<folder>/files", Dir "<folder>/", manual
// "<folder>/UsrMan.pdf". Installed: settings "$XDG_CONFIG_HOME/orvio/orvio.ini" (default
// "$HOME/.config"), log "$XDG_DATA_HOME/orvio/files" (default "$HOME/.local/share"), Dir the
// documents folder when it exists and is writable (else the home folder), manual beside the
// executable, then in
// "<folder>/../share/doc/orvio/" and "/usr/share/doc/orvio/". XDG variables holding a relative
// path are ignored, as the XDG base directory rules require.
FileLocations DecideFileLocations(const LocationInputs& in);

// The folder a file dialog starts in: `wanted` (the "Dir" setting) when `writable` says it is an
// existing folder the user may write to, else the first of `fallbacks` that is; the last
// fallback when none is. A dialog never starts where a save must fail (such as /usr/bin, the
// installed copy's working folder).
std::string DialogFolder(const std::string& wanted, const std::vector<std::string>& fallbacks,
                         const std::function<bool(const std::string&)>& writable);

}  // namespace orvio
