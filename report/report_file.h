// The platform's file calls behind the report writer's whole-block append. Every call has the
// meaning of its POSIX namesake: on failure it returns -1 and leaves the reason in errno, so the
// append and its rollback are written once, above this seam. Paths are UTF-8.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrik::report_file {

// Opens `path` for appending, creating it (readable by all) when it is absent. `existed` tells
// whether the file was there before this call, `size` how long it was when opened.
int OpenForAppend(const std::string& path, bool* existed, std::int64_t* size);

ssize_t Write(int fd, const void* data, std::size_t size);

// Waits until the data is on the device. Fails with EINVAL for a file that cannot be synchronised
// at all (not a regular file): its data is written all the same.
int Sync(int fd);

int Close(int fd);

// Cuts an open file, or the file at `path`, back to `size` bytes.
int TruncateOpen(int fd, std::int64_t size);
int Truncate(const std::string& path, std::int64_t size);

int Remove(const std::string& path);

}  // namespace tavrik::report_file
