#pragma once

// A whole program with scripted services and a settings file of its own in
// a temporary folder: the user's own settings are never touched.

#include <QDir>
#include <QLineEdit>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "catalogue/catalogue.h"
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

// What both windows show, labelled, from its fields separated by "|": each
// type list's chosen position and text, each file list, each description,
// and which preferences buttons are on ("1" or "0" for each, in the buttons'
// order); or from "type|files|description|buttons" when both windows agree.
inline QString showing(const QString& fields)
{
    QStringList f = fields.split(u'|');
    if (f.size() == 4)
        f = {f[0], f[0], f[1], f[1], f[2], f[2], f[3]};
    return QStringLiteral(
               "main type \"%1\", preferences type \"%2\", main files \"%3\", preferences files \"%4\", "
               "main description \"%5\", preferences description \"%6\", buttons %7")
        .arg(f.value(0), f.value(1), f.value(2), f.value(3), f.value(4), f.value(5), f.value(6));
}

// Texts that several boxes show: an error report up to its description,
// and the question when a type's folder is gone.
inline const QString kReport =
    QStringLiteral("An error has occurred.  Please report the information below to "
                   "Velcora Software so that it can be corrected.\r\n\r\nDescription: ");
inline const QString kPathMissing = QStringLiteral("The path for this type cannot be found.  If you deleted "
                                                   "it or renamed it you will need to change the path "
                                                   "in the preferences.\r\n\r\nGo there now?");

class Harness {
public:
    // settings: the text of the settings file before start ("" for none).
    explicit Harness(const QByteArray& settings = {})
    {
        if (!settings.isEmpty())
            writeFile(settingsPath(), settings);
    }

    // Creates the main window and runs its start-up.
    MainForm& start()
    {
        main_ = std::make_unique<MainForm>(g);
        main_->Form_Load();
        return *main_;
    }
    MainForm& main() { return *main_; }
    PrefForm& pref() { return main_->prefForm(); }

    // A folder (its path ends with "/") or a file made in the temporary folder.
    QString folder(const QString& name)
    {
        return QDir().mkpath(dir.filePath(name)), dir.filePath(name) + u'/';
    }
    QString file(const QString& folder, const QString& name, const QByteArray& contents = {})
    {
        return writeFile(folder + name, contents), folder + name;
    }
    [[nodiscard]] QString settingsText() const { return QString::fromUtf8(readFile(settingsPath())); }
    [[nodiscard]] QString settingsPath() const { return dir.filePath(QStringLiteral("Orvane.conf")); }

    // A type added as the program adds one.
    void addType(const QString& name, const QString& ext, const QString& path, const QString& desc = {},
                 const QString& app = {})
    {
        AddType(g, {name, ext, path, desc, app});
    }
    [[nodiscard]] QStringList names() const
    {
        QStringList out;
        for (int i = 0; i < g.NumberOfTypes; ++i)
            out.append(g.Types[static_cast<std::size_t>(i)].Name);
        return out;
    }
    // What both windows show, as showing() writes it.
    [[nodiscard]] QString shown()
    {
        QString buttons;
        for (const auto& button : pref().PrefButton)
            buttons += button.isEnabled() ? u'1' : u'0';
        QStringList f;
        for (const platform::ComboBox* c : {&main().TypeCombo, &pref().TypeCombo})
            f << QString::number(c->listIndex()) + u' ' + c->lineEdit()->text();
        f << items(main().FileList) << items(pref().PrefFile) << main().DescLabel.text()
          << pref().DescLabel.text();
        return showing((f << buttons).join(u'|'));
    }

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
