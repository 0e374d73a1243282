#pragma once

#include "platform/services.h"

namespace orvane::platform {

// The desktop's file associations.
//
// On Linux the file's type comes from its name, or from its first bytes
// when the name does not tell; the desktop's default application for that
// type is returned only when it can be started as "application file", that
// is when its command line is the program followed by at most the file.
// On Windows it is the executable the shell associates with the file.
class SystemAssociations final : public Associations {
public:
    std::optional<QString> associatedApp(const QString& file) override;
};

} // namespace orvane::platform
