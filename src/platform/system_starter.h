#pragma once

#include <memory>

#include "platform/services.h"

namespace orvane::platform {

class EndWatches;

// Starts programs through the operating system.
//
// On POSIX the program is executed directly, never through a shell: the
// name is taken exactly as given, and a name without "/" is looked up in
// PATH. Every argument reaches the program as one argument, unchanged. The
// program runs in a session of its own, inherits the environment, the
// working folder and the three standard streams but no other open
// descriptor, and starts with default signal handling. start() returns as
// soon as the program runs and throws Failure carrying the system's error
// number when it cannot be executed.
//
// With glibc on Linux the program is started with posix_spawn as the leader
// of a new session, stays a child of ours until it ends and is waited for
// then, from the event loop: no zombie is left once the loop has run. On
// other POSIX systems it is handed to the system at once (double fork).
class SystemStarter final : public ProgramStarter {
public:
    SystemStarter();
    ~SystemStarter() override;
    SystemStarter(const SystemStarter&) = delete;
    SystemStarter& operator=(const SystemStarter&) = delete;

    void start(const QString& program, const QStringList& arguments) override;

private:
    std::unique_ptr<EndWatches> watches_; // the started programs still running
};

} // namespace orvane::platform
