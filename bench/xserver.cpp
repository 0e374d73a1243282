#include "bench/xserver.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/wait.h>

#include "bench/measure.h"

namespace orvane::bench {

// ----------------------------------------------------------------- XServer

XServer::XServer()
{
    // Xvfb writes the display it took to the descriptor it is given.
    xvfb_.reset(new QProcess);
    xvfb_->setStandardErrorFile(QProcess::nullDevice());
    xvfb_->start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                  QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-noreset")});
    QByteArray said;
    while (!said.contains('\n') && xvfb_->waitForReadyRead(20000)) {
        said += xvfb_->readAllStandardOutput();
    }
    check(said.contains('\n'), QStringLiteral("Xvfb did not start (package xvfb)"));
    display_ = ':' + said.trimmed();
}

// -------------------------------------------------------------- SessionBus

SessionBus::SessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return;
    }
    daemon_.reset(new QProcess);
    daemon_->start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address=1")});
    QByteArray said;
    while (!said.contains('\n') && daemon_->waitForReadyRead(10000)) {
        said += daemon_->readAllStandardOutput();
    }
    check(said.contains('\n'), QStringLiteral("dbus-daemon did not start (package dbus-daemon)"));
    qputenv("DBUS_SESSION_BUS_ADDRESS", said.trimmed());
}

SessionBus::~SessionBus()
{
    if (daemon_) {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

Process startQuiet(const QString& program, const QStringList& environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    }
    Process process(new QProcess);
    process->setProcessEnvironment(env);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(program, {});
    check(process->waitForStarted(), QStringLiteral("cannot start ") + program);
    return process;
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

MapWatch::Shown MapWatch::waitShown(const QByteArray& title, double timeoutSeconds, const QProcess& owner)
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
        check(::waitid(P_PID, static_cast<id_t>(owner.processId()), &info, WEXITED | WNOHANG | WNOWAIT) ==
                      0 &&
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
    const double started = now();
    const auto child = startQuiet(program, environment);
    return watch.waitShown(title, 120, *child).at - started;
}

} // namespace orvane::bench
