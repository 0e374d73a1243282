#include "platform/system_associations.h"

#ifdef Q_OS_WIN

#include <QDir>

#include <string>

#include <shellapi.h>
#include <windows.h>

namespace orvane::platform {

struct GioLibrary {};

SystemAssociations::SystemAssociations() = default;

SystemAssociations::~SystemAssociations() = default;

std::optional<QString> SystemAssociations::associatedApp(const QString& file)
{
    const std::wstring name = QDir::toNativeSeparators(file).toStdWString();
    wchar_t found[MAX_PATH] = {};
    const auto result = reinterpret_cast<INT_PTR>(::FindExecutableW(name.c_str(), nullptr, found));
    if (result <= 32 || found[0] == L'\0') {
        return std::nullopt;
    }
    return QString::fromWCharArray(found);
}

} // namespace orvane::platform

#else // Linux and other desktops with GIO

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <memory>
#include <string_view>

#include <dlfcn.h>
#include <gio/gio.h>

// The desktop entry's Terminal key lives in the Unix part of GIO.
#if __has_include(<gio/gdesktopappinfo.h>)
#include <gio/gdesktopappinfo.h>
#else
#include <gio-unix-2.0/gio/gdesktopappinfo.h>
#endif

namespace orvane::platform {

// The GIO functions used, from the library loaded on the first question.
// GLib itself comes with Qt and is linked as usual.
struct GioLibrary {
    // Loads the library, once; false when it or one of the functions is
    // missing, then and at every later call.
    bool load()
    {
        if (tried) {
            return loaded;
        }
        tried = true;
        // GIO registers types and starts threads that outlive any one use:
        // once loaded it stays in memory, and is never closed.
        library = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        loaded = library != nullptr && find(guessType, "g_content_type_guess") &&
                 find(isUnknownType, "g_content_type_is_unknown") &&
                 find(defaultForType, "g_app_info_get_default_for_type") &&
                 find(commandLine, "g_app_info_get_commandline") && find(unref, "g_object_unref") &&
                 find(isA, "g_type_check_instance_is_a") &&
                 find(desktopAppInfoType, "g_desktop_app_info_get_type") &&
                 find(desktopBoolean, "g_desktop_app_info_get_boolean");
        return loaded;
    }

    bool tried = false;
    bool loaded = false;
    void* library = nullptr;
    decltype(&g_content_type_guess) guessType = nullptr;
    decltype(&g_content_type_is_unknown) isUnknownType = nullptr;
    decltype(&g_app_info_get_default_for_type) defaultForType = nullptr;
    decltype(&g_app_info_get_commandline) commandLine = nullptr;
    decltype(&g_object_unref) unref = nullptr;
    decltype(&g_type_check_instance_is_a) isA = nullptr;
    // From GIO's Unix part, whose functions the library carries.
    decltype(&g_desktop_app_info_get_type) desktopAppInfoType = nullptr;
    decltype(&g_desktop_app_info_get_boolean) desktopBoolean = nullptr;

private:
    template <typename Function> bool find(Function& function, const char* name)
    {
        function = reinterpret_cast<Function>(::dlsym(library, name));
        return function != nullptr;
    }
};

namespace {

struct FreeMemory {
    void operator()(gchar* text) const noexcept { g_free(text); }
};
struct FreeStrings {
    void operator()(gchar** strings) const noexcept { g_strfreev(strings); }
};
struct Unref {
    decltype(&g_object_unref) unref = nullptr;
    void operator()(GAppInfo* info) const noexcept { unref(info); }
};

using OwnedText = std::unique_ptr<gchar, FreeMemory>;
using OwnedStrings = std::unique_ptr<gchar*, FreeStrings>;
using OwnedAppInfo = std::unique_ptr<GAppInfo, Unref>;

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

// The program is started later as exactly "application file": the program
// and one argument. That matches a desktop entry only when its command line
// is the program followed by one file code (%f %F %u %U), or by nothing, in
// which case the file is appended. Anything more cannot be reproduced that
// way and counts as no application: a wrapper ("env VAR=x app %f",
// "flatpak run ... id @@ %f @@"), options ("app --new-window %U"), the icon,
// name and location codes %i %c %k, or the file twice. The deprecated codes
// %d %D %n %N %v %m expand to nothing and are ignored.
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

// An application meant to run in a terminal shows nothing when started
// directly.
bool needsTerminal(const GioLibrary& gio, GAppInfo* info)
{
    return gio.isA(reinterpret_cast<GTypeInstance*>(info), gio.desktopAppInfoType()) &&
           gio.desktopBoolean(reinterpret_cast<GDesktopAppInfo*>(info), "Terminal");
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
    const OwnedAppInfo info(gio.defaultForType(type.get(), FALSE), Unref{gio.unref});
    if (!info || needsTerminal(gio, info.get())) {
        return std::nullopt;
    }
    const std::optional<QByteArray> program = singleFileProgram(gio.commandLine(info.get()));
    if (!program) {
        return std::nullopt;
    }
    const OwnedText path(g_find_program_in_path(program->constData()));
    if (!path) {
        return std::nullopt;
    }
    return QFile::decodeName(path.get());
}

} // namespace orvane::platform

#endif // GIO
