#pragma once

// The program's boxes: every one carries the title "Orvane" and the help
// file, with a help number of its own.

#include <QString>

#include "platform/services.h"
#include "shell/globals.h"

namespace orvane {

platform::Answer MsgBox(Globals& g, const QString& text, platform::Buttons buttons, platform::Icon icon,
                        int helpNumber);

// The text typed, or "" when cancelled.
QString InputBox(Globals& g, const QString& prompt, const QString& defaultText, int helpNumber);

// Shows Dialog1 for opening. Afterwards its file name is the chosen full
// path, or unchanged when the user cancelled.
void ShowOpen(Globals& g);

// Starts the help viewer on a topic (0: the contents) without waiting for
// it. When the viewer cannot be started at all, a box names the page.
void ShowHelpTopic(Globals& g, int topic);

} // namespace orvane
