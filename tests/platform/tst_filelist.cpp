#include <QDir>
#include <QFile>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/masks.h"
#include "support/scripted.h"

using namespace orvane::platform;
using orvane::test::strings;

namespace {

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
    void masksMatchIgnoringCase()
    {
        // pattern, name, whether it matches
        const QList<std::tuple<const char*, const char*, bool>> rows = {
            {"*.txt", "A.TXT", true},       {"*.txt", "a.b.txt", true},  {"*.txt", "a.txt.bak", false},
            {"*.", "notes", true},          {"*.", "notes.txt", false},  {"*.*", "notes", true},
            {"*.tar.gz", "x.tar.gz", true}, {"*.tar.gz", "x.gz", false}, {"*.exe;*.bat", "RUN.BAT", true},
            {"?.c", "ab.c", false},         {"*.[a]", "x.[a]", true},    {"*.[a]", "x.a", false},
            {"* b.txt", "ab.txt", false},   {"&.&", "&.&", false},       {"*.äb", "x.ÄB", true},
        };
        for (const auto& [pattern, name, match] : rows) {
            QVERIFY2(FilePattern(QString::fromUtf8(pattern)).matches(QString::fromUtf8(name)) == match, name);
        }
    }

    void listsPlainFilesAndKeepsTheListOnABadFolder()
    {
        QTemporaryDir dir;
        const QString d = dir.path() + u'/';
        for (const char* name : {"b.txt", "A.TXT", "c.Txt", "notes", ".hidden.txt", "x.doc", "ro.txt"}) {
            QFile(d + QString::fromUtf8(name)).open(QIODevice::WriteOnly);
        }
        QDir().mkpath(d + QStringLiteral("folder.txt"));
        QFile::setPermissions(d + QStringLiteral("ro.txt"), QFile::ReadOwner);
        FileListBox list;
        list.setFolder(d);
        QCOMPARE(list.listCount(), 0); // "&.&" until a type is shown
        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(items(list), strings({"A.TXT", "b.txt", "c.Txt", "ro.txt"}));
        list.setListIndex(1);
        QCOMPARE(list.listIndex(), 1);
        list.setPattern(QStringLiteral("*."));
        QCOMPARE(items(list), strings({"notes"}));
        QCOMPARE(list.listIndex(), -1);

        for (const QString& bad : {d + QStringLiteral("gone/"), d + QStringLiteral("notes"), QString()}) {
            QVERIFY_THROWS_EXCEPTION(Failure, list.setFolder(bad));
        }
        QCOMPARE(list.folder(), d);
        list.setPattern(QStringLiteral("*.doc")); // the old folder, the new pattern
        QCOMPARE(items(list), strings({"x.doc"}));

        // What is on screen: a hidden list shows the names when it is shown,
        // a shown one after the next pass of the event loop.
        FileListBox shown;
        const auto onScreen = [&shown] {
            return static_cast<QStringListModel*>(shown.model())->stringList();
        };
        shown.setFolder(d);
        shown.setPattern(QStringLiteral("*.doc"));
        shown.show();
        QCOMPARE(onScreen(), strings({"x.doc"}));
        for (const char* pattern : {"*.", "*.doc"}) { // and again after each change
            shown.setPattern(QString::fromUtf8(pattern));
            QTRY_COMPARE(onScreen(), strings({pattern[2] == 0 ? "notes" : "x.doc"}));
        }
    }

    void folderListOpensFoldersAndRaisesChange()
    {
        QTemporaryDir dir;
        const QString top = dir.path() + QStringLiteral("/top");
        QDir().mkpath(top + QStringLiteral("/alpha/beta"));
        DirListBox folders;
        int changes = 0;
        folders.setChangeHandler([&] { ++changes; });
        folders.setFolder(top + u'/');
        folders.setFolder(top); // the same folder: no change
        QVERIFY_THROWS_EXCEPTION(Failure, folders.setFolder(top + QStringLiteral("/none")));
        const auto last = [&folders] {
            return folders.count() > 0 ? folders.item(folders.count() - 1)->text().trimmed() : QString();
        };
        folders.show(); // filled as it is shown
        QCOMPARE(last(), QStringLiteral("alpha"));
        Q_EMIT folders.itemActivated(folders.item(folders.count() - 1)); // the user opens it
        QCOMPARE(changes, 2);
        QCOMPARE(folders.folder(), top + QStringLiteral("/alpha"));
        QTRY_COMPARE(last(), QStringLiteral("beta")); // on screen: at the next pass of the event loop
    }
};

QTEST_MAIN(TestFileList)
#include "tst_filelist.moc"
