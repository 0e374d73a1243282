#pragma once

// What the file and folder lists show of their folder, kept up to date while
// the folder changes on disk.

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

#include <sys/types.h>

class QFileSystemWatcher;
class QWidget;

namespace orvane::platform {

// Tells when the entries of one folder change, or the folder itself goes or
// is replaced. Qt's QFileSystemWatcher (inotify) does the watching: it is
// part of the Qt the program is built on, reports through Qt's own event
// loop and needs nothing loaded at start. Its watch on a folder does not see
// the folder itself renamed, so the folder above is watched as well, for the
// folder's own name. A test may give a watch of its own.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    FolderWatch();
    ~FolderWatch() override;
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Watches the folder, and nothing else, from now on; a folder already
    // watched stays so. False, with nothing watched, when the folder is not
    // there or the system will not report its changes (the user's inotify
    // watches all in use, a name that is not UTF-8).
    virtual bool watch(const QString& folder);
    void stop();
    // The folders watched now: none, or the folder and the one above it.
    [[nodiscard]] QStringList watched() const;

Q_SIGNALS:
    void changed();

private:
    void somethingChanged(const QString& path);
    [[nodiscard]] bool stillThere() const;

    std::unique_ptr<QFileSystemWatcher> watcher_; // made when first needed: a start shows no folder
    QString folder_;
    QString above_;
    dev_t device_ = 0; // the folder watched, as it was when the watch began
    ino_t inode_ = 0;
};

// A list's contents, read from its folder:
//  - after a change of folder or pattern, when first needed: when asked
//    for, when the list is shown, or at the next pass of the event loop while
//    it is on screen. Choosing a type changes the folder and the pattern of
//    several lists, some in a hidden window; this way each reads its folder
//    once.
//  - again whenever the folder changes on disk, from the first read on until
//    the folder or pattern changes: once the folder has been quiet for
//    kQuiet, or kLongestWait after the first change not yet read, whichever
//    comes first, so that a burst of changes costs a read per interval and
//    not one per change. The read runs on a worker thread and is taken in on
//    this one; a list not on screen is only marked to be read when needed.
//  - and on reread() (F5), at once.
// Held by the list it serves.
class FolderContents : public QObject {
    Q_OBJECT
public:
    // A read of the folder as it is now, to be run on a worker thread: it
    // holds copies, never the list.
    using Read = std::function<QStringList()>;
    struct Source {
        QString folder; // the folder to follow; empty when nothing is shown
        Read read;
    };
    static constexpr int kQuiet = 30;        // ms
    static constexpr int kLongestWait = 500; // ms
    static constexpr int kSettled = 2000;    // ms without a read, before freed memory is given back

    // source: the folder and its read, as the list stands now; show: takes
    // the names in, `fresh` after a change of folder or pattern (nothing kept
    // from before) and not after a change on disk.
    FolderContents(QWidget* owner, std::function<Source()> source,
                   std::function<void(const QStringList& names, bool fresh)> show);
    ~FolderContents() override;
    FolderContents(const FolderContents&) = delete;
    FolderContents& operator=(const FolderContents&) = delete;

    // The folder or the pattern changed: the old folder is no longer
    // followed, and a read under way is not taken in.
    void changed();
    void makeIfStale();
    void reread();
    void setWatch(std::unique_ptr<FolderWatch> watch);
    [[nodiscard]] const FolderWatch& watch() const { return *watch_; }

private:
    void follow(const QString& folder);
    void folderChanged();
    void startRead();
    void readDone();
    void waitForQuiet();

    QWidget* owner_;
    std::function<Source()> source_;
    std::function<void(const QStringList&, bool)> show_;
    std::unique_ptr<FolderWatch> watch_;
    bool stale_ = true;
    bool fresh_ = true;
    bool queued_ = false;
    bool pending_ = false; // changes on disk not read yet
    QElapsedTimer firstPending_;
    QTimer quiet_;
    QTimer settled_;
    quint64 generation_ = 0; // one more at each change of folder or pattern
    quint64 readingFor_ = 0;
    bool reading_ = false;
    QFutureWatcher<QStringList> read_;
};

} // namespace orvane::platform
