#pragma once

// What orvane_bench's two files share: the sizes, its own checks, the clock,
// the generated workspace and the figures measured in a helper process.

#include <QString>
#include <QStringList>

#include <functional>
#include <stdexcept>
#include <vector>

#include "shell/globals.h"

namespace orvane::bench {

using namespace Qt::StringLiterals;

inline constexpr int kTypeCount = 32767;
inline constexpr int kFolderFiles = 100000;
inline constexpr int kMatchingFiles = 50000;
inline constexpr int kBurstFiles = 10000; // created at once in the big folder

// A check of the bench itself that did not hold: the figure is not trusted
// and the run fails.
class CheckFailed : public std::runtime_error {
public:
    explicit CheckFailed(const QString& what) : std::runtime_error(what.toStdString()) {}
};

// Throws CheckFailed unless the condition holds; the arguments fill the
// message's %1, %2, ...
template <typename... Args> void check(bool condition, const char* message, const Args&... args)
{
    if (!condition) {
        QString text = QString::fromUtf8(message);
        ((text = text.arg(args)), ...);
        throw CheckFailed(text);
    }
}

double now(); // seconds on the monotonic clock
QByteArray readFile(const QString& path);

// The generated data, under one folder:
//   types.conf  kTypeCount stored types; type 0, "Big", is the "*.txt" type
//               of the big folder, opened with the argument stub
//   big/        kFolderFiles plain files, kMatchingFiles of them "*.txt"
//   open/       one file, "letter.txt"
//   viewer.desktop  a desktop entry that starts the argument stub on a file
struct Workspace {
    QString root;
    [[nodiscard]] QString typesConf() const { return root + u"/types.conf"_s; }
    [[nodiscard]] QString bigFolder() const { return root + u"/big/"_s; }
    [[nodiscard]] QString openFolder() const { return root + u"/open/"_s; }
    [[nodiscard]] QString desktopEntry() const { return root + u"/viewer.desktop"_s; }
    [[nodiscard]] QString freshPath(const QString& stem) const; // never used before in this run
    [[nodiscard]] QString storeCopy() const;                    // a fresh copy of types.conf
};
void createWorkspace(const Workspace& ws);
TypeRecord storedType(const Workspace& ws, int n);

// One repetition's times: the program's and the floor's.
struct Sample {
    double program = 0;
    double floor = 0;
};
using Rows = std::vector<std::vector<Sample>>; // each row's samples

// Times each side once per repetition, one after the other in an order that
// turns from one repetition to the next, after one warm-up repetition that
// is not counted; each side's times.
std::vector<std::vector<double>> interleave(int repetitions,
                                            const std::vector<std::function<double()>>& sides);
// The same, as rows: the first side, the program, against each other side.
Rows againstFloors(int repetitions, const std::vector<std::function<double()>>& sides);

// How long one action took, up to its result being painted.
struct Response {
    QString what;
    double seconds = 0;
};

// Measures a figure in this process, a helper of its own (`--figure NAME WS
// ARGUMENT`), and prints what it found, one line each:
//   load, save, choose,  "sample ROW PROGRAM FLOOR" in seconds, for each of
//   follow, open         ARGUMENT repetitions and each ROW of the group
//                        from 0; follow also "response SECONDS WHAT"
//   bare-read            "elapsed SECONDS" of a bare read of the store
//                        ARGUMENT
//   memory               "resident KIB" holding the state (ARGUMENT "full":
//                        the stored types loaded and the big folder shown
//                        and followed; "unfollowed": the same, the folder
//                        not followed; otherwise the empty program)
//   respond              "response SECONDS WHAT" for each action
void runFigure(const QString& name, const Workspace& ws, const QString& argument);

} // namespace orvane::bench
