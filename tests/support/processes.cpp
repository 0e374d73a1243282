#include "support/processes.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane::test {

using namespace Qt::StringLiterals;

namespace {

constexpr int kStartMs = 10000;

QString sysPath()
{
    return qEnvironmentVariable("PATH", QStringLiteral("/usr/bin:/bin"));
}

} // namespace

DisplayServer::DisplayServer(Kind kind, const QString& config)
{
    const QString log = dir_.filePath(QStringLiteral("server.log"));
    if (kind == Kind::X11) {
        // Xvfb picks a free display and writes its number to the pipe.
        int numbers[2];
        if (::pipe(numbers) != 0) {
            failure_ = QStringLiteral("no pipe");
            return;
        }
        ::fcntl(numbers[0], F_SETFD, FD_CLOEXEC);
        const bool started =
            spawn({QStringLiteral("Xvfb"), QStringLiteral("-displayfd"), QString::number(numbers[1]),
                   QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1024x768x24"),
                   QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")},
                  {u"PATH="_s + sysPath()}, numbers[1]);
        ::close(numbers[1]);
        // The number comes as "N\n", in as many writes as it likes.
        QByteArray number;
        char c = 0;
        pollfd wait{numbers[0], POLLIN, 0};
        while (started && !number.endsWith('\n') && ::poll(&wait, 1, kStartMs) == 1 &&
               ::read(numbers[0], &c, 1) == 1) {
            number += c;
        }
        ::close(numbers[0]);
        display_ = u':' + QString::fromLatin1(number).trimmed();
        if (!number.endsWith('\n')) {
            failure_ = QStringLiteral("Xvfb did not start (package xvfb)");
        }
        return;
    }
    // sway will not run as root: then it runs as nobody, in a folder of its
    // own that the test (root) still reaches through absolute paths.
    const QString runtime = dir_.filePath(QStringLiteral("sway"));
    QDir().mkpath(runtime);
    QFile file(runtime + QStringLiteral("/config"));
    file.open(QIODevice::WriteOnly);
    file.write(
        "xwayland disable\noutput HEADLESS-1 resolution 1024x768 position 0 0\n"
        "default_border none\ndefault_floating_border none\nfor_window [title=\".*\"] floating enable\n" +
        config.toUtf8() + '\n');
    file.close();
    QStringList command = {QStringLiteral("sway"), QStringLiteral("-c"), file.fileName()};
    if (::geteuid() == 0) {
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0711);
        ::chown(QFile::encodeName(runtime).constData(), 65534, 65534);
        ::chown(QFile::encodeName(file.fileName()).constData(), 65534, 65534);
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                              QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups")} +
                  command;
    }
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    if (!spawn(command, {u"PATH="_s + sysPath(), u"HOME="_s + runtime, u"XDG_RUNTIME_DIR="_s + runtime,
                         QStringLiteral("WLR_BACKENDS=headless"), QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1"),
                         QStringLiteral("WLR_RENDERER=pixman")})) {
        failure_ = QStringLiteral("sway could not be started (package sway)");
        return;
    }
    for (QDeadlineTimer deadline(kStartMs); !deadline.hasExpired(); QThread::msleep(50)) {
        const QDir folder(runtime);
        const QStringList wayland = folder.entryList({QStringLiteral("wayland-?")}, QDir::System);
        const QStringList ipc = folder.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (!wayland.isEmpty() && !ipc.isEmpty()) {
            display_ = folder.filePath(wayland.constFirst());
            swaySocket_ = folder.filePath(ipc.constFirst());
            return;
        }
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
    }
    failure_ = QStringLiteral("sway did not start headless (see %1)").arg(log);
}

DisplayServer::Kind DisplayServer::kindFromEnvironment()
{
    return qEnvironmentVariable("ORVANE_TEST_DISPLAY") == u"wayland"_s ? Kind::Wayland : Kind::X11;
}

bool DisplayServer::spawn(const QStringList& command, const QStringList& environment, int keepFd)
{
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    const QByteArray log = QFile::encodeName(dir_.filePath(QStringLiteral("server.log")));
    ::posix_spawn_file_actions_addopen(&actions, 1, log.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (keepFd < 0) {
        ::posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    }
    QList<QByteArray> bytes;
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (const QString& s : command) {
        argv.push_back(bytes.emplace_back(s.toLocal8Bit()).data());
    }
    for (const QString& s : environment) {
        envp.push_back(bytes.emplace_back(s.toLocal8Bit()).data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    ::setenv("PATH", qPrintable(sysPath()), 0);
    const int error = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        pid_ = -1;
    }
    return error == 0;
}

DisplayServer::~DisplayServer()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

void DisplayServer::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void DisplayServer::signal(int number) const
{
    if (pid_ > 0) {
        ::kill(pid_, number);
    }
}

void DisplayServer::applyTo(QProcessEnvironment& environment) const
{
    const bool x11 = swaySocket_.isEmpty();
    environment.remove(x11 ? QStringLiteral("WAYLAND_DISPLAY") : QStringLiteral("DISPLAY"));
    environment.insert(x11 ? QStringLiteral("DISPLAY") : QStringLiteral("WAYLAND_DISPLAY"), display_);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"),
                       x11 ? QStringLiteral("xcb") : QStringLiteral("wayland"));
    if (!x11) {
        environment.insert(QStringLiteral("SWAYSOCK"), swaySocket_);
    }
}

void DisplayServer::applyToThisProcess() const
{
    QProcessEnvironment environment;
    applyTo(environment);
    qunsetenv(swaySocket_.isEmpty() ? "WAYLAND_DISPLAY" : "DISPLAY");
    for (const QString& name : environment.keys()) {
        qputenv(name.toLocal8Bit().constData(), environment.value(name).toLocal8Bit());
    }
}

// ------------------------------------------------------------ the program

ProgramRun::ProgramRun(const DisplayServer& display, const QByteArray& store)
    : environment(QProcessEnvironment::systemEnvironment())
{
    for (const char* name : {"SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORMTHEME",
                             "XDG_CURRENT_DESKTOP", "DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN"}) {
        environment.remove(QString::fromLatin1(name));
    }
    const QString root = home.path();
    for (const char* name : {"config", "data", "cache", "runtime"}) {
        QDir().mkpath(root + u'/' + QString::fromLatin1(name));
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(QStringLiteral("HOME"), root);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    display.applyTo(environment);
    if (!store.isEmpty()) {
        QDir().mkpath(QFileInfo(storePath()).path());
        QFile file(storePath());
        file.open(QIODevice::WriteOnly);
        file.write(store);
    }
    process.setProcessChannelMode(QProcess::ForwardedChannels);
}

bool ProgramRun::start(const QString& program, bool waitUntilReady)
{
    process.setProcessEnvironment(environment);
    process.start(program, {});
    return process.waitForStarted(kStartMs) && (!waitUntilReady || ready());
}

bool ProgramRun::ready()
{
    // Once SIGTERM is caught: the program handles it from when its window
    // is shown.
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    for (QDeadlineTimer deadline(kStartMs); !deadline.hasExpired(); QThread::msleep(20)) {
        QFile file(status);
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (line.startsWith("SigCgt:") &&
                (line.mid(7).trimmed().toULongLong(nullptr, 16) & (1U << (SIGTERM - 1)))) {
                QThread::msleep(200); // the watches set up right after
                return true;
            }
        }
    }
    return false;
}

QByteArray ProgramRun::store() const
{
    QFile file(storePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ProgramRun::saved() const
{
    return store().contains("Number%20Of%20Types=");
}

int ProgramRun::endWith(int signal, int waitMs)
{
    ::kill(static_cast<pid_t>(process.processId()), signal);
    if (!process.waitForFinished(waitMs) || process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return process.exitCode();
}

} // namespace orvane::test
