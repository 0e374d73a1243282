#pragma once

// The figures measured inside one process with the program's own classes:
// each runs in a helper process of its own (`orvane_bench --figure NAME`),
// so that one figure's memory never weighs on the next.

#include <QString>

#include <vector>

#include "bench/measure.h"

namespace orvane::bench {

// One repetition: the program's time and the floor's, measured one after
// the other (the order alternates between repetitions).
struct Sample {
    double program = 0;
    double floor = 0;
};

// What a bare read found: the count of types and the characters of their
// fields.
struct BareRead {
    int types = 0;
    qsizetype characters = 0;
};

// Reads every type of a store with a bare QSettings loop.
BareRead bareRead(const QString& store);
// Throws CheckFailed unless the read found the workspace's whole store.
void checkBareRead(const Workspace& ws, const BareRead& read);

// LoadTypes + FillTypeCombos against a bare QSettings read of the keys.
std::vector<Sample> figureLoad(const Workspace& ws, int repetitions);
// SaveTypes against a durable write of the same bytes: a new file, synced
// and renamed over the old one.
std::vector<Sample> figureSave(const Workspace& ws, int repetitions);
// Choosing the big folder's type against QDirIterator and a sort.
std::vector<Sample> figureChoose(const Workspace& ws, int repetitions);
// A double-click on a file, through the real SystemStarter, until the
// application's process exists, against posix_spawn of the application.
std::vector<Sample> figureOpen(const Workspace& ws, int repetitions);

// How long one action takes, up to its result being painted.
struct Response {
    QString what;
    double seconds = 0;
};

// With 32,767 types loaded and the big folder shown on the screen: each
// type list dropped down for the first time, the file list scrolled, and a
// name selected with the mouse.
std::vector<Response> figureRespond(const Workspace& ws);

// Builds the state (`full`: the stored types loaded and the big folder
// shown; otherwise the empty program), shown on the screen, then says
// "ready" and waits for its input to close so that its memory can be read.
void holdState(const Workspace& ws, bool full);

} // namespace orvane::bench
