#include "bench/bench.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvane::bench {

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values)
{
    check(!values.empty(), QStringLiteral("a median of no samples"));
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// --------------------------------------------------------------- workspace

QString Workspace::freshPath(const QString& stem) const
{
    static std::atomic<int> counter{0};
    QDir().mkpath(root + QStringLiteral("/copies"));
    return root + QStringLiteral("/copies/%1-%2-%3").arg(stem).arg(::getpid()).arg(counter++);
}

TypeRecord storedType(const Workspace& ws, int n)
{
    if (n == 0) {
        return {QStringLiteral("Big"), QStringLiteral("txt"), ws.bigFolder(),
                QStringLiteral("Text files of the big folder"), QStringLiteral(ORVANE_BENCH_APP)};
    }
    return {QStringLiteral("Type %1").arg(n, 5, 10, QLatin1Char('0')), QStringLiteral("e%1").arg(n),
            QStringLiteral("/home/user/Documents/project %1/").arg(n),
            QStringLiteral("The files of project %1, kept for the record").arg(n),
            QStringLiteral("/usr/bin/editor%1").arg(n % 17)};
}

QStringList fields(const TypeRecord& record)
{
    return {record.Name, record.Ext, record.Path, record.Desc, record.App};
}

namespace {

void touch(const QString& path)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0, QStringLiteral("cannot create ") + path);
    ::close(fd);
}

// Names in mixed case and in no order, so that listing and sorting do real
// work; every other file is "*.txt" (as ".txt" or ".TXT").
QString bigFileName(int i)
{
    static const char* const stems[] = {"report", "Report", "NOTES", "notes",
                                        "Photo",  "photo",  "data",  "Data"};
    const int scrambled = static_cast<int>((static_cast<long long>(i) * 7919) % kFolderFiles);
    const char* ext = i % 2 == 1 ? ".dat" : (i % 4 == 0 ? ".txt" : ".TXT");
    return QStringLiteral("%1 %2%3")
        .arg(QLatin1StringView(stems[i % 8]))
        .arg(scrambled, 5, 10, QLatin1Char('0'))
        .arg(QLatin1StringView(ext));
}

} // namespace

void createWorkspace(const Workspace& ws)
{
    check(QDir().mkpath(ws.bigFolder()) && QDir().mkpath(ws.openFolder()),
          QStringLiteral("cannot create the workspace folders"));
    { // the store, written by QSettings the way the program writes it
        QSettings store(ws.typesConf(), QSettings::IniFormat);
        store.beginGroup(QStringLiteral("Types"));
        store.setValue(QStringLiteral("Number Of Types"), QString::number(kTypeCount));
        for (int n = 0; n < kTypeCount; ++n) {
            const QStringList values = fields(storedType(ws, n));
            for (qsizetype k = 0; k < kFieldKeys.size(); ++k) {
                store.setValue(kFieldKeys[k] + QString::number(n), values[k]);
            }
        }
        store.endGroup();
        store.sync();
        check(store.status() == QSettings::NoError, QStringLiteral("the store could not be written"));
    }
    for (int i = 0; i < kFolderFiles; ++i) {
        touch(ws.bigFolder() + bigFileName(i));
    }
    // A folder inside the big folder, which the file lists must leave out.
    QDir().mkpath(ws.bigFolder() + QStringLiteral("sub folder.txt"));
    touch(ws.openFolder() + QStringLiteral("letter.txt"));
}

QString freshStoreCopy(const Workspace& ws)
{
    const QString copy = ws.freshPath(QStringLiteral("store")) + QStringLiteral(".conf");
    check(QFile::copy(ws.typesConf(), copy), QStringLiteral("cannot copy the store to ") + copy);
    return copy;
}

// --------------------------------------------------------------- processes

void EndProcess::operator()(QProcess* process) const
{
    process->kill();
    process->waitForFinished();
    delete process;
}

Process startProcess(const QString& program, const QStringList& arguments, const QStringList& environment,
                     Output output)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        if (entry.contains(u'=')) {
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
        } else {
            env.remove(entry);
        }
    }
    Process process(new QProcess);
    process->setProcessEnvironment(env);
    if (output == Output::Discard) {
        process->setStandardOutputFile(QProcess::nullDevice());
    }
    if (output == Output::ReadShowErrors) {
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    } else {
        process->setStandardErrorFile(QProcess::nullDevice());
    }
    process->start(program, arguments);
    check(process->waitForStarted(), QStringLiteral("cannot start ") + program);
    return process;
}

QByteArray firstLine(QProcess& process, int timeoutMs)
{
    while (!process.canReadLine() && process.waitForReadyRead(timeoutMs)) {
    }
    return process.canReadLine() ? process.readLine().trimmed() : QByteArray();
}

// ---------------------------------------------------------------- MapWatch

MapWatch::MapWatch(const QByteArray& display)
{
    int screenNumber = 0;
    connection_ = xcb_connect(display.constData(), &screenNumber);
    check(xcb_connection_has_error(connection_) == 0,
          QStringLiteral("cannot connect to the X server ") + QString::fromLatin1(display));
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, screens.data->root, XCB_CW_EVENT_MASK, &mask);
    netWmName_ = atom("_NET_WM_NAME");
    wmProtocols_ = atom("WM_PROTOCOLS");
    wmDeleteWindow_ = atom("WM_DELETE_WINDOW");
}

MapWatch::~MapWatch()
{
    xcb_disconnect(connection_);
}

unsigned int MapWatch::atom(const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection_, cookie, nullptr), &std::free);
    check(reply != nullptr, QStringLiteral("the X server does not answer"));
    return reply->atom;
}

void MapWatch::close(unsigned int window)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = wmProtocols_;
    message.data.data32[0] = wmDeleteWindow_;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
}

void MapWatch::drain()
{
    // A round trip makes sure that every event sent so far has arrived.
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        std::free(event);
    }
}

QByteArray MapWatch::titleOf(unsigned int window)
{
    for (const xcb_atom_t property :
         {static_cast<xcb_atom_t>(netWmName_), static_cast<xcb_atom_t>(XCB_ATOM_WM_NAME)}) {
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(connection_, cookie, nullptr), &std::free);
        if (reply && xcb_get_property_value_length(reply.get()) > 0) {
            return {static_cast<const char*>(xcb_get_property_value(reply.get())),
                    xcb_get_property_value_length(reply.get())};
        }
    }
    return {};
}

MapWatch::Shown MapWatch::waitShown(const QByteArray& title, double timeoutSeconds, const QProcess& owner)
{
    const double deadline = now() + timeoutSeconds;
    for (;;) {
        check(xcb_connection_has_error(connection_) == 0, QStringLiteral("lost the X server"));
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            const double arrived = now();
            const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && map->override_redirect == 0 &&
                titleOf(map->window) == title) {
                return {arrived, map->window};
            }
        }
        const double left = deadline - now();
        check(left > 0, QStringLiteral("no window \"%1\" was shown within %2 s")
                            .arg(QString::fromUtf8(title))
                            .arg(timeoutSeconds));
        siginfo_t info{};
        check(::waitid(P_PID, static_cast<id_t>(owner.processId()), &info, WEXITED | WNOHANG | WNOWAIT) ==
                      0 &&
                  info.si_pid == 0,
              QStringLiteral("the program ended before showing its window"));
        pollfd wait{xcb_get_file_descriptor(connection_), POLLIN, 0};
        ::poll(&wait, 1, std::min(200, static_cast<int>(left * 1000) + 1));
    }
}

} // namespace orvane::bench
