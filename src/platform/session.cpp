#include "platform/session.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

// The single copy's socket is a plain Unix socket watched by a
// QSocketNotifier rather than Qt's local socket classes: those live in Qt's
// network module, which with the eight libraries it brings costs every
// start about 6 % of its time, and the exchange is a line each way.
std::optional<sockaddr_un> socketAddress(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof address.sun_path) {
        return std::nullopt;
    }
    std::copy(name.cbegin(), name.cend(), address.sun_path);
    return address;
}

// A later start's request on one connection, read as it comes; answered
// and closed once its line is whole. Its parent owns it until then.
class Request final : public QObject {
public:
    Request(int fd, QObject& parent, std::function<bool(const QByteArray&)> show)
        : QObject(&parent), fd_(fd), notifier_(fd, QSocketNotifier::Read), show_(std::move(show))
    {
        QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] { read(); });
    }
    ~Request() override
    {
        notifier_.setEnabled(false);
        ::close(fd_);
    }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

private:
    // More than any request holds: a peer that sends no line end is let go.
    static constexpr qsizetype kLongest = 16384;

    void read()
    {
        char buffer[1024];
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        received_.append(buffer, std::max<ssize_t>(count, 0));
        const qsizetype end = received_.indexOf('\n');
        if (count > 0 && end < 0 && received_.size() < kLongest) {
            return;
        }
        if (end >= 0 && show_(received_.first(end + 1))) {
            // The peer may be gone already; then there is no one to tell.
            [[maybe_unused]] const ssize_t sent = ::send(
                fd_, kShownAnswer.constData(), static_cast<std::size_t>(kShownAnswer.size()), MSG_NOSIGNAL);
        }
        notifier_.setEnabled(false);
        deleteLater();
    }

    int fd_;
    QSocketNotifier notifier_;
    std::function<bool(const QByteArray&)> show_;
    QByteArray received_;
};

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
    const std::optional<sockaddr_un> address = socketAddress(socket_);
    if (!address) {
        return Reply::None;
    }
    // The running copy may have taken the lock and not be listening yet.
    constexpr int kRetryMs = 100;
    int fd = -1;
    const auto closeSocket = qScopeGuard([&fd] {
        if (fd >= 0) {
            ::close(fd);
        }
    });
    while (true) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) == 0) {
            break;
        }
        if (fd >= 0) {
            ::close(std::exchange(fd, -1));
        }
        if (deadline.hasExpired()) {
            return Reply::None;
        }
        QThread::msleep(kRetryMs);
    }
    if (::send(fd, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL) !=
        request.size()) {
        return Reply::None;
    }
    QByteArray reply;
    while (!reply.endsWith('\n')) {
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(deadline.remainingTime()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        char buffer[256];
        const ssize_t count = ready > 0 ? ::read(fd, buffer, sizeof buffer) : -1;
        if (count <= 0) {
            // Closed without an answer: the request was not understood.
            return ready > 0 && reply.isEmpty() ? Reply::Refused : Reply::None;
        }
        reply.append(buffer, count);
    }
    return reply == kShownAnswer ? Reply::Shown : Reply::None;
}

void SingleCopy::listen()
{
    const std::optional<sockaddr_un> address = socketAddress(socket_);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (!address || fd < 0) {
        return;
    }
    // A socket left by a copy that died is in the way. Only the user may
    // connect: the socket's own mode, set at once (its folder, the user's
    // runtime folder, is the user's alone anyway).
    ::unlink(address->sun_path);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::chmod(address->sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return;
    }
    listening_ = fd;
    connections_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(connections_.get(), &QSocketNotifier::activated, &requests_, [this] { answer(); });
}

void SingleCopy::answer()
{
    for (int fd; (fd = ::accept4(listening_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
        new Request(fd, requests_, [this](const QByteArray& line) {
            const auto ids = readShowRequest(line);
            if (ids && window_ != nullptr) {
                activation_.bringToFront(*window_, *ids);
            }
            return ids.has_value();
        });
    }
}

void SingleCopy::release()
{
    if (listening_ >= 0) {
        connections_.reset();
        ::close(std::exchange(listening_, -1));
        ::unlink(QFile::encodeName(socket_).constData());
    }
    if (lock_.isLocked()) {
        lock_.unlock();
    }
}

} // namespace orvane::platform
