#pragma once

// A whole program with scripted services and a settings file of its own in
// a temporary folder: the user's own settings are never touched.

#include <QString>
#include <QTemporaryDir>

#include <memory>

#include "mainwin/mainform.h"
#include "platform/qt_services.h"
#include "shell/globals.h"
#include "support/scripted.h"

namespace orvane::test {

// The items of a type list or a file list, joined by ",".
template <typename List> QString items(const List& list)
{
    QStringList names;
    for (int i = 0; i < list.listCount(); ++i)
        names << list.item(i);
    return names.join(u',');
}

// What both windows show: each type list's chosen position and text, each
// file list, each description, and which preferences buttons are on ("1"
// or "0" for each, in the buttons' order).
struct Shown {
    QString mainType, prefType, mainFiles, prefFiles, mainDesc, prefDesc, buttons;
    bool operator==(const Shown&) const = default;
};
char* toString(const Shown& shown);

class Harness {
public:
    // settings: the text of the settings file before start ("" for none).
    explicit Harness(const QByteArray& settings = {});

    // Creates the main window and runs its start-up.
    MainForm& start();
    MainForm& main() { return *main_; }
    PrefForm& pref() { return main_->prefForm(); }

    // A folder (its path ends with "/") or a file made in the temporary folder.
    QString folder(const QString& name);
    QString file(const QString& folder, const QString& name, const QByteArray& contents = {});
    [[nodiscard]] QString settingsText() const { return QString::fromUtf8(readFile(settingsPath())); }
    [[nodiscard]] QString settingsPath() const { return dir.filePath(QStringLiteral("Orvane.conf")); }

    // A type added as the program adds one.
    void addType(const QString& name, const QString& ext, const QString& path, const QString& desc = {},
                 const QString& app = {});
    [[nodiscard]] QStringList names() const;
    [[nodiscard]] Shown shown();

    // Runs a step that ends the program; its exit code, or -1 when it did not.
    template <typename Step> int endingCode(Step&& step)
    {
        try {
            step();
        } catch (const ProgramEnded& ended) {
            return ended.exitCode;
        }
        return -1;
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    FakeStarter starter;
    FakeAssociations associations;
    TestDesktop desktop;
    platform::QtSettingsStore settings{settingsPath()};
    platform::Services services{dialogs, settings, starter, associations, desktop};
    Globals g{services};

private:
    std::unique_ptr<MainForm> main_;
};

} // namespace orvane::test
