#pragma once

// The program's state: one object, created at start and handed to every
// procedure and window. Names follow the program's own vocabulary.

#include <QString>

#include <cstdint>
#include <vector>

#include "platform/services.h"
#include "shell/typeviews.h"

namespace orvane {

// One user-defined type.
struct TypeRecord {
    QString Name;
    QString Ext;  // without the leading dot; may itself hold dots
    QString Path; // the folder, ending with its separator
    QString Desc;
    QString App; // full path of the program that opens the type's files
};

// The failure being reported.
struct PendingFailure {
    std::int32_t Number = 0;
    QString Description;
};

// The settings of the one file-open dialog, kept between uses.
struct CommonDialog {
    QString InitDir;
    QString FileName;
    QString Filter;
};

// The two windows that list the types. The windows register themselves
// when they are built and live for the whole run.
struct TypeViews {
    TypeListView* main = nullptr;
    TypeListView* pref = nullptr;
};

inline const QString kAppName = QStringLiteral("Orvane");
inline const QString kHelpFile = QStringLiteral("orvane.hlp");

class Globals {
public:
    explicit Globals(platform::Services& services) : services(services) {}

    platform::Services& services;

    QString MessageString;
    std::int16_t ErrorCount = 0;
    PendingFailure Err;

    QString VersionString;
    QString TitleString;
    QString PlatformString;
    QString HelpFile;
    bool PathMissing = false;

    // The catalogue: positions 0 .. NumberOfTypes - 1 of Types. Types may
    // hold more slots than that; they are never shown or saved.
    std::vector<TypeRecord> Types;
    std::int16_t NumberOfTypes = 0;
    std::int16_t CurType = 0;
    // Set when the stored catalogue could not be read at start: the save at
    // exit then keeps the old store beside the new one.
    bool StoreUnreadable = false;

    CommonDialog Dialog1;
    TypeViews views;
};

} // namespace orvane
