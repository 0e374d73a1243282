#pragma once

// A private X server and session bus for the start-up and memory figures,
// programs started on them, and a watch on the X server for a program's
// main window being mapped (shown). Every process is a QProcess.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

struct xcb_connection_t;

namespace orvane::bench {

// A started process, killed and waited for when it is let go.
struct EndProcess {
    void operator()(QProcess* process) const
    {
        process->kill();
        process->waitForFinished();
        delete process;
    }
};
using Process = std::unique_ptr<QProcess, EndProcess>;

// Xvfb on a free display, ended with the object.
class XServer {
public:
    XServer();
    // ":N"
    [[nodiscard]] QByteArray display() const { return display_; }

private:
    Process xvfb_;
    QByteArray display_;
};

// A session bus of its own for the run, as a desktop session has, unless
// one is given (DBUS_SESSION_BUS_ADDRESS): without one, Qt's accessibility
// set-up in every Qt program runs dbus-launch, a cost no desktop user pays.
class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;
    // The bus's address, or nothing when the run's own bus is used.
    [[nodiscard]] QByteArray started() const
    {
        return daemon_ ? qgetenv("DBUS_SESSION_BUS_ADDRESS") : QByteArray();
    }

private:
    Process daemon_;
};

// Starts a program whose output goes nowhere; environment: "NAME=value"
// entries replacing or adding to ours. Killed and waited for with the object.
Process startQuiet(const QString& program, const QStringList& environment);

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
    // CheckFailed after the timeout or when `owner` ends first.
    Shown waitShown(const QByteArray& title, double timeoutSeconds, const QProcess& owner);
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

// The seconds from just before the program is started to its window titled
// `title` being mapped; the program is then killed.
double timeToShown(MapWatch& watch, const QString& program, const QStringList& environment,
                   const QByteArray& title);

} // namespace orvane::bench
