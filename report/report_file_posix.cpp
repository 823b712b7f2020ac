// The report writer's file calls on Linux.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "report/report_file.h"

namespace tavrik::report_file {

int OpenForAppend(const std::string& path, bool* existed, std::int64_t* size) {
  struct stat st {};
  *existed = ::stat(path.c_str(), &st) == 0;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return -1;
  }
  *size = st.st_size;
  return fd;
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

int Truncate(const std::string& path, std::int64_t size) {
  return ::truncate(path.c_str(), static_cast<off_t>(size));
}

int Remove(const std::string& path) {
  return ::unlink(path.c_str());
}

}  // namespace tavrik::report_file
