#pragma once

#include <memory>

#include "platform/activation.h"
#include "platform/services.h"

namespace orvane::platform {

class EndWatches;
struct GioLibrary;

// Starts programs and desktop entries.
//
// A program is executed directly, never through a shell: the name is taken
// exactly as given, and a name without "/" is looked up in PATH. Every
// argument reaches the program as one argument, unchanged. The program runs
// in a session of its own, inherits the environment, the working folder and
// the three standard streams but no other open descriptor, and starts with
// default signal handling. It is started with posix_spawn, stays a child of
// ours until it ends and is waited for then, from the event loop: no zombie
// is left once the loop has run.
//
// A name ending in ".desktop" is a desktop entry, started with the arguments
// as its files by the desktop's own launcher (GIO, loaded on first use).
//
// Every start brings the started program's window to the front where the
// desktop lets it: on Wayland it is given a fresh activation token for our
// focused window (XDG_ACTIVATION_TOKEN and DESKTOP_STARTUP_ID), on X11 a
// startup id with the time of the user's last input (DESKTOP_STARTUP_ID),
// announced to the desktop before the start and ended when it fails. The
// token or id this program was started with never reaches a started program.
//
// start() returns as soon as the program runs and throws Failure when it
// cannot be started: the system's error number for a program, ENOENT for an
// entry that cannot be read, is hidden or names a missing program, ENOEXEC
// with the launcher's words when the launcher fails.
class SystemStarter final : public ProgramStarter {
public:
    SystemStarter();
    ~SystemStarter() override;
    SystemStarter(const SystemStarter&) = delete;
    SystemStarter& operator=(const SystemStarter&) = delete;

    void start(const QString& program, const QStringList& arguments) override;

private:
    void startEntry(const QString& entry, const QStringList& files);

    std::unique_ptr<EndWatches> watches_; // the started programs still running
    std::unique_ptr<GioLibrary> gio_;     // once an entry was started
    Activation activation_;
};

} // namespace orvane::platform
