#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/filenames.h"
#include "platform/masks.h"
#include "platform/qt_services.h"
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

// The text as shown, each "?" standing for U+FFFD.
QString shownAs(const char* text)
{
    return QString::fromUtf8(text).replace(u'?', QChar(QChar::ReplacementCharacter));
}

// Makes a file, a folder or a link whose name is exactly these bytes.
bool make(const QByteArray& path, char kind = 'f', const QByteArray& target = {})
{
    switch (kind) {
    case 'd':
        return ::mkdir(path.constData(), 0700) == 0;
    case 'l':
        return ::symlink(target.constData(), path.constData()) == 0;
    case 'p':
        return ::mkfifo(path.constData(), 0600) == 0;
    default: {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        return fd >= 0 && ::write(fd, "abc", 3) == 3 && ::close(fd) == 0;
    }
    }
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

        const auto row = [](const char* name, const char* pattern, const char* file, bool matches) {
            QTest::newRow(name) << QString::fromUtf8(pattern) << QString::fromUtf8(file) << matches;
        };
        row("ending in other case", "*.txt", "A.TXT", true);
        row("two dots", "*.txt", "a.b.txt", true);
        row("ending not last", "*.txt", "a.txt.bak", false);
        row("no ending wanted", "*.", "notes", true);
        row("no ending wanted, one given", "*.", "notes.txt", false);
        row("any, no ending", "*.*", "notes", true);
        row("double ending", "*.tar.gz", "x.tar.gz", true);
        row("half a double ending", "*.tar.gz", "x.gz", false);
        row("second of two patterns", "*.exe;*.bat", "RUN.BAT", true);
        row("one character only", "?.c", "ab.c", false);
        row("brackets as written", "*.[a]", "x.[a]", true);
        row("brackets not a set", "*.[a]", "x.a", false);
        row("blank is literal", "* b.txt", "ab.txt", false);
        row("nothing pattern", "&.&", "&.&", false);
        row("non-ASCII case", "*.äb", "x.ÄB", true);
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

    void namesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");

        QTest::newRow("Latin-1 e acute") << QByteArray("caf\xe9.txt") << shownAs("caf?.txt");
        QTest::newRow("byte ff alone") << QByteArray("\xff") << shownAs("?");
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf") << shownAs("a??");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << shownAs("???");
        QTest::newRow("cut short") << QByteArray("x\xe2\x82") << shownAs("x??");
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << shownAs("????");
        QTest::newRow("valid text") << QByteArray("\xe6\x97\xa5 \xc3\xa9.txt")
                                    << QString::fromUtf8("\u65e5 \u00e9.txt");
        // U+10080 is a surrogate pair whose second half looks like a carried byte.
        QTest::newRow("astral, then a stray byte")
            << QByteArray("\xf0\x90\x82\x80\xff") << QString::fromUtf8("\xf0\x90\x82\x80") + shownAs("?");
        QTest::newRow("byte order mark")
            << QByteArray("\xef\xbb\xbfx") << QChar(QChar::ByteOrderMark) + shownAs("x");
        QTest::newRow("a stray byte, then a mark")
            << QByteArray("\xff\xef\xbb\xbf") << shownAs("?") + QChar(QChar::ByteOrderMark);
    }

    void namesKeepTheirBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const QString name = fromNativeName(bytes);
        QCOMPARE(toNativeName(name), bytes);
        QCOMPARE(readableName(name), shown);
    }

    void namesThatAreNotTextAreListedAndFound()
    {
        QTemporaryDir dir;
        const QByteArray d = QFile::encodeName(dir.path()) + '/';
        // Qt's own removal passes over names that are not text.
        const auto removeAll = qScopeGuard([&] { std::filesystem::remove_all(d.constData()); });
        QVERIFY(make(d + "caf\xe9.txt"));
        QVERIFY(make(d + "\xff.txt"));
        QVERIFY(make(d + "plain.txt"));
        QVERIFY(make(d + "link\xe9.txt", 'l', d + "plain.txt"));
        QVERIFY(make(d + "broken\xe9.txt", 'l', d + "none"));
        QVERIFY(make(d + "pipe\xe9.txt", 'p'));
        QVERIFY(make(d + "sub\xe9.txt", 'd'));
        QVERIFY(make(d + "sub\xe9.txt/inner\xfe.txt"));

        FileListBox list;
        const QString folder = fromNativeName(d);
        list.setFolder(folder);
        list.setPattern(QStringLiteral("*.txt"));
        QByteArrayList listed;
        for (const QString& name : items(list)) {
            listed.append(toNativeName(name));
        }
        QCOMPARE(listed, QByteArrayList({"caf\xe9.txt", "link\xe9.txt", "plain.txt", "\xff.txt"}));

        // Shown readably, also to a screen reader; found with the same bytes.
        QCOMPARE(list.model()->index(0, 0).data().toString(), shownAs("caf?.txt"));
        QtDesktop desktop;
        QCOMPARE(desktop.fileLength(folder + list.item(0)), 3);
        QCOMPARE(desktop.fileLength(folder + list.item(3)), 3);
        QVERIFY_THROWS_EXCEPTION(Failure, desktop.fileLength(folder + fromNativeName("sub\xe9.txt")));
        QVERIFY_THROWS_EXCEPTION(Failure, desktop.fileLength(folder + shownAs("caf?.txt")));

        // A folder whose own name is not text can be the type's folder.
        list.setFolder(folder + fromNativeName("sub\xe9.txt/"));
        QCOMPARE(toNativeName(list.item(0)), QByteArray("inner\xfe.txt"));
        QVERIFY_THROWS_EXCEPTION(Failure, list.setFolder(folder + shownAs("sub?.txt/")));
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
