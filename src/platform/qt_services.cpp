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
#include <QSettings>
#include <QSortFilterProxyModel>

#include <cstdlib>

#include "platform/failure.h"
#include "platform/help.h"
#include "platform/twips.h"

namespace orvane::platform {

namespace {

QString displayText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// "*.txt" becomes "*.[tT][xX][tT]" so that Qt's dialog ignores case the way
// the program's own lists do.
QString caseless(const QString& mask)
{
    if (mask == QStringLiteral("*.*")) {
        return QStringLiteral("*");
    }
    QString out;
    for (const QChar c : mask) {
        const QChar lower = c.toLower();
        const QChar upper = c.toUpper();
        if (lower != upper) {
            out += u'[';
            out += lower;
            out += upper;
            out += u']';
        } else if (c == u'[' || c == u']') {
            out += u'[';
            out += c;
            out += u']';
        } else {
            out += c;
        }
    }
    return out;
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
            masks.append(caseless(mask.trimmed()));
        }
        const QString description = parts.at(i).isEmpty() ? parts.at(i + 1) : parts.at(i);
        out.append(QStringLiteral("%1 (%2)").arg(description, masks.join(u' ')));
    }
    return out;
}

// ----------------------------------------------------------------- Dialogs

Answer QtDialogs::message(const MessageRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
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
    QInputDialog box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    box.setLabelText(displayText(request.prompt));
    box.setTextValue(request.defaultText);
    setHelpNumber(&box, request.helpNumber);
    return box.exec() == QDialog::Accepted ? box.textValue() : QString();
}

std::optional<QString> QtDialogs::openFile(const FileOpenRequest& request)
{
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(qtNameFilters(request.filter));
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

QSettings& QtSettingsStore::settings(const QString& app)
{
    if (!settings_ || app != app_) {
        app_ = app;
        if (iniFile_.isEmpty()) {
            settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, app, app);
        } else {
            settings_ = std::make_unique<QSettings>(iniFile_, QSettings::IniFormat);
        }
    }
    return *settings_;
}

QString QtSettingsStore::get(const QString& app, const QString& section, const QString& key,
                             const QString& defaultValue)
{
    const QVariant value = settings(app).value(section + u'/' + key);
    if (!value.isValid()) {
        return defaultValue;
    }
    // An unquoted value holding commas, written by hand, reads as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return value.toStringList().join(u',');
    }
    return value.toString();
}

void QtSettingsStore::save(const QString& app, const QString& section, const QString& key,
                           const QString& value)
{
    settings(app).setValue(section + u'/' + key, value);
}

void QtSettingsStore::deleteSection(const QString& app, const QString& section)
{
    settings(app).remove(section);
}

bool QtSettingsStore::flush()
{
    if (!settings_) {
        return true;
    }
    if (!settings_->isWritable()) {
        return false;
    }
    settings_->sync();
    return settings_->status() != QSettings::AccessError;
}

QString QtSettingsStore::location()
{
    return settings_ ? QDir::toNativeSeparators(settings_->fileName()) : QString();
}

void QtSettingsStore::keepBackup()
{
    if (!settings_) {
        return;
    }
    // On Windows the store is the registry, which has no file to copy.
    const QString file = settings_->fileName();
    if (!QFileInfo(file).isFile()) {
        return;
    }
    const QString backup = file + QStringLiteral(".bak");
    QFile::remove(backup);
    QFile::copy(file, backup);
}

// ----------------------------------------------------------------- Desktop

std::int64_t QtDesktop::fileLength(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        fail(Check::FileNotFound);
    }
    return info.size();
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
    std::_Exit(exitCode);
}

} // namespace orvane::platform
