#pragma once

// How a desktop session ends the program, and the one running copy.

#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <functional>
#include <memory>

#include "platform/activation.h"

class QWidget;

namespace orvane::platform {

// SIGTERM, SIGHUP and SIGINT, as a session or a terminal sends them, turned
// into a call from the event loop (also from the loop of a box that is
// open). The handler itself only writes the signal's number to a pipe. A
// signal that was ignored when the program started (as for a job started in
// the background) stays ignored. The handlers are put back on destruction.
class EndSignals final {
public:
    explicit EndSignals(std::function<void(int signal)> onSignal);
    ~EndSignals();
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;

private:
    [[nodiscard]] bool handles(int signal) const;
    void readPipe();

    std::function<void(int)> onSignal_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    unsigned handled_ = 0; // one bit per signal number
};

// Calls lastChance once, from the thread the program's windows live in,
// when the connection to the X server or the Wayland compositor breaks and
// the window system is about to end the process. Without a display there is
// no box to show; lastChance must not show one.
class DisplayLoss final {
public:
    explicit DisplayLoss(std::function<void()> lastChance);
    ~DisplayLoss();
    DisplayLoss(const DisplayLoss&) = delete;
    DisplayLoss& operator=(const DisplayLoss&) = delete;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// One copy of the program per user: a lock file beside the store, and a
// local socket through which a second start asks the first to show itself,
// handing on the activation token or startup id the desktop gave it.
class SingleCopy final {
public:
    // lockFile: the lock's path; socket: the local socket's full path.
    SingleCopy(const QString& lockFile, const QString& socket);
    ~SingleCopy();
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    // True when this is the one copy. False when another running copy took
    // the request to show itself, with this start's ids: this one should
    // end. A copy that died leaves a lock that is taken over; one that does
    // not answer within answerWaitMs is taken over too.
    bool claim(const LaunchIds& ids, int answerWaitMs = 5000);

    // The window a later start brings to the front, once shown; the one
    // copy's own ids bring it to the front now.
    void setWindow(QWidget* window);

    // Gives the lock up, before the program ends without unwinding.
    void release();

    // The socket of the default lock: in the user's runtime folder when
    // there is one, else beside the lock.
    static QString defaultSocket(const QString& lockFile);

private:
    enum class Reply { Shown, Refused, None };
    Reply askRunningCopy(const QByteArray& request, int answerWaitMs);
    void listen();
    void answer();

    QLockFile lock_;
    QString socket_;
    int listening_ = -1; // the socket later starts connect to, while this is the one copy
    std::unique_ptr<QSocketNotifier> connections_;
    QObject requests_; // the parent of each connection's request while it is read
    QWidget* window_ = nullptr;
    LaunchIds ownIds_;
    Activation activation_;
};

} // namespace orvane::platform
