#include "shell/dialogs.h"

#include "platform/help.h"
#include "shell/errorreport.h"

namespace orvane {

platform::Answer MsgBox(Globals& g, const QString& text, platform::Buttons buttons, platform::Icon icon,
                        int helpNumber)
{
    return g.services.dialogs.message({text, buttons, icon, kAppName, kHelpFile, helpNumber});
}

QString InputBox(Globals& g, const QString& prompt, const QString& defaultText, int helpNumber)
{
    return g.services.dialogs.input({prompt, kAppName, defaultText, kHelpFile, helpNumber});
}

void ShowOpen(Globals& g)
{
    const auto chosen =
        g.services.dialogs.openFile({g.Dialog1.InitDir, g.Dialog1.FileName, g.Dialog1.Filter});
    if (chosen) {
        g.Dialog1.FileName = *chosen;
    }
}

void ShowHelpTopic(Globals& g, int topic)
{
    const QString viewer = platform::helpViewer();
    const QString page = platform::helpPage(topic);
    try {
        g.services.starter.start(viewer, {page});
    } catch (const platform::Failure&) {
        // Without the desktop's viewer the pages can still be read in any
        // browser: say where they are rather than doing nothing.
        g.MessageString = QStringLiteral("The help viewer %1 could not be started.").arg(viewer) +
                          QStringLiteral("\r\n") + QStringLiteral("The help page is ") + page;
        MsgBox(g, g.MessageString, platform::Buttons::Ok, platform::Icon::None, 0);
    }
}

} // namespace orvane
