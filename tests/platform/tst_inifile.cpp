#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "catalogue/catalogue.h"
#include "support/harness.h"

using namespace orvane::platform;
using namespace Qt::StringLiterals;
using namespace orvane::test;

namespace {

const QString kApp = u"Orvane"_s, kTypes = u"Types"_s;
const QByteArray kOld = "[Types]\nNumber%20Of%20Types=1\nType%20name%200=Old\n";
const QString kOldAlone = QString::fromUtf8(kOld) + u"and beside: "_s;

// A table of one column, "cells": each row split at "|", its first cell naming it.
void table(std::initializer_list<const char*> rows)
{
    QTest::addColumn<QByteArrayList>("cells");
    for (const char* row : rows)
        QTest::newRow(QByteArray(row).split('|')[0].constData()) << QByteArray(row).split('|').mid(1);
}

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

// What a save that fails leaves: the store's text and the files beside it
// (as the old store alone gives kOldAlone); "saved" when it did not fail.
QString failedSave(const QString& path, const FileCalls& calls = FileCalls::system())
{
    if (saveWith(path, calls))
        return u"saved"_s;
    QStringList beside = QFileInfo(path).dir().entryList(QDir::Files | QDir::Hidden);
    beside.removeAll(QFileInfo(path).fileName());
    return QString::fromUtf8(readFile(path)) + u"and beside: "_s + beside.join(u", ");
}

} // namespace

// The settings file: read as QSettings reads it, every value back exactly
// as saved, and a save that fails anywhere leaving the old file as it was.
class TestIniFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsAsQSettingsReads_data()
    {
        // The file's text, what QSettings reads for Types/A and, where the
        // store keeps the user's text, what the store reads.
        table({"comment after the header|[Types] ; my types\nA=1\n|1",
               "text after the header|[Types]x\nA=1\n|1",
               "CR line ends|[Types]\rB=2\rA=1\r|1",
               "CR LF line ends|[Types]\r\nB=2\r\nA=1\r\n|1",
               "Unicode spaces at the "
               "ends|[Types]\nA=\u00a0\u3000x\u2002\u2028\u0085\n|\u00a0\u3000x\u2002\u2028\u0085",
               "raw vertical tab and form feed|[Types]\nA= \vx\f \n|\vx\f",
               "ASCII white space around a key|[Types]\n\v A\f =1\n|1",
               "backslash in a key|[General]\nTypes\\A=1\n|1",
               "a byte-order mark|\xef\xbb\xbf[Types]\nA=1\n|1",
               "a byte-order mark before a value|[Types]\nA=\xef\xbb\xbfx\n|x",
               "quoted value|[Types]\nA = \"  quoted, with blanks  \" \n|  quoted, with blanks  ",
               "quoted over two lines|[Types]\nA=\"one\ntwo\"\nB=2\n|one\ntwo",
               "%XX and %UXXXX|[%54ypes]\n%U0041=1\n|1",
               "comments|; note\n[Types]\n;A=0\nA=1\n|1",
               "repeated sections and keys|[Types]\nA=1\n[Other]\nA=2\n[Types]\nA=3\n|3",
               "escapes|[Types]\nA=\\\"C:\\\\\\x41\\101\\t\n|\"C:\\AA\t",
               "continued line|[Types]\nA=/usr/bin/a \\\n b\n|/usr/bin/a  b",
               "@String|[Types]\nA=@String(x)\n|x",
               "commas|[Types]\nA=Letters, memos,  and notes\n||Letters, memos,  and notes",
               "unknown escape|[Types]\nA=C:\\Program Files\n|C:rogram Files|C:\\Program Files",
               "semicolon in a value|[Types]\nA=a;b ; c\n|a|a;b ; c",
               "@ByteArray|[Types]\nA=@ByteArray(xy)\n|xy|@ByteArray(xy)"});
    }

    void readsAsQSettingsReads()
    {
        QFETCH(QByteArrayList, cells);
        const Harness h(cells[0]);
        // QSettings reads a section when a key under its name is first
        // asked for (a key in [General] that names a section is missed
        // then), and all of them to save: here, all of them.
        QSettings qsettings(h.settingsPath(), QSettings::IniFormat);
        qsettings.allKeys();
        QCOMPARE(qsettings.value(u"Types/A"_s, u"(none)"_s).toString(), QString::fromUtf8(cells[1]));
        QCOMPARE(QtSettingsStore(h.settingsPath()).get(kApp, kTypes, u"A"_s, u"(none)"_s),
                 QString::fromUtf8(cells.value(2, cells[1])));
    }

    void anyValueComesBack()
    {
        // Random texts of every kind of UTF-16 unit (pairs, lone halves as
        // a file name's bytes that are not UTF-8 give them) and of the
        // characters the format treats apart.
        QRandomGenerator random(28);
        const QString special = u" \t\n\r\"\\;,=@%[]\0\x7f\u00a0\u3000\u2028\ufeff\ufffd7a"_s;
        QStringList values(3000);
        for (QString& value : values)
            for (int length = random.bounded(12); length > 0; --length)
                value.append(QChar::fromUcs4(random.bounded(2) == 0
                                                 ? special.at(random.bounded(special.size())).unicode()
                                                 : random.bounded(0x110000)));
        values += QStringList{u"@Invalid()"_s, u"@@x"_s, QString(QChar(0xDCFF)) + u"ad/"_s,
                              u"A long one, written in pieces"_s.repeated(9000)};
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
        QSettings qOurs(ours, QSettings::IniFormat), qTheirs(theirs, QSettings::IniFormat);
        QtSettingsStore store(ours), storeOfTheirs(theirs);
        for (qsizetype n = 0; n < values.size(); ++n) {
            const QString key = QString::number(n);
            QCOMPARE(qOurs.value(u"Types/"_s + key).toString(), values[n]);
            QCOMPARE(store.get(kApp, kTypes, key, {}), values[n]);
            QCOMPARE(storeOfTheirs.get(kApp, kTypes, key, {}), qTheirs.value(u"Types/"_s + key).toString());
        }
    }

    void aSectionWrittenAnewHoldsExactlyWhatWasWritten_data()
    {
        // The keys set after the section's removal, as "key=value" words;
        // then, in the next cell, after a second removal.
        table({"the same keys|A=1 B=2 C=3 D=4|A=5 B=6 C=7 D=8", "fewer, then more|A=1 B=2|A=3 B=4 C=5 E=6",
               "more, then fewer|A=1 B=2 C=3 D=4 E=5|A=6", "another order|B=1 A=2 D=3 C=4|A=5 B=6 D=7 C=8",
               "a key set twice|A=1 A=2 B=3|A=4 B=5 B=6 A=7", "an old key later|A=1 B=2 D=3 C=4|D=5",
               "nothing||B=1"});
    }

    void aSectionWrittenAnewHoldsExactlyWhatWasWritten()
    {
        QFETCH(QByteArrayList, cells);
        IniFile file = IniFile::parse("[Types]\nA=a\nB=b\nC=c\nD=d\n[Other]\nA=o\n");
        for (const QByteArray& round : cells) {
            // The same as in a file that never held the section's keys.
            IniFile fresh = IniFile::parse("[Types]\n[Other]\nA=o\n");
            file.removeSection(kTypes);
            for (const QString& set : QString::fromLatin1(round).split(u' ', Qt::SkipEmptyParts))
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
        // rescanned at each line it continued: minutes), and one that could;
        // a plain store of many keys is the bench's. Each takes a tenth of a
        // second in a debug build, less than half a second under the
        // sanitizers on a busy machine.
        table(
            {"sections|[Section %1]\nA=%1\n", "runs of continued lines|\\\\\\\n", "an open quote|A=\"%1\n"});
    }

    void damagedFilesReadInLinearTime()
    {
        QFETCH(QByteArrayList, cells);
        QByteArray text = "[Types]\n";
        for (int n = 0; text.size() < 500000; ++n)
            text += QByteArray(cells[0]).replace("%1", QByteArray::number(n));
        QElapsedTimer timer;
        timer.start();
        const IniFile file = IniFile::parse(text);
        QVERIFY2(timer.elapsed() < 1000, qPrintable(u"%1 ms"_s.arg(timer.elapsed())));
    }

    void aFailedSaveKeepsTheOldFileAndADoneOneItsLinkModeAndOwner()
    {
        // A link to the store, its mode, and as root (a user who started
        // Orvane with sudo) its owner and group.
        QTemporaryDir dir;
        const QString target = dir.filePath(u"real.conf"_s), link = dir.filePath(u"Orvane.conf"_s);
        const QString oldAlone = kOldAlone + u"real.conf"_s;
        const QByteArray name = QFile::encodeName(target);
        const bool root = ::geteuid() == 0;
        QVERIFY(writeFile(target, kOld) && ::chmod(name.constData(), 0640) == 0 &&
                (!root || ::chown(name.constData(), 65534, 65534) == 0) && QFile::link(target, link));
        // A failing sync or rename fails the save, as a disk that fills up
        // after any number of bytes does.
        for (const FileCalls& calls :
             {with(&FileCalls::fsync, [](int) { return errno = EIO, -1; }),
              with(&FileCalls::rename, [](const char*, const char*) { return errno = EDQUOT, -1; })})
            QCOMPARE(failedSave(link, calls), oldAlone);
        int left = 0, room = 0;
        bool handedOn = false; // to a program that Orvane starts: never
        const FileCalls filling =
            with(&FileCalls::write, [&](int fd, const char* data, std::size_t size) -> ssize_t {
                handedOn = handedOn || (::fcntl(fd, F_GETFD) & FD_CLOEXEC) == 0;
                const ssize_t n =
                    left == 0 ? (errno = ENOSPC, -1) : ::write(fd, data, std::min<std::size_t>(size, left));
                left -= n > 0 ? static_cast<int>(n) : 0;
                return n;
            });
        QString after;
        while ((left = room++, after = failedSave(link, filling)) != u"saved"_s)
            QCOMPARE(after, oldAlone);
        QVERIFY2(room > 200 && readFile(target).contains("New name") && !handedOn,
                 qPrintable(u"%1 bytes of room, handed on: %2"_s.arg(room).arg(handedOn)));
        // One of the folder, after the rename, does not, and says so.
        QVERIFY(writeFile(target, kOld));
        const QString warning = u" was saved, but its folder could not be synced (Input/output error): "
                                "the new file is in place, but may not be on the disk yet"_s;
        QTest::ignoreMessage(QtWarningMsg, qPrintable(link + warning));
        const FileCalls folderFails = with(&FileCalls::fsync, [](int fd) {
            return QFileInfo(u"/proc/self/fd/%1"_s.arg(fd)).isDir() ? (errno = EIO, -1) : ::fsync(fd);
        });
        QVERIFY(saveWith(link, folderFails) && readFile(target).contains("New name") &&
                QFileInfo(link).isSymLink());
        struct stat status {};
        QCOMPARE(::stat(name.constData(), &status), 0);
        QCOMPARE((QList<uint>{status.st_mode & 07777, status.st_uid, status.st_gid}),
                 (QList<uint>{0640, root ? 65534 : ::geteuid(), root ? 65534 : ::getegid()}));

        // A folder that takes no new file (read-only, or no longer the
        // user's, as for a user nobody): the same.
        QTemporaryDir locked;
        const QString store = locked.filePath(u"Orvane.conf"_s);
        QVERIFY(writeFile(store, kOld) && QFile::setPermissions(store, QFile::Permissions(0x6666)) &&
                QFile::setPermissions(locked.path(), QFile::Permissions(0x5555)));
        QVERIFY(!root || ::seteuid(65534) == 0);
        const QString leftThere = failedSave(store);
        QVERIFY(!root || ::seteuid(0) == 0);
        QCOMPARE(leftThere, kOldAlone);
    }

    void anUnreadableStoreIsNeverWrittenOver()
    {
        // Root reads every file: as root, the test acts as the user nobody
        // meanwhile, in a folder where nobody could write beside the store.
        QTemporaryDir made;
        const QString path = made.filePath(u"Orvane.conf"_s);
        QVERIFY(writeFile(path, kOld) && QFile::setPermissions(path, {}) &&
                QFile::setPermissions(made.path(), QFile::Permissions(0x7777)));
        const bool root = ::geteuid() == 0;
        QVERIFY(!root || ::seteuid(65534) == 0);
        {
            const auto asBefore = qScopeGuard([root] {
                if (root && ::seteuid(0) != 0)
                    qFatal("could not act as root again");
            });
            // It loads as empty, and its save fails rather than replace it.
            QCOMPARE(QtSettingsStore(path).get(kApp, kTypes, u"Type name 0"_s, u"(none)"_s), u"(none)"_s);
            QCOMPARE(failedSave(path), u"and beside: "_s);
        }
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner) && readFile(path) == kOld);
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
        QFETCH(bool, kept);
        Harness h(text);
        orvane::LoadTypes(h.g);
        h.g.NumberOfTypes = emptied ? 0 : h.g.NumberOfTypes;
        // Saved twice, as at a checkpoint and at exit: the copy is the store
        // as it was before the first.
        QVERIFY(orvane::SaveTypes(h.g) && orvane::SaveTypes(h.g));
        const QString copy = h.settingsPath() + u".bak"_s;
        QCOMPARE(QFileInfo::exists(copy) ? readFile(copy) : "(none)", kept ? text : "(none)");
    }
};

QTEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
