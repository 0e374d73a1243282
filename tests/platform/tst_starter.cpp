// Starting programs and desktop entries for real, and the desktop's file
// associations: what the started program receives and inherits, and the
// application the desktop names for a file.

#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/failure.h"
#include "platform/filenames.h"
#include "platform/system_associations.h"
#include "platform/system_starter.h"
#include "support/scripted.h"

using namespace orvane::platform;
using namespace Qt::StringLiterals;
using orvane::test::writeFile;

namespace {

const QString kStub = QStringLiteral(ORVANE_ARGSTUB);
constexpr char kChildFlag[] = "--assoc-child";

// A table of one column, "cells": each row split at "|", its first cell naming it.
void table(std::initializer_list<const char*> rows)
{
    QTest::addColumn<QStringList>("cells");
    for (const char* row : rows)
        QTest::newRow(QByteArray(row).split('|')[0].constData()) << QString::fromUtf8(row).split(u'|').mid(1);
}

} // namespace

class TestStarter : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int outputs_ = 0;
    SystemStarter starter_;

    // Starts the program with ORVANE_ARGSTUB_OUT naming a fresh file and
    // returns the arguments the argument stub wrote there.
    QStringList startStub(const QString& program, const QStringList& arguments)
    {
        const QString out = dir_.filePath(u"out%1"_s.arg(++outputs_));
        qputenv("ORVANE_ARGSTUB_OUT", QFile::encodeName(out));
        starter_.start(program, arguments);
        static_cast<void>(QTest::qWaitFor([&out] { return QFile::exists(out); }, 10000));
        return orvane::test::stubArguments(out);
    }

private Q_SLOTS:
    void cleanup()
    {
        // Every started program that has ended has been waited for once the
        // event loop ran: no zombie is left. WNOWAIT waits for none itself.
        siginfo_t info{};
        QTRY_VERIFY_WITH_TIMEOUT(
            ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD, 10000);
    }

    void theProgramGetsItsArgumentsUnchangedAndNothingElseOfOurs()
    {
        // A program path with blanks is one path, not a command line; the
        // empty argument is an argument too.
        const QString stub = dir_.filePath(u"folder with blank/arg stub"_s);
        QVERIFY(QDir().mkpath(QFileInfo(stub).path()) && QFile::copy(kStub, stub));
        const QStringList arguments =
            u"my file.txt|  two  blanks  |say \"hi\".txt|it's.txt|$HOME|a;b|one\ntwo|-rf|"
            "Grüße 日本.txt||*|`date` $(date)"_s.split(u'|');
        QCOMPARE(startStub(stub, arguments), arguments);
        // A name that is not UTF-8 arrives as its own bytes.
        startStub(stub, {fromNativeName("caf\xe9.txt")});
        QCOMPARE(orvane::test::readFile(dir_.filePath(u"out%1"_s.arg(outputs_))),
                 QByteArray("caf\xe9.txt") + '\0');
        // What we block or ignore, and descriptors beyond the standard
        // three, are not handed on.
        sigset_t blocked, previous;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        QCOMPARE(::pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
        const auto oldHandler = ::signal(SIGUSR2, SIG_IGN);
        QCOMPARE(::dup2(STDERR_FILENO, 100), 100);
        const auto restore = qScopeGuard([&] {
            ::close(100);
            ::signal(SIGUSR2, oldHandler);
            ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        });
        const QStringList seen = startStub(
            u"/bin/sh"_s,
            {u"-c"_s,
             u"exec \"$0\" $(grep -E '^Sig(Blk|Ign)' /proc/$$/status) $(cut -d' ' -f1,6 /proc/$$/stat) "
             "$(ls /proc/$$/fd)"_s,
             kStub});
        // Signals 32 and 33 belong to the C library, which starts programs with them ignored.
        const quint64 libraryOwn = (quint64{1} << 31) | (quint64{1} << 32);
        QCOMPARE(seen.value(0) + seen.value(2), u"SigBlk:SigIgn:"_s);
        QCOMPARE(seen.value(1).toULongLong(nullptr, 16), quint64{0});
        QCOMPARE(seen.value(3).toULongLong(nullptr, 16) & ~libraryOwn, quint64{0});
        QCOMPARE(seen.value(4), seen.value(5)); // its session id is its own process id
        QCOMPARE(seen.mid(6), QStringList({u"0"_s, u"1"_s, u"2"_s, u"3"_s})); // 3: the folder ls reads
    }

    void failingStartsThrowAtOnce_data()
    {
        // The program, in the test's own folder ("" for none at all), the
        // desktop entry's text written there ("" for none, STUB for the
        // argument stub's path) and the error's name.
        table({"missing|no such program||ENOENT", "no program|||ENOENT", "a folder|.||EACCES",
               "not executable|not executable|#!/bin/sh\n|EACCES", "entry gone|gone.desktop||ENOENT",
               "not an entry|garbage.desktop|not an entry at all\n|ENOENT",
               "a link entry|link.desktop|[Desktop Entry]\nType=Link\nName=Test\nURL=file:///\n|ENOENT",
               "hidden entry|hidden.desktop|[Desktop Entry]\nType=Application\nName=Test\n"
               "Exec=STUB %f\nHidden=true\n|ENOENT",
               "entry without its program|no program.desktop|[Desktop Entry]\nType=Application\nName=Test\n"
               "Exec=/nonexistent/orvane-app %f\n|ENOENT"});
    }

    void failingStartsThrowAtOnce()
    {
        QFETCH(QStringList, cells);
        const QString program = cells[0].isEmpty() ? QString() : QDir::cleanPath(dir_.filePath(cells[0]));
        QVERIFY(cells[1].isEmpty() || writeFile(program, cells[1].replace(u"STUB"_s, kStub).toUtf8()));
        QElapsedTimer timer;
        timer.start();
        int thrown = 0;
        try {
            starter_.start(program, {u"file.txt"_s});
        } catch (const Failure& failure) {
            thrown = failure.number();
        }
        QCOMPARE(QString::fromLatin1(strerrorname_np(thrown)), cells[2]);
        QCOMPARE_LT(timer.elapsed(), 500);
    }

    void theDesktopNamesTheApplication_data()
    {
        // The desktop entry's own keys, the application named for the file
        // (PROGRAM: the stub, ENTRY, or NONE), the arguments the started stub
        // writes (split at ","; "<nothing written>" when none is started)
        // and the file's name if not "notes.txt". In them, STUB stands for
        // the stub program's path (quoted in the entry), FILE for the file
        // and ENTRY for the desktop entry.
        table({"plain program and file|Exec=STUB %f|PROGRAM|FILE",
               "program alone gets the file|Exec=STUB|PROGRAM|FILE",
               "deprecated codes expand to nothing|Exec=STUB %d %f %m|PROGRAM|FILE",
               "options|Exec=STUB --new-window %U|ENTRY|--new-window,FILE",
               "env wrapper|Exec=env FOO=1 STUB %f|ENTRY|FILE",
               "terminal|Exec=STUB %f\nTerminal=true|ENTRY|-e,STUB,FILE",
               "two file codes|Exec=STUB %f %u|ENTRY|FILE",
               "icon, name and location codes|Exec=STUB %i %c %k %f\nIcon=orvane-test|ENTRY|"
               "--icon,orvane-test,Test,ENTRY,FILE",
               "program missing|Exec=/nonexistent/orvane-app %f|NONE|<nothing written>",
               "unknown type|Exec=STUB %f|NONE|<nothing written>|blob.zzqx",
               "type from content|Exec=STUB %f|PROGRAM|FILE|notes"});
    }

    void theDesktopNamesTheApplication()
    {
        QFETCH(QStringList, cells);
        QVERIFY2(QFile::exists(u"/usr/share/mime/mime.cache"_s), "no system MIME database");
        // A desktop of its own: its settings, one application, the system's
        // MIME database and a PATH of stubs only. The stub's name holds a blank.
        QTemporaryDir dir;
        const auto path = [&dir](const QString& relative) { return dir.filePath(relative); };
        const QString stub = path(u"stub app"_s), file = path(u"files/"_s + cells.value(3, u"notes.txt"_s));
        const QString entry = path(u"data/applications/test.desktop"_s), out = path(u"out"_s);
        QVERIFY(
            QFile::copy(kStub, stub) &&
            writeFile(file, file.endsWith(u"zzqx") ? QByteArray("\0\1\2\xfe\xff", 5) : "Some words.\n") &&
            writeFile(path(u"config/mimeapps.list"_s), "[Default Applications]\ntext/plain=test.desktop\n") &&
            writeFile(entry, "[Desktop Entry]\nType=Application\nName=Test\nMimeType=text/plain;\n" +
                                 cells[0].replace(u"STUB"_s, u'"' + stub + u'"').toUtf8() + '\n') &&
            QFile::link(u"/usr/share/mime"_s, path(u"data/mime"_s)) && QDir().mkpath(path(u"bin"_s)) &&
            QFile::copy(kStub, path(u"bin/xterm"_s)) && QFile::link(u"/usr/bin/env"_s, path(u"bin/env"_s)));
        QProcess child;
        child.start(u"env"_s,
                    {u"XDG_CONFIG_HOME="_s + path(u"config"_s), u"XDG_CONFIG_DIRS="_s + path(u"none"_s),
                     u"XDG_DATA_HOME="_s + path(u"none"_s), u"XDG_DATA_DIRS="_s + path(u"data"_s),
                     u"PATH="_s + path(u"bin"_s), u"ORVANE_ARGSTUB_OUT="_s + out,
                     QCoreApplication::applicationFilePath(), QString::fromLatin1(kChildFlag), file});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 cells[1].replace(u"PROGRAM"_s, stub).replace(u"ENTRY"_s, entry));
        const QStringList received =
            cells[2].replace(u"STUB"_s, stub).replace(u"FILE"_s, file).replace(u"ENTRY"_s, entry).split(u',');
        QTRY_COMPARE_WITH_TIMEOUT(orvane::test::stubArguments(out), received, 10000);
    }
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3 || std::strcmp(argv[1], kChildFlag) != 0) {
        TestStarter test;
        return QTest::qExec(&test, argc, argv);
    }
    // As the child: asks for the file's application in a fresh process (the
    // desktop's libraries cache what they read), prints the answer and opens
    // the file with it, as a double-click on the file does.
    const QString file = QFile::decodeName(argv[2]);
    const auto app = SystemAssociations().associatedApp(file);
    std::fputs(app ? qUtf8Printable(*app) : "NONE", stdout);
    try {
        if (app)
            SystemStarter().start(*app, {file});
    } catch (const Failure&) {
        std::fputs(" FAILED", stdout);
    }
    return 0;
}

#include "tst_starter.moc"
