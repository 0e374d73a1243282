#include "platform/system_starter.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QScopeGuard>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/failure.h"
#include "platform/filenames.h"
#include "platform/gio.h"

namespace orvane::platform {

namespace {

// The program's name and arguments as the system takes them.
class Launch {
public:
    Launch(const QString& program, const QStringList& arguments)
    {
        // The exact bytes of names that are not UTF-8 travel on (filenames.h).
        const QByteArray name = toNativeName(program);
        storage_.reserve(static_cast<std::size_t>(arguments.size()) + 1);
        storage_.push_back(name);
        for (const QString& argument : arguments) {
            storage_.push_back(toNativeName(argument));
        }
        for (const QByteArray& bytes : storage_) {
            if (bytes.contains('\0')) {
                // A NUL cannot travel inside a program name or argument.
                throw systemFailure(EINVAL);
            }
            argv_.push_back(const_cast<char*>(bytes.constData()));
        }
        argv_.push_back(nullptr);
    }

    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    [[nodiscard]] char* const* argv() const noexcept { return argv_.data(); }

    std::vector<QByteArray> storage_;
    std::vector<char*> argv_;
};

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

bool isDesktopEntry(const QString& program)
{
    return program.endsWith(QStringLiteral(".desktop"));
}

bool isLaunchId(const char* entry)
{
    const auto named = [entry](const char* name) {
        const std::size_t length = std::strlen(name);
        return std::strncmp(entry, name, length) == 0 && entry[length] == '=';
    };
    return named(kTokenVariable) || named(kStartupIdVariable);
}

// Our environment as a started program gets it: without the token or id
// we were started with (spent, and given to us), with the fresh ones of
// this start.
class ChildEnvironment {
public:
    explicit ChildEnvironment(const LaunchIds& ids)
    {
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (!isLaunchId(*entry)) {
                pointers_.push_back(*entry);
            }
        }
        add(kTokenVariable, ids.token);
        add(kStartupIdVariable, ids.startupId);
        pointers_.push_back(nullptr);
    }

    [[nodiscard]] char* const* envp() const noexcept { return pointers_.data(); }

private:
    void add(const char* name, const QByteArray& value)
    {
        if (!value.isEmpty()) {
            pointers_.push_back(added_.emplace_back(QByteArray(name) + '=' + value).data());
        }
    }

    std::vector<char*> pointers_;
    std::list<QByteArray> added_; // each keeps its place
};

QString baseName(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

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
    if (isDesktopEntry(program)) {
        startEntry(program, arguments);
        return;
    }
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

    const LaunchIds ids = activation_.announce({baseName(program), baseName(program), {}, {}});
    const ChildEnvironment environment(ids);
    // Like execvp, a name without "/" is looked up in PATH, and the error
    // of executing the program comes back here.
    pid_t pid = -1;
    error = ::posix_spawnp(&pid, launch.argv()[0], &setup.actions, &setup.attributes, launch.argv(),
                           environment.envp());
    if (error != 0) {
        activation_.startFailed(ids);
        throw systemFailure(error);
    }

    if (!watches_) {
        watches_ = std::make_unique<EndWatches>();
    }
    watches_->add(pid);
}

// The desktop's own launcher reads the entry and starts it as the desktop
// does: its field codes filled in with the files, in a terminal, over
// D-Bus, with startup notification where the desktop has it. An entry that
// cannot be read, is hidden or names a missing program fails here; one GIO
// cannot launch fails with GIO's own words.
void SystemStarter::startEntry(const QString& entry, const QStringList& files)
{
    if (!gio_) {
        gio_ = std::make_unique<GioLibrary>();
    }
    if (!gio_->load()) {
        throw systemFailure(ENOENT);
    }
    const GioLibrary& gio = *gio_;
    const QByteArray path = toNativeName(entry);
    const auto info = gioOwned(gio, gio.desktopEntry(path.constData()));
    if (!info || gio.entryHidden(info.get())) {
        throw systemFailure(ENOENT);
    }

    std::vector<GioOwned<GFile>> owners;
    GList* list = nullptr;
    const auto freeList = qScopeGuard([&list] { g_list_free(list); });
    for (const QString& file : files) {
        owners.push_back(gioOwned(gio, gio.fileForPath(toNativeName(file).constData())));
        list = g_list_append(list, owners.back().get());
    }
    auto* app = reinterpret_cast<GAppInfo*>(info.get());
    const auto entryText = [&](const char* key) {
        gchar* value = gio.entryString(info.get(), key);
        QString text = QString::fromUtf8(value);
        g_free(value);
        return text;
    };
    LaunchInfo launch{QString::fromUtf8(gio.appName(app)),
                      baseName(QFile::decodeName(gio.appExecutable(app))), entryText("Icon"),
                      entryText("StartupWMClass")};
    // An entry that says it does not end a startup sequence gets none.
    launch.notify =
        !gio.entryHasKey(info.get(), "StartupNotify") || gio.entryBoolean(info.get(), "StartupNotify");
    const LaunchIds ids = activation_.announce(launch);

    const auto context = gioOwned(gio, gio.newLaunchContext());
    for (const auto& [name, value] :
         {std::pair{kTokenVariable, ids.token}, {kStartupIdVariable, ids.startupId}}) {
        if (value.isEmpty()) {
            gio.contextUnsetenv(context.get(), name);
        } else {
            gio.contextSetenv(context.get(), name, value.constData());
        }
    }
    GError* error = nullptr;
    if (!gio.launch(app, list, context.get(), &error)) {
        activation_.startFailed(ids);
        const QString message = error != nullptr ? QString::fromUtf8(error->message) : QString();
        g_clear_error(&error);
        throw Failure(ENOEXEC, message);
    }
}

SystemStarter::SystemStarter() = default;

SystemStarter::~SystemStarter() = default;

} // namespace orvane::platform
