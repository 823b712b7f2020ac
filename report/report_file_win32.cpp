// The report writer's file calls on Windows. Names are UTF-8 inside the program and go to the
// wide API, so that the Cyrillic folder and file names work whatever the system's code page.
// The descriptor is one of the C runtime's, wrapped around the file's handle: the seam keeps its
// POSIX shape, and a close of the descriptor closes the handle.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <string>

#include "report/report_file.h"

namespace tavrik::report_file {
namespace {

// errno for the last Windows error, for the cases a report file can meet.
int SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_WRITE_PROTECT:
      errno = EROFS;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_DIRECTORY:
      errno = ENOTDIR;
      break;
    case ERROR_INVALID_HANDLE:
      errno = EBADF;
      break;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION:
      errno = EINVAL;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      errno = ENOMEM;
      break;
    default:
      errno = EIO;
      break;
  }
  return -1;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                      wide.data(), n);
  return wide;
}

HANDLE HandleOf(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Others may read and write the file meanwhile, as on Linux; an examiner's editor holding it
// open for reading must not cost the subject a report.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int CutTo(HANDLE h, std::int64_t size) {
  LARGE_INTEGER at{};
  at.QuadPart = size;
  if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !SetEndOfFile(h)) {
    return SetErrnoFromLastError();
  }
  return 0;
}

}  // namespace

int OpenForAppend(const std::string& path, bool* existed, std::int64_t* size) {
  const std::wstring name = Wide(path);
  if (name.empty()) {
    errno = ENOENT;
    return -1;
  }
  // Plain write access, not FILE_APPEND_DATA alone: a failed append is cut back through the same
  // handle. Each write goes to the end all the same (Write below).
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SetErrnoFromLastError();
  *existed = GetLastError() == ERROR_ALREADY_EXISTS;
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(h, &length)) {
    SetErrnoFromLastError();
    CloseHandle(h);
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    errno = EMFILE;
    return -1;
  }
  *size = length.QuadPart;
  return fd;
}

ssize_t Write(int fd, const void* data, std::size_t size) {
  const HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  // The end of the file, as O_APPEND gives it on Linux.
  const LARGE_INTEGER zero{};
  if (!SetFilePointerEx(h, zero, nullptr, FILE_END)) return SetErrnoFromLastError();
  const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD written = 0;
  if (!WriteFile(h, data, chunk, &written, nullptr)) return SetErrnoFromLastError();
  return static_cast<ssize_t>(written);
}

int Sync(int fd) {
  const HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  if (FlushFileBuffers(h)) return 0;
  // A console or a pipe cannot be flushed to a device: its data is written all the same.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    errno = EINVAL;
    return -1;
  }
  return SetErrnoFromLastError();
}

int Close(int fd) {
  return _close(fd);
}

int TruncateOpen(int fd, std::int64_t size) {
  const HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  return CutTo(h, size);
}

int Truncate(const std::string& path, std::int64_t size) {
  const std::wstring name = Wide(path);
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SetErrnoFromLastError();
  const int result = CutTo(h, size);
  const int saved = errno;
  CloseHandle(h);
  errno = saved;
  return result;
}

int Remove(const std::string& path) {
  if (!DeleteFileW(Wide(path).c_str())) return SetErrnoFromLastError();
  return 0;
}

}  // namespace tavrik::report_file
