#include "shell/errorreport.h"

#include "shell/dialogs.h"

namespace orvane {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
constexpr int kReportHelp = 3;
constexpr int kReportsThatEnd = 2;
constexpr int kExitAfterReports = 3;
} // namespace

void ReportError(Globals& g, const QString& code)
{
    QString text =
        QStringLiteral("An error has occurred.  Please report the information below to Velcora Software so "
                       "that it can be corrected.");
    text += kCrLf;
    text += kCrLf + QStringLiteral("Description: ") + g.Err.Description;
    text += kCrLf + QStringLiteral("Number: ") + QString::number(g.Err.Number);
    text += kCrLf + QStringLiteral("Code: ") + code;
    g.MessageString = text;

    MsgBox(g, g.MessageString, platform::Buttons::Ok, platform::Icon::Critical, kReportHelp);

    g.Err = {};
    g.ErrorCount = static_cast<std::int16_t>(g.ErrorCount + 1);
    if (g.ErrorCount >= kReportsThatEnd) {
        g.services.desktop.endNow(kExitAfterReports);
    }
}

} // namespace orvane
