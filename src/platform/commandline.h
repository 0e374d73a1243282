#pragma once

#include <QString>

namespace orvane::platform {

// The command line that opens a file with an application: the application
// as it is (never quoted, blanks and all), one blank, and the file's full
// path, in double quotes only when it holds a blank. Windows starts
// programs from this text; elsewhere the application gets the path as its
// one argument and no text is parsed at all.
QString commandLine(const QString& app, const QString& fullPath);

// The part after the application: " path" or " \"path\"".
QString quotedArgument(const QString& fullPath);

} // namespace orvane::platform
