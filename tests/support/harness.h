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

class Harness {
public:
    // settings: the text of the settings file before start ("" for none).
    explicit Harness(const QString& settings = QString());

    // Creates the main window and runs its start-up.
    MainForm& start();
    MainForm& main() { return *main_; }
    PrefForm& pref() { return main_->prefForm(); }

    // A folder or a file created in the temporary folder; a folder's path
    // ends with "/".
    QString folder(const QString& name);
    QString file(const QString& folder, const QString& name, const QByteArray& contents = {});
    [[nodiscard]] QString settingsText() const;
    [[nodiscard]] QString settingsPath() const { return iniPath_; }

    // A type put straight into the catalogue, then both lists refilled.
    void addType(const QString& name, const QString& ext, const QString& path, const QString& desc = {},
                 const QString& app = {});
    [[nodiscard]] QStringList names() const;

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

private:
    QString iniPath_;

public:
    platform::QtSettingsStore settings;
    platform::Services services;
    Globals g;

private:
    std::unique_ptr<MainForm> main_;
};

} // namespace orvane::test
