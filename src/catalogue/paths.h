#pragma once

#include <QString>

#include "shell/globals.h"

namespace orvane {

// Whether folders are folded to lower case: only where file names ignore
// case. Linux file names keep their case, so a folded folder would not exist.
enum class FolderCase { Fold, Keep };

inline constexpr FolderCase kPlatformFolderCase = FolderCase::Keep;

// The filter for picking a program: programs carry no ending, so every
// file, and the dialog shows only those that can be run.
QString ExecutablesFilter();

// Splits a path into its folder (out, ending with the separator) and its
// extension (the result: everything after the first dot of the file name,
// lower case; empty when the name has no dot or ends in its only one).
QString GetExtension(Globals& g, const QString& path, QString& folder,
                     FolderCase folderCase = kPlatformFolderCase);

// The application the desktop associates with an existing file. True and
// the application's full path, or false with app left as it was.
bool GetAssociatedApp(Globals& g, const QString& file, QString& app);

// Whether a file exists; any failure to tell counts as no.
bool FileExists(Globals& g, const QString& path);

// Lets the user pick the program that opens the files of the type at a
// position; Cancel keeps the old one.
void ChooseApp(Globals& g, int position);

} // namespace orvane
