// Temporary files that a killed save left beside a settings file, table file or log.
#include "core/settings/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/settings/settings.h"
#include "core/tables/table_file.h"
#include "settings_test_support.h"

namespace orvio {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;

void Touch(const fs::path& path) { std::ofstream(path) << "partial"; }

struct WriterRow {
  const char* name;
  const char* target;
  bool (*write)(const std::string&, std::string_view);
};

const WriterRow kWriters[] = {
    {"settings", "orvio.ini", WriteSettingsFile},
    {"table_file", "mbus_data_1-2-2026.csv", WriteTableFile},
    {"log", "log.txt", WriteFileAtomically},
};

class LeftoverTemps : public ::testing::TestWithParam<WriterRow> {
 protected:
  TempFolder folder;
  fs::path Beside(const std::string& name) const { return folder.path() / name; }
  std::string Temp(const std::string& random) const {
    return "." + std::string(GetParam().target) + ".tmp" + random;
  }
  bool Write() const { return GetParam().write(Beside(GetParam().target).string(), "new\n"); }
};

TEST_P(LeftoverTemps, OnlyTheTargetsOwnAreRemovedByTheNextSave) {
  const std::string target = GetParam().target;
  Touch(Beside(target));
  for (const char* random : {"AbC123", "000000", "zzzzzz"}) Touch(Beside(Temp(random)));
  // Not of this writer's naming for this target: they stay.
  const std::string kept[] = {
      Temp("AbC12"),
      Temp("AbC1234"),
      Temp("Ab-123"),
      Temp("Ab.123"),
      target + ".tmpAbC123",
      ".other.ini.tmpAbC123",
      "." + target + "tmpAbC123",
      "x." + target + ".tmpAbC123",
  };
  for (const std::string& name : kept) Touch(Beside(name));
  fs::create_directory(Beside("sub"));
  Touch(Beside("sub") / Temp("AbC123"));
  fs::create_directory(Beside(Temp("Dir123")));
  std::ofstream(Beside("elsewhere")) << "linked";
  fs::create_symlink(Beside("elsewhere"), Beside(Temp("Lnk123")));

  ASSERT_TRUE(Write());
  EXPECT_EQ(ReadFile(Beside(target)), "new\n");
  for (const char* random : {"AbC123", "000000", "zzzzzz"})
    EXPECT_FALSE(fs::exists(Beside(Temp(random)))) << random;
  for (const std::string& name : kept) EXPECT_EQ(ReadFile(Beside(name)), "partial") << name;
  EXPECT_TRUE(fs::exists(Beside("sub") / Temp("AbC123")));
  EXPECT_TRUE(fs::is_directory(Beside(Temp("Dir123"))));
  EXPECT_TRUE(fs::is_symlink(Beside(Temp("Lnk123"))));
  EXPECT_EQ(ReadFile(Beside("elsewhere")), "linked");
}

TEST_P(LeftoverTemps, KilledWritersFileGoesAndARunningWritersFileStays) {
  // A writer killed with its temporary file open and locked, as in the middle of a save.
  const std::string killed = Beside(Temp("Kill09")).string();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(killed.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    flock(fd, LOCK_EX);
    kill(getpid(), SIGKILL);
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  ASSERT_TRUE(fs::exists(killed));

  // A save of another instance still under way holds its temporary file locked.
  const fs::path running = Beside(Temp("Run123"));
  Touch(running);
  const int fd = open(running.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);

  ASSERT_TRUE(Write());
  EXPECT_FALSE(fs::exists(killed));
  EXPECT_TRUE(fs::exists(running));
  close(fd);
  ASSERT_TRUE(Write());
  EXPECT_FALSE(fs::exists(running));
  EXPECT_EQ(testing_support::EntryCount(folder.path()), 1);
}

INSTANTIATE_TEST_SUITE_P(Writers, LeftoverTemps, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LeftoverTempsOfALink, AreRemovedBesideTheLinksTarget) {
  TempFolder folder;
  fs::create_directory(folder.path() / "real");
  Touch(folder.path() / "real" / "stored.ini");
  const fs::path link = folder.path() / "orvio.ini";
  fs::create_symlink(folder.path() / "real" / "stored.ini", link);
  Touch(folder.path() / "real" / ".stored.ini.tmpAbC123");
  Touch(folder.path() / ".orvio.ini.tmpAbC123");
  ASSERT_TRUE(WriteSettingsFile(link.string(), "x=1\n"));
  EXPECT_EQ(ReadFile(folder.path() / "real" / "stored.ini"), "x=1\n");
  EXPECT_FALSE(fs::exists(folder.path() / "real" / ".stored.ini.tmpAbC123"));
  EXPECT_TRUE(fs::exists(folder.path() / ".orvio.ini.tmpAbC123"));
}

}  // namespace
}  // namespace orvio
