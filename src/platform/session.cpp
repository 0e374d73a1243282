#include "platform/session.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSemaphore>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace orvane::platform {

// What to do when the display goes.
struct DisplayLoss::State {
    std::function<void()> lastChance;
    QtMessageHandler previousHandler = nullptr;
    std::atomic_bool asked{false}; // the windows' thread was asked to run it
    std::atomic_bool ran{false};
    QSemaphore finished; // a permit for every thread that waits, once it ran
};

namespace {

// ------------------------------------------------------------ end signals

// A signal handler can reach nothing but static storage: the write end of
// the one EndSignals' pipe, set while that object lives.
volatile std::sig_atomic_t endSignalPipe = -1;

constexpr int kEndSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void onEndSignal(int signal)
{
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal to answer; this one may be lost.
    [[maybe_unused]] const ssize_t written = ::write(endSignalPipe, &number, 1);
    errno = savedErrno;
}

// ----------------------------------------------------------- display loss

// Qt's message handler and the exit hooks are plain functions: they find
// the living DisplayLoss's state here.
std::atomic<DisplayLoss::State*> displayLoss{nullptr};

// Runs the last chance once, on the windows' thread: there when the message
// comes there; from another thread (Wayland's event thread) the windows'
// thread is asked, and that thread waits a few seconds for it. Both threads
// may hear of the loss, in either order, and the process ends as soon as
// one of them returns, so each returns only once the save is over.
void runLastChance()
{
    DisplayLoss::State* state = displayLoss.load();
    if (state == nullptr) {
        return;
    }
    const auto runOnce = [state] {
        if (!state->ran.exchange(true)) {
            state->lastChance();
            constexpr int kEveryWaiter = 1000;
            state->finished.release(kEveryWaiter);
        }
    };
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        runOnce();
        return;
    }
    if (!state->asked.exchange(true)) {
        QMetaObject::invokeMethod(app, runOnce, Qt::QueuedConnection);
    }
    constexpr int kWaitMs = 5000;
    state->finished.tryAcquire(1, kWaitMs);
}

bool isDisplayLoss(const QString& message)
{
    return message.startsWith(QLatin1String("The X11 connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

void watchMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    DisplayLoss::State* state = displayLoss.load();
    if (state != nullptr && state->previousHandler != nullptr) {
        state->previousHandler(type, context, message);
    }
    if (type != QtDebugMsg && type != QtInfoMsg && isDisplayLoss(message)) {
        runLastChance();
    }
}

extern "C" void atProgramExit()
{
    // The X11 platform calls exit() when the server goes; a warning that
    // the logging rules turned off does not reach the message handler.
    const QCoreApplication* app = QCoreApplication::instance();
    if (app != nullptr && QThread::currentThread() == app->thread()) {
        runLastChance();
    }
}

// ------------------------------------------------------------ single copy

// A second start asks "show", followed by the ids it was started with, if
// any, as " token=..." and " startup-id=...", each percent-encoded; a copy
// that knows no ids takes only the bare "show". The running copy answers
// "shown".
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kShownAnswer = QByteArrayLiteral("shown\n");

QByteArray showRequest(const LaunchIds& ids)
{
    QByteArray request = "show";
    if (!ids.token.isEmpty()) {
        request += " token=" + ids.token.toPercentEncoding();
    }
    if (!ids.startupId.isEmpty()) {
        request += " startup-id=" + ids.startupId.toPercentEncoding();
    }
    return request + '\n';
}

// The ids of a show request; nothing for another request. Fields it does
// not know are left for later versions.
std::optional<LaunchIds> readShowRequest(const QByteArray& line)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    if (words.constFirst() != "show") {
        return std::nullopt;
    }
    LaunchIds ids;
    for (const QByteArray& word : words.mid(1)) {
        if (word.startsWith("token=")) {
            ids.token = QByteArray::fromPercentEncoding(word.mid(6));
        } else if (word.startsWith("startup-id=")) {
            ids.startupId = QByteArray::fromPercentEncoding(word.mid(11));
        }
    }
    return ids;
}

} // namespace

// ---------------------------------------------------------------- EndSignals

EndSignals::EndSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal))
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    endSignalPipe = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readPipe(); });

    for (const int signal : kEndSignals) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = onEndSignal;
        sigfillset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(signal, &action, nullptr) == 0) {
            handled_ |= 1U << static_cast<unsigned>(signal);
        }
    }
}

EndSignals::~EndSignals()
{
    for (const int signal : kEndSignals) {
        if (handles(signal)) {
            std::signal(signal, SIG_DFL);
        }
    }
    endSignalPipe = -1;
    notifier_.reset();
    for (const int fd : pipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool EndSignals::handles(int signal) const
{
    return signal >= 0 && signal < 32 && (handled_ & (1U << static_cast<unsigned>(signal))) != 0;
}

void EndSignals::readPipe()
{
    unsigned char numbers[16];
    const ssize_t count = ::read(pipe_[0], numbers, sizeof numbers);
    for (ssize_t i = 0; i < count; ++i) {
        onSignal_(numbers[i]);
    }
}

// --------------------------------------------------------------- DisplayLoss

DisplayLoss::DisplayLoss(std::function<void()> lastChance) : state_(std::make_unique<State>())
{
    state_->lastChance = std::move(lastChance);
    displayLoss.store(state_.get());
    state_->previousHandler = qInstallMessageHandler(watchMessages);
    // Registered once per process; it does nothing while no DisplayLoss lives.
    static const bool hooked = std::atexit(atProgramExit) == 0;
    (void)hooked;
}

DisplayLoss::~DisplayLoss()
{
    displayLoss.store(nullptr);
    qInstallMessageHandler(state_->previousHandler);
}

// ---------------------------------------------------------------- SingleCopy

SingleCopy::SingleCopy(const QString& lockFile, const QString& socket) : lock_(lockFile), socket_(socket)
{
    // Only a copy that is gone leaves a stale lock; a running one, however
    // long it runs, keeps it.
    lock_.setStaleLockTime(0);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] { answer(); });
}

SingleCopy::~SingleCopy()
{
    release();
}

QString SingleCopy::defaultSocket(const QString& lockFile)
{
    // Named after the lock, so that each store has its own; kept short for
    // the length a socket's path may have.
    const QByteArray digest =
        QCryptographicHash::hash(QFileInfo(lockFile).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QFileInfo(lockFile).absolutePath();
    }
    return folder + QStringLiteral("/orvane-") + QString::fromLatin1(digest) + QStringLiteral(".socket");
}

bool SingleCopy::claim(const LaunchIds& ids, int answerWaitMs)
{
    ownIds_ = ids;
    QDir().mkpath(QFileInfo(lock_.fileName()).absolutePath());
    if (lock_.tryLock(0)) {
        listen();
        return true;
    }
    if (lock_.error() != QLockFile::LockFailedError) {
        // The lock cannot be made at all (a read-only folder): nothing to
        // coordinate with, and the save will say what is wrong.
        return true;
    }
    const QDeadlineTimer deadline(answerWaitMs);
    Reply reply = askRunningCopy(showRequest(ids), answerWaitMs);
    if (reply == Reply::Refused && !ids.empty()) {
        // A running copy of an earlier version: it takes the bare request.
        reply = askRunningCopy(kShowRequest, static_cast<int>(deadline.remainingTime()));
    }
    if (reply == Reply::Shown) {
        return false;
    }
    // The copy holding the lock does not answer: it hangs. Take over.
    lock_.removeStaleLockFile();
    if (lock_.tryLock(0)) {
        listen();
    }
    return true;
}

void SingleCopy::setWindow(QWidget* window)
{
    window_ = window;
    if (window_ != nullptr) {
        activation_.activateWhenShown(*window_, ownIds_);
    }
}

SingleCopy::Reply SingleCopy::askRunningCopy(const QByteArray& request, int answerWaitMs)
{
    const QDeadlineTimer deadline(answerWaitMs);
    QLocalSocket socket;
    constexpr int kTryMs = 200;
    // The running copy may have taken the lock and not be listening yet.
    while (true) {
        socket.connectToServer(socket_);
        if (socket.waitForConnected(kTryMs)) {
            break;
        }
        if (deadline.hasExpired()) {
            return Reply::None;
        }
        QThread::msleep(kTryMs / 2);
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
        return Reply::None;
    }
    QByteArray reply;
    while (!reply.endsWith('\n')) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            // Closed without an answer: the request was not understood.
            return socket.state() == QLocalSocket::UnconnectedState && reply.isEmpty() ? Reply::Refused
                                                                                       : Reply::None;
        }
        reply += socket.readAll();
    }
    return reply == kShownAnswer ? Reply::Shown : Reply::None;
}

void SingleCopy::listen()
{
    // A socket left by a copy that died is in the way.
    QLocalServer::removeServer(socket_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(socket_);
}

void SingleCopy::answer()
{
    while (QLocalSocket* client = server_.nextPendingConnection()) {
        QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        QObject::connect(client, &QLocalSocket::readyRead, client, [this, client] {
            if (!client->canReadLine()) {
                return;
            }
            if (const auto ids = readShowRequest(client->readLine())) {
                if (window_ != nullptr) {
                    activation_.bringToFront(*window_, *ids);
                }
                client->write(kShownAnswer);
                client->flush();
            }
            client->disconnectFromServer();
        });
    }
}

void SingleCopy::release()
{
    server_.close();
    if (lock_.isLocked()) {
        lock_.unlock();
    }
}

} // namespace orvane::platform
