#include "platform/gio.h"

#include <dlfcn.h>

namespace orvane::platform {

bool GioLibrary::load()
{
    if (tried_) {
        return loaded_;
    }
    tried_ = true;
    // GIO registers types and starts threads that outlive any one use: once
    // loaded it stays in memory, and is never closed.
    library_ = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    loaded_ =
        library_ != nullptr && find(guessType, "g_content_type_guess") &&
        find(isUnknownType, "g_content_type_is_unknown") &&
        find(defaultForType, "g_app_info_get_default_for_type") &&
        find(commandLine, "g_app_info_get_commandline") && find(launch, "g_app_info_launch") &&
        find(newLaunchContext, "g_app_launch_context_new") &&
        find(contextSetenv, "g_app_launch_context_setenv") &&
        find(contextUnsetenv, "g_app_launch_context_unsetenv") && find(appName, "g_app_info_get_name") &&
        find(appExecutable, "g_app_info_get_executable") && find(fileForPath, "g_file_new_for_path") &&
        find(unref, "g_object_unref") && find(isA, "g_type_check_instance_is_a") &&
        find(desktopAppInfoType, "g_desktop_app_info_get_type") &&
        find(desktopEntry, "g_desktop_app_info_new_from_filename") &&
        find(entryFile, "g_desktop_app_info_get_filename") &&
        find(entryBoolean, "g_desktop_app_info_get_boolean") &&
        find(entryHidden, "g_desktop_app_info_get_is_hidden") &&
        find(entryString, "g_desktop_app_info_get_string") && find(entryHasKey, "g_desktop_app_info_has_key");
    return loaded_;
}

GDesktopAppInfo* GioLibrary::asDesktopEntry(GAppInfo* info) const
{
    if (info == nullptr || !isA(reinterpret_cast<GTypeInstance*>(info), desktopAppInfoType())) {
        return nullptr;
    }
    return reinterpret_cast<GDesktopAppInfo*>(info);
}

template <typename Function> bool GioLibrary::find(Function& function, const char* name)
{
    function = reinterpret_cast<Function>(::dlsym(library_, name));
    return function != nullptr;
}

} // namespace orvane::platform
