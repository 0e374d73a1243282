#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSettings>
#include <QTest>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/catalogue.h"
#include "support/harness.h"

using namespace orvane::platform;
using namespace Qt::StringLiterals;
using orvane::test::readFile;
using orvane::test::writeFile;

namespace {

const QString kApp = u"Orvane"_s, kTypes = u"Types"_s;
const QByteArray kOld = "[Types]\nNumber%20Of%20Types=1\nType%20name%200=Old\n";

// The store's text and the files beside it, as the old store alone gives.
QString whatIsThere(const QString& store)
{
    QStringList beside = QFileInfo(store).dir().entryList(QDir::Files | QDir::Hidden);
    beside.removeAll(QFileInfo(store).fileName());
    return QString::fromUtf8(readFile(store)) + u"and beside: "_s + beside.join(u", ");
}
const QString kOldAlone = QString::fromUtf8(kOld) + u"and beside: "_s;

// The system calls of a save, one of them replaced.
template <typename Call, typename Replacement> FileCalls with(Call FileCalls::*call, Replacement replacement)
{
    FileCalls calls = FileCalls::system();
    calls.*call = replacement;
    return calls;
}

// A store holding one changed type, saving through calls.
bool saveWith(const QString& path, const FileCalls& calls = FileCalls::system())
{
    QtSettingsStore store(path);
    store.deleteSection(kApp, kTypes);
    store.save(kApp, kTypes, u"Type name 0"_s, u"New name, written in pieces"_s.repeated(10));
    store.setFileCalls(calls);
    return store.flush();
}

} // namespace

// The settings file: read as QSettings reads it, every value back exactly
// as saved, and a save that fails anywhere leaving the old file as it was.
class TestIniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsAsQSettingsReads_data()
    {
        // What each reads for Types/A: the same, or where the store keeps
        // the user's text, each its own.
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("qsettings");
        QTest::addColumn<QString>("store");
        const auto row = [](const char* name, const QByteArray& text, const QString& both,
                            const std::optional<QString>& store = {}) {
            QTest::newRow(name) << text << both << store.value_or(both);
        };
        row("comment after the header", "[Types] ; my types\nA=1\n", u"1"_s);
        row("text after the header", "[Types]x\nA=1\n", u"1"_s);
        row("CR line ends", "[Types]\rB=2\rA=1\r", u"1"_s);
        row("CR LF line ends", "[Types]\r\nB=2\r\nA=1\r\n", u"1"_s);
        row("Unicode spaces at the ends", "[Types]\nA=\u00a0\u3000x\u2002\u2028\u0085\n",
            u"\u00a0\u3000x\u2002\u2028\u0085"_s);
        row("raw vertical tab and form feed", "[Types]\nA= \vx\f \n", u"\vx\f"_s);
        row("ASCII white space around a key", "[Types]\n\v A\f =1\n", u"1"_s);
        row("backslash in a key", "[General]\nTypes\\A=1\n", u"1"_s);
        row("a byte-order mark", "\xef\xbb\xbf[Types]\nA=1\n", u"1"_s);
        row("a byte-order mark before a value", "[Types]\nA=\xef\xbb\xbfx\n", u"x"_s);
        row("quoted value", "[Types]\nA = \"  quoted, with blanks  \" \n", u"  quoted, with blanks  "_s);
        row("quoted over two lines", "[Types]\nA=\"one\ntwo\"\nB=2\n", u"one\ntwo"_s);
        row("%XX and %UXXXX", "[%54ypes]\n%U0041=1\n", u"1"_s);
        row("comments", "; note\n[Types]\n;A=0\nA=1\n", u"1"_s);
        row("repeated sections and keys", "[Types]\nA=1\n[Other]\nA=2\n[Types]\nA=3\n", u"3"_s);
        row("escapes", "[Types]\nA=\\\"C:\\\\\\x41\\101\\t\n", u"\"C:\\AA\t"_s);
        row("continued line", "[Types]\nA=/usr/bin/a \\\n b\n", u"/usr/bin/a  b"_s);
        row("@String", "[Types]\nA=@String(x)\n", u"x"_s);
        row("commas", "[Types]\nA=Letters, memos,  and notes\n", {}, u"Letters, memos,  and notes"_s);
        row("unknown escape", "[Types]\nA=C:\\Program Files\n", u"C:rogram Files"_s, u"C:\\Program Files"_s);
        row("semicolon in a value", "[Types]\nA=a;b ; c\n", u"a"_s, u"a;b ; c"_s);
        row("@ByteArray", "[Types]\nA=@ByteArray(xy)\n", u"xy"_s, u"@ByteArray(xy)"_s);
    }

    void readsAsQSettingsReads()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Orvane.conf"_s);
        QVERIFY(writeFile(path, text));
        // QSettings reads a section when a key under its name is first
        // asked for (a key in [General] that names a section is missed
        // then), and all of them to save: here, all of them.
        QSettings qsettings(path, QSettings::IniFormat);
        qsettings.allKeys();
        QTEST(qsettings.value(u"Types/A"_s, u"(none)"_s).toString(), "qsettings");
        QTEST(QtSettingsStore(path).get(kApp, kTypes, u"A"_s, u"(none)"_s), "store");
    }

    void anyValueComesBack()
    {
        // Random texts of every kind of UTF-16 unit (pairs, lone halves as
        // a file name's bytes that are not UTF-8 give them) and of the
        // characters the format treats apart.
        QRandomGenerator random(28);
        QStringList values = {u"@Invalid()"_s, u"@@x"_s, QString(QChar(0xDCFF)) + u"ad/"_s,
                              u"A long one, written in pieces"_s.repeated(9000)};
        const QString special = u" \t\"\\;,=@%[]\0\x7f\u00a0\u3000\u2028\ufeff\ufffd7a"_s;
        for (int n = 0; n < 3000; ++n) {
            QString value;
            for (int length = random.bounded(12); length > 0; --length) {
                const auto code = static_cast<char32_t>(
                    random.bounded(2) == 0 ? special.at(random.bounded(special.size())).unicode()
                                           : random.bounded(0x110000));
                value +=
                    code > 0xFFFF ? QString::fromUcs4(&code, 1) : QString(QChar(static_cast<char16_t>(code)));
            }
            values += value;
        }
        QTemporaryDir dir;
        const QString ours = dir.filePath(u"ours.conf"_s), theirs = dir.filePath(u"theirs.conf"_s);
        {
            QtSettingsStore store(ours);
            QSettings qsettings(theirs, QSettings::IniFormat);
            for (qsizetype n = 0; n < values.size(); ++n) {
                store.save(kApp, kTypes, QString::number(n), values[n]);
                qsettings.setValue(u"Types/%1"_s.arg(n), values[n]);
            }
            QVERIFY(store.flush());
        }
        // Ours read by both; theirs read by the store as they read it.
        QSettings qsettingsOfOurs(ours, QSettings::IniFormat),
            qsettingsOfTheirs(theirs, QSettings::IniFormat);
        QtSettingsStore store(ours), storeOfTheirs(theirs);
        for (qsizetype n = 0; n < values.size(); ++n) {
            const QString key = QString::number(n);
            QCOMPARE(qsettingsOfOurs.value(kTypes + u'/' + key).toString(), values[n]);
            QCOMPARE(store.get(kApp, kTypes, key, {}), values[n]);
            QCOMPARE(storeOfTheirs.get(kApp, kTypes, key, {}),
                     qsettingsOfTheirs.value(kTypes + u'/' + key).toString());
        }
    }

    void aSectionWrittenAnewHoldsExactlyWhatWasWritten_data()
    {
        // Sets after the section's removal, as "key=value" words; then,
        // after "|", after a second removal.
        QTest::addColumn<QString>("sets");
        QTest::newRow("the same keys") << u"A=1 B=2 C=3 D=4 | A=5 B=6 C=7 D=8"_s;
        QTest::newRow("fewer, then more") << u"A=1 B=2 | A=3 B=4 C=5 E=6"_s;
        QTest::newRow("more, then fewer") << u"A=1 B=2 C=3 D=4 E=5 | A=6"_s;
        QTest::newRow("another order") << u"B=1 A=2 D=3 C=4 | A=5 B=6 D=7 C=8"_s;
        QTest::newRow("a key set twice") << u"A=1 A=2 B=3 | A=4 B=5 B=6 A=7"_s;
        QTest::newRow("an old key later") << u"A=1 B=2 D=3 C=4 | D=5"_s;
        QTest::newRow("nothing") << u"| B=1"_s;
    }

    void aSectionWrittenAnewHoldsExactlyWhatWasWritten()
    {
        QFETCH(QString, sets);
        IniFile file = IniFile::parse("[Types]\nA=a\nB=b\nC=c\nD=d\n[Other]\nA=o\n");
        for (const QString& round : sets.split(u'|')) {
            // The same as in a file that never held the section's keys.
            IniFile fresh = IniFile::parse("[Types]\n[Other]\nA=o\n");
            file.removeSection(kTypes);
            for (const QString& set : round.split(u' ', Qt::SkipEmptyParts))
                for (IniFile* f : {&file, &fresh})
                    f->setValue(kTypes, set.section(u'=', 0, 0), set.section(u'=', 1));
            QCOMPARE(file.text(), fresh.text());
            for (const QString& key : {u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s}) {
                const QString* value = file.value(kTypes, key);
                const QString* expected = fresh.value(kTypes, key);
                QCOMPARE(value ? *value : u"(none)"_s, expected ? *expected : u"(none)"_s);
            }
        }
    }

    void damagedFilesReadInLinearTime_data()
    {
        // 500 KB of a piece: the kinds that once took seconds (a section
        // looked up among all for each key: 9 s; a run of backslashes
        // rescanned at each line it continued: minutes), and others that
        // could. Each takes a tenth of a second in a debug build, less than
        // half a second under the sanitizers on a busy machine.
        QTest::addColumn<QByteArray>("piece");
        QTest::newRow("sections") << QByteArray("[Section %1]\nA=%1\n");
        QTest::newRow("runs of continued lines") << QByteArray("\\\\\\\n");
        QTest::newRow("keys") << QByteArray("Key %1=%1\n");
        QTest::newRow("an open quote") << QByteArray("A=\"%1\n");
    }

    void damagedFilesReadInLinearTime()
    {
        QFETCH(QByteArray, piece);
        QByteArray text = "[Types]\n";
        for (int n = 0; text.size() < 500000; ++n)
            text += QByteArray(piece).replace("%1", QByteArray::number(n));
        QElapsedTimer timer;
        timer.start();
        const IniFile file = IniFile::parse(text);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(u"%1 ms"_s.arg(timer.elapsed())));
    }

    void aSaveThatFailsAnywhereKeepsTheOldFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Orvane.conf"_s);
        QVERIFY(writeFile(path, kOld));
        // The disk fills up after any number of bytes.
        int left = 0;
        const FileCalls filling =
            with(&FileCalls::write, [&left](int fd, const char* data, std::size_t size) -> ssize_t {
                const ssize_t n =
                    left == 0 ? (errno = ENOSPC, -1) : ::write(fd, data, std::min<std::size_t>(size, left));
                left -= n > 0 ? static_cast<int>(n) : 0;
                return n;
            });
        int room = 0;
        for (; (left = room, !saveWith(path, filling)); ++room)
            QCOMPARE(whatIsThere(path), kOldAlone);
        QVERIFY2(room > 200 && readFile(path).contains("New name"), qPrintable(QString::number(room)));
        // A failing sync or rename fails the save too.
        for (const FileCalls& calls :
             {with(&FileCalls::fsync, [](int) { return errno = EIO, -1; }),
              with(&FileCalls::rename, [](const char*, const char*) { return errno = EDQUOT, -1; })}) {
            QVERIFY(writeFile(path, kOld));
            QVERIFY(!saveWith(path, calls));
            QCOMPARE(whatIsThere(path), kOldAlone);
        }
        // One of the folder, after the rename, does not, and says so.
        QTest::ignoreMessage(QtWarningMsg,
                             qPrintable(path + u" was saved, but its folder could not be synced "
                                               "(Input/output error): the new file is in place, "
                                               "but may not be on the disk yet"_s));
        QVERIFY(saveWith(path, with(&FileCalls::fsync, [](int fd) {
                             struct stat status {};
                             return ::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode) ? (errno = EIO, -1)
                                                                                         : ::fsync(fd);
                         })));
        QVERIFY(readFile(path).contains("New name"));

        // A full disk, and then the same file system read-only, a folder
        // even root cannot write to: on a small file system of its own,
        // which needs root (CI runs as root).
        QTemporaryDir small;
        const QByteArray mountPoint = QFile::encodeName(small.path());
        if (::geteuid() != 0 || ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("a small file system of its own could not be mounted");
        const auto unmount = qScopeGuard([&mountPoint] { ::umount(mountPoint.constData()); });
        const QString store = small.filePath(u"Orvane.conf"_s);
        const QString filler = small.filePath(u"filler"_s);
        QVERIFY(writeFile(store, kOld) && writeFile(filler, QByteArray(60 * 1024, 'x'))); // all but one page
        QVERIFY(!saveWith(store));
        QCOMPARE(whatIsThere(store), kOldAlone + u"filler"_s);
        QVERIFY(QFile::remove(filler));
        QCOMPARE(::mount(nullptr, mountPoint.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
        QVERIFY(!saveWith(store));
        QCOMPARE(whatIsThere(store), kOldAlone);
    }

    void aSaveKeepsTheFileAsTheUserHadIt()
    {
        // A link to the store, its mode, and as root (a user who started
        // Orvane with sudo) its owner and group; the new file is never
        // handed on to a program that Orvane starts.
        QTemporaryDir dir;
        const QString target = dir.filePath(u"real.conf"_s), link = dir.filePath(u"Orvane.conf"_s);
        QVERIFY(writeFile(target, kOld));
        QVERIFY(QFile::link(target, link));
        const QByteArray name = QFile::encodeName(target);
        QCOMPARE(::chmod(name.constData(), 0640), 0);
        const bool root = ::geteuid() == 0;
        QVERIFY(!root || ::chown(name.constData(), 65534, 65534) == 0);
        bool handedOn = false;
        QVERIFY(
            saveWith(link, with(&FileCalls::write, [&handedOn](int fd, const char* data, std::size_t size) {
                         handedOn = handedOn || (::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0;
                         return ::write(fd, data, size);
                     })));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(readFile(target).contains("New name"));
        struct stat status {};
        QCOMPARE(::stat(name.constData(), &status), 0);
        QCOMPARE((QList<uint>{status.st_mode & 07777, status.st_uid, status.st_gid}),
                 (QList<uint>{0640, root ? 65534 : ::geteuid(), root ? 65534 : ::getegid()}));
        QVERIFY(!handedOn);
    }

    void anUnreadableStoreIsNeverWrittenOver()
    {
        // Root reads every file, so as root the same test runs again as the
        // user nobody, on a store made here for it, in a folder where nobody
        // could write beside it.
        QTemporaryDir made;
        const QString given = qEnvironmentVariable("ORVANE_TEST_UNREADABLE_STORE");
        const QString path = (given.isEmpty() ? made.path() : given) + u"/Orvane.conf"_s;
        if (given.isEmpty()) {
            QVERIFY(writeFile(path, kOld));
            QVERIFY(QFile::setPermissions(path, {}) &&
                    QFile::setPermissions(made.path(), QFile::Permissions(0x7777)));
        }
        if (::geteuid() == 0) {
            qputenv("ORVANE_TEST_UNREADABLE_STORE", QFile::encodeName(made.path()));
            QProcess user;
            user.start(u"setpriv"_s, {u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s,
                                      QCoreApplication::applicationFilePath(),
                                      QString::fromLatin1(QTest::currentTestFunction())});
            const bool ran = user.waitForFinished(60000) && user.exitCode() != 127;
            qunsetenv("ORVANE_TEST_UNREADABLE_STORE");
            if (!ran)
                QSKIP("this test cannot run again as the user nobody (setpriv, util-linux)");
            const QByteArray said = user.readAllStandardOutput() + user.readAllStandardError();
            QVERIFY2(user.exitCode() == 0 && said.contains("PASS   : TestIniFile::anUnreadable"),
                     said.constData());
            QCOMPARE(readFile(path), kOld);
        } else {
            // It loads as empty, and its save fails rather than replace it.
            QCOMPARE(QtSettingsStore(path).get(kApp, kTypes, u"Type name 0"_s, u"(none)"_s), u"(none)"_s);
            QVERIFY(!saveWith(path));
            QCOMPARE(whatIsThere(path), u"and beside: "_s);
            QVERIFY(!given.isEmpty() ||
                    (QFile::setPermissions(path, QFile::ReadOwner) && readFile(path) == kOld));
        }
    }

    void aStoreNotUnderstoodIsKeptBeforeTheSave_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("emptied"); // all types removed in the run
        QTest::addColumn<bool>("kept");
        QTest::newRow("no section") << QByteArray("just words\n") << false << true;
        QTest::newRow("another section") << QByteArray("[Other]\nA=1\n") << false << true;
        QTest::newRow("types without a count") << QByteArray("[Types]\nType name 0=A\n") << false << true;
        QTest::newRow("UTF-16") << QByteArray("\xff\xfe[\0T\0]\0", 8) << false << true;
        QTest::newRow("all types removed") << kOld << true << true;
        QTest::newRow("types") << kOld << false << false;
        QTest::newRow("no types") << QByteArray("[Types]\nNumber Of Types=0\n") << true << false;
        QTest::newRow("blank") << QByteArray(" \n\n") << false << false;
    }

    void aStoreNotUnderstoodIsKeptBeforeTheSave()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, emptied);
        orvane::test::Harness h;
        QVERIFY(writeFile(h.settingsPath(), text));
        orvane::LoadTypes(h.g);
        h.g.NumberOfTypes = emptied ? 0 : h.g.NumberOfTypes;
        // Saved twice, as at a checkpoint and at exit: the copy is the store
        // as it was before the first.
        QVERIFY(orvane::SaveTypes(h.g) && orvane::SaveTypes(h.g));
        QTEST(QFileInfo::exists(h.settingsPath() + u".bak"_s), "kept");
        QVERIFY(!QFileInfo::exists(h.settingsPath() + u".bak"_s) ||
                readFile(h.settingsPath() + u".bak"_s) == text);
    }
};

QTEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
