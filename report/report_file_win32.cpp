// The report writer's file calls on Windows. Names are UTF-8 inside the program and go to the
// wide API, so that the Cyrillic folder and file names work whatever the system's code page.
// The descriptor is one of the C runtime's, wrapped around the file's handle: the seam keeps its
// POSIX shape, and a close of the descriptor closes the handle. The writers' lock is LockFileEx
// on the same far byte as on Linux.
#include <windows.h>
// After windows.h, which they build on.
#include <knownfolders.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

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
      errno = EACCES;
      break;
    // Another program holds the file open and lets nobody else write it, as a spreadsheet does
    // with the workbook it shows.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EBUSY;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      errno = EEXIST;
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

std::string Utf8(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), n, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(n - 1));
  return utf8;
}

HANDLE HandleOf(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// Others may read and write the file meanwhile, as on Linux; an examiner's editor holding it
// open for reading must not cost the subject a report.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The one byte every writer locks, as on Linux: far past the end of any report.
constexpr DWORD kLockOffsetHigh = 0x40000000u;  // 1 << 62

BOOL LockByte(HANDLE h, DWORD flags) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  return LockFileEx(h, flags, 0, 1, 0, &at);
}

BOOL UnlockByte(HANDLE h) {
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  return UnlockFileEx(h, 0, 1, 0, &at);
}

// A descriptor of the C runtime for a handle; the handle is closed when that fails.
int Wrap(HANDLE h) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    errno = EMFILE;
  }
  return fd;
}

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
  // handle. The writes go to the end as Lock finds it.
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
  const int fd = Wrap(h);
  if (fd >= 0) *size = length.QuadPart;
  return fd;
}

int Lock(int fd, int timeout_ms, std::int64_t* end) {
  const HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  // A wait of LockFileEx's own could not be given up on: a station that hangs must not hang
  // this one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!LockByte(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY)) {
    if (GetLastError() != ERROR_LOCK_VIOLATION && GetLastError() != ERROR_IO_PENDING) {
      return SetErrnoFromLastError();
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      errno = ETIMEDOUT;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // A writer that failed on a file it had made deletes it again; whoever waited on the same
  // file meanwhile would write into a file on its way out.
  FILE_STANDARD_INFO info{};
  if (GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info) && info.DeletePending) {
    UnlockByte(h);
    errno = ENOENT;
    return -1;
  }
  // Each write goes on from the end as it stands under the lock: no other station's block can
  // be written over.
  const LARGE_INTEGER zero{};
  LARGE_INTEGER at{};
  if (!SetFilePointerEx(h, zero, &at, FILE_END)) {
    SetErrnoFromLastError();
    const int saved = errno;
    UnlockByte(h);
    errno = saved;
    return -1;
  }
  *end = at.QuadPart;
  return 0;
}

int Unlock(int fd) {
  const HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  return UnlockByte(h) ? 0 : SetErrnoFromLastError();
}

ssize_t Write(int fd, const void* data, std::size_t size) {
  const HANDLE h = HandleOf(fd);
  if (h == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
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

int Remove(const std::string& path) {
  if (!DeleteFileW(Wide(path).c_str())) return SetErrnoFromLastError();
  return 0;
}

int CreateNew(const std::string& path) {
  const std::wstring name = Wide(path);
  if (name.empty()) {
    errno = ENOENT;
    return -1;
  }
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return SetErrnoFromLastError();
  return Wrap(h);
}

int Rename(const std::string& from, const std::string& to) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return SetErrnoFromLastError();
  }
  return 0;
}

std::string FallbackFolder() {
  PWSTR wide = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &wide))) {
    folder = Utf8(wide);
  }
  CoTaskMemFree(wide);
  // With forward slashes, like every other path in the program's messages.
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

bool ErrorStreamReaches() {
  // A windowed program started without a redirection has no standard error at all.
  const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  return GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace tavrik::report_file
