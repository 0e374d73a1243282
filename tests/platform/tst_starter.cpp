// Starting programs for real: the arguments the started program receives,
// failing starts, and what the started program inherits.

#include "platform/failure.h"
#include "platform/system_starter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#include <sys/wait.h>
#include <unistd.h>

using orvane::platform::Failure;
using orvane::platform::SystemStarter;

class TestStarter : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int outputs_ = 0;
    SystemStarter starter_;

    // Starts `program` with ORVANE_ARGSTUB_OUT naming a fresh file and
    // returns the arguments the argument stub wrote there.
    QStringList startStub(const QString& program, const QStringList& arguments)
    {
        QFile out(dir_.filePath(QStringLiteral("out%1").arg(++outputs_)));
        qputenv("ORVANE_ARGSTUB_OUT", QFile::encodeName(out.fileName()));
        starter_.start(program, arguments);
        for (QDeadlineTimer deadline(10000); !out.exists() && !deadline.hasExpired();) {
            QThread::msleep(10);
        }
        if (!out.open(QIODevice::ReadOnly)) {
            return {QStringLiteral("<nothing written>")};
        }
        QStringList written = QString::fromUtf8(out.readAll()).split(QChar(u'\0'));
        written.removeLast(); // each argument ends with a NUL: nothing follows the last one
        return written;
    }

private Q_SLOTS:
    void cleanup()
    {
        // Once the event loop has run, every started program that has
        // ended has been waited for: no child and no zombie is left. WNOWAIT
        // keeps the check itself from waiting for any.
        const auto noChild = [] {
            siginfo_t info{};
            return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
        };
        QTRY_VERIFY_WITH_TIMEOUT(noChild(), 10000);
    }

    void argumentsArriveUnchanged()
    {
        // A program path with blanks is one path, not a command line.
        const QString stub = dir_.filePath(QStringLiteral("folder with blank/arg stub"));
        QVERIFY(QDir().mkpath(QFileInfo(stub).path()) && QFile::copy(QStringLiteral(ORVANE_ARGSTUB), stub));
        // Split at "|"; the empty one between "||" is an argument too.
        const QStringList arguments =
            QString::fromUtf8("my file.txt|  two  blanks  |say \"hi\".txt|it's.txt|$HOME|"
                              "a;b|one\ntwo|-rf|Grüße 日本.txt||*|`date` $(date)")
                .split(u'|');
        QCOMPARE(startStub(stub, arguments), arguments);
    }

    void desktopEntriesGetTheirFiles()
    {
        // The entry's own options come first, then each file where its code
        // stands; a path with blanks stays one argument.
        const QString entry = dir_.filePath(QStringLiteral("viewer app.desktop"));
        QFile out(entry);
        const QByteArray lines = "[Desktop Entry]\nType=Application\nName=Viewer\nExec=\"" +
                                 QByteArray(ORVANE_ARGSTUB) + "\" --read-only %F --last\n";
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(lines) == lines.size());
        out.close();
        const QStringList files = {dir_.filePath(QStringLiteral("my file.txt")),
                                   QStringLiteral("/tmp/it's.txt")};
        QCOMPARE(startStub(entry, files), QStringList({QStringLiteral("--read-only"), files.at(0),
                                                       files.at(1), QStringLiteral("--last")}));
    }

    void failingStartsThrowAtOnce()
    {
        const QString notExecutable = dir_.filePath(QStringLiteral("not executable"));
        QVERIFY(QFile::copy(QStringLiteral(ORVANE_ARGSTUB), notExecutable) &&
                QFile::setPermissions(notExecutable, QFile::ReadOwner | QFile::WriteOwner));
        const QString missing = dir_.filePath(QStringLiteral("no such program"));
        // Desktop entries that cannot be started: gone, not an entry,
        // hidden, or naming a program that is not there.
        const auto entry = [this](const char* name, const QByteArray& lines) {
            const QString file = dir_.filePath(QString::fromUtf8(name));
            QFile out(file);
            if (!out.open(QIODevice::WriteOnly) || out.write(lines) != lines.size()) {
                return QStringLiteral("<not written>");
            }
            return file;
        };
        const QByteArray head = "[Desktop Entry]\nType=Application\nName=Test\n";
        const QByteArray stubLine = "Exec=" + QByteArray(ORVANE_ARGSTUB) + " %f\n";
        const std::pair<QString, int> cases[] = {
            {missing, ENOENT},
            {QString(), ENOENT},
            {dir_.path(), EACCES},
            {notExecutable, EACCES},
            {dir_.filePath(QStringLiteral("gone.desktop")), ENOENT},
            {entry("garbage.desktop", "not an entry at all\n"), ENOENT},
            {entry("link.desktop", "[Desktop Entry]\nType=Link\nName=Test\nURL=file:///\n"), ENOENT},
            {entry("hidden.desktop", head + stubLine + "Hidden=true\n"), ENOENT},
            {entry("no program.desktop", head + "Exec=/nonexistent/orvane-app %f\n"), ENOENT}};
        for (const auto& [program, expected] : cases) {
            QElapsedTimer timer;
            timer.start();
            int number = 0;
            try {
                starter_.start(program, {QStringLiteral("file.txt")});
            } catch (const Failure& failure) {
                number = failure.number();
            }
            const qint64 took = timer.elapsed();
            const QString what =
                QStringLiteral("\"%1\": number %2 after %3 ms").arg(program).arg(number).arg(took);
            QVERIFY2(number == expected && took < 500, qPrintable(what));
        }
    }

    void startsWithDefaultSignalsInASessionOfItsOwn()
    {
        // What we block or ignore is not handed on.
        sigset_t blocked;
        sigset_t previous;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR1);
        QCOMPARE(::pthread_sigmask(SIG_BLOCK, &blocked, &previous), 0);
        const auto oldHandler = ::signal(SIGUSR2, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            ::signal(SIGUSR2, oldHandler);
            ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        });
        const QStringList script = {
            QStringLiteral("-c"),
            QStringLiteral(
                "exec \"$0\" $(grep -E '^Sig(Blk|Ign)' /proc/$$/status) $(cut -d' ' -f1,6 /proc/$$/stat)"),
            QStringLiteral(ORVANE_ARGSTUB)};
        const QStringList seen = startStub(QStringLiteral("/bin/sh"), script);
        // Signals 32 and 33 belong to the C library, which starts programs
        // with them ignored.
        const quint64 libraryOwn = (quint64{1} << 31) | (quint64{1} << 32);
        QCOMPARE(seen.value(0) + seen.value(2), QStringLiteral("SigBlk:SigIgn:"));
        QCOMPARE(seen.value(1).toULongLong(nullptr, 16), quint64{0});
        QCOMPARE(seen.value(3).toULongLong(nullptr, 16) & ~libraryOwn, quint64{0});
        QCOMPARE(seen.value(4), seen.value(5)); // its session is its own: the session id is its process id
    }

    void onlyStandardStreamsAreInherited()
    {
        QCOMPARE(::dup2(STDERR_FILENO, 100), 100); // open and inheritable
        const auto closeIt = qScopeGuard([] { ::close(100); });
        // The shell hands the stub the descriptors ls finds open: at most the
        // three standard streams and the folder ls is reading.
        const QStringList script = {QStringLiteral("-c"), QStringLiteral("exec \"$0\" $(ls /proc/self/fd)"),
                                    QStringLiteral(ORVANE_ARGSTUB)};
        const QStringList open = startStub(QStringLiteral("/bin/sh"), script);
        QVERIFY2(!open.isEmpty() &&
                     std::all_of(open.begin(), open.end(), [](const QString& fd) { return fd.toInt() <= 3; }),
                 qPrintable(open.join(u' ')));
    }
};

QTEST_GUILESS_MAIN(TestStarter)
#include "tst_starter.moc"
