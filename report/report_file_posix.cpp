// The report writer's file calls on Linux. The writers' lock is an fcntl record lock, which
// reaches other machines through NFS and SMB mounts.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "report/report_file.h"

namespace tavrik::report_file {
namespace {

// The one byte every writer locks: far past the end of any report, so that no reader or writer
// of the data itself is held up by it, and the same on every platform, so that stations of both
// kinds on one shared folder keep out of each other's way.
constexpr off_t kLockOffset = off_t{1} << 62;

int SetLock(int fd, short type) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = kLockOffset;
  fl.l_len = 1;
  return ::fcntl(fd, F_SETLK, &fl);
}

}  // namespace

int OpenForAppend(const std::string& path, bool* existed, std::int64_t* size) {
  struct stat st {};
  *existed = ::stat(path.c_str(), &st) == 0;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return -1;
  }
  *size = st.st_size;
  return fd;
}

int Lock(int fd, int timeout_ms, std::int64_t* end) {
  // F_SETLKW would wait without a limit; a station that hangs must not hang this one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (SetLock(fd, F_WRLCK) != 0) {
    if (errno != EACCES && errno != EAGAIN && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      errno = ETIMEDOUT;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int saved = errno;
    SetLock(fd, F_UNLCK);
    errno = saved;
    return -1;
  }
  // A writer that failed on a file it had made takes the file away again; whoever waited on the
  // same file meanwhile would write into nothing.
  if (st.st_nlink == 0) {
    SetLock(fd, F_UNLCK);
    errno = ENOENT;
    return -1;
  }
  // O_APPEND puts every write at the end, which under the lock is here.
  *end = st.st_size;
  return 0;
}

int Unlock(int fd) {
  return SetLock(fd, F_UNLCK);
}

ssize_t Write(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}

int Sync(int fd) {
  return ::fsync(fd);
}

int Close(int fd) {
  return ::close(fd);
}

int TruncateOpen(int fd, std::int64_t size) {
  return ::ftruncate(fd, static_cast<off_t>(size));
}

int Remove(const std::string& path) {
  return ::unlink(path.c_str());
}

int CreateNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

int Rename(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str());
}

std::string FallbackFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env && *env) {
    home = env;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) {
    home = pw->pw_dir;
  }
  if (home.empty()) return home;
  if (home.back() != '/') home += '/';
  return home;
}

bool ErrorStreamReaches() {
  struct stat err {
  }, null{};
  if (::fstat(STDERR_FILENO, &err) != 0) return false;
  if (::stat("/dev/null", &null) == 0 && S_ISCHR(err.st_mode) && err.st_rdev == null.st_rdev) {
    return false;
  }
  return true;
}

}  // namespace tavrik::report_file
