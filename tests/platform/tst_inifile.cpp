#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>

#include <sys/mount.h>
#include <unistd.h>

#include "platform/filenames.h"
#include "platform/inifile.h"
#include "platform/qt_services.h"
#include "support/scripted.h"

using namespace orvane::platform;
using namespace Qt::StringLiterals;

// The settings store's file: every value back exactly as saved, files of
// earlier versions and hand-written ones read as meant, and a save that
// fails anywhere leaving the old file as it was.
class TestIniFile : public QObject {
    Q_OBJECT

    static QByteArray read(const QString& path) { return orvane::test::readFile(path); }
    static void write(const QString& path, const QByteArray& bytes)
    {
        QVERIFY(orvane::test::writeFile(path, bytes));
    }
    static QString get(const QString& path, const QString& key)
    {
        QtSettingsStore store(path);
        return store.get(u"Orvane"_s, u"Types"_s, key, u"(none)"_s);
    }
    static QStringList leftovers(const QString& folder, const QString& name)
    {
        QStringList out = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        out.removeAll(name);
        return out;
    }

private Q_SLOTS:
    void valuesComeBackExactly_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("commas and blanks") << u"Letters, memos,  and notes"_s;
        QTest::newRow("semicolon") << u"a;b ; c"_s;
        QTest::newRow("quotes") << u"say \"hi\" and 'bye'"_s;
        QTest::newRow("backslashes") << u"C:\\back\\"_s;
        QTest::newRow("equals") << u"a=b==c"_s;
        QTest::newRow("at") << u"@home"_s;
        QTest::newRow("double at") << u"@@x"_s;
        QTest::newRow("looks like a mark") << u"@Invalid()"_s;
        QTest::newRow("outer blanks") << u"  padded  "_s;
        QTest::newRow("tabs and newlines") << u"\tone\ntwo\r\nthree\t"_s;
        QTest::newRow("control then hex digit") << u"\x01"
                                                   "a\x7f"_s;
        QTest::newRow("non-ASCII") << u"café – 日本語 😀"_s;
        QTest::newRow("hash and brackets") << u"#[not a section]"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("1 MiB") << QString(1 << 20, u'x');
    }

    void valuesComeBackExactly()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Orvane.conf"_s);
        {
            QtSettingsStore store(path);
            store.save(u"Orvane"_s, u"Types"_s, u"Type desc 0"_s, value);
            QVERIFY(store.flush());
        }
        QCOMPARE(get(path, u"Type desc 0"_s), value);
        // Earlier versions read the file through QSettings: they still can.
        QSettings earlier(path, QSettings::IniFormat);
        QCOMPARE(earlier.value(u"Types/Type desc 0"_s).toString(), value);

        // And a file an earlier version wrote reads the same.
        const QString old = dir.filePath(u"old.conf"_s);
        {
            QSettings writer(old, QSettings::IniFormat);
            writer.setValue(u"Types/Type desc 0"_s, value);
        }
        QCOMPARE(get(old, u"Type desc 0"_s), value);
        // Both write the same bytes.
        QCOMPARE(read(path), read(old));
    }

    void aSectionWrittenAnewHoldsExactlyWhatWasWritten_data()
    {
        // Sets after the section's removal, as "key=value" words; then the
        // same again after a second removal.
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("the same keys") << u"A=1 B=2 C=3 D=4"_s << u"A=5 B=6 C=7 D=8"_s;
        QTest::newRow("fewer, then more") << u"A=1 B=2"_s << u"A=3 B=4 C=5 E=6"_s;
        QTest::newRow("more, then fewer") << u"A=1 B=2 C=3 D=4 E=5"_s << u"A=6"_s;
        QTest::newRow("another order") << u"B=1 A=2 D=3 C=4"_s << u"A=5 B=6 D=7 C=8"_s;
        QTest::newRow("a key set twice") << u"A=1 A=2 B=3"_s << u"A=4 B=5 B=6 A=7"_s;
        QTest::newRow("one key differs") << u"A=1 X=2 C=3"_s << u"A=4 X=5 C=6 D=7"_s;
        QTest::newRow("an old key later") << u"A=1 B=2 D=3 C=4"_s << u"D=5"_s;
        QTest::newRow("nothing") << QString() << u"B=1"_s;
    }

    void aSectionWrittenAnewHoldsExactlyWhatWasWritten()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        IniFile file = IniFile::parse("[Types]\nA=a\nB=b\nC=c\nD=d\n[Other]\nA=o\n");
        for (const QString& sets : {first, second}) {
            file.removeSection(u"Types"_s);
            QVERIFY(file.value(u"Types"_s, u"A"_s) == nullptr);
            // What the section must hold: each key once, where first set,
            // with its last value.
            QList<std::pair<QString, QString>> expected;
            for (const QString& set : sets.split(u' ', Qt::SkipEmptyParts)) {
                const QString key = set.section(u'=', 0, 0), value = set.section(u'=', 1);
                file.setValue(u"Types"_s, key, value);
                const auto at = std::find_if(expected.begin(), expected.end(),
                                             [&key](const auto& kv) { return kv.first == key; });
                if (at == expected.end()) {
                    expected.append({key, value});
                } else {
                    at->second = value;
                }
            }
            QByteArray text = expected.isEmpty() ? QByteArray() : QByteArray("[Types]\n");
            for (const auto& [key, value] : expected) {
                text += key.toUtf8() + '=' + value.toUtf8() + '\n';
            }
            text += (expected.isEmpty() ? "" : "\n") + QByteArray("[Other]\nA=o\n");
            QCOMPARE(file.text(), text);
            for (const QString& key : {u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"X"_s}) {
                const auto at = std::find_if(expected.begin(), expected.end(),
                                             [&key](const auto& kv) { return kv.first == key; });
                const QString* value = file.value(u"Types"_s, key);
                QCOMPARE(value == nullptr ? u"(none)"_s : *value,
                         at == expected.end() ? u"(none)"_s : at->second);
            }
        }
    }

    void bytesThatAreNotTextSurviveASave()
    {
        // A folder whose name is not UTF-8 holds lone surrogates in place of
        // those bytes; a hex digit after one must not join its escape.
        const QString folder = fromNativeName("/home/anna/caf\xe9/\xff"
                                              "ad/");
        const QString highAlone = QString(QChar(0xD800)) + u"a"_s;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Orvane.conf"_s);
        {
            QtSettingsStore store(path);
            store.save(u"Orvane"_s, u"Types"_s, u"Type path 0"_s, folder);
            store.save(u"Orvane"_s, u"Types"_s, u"Type desc 0"_s, highAlone);
            QVERIFY(store.flush());
        }
        QCOMPARE(toNativeName(get(path, u"Type path 0"_s)), QByteArray("/home/anna/caf\xe9/\xff"
                                                                       "ad/"));
        QCOMPARE(get(path, u"Type desc 0"_s), highAlone);
        QSettings earlier(path, QSettings::IniFormat);
        QCOMPARE(earlier.value(u"Types/Type path 0"_s).toString(), folder);
    }

    void aBigStoreIsWrittenAsQSettingsWritesIt()
    {
        // Thousands of keys, written in pieces: every piece in its place.
        QTemporaryDir dir;
        const QString ours = dir.filePath(u"Orvane.conf"_s);
        const QString theirs = dir.filePath(u"qsettings.conf"_s);
        {
            QtSettingsStore store(ours);
            QSettings qsettings(theirs, QSettings::IniFormat);
            for (int n = 0; n < 3000; ++n) {
                const QString key = u"Type desc %1"_s.arg(n, 5, 10, QChar(u'0'));
                const QString value =
                    n == 1500 ? QString(100000, u'y') : u"Entry %1, café;"_s.arg(n).repeated(n % 40);
                store.save(u"Orvane"_s, u"Types"_s, key, value);
                qsettings.setValue(u"Types/"_s + key, value);
            }
            QVERIFY(store.flush());
        }
        QVERIFY(QFileInfo(ours).size() > 1000000);
        QCOMPARE(read(ours), read(theirs));
    }

    void handWrittenFilesReadAsMeant()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Orvane.conf"_s);
        write(path, "; written by hand\r\n[Types]\r\nNumber Of Types = 2\r\n"
                    "Type%20desc%200=Letters, memos,  and notes\r\n"
                    "Type desc 1 = \"  quoted, with blanks  \"\r\n"
                    "Type path 1=/home/anna/My Letters/\r\n"
                    "Type app 1=/usr/bin/a \\\r\nb\r\n");
        QCOMPARE(get(path, u"Number Of Types"_s), u"2"_s);
        QCOMPARE(get(path, u"Type desc 0"_s), u"Letters, memos,  and notes"_s);
        QCOMPARE(get(path, u"Type desc 1"_s), u"  quoted, with blanks  "_s);
        QCOMPARE(get(path, u"Type path 1"_s), u"/home/anna/My Letters/"_s);
        QCOMPARE(get(path, u"Type app 1"_s), u"/usr/bin/a b"_s);
        QCOMPARE(get(path, u"Type name 0"_s), u"(none)"_s);

        // What an earlier version wrote, byte for byte, reads unchanged.
        write(path, "[Types]\nNumber%20Of%20Types=1\nType%20name%200=Caf\xc3\xa9\n"
                    "Type%20desc%200=\"Letters, memos,  and notes\"\n"
                    "Type%20path%200=/home/anna/\nType%20app%200=C:\\\\back\\\\\n");
        QCOMPARE(get(path, u"Type name 0"_s), u"Café"_s);
        QCOMPARE(get(path, u"Type desc 0"_s), u"Letters, memos,  and notes"_s);
        QCOMPARE(get(path, u"Type app 0"_s), u"C:\\back\\"_s);
    }

    void aSaveThatFailsAnywhereKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Orvane.conf"_s);
        const QByteArray old = "[Types]\nNumber%20Of%20Types=1\nType%20name%200=Old\n";
        write(path, old);
        QtSettingsStore store(path);
        store.deleteSection(u"Orvane"_s, u"Types"_s);
        for (int n = 0; n < 3; ++n) {
            store.save(u"Orvane"_s, u"Types"_s, u"Type name %1"_s.arg(n), u"New name, number %1"_s.arg(n));
        }
        const QByteArray text = IniFile::parse(read(path)).text();
        QVERIFY(text.size() > 40);

        // The disk fills up after any number of bytes.
        for (int room = 0; room < 200; ++room) {
            int left = room;
            FileCalls calls = FileCalls::system();
            calls.write = [&left](int fd, const char* data, std::size_t size) -> ssize_t {
                if (left == 0) {
                    errno = ENOSPC;
                    return -1;
                }
                const auto n = ::write(fd, data, std::min<std::size_t>(size, static_cast<std::size_t>(left)));
                left -= static_cast<int>(n);
                return n;
            };
            store.setFileCalls(calls);
            const bool saved = store.flush();
            if (saved) { // everything fitted
                QVERIFY2(room > 100, qPrintable(QString::number(room)));
                break;
            }
            QCOMPARE(read(path), old);
            QCOMPARE(leftovers(dir.path(), u"Orvane.conf"_s), QStringList());
        }
        QVERIFY(read(path).contains("New name, number 2"));

        // A failing sync or rename is a failed save too.
        write(path, old);
        FileCalls noSync = FileCalls::system();
        noSync.fsync = [](int) {
            errno = EIO;
            return -1;
        };
        store.setFileCalls(noSync);
        QVERIFY(!store.flush());
        QCOMPARE(read(path), old);
        FileCalls noRename = FileCalls::system();
        noRename.rename = [](const char*, const char*) {
            errno = EDQUOT;
            return -1;
        };
        store.setFileCalls(noRename);
        QVERIFY(!store.flush());
        QCOMPARE(read(path), old);
        QCOMPARE(leftovers(dir.path(), u"Orvane.conf"_s), QStringList());

        // A store that is a folder cannot be replaced.
        QtSettingsStore folder(dir.filePath(u"folder.conf"_s));
        QDir().mkpath(dir.filePath(u"folder.conf"_s));
        folder.save(u"Orvane"_s, u"Types"_s, u"Number Of Types"_s, u"0"_s);
        QVERIFY(!folder.flush());
        QVERIFY(QFileInfo(dir.filePath(u"folder.conf"_s)).isDir());
    }

    void aLinkedStoreStaysALink()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(u"real.conf"_s);
        const QString link = dir.filePath(u"Orvane.conf"_s);
        write(target, "[Types]\nNumber%20Of%20Types=0\n");
        QVERIFY(QFile::link(target, link));
        QtSettingsStore store(link);
        store.save(u"Orvane"_s, u"Types"_s, u"Number Of Types"_s, u"3"_s);
        QVERIFY(store.flush());
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(read(target).contains("Number%20Of%20Types=3"));
    }

    void anUnreadableStoreIsNeverWrittenOver()
    {
        // Root reads every file, so as root the same test runs again as the
        // user nobody, on a store made here for it.
        const QByteArray old = "[Types]\nNumber%20Of%20Types=1\nType%20name%200=Mine\n";
        QTemporaryDir made;
        QString folder = qEnvironmentVariable("ORVANE_TEST_UNREADABLE_STORE");
        if (folder.isEmpty()) {
            folder = made.path();
            write(folder + u"/Orvane.conf"_s, old);
            QVERIFY(QFile::setPermissions(folder + u"/Orvane.conf"_s, {}));
        }
        const QString path = folder + u"/Orvane.conf"_s;
        if (::geteuid() == 0) {
            // Room for nobody to write beside the store, had it a mind to.
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::WriteOther |
                                                      QFile::ExeOther));
            QProcess user;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"ORVANE_TEST_UNREADABLE_STORE"_s, folder);
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
            user.setProcessEnvironment(env);
            user.setProcessChannelMode(QProcess::MergedChannels);
            user.start(u"setpriv"_s, {u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s,
                                      QCoreApplication::applicationFilePath(),
                                      QString::fromLatin1(QTest::currentTestFunction())});
            if (!user.waitForFinished(60000) || user.exitStatus() != QProcess::NormalExit ||
                user.exitCode() == 127) {
                QSKIP("this test cannot run again as the user nobody (setpriv, util-linux)");
            }
            const QByteArray said = user.readAll();
            QVERIFY2(user.exitCode() == 0, said.constData());
            QVERIFY2(said.contains("PASS   : TestIniFile::anUnreadableStoreIsNeverWrittenOver()"),
                     said.constData());
        } else {
            // It loads as empty, and its save fails rather than replace it.
            QtSettingsStore store(path);
            QCOMPARE(store.get(u"Orvane"_s, u"Types"_s, u"Type name 0"_s, u"(none)"_s), u"(none)"_s);
            store.deleteSection(u"Orvane"_s, u"Types"_s);
            store.save(u"Orvane"_s, u"Types"_s, u"Number Of Types"_s, u"0"_s);
            QVERIFY(!store.flush());
            QCOMPARE(leftovers(folder, u"Orvane.conf"_s), QStringList());
            if (!made.path().isEmpty() && folder == made.path()) {
                QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
            }
        }
        if (::geteuid() == 0 || folder == made.path()) {
            QCOMPARE(read(path), old);
        }
    }

    void aFullDiskKeepsTheOldFile()
    {
        if (::geteuid() != 0) {
            QSKIP("a small file system of its own needs root (CI runs as root)");
        }
        QTemporaryDir dir;
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0) {
            QSKIP(
                qPrintable(u"tmpfs could not be mounted: "_s + QString::fromLocal8Bit(std::strerror(errno))));
        }
        const QString path = dir.filePath(u"Orvane.conf"_s);
        const QByteArray old = "[Types]\nNumber%20Of%20Types=1\nType%20name%200=Old\n";
        write(path, old);
        // Fill all but one page.
        {
            QFile filler(dir.filePath(u"filler"_s));
            QVERIFY(filler.open(QIODevice::WriteOnly));
            const QByteArray page(4096, 'x');
            while (filler.write(page) == page.size() && filler.flush()) {
            }
            filler.close();
            QVERIFY(filler.resize(filler.size() - 4096));
        }
        QtSettingsStore store(path);
        store.save(u"Orvane"_s, u"Types"_s, u"Type desc 0"_s, QString(3 * 4096, u'd'));
        const bool saved = store.flush();
        const QByteArray after = read(path);
        const QStringList left = leftovers(dir.path(), u"Orvane.conf"_s);
        // The same file system made read-only: a folder even root cannot
        // write to.
        QFile::remove(dir.filePath(u"filler"_s));
        const bool readOnly =
            ::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
        const bool savedReadOnly = readOnly && store.flush();
        const QByteArray afterReadOnly = read(path);
        ::umount(mountPoint.constData());
        QVERIFY(!saved);
        QCOMPARE(after, old);
        QCOMPARE(left, QStringList{u"filler"_s});
        QVERIFY(readOnly);
        QVERIFY(!savedReadOnly);
        QCOMPARE(afterReadOnly, old);
    }
};

QTEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
