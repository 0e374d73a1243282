// orvane_bench: measures Orvane against floors (the least a program could do
// for the same result), side by side in one run, and prints two tables.
// `--only startup,load,save,choose,open,memory,respond` runs some rows.
// Exit status: 0 every target met, 1 a target missed, 2 a measurement could
// not be made or one of its checks failed.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <thread>
#include <utility>

#include "bench/bench.h"
#include "catalogue/catalogue.h"

namespace orvane::bench {

namespace {

const QByteArray kMainTitle = QByteArrayLiteral("Orvane 1.02");
constexpr double kAtOnce = 0.1; // an action a user sees happen at once

void progress(const QString& text)
{
    std::cerr << "orvane_bench: " << text.toStdString() << std::endl;
}

QString ms(double seconds)
{
    return QStringLiteral("%1 ms").arg(seconds * 1000.0, 0, 'f', seconds < 0.01 ? 3 : 1);
}

QString mib(double kib)
{
    return QStringLiteral("%1 MiB").arg(kib / 1024.0, 0, 'f', 1);
}

// This program as a helper, its windows on the X server when given one
// (offscreen otherwise), its errors coming out with ours.
Process startHelper(const QStringList& arguments, const QByteArray& display)
{
    return startProcess(QCoreApplication::applicationFilePath(), arguments,
                        {QStringLiteral("QT_QPA_PLATFORM=") +
                             (display.isEmpty() ? QStringLiteral("offscreen") : QStringLiteral("xcb")),
                         QStringLiteral("QT_LOGGING_RULES=qt.qpa.*=false"),
                         QStringLiteral("DISPLAY=") + QString::fromLatin1(display),
                         QStringLiteral("WAYLAND_DISPLAY")},
                        Output::ReadShowErrors);
}

// Runs a helper to its end and returns the lines it printed that start with
// `tag`, without it.
QList<QByteArray> helperSaid(const QStringList& arguments, const QByteArray& tag,
                             const QByteArray& display = {})
{
    const Process helper = startHelper(arguments, display);
    check(helper->waitForFinished(-1) && helper->exitStatus() == QProcess::NormalExit &&
              helper->exitCode() == 0,
          QStringLiteral("the helper \"%1\" failed").arg(arguments.join(u' ')));
    QList<QByteArray> said;
    for (const QByteArray& line : helper->readAllStandardOutput().split('\n')) {
        if (line.startsWith(tag)) {
            said.append(line.mid(tag.size()));
        }
    }
    return said;
}

struct Run {
    const Workspace& ws;
    QByteArray display; // the private X server's
};

// ---------------------------------------------------------------- start-up

// The two start-up rows: Orvane with an empty store against the floor
// window, and Orvane with the stored types against the empty start-up plus
// a bare read of the store in a fresh process.
std::vector<std::vector<Sample>> startUp(const Run& run, const char* /*name*/, int repetitions)
{
    MapWatch watch(run.display);
    const QStringList common = {QStringLiteral("DISPLAY=") + QString::fromLatin1(run.display),
                                QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("WAYLAND_DISPLAY=")};
    // The environment of Orvane with a config folder of its own.
    const auto home = [&](const QString& name, bool withTypes) {
        const QString config = run.ws.root + QStringLiteral("/home-") + name;
        QDir().mkpath(config + QStringLiteral("/Orvane"));
        check(!withTypes || QFile::copy(run.ws.typesConf(), config + QStringLiteral("/Orvane/Orvane.conf")),
              QStringLiteral("cannot copy the store"));
        return std::pair{config, common + QStringList{QStringLiteral("XDG_CONFIG_HOME=") + config}};
    };
    const auto launch = [&](const QString& program, const QStringList& env) {
        return startProcess(program, {}, env, Output::Discard);
    };

    // Orvane's own check that it started with the store: closed as a user
    // closes it, it saves every type it loaded.
    progress(QStringLiteral("checking that Orvane starts with the store and saves it whole"));
    for (const bool full : {false, true}) {
        const auto [config, env] =
            home(full ? QStringLiteral("check-full") : QStringLiteral("check-empty"), full);
        watch.drain();
        const Process child = launch(QStringLiteral(ORVANE_PROGRAM), env);
        watch.close(watch.waitShown(kMainTitle, 120, *child).window);
        check(child->waitForFinished(60000) && child->exitStatus() == QProcess::NormalExit &&
                  child->exitCode() == 0,
              QStringLiteral("Orvane did not end normally when its window was closed"));
        QSettings saved(config + QStringLiteral("/Orvane/Orvane.conf"), QSettings::IniFormat);
        const int count = saved.value(QStringLiteral("Types/") + kCountKey).toInt();
        check(count == (full ? kTypeCount : 0), QStringLiteral("Orvane started with %1 types and saved %2")
                                                    .arg(full ? kTypeCount : 0)
                                                    .arg(count));
        check(!full ||
                  saved.value(QStringLiteral("Types/Type app 0")).toString() == storedType(run.ws, 0).App,
              QStringLiteral("Orvane saved the first type wrong"));
    }

    const auto shown = [&](const QString& program, const QStringList& env) {
        watch.drain();
        const double started = now();
        const Process child = launch(program, env);
        return watch.waitShown(kMainTitle, 120, *child).at - started;
    };
    const QStringList emptyEnv = home(QStringLiteral("empty"), false).second;
    const QStringList fullEnv = home(QStringLiteral("full"), true).second;
    const std::function<double()> sides[] = {
        [&] { return shown(QStringLiteral(ORVANE_BENCH_WINDOW), common); },
        [&] { return shown(QStringLiteral(ORVANE_PROGRAM), emptyEnv); },
        [&] { return shown(QStringLiteral(ORVANE_PROGRAM), fullEnv); },
        [&] { // in a fresh process, as Orvane reads its store at start
            const QString store = freshStoreCopy(run.ws);
            const QList<QByteArray> said =
                helperSaid({QStringLiteral("--bare-read"), store, run.ws.root}, "elapsed ");
            QFile::remove(store);
            check(said.size() == 1, QStringLiteral("the bare read said nothing"));
            return said[0].toDouble();
        }};
    std::vector<double> times[4];
    // A warm-up first (-1, not counted); the order turns each repetition.
    for (int r = -1; r < repetitions; ++r) {
        for (int k = 0; k < 4; ++k) {
            const int side = (std::max(r, 0) + k) % 4;
            const double took = sides[side]();
            if (r >= 0) {
                times[side].push_back(took);
            }
        }
    }
    std::vector<std::vector<Sample>> rows(2);
    for (int r = 0; r < repetitions; ++r) {
        rows[0].push_back({times[1][r], times[0][r]});
        rows[1].push_back({times[2][r], times[1][r] + times[3][r]});
    }
    return rows;
}

// ------------------------------------------------------------------ memory

// The resident size, in KiB, of a helper holding the state.
double residentSize(const Run& run, bool full)
{
    const Process helper = startHelper(
        {QStringLiteral("--hold"), full ? QStringLiteral("full") : QStringLiteral("empty"), run.ws.root},
        run.display);
    check(firstLine(*helper, 120000) == "ready", QStringLiteral("the memory helper did not build its state"));
    QFile status(QStringLiteral("/proc/%1/status").arg(helper->processId()));
    double kib = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                kib = line.mid(6).trimmed().split(' ').value(0).toDouble();
            }
        }
    }
    helper->closeWriteChannel();
    check(helper->waitForFinished(60000) && helper->exitCode() == 0,
          QStringLiteral("the memory helper failed"));
    check(kib > 0, QStringLiteral("no resident size was read"));
    return kib;
}

std::vector<std::vector<Sample>> memory(const Run& run, const char* /*name*/, int repetitions)
{
    std::vector<Sample> samples(static_cast<std::size_t>(repetitions));
    for (int r = 0; r < repetitions; ++r) { // the full state first on even repetitions
        for (const bool full : {r % 2 == 0, r % 2 != 0}) {
            (full ? samples[r].program : samples[r].floor) = residentSize(run, full);
        }
    }
    return {samples};
}

// One of the figures measured in a helper of its own.
std::vector<std::vector<Sample>> helperFigure(const Run& run, const char* name, int repetitions)
{
    const QString figure = QString::fromLatin1(name);
    std::vector<Sample> samples;
    for (const QByteArray& line : helperSaid(
             {QStringLiteral("--figure"), figure, run.ws.root, QString::number(repetitions)}, "sample ")) {
        const QList<QByteArray> times = line.split(' ');
        check(times.size() == 2,
              QStringLiteral("the figure %1 said: %2").arg(figure, QString::fromUtf8(line)));
        samples.push_back({times[0].toDouble(), times[1].toDouble()});
    }
    check(static_cast<int>(samples.size()) == repetitions,
          QStringLiteral("the figure %1 gave %2 samples").arg(figure).arg(samples.size()));
    return {samples};
}

// ------------------------------------------------------------------- table

struct RowText {
    const char* what;
    const char* against;
    double target;
};

// The rows of the first table, by what --only names; repetitions: enough for
// a steady median, with the whole run in a few minutes on two cores.
struct Group {
    const char* name;
    int repetitions;
    std::vector<std::vector<Sample>> (*measure)(const Run&, const char* name, int repetitions);
    QString (*unit)(double);
    std::vector<RowText> rows;
};

const Group kGroups[] = {
    {"startup",
     9,
     startUp,
     ms,
     {{"start-up to the main window shown, empty store",
       "a main window of the same kind: three menus, two labels, an editable combo box and a list view",
       1.15},
      {"start-up with 32,767 stored types",
       "the empty-store start-up plus a bare QSettings read of the same file", 1.3}}},
    {"load",
     7,
     helperFigure,
     ms,
     {{"LoadTypes + FillTypeCombos, 32,767 types", "reading the same keys with a bare QSettings loop", 1.5}}},
    {"save",
     7,
     helperFigure,
     ms,
     {{"SaveTypes, 32,767 types", "the same bytes written to a new file, synced and renamed", 1.5}}},
    {"choose",
     9,
     helperFigure,
     ms,
     {{"choosing a type whose folder holds 100,000 files, 50,000 matching",
       "listing and sorting that folder with QDirIterator and a case-insensitive sort", 1.5}}},
    {"open",
     101,
     helperFigure,
     ms,
     {{"opening a file, from the double-click to the application's process existing",
       "posix_spawn of the same program", 1.2}}},
    {"memory",
     3,
     memory,
     mib,
     {{"memory: resident size with 32,767 types loaded and a 100,000-file folder shown", "the empty program",
       3.0}}},
};

// A row's figures: each side's median, and the median of each repetition's
// own ratio, so that a change of load weighs on both sides of it alike.
// Returns whether the row met its target.
bool printRow(const RowText& text, const std::vector<Sample>& samples, QString (*unit)(double))
{
    check(!samples.empty(), QStringLiteral("no samples for ") + QString::fromUtf8(text.what));
    std::vector<double> program, floor, ratios;
    for (const Sample& s : samples) {
        check(s.floor > 0, QStringLiteral("a floor of nothing for ") + QString::fromUtf8(text.what));
        program.push_back(s.program);
        floor.push_back(s.floor);
        ratios.push_back(s.program / s.floor);
    }
    const double ratio = median(ratios);
    std::cout << QStringLiteral("| %1 | %2 | %3 | %4 | %5x | <= %6x | %7 | %8 |\n")
                     .arg(QString::fromUtf8(text.what), QString::fromUtf8(text.against),
                          unit(median(program)), unit(median(floor)), QString::number(ratio, 'f', 2),
                          QString::number(text.target, 'f', 2),
                          ratio <= text.target ? QStringLiteral("yes") : QStringLiteral("**no**"),
                          QString::number(samples.size()))
                     .toStdString();
    return ratio <= text.target;
}

QString machineLine()
{
    QString cpu = QStringLiteral("unknown");
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : info.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                cpu = QString::fromUtf8(line.mid(line.indexOf(':') + 1).trimmed());
                break;
            }
        }
    }
    return QStringLiteral("Machine: %1 cores (nproc), %2; %3 %4; Qt %5. Date: %6.")
        .arg(std::thread::hardware_concurrency())
        .arg(cpu, QSysInfo::kernelType(), QSysInfo::kernelVersion(), QString::fromLatin1(qVersion()),
             QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")));
}

int runAll(const QStringList& only)
{
    const auto wanted = [&](const char* name) {
        return only.isEmpty() || only.contains(QLatin1StringView(name));
    };
    const QString machine = machineLine();
    progress(machine);
    QTemporaryDir dir;
    check(dir.isValid(), QStringLiteral("no temporary folder"));
    const Workspace ws{dir.path()};
    progress(QStringLiteral("creating %1 stored types and a folder of %2 files in %3")
                 .arg(kTypeCount)
                 .arg(kFolderFiles)
                 .arg(ws.root));
    createWorkspace(ws);
    // Every program started from here has a runtime folder, as on a desktop.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = ws.root + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }

    // Xvfb on a free display, which it prints.
    const Process xvfb =
        startProcess(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                      QStringLiteral("tcp"), QStringLiteral("-noreset")},
                     {}, Output::Read);
    const QByteArray displayNumber = firstLine(*xvfb, 20000);
    check(!displayNumber.isEmpty(), QStringLiteral("Xvfb did not start (package xvfb)"));
    const Run run{ws, ':' + displayNumber};
    progress(QStringLiteral("Xvfb on display ") + QString::fromLatin1(run.display));
    // A session bus of its own, as a desktop session has, unless one is given:
    // without one, Qt's accessibility set-up in every Qt program runs
    // dbus-launch, a cost no desktop user pays.
    Process bus;
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        bus = startProcess(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")},
            {}, Output::Read);
        const QByteArray address = firstLine(*bus, 10000);
        check(!address.isEmpty(), QStringLiteral("dbus-daemon did not start (package dbus-daemon)"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        progress(QStringLiteral("a session bus of its own at ") + QString::fromLatin1(address));
    }

    std::vector<std::pair<const Group*, std::vector<std::vector<Sample>>>> measured;
    for (const Group& group : kGroups) {
        if (wanted(group.name)) {
            progress(QStringLiteral("measuring: ") + QString::fromUtf8(group.rows[0].what));
            measured.emplace_back(&group, group.measure(run, group.name, group.repetitions));
        }
    }
    std::vector<Response> responses;
    if (wanted("respond")) {
        progress(QStringLiteral("measuring: dropping down the type lists, scrolling and selecting files"));
        for (const QByteArray& line :
             helperSaid({QStringLiteral("--respond"), ws.root}, "response ", run.display)) {
            const qsizetype space = line.indexOf(' ');
            responses.push_back({QString::fromUtf8(line.mid(space + 1)), line.left(space).toDouble()});
        }
        check(responses.size() == 4, QStringLiteral("the responsiveness helper said too little"));
    }
    check(!measured.empty() || !responses.empty(), QStringLiteral("no rows chosen"));

    bool met = true;
    if (!measured.empty()) {
        std::cout << machine.toStdString() << "\n\n"
                  << "| What | Against (the floor) | Orvane | Floor | Ratio | Target | Met | Runs |\n"
                  << "|---|---|---:|---:|---:|---:|---|---:|\n";
        for (const auto& [group, samples] : measured) {
            for (std::size_t i = 0; i < group->rows.size(); ++i) {
                met = printRow(group->rows[i], samples.at(i), group->unit) && met;
            }
        }
        std::cout << "\nMedians of the repetitions; the ratio is the median of their own ratios.\n";
    }
    if (!responses.empty()) {
        std::cout << "\n| With 32,767 types and the 100,000-file folder shown | Took | At most | Met |\n"
                  << "|---|---:|---:|---|\n";
        for (const Response& r : responses) {
            std::cout << QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                             .arg(r.what, ms(r.seconds), ms(kAtOnce),
                                  r.seconds <= kAtOnce ? QStringLiteral("yes") : QStringLiteral("**no**"))
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
        if (mode == QStringLiteral("--figure") && argc >= 5) { // also by hand, over a kept workspace
            QApplication app(argc, argv);
            for (const Sample& s : runFigure(arg(2), Workspace{arg(3)}, arg(4).toInt())) {
                std::printf("sample %.9f %.9f\n", s.program, s.floor);
            }
        } else if (mode == QStringLiteral("--hold") && argc >= 4) {
            QApplication app(argc, argv);
            holdState(Workspace{arg(3)}, arg(2) == QStringLiteral("full"));
        } else if (mode == QStringLiteral("--respond") && argc >= 3) {
            QApplication app(argc, argv);
            for (const Response& r : figureRespond(Workspace{arg(2)})) {
                std::printf("response %.9f %s\n", r.seconds, r.what.toUtf8().constData());
            }
        } else if (mode == QStringLiteral("--bare-read") && argc >= 4) {
            QCoreApplication app(argc, argv);
            std::printf("elapsed %.9f\n", timedBareRead(Workspace{arg(3)}, arg(2)));
        } else if (mode == QStringLiteral("--workspace") && argc >= 3) { // the data kept, for --figure
            QCoreApplication app(argc, argv);
            createWorkspace(Workspace{arg(2)});
        } else {
            QCoreApplication app(argc, argv);
            return runAll(mode == QStringLiteral("--only") ? arg(2).split(u',', Qt::SkipEmptyParts)
                                                           : QStringList());
        }
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& failure) {
        std::cerr << "orvane_bench: check failed: " << failure.what() << std::endl;
        return 2;
    }
}
