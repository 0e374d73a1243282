#include "bench/xserver.h"

#include <QFile>
#include <QProcess>

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench/measure.h"

extern char** environ;

namespace orvane::bench {

namespace {

// argv or envp for posix_spawn, owning its strings.
class CStrings {
public:
    explicit CStrings(const std::vector<std::string>& strings) : strings_(strings)
    {
        for (std::string& s : strings_) {
            pointers_.push_back(s.data());
        }
        pointers_.push_back(nullptr);
    }
    [[nodiscard]] char* const* get() const { return pointers_.data(); }

private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

std::vector<std::string> environmentWith(const QStringList& changes)
{
    std::vector<std::string> out;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const QString& change : changes) {
            if (change.section(u'=', 0, 0).toStdString() == name) {
                replaced = true;
            }
        }
        if (!replaced) {
            out.push_back(entry);
        }
    }
    for (const QString& change : changes) {
        out.push_back(change.toStdString());
    }
    return out;
}

pid_t spawnQuiet(const std::vector<std::string>& argv, const std::vector<std::string>& envp, bool searchPath)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const CStrings args(argv);
    const CStrings env(envp);
    pid_t pid = -1;
    const int error = searchPath
                          ? posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, args.get(), env.get())
                          : posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.get(), env.get());
    posix_spawn_file_actions_destroy(&actions);
    check(error == 0,
          QStringLiteral("cannot start %1: %2")
              .arg(QString::fromStdString(argv[0]), QString::fromLocal8Bit(std::strerror(error))));
    return pid;
}

void reap(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

// ----------------------------------------------------------------- XServer

XServer::XServer()
{
    int ends[2];
    check(::pipe2(ends, O_CLOEXEC) == 0, QStringLiteral("no pipe for Xvfb"));
    // Xvfb writes its display number to the descriptor it is given, which
    // must therefore survive the exec.
    const int writeEnd = ::fcntl(ends[1], F_DUPFD, 10);
    ::close(ends[1]);
    const std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(writeEnd),
                                           "-screen",   "0",          "1280x1024x24",
                                           "-nolisten", "tcp",        "-noreset"};
    try {
        pid_ = spawnQuiet(argv, environmentWith({}), true);
    } catch (...) {
        ::close(ends[0]);
        ::close(writeEnd);
        throw;
    }
    ::close(writeEnd);

    std::string number;
    pollfd wait{ends[0], POLLIN, 0};
    const double deadline = now() + 20;
    while (now() < deadline) {
        if (::poll(&wait, 1, 200) <= 0) {
            continue;
        }
        char c = 0;
        const ssize_t got = ::read(ends[0], &c, 1);
        if (got <= 0 || c == '\n') {
            break;
        }
        number += c;
    }
    ::close(ends[0]);
    if (number.empty()) {
        ::kill(pid_, SIGTERM);
        reap(pid_);
        throw CheckFailed(QStringLiteral("Xvfb did not start"));
    }
    display_ = ":" + QByteArray::fromStdString(number);
}

XServer::~XServer()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        reap(pid_);
    }
}

// -------------------------------------------------------------- SessionBus

SessionBus::SessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return;
    }
    QProcess daemon;
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--fork"), QStringLiteral("--print-address=1"),
                  QStringLiteral("--print-pid=1")});
    check(daemon.waitForFinished(10000) && daemon.exitCode() == 0,
          QStringLiteral("dbus-daemon did not start (package dbus-daemon)"));
    const QList<QByteArray> lines = daemon.readAllStandardOutput().split('\n');
    const pid_t pid = static_cast<pid_t>(lines.value(1).trimmed().toLongLong());
    check(!lines.value(0).isEmpty() && pid > 0, QStringLiteral("dbus-daemon said no address"));
    pid_ = pid;
    qputenv("DBUS_SESSION_BUS_ADDRESS", lines.value(0).trimmed());
}

SessionBus::~SessionBus()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM); // not our child: --fork handed it to the system
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

// ----------------------------------------------------------------- Spawned

Spawned::Spawned(const QString& program, const QStringList& arguments, const QStringList& environment)
{
    std::vector<std::string> argv = {QFile::encodeName(program).toStdString()};
    for (const QString& argument : arguments) {
        argv.push_back(argument.toStdString());
    }
    const std::vector<std::string> envp = environmentWith(environment);
    started_ = now();
    pid_ = spawnQuiet(argv, envp, false);
}

Spawned::~Spawned()
{
    kill();
}

int Spawned::wait(double timeoutSeconds)
{
    const double deadline = now() + timeoutSeconds;
    for (;;) {
        int status = 0;
        const pid_t ended = ::waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) {
            pid_ = -1;
            return status;
        }
        check(ended == 0 || errno == EINTR, QStringLiteral("lost a started program"));
        check(now() < deadline, QStringLiteral("a started program did not end"));
        ::usleep(5000);
    }
}

void Spawned::kill()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        reap(pid_);
        pid_ = -1;
    }
}

// ---------------------------------------------------------------- MapWatch

MapWatch::MapWatch(const QByteArray& display)
{
    int screenNumber = 0;
    connection_ = xcb_connect(display.constData(), &screenNumber);
    check(xcb_connection_has_error(connection_) == 0,
          QStringLiteral("cannot connect to the X server ") + QString::fromLatin1(display));
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_window_t root = screens.data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root, XCB_CW_EVENT_MASK, &mask);

    netWmName_ = atom("_NET_WM_NAME");
    wmProtocols_ = atom("WM_PROTOCOLS");
    wmDeleteWindow_ = atom("WM_DELETE_WINDOW");
}

unsigned int MapWatch::atom(const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection_, cookie, nullptr), &std::free);
    check(reply != nullptr, QStringLiteral("the X server does not answer"));
    return reply->atom;
}

void MapWatch::close(unsigned int window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = wmProtocols_;
    message.data.data32[0] = wmDeleteWindow_;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
}

MapWatch::~MapWatch()
{
    xcb_disconnect(connection_);
}

void MapWatch::drain()
{
    // A round trip makes sure that every event sent so far has arrived.
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        std::free(event);
    }
}

QByteArray MapWatch::titleOf(unsigned int window)
{
    for (const xcb_atom_t property :
         {static_cast<xcb_atom_t>(netWmName_), static_cast<xcb_atom_t>(XCB_ATOM_WM_NAME)}) {
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(connection_, cookie, nullptr), &std::free);
        if (reply && xcb_get_property_value_length(reply.get()) > 0) {
            return {static_cast<const char*>(xcb_get_property_value(reply.get())),
                    xcb_get_property_value_length(reply.get())};
        }
    }
    return {};
}

MapWatch::Shown MapWatch::waitShown(const QByteArray& title, double timeoutSeconds, pid_t owner)
{
    const double deadline = now() + timeoutSeconds;
    const int fd = xcb_get_file_descriptor(connection_);
    for (;;) {
        check(xcb_connection_has_error(connection_) == 0, QStringLiteral("lost the X server"));
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const double arrived = now();
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) {
                continue;
            }
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            if (map->override_redirect == 0 && titleOf(map->window) == title) {
                return {arrived, map->window};
            }
        }
        const double left = deadline - now();
        check(left > 0, QStringLiteral("no window \"%1\" was shown within %2 s")
                            .arg(QString::fromUtf8(title))
                            .arg(timeoutSeconds));
        siginfo_t info{};
        check(::waitid(P_PID, static_cast<id_t>(owner), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                  info.si_pid == 0,
              QStringLiteral("the program ended before showing its window"));
        pollfd wait{fd, POLLIN, 0};
        ::poll(&wait, 1, std::min(200, static_cast<int>(left * 1000) + 1));
    }
}

double timeToShown(MapWatch& watch, const QString& program, const QStringList& environment,
                   const QByteArray& title)
{
    watch.drain();
    Spawned child(program, {}, environment);
    const double shown = watch.waitShown(title, 120, child.pid()).at;
    const double elapsed = shown - child.started();
    child.kill();
    return elapsed;
}

} // namespace orvane::bench
