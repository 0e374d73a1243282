#pragma once

#include <QString>

#include "platform/failure.h"
#include "shell/globals.h"

namespace orvane {

// The procedure codes that an error report can show.
namespace Code {
inline const QString MFFL = QStringLiteral("MFFL");
inline const QString MFFLDC = QStringLiteral("MFFLDC");
inline const QString MFMAC = QStringLiteral("MFMAC");
inline const QString MFMATC = QStringLiteral("MFMATC");
inline const QString MFMPC = QStringLiteral("MFMPC");
inline const QString MFTCC = QStringLiteral("MFTCC");
inline const QString MFTCCk = QStringLiteral("MFTCCk");
inline const QString GPV = QStringLiteral("GPV");
inline const QString GSH = QStringLiteral("GSH");
inline const QString GCF = QStringLiteral("GCF");
inline const QString GLFR = QStringLiteral("GLFR");
inline const QString GLTTC = QStringLiteral("GLTTC");
inline const QString GGA = QStringLiteral("GGA");
inline const QString GGE = QStringLiteral("GGE");
inline const QString GDTT = QStringLiteral("GDTT");
inline const QString GCA = QStringLiteral("GCA");
inline const QString PFDLMM = QStringLiteral("PFDLMM");
inline const QString PFFMM = QStringLiteral("PFFMM");
inline const QString PFPFMM = QStringLiteral("PFPFMM");
inline const QString PFPDC = QStringLiteral("PFPDC");
inline const QString PFTCC = QStringLiteral("PFTCC");
inline const QString PFPBC = QStringLiteral("PFPBC");
} // namespace Code

// Shows the report of the pending failure (g.Err) with the procedure's
// code, clears the failure and counts it; the second report of a run ends
// the program at once.
void ReportError(Globals& g, const QString& code);

// The failure path of a reporting procedure: runs its steps, and when one
// fails, reports the failure with the procedure's code and returns. Nothing
// already done is undone.
template <typename Steps> void reporting(Globals& g, const QString& code, Steps&& steps)
{
    try {
        steps();
    } catch (const platform::Failure& failure) {
        g.Err = {failure.number(), failure.description()};
        ReportError(g, code);
    }
}

// Runs one step whose failure is skipped silently: cleared, not reported,
// not counted.
template <typename Step> void skipping(Step&& step)
{
    try {
        step();
    } catch (const platform::Failure&) {
    }
}

} // namespace orvane
