#pragma once

#include <QString>

#include <array>

#include "shell/globals.h"

class QObject;
class QWidget;

namespace orvane {

// Everything that carries a help number, in the order they are assigned.
struct HelpItems {
    QObject* mainForm = nullptr;
    QObject* mainTypeCombo = nullptr;
    QObject* fileList = nullptr;
    QObject* mnuAddType = nullptr;
    QObject* mnuExit = nullptr;
    QObject* mnuPreferences = nullptr;
    QObject* mnuContents = nullptr;
    QObject* mnuAbout = nullptr;
    QObject* mnuFile = nullptr;
    QObject* mnuEdit = nullptr;
    QObject* mnuHelp = nullptr;
    QObject* prefForm = nullptr;
    QObject* prefTypeCombo = nullptr;
    QObject* prefDir = nullptr;
    QObject* prefFile = nullptr;
    std::array<QObject*, 6> prefButton{};
};

// The platform the program was built for, in the About box.
QString BuildPlatformString();

// Version, title and platform strings; the main window's caption.
void PrepareVersion(Globals& g, QWidget& mainForm);

// The help file and the help number of every item.
void SetHelp(Globals& g, const HelpItems& items);

// Centres a window on the screen, then lets pending events run.
void CenterForm(Globals& g, QWidget& form);

// The text of the About box, lines broken by CR LF.
QString AboutText(const Globals& g);

} // namespace orvane
