// Starting programs for real: the arguments the started program receives,
// how programs are found, how failing starts are reported, and what the
// started program inherits.

#include "platform/failure.h"
#include "platform/system_starter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#ifndef Q_OS_WIN
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using orvane::platform::Failure;
using orvane::platform::SystemStarter;

namespace {

const QString kStub = QString::fromUtf8(ORVANE_ARGSTUB);

#ifndef Q_OS_WIN

// Puts an environment variable back as it was when leaving the scope.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const char* name)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), value_(qgetenv(name))
    {
    }
    ~EnvironmentGuard()
    {
        if (wasSet_) {
            qputenv(name_, value_);
        } else {
            qunsetenv(name_);
        }
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* name_;
    bool wasSet_;
    QByteArray value_;
};

// Waits until a started program has produced `path`; false after 10 s.
bool waitForFile(const QString& path)
{
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(path)) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(10);
    }
    return true;
}

// The arguments the stub wrote: each one ends with a NUL byte.
QStringList stubArguments(const QString& path)
{
    if (!waitForFile(path)) {
        return {QStringLiteral("<the program wrote nothing>")};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {QStringLiteral("<unreadable output>")};
    }
    const QByteArray bytes = file.readAll();
    if (!bytes.isEmpty() && !bytes.endsWith('\0')) {
        return {QStringLiteral("<unterminated output>")};
    }
    QStringList arguments;
    qsizetype begin = 0;
    while (begin < bytes.size()) {
        const qsizetype end = bytes.indexOf('\0', begin);
        arguments.append(QString::fromUtf8(bytes.mid(begin, end - begin)));
        begin = end + 1;
    }
    return arguments;
}

QString copyProgram(const QString& from, const QString& to, QFile::Permissions permissions)
{
    QDir().mkpath(QFileInfo(to).path());
    if (!QFile::copy(from, to) || !QFile::setPermissions(to, permissions)) {
        return {};
    }
    return to;
}

constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::ExeOther;
constexpr QFile::Permissions kNotExecutable =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;

#endif

} // namespace

class TestStarter : public QObject {
    Q_OBJECT

private Q_SLOTS:
#ifdef Q_OS_WIN
    void missingProgramFails();
#else
    void init();
    void cleanup();
    void argumentsArriveIntact();
    void programIsFoundAsNamed();
    void failingStartsThrowAtOnce();
    void programIsDetached();
    void programStartsWithCleanState();

private:
    // Starts `program` with ORVANE_ARGSTUB_OUT naming a fresh file and
    // returns the arguments the stub wrote there.
    QStringList startStub(const QString& program, const QStringList& arguments);
    // Runs a /bin/sh script whose standard output becomes the result.
    QString runScript(const QString& script);
    QString freshOutput();

    std::unique_ptr<QTemporaryDir> dir_;
    int outputs_ = 0;
#endif
};

#ifdef Q_OS_WIN

void TestStarter::missingProgramFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    try {
        SystemStarter().start(dir.filePath(QStringLiteral("no such program.exe")), {});
        QFAIL("a missing program was started");
    } catch (const Failure& failure) {
        QCOMPARE(failure.number(), 2);
    }
}

#else

void TestStarter::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestStarter::cleanup()
{
    dir_.reset();
}

QString TestStarter::freshOutput()
{
    return dir_->filePath(QStringLiteral("out%1").arg(++outputs_));
}

QStringList TestStarter::startStub(const QString& program, const QStringList& arguments)
{
    const QString output = freshOutput();
    qputenv("ORVANE_ARGSTUB_OUT", QFile::encodeName(output));
    SystemStarter().start(program, arguments);
    return stubArguments(output);
}

QString TestStarter::runScript(const QString& script)
{
    const QString output = freshOutput();
    // Written aside and then renamed, so it is never read half written.
    const QString wrapped = QStringLiteral("{ %1 ; } > \"$0.part\" && mv \"$0.part\" \"$0\"").arg(script);
    SystemStarter().start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), wrapped, output});
    if (!waitForFile(output)) {
        return QStringLiteral("<the script wrote nothing>");
    }
    QFile file(output);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("<unreadable output>");
    }
    return QString::fromUtf8(file.readAll());
}

void TestStarter::argumentsArriveIntact()
{
    const QStringList arguments = {
        QStringLiteral("my file.txt"),
        QStringLiteral("  two  blanks  "),
        QStringLiteral("say \"hi\".txt"),
        QStringLiteral("it's.txt"),
        QStringLiteral("$HOME"),
        QStringLiteral("a;b"),
        QStringLiteral("line one\nline two"),
        QStringLiteral("-rf"),
        QString::fromUtf8("Grüße ü 日本.txt"),
        QString(),
        QStringLiteral("*"),
        QStringLiteral("back\\slash"),
        QStringLiteral("`date` $(date)"),
        QStringLiteral("a|b&c>d<e"),
        QStringLiteral("tab\there"),
    };
    QCOMPARE(startStub(kStub, arguments), arguments);

    // Each alone, too: nothing may be split or joined with a neighbour.
    for (const QString& argument : arguments) {
        QCOMPARE(startStub(kStub, {argument}), QStringList{argument});
    }
    QCOMPARE(startStub(kStub, {}), QStringList{});
}

void TestStarter::programIsFoundAsNamed()
{
    // A path with blanks is one path, not a command line.
    const QString spaced =
        copyProgram(kStub, dir_->filePath(QStringLiteral("folder with blank/arg stub")), kExecutable);
    QVERIFY(!spaced.isEmpty());
    QCOMPARE(startStub(spaced, {QStringLiteral("x y")}), QStringList{QStringLiteral("x y")});

    // A bare name is looked up in PATH; a folder holding a non-executable
    // file of that name does not end the search.
    const QString name = QStringLiteral("orvane-argstub");
    const QString first = dir_->filePath(QStringLiteral("first"));
    const QString second = dir_->filePath(QStringLiteral("second"));
    QVERIFY(!copyProgram(kStub, first + u'/' + name, kNotExecutable).isEmpty());
    QVERIFY(!copyProgram(kStub, second + u'/' + name, kExecutable).isEmpty());
    const EnvironmentGuard path("PATH");
    qputenv("PATH", QFile::encodeName(first + u':' + second) + ':' + qgetenv("PATH"));
    QCOMPARE(startStub(name, {QStringLiteral("found")}), QStringList{QStringLiteral("found")});

    // A relative path with a "/" is taken from the working folder, not PATH.
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(second));
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
    QCOMPARE(startStub(QStringLiteral("./") + name, {QStringLiteral("here")}),
             QStringList{QStringLiteral("here")});
}

void TestStarter::failingStartsThrowAtOnce()
{
    const QString notExecutable =
        copyProgram(kStub, dir_->filePath(QStringLiteral("not executable")), kNotExecutable);
    QVERIFY(!notExecutable.isEmpty());

    // Executable, but no program: it must not be handed to a shell instead.
    const QString script = dir_->filePath(QStringLiteral("script"));
    const QString marker = dir_->filePath(QStringLiteral("script ran"));
    {
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArrayLiteral("touch \"") + QFile::encodeName(marker) + "\"\n");
    }
    QVERIFY(QFile::setPermissions(script, kExecutable));

    struct Case {
        const char* what;
        QString program;
        QStringList arguments;
        int number;
    };
    const QStringList anArgument = {QStringLiteral("file.txt")};
    const Case cases[] = {
        {"missing program", dir_->filePath(QStringLiteral("no such program")), anArgument, ENOENT},
        {"empty name", QString(), anArgument, ENOENT},
        {"folder", dir_->path(), anArgument, EACCES},
        {"no execute permission", notExecutable, anArgument, EACCES},
        {"not a program", script, anArgument, ENOEXEC},
        {"name not in PATH", QStringLiteral("orvane-no-such-program-zq"), anArgument, ENOENT},
        {"NUL in an argument", kStub, {QStringLiteral("a") + QChar(0) + QStringLiteral("b")}, EINVAL},
    };
    for (const Case& c : cases) {
        QElapsedTimer timer;
        timer.start();
        bool thrown = false;
        try {
            SystemStarter().start(c.program, c.arguments);
        } catch (const Failure& failure) {
            thrown = true;
            QVERIFY2(failure.number() == c.number, qPrintable(QStringLiteral("%1: number %2, expected %3")
                                                                  .arg(QString::fromLatin1(c.what))
                                                                  .arg(failure.number())
                                                                  .arg(c.number)));
            QVERIFY2(!failure.description().isEmpty(), c.what);
        }
        QVERIFY2(thrown, c.what);
        QVERIFY2(timer.elapsed() < 1000, c.what);
    }
    QThread::msleep(200);
    QVERIFY2(!QFile::exists(marker), "a script without \"#!\" was run by a shell");
}

void TestStarter::programIsDetached()
{
    QElapsedTimer timer;
    timer.start();
    // Still running for 2 s; it lets go of our streams so that whoever
    // runs this test does not wait for it.
    SystemStarter().start(QStringLiteral("/bin/sh"),
                          {QStringLiteral("-c"), QStringLiteral("exec sleep 2 </dev/null >/dev/null 2>&1")});
    QVERIFY2(timer.elapsed() < 1000, "start waited for the program");
    QCOMPARE(startStub(kStub, {QStringLiteral("done")}), QStringList{QStringLiteral("done")});

    // Neither the running program, nor the one that ended, nor any helper
    // process is a child of ours: nothing to wait for, no zombie left.
    int status = 0;
    errno = 0;
    const pid_t child = ::waitpid(-1, &status, WNOHANG);
    QCOMPARE(child, pid_t(-1));
    QCOMPARE(errno, ECHILD);
}

void TestStarter::programStartsWithCleanState()
{
    // An inheritable descriptor of ours stays with us.
    const int opened = ::open("/dev/null", O_RDONLY);
    QVERIFY(opened >= 0);
    const int leaked = ::dup2(opened, 100);
    ::close(opened);
    QCOMPARE(leaked, 100);
    {
        const auto closeLeaked = qScopeGuard([leaked] { ::close(leaked); });
        const QStringList listed =
            runScript(QStringLiteral("ls /proc/self/fd")).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(listed.contains(QStringLiteral("2")), qPrintable(listed.join(u' ')));
        for (const QString& entry : listed) {
            // 0 to 2 are the standard streams, 3 is the folder ls reads.
            QVERIFY2(entry.toInt() <= 3, qPrintable(listed.join(u' ')));
        }
    }

    // Blocked and ignored signals are not passed on.
    sigset_t blocked;
    sigset_t previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    QCOMPARE(::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask), 0);
    struct sigaction ignore {};
    struct sigaction previousTerm {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    QCOMPARE(::sigaction(SIGTERM, &ignore, &previousTerm), 0);
    {
        const auto restore = qScopeGuard([&] {
            ::sigaction(SIGTERM, &previousTerm, nullptr);
            ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
        });
        const QString status = runScript(QStringLiteral("grep -E '^Sig(Blk|Ign):' /proc/self/status"));
        QCOMPARE(status, QStringLiteral("SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n"));
    }

    // The working folder and the environment are the caller's.
    const QString folder = dir_->filePath(QStringLiteral("work folder"));
    QVERIFY(QDir().mkpath(folder));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
    const EnvironmentGuard mark("ORVANE_TEST_MARK");
    qputenv("ORVANE_TEST_MARK", "a b;$c");
    QCOMPARE(runScript(QStringLiteral("pwd -P; printf '%s' \"$ORVANE_TEST_MARK\"")),
             QDir(folder).canonicalPath() + QStringLiteral("\na b;$c"));
}

#endif

QTEST_GUILESS_MAIN(TestStarter)
#include "tst_starter.moc"
