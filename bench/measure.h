#pragma once

// What every figure of the benchmark shares: the clock, medians, the
// workspace of generated data and running helper processes.

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <utility>
#include <vector>

#include "shell/globals.h"

namespace orvane::bench {

// The sizes the figures are measured at.
inline constexpr int kTypeCount = 32767;
inline constexpr int kFolderFiles = 100000;
inline constexpr int kMatchingFiles = 50000;

// A check of the benchmark itself that did not hold: the figure is not
// trusted and the run fails.
class CheckFailed : public std::runtime_error {
public:
    explicit CheckFailed(const QString& what) : std::runtime_error(what.toStdString()) {}
};

// Throws CheckFailed with the message when the condition does not hold.
void check(bool condition, const QString& message);

// Seconds on the monotonic clock.
double now();

double median(std::vector<double> values);

// The generated data, under one temporary folder.
//   types.conf  the store holding kTypeCount types; type 0, "Big", is the
//               "*.txt" type of the big folder, opened with the argument stub
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

// The stored type at a position, as the workspace's store holds it.
TypeRecord storedType(const Workspace& ws, int n);

// The key a record field is stored under, and the fields in stored order.
inline const QStringList kFieldKeys = {QStringLiteral("Type name "), QStringLiteral("Type ext "),
                                       QStringLiteral("Type path "), QStringLiteral("Type desc "),
                                       QStringLiteral("Type app ")};
QStringList fields(const TypeRecord& record);

// Fills the workspace (the store and both folders).
void createWorkspace(const Workspace& ws);

// Copies the workspace's store to a fresh file and returns its path.
QString freshStoreCopy(const Workspace& ws);

// The one line of /proc/cpuinfo naming the processor.
QString cpuModel();

} // namespace orvane::bench
