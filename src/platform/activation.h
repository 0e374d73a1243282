#pragma once

// Bringing windows to the front where the desktop prevents focus stealing:
// the token (Wayland) or startup id (X11) a started program is given for
// the window the user acted in, and the ones this program was started with.

#include <QByteArray>
#include <QString>

#include <memory>

class QWidget;
class QWindow;

namespace orvane::platform {

inline constexpr char kTokenVariable[] = "XDG_ACTIVATION_TOKEN";
inline constexpr char kStartupIdVariable[] = "DESKTOP_STARTUP_ID";

// What a start hands on in the environment.
struct LaunchIds {
    QByteArray token; // XDG_ACTIVATION_TOKEN: Wayland's activation token
    QByteArray
        startupId; // DESKTOP_STARTUP_ID: X11's startup id; on Wayland newer launchers put the token here too

    // This process's own, read before the window system starts: on X11 Qt
    // takes DESKTOP_STARTUP_ID for the first window it shows.
    static LaunchIds fromEnvironment();
    // Takes both out of this process's environment: they are spent.
    static void clearEnvironment();
    [[nodiscard]] bool empty() const { return token.isEmpty() && startupId.isEmpty(); }
};

// What X11's startup notification tells the desktop about the program
// being started; empty fields are left out.
struct LaunchInfo {
    QString name;
    QString bin;
    QString icon;
    QString wmClass;
    bool notify = true; // false: the program says it would never end the sequence
};

class Activation final {
public:
    // The longest a start waits for the compositor's token.
    static constexpr int kTokenWaitMs = 300;

    Activation();
    ~Activation();
    Activation(const Activation&) = delete;
    Activation& operator=(const Activation&) = delete;

    // Before a start, for the focused window: on Wayland a fresh token, or
    // none when no window of ours has the focus, the compositor lacks the
    // protocol or does not answer in time; on X11 a fresh startup id, with
    // its "new:" message sent on the root window. Empty on other platforms.
    LaunchIds announce(const LaunchInfo& info);
    // After a start that failed: its startup sequence ends ("remove:").
    void startFailed(const LaunchIds& ids);

    // Brings the window to the front with the ids another start of the
    // program was given: on Wayland activated with the token, on X11 raised
    // with the time of the startup id, whose sequence then ends.
    void bringToFront(QWidget& window, const LaunchIds& ids);
    // Our own first window, with the ids we were started with, once it is
    // shown. Qt ends our X11 startup sequence itself; on Wayland the window
    // is activated with the token.
    void activateWhenShown(QWidget& window, const LaunchIds& ids);

    struct Wayland;

private:
    void activateOnWayland(QWindow* window, const QByteArray& token);

    std::unique_ptr<Wayland> wayland_; // loaded when first needed
    unsigned sequence_ = 0;            // of the startup ids made here
};

} // namespace orvane::platform
