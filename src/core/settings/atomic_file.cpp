#include "core/settings/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace orvio {

namespace {

// The file a rename must replace: the target when `path` is a symbolic link.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

mode_t NewFileMode(const std::string& target) {
  struct stat st {};
  if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

constexpr char kTempTail[] = ".tmpXXXXXX";
constexpr size_t kTempRandomChars = 6;

bool IsTempNameChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Removes the temporary files a writer of `name` left in `folder` when it was killed between
// creating and renaming one. A writer holds a lock on its temporary file until the rename, so a
// file that is locked belongs to a save still under way (another instance) and stays.
void RemoveLeftoverTemps(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = "." + name + ".tmp";
  while (const dirent* entry = readdir(dir)) {
    const std::string_view entryName(entry->d_name);
    if (entryName.size() != prefix.size() + kTempRandomChars ||
        entryName.substr(0, prefix.size()) != prefix)
      continue;
    bool ours = true;
    for (char c : entryName.substr(prefix.size())) ours = ours && IsTempNameChar(c);
    if (!ours) continue;
    const int fd =
        openat(dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
      unlinkat(dirfd(dir), entry->d_name, 0);
    close(fd);
  }
  closedir(dir);
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return false;
  const std::string target = ResolveTarget(path);
  const size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string name = target.substr(slash == std::string::npos ? 0 : slash + 1);
  std::vector<char> temp(folder.begin(), folder.end());
  const std::string tail = "/." + name + kTempTail;
  temp.insert(temp.end(), tail.begin(), tail.end());
  temp.push_back('\0');

  RemoveLeftoverTemps(folder, name);
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  // Held until the rename: marks the file as a save under way for RemoveLeftoverTemps.
  flock(fd, LOCK_EX | LOCK_NB);
  bool ok = WriteAll(fd, bytes) && fchmod(fd, NewFileMode(target)) == 0 && fsync(fd) == 0;
  if (ok) ok = rename(temp.data(), target.c_str()) == 0;
  if (!ok) {
    const int error = errno;
    unlink(temp.data());
    close(fd);
    errno = error;
    return false;
  }
  // The data reached the disk with fsync; a late close error does not undo the rename.
  close(fd);
  // Make the rename itself durable; the new file is in place whatever this gives.
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

}  // namespace orvio
