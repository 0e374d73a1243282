#include "shell/startup.h"

#include <QObject>
#include <QSysInfo>
#include <QWidget>

#include <cmath>

#include "platform/help.h"
#include "platform/twips.h"
#include "shell/errorreport.h"

namespace orvane {

QString BuildPlatformString()
{
#if defined(Q_OS_MACOS)
    const QString os = QStringLiteral("macOS");
#elif defined(Q_OS_LINUX)
    const QString os = QStringLiteral("Linux");
#else
    const QString os = QSysInfo::kernelType();
#endif
    return QStringLiteral("For %1-Bit %2").arg(QSysInfo::WordSize).arg(os);
}

void PrepareVersion(Globals& g, QWidget& mainForm)
{
    reporting(g, Code::GPV, [&] {
        g.VersionString = QStringLiteral(ORVANE_VERSION);
        g.TitleString = kAppName + u' ' + g.VersionString;
        g.PlatformString = BuildPlatformString();
        mainForm.setWindowTitle(g.TitleString);
    });
}

void SetHelp(Globals& g, const HelpItems& items)
{
    reporting(g, Code::GSH, [&] {
        g.HelpFile = kHelpFile;
        const auto assign = [](QObject* item, int number) {
            if (item == nullptr) {
                platform::fail(platform::Check::InvalidValue);
            }
            platform::setHelpNumber(item, number);
        };
        assign(items.mainForm, 3);
        assign(items.mainTypeCombo, 7);
        assign(items.fileList, 8);
        assign(items.mnuAddType, 6);
        assign(items.mnuExit, 2);
        assign(items.mnuPreferences, 9);
        assign(items.mnuContents, 3);
        assign(items.mnuAbout, 3);
        assign(items.mnuFile, 2);
        assign(items.mnuEdit, 2);
        assign(items.mnuHelp, 3);
        assign(items.prefForm, 9);
        assign(items.prefTypeCombo, 9);
        assign(items.prefDir, 9);
        assign(items.prefFile, 9);
        for (QObject* button : items.prefButton) {
            assign(button, 9);
        }
    });
}

void CenterForm(Globals& g, QWidget& form)
{
    reporting(g, Code::GCF, [&] {
        auto& desktop = g.services.desktop;
        // Positions are in twips, halved in single precision and kept
        // unrounded until the window is moved; nothing is clamped.
        const QRect outer = form.frameGeometry();
        const float width = static_cast<float>(outer.width() * platform::kTwipsPerPixel);
        const float left = (static_cast<float>(desktop.screenWidthTwips()) - width) / 2.0F;
        const auto toPixels = [](float twips) {
            if (!std::isfinite(twips)) {
                platform::fail(platform::Check::Overflow);
            }
            return static_cast<int>(std::lround(twips / platform::kTwipsPerPixel));
        };
        form.move(toPixels(left), form.y());
        const float height = static_cast<float>(outer.height() * platform::kTwipsPerPixel);
        const float top = (static_cast<float>(desktop.screenHeightTwips()) - height) / 2.0F;
        form.move(form.x(), toPixels(top));
        desktop.processEvents();
    });
}

QString AboutText(const Globals& g)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("Version ") + g.VersionString + crlf + g.PlatformString + crlf +
           QStringLiteral("Copyright 2026 Velcora Software") + crlf + crlf +
           QStringLiteral("Visit the Velcora Software web site for the latest releases.");
}

} // namespace orvane
