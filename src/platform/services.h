#pragma once

// The small interfaces through which the program reaches the desktop. The
// program's logic sees only these; src/platform holds their real
// realisations, and the tests script them.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace orvane::platform {

enum class Buttons { Ok, YesNo };
enum class Icon { None, Critical };
enum class Answer { Ok, Yes, No };

struct MessageRequest {
    QString text; // lines broken by CR LF
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    QString title;
    QString helpFile;
    int helpNumber = 0;
};

struct InputRequest {
    QString prompt;
    QString title;
    QString defaultText;
    QString helpFile;
    int helpNumber = 0;
};

// The filter for picking an application where programs carry no file
// ending: the file-open dialog then shows only folders, files that can be
// run and desktop entries (".desktop" files).
inline const QString kProgramsFilter = QStringLiteral("Programs (*)|*");

struct FileOpenRequest {
    QString initialFolder; // empty: the dialog's own choice
    QString fileName;      // shown pre-filled in the name field
    QString filter;        // "description|pattern|description|pattern..."
};

// Modal message box, input box and file-open dialog.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The first button is the default one. Returns the button pressed.
    virtual Answer message(const MessageRequest& request) = 0;
    // Returns the text in the field, or "" when cancelled.
    virtual QString input(const InputRequest& request) = 0;
    // Returns the chosen file's full path, or nothing when cancelled.
    virtual std::optional<QString> openFile(const FileOpenRequest& request) = 0;
};

// The per-user settings store, addressed by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString get(const QString& app, const QString& section, const QString& key,
                        const QString& defaultValue) = 0;
    virtual void save(const QString& app, const QString& section, const QString& key,
                      const QString& value) = 0;
    virtual void deleteSection(const QString& app, const QString& section) = 0;
    // Writes what was saved to its permanent place. Returns false when it
    // could not be written.
    virtual bool flush() = 0;
    // Where the store lives, as a user would look for it.
    virtual QString location() = 0;
    // Keeps a copy of what is stored now beside it, replacing an older copy.
    virtual void keepBackup() = 0;
    // Whether the store held any text when it was read (none when there was
    // no store).
    virtual bool holdsText(const QString& app) = 0;
};

// Starts a program without waiting for it. The program is run exactly as
// named (never through a shell), with the given arguments; a desktop entry
// (a path ending in ".desktop") is started as the desktop starts it, with
// the arguments as its files. Throws Failure at once when the program or
// entry cannot be started.
class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    virtual void start(const QString& program, const QStringList& arguments) = 0;
};

// The desktop's file associations.
class Associations {
public:
    virtual ~Associations() = default;
    // How the desktop opens this existing file: the full path of a program
    // started as "program file", or of a desktop entry when the desktop
    // starts its application otherwise; nothing when the desktop has no
    // application for it that can be started.
    virtual std::optional<QString> associatedApp(const QString& file) = 0;
};

// Files, the screen, the event queue and the end of the program.
class Desktop {
public:
    virtual ~Desktop() = default;
    // The length of a file; throws Failure when it cannot be had.
    virtual std::int64_t fileLength(const QString& path) = 0;
    virtual int screenWidthTwips() = 0;
    virtual int screenHeightTwips() = 0;
    virtual void processEvents() = 0;
    // Ends the program at once: no handler or destructor runs any more.
    [[noreturn]] virtual void endNow(int exitCode) = 0;
};

// All services together, handed to the program's state at start.
struct Services {
    Dialogs& dialogs;
    SettingsStore& settings;
    ProgramStarter& starter;
    Associations& associations;
    Desktop& desktop;
};

} // namespace orvane::platform
