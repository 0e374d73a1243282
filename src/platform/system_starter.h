#pragma once

#include "platform/services.h"

namespace orvane::platform {

// Starts programs through the operating system.
//
// On POSIX the program is executed directly, never through a shell: the
// name is taken exactly as given, and a name without "/" is looked up in
// PATH. Every argument reaches the program as one argument, unchanged. The
// program is detached (double fork, own session), inherits the environment,
// the working folder and the three standard streams but no other open
// descriptor, and starts with default signal handling. start() returns as
// soon as the program runs and throws Failure carrying the system's error
// number when it cannot be executed.
class SystemStarter final : public ProgramStarter {
public:
    void start(const QString& program, const QStringList& arguments) override;
};

} // namespace orvane::platform
