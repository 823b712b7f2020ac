// The platform's file calls behind the report writer: appends under a lock that one writer at a
// time holds, new files that must not exist yet, and the renames that put a whole file in place.
// Every call has the meaning of its POSIX namesake: on failure it returns -1 and leaves the
// reason in errno, so the append, its rollback and the retries are written once, above this
// seam. Paths are UTF-8.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrik::report_file {

// Opens `path` for appending, creating it (readable by all) when it is absent. `existed` tells
// whether the file was there before this call, `size` how long it was when opened (other writers
// may append before the lock is taken: the size that counts is Lock's).
int OpenForAppend(const std::string& path, bool* existed, std::int64_t* size);

// Takes the writers' lock of an open file, waiting at most `timeout_ms` for another writer
// (another station on a shared folder) to let go of it, and puts the file's position at its end,
// which `end` gets. The lock stands on a byte far past any report's end, so readers of the file
// are never held up. Fails with ETIMEDOUT when the wait runs out, and with ENOENT when the file
// was removed while the call waited for it (open it again).
int Lock(int fd, int timeout_ms, std::int64_t* end);
int Unlock(int fd);

// Writes at the file's position and moves it on.
ssize_t Write(int fd, const void* data, std::size_t size);

// Waits until the data is on the device. Fails with EINVAL for a file that cannot be synchronised
// at all (not a regular file): its data is written all the same.
int Sync(int fd);

int Close(int fd);

// Cuts an open file back to `size` bytes.
int TruncateOpen(int fd, std::int64_t size);

int Remove(const std::string& path);

// Creates `path` for writing; fails with EEXIST when something of that name is there already.
int CreateNew(const std::string& path);

// Puts `from` in the place of `to`, replacing a file that is there, in one step: a reader sees
// the old file or the new one, never part of either.
int Rename(const std::string& from, const std::string& to);

// The folder where files go when the report folder cannot be written at all: the user's
// documents folder on Windows, the home folder elsewhere (UTF-8, ending in '/'); empty when there
// is none.
std::string FallbackFolder();

// Whether text written to standard error goes anywhere: a windowed Windows program without a
// redirection, or a standard error sent to the null device, has nobody to read it.
bool ErrorStreamReaches();

}  // namespace tavrik::report_file
