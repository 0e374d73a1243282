#include "platform/system_associations.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <memory>
#include <string_view>

#include "platform/gio.h"

namespace orvane::platform {

namespace {

struct FreeMemory {
    void operator()(gchar* text) const noexcept { g_free(text); }
};
struct FreeStrings {
    void operator()(gchar** strings) const noexcept { g_strfreev(strings); }
};
using OwnedText = std::unique_ptr<gchar, FreeMemory>;
using OwnedStrings = std::unique_ptr<gchar*, FreeStrings>;

constexpr qint64 kSniffLength = 4096;

// The first bytes of a regular file; empty when there are none or they
// cannot be read.
QByteArray firstBytes(const QString& file)
{
    if (!QFileInfo(file).isFile()) {
        return {};
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        return {};
    }
    return in.read(kSniffLength);
}

// The content type, from the file's name, or from its first bytes when the
// name does not tell (no known extension, or several types fit it).
OwnedText contentType(const GioLibrary& gio, const QString& file)
{
    const QByteArray name = QFile::encodeName(file);
    gboolean uncertain = FALSE;
    OwnedText type(gio.guessType(name.constData(), nullptr, 0, &uncertain));
    if (type && !uncertain && !gio.isUnknownType(type.get())) {
        return type;
    }
    const QByteArray data = firstBytes(file);
    if (data.isEmpty()) {
        return type;
    }
    OwnedText sniffed(gio.guessType(name.constData(), reinterpret_cast<const guchar*>(data.constData()),
                                    static_cast<gsize>(data.size()), &uncertain));
    return sniffed ? std::move(sniffed) : std::move(type);
}

bool isFileCode(std::string_view token)
{
    return token == "%f" || token == "%F" || token == "%u" || token == "%U";
}

bool isDeprecatedCode(std::string_view token)
{
    return token == "%d" || token == "%D" || token == "%n" || token == "%N" || token == "%v" || token == "%m";
}

// A program is started as exactly "program file": the program and one
// argument. That is how the desktop starts an application only when its
// command line is the program followed by one file code (%f %F %u %U), or
// by nothing, in which case the file is appended. Anything more needs the
// desktop entry itself: a wrapper ("env VAR=x app %f", "flatpak run ... id
// @@u %U @@"), options ("app --new-window %U"), the icon, name and location
// codes %i %c %k, or the file twice. The deprecated codes %d %D %n %N %v %m
// expand to nothing and are ignored.
//
// Returns the program as the command line names it. GIO's own "executable"
// is the command line's first word before unquoting, which is wrong for a
// quoted path with blanks, so the command line is split here instead.
std::optional<QByteArray> singleFileProgram(const char* commandLine)
{
    if (commandLine == nullptr) {
        return std::nullopt;
    }
    gint count = 0;
    gchar** tokens = nullptr;
    if (!g_shell_parse_argv(commandLine, &count, &tokens, nullptr)) {
        return std::nullopt;
    }
    const OwnedStrings owner(tokens);
    if (count < 1 || std::strchr(tokens[0], '%') != nullptr) {
        return std::nullopt;
    }
    int fileCodes = 0;
    for (gint i = 1; i < count; ++i) {
        if (isFileCode(tokens[i])) {
            ++fileCodes;
        } else if (!isDeprecatedCode(tokens[i])) {
            return std::nullopt;
        }
    }
    if (fileCodes > 1) {
        return std::nullopt;
    }
    return QByteArray(tokens[0]);
}

// The program itself when "program file" starts it as the desktop does,
// else the full path of its desktop entry; nothing when neither can be had.
std::optional<QString> howToStart(const GioLibrary& gio, GAppInfo* info)
{
    GDesktopAppInfo* entry = gio.asDesktopEntry(info);
    // Started by the desktop in a terminal, or over D-Bus: only the entry
    // says how.
    const bool entryOnly = entry != nullptr && (gio.entryBoolean(entry, "Terminal") ||
                                                gio.entryBoolean(entry, "DBusActivatable"));
    if (!entryOnly) {
        if (const std::optional<QByteArray> program = singleFileProgram(gio.commandLine(info))) {
            const OwnedText path(g_find_program_in_path(program->constData()));
            // GIO does not offer an entry whose program is missing; the
            // program can still go between the two looks.
            return path ? std::optional(QFile::decodeName(path.get())) : std::nullopt;
        }
    }
    const char* file = entry != nullptr ? gio.entryFile(entry) : nullptr;
    if (file == nullptr) {
        return std::nullopt;
    }
    return QFile::decodeName(file);
}

} // namespace

SystemAssociations::SystemAssociations() = default;

SystemAssociations::~SystemAssociations() = default;

std::optional<QString> SystemAssociations::associatedApp(const QString& file)
{
    if (!gio_) {
        gio_ = std::make_unique<GioLibrary>();
    }
    if (!gio_->load()) {
        return std::nullopt;
    }
    const GioLibrary& gio = *gio_;
    const OwnedText type = contentType(gio, file);
    if (!type) {
        return std::nullopt;
    }
    const auto info = gioOwned(gio, gio.defaultForType(type.get(), FALSE));
    if (!info) {
        return std::nullopt;
    }
    return howToStart(gio, info.get());
}

} // namespace orvane::platform
