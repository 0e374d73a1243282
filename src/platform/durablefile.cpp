#include "platform/durablefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::platform {

FileCalls FileCalls::system()
{
    return {[](int fd, const char* data, std::size_t size) { return ::write(fd, data, size); },
            [](int fd) { return ::fsync(fd); },
            [](const char* from, const char* to) { return std::rename(from, to); }};
}

Replaced replaceFileDurably(const QString& path, const std::function<bool(const WriteBytes&)>& produce,
                            QString& error, const FileCalls& calls)
{
    const auto said = [&error](int code, Replaced outcome) {
        error = QString::fromLocal8Bit(std::strerror(code));
        return outcome;
    };
    // A link stays a link: its target is what is replaced.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink()) {
        target = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    }
    const QFileInfo targetInfo(target);
    const QByteArray folder = QFile::encodeName(targetInfo.absolutePath());
    const QByteArray finalName = QFile::encodeName(targetInfo.absoluteFilePath());
    QByteArray temporary = finalName + ".XXXXXX";

    // Not handed on to the programs that Orvane starts.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return said(errno, Replaced::No);
    }
    const auto abandon = [&](int code) {
        ::close(fd);
        ::unlink(temporary.constData());
        return said(code, Replaced::No);
    };
    // The new file is the old one's: the user's own store stays theirs when
    // root saves it (a user who started Orvane with sudo), and keeps its
    // group where this user belongs to it. A new file is the user's alone.
    struct stat old {};
    if (::stat(finalName.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Either may be refused; the file is then this user's.
        static_cast<void>(::fchown(fd, old.st_uid, old.st_gid) == 0 ||
                          ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0);
        ::fchmod(fd, old.st_mode & 07777);
    }
    int writeError = 0;
    const WriteBytes put = [&](const char* data, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = calls.write(fd, data + done, size - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                writeError = n == 0 ? EIO : errno;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    };
    if (!produce(put)) {
        return abandon(writeError != 0 ? writeError : EIO);
    }
    if (calls.fsync(fd) != 0) {
        return abandon(errno);
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return said(code, Replaced::No);
    }
    if (calls.rename(temporary.constData(), finalName.constData()) != 0) {
        const int code = errno;
        ::unlink(temporary.constData());
        return said(code, Replaced::No);
    }
    // The new file is in place from here on; the rename lasts through a
    // crash only once the folder is synced.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        return said(errno, Replaced::NotSynced);
    }
    const int synced = calls.fsync(dir);
    const int code = errno;
    ::close(dir);
    return synced == 0 ? Replaced::Durably : said(code, Replaced::NotSynced);
}

} // namespace orvane::platform
