#pragma once

// Replacing a file so that a crash or a failure at any point leaves either
// the old file or the whole new one, never a part of either.

#include <QString>

#include <cstddef>
#include <functional>

#include <sys/types.h>

namespace orvane::platform {

// Takes the next bytes of a file being written; false when they could not
// be written.
using WriteBytes = std::function<bool(const char* data, std::size_t size)>;

// The system calls a replacement makes, replaceable so that tests can make
// any one of them fail.
struct FileCalls {
    std::function<ssize_t(int fd, const char* data, std::size_t size)> write;
    std::function<int(int fd)> fsync;
    std::function<int(const char* from, const char* to)> rename;
    static FileCalls system();
};

enum class Replaced {
    No,        // the old file is as it was
    Durably,   // the new file is in place and on the disk
    NotSynced, // the new file is in place, but its folder could not be
               // synced: after a crash the old one may be back
};

// Writes a new file beside path with the bytes produce gives to its put
// (produce returns false when put failed), syncs it, puts it in path's
// place and syncs the folder. The new file takes the old one's mode, and
// its owner and group as far as this user may give them; a path that is a
// symbolic link keeps the link and has its target replaced. On a failure
// before the new file is in place the old one is left as it was and the
// new one removed. error says what failed.
Replaced replaceFileDurably(const QString& path, const std::function<bool(const WriteBytes&)>& produce,
                            QString& error, const FileCalls& calls = FileCalls::system());

} // namespace orvane::platform
