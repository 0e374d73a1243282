#include "platform/commandline.h"

namespace orvane::platform {

QString quotedArgument(const QString& fullPath)
{
    if (fullPath.contains(u' ')) {
        return QStringLiteral(" \"") + fullPath + u'"';
    }
    return u' ' + fullPath;
}

QString commandLine(const QString& app, const QString& fullPath)
{
    return app + quotedArgument(fullPath);
}

} // namespace orvane::platform
