#pragma once

// A private X server for the start-up and memory figures, and a watch on
// it for a program's main window being mapped (shown).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

struct xcb_connection_t;

namespace orvane::bench {

// Xvfb on a free display, ended with the object.
class XServer {
public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N"
    [[nodiscard]] QByteArray display() const { return display_; }

private:
    pid_t pid_ = -1;
    QByteArray display_;
};

// A session bus of its own for the run, as a desktop session has, unless
// one is already given (DBUS_SESSION_BUS_ADDRESS). Without one, Qt's
// accessibility set-up in every Qt program tries to start a bus by running
// dbus-launch, a cost no desktop user pays. Ended with the object.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // The bus's address, or nothing when the run's own bus is used.
    [[nodiscard]] QByteArray started() const
    {
        return pid_ > 0 ? qgetenv("DBUS_SESSION_BUS_ADDRESS") : QByteArray();
    }

private:
    pid_t pid_ = -1;
};

// A program started with posix_spawn, killed and waited for with the
// object. Its output goes nowhere.
class Spawned {
public:
    // environment: "NAME=value" entries replacing or adding to ours.
    Spawned(const QString& program, const QStringList& arguments, const QStringList& environment);
    ~Spawned();
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    [[nodiscard]] pid_t pid() const { return pid_; }
    // The moment just before the program was spawned.
    [[nodiscard]] double started() const { return started_; }
    void kill();
    // Waits for the program to end by itself and returns its wait status;
    // throws CheckFailed after the timeout.
    int wait(double timeoutSeconds);

private:
    pid_t pid_ = -1;
    double started_ = 0;
};

// Watches the X server's screen for top-level windows being mapped.
class MapWatch {
public:
    explicit MapWatch(const QByteArray& display);
    ~MapWatch();
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    // Drops the events that arrived so far.
    void drain();
    struct Shown {
        double at = 0; // the moment its map event arrived
        unsigned int window = 0;
    };
    // Waits until a top-level window with this title is mapped; throws
    // CheckFailed after the timeout or when the process `owner` ends first.
    Shown waitShown(const QByteArray& title, double timeoutSeconds, pid_t owner);
    // Asks a window to close, as the close button does.
    void close(unsigned int window);

private:
    [[nodiscard]] QByteArray titleOf(unsigned int window);

    unsigned int atom(const char* name);

    xcb_connection_t* connection_ = nullptr;
    unsigned int netWmName_ = 0;
    unsigned int wmProtocols_ = 0;
    unsigned int wmDeleteWindow_ = 0;
};

// Spawns the program and returns the seconds from just before the spawn
// to its window titled `title` being mapped; the program is then killed.
double timeToShown(MapWatch& watch, const QString& program, const QStringList& environment,
                   const QByteArray& title);

} // namespace orvane::bench
