#include "support/processes.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <csignal>
#include <cstdio>

#include <unistd.h>

namespace orvane::test {

using namespace Qt::StringLiterals;

constexpr int kStartMs = 10000;

DisplayServer::DisplayServer(Kind kind, const QByteArray& config)
    : environment_(QProcessEnvironment::systemEnvironment())
{
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (kind == Kind::X11) {
        // Xvfb picks a free display and tells its number on standard output.
        server_.start(u"Xvfb"_s, u"-displayfd 1 -screen 0 1024x768x24 -nolisten tcp -noreset"_s.split(u' '));
        if (!QTest::qWaitFor([this] { return server_.canReadLine(); }, kStartMs))
            failure_ = u"Xvfb did not start (package xvfb)"_s;
        environment_.insert(u"DISPLAY"_s, u':' + QString::fromLatin1(server_.readLine().trimmed()));
        environment_.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment_.remove(u"WAYLAND_DISPLAY"_s);
        return;
    }
    // sway will not run as root: then it runs as nobody, in a folder of its
    // own that the test (root) still reaches through absolute paths; nothing
    // of this session reaches it.
    const QString runtime = dir_.filePath(u"sway"_s);
    writeFile(runtime + u"/config"_s, "xwayland disable\noutput HEADLESS-1 resolution 1024x768 position 0 0\n"
                                      "default_border none\nfor_window [title=\".*\"] floating enable\n" +
                                          config);
    QStringList command =
        u"env -i HOME=%1 XDG_RUNTIME_DIR=%1 WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 "
        u"WLR_RENDERER=pixman sway -c %1/config"_s.arg(runtime)
            .split(u' ');
    command.insert(2, u"PATH="_s + environment_.value(u"PATH"_s));
    if (::geteuid() == 0) {
        QFile::setPermissions(dir_.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
        QProcess::execute(u"chown"_s, {u"-R"_s, u"nobody"_s, runtime});
        command = u"setpriv --reuid=nobody --regid=nogroup --clear-groups"_s.split(u' ') + command;
    }
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    server_.start(command.takeFirst(), command);
    QStringList sockets; // sway's and the display's, in this order
    for (QDeadlineTimer deadline(kStartMs);
         sockets.size() < 2 && !deadline.hasExpired() && server_.state() != QProcess::NotRunning;
         QTest::qWait(50))
        sockets = QDir(runtime).entryList({u"wayland-?"_s, u"sway-ipc.*.sock"_s}, QDir::System, QDir::Name);
    if (sockets.size() != 2) {
        failure_ = u"sway did not start headless (package sway)"_s;
        return;
    }
    environment_.insert(u"SWAYSOCK"_s, runtime + u'/' + sockets.at(0));
    environment_.insert(u"WAYLAND_DISPLAY"_s, runtime + u'/' + sockets.at(1));
    environment_.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
    environment_.remove(u"DISPLAY"_s);
    // wtype's virtual keyboard, kept while it waits an hour; ready once sway
    // lists it.
    keyboard_.setProcessEnvironment(environment_);
    keyboard_.start(u"wtype"_s, {u"-s"_s, u"3600000"_s});
    QProcess ask;
    ask.setProcessEnvironment(environment_);
    ask.start(u"timeout"_s, {u"10"_s, u"sh"_s, u"-c"_s,
                             u"until swaymsg -t get_inputs | grep -q keyboard; do sleep 0.05; done"_s});
    ask.waitForFinished();
}

void DisplayServer::stop(bool now)
{
    for (QProcess* process : {&keyboard_, &server_}) {
        now ? process->kill() : process->terminate();
        process->waitForFinished();
    }
}

void DisplayServer::applyTo(QProcessEnvironment& environment) const
{
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"SWAYSOCK"_s, u"QT_QPA_PLATFORM"_s})
        environment_.contains(name) ? environment.insert(name, environment_.value(name))
                                    : environment.remove(name);
}

int DisplayServer::runOnOwnServer(int argc, char** argv, const QByteArray& config)
{
    if (qEnvironmentVariableIsSet("ORVANE_TEST_SERVER"))
        return -1;
    const QCoreApplication app(argc, argv);
    const DisplayServer display(
        qEnvironmentVariable("ORVANE_TEST_DISPLAY") == u"wayland"_s ? Kind::Wayland : Kind::X11, config);
    if (!display.failure().isEmpty()) {
        std::printf("SKIP: %s\n", qPrintable(display.failure()));
        return 77;
    }
    QProcess test;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    display.applyTo(environment);
    environment.insert(u"ORVANE_TEST_SERVER"_s, QString::number(display.server_.processId()));
    test.setProcessEnvironment(environment);
    test.setProcessChannelMode(QProcess::ForwardedChannels);
    test.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    return test.waitForFinished(-1) && test.exitStatus() == QProcess::NormalExit ? test.exitCode() : 1;
}

// ------------------------------------------------------------ the program

ProgramRun::ProgramRun(const DisplayServer* display, const QByteArray& store)
    : environment(QProcessEnvironment::systemEnvironment())
{
    for (const QString& name :
         {u"SESSION_MANAGER"_s, u"DBUS_SESSION_BUS_ADDRESS"_s, u"QT_QPA_PLATFORMTHEME"_s,
          u"XDG_CURRENT_DESKTOP"_s, u"DESKTOP_STARTUP_ID"_s, u"XDG_ACTIVATION_TOKEN"_s, u"XDG_CONFIG_HOME"_s,
          u"XDG_DATA_HOME"_s, u"XDG_CACHE_HOME"_s})
        environment.remove(name);
    QDir(home.path()).mkdir(u"runtime"_s, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment.insert(u"XDG_RUNTIME_DIR"_s, home.filePath(u"runtime"_s));
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"NO_AT_BRIDGE"_s, u"1"_s);
    if (display != nullptr)
        display->applyTo(environment);
    if (!store.isEmpty())
        writeFile(storePath(), store);
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
    // is shown, and the watches set up right after follow at once.
    const QString status = u"/proc/%1/status"_s.arg(process.processId());
    const bool caught = QTest::qWaitFor(
        [&status] {
            const QString mask = QString::fromLatin1(readFile(status)).section(u"SigCgt:"_s, 1).left(17);
            return (mask.trimmed().toULongLong(nullptr, 16) & (1U << (SIGTERM - 1))) != 0;
        },
        kStartMs);
    QTest::qWait(200);
    return caught;
}

int ProgramRun::endWith(int signal, int waitMs)
{
    ::kill(static_cast<pid_t>(process.processId()), signal);
    return process.waitForFinished(waitMs) && process.exitStatus() == QProcess::NormalExit
               ? process.exitCode()
               : -1;
}

} // namespace orvane::test
