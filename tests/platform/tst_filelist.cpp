#include <QDir>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/filenames.h"
#include "platform/qt_services.h"

using namespace orvane::platform;
using namespace Qt::StringLiterals;

namespace {

// The names listed, as the system's bytes, separated by " ".
QByteArray items(const FileListBox& list)
{
    QByteArrayList out;
    for (int i = 0; i < list.listCount(); ++i)
        out.append(toNativeName(list.item(i)));
    return out.join(' ');
}

// The text as shown, each "?" standing for U+FFFD and "~" for a byte order mark.
QString shownAs(const char* text)
{
    return QString::fromUtf8(text).replace(u'?', u'\uFFFD').replace(u'~', u'\uFEFF');
}

// A watch the system refuses, as when the user's inotify watches are all in use.
struct RefusedWatch : FolderWatch {
    bool watch(const QString&) override { return false; }
};

// A folder holding these, and a list showing its "*.txt" files on screen.
struct Shown {
    // names: separated by " ".
    explicit Shown(const QByteArray& names, bool refused = false)
    {
        if (refused)
            list.setFolderWatch(std::make_unique<RefusedWatch>());
        for (const QByteArray& name : names.split(' '))
            make(name);
        list.setFolder(folder);
        list.setPattern(u"*.txt"_s);
        list.show();
    }
    // Qt's own removal passes over names that are not text.
    ~Shown() { std::filesystem::remove_all(QFile::encodeName(dir.path()).constData()); }
    // Does what the name's bytes say: "name/" makes a folder, "name@target" a
    // link, "name-" removes it (a folder with all it holds), "name>other"
    // renames it; a plain name makes a file of three bytes.
    bool make(const QByteArray& name) const
    {
        const QByteArray base = QFile::encodeName(folder), path = base + name;
        if (const qsizetype at = name.indexOf('@'); at >= 0)
            return ::symlink(name.sliced(at + 1).constData(), (base + name.first(at)).constData()) == 0;
        if (const qsizetype at = name.indexOf('>'); at >= 0)
            return ::rename((base + name.first(at)).constData(), (base + name.sliced(at + 1)).constData()) ==
                   0;
        if (path.endsWith('-'))
            return std::filesystem::remove_all(path.chopped(1).constData()) > 0;
        if (path.endsWith('/'))
            return ::mkdir(path.constData(), 0700) == 0;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        return fd >= 0 && ::write(fd, "abc", 3) == 3 && ::close(fd) == 0;
    }
    [[nodiscard]] QStringList watched() const { return list.folderWatch().watched(); }
    QTemporaryDir dir;
    QString folder = dir.path() + u"/shown/"_s;
    bool made = QDir().mkpath(folder);
    FileListBox list;
};

} // namespace

class TestFileList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void masksMatchIgnoringCase_data()
    {
        // Each row's name: the pattern, a name it matches or, after "-", one it does not.
        QTest::addColumn<bool>("matches");
        for (const char* row : {"*.txt a.b.TXT", "*.txt - a.txt.bak", "*. notes", "*. - notes.txt",
                                "*.* notes", "*.tar.gz - x.gz", "*.exe;*.bat RUN.BAT", "?.c - ab.c",
                                "*.[a] - x.a", "&.& - &.&", "*.äb x.ÄB"})
            QTest::newRow(row) << !QByteArray(row).contains(" - ");
    }

    void masksMatchIgnoringCase()
    {
        QFETCH(bool, matches);
        const QStringList words = QString::fromUtf8(QTest::currentDataTag()).split(u' ');
        QCOMPARE(FilePattern(words.first()).matches(words.last()), matches);
    }

    void namesKeepTheirBytes_data()
    {
        // Each row's name: the bytes shown, "?" for U+FFFD and "~" for a byte order mark.
        QTest::addColumn<QByteArray>("bytes");
        // Overlong, an encoded surrogate, beyond U+10FFFF, cut short; U+10080, a surrogate pair
        // whose second half looks like a carried byte; byte order marks, after a stray byte too.
        for (const char* row :
             {"a\xc0\xaf a??", "\xed\xa0\x80 ???", "\xf4\x90\x80\x80 ????", "\xc3\xa9\xe2\x82 \xc3\xa9??",
              "\xf0\x90\x82\x80\xff \xf0\x90\x82\x80?", "\xef\xbb\xbfx ~x", "\xff\xef\xbb\xbf ?~"})
            QTest::newRow(QByteArray(row).split(' ')[1]) << QByteArray(row).split(' ')[0];
    }

    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(toNativeName(fromNativeName(bytes)), bytes);
        QCOMPARE(readableName(fromNativeName(bytes)), shownAs(QTest::currentDataTag()));
    }

    void listsPlainFilesInOrderWhateverBytesTheirNamesHold()
    {
        // Created neither in nor against the order wanted.
        Shown s("b.TXT C.txt B.txt notes .hidden.txt x.doc B.TXT d.txt/ caf\xe9.txt \xff.txt "
                "link\xe9.txt@C.txt broken\xe9.txt@none sub\xe9.txt/ sub\xe9.txt/in\xfe.txt");
        FileListBox& list = s.list;
        QCOMPARE(items(list), QByteArray("B.TXT B.txt b.TXT C.txt caf\xe9.txt link\xe9.txt \xff.txt"));
        // Shown readably, also to a screen reader; found with the same bytes.
        QCOMPARE(list.model()->index(4, 0).data().toString(), shownAs("caf?.txt"));
        QCOMPARE(QtDesktop().fileLength(s.folder + list.item(6)), 3);
        QVERIFY_THROWS_EXCEPTION(Failure, QtDesktop().fileLength(s.folder + shownAs("caf?.txt")));

        list.setListIndex(1);
        list.setPattern(u"*."_s); // on screen at the next pass of the event loop
        QTRY_COMPARE(static_cast<QStringListModel*>(list.model())->stringList(), QStringList{u"notes"_s});
        QCOMPARE(list.listIndex(), -1);
        for (const QString& bad :
             {s.folder + u"gone/"_s, s.folder + u"notes"_s, QString(), s.folder + shownAs("sub?.txt/")}) {
            QVERIFY_THROWS_EXCEPTION(Failure, list.setFolder(bad));
            QCOMPARE(list.folder(), s.folder);
        }
        list.setPattern(u"*.doc"_s); // the old folder, the new pattern
        QCOMPARE(items(list), QByteArray("x.doc"));
        list.setFolder(s.dir.path()); // another folder, no longer the old one
        QVERIFY(!s.watched().contains(s.folder));
        QTRY_VERIFY(s.watched().contains(list.folder()));
        list.setPattern(kEmptyListPattern); // nothing shown, nothing followed
        QCOMPARE(s.watched(), QStringList());
        // A folder whose own name is not text can be the type's folder.
        list.setFolder(s.folder + fromNativeName("sub\xe9.txt/"));
        list.setPattern(u"*.txt"_s);
        QCOMPARE(items(list), QByteArray("in\xfe.txt"));
    }

    void followsItsFolderKeepingTheChosenFile_data()
    {
        // In a folder of a.txt and b.txt, b.txt chosen: the changes, as make() does
        // each, then "|" the names listed, then "|" the name chosen. With "F5",
        // the watch is refused and F5 reads the folder again.
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("created before the chosen") << QByteArray("0.txt|0.txt a.txt b.txt|b.txt");
        QTest::newRow("only matching, no hidden, no folders")
            << QByteArray("x.doc .h.txt d.txt/ c.txt|a.txt b.txt c.txt|b.txt");
        QTest::newRow("another removed") << QByteArray("a.txt-|b.txt|b.txt");
        QTest::newRow("the chosen removed") << QByteArray("b.txt-|a.txt|");
        QTest::newRow("the chosen renamed") << QByteArray("b.txt>c.txt|a.txt c.txt|");
        QTest::newRow("the folder removed") << QByteArray("-||");
        QTest::newRow("the folder renamed") << QByteArray(">../moved||");
        QTest::newRow("not followed, F5") << QByteArray("c.txt|a.txt b.txt c.txt|b.txt");
    }

    void followsItsFolderKeepingTheChosenFile()
    {
        QFETCH(QByteArray, script);
        const QByteArrayList part = script.split('|');
        const bool refused = QByteArray(QTest::currentDataTag()).contains("F5");
        Shown s("a.txt b.txt", refused);
        s.list.setListIndex(1);
        for (const QByteArray& change : part[0].split(' '))
            QVERIFY(s.make(change));
        if (refused)
            QTest::keyClick(&s.list, Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(items(s.list), part[1], 1000);
        QCOMPARE(s.list.listIndex() < 0 ? QByteArray() : toNativeName(s.list.item(s.list.listIndex())),
                 part[2]);
        // No box came up: the test would still be waiting for its answer.
        QCOMPARE(s.watched().isEmpty(), part[1].isEmpty() || refused);
    }

    void aBurstIsTakenInByFewRereadsWhileTheProgramAnswers()
    {
        Shown s(""); // an empty name makes nothing
        qint64 rereads = 0, longestPause = 0;
        connect(s.list.model(), &QAbstractItemModel::modelReset, this, [&] { ++rereads; });
        QElapsedTimer sinceTick, took;
        took.start();
        QTimer ticks;
        ticks.callOnTimeout([&] { longestPause = std::max(longestPause, sinceTick.restart()); });
        sinceTick.start();
        ticks.start(10);
        std::thread unpack([&s] {
            for (int i = 0; i < 3000; ++i)
                s.make(QByteArray::number(i) + ".txt");
        });
        QTRY_COMPARE(s.list.listCount(), 3000);
        unpack.join();
        // One read per interval, not one per change.
        QCOMPARE_LE(rereads, 2 + took.elapsed() / FolderContents::kLongestWait);
        QCOMPARE_LT(longestPause, 250);
    }

    void folderListFollowsAndOpensFoldersAndRaisesChange()
    {
        const Shown s("alpha/ alpha/beta/");
        const QString top = QDir::cleanPath(s.folder);
        DirListBox folders;
        int changes = 0;
        folders.setChangeHandler([&] { ++changes; });
        folders.setFolder(top + u'/');
        folders.setFolder(top); // the same folder: no change
        QVERIFY_THROWS_EXCEPTION(Failure, folders.setFolder(top + u"/none"_s));
        const auto last = [&folders] { return folders.item(folders.count() - 1)->text().trimmed(); };
        folders.show(); // filled as it is shown
        QCOMPARE(last(), u"alpha"_s);
        QVERIFY(QDir().mkdir(top + u"/gamma"_s));
        QTRY_COMPARE_WITH_TIMEOUT(last(), u"gamma"_s, 1000);
        QVERIFY(QDir().rmdir(top + u"/gamma"_s));
        QTRY_COMPARE_WITH_TIMEOUT(last(), u"alpha"_s, 1000);
        QCOMPARE(changes, 1);
        Q_EMIT folders.itemActivated(folders.item(folders.count() - 1)); // the user opens it
        QCOMPARE(changes, 2);
        QCOMPARE(folders.folder(), top + u"/alpha"_s);
        QTRY_COMPARE(last(), u"beta"_s); // on screen: at the next pass of the event loop
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
