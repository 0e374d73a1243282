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
#ifdef Q_OS_WIN
    return QStringLiteral("winhelp.exe");
#else
    return QStringLiteral("xdg-open");
#endif
}

QString helpPage(int topic)
{
#ifdef Q_OS_WIN
    Q_UNUSED(topic);
    return QStringLiteral("orvane.hlp");
#else
    const QString page =
        topic == 0 ? QStringLiteral("index.html") : QStringLiteral("topic-%1.html").arg(topic);
    const QString here = QCoreApplication::applicationDirPath();
    const QString candidates[] = {
        here + QStringLiteral("/help/"),
        here + QStringLiteral("/../share/orvane/help/"),
    };
    for (const auto& folder : candidates) {
        if (QFileInfo::exists(folder + page)) {
            return QDir::cleanPath(folder + page);
        }
    }
    return QDir::cleanPath(candidates[0] + page);
#endif
}

} // namespace orvane::platform
