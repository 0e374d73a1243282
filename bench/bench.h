#pragma once

// What orvane_bench's files share: the sizes, its own checks, the clock, the
// generated workspace, started processes, the X server watch and the figures
// measured inside a helper process with the program's own classes.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>
#include <vector>

#include "shell/globals.h"

struct xcb_connection_t;

namespace orvane::bench {

inline constexpr int kTypeCount = 32767;
inline constexpr int kFolderFiles = 100000;
inline constexpr int kMatchingFiles = 50000;

// A check of the bench itself that did not hold: the figure is not trusted
// and the run fails.
class CheckFailed : public std::runtime_error {
public:
    explicit CheckFailed(const QString& what) : std::runtime_error(what.toStdString()) {}
};

inline void check(bool condition, const QString& message)
{
    if (!condition) {
        throw CheckFailed(message);
    }
}

double now(); // seconds on the monotonic clock
double median(std::vector<double> values);

// The generated data, under one folder:
//   types.conf  kTypeCount stored types; type 0, "Big", is the "*.txt" type
//               of the big folder, opened with the argument stub
//   big/        kFolderFiles plain files, kMatchingFiles of them "*.txt"
//   open/       one file, "letter.txt"
struct Workspace {
    QString root;
    [[nodiscard]] QString typesConf() const { return root + QStringLiteral("/types.conf"); }
    [[nodiscard]] QString bigFolder() const { return root + QStringLiteral("/big/"); }
    [[nodiscard]] QString openFolder() const { return root + QStringLiteral("/open/"); }
    // A new file name under the workspace, never used before in this run.
    [[nodiscard]] QString freshPath(const QString& stem) const;
};

void createWorkspace(const Workspace& ws);
// The stored type at a position, and its fields in the order of kFieldKeys.
TypeRecord storedType(const Workspace& ws, int n);
QStringList fields(const TypeRecord& record);
inline const QStringList kFieldKeys = {QStringLiteral("Type name "), QStringLiteral("Type ext "),
                                       QStringLiteral("Type path "), QStringLiteral("Type desc "),
                                       QStringLiteral("Type app ")};
// Copies the workspace's store to a fresh file and returns its path.
QString freshStoreCopy(const Workspace& ws);

// A started process, killed and waited for when it is let go.
struct EndProcess {
    void operator()(QProcess* process) const;
};
using Process = std::unique_ptr<QProcess, EndProcess>;
enum class Output { Discard, Read, ReadShowErrors };
// Starts a program with our environment changed by "NAME=value" entries
// ("NAME" alone removes it); its errors are discarded unless shown.
Process startProcess(const QString& program, const QStringList& arguments, const QStringList& environment,
                     Output output);
// The first line the process prints, trimmed; empty when none came in time.
QByteArray firstLine(QProcess& process, int timeoutMs);

// Watches the X server's screen for top-level windows being mapped (shown).
class MapWatch {
public:
    explicit MapWatch(const QByteArray& display);
    ~MapWatch();
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    void drain(); // drops the events that arrived so far
    struct Shown {
        double at = 0; // when its map event arrived
        unsigned int window = 0;
    };
    // Waits until a top-level window with this title is mapped; throws
    // CheckFailed after the timeout or when `owner` ends first.
    Shown waitShown(const QByteArray& title, double timeoutSeconds, const QProcess& owner);
    void close(unsigned int window); // as the close button does

private:
    [[nodiscard]] QByteArray titleOf(unsigned int window);
    unsigned int atom(const char* name);

    xcb_connection_t* connection_ = nullptr;
    unsigned int netWmName_ = 0;
    unsigned int wmProtocols_ = 0;
    unsigned int wmDeleteWindow_ = 0;
};

// One repetition's times: the program's and the floor's.
struct Sample {
    double program = 0;
    double floor = 0;
};
// How long one action took, up to its result being painted.
struct Response {
    QString what;
    double seconds = 0;
};

// The figures run in a helper process of their own (`--figure NAME`), so
// that one figure's memory never weighs on the next: load, save, choose, open.
std::vector<Sample> runFigure(const QString& name, const Workspace& ws, int repetitions);
// A bare QSettings loop reading every type of `store`, checked to have found
// the workspace's whole store; returns the seconds it took.
double timedBareRead(const Workspace& ws, const QString& store);
// With the stored types loaded and the big folder shown: each type list
// dropped down for the first time, the file list scrolled, a name clicked.
std::vector<Response> figureRespond(const Workspace& ws);
// Builds the state (`full`: the stored types loaded and the big folder
// shown; otherwise the empty program), shown, says "ready" and waits for its
// input to close so that its memory can be read.
void holdState(const Workspace& ws, bool full);

} // namespace orvane::bench
