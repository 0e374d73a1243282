#pragma once

// GIO, the desktop's library for file types and applications, loaded on
// first use rather than with the program: its libraries and their set-up
// would otherwise delay every start. GLib itself comes with Qt and is
// linked as usual.

#include <gio/gio.h>

// The desktop entry functions live in the Unix part of GIO.
#if __has_include(<gio/gdesktopappinfo.h>)
#include <gio/gdesktopappinfo.h>
#else
#include <gio-unix-2.0/gio/gdesktopappinfo.h>
#endif

#include <memory>

namespace orvane::platform {

// The GIO functions the program uses, found in the library once loaded.
struct GioLibrary {
    // Loads the library, once; false when it or one of the functions is
    // missing, then and at every later call.
    bool load();

    decltype(&g_content_type_guess) guessType = nullptr;
    decltype(&g_content_type_is_unknown) isUnknownType = nullptr;
    decltype(&g_app_info_get_default_for_type) defaultForType = nullptr;
    decltype(&g_app_info_get_commandline) commandLine = nullptr;
    decltype(&g_app_info_launch) launch = nullptr;
    decltype(&g_app_launch_context_new) newLaunchContext = nullptr;
    decltype(&g_app_launch_context_setenv) contextSetenv = nullptr;
    decltype(&g_app_launch_context_unsetenv) contextUnsetenv = nullptr;
    decltype(&g_app_info_get_name) appName = nullptr;
    decltype(&g_app_info_get_executable) appExecutable = nullptr;
    decltype(&g_file_new_for_path) fileForPath = nullptr;
    decltype(&g_object_unref) unref = nullptr;
    decltype(&g_type_check_instance_is_a) isA = nullptr;
    decltype(&g_desktop_app_info_get_type) desktopAppInfoType = nullptr;
    decltype(&g_desktop_app_info_new_from_filename) desktopEntry = nullptr;
    decltype(&g_desktop_app_info_get_filename) entryFile = nullptr;
    decltype(&g_desktop_app_info_get_boolean) entryBoolean = nullptr;
    decltype(&g_desktop_app_info_get_is_hidden) entryHidden = nullptr;
    decltype(&g_desktop_app_info_get_string) entryString = nullptr;
    decltype(&g_desktop_app_info_has_key) entryHasKey = nullptr;

    // The desktop entry behind an application, or null when it has none.
    [[nodiscard]] GDesktopAppInfo* asDesktopEntry(GAppInfo* info) const;

private:
    template <typename Function> bool find(Function& function, const char* name);

    bool tried_ = false;
    bool loaded_ = false;
    void* library_ = nullptr;
};

// Releases a GIO object with the library's own g_object_unref.
struct GioUnref {
    decltype(&g_object_unref) unref = nullptr;
    void operator()(void* object) const noexcept
    {
        if (object != nullptr) {
            unref(object);
        }
    }
};

template <typename T> using GioOwned = std::unique_ptr<T, GioUnref>;

template <typename T> GioOwned<T> gioOwned(const GioLibrary& gio, T* object)
{
    return GioOwned<T>(object, GioUnref{gio.unref});
}

} // namespace orvane::platform
