#include "core/settings/file_locations.h"

#include <algorithm>
#include <filesystem>

#include "core/settings/settings.h"

namespace orvio {
namespace {

constexpr char kManualName[] = "UsrMan.pdf";
constexpr char kInstalledDocFolder[] = "/usr/share/doc/orvio";

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// An XDG base folder: the variable when it holds an absolute path, else $HOME/<fallback>.
std::string XdgBase(const std::string& value, const std::string& home, const char* fallback) {
  if (!value.empty() && value.front() == '/') return value;
  return Join(home, fallback);
}

}  // namespace

FileLocations DecideFileLocations(const LocationInputs& in) {
  FileLocations out;
  const std::string folder = FolderOf(in.executablePath);
  const std::string besideManual = Join(folder, kManualName);
  out.portable = in.executableFolderWritable;
  if (out.portable) {
    out.settingsFile = SettingsPathFor(in.executablePath);
    out.logFolder = Join(folder, "files");
    out.dataDir = WithSeparator(folder);
    out.manualCandidates = {besideManual};
    return out;
  }
  out.settingsFile = Join(XdgBase(in.xdgConfigHome, in.home, ".config"), "orvio/orvio.ini");
  out.logFolder = Join(XdgBase(in.xdgDataHome, in.home, ".local/share"), "orvio/files");
  const bool documents = !in.documentsFolder.empty() && in.documentsFolderWritable;
  out.dataDir = WithSeparator(documents ? in.documentsFolder : in.home);
  const std::string relative =
      (std::filesystem::path(folder) / "../share/doc/orvio" / kManualName).lexically_normal();
  out.manualCandidates = {besideManual};
  for (const std::string& candidate : {relative, Join(kInstalledDocFolder, kManualName)})
    if (std::find(out.manualCandidates.begin(), out.manualCandidates.end(), candidate) ==
        out.manualCandidates.end())
      out.manualCandidates.push_back(candidate);
  return out;
}

std::string DialogFolder(const std::string& wanted, const std::vector<std::string>& fallbacks,
                         const std::function<bool(const std::string&)>& writable) {
  if (!wanted.empty() && writable(wanted)) return wanted;
  for (const std::string& folder : fallbacks)
    if (!folder.empty() && writable(folder)) return WithSeparator(folder);
  return fallbacks.empty() ? wanted : WithSeparator(fallbacks.back());
}

}  // namespace orvio
