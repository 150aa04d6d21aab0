// Where settings, log, data folder and manual live for a portable and an installed copy.
#include "core/settings/file_locations.h"

#include <gtest/gtest.h>

#include <set>

namespace orvio {
namespace {

using Strings = std::vector<std::string>;

TEST(FileLocations, PortableCopyKeepsEverythingBesideTheExecutable) {
  LocationInputs in;
  in.executablePath = "/home/tech/orvio-1.0/orvio";
  in.executableFolderWritable = true;
  in.home = "/home/tech";
  in.xdgConfigHome = "/home/tech/cfg";  // ignored by a portable copy
  in.documentsFolder = "/home/tech/Documents";
  const FileLocations loc = DecideFileLocations(in);
  EXPECT_TRUE(loc.portable);
  EXPECT_EQ(loc.settingsFile, "/home/tech/orvio-1.0/orvio.ini");
  EXPECT_EQ(loc.logFolder, "/home/tech/orvio-1.0/files");
  EXPECT_EQ(loc.dataDir, "/home/tech/orvio-1.0/");
  EXPECT_EQ(loc.manualCandidates, Strings{"/home/tech/orvio-1.0/UsrMan.pdf"});
}

struct InstalledCase {
  const char* name;
  const char* xdgConfig;
  const char* xdgData;
  const char* documents;
  const char* settings;
  const char* log;
  const char* dataDir;
};

class InstalledCopy : public ::testing::TestWithParam<InstalledCase> {};

TEST_P(InstalledCopy, UsesTheXdgFolders) {
  const InstalledCase& c = GetParam();
  LocationInputs in;
  in.executablePath = "/usr/bin/orvio";
  in.executableFolderWritable = false;
  in.home = "/home/tech";
  in.xdgConfigHome = c.xdgConfig;
  in.xdgDataHome = c.xdgData;
  in.documentsFolder = c.documents;
  const FileLocations loc = DecideFileLocations(in);
  EXPECT_FALSE(loc.portable);
  EXPECT_EQ(loc.settingsFile, c.settings);
  EXPECT_EQ(loc.logFolder, c.log);
  EXPECT_EQ(loc.dataDir, c.dataDir);
  // /usr/bin/../share/doc/orvio is /usr/share/doc/orvio: listed once.
  EXPECT_EQ(loc.manualCandidates,
            (Strings{"/usr/bin/UsrMan.pdf", "/usr/share/doc/orvio/UsrMan.pdf"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstalledCopy,
    ::testing::Values(
        InstalledCase{"Defaults", "", "", "/home/tech/Documents",
                      "/home/tech/.config/orvio/orvio.ini", "/home/tech/.local/share/orvio/files",
                      "/home/tech/Documents/"},
        InstalledCase{"XdgSet", "/tmp/c/", "/tmp/d", "/home/tech/Dokumente/",
                      "/tmp/c/orvio/orvio.ini", "/tmp/d/orvio/files", "/home/tech/Dokumente/"},
        // Relative XDG values are invalid and ignored; no documents folder falls back to home.
        InstalledCase{"RelativeXdgIgnored", "cfg", "data", "", "/home/tech/.config/orvio/orvio.ini",
                      "/home/tech/.local/share/orvio/files", "/home/tech/"}),
    [](const auto& info) { return std::string(info.param.name); });

// A fresh account has no documents folder yet (the name is known, the folder missing): the data
// folder is the home folder, not a path the dialogs cannot open.
TEST(FileLocations, MissingOrReadOnlyDocumentsFolderFallsBackToHome) {
  LocationInputs in;
  in.executablePath = "/usr/bin/orvio";
  in.executableFolderWritable = false;
  in.home = "/home/new";
  in.documentsFolder = "/home/new/Documents";
  in.documentsFolderWritable = false;
  EXPECT_EQ(DecideFileLocations(in).dataDir, "/home/new/");
}

// A dialog starts in the wanted folder when it can be written, else in the first fallback that
// can, else in the last fallback; never in the executable's /usr/bin.
TEST(FileLocations, DialogFolderIsAlwaysOneTheUserMayWrite) {
  std::vector<std::string> asked;
  const std::set<std::string> writable = {"/home/tech/", "/home/tech", "/tmp"};
  const auto can = [&](const std::string& f) {
    asked.push_back(f);
    return writable.count(f) > 0;
  };
  const Strings fallbacks = {"/home/tech/Documents", "/home/tech", "/tmp"};
  EXPECT_EQ(DialogFolder("/home/tech/", fallbacks, can), "/home/tech/");
  EXPECT_EQ(DialogFolder("/usr/bin/", fallbacks, can), "/home/tech/");
  EXPECT_EQ(asked, (Strings{"/home/tech/", "/usr/bin/", "/home/tech/Documents", "/home/tech"}));
  EXPECT_EQ(DialogFolder("", {"", "/tmp"}, can), "/tmp/");
  EXPECT_EQ(DialogFolder("/gone/", {"/nothing"}, can), "/nothing/");
  EXPECT_EQ(DialogFolder("/gone/", {}, can), "/gone/");
}

TEST(FileLocations, UnpackedPackageFindsItsOwnManualBeforeTheSystemOne) {
  LocationInputs in;
  in.executablePath = "/tmp/root/usr/bin/orvio";
  in.executableFolderWritable = false;
  in.home = "/tmp/h";
  EXPECT_EQ(DecideFileLocations(in).manualCandidates,
            (Strings{"/tmp/root/usr/bin/UsrMan.pdf", "/tmp/root/usr/share/doc/orvio/UsrMan.pdf",
                     "/usr/share/doc/orvio/UsrMan.pdf"}));
}

}  // namespace
}  // namespace orvio
