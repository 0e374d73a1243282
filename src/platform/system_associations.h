#pragma once

#include <memory>

#include "platform/services.h"

namespace orvane::platform {

struct GioLibrary;

// The desktop's file associations.
//
// On Linux the file's type comes from its name, or from its first bytes
// when the name does not tell; the desktop's default application for that
// type is returned only when it can be started as "application file", that
// is when its command line is the program followed by at most the file.
// On Windows it is the executable the shell associates with the file.
//
// GIO is loaded on the first question, not with the program: its libraries
// and their set-up would otherwise delay every start.
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
