#pragma once

// The real services: Qt's dialogs, the settings file, the screen and the
// event loop.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

#include "platform/durablefile.h"
#include "platform/inifile.h"
#include "platform/services.h"

namespace orvane::platform {

// Qt's name filters from "description|pattern|...", each shown as its
// description alone where that already names the masks.
QStringList qtNameFilters(const QString& filter);

class QtDialogs final : public Dialogs {
public:
    // The window that boxes belong to when no other window is shown modally.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }

    Answer message(const MessageRequest& request) override;
    QString input(const InputRequest& request) override;
    std::optional<QString> openFile(const FileOpenRequest& request) override;

private:
    [[nodiscard]] QWidget* owner() const;

    QPointer<QWidget> mainWindow_;
};

// The settings store: the file $XDG_CONFIG_HOME/<app>/<app>.conf in the INI
// format Qt's settings write, read whole at first use and written whole,
// durably, at each flush. Tests give a file of their own, and may replace
// the system calls of a save to make one fail.
class QtSettingsStore final : public SettingsStore {
public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& iniFile);
    ~QtSettingsStore() override;
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    QString get(const QString& app, const QString& section, const QString& key,
                const QString& defaultValue) override;
    void save(const QString& app, const QString& section, const QString& key, const QString& value) override;
    void deleteSection(const QString& app, const QString& section) override;
    bool flush() override;
    QString location() override;
    void keepBackup() override;
    bool holdsText(const QString& app) override;

    void setFileCalls(FileCalls calls) { calls_ = std::move(calls); }

    // The file that holds the program's settings.
    [[nodiscard]] QString path(const QString& app) const;

private:
    IniFile& file(const QString& app);

    QString iniFile_;
    QString app_;
    std::unique_ptr<IniFile> file_;
    // The file is there but could not be read: it is never written over.
    bool unreadable_ = false;
    bool holdsText_ = false;
    FileCalls calls_ = FileCalls::system();
};

class QtDesktop final : public Desktop {
public:
    // Runs just before the program ends at once (to give up a lock).
    void setBeforeEnd(std::function<void()> beforeEnd) { beforeEnd_ = std::move(beforeEnd); }

    std::int64_t fileLength(const QString& path) override;
    int screenWidthTwips() override;
    int screenHeightTwips() override;
    void processEvents() override;
    [[noreturn]] void endNow(int exitCode) override;

private:
    std::function<void()> beforeEnd_;
};

} // namespace orvane::platform
