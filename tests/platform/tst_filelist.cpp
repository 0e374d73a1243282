#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "platform/commandline.h"
#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/masks.h"

using orvane::platform::DirListBox;
using orvane::platform::FileListBox;
using orvane::platform::FilePattern;

namespace {

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QStringList items(const FileListBox& list)
{
    QStringList out;
    for (int i = 0; i < list.listCount(); ++i) {
        out.append(list.item(i));
    }
    return out;
}

} // namespace

class TestFileList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void masksMatchLikeTheProgramsLists()
    {
        struct Row {
            const char* pattern;
            const char* name;
            bool match;
        };
        const Row rows[] = {
            {"*.txt", "a.txt", true},
            {"*.txt", "A.TXT", true},
            {"*.txt", "a.b.txt", true},
            {"*.txt", "a.txt.bak", false},
            {"*.", "notes", true},
            {"*.", "notes.txt", false},
            {"*.*", "notes", true},
            {"*.*", "a.b", true},
            {"*.tar.gz", "x.tar.gz", true},
            {"*.tar.gz", "x.gz", false},
            {"*.exe;*.com;*.bat", "RUN.BAT", true},
            {"*.exe;*.com;*.bat", "run.sh", false},
            {"?.c", "a.c", true},
            {"?.c", "ab.c", false},
            {"*.[a]", "x.[a]", true},
            {"*.[a]", "x.a", false},
            {"* b.txt", "a b.txt", true},
            {"* b.txt", "ab.txt", false},
            {"&.&", "&.&", false},
            {"&.&", "a.txt", false},
            {"*.äb", "x.ÄB", true},
        };
        for (const auto& row : rows) {
            QVERIFY2(FilePattern(QString::fromUtf8(row.pattern)).matches(QString::fromUtf8(row.name)) ==
                         row.match,
                     qPrintable(QStringLiteral("%1 ~ %2").arg(QString::fromUtf8(row.pattern),
                                                              QString::fromUtf8(row.name))));
        }
    }

    void commandLineQuotesOnlyAPathWithBlanks()
    {
        using orvane::platform::commandLine;
        const QString app = QStringLiteral("c:\\tools\\view.exe");
        QCOMPARE(commandLine(app, QStringLiteral("c:\\data\\report.txt")),
                 QStringLiteral("c:\\tools\\view.exe c:\\data\\report.txt"));
        QCOMPARE(commandLine(app, QStringLiteral("c:\\data\\old report.txt")),
                 QStringLiteral("c:\\tools\\view.exe \"c:\\data\\old report.txt\""));
        QCOMPARE(commandLine(app, QStringLiteral("c:\\my docs\\report.txt")),
                 QStringLiteral("c:\\tools\\view.exe \"c:\\my docs\\report.txt\""));
        QCOMPARE(commandLine(QStringLiteral("c:\\program files\\v.exe"), QStringLiteral("c:\\a.txt")),
                 QStringLiteral("c:\\program files\\v.exe c:\\a.txt"));
    }

    void listsPlainFilesSortedIgnoringCase()
    {
        QTemporaryDir dir;
        const QString d = dir.path() + u'/';
        for (const char* name : {"b.txt", "A.TXT", "c.Txt", "notes", ".hidden.txt", "x.doc", "x.tar.gz"}) {
            touch(d + QString::fromUtf8(name));
        }
        QDir().mkpath(d + QStringLiteral("folder.txt"));
        touch(d + QStringLiteral("readonly.txt"));
        QFile::setPermissions(d + QStringLiteral("readonly.txt"), QFile::ReadOwner);

        FileListBox list;
        QCOMPARE(list.listCount(), 0); // "&.&" until a type is shown
        list.setFolder(d);
        QCOMPARE(list.listCount(), 0);
        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(items(list), QStringList({QStringLiteral("A.TXT"), QStringLiteral("b.txt"),
                                           QStringLiteral("c.Txt"), QStringLiteral("readonly.txt")}));
        list.setPattern(QStringLiteral("*."));
        QCOMPARE(items(list), QStringList({QStringLiteral("notes")}));
        list.setPattern(QStringLiteral("*.tar.gz"));
        QCOMPARE(items(list), QStringList({QStringLiteral("x.tar.gz")}));
        list.setPattern(QStringLiteral("&.&"));
        QCOMPARE(list.listCount(), 0);

        // Selection and the name at an index.
        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(list.listIndex(), -1);
        list.setListIndex(1);
        QCOMPARE(list.listIndex(), 1);
        QCOMPARE(list.item(1), QStringLiteral("b.txt"));
        QVERIFY_THROWS_EXCEPTION(orvane::platform::Failure, list.item(4));
    }

    void aFolderThatCannotBeUsedKeepsTheOldList()
    {
        QTemporaryDir dir;
        const QString d = dir.path() + u'/';
        touch(d + QStringLiteral("a.txt"));
        FileListBox list;
        list.setPattern(QStringLiteral("*.txt"));
        list.setFolder(d);
        QCOMPARE(list.listCount(), 1);
        try {
            list.setFolder(d + QStringLiteral("gone/"));
            QFAIL("a missing folder must fail");
        } catch (const orvane::platform::Failure& failure) {
            QCOMPARE(failure.number(), 76);
            QCOMPARE(failure.description(), QStringLiteral("Path not found"));
        }
        QVERIFY_THROWS_EXCEPTION(orvane::platform::Failure, list.setFolder(d + QStringLiteral("a.txt")));
        QVERIFY_THROWS_EXCEPTION(orvane::platform::Failure, list.setFolder(QString()));
        QCOMPARE(list.folder(), d);
        QCOMPARE(items(list), QStringList({QStringLiteral("a.txt")}));
        // A new pattern on the old folder still lists.
        touch(d + QStringLiteral("b.doc"));
        list.setPattern(QStringLiteral("*.doc"));
        QCOMPARE(items(list), QStringList({QStringLiteral("b.doc")}));
    }

    void aLargeFolderListsQuickly()
    {
        QTemporaryDir dir;
        const QString d = dir.path() + u'/';
        for (int i = 0; i < 20000; ++i) {
            touch(d +
                  QStringLiteral("f%1.%2").arg(i).arg(i % 2 ? QStringLiteral("txt") : QStringLiteral("dat")));
        }
        FileListBox list;
        list.setPattern(QStringLiteral("*.txt"));
        QElapsedTimer timer;
        timer.start();
        list.setFolder(d);
        QCOMPARE(list.listCount(), 10000);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    void folderListShowsAncestorsAndSubfoldersAndRaisesChange()
    {
        QTemporaryDir dir;
        QDir().mkpath(dir.path() + QStringLiteral("/top/Beta"));
        QDir().mkpath(dir.path() + QStringLiteral("/top/alpha"));
        QDir().mkpath(dir.path() + QStringLiteral("/top/.hidden"));
        DirListBox folders;
        int changes = 0;
        folders.setChangeHandler([&] { ++changes; });
        const QString top = dir.path() + QStringLiteral("/top");
        folders.setFolder(top + u'/');
        QCOMPARE(changes, 1);
        QCOMPARE(folders.folder(), QDir::cleanPath(top));
        folders.setFolder(top); // the same folder: no change
        QCOMPARE(changes, 1);
        QVERIFY_THROWS_EXCEPTION(orvane::platform::Failure, folders.setFolder(top + QStringLiteral("/none")));
        QCOMPARE(folders.folder(), QDir::cleanPath(top));

        QStringList shown;
        for (int i = 0; i < folders.count(); ++i) {
            shown.append(folders.item(i)->text().trimmed());
        }
        QCOMPARE(shown.first(), QStringLiteral("/"));
        QCOMPARE(shown.mid(shown.size() - 3),
                 QStringList({QStringLiteral("top"), QStringLiteral("alpha"), QStringLiteral("Beta")}));
        // The user opening a subfolder changes the folder.
        Q_EMIT folders.itemActivated(folders.item(folders.count() - 2));
        QCOMPARE(changes, 2);
        QCOMPARE(folders.folder(), QDir::cleanPath(top + QStringLiteral("/alpha")));
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
