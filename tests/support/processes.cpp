#include "support/processes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

#include <csignal>
#include <cstdio>

#include <unistd.h>

#include "support/scripted.h"

namespace orvane::test {

using namespace Qt::StringLiterals;

namespace {
constexpr int kStartMs = 10000;
} // namespace

DisplayServer::DisplayServer(Kind kind, const QByteArray& config)
    : environment_(QProcessEnvironment::systemEnvironment())
{
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (kind == Kind::X11) {
        // Xvfb picks a free display and tells its number on standard output.
        server_.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1024x768x24"_s,
                                  u"-nolisten"_s, u"tcp"_s, u"-noreset"_s});
        for (QDeadlineTimer deadline(kStartMs);
             !server_.canReadLine() && server_.waitForReadyRead(deadline.remainingTime());) {
        }
        if (!server_.canReadLine())
            failure_ = u"Xvfb did not start (package xvfb)"_s;
        environment_.insert(u"DISPLAY"_s, u':' + QString::fromLatin1(server_.readLine().trimmed()));
        environment_.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment_.remove(u"WAYLAND_DISPLAY"_s);
        return;
    }
    // sway will not run as root: then it runs as nobody, in a folder of its
    // own that the test (root) still reaches through absolute paths.
    const QString runtime = dir_.filePath(u"sway"_s);
    writeFile(runtime + u"/config"_s, "xwayland disable\noutput HEADLESS-1 resolution 1024x768 position 0 0\n"
                                      "default_border none\nfor_window [title=\".*\"] floating enable\n" +
                                          config);
    QStringList command = {u"sway"_s, u"-c"_s, runtime + u"/config"_s};
    if (::geteuid() == 0) {
        QFile::setPermissions(dir_.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther);
        QProcess::execute(u"chown"_s, {u"-R"_s, u"nobody"_s, runtime});
        command = QStringList{u"--reuid=nobody"_s, u"--regid=nogroup"_s, u"--clear-groups"_s} + command;
        command.prepend(u"setpriv"_s);
    }
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment own;
    for (const QString& s : {u"PATH"_s, u"HOME"_s, u"XDG_RUNTIME_DIR"_s})
        own.insert(s, s == u"PATH"_s ? environment_.value(s) : runtime);
    own.insert(u"WLR_BACKENDS"_s, u"headless"_s);
    own.insert(u"WLR_LIBINPUT_NO_DEVICES"_s, u"1"_s);
    own.insert(u"WLR_RENDERER"_s, u"pixman"_s);
    server_.setProcessEnvironment(own);
    server_.start(command.takeFirst(), command);
    server_.waitForStarted();
    const QDir folder(runtime);
    for (QDeadlineTimer deadline(kStartMs); !deadline.hasExpired() && server_.state() == QProcess::Running;
         QThread::msleep(50)) {
        const QStringList wayland = folder.entryList({u"wayland-?"_s}, QDir::System);
        const QStringList ipc = folder.entryList({u"sway-ipc.*.sock"_s}, QDir::System);
        if (wayland.isEmpty() || ipc.isEmpty())
            continue;
        environment_.insert(u"WAYLAND_DISPLAY"_s, folder.filePath(wayland.constFirst()));
        environment_.insert(u"SWAYSOCK"_s, folder.filePath(ipc.constFirst()));
        environment_.insert(u"QT_QPA_PLATFORM"_s, u"wayland"_s);
        environment_.remove(u"DISPLAY"_s);
        // wtype's virtual keyboard, kept while it waits an hour; ready once
        // sway lists it.
        keyboard_.setProcessEnvironment(environment_);
        keyboard_.start(u"wtype"_s, {u"-s"_s, u"3600000"_s});
        for (QProcess ask; !deadline.hasExpired() && !ask.readAll().contains("keyboard");
             QThread::msleep(50)) {
            ask.setProcessEnvironment(environment_);
            ask.start(u"swaymsg"_s, {u"-t"_s, u"get_inputs"_s});
            ask.waitForFinished();
        }
        return;
    }
    failure_ = u"sway did not start headless (package sway)"_s;
}

DisplayServer::~DisplayServer()
{
    for (QProcess* process : {&keyboard_, &server_}) {
        process->terminate();
        process->waitForFinished();
    }
}

void DisplayServer::kill()
{
    for (QProcess* process : {&keyboard_, &server_}) {
        process->kill();
        process->waitForFinished();
    }
}

void DisplayServer::applyTo(QProcessEnvironment& environment) const
{
    for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"SWAYSOCK"_s, u"QT_QPA_PLATFORM"_s}) {
        environment.remove(name);
        if (environment_.contains(name))
            environment.insert(name, environment_.value(name));
    }
}

void DisplayServer::signalOwnServer(int number)
{
    ::kill(qEnvironmentVariableIntValue("ORVANE_TEST_SERVER"), number);
}

int DisplayServer::runOnOwnServer(int argc, char** argv, const QByteArray& config)
{
    if (qEnvironmentVariableIsSet("ORVANE_TEST_ON_SERVER"))
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
    environment.insert(u"ORVANE_TEST_ON_SERVER"_s, u"1"_s);
    environment.insert(u"ORVANE_TEST_SERVER"_s, QString::number(display.server_.processId()));
    test.setProcessEnvironment(environment);
    test.setProcessChannelMode(QProcess::ForwardedChannels);
    test.start(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
    test.waitForFinished(-1);
    return test.exitCode();
}

// ------------------------------------------------------------ the program

ProgramRun::ProgramRun(const DisplayServer* display, const QByteArray& store)
    : environment(QProcessEnvironment::systemEnvironment())
{
    for (const char* name : {"SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORMTHEME",
                             "XDG_CURRENT_DESKTOP", "DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN"})
        environment.remove(QString::fromLatin1(name));
    for (const char* name : {"CONFIG", "DATA", "CACHE", "RUNTIME"}) {
        const QString folder = home.filePath(QString::fromLatin1(name).toLower());
        QDir().mkpath(folder);
        environment.insert(u"XDG_"_s + QString::fromLatin1(name) + (name[0] == 'R' ? u"_DIR"_s : u"_HOME"_s),
                           folder);
    }
    QFile::setPermissions(home.filePath(u"runtime"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
    for (QDeadlineTimer deadline(kStartMs); !deadline.hasExpired(); QThread::msleep(20)) {
        const QByteArray text = readFile(status);
        const qsizetype caught = text.indexOf("SigCgt:");
        if (caught >= 0 &&
            (text.mid(caught + 7, 17).trimmed().toULongLong(nullptr, 16) & (1U << (SIGTERM - 1)))) {
            QThread::msleep(200);
            return true;
        }
    }
    return false;
}

bool ProgramRun::saved() const
{
    return readFile(storePath()).contains("Number%20Of%20Types=");
}

int ProgramRun::endWith(int signal, int waitMs)
{
    ::kill(static_cast<pid_t>(process.processId()), signal);
    if (!process.waitForFinished(waitMs) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

} // namespace orvane::test
