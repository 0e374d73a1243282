#pragma once

// Processes of a test's own: a display server, and the built program on it
// with a home, settings and runtime folder of its own. Nothing of the
// user's session is read or changed.

#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include "support/scripted.h"

namespace orvane::test {

// Xvfb (1024x768) for the xcb platform, or a headless sway with a keyboard
// (without one no window there is ever active) for the wayland platform;
// ended with this object.
class DisplayServer {
public:
    enum class Kind { X11, Wayland };
    // config: lines added to sway's configuration.
    explicit DisplayServer(Kind kind, const QByteArray& config = {});
    ~DisplayServer() { stop(false); }

    // Why it could not start, or "" when it runs.
    [[nodiscard]] const QString& failure() const { return failure_; }
    // Points a client at this server and its platform plugin.
    void applyTo(QProcessEnvironment& environment) const;
    // Ends it at once, as a crash does.
    void kill() { stop(true); }

    // For a test program's main(): runs the program again, as a child, on
    // the server that ORVANE_TEST_DISPLAY names ("xcb" or "wayland"); its
    // exit code, 77 when there is no such server. Returns -1 in the child.
    static int runOnOwnServer(int argc, char** argv, const QByteArray& config = {});
    // In that child: sends the server a signal (SIGSTOP: it answers nothing
    // until SIGCONT).
    static void signalOwnServer(int n) { ::kill(qEnvironmentVariableIntValue("ORVANE_TEST_SERVER"), n); }

private:
    void stop(bool now);
    QTemporaryDir dir_;
    QProcess server_, keyboard_;
    QProcessEnvironment environment_;
    QString failure_;
};

// The built program, as a user starts it, on a display server.
class ProgramRun {
public:
    // store: the settings file's text before the start ("" for none); no
    // display: the one this process runs on. Its runtime folder is
    // home/runtime, the others are the defaults under home.
    explicit ProgramRun(const DisplayServer* display, const QByteArray& store = {});

    // Starts the program and waits until it is ready().
    bool start(const QString& program, bool waitUntilReady = true);
    // Whether it handles the end signals, which it does once its window is
    // shown; waits a while for that.
    bool ready();
    // Whether the program wrote the store: it writes the blanks of keys as
    // %20, the stores given here have plain blanks.
    bool saved() const { return readFile(storePath()).contains("Number%20Of%20Types="); }
    QString storePath() const { return home.filePath(QStringLiteral(".config/Orvane/Orvane.conf")); }
    // Sends a signal and waits for the end; the exit status, -1 for none.
    int endWith(int signal, int waitMs = 10000);

    QTemporaryDir home;
    QProcessEnvironment environment;
    QProcess process;
};

} // namespace orvane::test
