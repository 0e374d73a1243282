#include "platform/help.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QVariant>

namespace orvane::platform {

namespace {
constexpr const char* kHelpProperty = "orvaneHelpNumber";
}

void setHelpNumber(QObject* item, int number)
{
    item->setProperty(kHelpProperty, number);
}

int helpNumber(const QObject* item)
{
    return item->property(kHelpProperty).toInt();
}

QString helpViewer()
{
    return QStringLiteral("xdg-open");
}

QString helpPage(int topic, const QString& programFolder)
{
    const QString page =
        topic == 0 ? QStringLiteral("index.html") : QStringLiteral("topic-%1.html").arg(topic);
    const QString here = programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
    const QString candidates[] = {
        here + QStringLiteral("/help/"),
        here + QStringLiteral("/../" ORVANE_HELP_DIR "/"),
    };
    for (const auto& folder : candidates) {
        if (QFileInfo::exists(folder + page)) {
            return QDir::cleanPath(folder + page);
        }
    }
    return QDir::cleanPath(candidates[0] + page);
}

} // namespace orvane::platform
