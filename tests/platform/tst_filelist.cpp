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
    void masksMatchIgnoringCase_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");

        QTest::newRow("ending in other case") << "*.txt"
                                              << "A.TXT" << true;
        QTest::newRow("two dots") << "*.txt"
                                  << "a.b.txt" << true;
        QTest::newRow("ending not last") << "*.txt"
                                         << "a.txt.bak" << false;
        QTest::newRow("no ending wanted") << "*."
                                          << "notes" << true;
        QTest::newRow("no ending wanted, one given") << "*."
                                                     << "notes.txt" << false;
        QTest::newRow("any, no ending") << "*.*"
                                        << "notes" << true;
        QTest::newRow("double ending") << "*.tar.gz"
                                       << "x.tar.gz" << true;
        QTest::newRow("half a double ending") << "*.tar.gz"
                                              << "x.gz" << false;
        QTest::newRow("second of two patterns") << "*.exe;*.bat"
                                                << "RUN.BAT" << true;
        QTest::newRow("one character only") << "?.c"
                                            << "ab.c" << false;
        QTest::newRow("brackets as written") << "*.[a]"
                                             << "x.[a]" << true;
        QTest::newRow("brackets not a set") << "*.[a]"
                                            << "x.a" << false;
        QTest::newRow("blank is literal") << "* b.txt"
                                          << "ab.txt" << false;
        QTest::newRow("nothing pattern") << "&.&"
                                         << "&.&" << false;
        QTest::newRow("non-ASCII case") << "*.äb"
                                        << "x.ÄB" << true;
    }

    void masksMatchIgnoringCase()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(FilePattern(pattern).matches(name), matches);
    }

    void namesSortIgnoringCaseThenByCase()
    {
        // Created out of order, and neither in nor against the order wanted,
        // so that the order of the folder itself cannot pass for it.
        QTemporaryDir dir;
        const QString d = dir.path() + u'/';
        for (const char* name : {"b.TXT", "C.txt", "B.txt", "b.txt", "a.txt", "B.TXT", "bb.txt", "B.Txt"}) {
            QVERIFY(QFile(d + QString::fromUtf8(name)).open(QIODevice::WriteOnly));
        }
        FileListBox list;
        list.setFolder(d);
        list.setPattern(QStringLiteral("*.txt"));
        QCOMPARE(items(list),
                 strings({"a.txt", "B.TXT", "B.Txt", "B.txt", "b.TXT", "b.txt", "bb.txt", "C.txt"}));
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
        shown.setPattern(QStringLiteral("*.")); // and again after each change
        QTRY_COMPARE(onScreen(), strings({"notes"}));
        shown.setPattern(QStringLiteral("*.doc"));
        QTRY_COMPARE(onScreen(), strings({"x.doc"}));
    }

    void badFolderThrowsAndKeepsTheOld_data()
    {
        QTest::addColumn<QString>("bad"); // relative to a folder holding notes and x.doc

        QTest::newRow("missing") << "gone/";
        QTest::newRow("a file") << "notes";
        QTest::newRow("none") << "";
    }

    void badFolderThrowsAndKeepsTheOld()
    {
        QFETCH(QString, bad);
        QTemporaryDir dir;
        const QString d = dir.path() + u'/';
        for (const char* name : {"notes", "x.doc"}) {
            QVERIFY(QFile(d + QString::fromUtf8(name)).open(QIODevice::WriteOnly));
        }
        FileListBox list;
        list.setFolder(d);
        list.setPattern(QStringLiteral("*."));
        QVERIFY_THROWS_EXCEPTION(Failure, list.setFolder(bad.isEmpty() ? bad : d + bad));
        QCOMPARE(list.folder(), d);
        QCOMPARE(items(list), strings({"notes"}));
        list.setPattern(QStringLiteral("*.doc")); // the old folder, the new pattern
        QCOMPARE(items(list), strings({"x.doc"}));
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
