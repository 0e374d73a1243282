#pragma once

#include <QString>

class QObject;

namespace orvane::platform {

// Every window, control and menu item carries a help number (0 when it has
// none); F1 opens the topic of that number.
void setHelpNumber(QObject* item, int number);
int helpNumber(const QObject* item);

// The program that shows help, and what to give it for a topic (0 for the
// contents). On Linux the desktop's viewer and one of the HTML pages that
// lie beside the program or in its installed data folder; programFolder is
// where the program lies, by default this program's.
QString helpViewer();
QString helpPage(int topic, const QString& programFolder = {});

} // namespace orvane::platform
