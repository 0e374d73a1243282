// orvane_bench: measures Orvane against floors (the least a program could do
// for the same result), side by side in one run, and prints two tables; see
// docs/performance.md. `--only startup,load,save,choose,follow,open,memory,respond`
// runs some rows. Exit status: 0 every target met, 1 a target missed, 2 a
// measurement could not be made or one of its checks failed.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <thread>

#include <poll.h>
#include <sys/wait.h>

#include "bench/bench.h"
#include "catalogue/catalogue.h"

namespace orvane::bench {

namespace {

const QByteArray kMainTitle = "Orvane 1.02"_ba;
constexpr double kAtOnce = 0.1; // an action a user sees happen at once

void progress(const QString& text)
{
    std::cerr << "orvane_bench: " << text.toStdString() << std::endl;
}

QString ms(double seconds)
{
    return u"%1 ms"_s.arg(seconds * 1000.0, 0, 'f', seconds < 0.01 ? 3 : 1);
}

QString mib(double kib)
{
    return u"%1 MiB"_s.arg(kib / 1024.0, 0, 'f', 1);
}

// --------------------------------------------------------------- processes

// A started process, killed and waited for when it is let go.
struct EndProcess {
    void operator()(QProcess* process) const
    {
        process->kill();
        process->waitForFinished();
        delete process;
    }
};
using Process = std::unique_ptr<QProcess, EndProcess>;
enum class Output { Discard, Read, ReadShowErrors };

// Starts a program with our environment changed by "NAME=value" entries;
// its errors are discarded unless shown.
Process start(const QString& program, const QStringList& arguments, const QStringList& environment,
              Output output)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& entry : environment) {
        env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
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
    check(process->waitForStarted(), "cannot start %1", program);
    return process;
}

// The first line the process prints, trimmed; empty when none came in time.
QByteArray firstLine(QProcess& process, int timeoutMs)
{
    while (!process.canReadLine() && process.waitForReadyRead(timeoutMs)) {
    }
    return process.canReadLine() ? process.readLine().trimmed() : QByteArray();
}

// Runs `--figure NAME WS ARGUMENT` in a helper of its own to its end, its
// windows on the X server when given one (offscreen otherwise) and its
// errors coming out with ours; the lines it printed that start with `tag`,
// without it, and its responses to the run's.
QList<QByteArray> figureSaid(const QString& name, const QString& ws, const QString& argument,
                             const QByteArray& tag, const QByteArray& display = {},
                             std::vector<Response>* responses = nullptr)
{
    const QStringList arguments = {u"--figure"_s, name, ws, argument};
    const Process helper = start(QCoreApplication::applicationFilePath(), arguments,
                                 {u"QT_QPA_PLATFORM="_s + (display.isEmpty() ? u"offscreen"_s : u"xcb"_s),
                                  u"QT_LOGGING_RULES=qt.qpa.*=false"_s,
                                  u"DISPLAY="_s + QString::fromLatin1(display), u"WAYLAND_DISPLAY="_s},
                                 Output::ReadShowErrors);
    check(helper->waitForFinished(-1) && helper->exitStatus() == QProcess::NormalExit &&
              helper->exitCode() == 0,
          "the helper \"%1\" failed", arguments.join(u' '));
    QList<QByteArray> said;
    for (const QByteArray& line : helper->readAllStandardOutput().split('\n')) {
        if (!tag.isEmpty() && line.startsWith(tag)) {
            said.append(line.mid(tag.size()));
        } else if (line.startsWith("response ") && responses != nullptr) {
            const QByteArray response = line.mid(9);
            const qsizetype space = response.indexOf(' ');
            responses->push_back(
                {QString::fromUtf8(response.mid(space + 1)), response.left(space).toDouble()});
        }
    }
    return said;
}

// -------------------------------------------------------------------- X

// What xcb hands over, freed when let go.
struct Free {
    void operator()(void* data) const { std::free(data); }
};
template <typename T> using Reply = std::unique_ptr<T, Free>;

// Watches the X server's screen for top-level windows being mapped (shown)
// from its creation on.
class MapWatch {
public:
    explicit MapWatch(const QByteArray& display) : connection_(xcb_connect(display.constData(), nullptr))
    {
        check(xcb_connection_has_error(connection_) == 0, "cannot connect to the X server %1",
              QString::fromLatin1(display));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_,
                                     xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root,
                                     XCB_CW_EVENT_MASK, &mask);
        netWmName_ = atom("_NET_WM_NAME");
        wmProtocols_ = atom("WM_PROTOCOLS");
        wmDeleteWindow_ = atom("WM_DELETE_WINDOW");
    }
    ~MapWatch() { xcb_disconnect(connection_); }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    struct Shown {
        double at = 0; // when its map event arrived
        xcb_window_t window = 0;
    };
    // Waits until a top-level window with this title is mapped; throws
    // CheckFailed after the timeout or when `owner` ends first.
    Shown waitShown(const QByteArray& title, double timeoutSeconds, const QProcess& owner)
    {
        const double deadline = now() + timeoutSeconds;
        for (;;) {
            check(xcb_connection_has_error(connection_) == 0, "lost the X server");
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
                const double arrived = now();
                const Reply<xcb_generic_event_t> owned(event);
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
                if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && map->override_redirect == 0 &&
                    titleOf(map->window) == title) {
                    return {arrived, map->window};
                }
            }
            const double left = deadline - now();
            check(left > 0, "no window \"%1\" was shown within %2 s", QString::fromUtf8(title),
                  timeoutSeconds);
            siginfo_t info{};
            check(::waitid(P_PID, static_cast<id_t>(owner.processId()), &info, WEXITED | WNOHANG | WNOWAIT) ==
                          0 &&
                      info.si_pid == 0,
                  "the program ended before showing its window");
            pollfd wait{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&wait, 1, std::min(200, static_cast<int>(left * 1000) + 1));
        }
    }

    // Asks a window to close, as its close button does.
    void close(xcb_window_t window)
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = wmProtocols_;
        message.data.data32[0] = wmDeleteWindow_;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(connection_);
    }

private:
    xcb_atom_t atom(const char* name)
    {
        const auto cookie = xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
        const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
        check(reply != nullptr, "the X server does not answer");
        return reply->atom;
    }

    QByteArray titleOf(xcb_window_t window)
    {
        for (const xcb_atom_t name : {netWmName_, static_cast<xcb_atom_t>(XCB_ATOM_WM_NAME)}) {
            const auto cookie =
                xcb_get_property(connection_, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
            const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection_, cookie, nullptr));
            if (reply && xcb_get_property_value_length(reply.get()) > 0) {
                return {static_cast<const char*>(xcb_get_property_value(reply.get())),
                        xcb_get_property_value_length(reply.get())};
            }
        }
        return {};
    }

    xcb_connection_t* connection_;
    xcb_atom_t netWmName_ = 0;
    xcb_atom_t wmProtocols_ = 0;
    xcb_atom_t wmDeleteWindow_ = 0;
};

// ----------------------------------------------------------------- figures

struct Run {
    const Workspace& ws;
    QByteArray display;               // the private X server's
    std::vector<Response>& responses; // for the second table
};

// The two start-up rows: Orvane with an empty store against the floor
// window, and Orvane with the stored types against the empty start-up plus
// a bare read of the store in a fresh process, as Orvane reads it at start.
Rows startUp(const Run& run, const char* /*group*/, int repetitions)
{
    const QStringList common = {u"DISPLAY="_s + QString::fromLatin1(run.display), u"QT_QPA_PLATFORM=xcb"_s,
                                u"WAYLAND_DISPLAY="_s};
    // A config folder of Orvane's own, with the store or empty.
    const auto home = [&](const QString& name, bool withTypes) {
        const QString config = run.ws.root + u"/home-"_s + name;
        QDir().mkpath(config + u"/Orvane"_s);
        check(!withTypes || QFile::copy(run.ws.typesConf(), config + u"/Orvane/Orvane.conf"_s),
              "cannot copy the store");
        return config;
    };
    const auto env = [&](const QString& config) {
        return common + QStringList{u"XDG_CONFIG_HOME="_s + config};
    };

    // Orvane's own check that it started with the store: closed as a user
    // closes it, it saves every type it loaded.
    progress(u"checking that Orvane starts with the store and saves it whole"_s);
    for (const bool full : {false, true}) {
        const QString config = home(full ? u"check-full"_s : u"check-empty"_s, full);
        MapWatch watch(run.display); // a watch of its own: no earlier window's events
        const Process child = start(QStringLiteral(ORVANE_PROGRAM), {}, env(config), Output::Discard);
        watch.close(watch.waitShown(kMainTitle, 120, *child).window);
        check(child->waitForFinished(60000) && child->exitStatus() == QProcess::NormalExit &&
                  child->exitCode() == 0,
              "Orvane did not end normally when its window was closed");
        QSettings saved(config + u"/Orvane/Orvane.conf"_s, QSettings::IniFormat);
        const int count = saved.value(u"Types/"_s + kCountKey).toInt();
        check(count == (full ? kTypeCount : 0), "Orvane started with %1 types and saved %2",
              full ? kTypeCount : 0, count);
        check(!full || saved.value(u"Types/Type app 0"_s).toString() == storedType(run.ws, 0).App,
              "Orvane saved the first type wrong");
    }

    const auto shown = [&](const QString& program, const QStringList& environment) {
        MapWatch watch(run.display);
        const double started = now();
        const Process child = start(program, {}, environment, Output::Discard);
        return watch.waitShown(kMainTitle, 120, *child).at - started;
    };
    const QStringList emptyEnv = env(home(u"empty"_s, false));
    const QStringList fullEnv = env(home(u"full"_s, true));
    const std::vector<std::function<double()>> sides = {
        [&] { return shown(QStringLiteral(ORVANE_BENCH_WINDOW), common); },
        [&] { return shown(QStringLiteral(ORVANE_PROGRAM), emptyEnv); },
        [&] { return shown(QStringLiteral(ORVANE_PROGRAM), fullEnv); },
        [&] {
            const QString store = run.ws.storeCopy();
            const QList<QByteArray> said = figureSaid(u"bare-read"_s, run.ws.root, store, "elapsed ");
            QFile::remove(store);
            check(said.size() == 1, "the bare read said nothing");
            return said[0].toDouble();
        }};
    const std::vector<std::vector<double>> times = interleave(repetitions, sides);
    Rows rows(2);
    for (std::size_t r = 0; r < times[0].size(); ++r) {
        rows[0].push_back({times[1][r], times[0][r]});
        rows[1].push_back({times[2][r], times[1][r] + times[3][r]});
    }
    return rows;
}

// The resident size of a helper holding the full state, its folder
// followed, against one holding the empty program and one holding the full
// state without following.
Rows memory(const Run& run, const char* /*group*/, int repetitions)
{
    const auto resident = [&](const QString& state) {
        return [&run, state] {
            const QList<QByteArray> said =
                figureSaid(u"memory"_s, run.ws.root, state, "resident ", run.display);
            check(said.size() == 1 && said[0].toDouble() > 0, "the memory helper read no resident size");
            return said[0].toDouble();
        };
    };
    return againstFloors(repetitions, {resident(u"full"_s), resident(u"empty"_s), resident(u"unfollowed"_s)});
}

// A figure measured in a helper of its own: a row of samples for each row
// of its group.
Rows inHelper(const Run& run, const char* name, int repetitions)
{
    Rows rows;
    for (const QByteArray& line : figureSaid(QString::fromLatin1(name), run.ws.root,
                                             QString::number(repetitions), "sample ", {}, &run.responses)) {
        const QList<QByteArray> words = line.split(' ');
        const std::size_t row = words.value(0).toULong();
        check(words.size() == 3 && row < 8, "the figure %1 said \"%2\"", QString::fromLatin1(name),
              QString::fromUtf8(line));
        rows.resize(std::max(rows.size(), row + 1));
        rows[row].push_back({words[1].toDouble(), words[2].toDouble()});
    }
    for (const std::vector<Sample>& samples : rows) {
        check(static_cast<int>(samples.size()) == repetitions, "the figure %1 gave %2 samples",
              QString::fromLatin1(name), samples.size());
    }
    return rows;
}

// ------------------------------------------------------------------- table

// The rows of the first table. group: as --only names it; a group's rows
// follow each other and are measured by one call of `measure`, which gives
// each row's samples; repetitions: enough for a steady lower quartile on a
// shared machine, with the whole run in about four minutes on two cores.
struct RowSpec {
    const char* group;
    Rows (*measure)(const Run&, const char* group, int repetitions);
    int repetitions;
    QString (*unit)(double);
    double target; // the largest ratio, or with `difference` the largest difference, in the row's unit
    const char* what;
    const char* against;
    bool difference = false;
};

const RowSpec kRows[] = {
    {"startup", startUp, 21, ms, 1.15, "start-up to the main window shown, empty store",
     "a main window of the same kind: three menus, two labels, an editable combo box and a list view"},
    {"startup", startUp, 21, ms, 1.3, "start-up with 32,767 stored types",
     "the empty-store start-up plus a bare QSettings read of the same file"},
    {"load", inHelper, 21, ms, 1.5, "LoadTypes + FillTypeCombos, 32,767 types",
     "reading the same keys with a bare QSettings loop"},
    {"save", inHelper, 25, ms, 6.0, "SaveTypes, 32,767 types",
     "the same bytes written to a new file, synced and renamed"},
    {"save", inHelper, 25, ms, 0.25, "SaveTypes, 32,767 types",
     "QSettings writing the same keys and values and syncing them"},
    {"choose", inHelper, 21, ms, 1.5, "choosing a type whose folder holds 100,000 files, 50,000 matching",
     "listing and sorting that folder with QDirIterator and a case-insensitive sort"},
    {"follow", inHelper, 21, ms, 1.5,
     "a file created in that folder while shown, until its row is in the list, less the 30 ms the list waits "
     "for the folder to be quiet",
     "listing and sorting that folder afresh, as above"},
    {"follow", inHelper, 21, ms, 1.5,
     "10,000 files created at once in that folder while shown, from the last one made until the list holds "
     "them all",
     "listing and sorting the 110,000-file folder afresh"},
    {"open", inHelper, 201, ms, 1.5,
     "opening a file, from the double-click to the application's process existing",
     "posix_spawn of the same program"},
    {"open", inHelper, 201, ms, 1.2,
     "opening a file whose type's application is a desktop entry, from the double-click to the application's "
     "process existing",
     "GIO's g_app_info_launch of the same entry with the same file"},
    {"memory", memory, 5, mib, 3.0,
     "memory: resident size with 32,767 types loaded and a 100,000-file folder shown and followed",
     "the empty program"},
    {"memory", memory, 5, mib, 1024.0, "memory: the same, the folder followed", "the same without following",
     true},
};

// The lower quartile of the values: what a side takes when the machine lets
// it run, whatever other work comes and goes meanwhile.
double lowerQuartile(std::vector<double> values)
{
    check(!values.empty(), "a quartile of no samples");
    std::sort(values.begin(), values.end());
    const double at = static_cast<double>(values.size() - 1) / 4.0;
    const auto below = static_cast<std::size_t>(at);
    const double above = values[std::min(below + 1, values.size() - 1)];
    return values[below] + (above - values[below]) * (at - static_cast<double>(below));
}

// Prints a row: each side's lower quartile, and their ratio (or difference).
// Returns whether it met its target.
bool printRow(const RowSpec& row, const std::vector<Sample>& samples)
{
    std::vector<double> program, floor;
    for (const Sample& s : samples) {
        check(s.floor > 0, "a floor of nothing for %1", QString::fromUtf8(row.what));
        program.push_back(s.program);
        floor.push_back(s.floor);
    }
    const double ours = lowerQuartile(program);
    const double least = lowerQuartile(floor);
    const double ratio = row.difference ? ours - least : ours / least;
    const auto shown = [&](double value) {
        return row.difference ? (value < 0 ? u"-"_s : u"+"_s) + row.unit(std::abs(value))
                              : QString::number(value, 'f', 2) + u'x';
    };
    std::cout << u"| %1 | %2 | %3 | %4 | %5 | <= %6 | %7 | %8 |\n"_s
                     .arg(QString::fromUtf8(row.what), QString::fromUtf8(row.against), row.unit(ours),
                          row.unit(least), shown(ratio), shown(row.target),
                          ratio <= row.target ? u"yes"_s : u"**no**"_s, QString::number(samples.size()))
                     .toStdString();
    return ratio <= row.target;
}

QString machineLine()
{
    QString cpu = u"unknown"_s;
    for (const QByteArray& line : readFile(u"/proc/cpuinfo"_s).split('\n')) {
        if (line.startsWith("model name")) {
            cpu = QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
            break;
        }
    }
    return u"Machine: %1 cores (nproc), %2; %3 %4; Qt %5. Date: %6."_s
        .arg(std::thread::hardware_concurrency())
        .arg(cpu, QSysInfo::kernelType(), QSysInfo::kernelVersion(), QString::fromLatin1(qVersion()),
             QDateTime::currentDateTimeUtc().toString(u"yyyy-MM-dd HH:mm 'UTC'"_s));
}

int runAll(const QStringList& only)
{
    const auto wanted = [&](const char* name) {
        return only.isEmpty() || only.contains(QLatin1StringView(name));
    };
    const QString machine = machineLine();
    progress(machine);
    QTemporaryDir dir;
    check(dir.isValid(), "no temporary folder");
    const Workspace ws{dir.path()};
    progress(u"creating %1 stored types and a folder of %2 files in %3"_s.arg(kTypeCount)
                 .arg(kFolderFiles)
                 .arg(ws.root));
    createWorkspace(ws);
    // Every program started from here has a runtime folder, as on a desktop.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = ws.root + u"/runtime"_s;
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    // Xvfb on a free display, which it prints.
    const Process xvfb =
        start(u"Xvfb"_s, u"-displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset"_s.split(u' '), {},
              Output::Read);
    std::vector<Response> responses;
    const Run run{ws, ':' + firstLine(*xvfb, 20000), responses};
    check(run.display.size() > 1, "Xvfb did not start (package xvfb)");
    progress(u"Xvfb on display "_s + QString::fromLatin1(run.display));
    // A session bus of its own, as a desktop session has, unless one is
    // given: without one, Qt's accessibility set-up in every Qt program runs
    // dbus-launch, a cost no desktop user pays.
    Process bus;
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        bus =
            start(u"dbus-daemon"_s, u"--session --nofork --print-address=1"_s.split(u' '), {}, Output::Read);
        const QByteArray address = firstLine(*bus, 10000);
        check(!address.isEmpty(), "dbus-daemon did not start (package dbus-daemon)");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        progress(u"a session bus of its own at "_s + QString::fromLatin1(address));
    }

    std::vector<std::pair<const RowSpec*, std::vector<Sample>>> measured;
    Rows group;
    std::size_t next = 0;
    for (const RowSpec& row : kRows) {
        if (wanted(row.group)) {
            if (next == group.size()) {
                progress(u"measuring: "_s + QString::fromUtf8(row.what));
                group = row.measure(run, row.group, row.repetitions);
                next = 0;
            }
            measured.emplace_back(&row, group.at(next++));
        }
    }
    if (wanted("respond")) {
        progress(u"measuring: dropping down the type lists, scrolling and selecting files"_s);
        const std::size_t before = responses.size();
        figureSaid(u"respond"_s, ws.root, {}, {}, run.display, &responses);
        check(responses.size() == before + 4, "the responsiveness helper said too little");
    }
    check(!measured.empty() || !responses.empty(), "no rows chosen");

    bool met = true;
    if (!measured.empty()) {
        std::cout << machine.toStdString() << "\n\n"
                  << "| What | Against (the floor) | Orvane | Floor | Ratio | Target | Met | Runs |\n"
                  << "|---|---|---:|---:|---:|---:|---|---:|\n";
        for (const auto& [row, samples] : measured) {
            met = printRow(*row, samples) && met;
        }
        std::cout << "\nEach side's lower quartile over the repetitions, and their ratio.\n";
    }
    if (!responses.empty()) {
        std::cout << "\n| What a user waits for, at the limits (32,767 types, the 100,000-file folder) | "
                     "Took | At most | Met |\n"
                  << "|---|---:|---:|---|\n";
        for (const Response& r : responses) {
            std::cout << u"| %1 | %2 | %3 | %4 |\n"_s
                             .arg(r.what, ms(r.seconds), ms(kAtOnce),
                                  r.seconds <= kAtOnce ? u"yes"_s : u"**no**"_s)
                             .toStdString();
            met = met && r.seconds <= kAtOnce;
        }
    }
    std::cout.flush();
    return met ? 0 : 1;
}

} // namespace

} // namespace orvane::bench

int main(int argc, char* argv[])
{
    using namespace orvane::bench;
    const auto arg = [&](int i) { return i < argc ? QString::fromLocal8Bit(argv[i]) : QString(); };
    const QString mode = arg(1);
    try {
        if (mode == u"--figure"_s && argc >= 4) { // also by hand, over a kept workspace
            // The bare read's process is as bare as Orvane's own at the read.
            const std::unique_ptr<QCoreApplication> app = arg(2) == u"bare-read"_s
                                                              ? std::make_unique<QCoreApplication>(argc, argv)
                                                              : std::make_unique<QApplication>(argc, argv);
            runFigure(arg(2), Workspace{arg(3)}, arg(4));
        } else if (mode == u"--workspace"_s && argc >= 3) { // the data kept, for --figure
            QCoreApplication app(argc, argv);
            createWorkspace(Workspace{arg(2)});
        } else {
            QCoreApplication app(argc, argv);
            return runAll(mode == u"--only"_s ? arg(2).split(u',', Qt::SkipEmptyParts) : QStringList());
        }
        return 0;
    } catch (const std::exception& failure) {
        std::cerr << "orvane_bench: check failed: " << failure.what() << std::endl;
        return 2;
    }
}
