#include "platform/folder_contents.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPromise>
#include <QThreadPool>
#include <QWidget>

#include <algorithm>

#include <malloc.h>

#include <sys/stat.h>

#include "platform/filenames.h"

namespace orvane::platform {

// ------------------------------------------------------------- FolderWatch

FolderWatch::FolderWatch() = default;

FolderWatch::~FolderWatch() = default;

bool FolderWatch::watch(const QString& folder)
{
    struct stat status {};
    if (!statPath(folder, status) || !S_ISDIR(status.st_mode)) {
        stop();
        return false;
    }
    if (folder == folder_ && status.st_dev == device_ && status.st_ino == inode_) {
        return true;
    }
    stop();
    if (!watcher_) {
        watcher_ = std::make_unique<QFileSystemWatcher>();
        connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this, &FolderWatch::somethingChanged);
    }
    if (!watcher_->addPath(folder)) {
        return false;
    }
    folder_ = folder;
    device_ = status.st_dev;
    inode_ = status.st_ino;
    // Without the watch above, a rename of the folder goes unseen; its
    // contents are still followed.
    const QString above = QFileInfo(QDir::cleanPath(folder)).path();
    if (above != QDir::cleanPath(folder) && watcher_->addPath(above)) {
        above_ = above;
    }
    return true;
}

void FolderWatch::stop()
{
    if (watcher_ && !watcher_->directories().isEmpty()) {
        watcher_->removePaths(watcher_->directories());
    }
    folder_.clear();
    above_.clear();
    device_ = 0;
    inode_ = 0;
}

QStringList FolderWatch::watched() const
{
    return watcher_ ? watcher_->directories() : QStringList();
}

bool FolderWatch::stillThere() const
{
    struct stat status {};
    return statPath(folder_, status) && status.st_dev == device_ && status.st_ino == inode_;
}

void FolderWatch::somethingChanged(const QString& path)
{
    // Of the folder above, only the folder's own name counts.
    if (path == folder_ || (path == above_ && !stillThere())) {
        Q_EMIT changed();
    }
}

// ---------------------------------------------------------- FolderContents

FolderContents::FolderContents(QWidget* owner, std::function<Source()> source,
                               std::function<void(const QStringList&, bool)> show)
    : owner_(owner), source_(std::move(source)), show_(std::move(show)),
      watch_(std::make_unique<FolderWatch>())
{
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &FolderContents::startRead);
    connect(watch_.get(), &FolderWatch::changed, this, &FolderContents::folderChanged);
    connect(&read_, &QFutureWatcher<QStringList>::finished, this, &FolderContents::readDone);
    // The names read on the worker thread and the ones they replace were
    // allocated in different heaps of the C library, neither of which reuses
    // the other's free memory: without giving it back, the changes taken in
    // would keep two lists' worth (6 MiB of a 100,000-file folder). Trimming
    // holds the heaps' locks, so it waits until the folder has settled.
    settled_.setSingleShot(true);
    settled_.setInterval(kSettled);
    connect(&settled_, &QTimer::timeout, this,
            [] { QThreadPool::globalInstance()->start([] { ::malloc_trim(0); }); });
}

// A read still under way goes on without us; its result is dropped.
FolderContents::~FolderContents() = default;

void FolderContents::setWatch(std::unique_ptr<FolderWatch> watch)
{
    watch_ = std::move(watch);
    connect(watch_.get(), &FolderWatch::changed, this, &FolderContents::folderChanged);
}

void FolderContents::changed()
{
    ++generation_;
    watch_->stop();
    pending_ = false;
    quiet_.stop();
    stale_ = true;
    fresh_ = true;
    if (!owner_->isVisible() || queued_) {
        return;
    }
    queued_ = true;
    // Dropped with the owner's contents, which hold this object.
    QMetaObject::invokeMethod(
        this,
        [this] {
            queued_ = false;
            makeIfStale();
        },
        Qt::QueuedConnection);
}

void FolderContents::makeIfStale()
{
    if (!stale_) {
        return;
    }
    const bool fresh = fresh_;
    stale_ = false;
    fresh_ = false;
    pending_ = false;
    ++generation_; // what a worker is reading now is older than this
    const Source source = source_();
    follow(source.folder); // before the read: a change in between is not lost
    show_(source.read(), fresh);
}

void FolderContents::reread()
{
    if (!owner_->isVisible()) {
        stale_ = true; // read when needed, keeping what is chosen
        return;
    }
    pending_ = true;
    firstPending_.start();
    quiet_.stop();
    if (!reading_) {
        startRead();
    }
}

void FolderContents::follow(const QString& folder)
{
    if (folder.isEmpty()) {
        watch_->stop();
    } else {
        watch_->watch(folder); // a folder that cannot be followed lists all the same
    }
}

void FolderContents::folderChanged()
{
    if (!owner_->isVisible()) {
        stale_ = true; // read when needed, keeping what is chosen
        return;
    }
    if (!pending_) {
        pending_ = true;
        firstPending_.start();
    }
    if (!reading_) {
        waitForQuiet();
    }
}

void FolderContents::waitForQuiet()
{
    quiet_.start(static_cast<int>(
        std::clamp<qint64>(kLongestWait - firstPending_.elapsed(), 0, static_cast<qint64>(kQuiet))));
}

void FolderContents::startRead()
{
    pending_ = false;
    if (stale_ || !owner_->isVisible()) {
        stale_ = true; // read when needed
        return;
    }
    const Source source = source_();
    follow(source.folder);
    reading_ = true;
    readingFor_ = generation_;
    auto promise = std::make_shared<QPromise<QStringList>>();
    read_.setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, read = source.read] {
        promise->start();
        promise->addResult(read());
        promise->finish();
    });
}

void FolderContents::readDone()
{
    reading_ = false;
    const QFuture<QStringList> done = read_.future();
    if (readingFor_ == generation_ && done.resultCount() > 0) {
        show_(done.result(), false);
        settled_.start();
    }
    if (pending_) {
        waitForQuiet();
    }
}

} // namespace orvane::platform
