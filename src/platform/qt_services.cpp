#include "platform/qt_services.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStandardPaths>

#include <cstdlib>

#include "platform/failure.h"
#include "platform/filenames.h"
#include "platform/help.h"
#include "platform/twips.h"

namespace orvane::platform {

namespace {

QString displayText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Shows folders, the files that can be run and desktop entries, for picking
// an application.
class ProgramsOnly final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr) {
            return true;
        }
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable() || info.fileName().endsWith(QStringLiteral(".desktop"));
    }
};

} // namespace

QStringList qtNameFilters(const QString& filter)
{
    QStringList out;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList masks;
        const auto split = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (const auto& mask : split) {
            masks.append(mask.trimmed());
        }
        const QString patterns = masks.join(u' ');
        const QString description = parts.at(i).isEmpty() ? patterns : parts.at(i);
        // The dialog reads the masks from a trailing "(...)"; a description
        // that already ends with its masks, or is nothing but them, is shown
        // just as it stands.
        const bool showsMasks =
            description == patterns || description.endsWith(QStringLiteral("(%1)").arg(patterns));
        out.append(showsMasks ? description : QStringLiteral("%1 (%2)").arg(description, patterns));
    }
    return out;
}

// ----------------------------------------------------------------- Dialogs

QWidget* QtDialogs::owner() const
{
    // A box belongs to the window shown modally at the time (Preferences, or
    // another box), otherwise to the main window. Right after a box closes no
    // window is active yet, so the active window cannot tell.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    if (mainWindow_ != nullptr) {
        return mainWindow_;
    }
    return QApplication::activeWindow();
}

Answer QtDialogs::message(const MessageRequest& request)
{
    QMessageBox box(owner());
    box.setWindowTitle(request.title);
    box.setTextFormat(Qt::PlainText);
    box.setText(displayText(request.text));
    box.setIcon(request.icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon);
    setHelpNumber(&box, request.helpNumber);
    if (request.buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}

QString QtDialogs::input(const InputRequest& request)
{
    QInputDialog box(owner());
    box.setWindowTitle(request.title);
    box.setLabelText(displayText(request.prompt));
    box.setTextValue(request.defaultText);
    setHelpNumber(&box, request.helpNumber);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

std::optional<QString> QtDialogs::openFile(const FileOpenRequest& request)
{
    QFileDialog dialog(owner());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // "*.*" stands for every name, as in the program's own lists, not only
    // for names with a dot. Qt's dialog ignores case in its masks already.
    auto* files = dialog.findChild<QFileSystemModel*>();
    const auto everyNameFor = [files](const QString& shown) {
        if (files != nullptr && shown == QStringLiteral("*.*")) {
            files->setNameFilters({QStringLiteral("*")});
        }
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, everyNameFor);
    dialog.setNameFilters(qtNameFilters(request.filter));
    everyNameFor(dialog.selectedNameFilter());
    if (request.filter == kProgramsFilter) {
        dialog.setProxyModel(new ProgramsOnly(&dialog));
    }
    if (!request.initialFolder.isEmpty()) {
        dialog.setDirectory(request.initialFolder);
    }
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

// ---------------------------------------------------------------- Settings

QtSettingsStore::QtSettingsStore() = default;

QtSettingsStore::QtSettingsStore(const QString& iniFile) : iniFile_(iniFile) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::path(const QString& app) const
{
    if (!iniFile_.isEmpty()) {
        return iniFile_;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + app + u'/' + app +
           QStringLiteral(".conf");
}

IniFile& QtSettingsStore::file(const QString& app)
{
    if (!file_ || app != app_) {
        app_ = app;
        QFile stored(path(app));
        // No file holds no keys. One that is there but cannot be read holds
        // none either, and is kept as it is.
        const bool opened = stored.open(QIODevice::ReadOnly);
        unreadable_ = !opened && stored.exists();
        const QByteArray bytes = opened ? stored.readAll() : QByteArray();
        holdsText_ = !QByteArrayView(bytes).trimmed().isEmpty(); // a view: no copy of the store
        file_ = std::make_unique<IniFile>(IniFile::parse(bytes));
    }
    return *file_;
}

QString QtSettingsStore::get(const QString& app, const QString& section, const QString& key,
                             const QString& defaultValue)
{
    const QString* value = file(app).value(section, key);
    return value != nullptr ? *value : defaultValue;
}

void QtSettingsStore::save(const QString& app, const QString& section, const QString& key,
                           const QString& value)
{
    file(app).setValue(section, key, value);
}

void QtSettingsStore::deleteSection(const QString& app, const QString& section)
{
    file(app).removeSection(section);
}

bool QtSettingsStore::flush()
{
    if (!file_) {
        return true;
    }
    if (unreadable_) {
        return false;
    }
    // The whole store is written anew from what this copy of the program
    // holds, never merged with what another left on disk.
    const QString where = path(app_);
    QDir().mkpath(QFileInfo(where).absolutePath());
    QString error;
    const Replaced replaced = replaceFileDurably(
        where, [this](const WriteBytes& put) { return file_->writeTo(put); }, error, calls_);
    if (replaced == Replaced::NotSynced) {
        // Saved all the same: the new file is what the next start reads.
        qWarning("%s", qPrintable(QStringLiteral("%1 was saved, but its folder could not be synced (%2): the "
                                                 "new file is in place, but may not be on the disk yet")
                                      .arg(QDir::toNativeSeparators(where), error)));
    }
    return replaced != Replaced::No;
}

QString QtSettingsStore::location()
{
    return file_ ? QDir::toNativeSeparators(path(app_)) : QString();
}

void QtSettingsStore::keepBackup()
{
    if (!file_) {
        return;
    }
    const QString stored = path(app_);
    if (!QFileInfo(stored).isFile()) {
        return;
    }
    const QString backup = stored + QStringLiteral(".bak");
    QFile::remove(backup);
    QFile::copy(stored, backup);
}

bool QtSettingsStore::holdsText(const QString& app)
{
    file(app);
    return holdsText_;
}

// ----------------------------------------------------------------- Desktop

std::int64_t QtDesktop::fileLength(const QString& path)
{
    struct stat status {};
    if (!statPath(path, status) || S_ISDIR(status.st_mode)) {
        fail(Check::FileNotFound);
    }
    return status.st_size;
}

int QtDesktop::screenWidthTwips()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() * kTwipsPerPixel : 0;
}

int QtDesktop::screenHeightTwips()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() * kTwipsPerPixel : 0;
}

void QtDesktop::processEvents()
{
    QCoreApplication::processEvents();
}

void QtDesktop::endNow(int exitCode)
{
    if (beforeEnd_) {
        beforeEnd_();
    }
    std::_Exit(exitCode);
}

} // namespace orvane::platform
