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
    const QString page = platform::helpPage(topic);
    try {
        g.services.starter.start(platform::helpViewer(), {page});
    } catch (const platform::Failure&) {
        // Without a viewer the user can still open the page by hand.
        const QString crlf = QStringLiteral("\r\n");
        MsgBox(g,
               QStringLiteral("Help could not be shown: no help viewer could be started.") + crlf + crlf +
                   QStringLiteral("The help page is") + crlf + page,
               platform::Buttons::Ok, platform::Icon::None, 0);
    }
}

} // namespace orvane
