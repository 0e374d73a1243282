// A tiny X session manager (XSMP) for the end-to-end tests, on the local
// ICE transport only, for one client. Its first line of output is
//   listening <SESSION_MANAGER value>
// then it takes commands on standard input, one a line:
//   checkpoint  SaveYourself (both, shutdown False, interact None, fast False)
//   logout      SaveYourself (both, shutdown True, ...), then Die once done
//   quit        end
// and reports what the client does, one line each: registered <client id>
// (before its first save), ready (the save a new client owes is done),
// save-yourself-done success=0|1, die-sent, shutdown-cancelled,
// phase2-request, interact-request <dialog>, interact-done cancel=0|1,
// connection-closed [reasons], connection-lost (gone without a word), busy,
// no-client, unknown-command <line>. The save is "both": Qt asks the
// application to commit its data only for a global or a both save.

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Why the save under way was asked for.
enum class Save { None, Initial, Checkpoint, Logout };

// What the callbacks share, passed to them as their manager data.
struct Session {
    IceConn ice = nullptr;
    SmsConn sms = nullptr;
    Save pending = Save::None;
    bool ended = false;
};

Session& session(SmPointer data)
{
    return *static_cast<Session*>(data);
}

// Only a client on this machine's unix socket may connect, without
// authentication data of its own.
Bool localOnly(char* host)
{
    return std::strncmp(host, "local/", 6) == 0 ? True : False;
}

// A broken connection shows in IceProcessMessages' result; the default
// handler would end the whole program.
void ignoreIoError(IceConn) {}

// The client is gone: its connection is closed and the manager ends.
void endConnection(Session& s)
{
    if (s.sms != nullptr) {
        SmsCleanUp(s.sms);
        s.sms = nullptr;
    }
    IceSetShutdownNegotiation(s.ice, False);
    IceCloseConnection(s.ice);
    s.ice = nullptr;
    s.ended = true;
}

Status registerClient(SmsConn sms, SmPointer data, char* previousId)
{
    // A previous id names a session this manager never saved: the client
    // must register anew, without one.
    const bool known = previousId == nullptr || *previousId == '\0';
    std::free(previousId);
    if (!known) {
        return 0;
    }
    char* id = SmsGenerateClientID(sms);
    if (id == nullptr) {
        return 0;
    }
    SmsRegisterClientReply(sms, id);
    std::printf("registered %s\n", id);
    std::free(id);
    // A new client saves once, locally, right after registering.
    session(data).pending = Save::Initial;
    SmsSaveYourself(sms, SmSaveLocal, False, SmInteractStyleNone, False);
    return 1;
}

void interactRequest(SmsConn sms, SmPointer, int dialogType)
{
    // The saves asked for allow no interaction; a client asking anyway is
    // let go on, and the request shows in the output.
    std::printf("interact-request %s\n", dialogType == SmDialogError ? "error" : "normal");
    SmsInteract(sms);
}

void interactDone(SmsConn sms, SmPointer data, Bool cancelShutdown)
{
    std::printf("interact-done cancel=%d\n", cancelShutdown ? 1 : 0);
    Session& s = session(data);
    if (cancelShutdown && s.pending == Save::Logout) {
        SmsShutdownCancelled(sms);
        std::printf("shutdown-cancelled\n");
        s.pending = Save::Checkpoint;
    }
}

void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool)
{
    std::printf("save-yourself-request ignored\n");
}

void phase2Request(SmsConn sms, SmPointer)
{
    // The only client has finished its first phase.
    std::printf("phase2-request\n");
    SmsSaveYourselfPhase2(sms);
}

void saveYourselfDone(SmsConn sms, SmPointer data, Bool success)
{
    Session& s = session(data);
    const Save done = s.pending;
    s.pending = Save::None;
    if (done == Save::Initial) {
        SmsSaveComplete(sms);
        std::printf("ready\n");
        return;
    }
    std::printf("save-yourself-done success=%d\n", success ? 1 : 0);
    if (done != Save::Logout) {
        SmsSaveComplete(sms);
    } else if (success) {
        SmsDie(sms);
        std::printf("die-sent\n");
    } else {
        SmsShutdownCancelled(sms);
        std::printf("shutdown-cancelled\n");
    }
}

void closeConnection(SmsConn, SmPointer data, int count, char** reasons)
{
    std::string line = "connection-closed";
    for (int i = 0; i < count; ++i) {
        line += ' ';
        line += reasons[i];
    }
    std::printf("%s\n", line.c_str());
    SmFreeReasons(count, reasons);
    endConnection(session(data));
}

void setProperties(SmsConn, SmPointer, int count, SmProp** props)
{
    for (int i = 0; i < count; ++i) {
        SmFreeProperty(props[i]);
    }
    std::free(props);
}

void deleteProperties(SmsConn, SmPointer, int count, char** names)
{
    for (int i = 0; i < count; ++i) {
        std::free(names[i]);
    }
    std::free(names);
}

void getProperties(SmsConn sms, SmPointer)
{
    SmsReturnProperties(sms, 0, nullptr);
}

Status newClient(SmsConn sms, SmPointer data, unsigned long* mask, SmsCallbacks* callbacks, char** failure)
{
    Session& s = session(data);
    if (s.sms != nullptr) {
        *failure = strdup("this session manager takes one client");
        return 0;
    }
    s.sms = sms;
    *callbacks = SmsCallbacks{};
    callbacks->register_client = {registerClient, data};
    callbacks->interact_request = {interactRequest, data};
    callbacks->interact_done = {interactDone, data};
    callbacks->save_yourself_request = {saveYourselfRequest, data};
    callbacks->save_yourself_phase2_request = {phase2Request, data};
    callbacks->save_yourself_done = {saveYourselfDone, data};
    callbacks->close_connection = {closeConnection, data};
    callbacks->set_properties = {setProperties, data};
    callbacks->delete_properties = {deleteProperties, data};
    callbacks->get_properties = {getProperties, data};
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask | SmsSaveYourselfDoneProcMask |
            SmsCloseConnectionProcMask | SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask |
            SmsGetPropertiesProcMask;
    return 1;
}

// The listening sockets, closed at the end.
struct Listeners {
    int count = 0;
    IceListenObj* objects = nullptr;
    Listeners() = default;
    Listeners(const Listeners&) = delete;
    Listeners& operator=(const Listeners&) = delete;
    ~Listeners()
    {
        if (objects != nullptr) {
            IceFreeListenObjs(count, objects);
        }
    }
};

void command(Session& s, const std::string& line)
{
    const bool checkpoint = line == "checkpoint";
    if (line == "quit") {
        s.ended = true;
    } else if (!checkpoint && line != "logout") {
        std::printf("unknown-command %s\n", line.c_str());
    } else if (s.sms == nullptr) {
        std::printf("no-client\n");
    } else if (s.pending != Save::None) {
        std::printf("busy\n");
    } else {
        s.pending = checkpoint ? Save::Checkpoint : Save::Logout;
        SmsSaveYourself(s.sms, SmSaveBoth, checkpoint ? False : True, SmInteractStyleNone, False);
    }
}

// Reads what standard input has; false at its end.
bool readCommands(Session& s, std::string& input)
{
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        return false;
    }
    input.append(buffer, static_cast<size_t>(n));
    for (size_t end; (end = input.find('\n')) != std::string::npos;) {
        const std::string line = input.substr(0, end);
        input.erase(0, end + 1);
        if (!line.empty()) {
            command(s, line);
        }
    }
    return true;
}

void processClient(Session& s)
{
    if (IceProcessMessages(s.ice, nullptr, nullptr) == IceProcessMessagesIOError) {
        std::printf("connection-lost\n");
        endConnection(s);
    } else if (s.ice != nullptr && IceConnectionStatus(s.ice) == IceConnectRejected) {
        std::printf("connection-rejected\n");
        IceCloseConnection(s.ice);
        s.ice = nullptr;
    }
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::signal(SIGPIPE, SIG_IGN);
    IceSetIOErrorHandler(ignoreIoError);

    Session s;
    char error[256] = "";
    if (!SmsInitialize("Orvane tests", "1.0", newClient, &s, localOnly, sizeof error, error)) {
        std::fprintf(stderr, "xsmp_manager: cannot start: %s\n", error);
        return 1;
    }
    Listeners all;
    if (!IceListenForConnections(&all.count, &all.objects, sizeof error, error)) {
        std::fprintf(stderr, "xsmp_manager: cannot listen: %s\n", error);
        return 1;
    }
    std::vector<IceListenObj> local;
    for (int i = 0; i < all.count; ++i) {
        char* address = IceGetListenConnectionString(all.objects[i]);
        if (std::strncmp(address, "local/", 6) == 0) {
            IceSetHostBasedAuthProc(all.objects[i], localOnly);
            local.push_back(all.objects[i]);
        }
        std::free(address);
    }
    if (local.empty()) {
        std::fprintf(stderr, "xsmp_manager: no local transport to listen on\n");
        return 1;
    }
    char* ids = IceComposeNetworkIdList(static_cast<int>(local.size()), local.data());
    std::printf("listening %s\n", ids);
    std::free(ids);

    std::string input;
    while (!s.ended) {
        // Standard input first, then the listeners until a client came, or
        // the client's connection.
        std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}};
        if (s.ice == nullptr) {
            for (IceListenObj listener : local) {
                fds.push_back({IceGetListenConnectionNumber(listener), POLLIN, 0});
            }
        } else {
            fds.push_back({IceConnectionNumber(s.ice), POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            continue;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP)) != 0 && !readCommands(s, input)) {
            break;
        }
        if (s.ice != nullptr) {
            if (fds[1].revents != 0) {
                processClient(s);
            }
            continue;
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            IceAcceptStatus status = IceAcceptSuccess;
            s.ice = IceAcceptConnection(local[i - 1], &status);
            if (status != IceAcceptSuccess) {
                std::printf("accept-failed\n");
                s.ice = nullptr;
            }
            break;
        }
    }
    if (s.ice != nullptr) {
        endConnection(s);
    }
    return 0;
}
