#include "platform/activation.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QSysInfo>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <dlfcn.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "platform/wayland/token_module.h"

namespace orvane::platform {

namespace {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// ------------------------------------------------------------------- X11

// X11's startup notification. A message is text sent to the root window in
// client messages of 20 bytes each, the first of type
// _NET_STARTUP_INFO_BEGIN, the others _NET_STARTUP_INFO, the text ending
// with its NUL. Written here over Qt's own connection: it is this one loop,
// and the library for it would be loaded at every start.
xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    xcb_atom_t found = XCB_ATOM_NONE;
    if (reply != nullptr) {
        found = reply->atom;
    }
    std::free(reply);
    return found;
}

int x11ScreenNumber()
{
    return static_cast<int>(reinterpret_cast<quintptr>(
        QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("x11screen")));
}

void sendStartupMessage(const QByteArray& message)
{
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr) {
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = x11ScreenNumber(); i > 0 && screens.rem > 1; --i) {
        xcb_screen_next(&screens);
    }
    const xcb_window_t root = screens.data->root;
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");

    // The messages name a window of their own, as the desktop expects.
    const xcb_window_t sender = xcb_generate_id(connection);
    const uint32_t overrideRedirect = 1;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, sender, root, -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                      &overrideRedirect);
    const QByteArray text = message + '\0';
    constexpr qsizetype kChunk = 20;
    for (qsizetype offset = 0; offset < text.size(); offset += kChunk) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = offset == 0 ? begin : more;
        std::memcpy(event.data.data8, text.constData() + offset,
                    static_cast<std::size_t>(std::min(kChunk, text.size() - offset)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_destroy_window(connection, sender);
    xcb_flush(connection);
}

// KEY="value", a backslash before each quote and backslash of the value.
QByteArray field(const char* key, QByteArrayView value)
{
    QByteArray quoted;
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return ' ' + QByteArray(key) + "=\"" + quoted + '"';
}

QByteArray field(const char* key, const QString& value)
{
    return field(key, QByteArrayView(value.toUtf8()));
}

// Ends the startup sequence of the id.
QByteArray removeMessage(const LaunchIds& ids)
{
    return "remove:" + field("ID", QByteArrayView(ids.startupId));
}

// The X server time of the user's last input, as Qt saw it; before any
// input, the last time the server told us.
quint32 userTime()
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    QScreen* screen = QGuiApplication::primaryScreen();
    auto time = static_cast<quint32>(
        reinterpret_cast<quintptr>(native->nativeResourceForScreen("appusertime", screen)));
    if (time == 0) {
        time = static_cast<quint32>(
            reinterpret_cast<quintptr>(native->nativeResourceForScreen("apptime", screen)));
    }
    return time;
}

// The time a startup id carries after "_TIME"; 0 for none.
quint32 startupTime(const QByteArray& id)
{
    const qsizetype at = id.lastIndexOf("_TIME");
    bool ok = false;
    const quint32 time = at >= 0 ? id.mid(at + 5).toUInt(&ok) : 0;
    return ok ? time : 0;
}

// Tells Qt the time of the user's action, which its next activation
// request then carries.
void setUserTime(quint32 time)
{
    // Qt hands these out as functions of another type.
    using SetTime = void (*)(QScreen*, quint32);
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    for (const char* name : {"setappusertime", "setapptime"}) {
        if (const auto function = native->nativeResourceFunctionForScreen(name)) {
            reinterpret_cast<SetTime>(reinterpret_cast<void (*)()>(function))(
                QGuiApplication::primaryScreen(), time);
        }
    }
}

void showOnTop(QWidget& window)
{
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
}

// Runs once, when the window is first shown.
class WhenExposed final : public QObject {
public:
    WhenExposed(QWindow* window, std::function<void()> run) : QObject(window), run_(std::move(run))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
            // After the window has drawn its first frame: a compositor takes
            // an activation only for a window it shows.
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                run_();
                deleteLater();
            });
        }
        return false;
    }

private:
    std::function<void()> run_;
};

} // namespace

// ----------------------------------------------------------------- Wayland

// The module and the functions it offers, found once loaded.
struct Activation::Wayland {
    bool load()
    {
        if (tried) {
            return loaded;
        }
        tried = true;
        // Installed, it lies in the library folder of the program's prefix;
        // built, in the same folder of the build folder, where the program
        // lies (the test programs lie one folder down).
        void* library = nullptr;
        const QString here = QCoreApplication::applicationDirPath();
        for (const QString& folder : {here + QStringLiteral("/../"), here + u'/'}) {
            const QByteArray path =
                QFile::encodeName(folder + QStringLiteral(ORVANE_MODULE_DIR "/wayland-activation.so"));
            library = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
            if (library != nullptr) {
                break;
            }
        }
        loaded = library != nullptr && find(library, open, "orvane_activation_open") &&
                 find(library, close, "orvane_activation_close") &&
                 find(library, supported, "orvane_activation_supported") &&
                 find(library, hasSeat, "orvane_activation_has_seat") &&
                 find(library, token, "orvane_activation_token") &&
                 find(library, activate, "orvane_activation_activate");
        return loaded;
    }

    template <typename Function> static bool find(void* library, Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(::dlsym(library, name));
        return function != nullptr;
    }

    // The compositor's globals on a queue of our own, for one exchange.
    using Session = std::unique_ptr<orvane_activation, decltype(&orvane_activation_close)>;
    Session session(int waitMs)
    {
        auto* display = static_cast<wl_display*>(
            QGuiApplication::platformNativeInterface()->nativeResourceForIntegration("wl_display"));
        if (display == nullptr || !load()) {
            return {nullptr, nullptr};
        }
        return {open(display, waitMs), close};
    }

    static wl_surface* surface(QWindow* window)
    {
        return static_cast<wl_surface*>(
            QGuiApplication::platformNativeInterface()->nativeResourceForWindow("surface", window));
    }

    bool tried = false;
    bool loaded = false;
    decltype(&orvane_activation_open) open = nullptr;
    decltype(&orvane_activation_close) close = nullptr;
    decltype(&orvane_activation_supported) supported = nullptr;
    decltype(&orvane_activation_has_seat) hasSeat = nullptr;
    decltype(&orvane_activation_token) token = nullptr;
    decltype(&orvane_activation_activate) activate = nullptr;
};

// ------------------------------------------------------------- LaunchIds

LaunchIds LaunchIds::fromEnvironment()
{
    return {qgetenv(kTokenVariable), qgetenv(kStartupIdVariable)};
}

void LaunchIds::clearEnvironment()
{
    qunsetenv(kTokenVariable);
    qunsetenv(kStartupIdVariable);
}

// ------------------------------------------------------------ Activation

Activation::Activation() = default;

Activation::~Activation() = default;

LaunchIds Activation::announce(const LaunchInfo& info)
{
    LaunchIds ids;
    if (onWayland()) {
        QWindow* window = QGuiApplication::focusWindow();
        if (window == nullptr) {
            return ids;
        }
        if (!wayland_) {
            wayland_ = std::make_unique<Wayland>();
        }
        const QDeadlineTimer deadline(kTokenWaitMs);
        const Wayland::Session session = wayland_->session(kTokenWaitMs);
        if (!session || wayland_->supported(session.get()) == 0) {
            return ids;
        }
        // Qt answers the seat and serial only where the compositor offers a
        // seat. A serial of 0 is no input at all, which the compositor
        // would refuse with the seat: then the token is asked for without.
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        wl_seat* seat = nullptr;
        quint32 serial = 0;
        if (wayland_->hasSeat(session.get()) != 0) {
            serial = static_cast<quint32>(
                reinterpret_cast<quintptr>(native->nativeResourceForIntegration("serial")));
            seat = serial != 0 ? static_cast<wl_seat*>(native->nativeResourceForIntegration("wl_seat"))
                               : nullptr;
        }
        std::array<char, 512> token{};
        const QByteArray appId = QGuiApplication::desktopFileName().toUtf8();
        if (wayland_->token(session.get(), Wayland::surface(window), seat, serial, appId.constData(),
                            static_cast<int>(deadline.remainingTime()), token.data(), token.size()) > 0) {
            ids.token = token.data();
            ids.startupId = ids.token; // as newer GLib gives it
        }
        return ids;
    }
    if (onX11() && info.notify) {
        ids.startupId = QStringLiteral("orvane-%1-%2-%3_TIME%4")
                            .arg(::getpid())
                            .arg(QSysInfo::machineHostName())
                            .arg(++sequence_)
                            .arg(userTime())
                            .toUtf8();
        QByteArray message = "new:" + field("ID", QByteArrayView(ids.startupId));
        message += field("NAME", info.name) + " SCREEN=" + QByteArray::number(x11ScreenNumber());
        const std::pair<const char*, QString> optional[] = {
            {"BIN", info.bin}, {"ICON", info.icon}, {"WMCLASS", info.wmClass}};
        for (const auto& [key, value] : optional) {
            if (!value.isEmpty()) {
                message += field(key, value);
            }
        }
        sendStartupMessage(message);
    }
    return ids;
}

void Activation::startFailed(const LaunchIds& ids)
{
    if (onX11() && !ids.startupId.isEmpty()) {
        sendStartupMessage(removeMessage(ids));
    }
}

void Activation::bringToFront(QWidget& window, const LaunchIds& ids)
{
    // Launchers on Wayland that predate XDG_ACTIVATION_TOKEN give the token
    // as the startup id.
    const QByteArray token = !ids.token.isEmpty() ? ids.token : ids.startupId;
    if (onWayland() && !token.isEmpty()) {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.show();
        window.raise();
        activateOnWayland(window.windowHandle(), token);
        return;
    }
    const quint32 time = onX11() ? startupTime(ids.startupId) : 0;
    if (time != 0) {
        setUserTime(time);
    }
    showOnTop(window);
    if (onX11() && !ids.startupId.isEmpty()) {
        sendStartupMessage(removeMessage(ids));
    }
}

void Activation::activateWhenShown(QWidget& window, const LaunchIds& ids)
{
    const QByteArray token = !ids.token.isEmpty() ? ids.token : ids.startupId;
    if (!onWayland() || token.isEmpty() || window.windowHandle() == nullptr) {
        return;
    }
    QWindow* shown = window.windowHandle();
    if (shown->isExposed()) {
        activateOnWayland(shown, token);
        return;
    }
    // Owned by the window.
    new WhenExposed(shown, [this, token, target = QPointer<QWindow>(shown)] {
        if (target) {
            activateOnWayland(target, token);
        }
    });
}

void Activation::activateOnWayland(QWindow* window, const QByteArray& token)
{
    if (window == nullptr) {
        return;
    }
    if (!wayland_) {
        wayland_ = std::make_unique<Wayland>();
    }
    const Wayland::Session session = wayland_->session(kTokenWaitMs);
    if (session) {
        wayland_->activate(session.get(), Wayland::surface(window), token.constData());
    }
}

} // namespace orvane::platform
