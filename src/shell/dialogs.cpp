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
    skipping([&] { g.services.starter.start(platform::helpViewer(), {platform::helpPage(topic)}); });
}

} // namespace orvane
