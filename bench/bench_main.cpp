// orvane_bench: measures Orvane against floors (the least a program could
// do for the same result), side by side in one run, and prints one table.
// `--only startup,load,save,choose,open,memory,respond` runs some rows; the
// other options are the helpers it starts (see main()).
//
// Exit status: 0 every target met, 1 a target missed, 2 a measurement could
// not be made or one of its checks failed.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <vector>

#include "bench/figures.h"
#include "bench/measure.h"
#include "bench/xserver.h"
#include "catalogue/catalogue.h"

namespace orvane::bench {

namespace {

const QByteArray kMainTitle = QByteArrayLiteral("Orvane 1.02");

// Repetitions of each figure: enough for a steady median, with the whole
// run in a few minutes on two cores.
constexpr int kStartRuns = 9;
constexpr int kLoadRuns = 7;
constexpr int kSaveRuns = 7;
constexpr int kChooseRuns = 9;
constexpr int kOpenRuns = 101;
constexpr int kMemoryRuns = 3;

void progress(const QString& text)
{
    std::cerr << "orvane_bench: " << text.toStdString() << std::endl;
}

struct Row {
    QString what;
    QString against;
    QString program; // the program's median, with its unit
    QString floor;   // the floor's median, with its unit
    double ratio = 0;
    double target = 0;
    int samples = 0;
};

QString ms(double seconds)
{
    return QStringLiteral("%1 ms").arg(seconds * 1000.0, 0, 'f', seconds < 0.01 ? 3 : 1);
}

QString mib(double kib)
{
    return QStringLiteral("%1 MiB").arg(kib / 1024.0, 0, 'f', 1);
}

// A row from the two sides' samples, repetition by repetition: the ratio
// is the median of each repetition's ratio, so that a change of load on
// the machine weighs on both sides of it alike.
Row makeRow(const QString& what, const QString& against, const std::vector<double>& program,
            const std::vector<double>& floor, double target, QString (*unit)(double))
{
    check(!program.empty() && program.size() == floor.size(), QStringLiteral("unpaired samples for ") + what);
    std::vector<double> ratios;
    for (std::size_t i = 0; i < program.size(); ++i) {
        check(floor[i] > 0, QStringLiteral("a floor of nothing for ") + what);
        ratios.push_back(program[i] / floor[i]);
    }
    return {what,           against, unit(median(program)),           unit(median(floor)),
            median(ratios), target,  static_cast<int>(program.size())};
}

// Runs this program as a helper (on the Xvfb when given, offscreen
// otherwise) and returns what it printed; its errors come out with ours.
QByteArray runHelper(const QStringList& arguments, const QByteArray& display = {})
{
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"),
               display.isEmpty() ? QStringLiteral("offscreen") : QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.qpa.*=false"));
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    helper.setProcessEnvironment(env);
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(QCoreApplication::applicationFilePath(), arguments);
    check(helper.waitForFinished(-1) && helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0,
          QStringLiteral("the helper \"%1\" failed").arg(arguments.join(u' ')));
    return helper.readAllStandardOutput();
}

// ---------------------------------------------------------------- start-up

class StartUp {
public:
    StartUp(const Workspace& ws, const XServer& x) : ws_(ws), watch_(x.display())
    {
        common_ = {QStringLiteral("DISPLAY=") + QString::fromLatin1(x.display()),
                   QStringLiteral("QT_QPA_PLATFORM=xcb"), QStringLiteral("WAYLAND_DISPLAY=")};
        emptyHome_ = home(QStringLiteral("empty"), false);
        fullHome_ = home(QStringLiteral("full"), true);
    }

    // The program's own check that it started with the store: closed as a
    // user closes it, it saves every type it loaded.
    void checkLoadsTheStore()
    {
        for (const bool full : {false, true}) {
            const QString config =
                home(full ? QStringLiteral("check-full") : QStringLiteral("check-empty"), full);
            watch_.drain();
            const auto child = startQuiet(QStringLiteral(ORVANE_PROGRAM), env(config));
            watch_.close(watch_.waitShown(kMainTitle, 120, *child).window);
            check(child->waitForFinished(60000) && child->exitStatus() == QProcess::NormalExit &&
                      child->exitCode() == 0,
                  QStringLiteral("Orvane did not end normally when its window was closed"));
            QSettings saved(config + QStringLiteral("/Orvane/Orvane.conf"), QSettings::IniFormat);
            const int count = saved.value(QStringLiteral("Types/") + kCountKey).toInt();
            check(count == (full ? kTypeCount : 0),
                  QStringLiteral("Orvane started with %1 types and saved %2")
                      .arg(full ? kTypeCount : 0)
                      .arg(count));
            if (full) {
                check(saved.value(QStringLiteral("Types/Type app 0")).toString() == storedType(ws_, 0).App,
                      QStringLiteral("Orvane saved the first type wrong"));
            }
        }
    }

    void run(int repetitions)
    {
        const auto minimal = [&] {
            return timeToShown(watch_, QStringLiteral(ORVANE_BENCH_WINDOW), common_, kMainTitle);
        };
        const auto empty = [&] {
            return timeToShown(watch_, QStringLiteral(ORVANE_PROGRAM), env(emptyHome_), kMainTitle);
        };
        const auto full = [&] {
            return timeToShown(watch_, QStringLiteral(ORVANE_PROGRAM), env(fullHome_), kMainTitle);
        };
        // The bare read runs in a fresh process of its own, as the program
        // reads the store at start: its memory is new to it too.
        const auto read = [&] {
            const QString store = freshStoreCopy(ws_);
            const QByteArray said = runHelper({QStringLiteral("--bare-read"), store, ws_.root}).trimmed();
            QFile::remove(store);
            check(said.startsWith("elapsed "), QStringLiteral("the bare read said nothing"));
            return said.mid(8).toDouble();
        };
        // Warm-up: fonts, caches and the shared libraries read once.
        minimal();
        empty();
        full();
        read();
        for (int r = 0; r < repetitions; ++r) {
            // The order turns each repetition, so no side always goes first.
            for (int k = 0; k < 4; ++k) {
                switch ((r + k) % 4) {
                case 0:
                    minimal_.push_back(minimal());
                    break;
                case 1:
                    empty_.push_back(empty());
                    break;
                case 2:
                    full_.push_back(full());
                    break;
                default:
                    read_.push_back(read());
                    break;
                }
            }
        }
    }

    std::vector<double> minimal_;
    std::vector<double> empty_;
    std::vector<double> full_;
    std::vector<double> read_;

private:
    QString home(const QString& name, bool withTypes)
    {
        const QString config = ws_.root + QStringLiteral("/home-") + name;
        QDir().mkpath(config + QStringLiteral("/Orvane"));
        if (withTypes) {
            check(QFile::copy(ws_.typesConf(), config + QStringLiteral("/Orvane/Orvane.conf")),
                  QStringLiteral("cannot copy the store"));
        }
        return config;
    }

    QStringList env(const QString& config) const
    {
        return common_ + QStringList{QStringLiteral("XDG_CONFIG_HOME=") + config};
    }

    const Workspace& ws_;
    MapWatch watch_;
    QStringList common_;
    QString emptyHome_;
    QString fullHome_;
};

// ---------------------------------------------------------- helper figures

std::vector<Sample> runFigure(const Workspace& ws, const QString& name, int repetitions)
{
    std::vector<Sample> samples;
    const QList<QByteArray> lines =
        runHelper({QStringLiteral("--figure"), name, ws.root, QString::number(repetitions)}).split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() == 3 && parts[0] == "sample") {
            samples.push_back({parts[1].toDouble(), parts[2].toDouble()});
        }
    }
    check(static_cast<int>(samples.size()) == repetitions,
          QStringLiteral("the figure \"%1\" gave %2 samples").arg(name).arg(samples.size()));
    return samples;
}

Row figureRow(const Workspace& ws, const QString& name, int repetitions, const QString& what,
              const QString& against, double target)
{
    progress(QStringLiteral("measuring: ") + what);
    const std::vector<Sample> samples = runFigure(ws, name, repetitions);
    std::vector<double> program;
    std::vector<double> floor;
    for (const Sample& s : samples) {
        program.push_back(s.program);
        floor.push_back(s.floor);
    }
    return makeRow(what, against, program, floor, target, ms);
}

// ------------------------------------------------------------------ memory

// The resident size, in KiB, of a helper holding the state.
double residentSize(const Workspace& ws, const XServer& x, bool full)
{
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(x.display()));
    helper.setProcessEnvironment(env);
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--hold"), full ? QStringLiteral("full") : QStringLiteral("empty"), ws.root});
    QByteArray said;
    while (!said.contains("ready\n") && helper.waitForReadyRead(120000)) {
        said += helper.readAllStandardOutput();
    }
    check(said.contains("ready\n"), QStringLiteral("the memory helper did not build its state"));

    QFile status(QStringLiteral("/proc/%1/status").arg(helper.processId()));
    double kib = 0;
    if (status.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = status.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (line.startsWith("VmRSS:")) {
                kib = line.mid(6).trimmed().split(' ').value(0).toDouble();
            }
        }
    }
    helper.closeWriteChannel();
    check(helper.waitForFinished(60000) && helper.exitCode() == 0,
          QStringLiteral("the memory helper failed"));
    check(kib > 0, QStringLiteral("no resident size was read"));
    return kib;
}

Row memoryRow(const Workspace& ws, const XServer& x)
{
    progress(QStringLiteral("measuring: memory"));
    std::vector<double> empty;
    std::vector<double> full;
    for (int r = 0; r < kMemoryRuns; ++r) { // in turns, as every other figure
        for (const bool withTypes : {r % 2 == 0, r % 2 != 0}) {
            (withTypes ? full : empty).push_back(residentSize(ws, x, withTypes));
        }
    }
    return makeRow(
        QStringLiteral("memory: resident size with 32,767 types loaded and a 100,000-file folder shown"),
        QStringLiteral("the empty program"), full, empty, 3.0, mib);
}

// ------------------------------------------------------------- responding

// An action a user sees happen at once: under a tenth of a second.
constexpr double kAtOnce = 0.1;

// The responsiveness checks, run in a helper whose windows are on the Xvfb.
std::vector<Response> responses(const Workspace& ws, const XServer& x)
{
    progress(QStringLiteral("measuring: dropping down the type lists, scrolling and selecting files"));
    std::vector<Response> found;
    const QList<QByteArray> lines =
        runHelper({QStringLiteral("--respond"), ws.root}, x.display()).split('\n');
    for (const QByteArray& line : lines) {
        if (line.startsWith("response ")) {
            const QList<QByteArray> parts = line.split(' ');
            found.push_back(
                {QString::fromUtf8(line.mid(10 + parts.value(1).size())), parts.value(1).toDouble()});
        }
    }
    check(found.size() == 4, QStringLiteral("the responsiveness helper said too little"));
    return found;
}

void printResponses(const std::vector<Response>& found)
{
    std::cout << "\n| With 32,767 types and the 100,000-file folder shown | Took | At most | Met |\n";
    std::cout << "|---|---:|---:|---|\n";
    for (const Response& r : found) {
        std::cout << "| " << r.what.toStdString() << " | " << ms(r.seconds).toStdString() << " | "
                  << ms(kAtOnce).toStdString() << " | " << (r.seconds <= kAtOnce ? "yes" : "**no**")
                  << " |\n";
    }
    std::cout.flush();
}

// ------------------------------------------------------------------- table

void printTable(const std::vector<Row>& rows, const QString& machine)
{
    std::cout << machine.toStdString() << "\n\n";
    std::cout << "| What | Against (the floor) | Orvane | Floor | Ratio | Target | Met | Runs |\n";
    std::cout << "|---|---|---:|---:|---:|---:|---|---:|\n";
    for (const Row& row : rows) {
        std::cout << "| " << row.what.toStdString() << " | " << row.against.toStdString() << " | "
                  << row.program.toStdString() << " | " << row.floor.toStdString() << " | "
                  << QString::number(row.ratio, 'f', 2).toStdString()
                  << "x | <= " << QString::number(row.target, 'f', 2).toStdString() << "x | "
                  << (row.ratio <= row.target ? "yes" : "**no**") << " | " << row.samples << " |\n";
    }
    std::cout << "\nMedians of the repetitions; the ratio is the median of their own ratios.\n";
    std::cout.flush();
}

QString machineLine()
{
    return QStringLiteral("Machine: %1 cores (nproc), %2; %3 %4; Qt %5. Date: %6.")
        .arg(std::thread::hardware_concurrency())
        .arg(cpuModel(), QSysInfo::kernelType(), QSysInfo::kernelVersion(), QString::fromLatin1(qVersion()),
             QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")));
}

int runAll(const QStringList& only)
{
    const auto wanted = [&](const char* row) {
        return only.isEmpty() || only.contains(QLatin1StringView(row));
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

    const XServer x;
    progress(QStringLiteral("Xvfb on display ") + QString::fromLatin1(x.display()));
    const SessionBus bus;
    if (!bus.started().isEmpty()) {
        progress(QStringLiteral("a session bus of its own at ") + QString::fromLatin1(bus.started()));
    }

    std::vector<Row> rows;
    if (wanted("startup")) {
        StartUp startUp(ws, x);
        progress(QStringLiteral("checking that Orvane starts with the store and saves it whole"));
        startUp.checkLoadsTheStore();
        progress(QStringLiteral("measuring: start-up"));
        startUp.run(kStartRuns);
        rows.push_back(makeRow(QStringLiteral("start-up to the main window shown, empty store"),
                               QStringLiteral("a main window of the same kind: three menus, two labels, an "
                                              "editable combo box and a list view"),
                               startUp.empty_, startUp.minimal_, 1.15, ms));
        std::vector<double> emptyPlusRead;
        for (std::size_t i = 0; i < startUp.empty_.size(); ++i) {
            emptyPlusRead.push_back(startUp.empty_[i] + startUp.read_[i]);
        }
        rows.push_back(
            makeRow(QStringLiteral("start-up with 32,767 stored types"),
                    QStringLiteral("the empty-store start-up plus a bare QSettings read of the same file"),
                    startUp.full_, emptyPlusRead, 1.3, ms));
    }
    if (wanted("load")) {
        rows.push_back(figureRow(ws, QStringLiteral("load"), kLoadRuns,
                                 QStringLiteral("LoadTypes + FillTypeCombos, 32,767 types"),
                                 QStringLiteral("reading the same keys with a bare QSettings loop"), 1.5));
    }
    if (wanted("save")) {
        rows.push_back(
            figureRow(ws, QStringLiteral("save"), kSaveRuns, QStringLiteral("SaveTypes, 32,767 types"),
                      QStringLiteral("the same bytes written to a new file, synced and renamed"), 1.5));
    }
    if (wanted("choose")) {
        rows.push_back(figureRow(
            ws, QStringLiteral("choose"), kChooseRuns,
            QStringLiteral("choosing a type whose folder holds 100,000 files, 50,000 matching"),
            QStringLiteral("listing and sorting that folder with QDirIterator and a case-insensitive sort"),
            1.5));
    }
    if (wanted("open")) {
        rows.push_back(figureRow(
            ws, QStringLiteral("open"), kOpenRuns,
            QStringLiteral("opening a file, from the double-click to the application's process existing"),
            QStringLiteral("posix_spawn of the same program"), 1.2));
    }
    if (wanted("memory")) {
        rows.push_back(memoryRow(ws, x));
    }
    std::vector<Response> found;
    if (wanted("respond")) {
        found = responses(ws, x);
    }
    check(!rows.empty() || !found.empty(), QStringLiteral("no rows chosen"));

    bool met = true;
    if (!rows.empty()) {
        printTable(rows, machine);
    }
    for (const Row& row : rows) {
        met = met && row.ratio <= row.target;
    }
    if (!found.empty()) {
        printResponses(found);
    }
    for (const Response& r : found) {
        met = met && r.seconds <= kAtOnce;
    }
    return met ? 0 : 1;
}

int runFigureMode(const QString& name, const Workspace& ws, int repetitions)
{
    std::vector<Sample> samples;
    if (name == QStringLiteral("load")) {
        samples = figureLoad(ws, repetitions);
    } else if (name == QStringLiteral("save")) {
        samples = figureSave(ws, repetitions);
    } else if (name == QStringLiteral("choose")) {
        samples = figureChoose(ws, repetitions);
    } else if (name == QStringLiteral("open")) {
        samples = figureOpen(ws, repetitions);
    } else {
        throw CheckFailed(QStringLiteral("no figure ") + name);
    }
    for (const Sample& s : samples) {
        std::printf("sample %.9f %.9f\n", s.program, s.floor);
    }
    std::fflush(stdout);
    return 0;
}

} // namespace

} // namespace orvane::bench

int main(int argc, char* argv[])
{
    using namespace orvane::bench;
    try {
        if (argc >= 5 && std::string(argv[1]) == "--figure") {
            QApplication app(argc, argv);
            return runFigureMode(QString::fromLocal8Bit(argv[2]), Workspace{QString::fromLocal8Bit(argv[3])},
                                 std::atoi(argv[4]));
        }
        if (argc >= 4 && std::string(argv[1]) == "--hold") {
            QApplication app(argc, argv);
            holdState(Workspace{QString::fromLocal8Bit(argv[3])}, std::string(argv[2]) == "full");
            return 0;
        }
        if (argc >= 3 && std::string(argv[1]) == "--respond") {
            QApplication app(argc, argv);
            for (const Response& r : figureRespond(Workspace{QString::fromLocal8Bit(argv[2])})) {
                std::printf("response %.9f %s\n", r.seconds, r.what.toUtf8().constData());
            }
            return 0;
        }
        if (argc >= 4 && std::string(argv[1]) == "--bare-read") {
            QCoreApplication app(argc, argv);
            const Workspace ws{QString::fromLocal8Bit(argv[3])};
            const double start = now();
            const BareRead read = bareRead(QString::fromLocal8Bit(argv[2]));
            const double elapsed = now() - start;
            checkBareRead(ws, read);
            std::printf("elapsed %.9f\n", elapsed);
            return 0;
        }
        if (argc >= 3 && std::string(argv[1]) == "--workspace") { // the data kept, for --figure by hand
            QCoreApplication app(argc, argv);
            createWorkspace(Workspace{QString::fromLocal8Bit(argv[2])});
            return 0;
        }
        QStringList only;
        if (argc >= 3 && std::string(argv[1]) == "--only") {
            only = QString::fromLocal8Bit(argv[2]).split(u',', Qt::SkipEmptyParts);
        }
        QCoreApplication app(argc, argv);
        return runAll(only);
    } catch (const std::exception& failure) {
        std::cerr << "orvane_bench: check failed: " << failure.what() << std::endl;
        return 2;
    }
}
