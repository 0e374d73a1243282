#include "platform/system_starter.h"

#include "platform/failure.h"

#ifdef Q_OS_WIN

#include <QProcess>

#include "platform/commandline.h"

namespace orvane::platform {

class EndWatches {};

// Windows parses the command line itself: the arguments go as the program
// has always written them, each quoted only when it holds a blank.
void SystemStarter::start(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(program);
    QString native;
    for (const auto& argument : arguments) {
        native += quotedArgument(argument);
    }
    process.setNativeArguments(native.mid(1));
    if (program.isEmpty() || !process.startDetached()) {
        throw Failure(2, QStringLiteral("File not found"));
    }
}

} // namespace orvane::platform

#else // POSIX

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
#define ORVANE_HAVE_CLOSE_RANGE 1
#define ORVANE_HAVE_UNDERSCORE_FORK 1
#if defined(__linux__)
// posix_spawn with the session and descriptor actions we need, and pidfds.
#define ORVANE_SPAWN 1
#include <QCoreApplication>

#include <array>
#include <map>

#include <spawn.h>
#include <sys/epoll.h>
#include <sys/syscall.h>
#endif
#endif

namespace orvane::platform {

namespace {

#ifndef ORVANE_SPAWN

// Owns one open descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    [[nodiscard]] int get() const noexcept { return fd_; }
    void reset() noexcept
    {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

#endif

// Everything the child processes need, prepared before forking: after the
// fork only async-signal-safe calls are allowed, so no allocation happens
// there.
class Launch {
public:
    Launch(const QString& program, const QStringList& arguments)
    {
        const QByteArray name = QFile::encodeName(program);
        storage_.reserve(static_cast<std::size_t>(arguments.size()) + 1);
        storage_.push_back(name);
        for (const QString& argument : arguments) {
            storage_.push_back(argument.toLocal8Bit());
        }
        for (const QByteArray& bytes : storage_) {
            if (bytes.contains('\0')) {
                // A NUL cannot travel inside a program name or argument.
                throw systemFailure(EINVAL);
            }
            argv_.push_back(const_cast<char*>(bytes.constData()));
        }
        argv_.push_back(nullptr);
#ifndef ORVANE_SPAWN
        findCandidates(name);
#endif
    }

    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    [[nodiscard]] char* const* argv() const noexcept
    {
        return argv_.data();
    }

#ifndef ORVANE_SPAWN
    [[nodiscard]] const std::vector<const char*>& candidates() const noexcept
    {
        return candidatePointers_;
    }
    [[nodiscard]] bool searched() const noexcept
    {
        return searched_;
    }
    [[nodiscard]] long openMax() const noexcept
    {
        return openMax_;
    }

private:
    void findCandidates(const QByteArray& name)
    {
        // Like execvp: a name without "/" is looked up in the folders of
        // PATH, in order; an empty entry stands for the working folder.
        searched_ = !name.contains('/');
        if (searched_) {
            const QByteArray path =
                qEnvironmentVariableIsSet("PATH") ? qgetenv("PATH") : QByteArray("/bin:/usr/bin");
            for (const QByteArray& folder : path.split(':')) {
                candidates_.push_back(folder.isEmpty() ? name : folder + '/' + name);
            }
        } else {
            candidates_.push_back(name);
        }
        for (const QByteArray& candidate : candidates_) {
            candidatePointers_.push_back(candidate.constData());
        }

        const long openMax = ::sysconf(_SC_OPEN_MAX);
        openMax_ = openMax > 0 ? openMax : 1024;
    }

    std::vector<QByteArray> candidates_;
    std::vector<const char*> candidatePointers_;
    bool searched_ = false;
    long openMax_ = 1024;
#endif

    std::vector<QByteArray> storage_;
    std::vector<char*> argv_;
};

#ifndef ORVANE_SPAWN

// The code below up to start() runs in the forked children: async-signal-safe
// calls only.

pid_t forkAgain()
{
#ifdef ORVANE_HAVE_UNDERSCORE_FORK
    return ::_Fork(); // no fork handlers: nothing in the child may take a lock
#else
    return ::fork();
#endif
}

void report(int pipeEnd, int error)
{
    while (::write(pipeEnd, &error, sizeof error) < 0 && errno == EINTR) {
    }
}

// Closes every descriptor above the standard streams except `keep`.
void closeOtherDescriptors(int keep, long openMax)
{
#ifdef ORVANE_HAVE_CLOSE_RANGE
    bool closed = false;
    if (keep <= 3) {
        closed = ::close_range(keep < 3 ? 3U : 4U, ~0U, 0) == 0;
    } else {
        closed = ::close_range(3U, static_cast<unsigned>(keep) - 1, 0) == 0 &&
                 ::close_range(static_cast<unsigned>(keep) + 1, ~0U, 0) == 0;
    }
    if (closed) {
        return;
    }
#endif
    for (long fd = 3; fd < openMax; ++fd) {
        if (fd != keep) {
            ::close(static_cast<int>(fd));
        }
    }
}

void resetSignals()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number = 1; number < NSIG; ++number) {
        ::sigaction(number, &action, nullptr); // fails harmlessly for KILL and STOP
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// The started program: executes it, or reports why it could not.
[[noreturn]] void runProgram(const Launch& launch, int pipeEnd)
{
    closeOtherDescriptors(pipeEnd, launch.openMax());
    resetSignals();

    int failure = ENOENT;
    bool denied = false;
    for (const char* candidate : launch.candidates()) {
        ::execv(candidate, launch.argv());
        const int error = errno;
        if (!launch.searched()) {
            failure = error;
            break;
        }
        // The same rules as execvp: a folder of PATH where the program is
        // missing or not executable does not end the search.
        if (error == EACCES) {
            denied = true;
        } else if (error != ENOENT && error != ENOTDIR && error != ESTALE && error != ENODEV &&
                   error != ETIMEDOUT) {
            failure = error;
            denied = false;
            break;
        }
    }
    report(pipeEnd, denied ? EACCES : failure);
    ::_exit(127);
}

// The first child: leaves our session and process group, starts the program
// and ends at once, so the program is adopted by the system and never
// becomes a child of ours.
[[noreturn]] void runMiddle(const Launch& launch, int pipeEnd)
{
    ::setsid();
    const pid_t pid = forkAgain();
    if (pid == 0) {
        runProgram(launch, pipeEnd);
    }
    if (pid < 0) {
        report(pipeEnd, errno);
        ::_exit(1);
    }
    ::_exit(0);
}

// Reads the error number the children sent, or 0 when the program was
// executed (the pipe closes on exec without anything written to it).
int readReport(int pipeEnd)
{
    int error = 0;
    for (;;) {
        const ssize_t count = ::read(pipeEnd, &error, sizeof error);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count == 0) {
            return 0;
        }
        if (count == static_cast<ssize_t>(sizeof error)) {
            return error != 0 ? error : EIO;
        }
        return count < 0 ? errno : EIO;
    }
}

void makePipe(int (&ends)[2])
{
#ifdef __linux__
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        throw systemFailure(errno);
    }
#else
    if (::pipe(ends) != 0) {
        throw systemFailure(errno);
    }
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
#endif
}

#endif // !ORVANE_SPAWN

} // namespace

#ifdef ORVANE_SPAWN

namespace {

// Owns the spawn attributes and actions for one start.
struct SpawnSetup {
    SpawnSetup()
    {
        ::posix_spawnattr_init(&attributes);
        ::posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup()
    {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawnattr_t attributes{};
    posix_spawn_file_actions_t actions{};
};

} // namespace

// The started programs that have not ended yet. Each one's pidfd is in one
// epoll set, watched by one notifier: when programs end, the set becomes
// readable and the ended ones are waited for, so that none stays a zombie.
class EndWatches {
public:
    EndWatches() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}
    ~EndWatches()
    {
        notifier_.reset();
        for (const auto& [pidfd, pid] : watched_) {
            ::close(pidfd);
        }
        if (epoll_ >= 0) {
            ::close(epoll_);
        }
    }
    EndWatches(const EndWatches&) = delete;
    EndWatches& operator=(const EndWatches&) = delete;

    void add(pid_t pid)
    {
        // The notifier needs the event loop's thread to have one.
        if (!notifier_ && epoll_ >= 0 && QCoreApplication::instance() != nullptr) {
            notifier_ =
                std::make_unique<QSocketNotifier>(static_cast<qintptr>(epoll_), QSocketNotifier::Read);
            QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                             [this] { waitForEnded(); });
        }
        const int pidfd = notifier_ ? static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)) : -1;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = pidfd;
        if (pidfd >= 0 && ::epoll_ctl(epoll_, EPOLL_CTL_ADD, pidfd, &event) == 0) {
            watched_.emplace(pidfd, pid);
        } else {
            // No pidfds (a kernel before 5.3) or no event loop: the ended
            // ones are waited for at the next start.
            if (pidfd >= 0) {
                ::close(pidfd);
            }
            unwatched_.push_back(pid);
        }
        std::erase_if(unwatched_, [](pid_t started) { return waitedFor(started); });
    }

private:
    // Waits for the program if it has ended; true when it is gone.
    static bool waitedFor(pid_t pid)
    {
        siginfo_t info{};
        int result = 0;
        while ((result = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG)) < 0 &&
               errno == EINTR) {
        }
        return result < 0 || info.si_pid != 0; // ECHILD: someone else waited for it
    }

    void waitForEnded()
    {
        std::array<epoll_event, 16> events{};
        int count = 0;
        do {
            count = ::epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 0);
            for (int i = 0; i < count; ++i) {
                const int pidfd = events.at(static_cast<std::size_t>(i)).data.fd;
                const auto found = watched_.find(pidfd);
                if (found != watched_.end() && waitedFor(found->second)) {
                    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, pidfd, nullptr);
                    ::close(pidfd);
                    watched_.erase(found);
                }
            }
        } while (count == static_cast<int>(events.size()));
    }

    int epoll_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::map<int, pid_t> watched_; // pidfd -> program
    std::vector<pid_t> unwatched_;
};

// The program is started without copying our memory (posix_spawn shares it
// until the program is executed), so opening a file costs the same however
// many types and files are loaded. It runs in a session of its own and stays
// a child of ours until it ends; then the event loop hears of it and waits
// for it.
void SystemStarter::start(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty()) {
        throw systemFailure(ENOENT);
    }
    const Launch launch(program, arguments);

    SpawnSetup setup;
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    int error = ::posix_spawnattr_setflags(
        &setup.attributes,
        static_cast<short>(POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK));
    if (error == 0) {
        error = ::posix_spawnattr_setsigdefault(&setup.attributes, &all);
    }
    if (error == 0) {
        error = ::posix_spawnattr_setsigmask(&setup.attributes, &none);
    }
    if (error == 0) {
        error = ::posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    }
    if (error != 0) {
        throw systemFailure(error);
    }

    // Like execvp, a name without "/" is looked up in PATH, and the error
    // of executing the program comes back here.
    pid_t pid = -1;
    error = ::posix_spawnp(&pid, launch.argv()[0], &setup.actions, &setup.attributes, launch.argv(), environ);
    if (error != 0) {
        throw systemFailure(error);
    }

    if (!watches_) {
        watches_ = std::make_unique<EndWatches>();
    }
    watches_->add(pid);
}

#else // fork

class EndWatches {};

void SystemStarter::start(const QString& program, const QStringList& arguments)
{
    if (program.isEmpty()) {
        throw systemFailure(ENOENT);
    }
    const Launch launch(program, arguments);

    int ends[2] = {-1, -1};
    makePipe(ends);
    const Descriptor readEnd(ends[0]);
    Descriptor writeEnd(ends[1]);

    // No signal handler of ours may run in the children before they reset
    // the handling to the defaults.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t middle = ::fork();
    if (middle == 0) {
        runMiddle(launch, writeEnd.get());
    }
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    writeEnd.reset();
    if (middle < 0) {
        throw systemFailure(forkError);
    }

    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    const int error = readReport(readEnd.get());
    if (error != 0) {
        throw systemFailure(error);
    }
}

#endif // ORVANE_SPAWN

} // namespace orvane::platform

#endif // POSIX

namespace orvane::platform {

SystemStarter::SystemStarter() = default;

SystemStarter::~SystemStarter() = default;

} // namespace orvane::platform
