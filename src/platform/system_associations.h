#pragma once

#include <memory>

#include "platform/services.h"

namespace orvane::platform {

struct GioLibrary;

// The desktop's file associations.
//
// The file's type comes from its name, or from its first bytes when the
// name does not tell. The answer is the desktop's default application for
// that type: the program's full path when the desktop would start it as
// "program file" (its command line is the program and at most the file),
// else the full path of its desktop entry (options, wrappers, sandboxed
// applications, entries run in a terminal or over D-Bus). None when the
// desktop has no application for the type or cannot start the one it has.
//
// GIO is loaded on the first question, not with the program.
class SystemAssociations final : public Associations {
public:
    SystemAssociations();
    ~SystemAssociations() override;
    SystemAssociations(const SystemAssociations&) = delete;
    SystemAssociations& operator=(const SystemAssociations&) = delete;

    std::optional<QString> associatedApp(const QString& file) override;

private:
    std::unique_ptr<GioLibrary> gio_; // once loaded
};

} // namespace orvane::platform
