// Starting programs for real: the arguments the started program receives,
// failing starts, and what the started program inherits.

#include "platform/failure.h"
#include "platform/system_starter.h"
#include "support/scripted.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

#include <sys/wait.h>
#include <unistd.h>

using orvane::platform::Failure;
using orvane::platform::SystemStarter;
using orvane::test::writeFile;

class TestStarter : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int outputs_ = 0;
    SystemStarter starter_;

    // Starts `program` with ORVANE_ARGSTUB_OUT naming a fresh file and
    // returns the arguments the argument stub wrote there.
    QStringList startStub(const QString& program, const QStringList& arguments)
    {
        const QString out = dir_.filePath(QStringLiteral("out%1").arg(++outputs_));
        qputenv("ORVANE_ARGSTUB_OUT", QFile::encodeName(out));
        starter_.start(program, arguments);
        for (QDeadlineTimer deadline(10000); !QFile::exists(out) && !deadline.hasExpired();) {
            QThread::msleep(10);
        }
        return orvane::test::stubArguments(out);
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
        // The empty one is an argument too.
        const QStringList arguments = {QStringLiteral("my file.txt"),
                                       QStringLiteral("  two  blanks  "),
                                       QStringLiteral("say \"hi\".txt"),
                                       QStringLiteral("it's.txt"),
                                       QStringLiteral("$HOME"),
                                       QStringLiteral("a;b"),
                                       QStringLiteral("one\ntwo"),
                                       QStringLiteral("-rf"),
                                       QString::fromUtf8("Grüße 日本.txt"),
                                       QString(),
                                       QStringLiteral("*"),
                                       QStringLiteral("`date` $(date)")};
        QCOMPARE(startStub(stub, arguments), arguments);
    }

    void desktopEntriesGetTheirFiles()
    {
        // The entry's own options come first, then each file where its code
        // stands; a path with blanks stays one argument.
        const QString entry = dir_.filePath(QStringLiteral("viewer app.desktop"));
        QVERIFY(writeFile(entry, "[Desktop Entry]\nType=Application\nName=Viewer\nExec=\"" +
                                     QByteArray(ORVANE_ARGSTUB) + "\" --read-only %F --last\n"));
        const QStringList files = {dir_.filePath(QStringLiteral("my file.txt")),
                                   QStringLiteral("/tmp/it's.txt")};
        QCOMPARE(startStub(entry, files), QStringList({QStringLiteral("--read-only"), files.at(0),
                                                       files.at(1), QStringLiteral("--last")}));
    }

    void failingStartsThrowAtOnce_data()
    {
        QTest::addColumn<QString>("program");  // in the test's own folder; "" for none at all
        QTest::addColumn<QByteArray>("entry"); // the desktop entry's text written there; "" for none
        QTest::addColumn<int>("number");

        const QByteArray head = "[Desktop Entry]\nType=Application\nName=Test\n";
        const QByteArray stubLine = "Exec=" + QByteArray(ORVANE_ARGSTUB) + " %f\n";
        QTest::newRow("missing") << "no such program" << QByteArray() << ENOENT;
        QTest::newRow("no program") << "" << QByteArray() << ENOENT;
        QTest::newRow("a folder") << "." << QByteArray() << EACCES;
        QTest::newRow("not executable") << "not executable" << QByteArray() << EACCES;
        QTest::newRow("entry gone") << "gone.desktop" << QByteArray() << ENOENT;
        QTest::newRow("not an entry") << "garbage.desktop" << QByteArray("not an entry at all\n") << ENOENT;
        QTest::newRow("a link entry")
            << "link.desktop" << QByteArray("[Desktop Entry]\nType=Link\nName=Test\nURL=file:///\n")
            << ENOENT;
        QTest::newRow("hidden entry") << "hidden.desktop" << (head + stubLine + "Hidden=true\n") << ENOENT;
        QTest::newRow("entry without its program")
            << "no program.desktop" << (head + "Exec=/nonexistent/orvane-app %f\n") << ENOENT;
    }

    void failingStartsThrowAtOnce()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, entry);
        QFETCH(int, number);
        const QString notExecutable = dir_.filePath(QStringLiteral("not executable"));
        QVERIFY(
            (QFile::exists(notExecutable) || QFile::copy(QStringLiteral(ORVANE_ARGSTUB), notExecutable)) &&
            QFile::setPermissions(notExecutable, QFile::ReadOwner | QFile::WriteOwner));
        if (!program.isEmpty()) {
            program = QDir::cleanPath(dir_.filePath(program));
        }
        QVERIFY(entry.isEmpty() || writeFile(program, entry));
        QElapsedTimer timer;
        timer.start();
        int thrown = 0;
        try {
            starter_.start(program, {QStringLiteral("file.txt")});
        } catch (const Failure& failure) {
            thrown = failure.number();
        }
        QCOMPARE(thrown, number);
        QCOMPARE_LT(timer.elapsed(), 500);
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
