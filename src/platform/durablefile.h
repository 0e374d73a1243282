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

// The system calls a save makes, replaceable so that tests can make any one
// of them fail.
struct FileCalls {
    std::function<ssize_t(int fd, const char* data, std::size_t size)> write;
    std::function<int(int fd)> fsync;
    std::function<int(const char* from, const char* to)> rename;
    static FileCalls system();
};

// Writes a new file beside path with the bytes produce gives to its put
// (produce returns false when put failed), syncs it and its folder, and
// only then puts it in path's place; a path that is a symbolic link keeps
// the link and has its target replaced. On any failure the old file is
// left as it was, the new one removed, and the error's text given in error.
bool replaceFileDurably(const QString& path, const std::function<bool(const WriteBytes&)>& produce,
                        QString& error, const FileCalls& calls = FileCalls::system());

} // namespace orvane::platform
