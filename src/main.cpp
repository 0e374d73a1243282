#include <QApplication>
#include <QSessionManager>

#include "catalogue/catalogue.h"
#include "mainwin/mainform.h"
#include "platform/forms.h"
#include "platform/helpkey.h"
#include "platform/icons.h"
#include "platform/qt_services.h"
#include "platform/session.h"
#include "platform/system_associations.h"
#include "platform/system_starter.h"
#include "shell/dialogs.h"
#include "shell/globals.h"

int main(int argc, char* argv[])
{
    // The token or startup id the desktop started us with, read before Qt
    // starts (on X11 it takes the startup id for our first window), and
    // then gone from the environment: no program we start may present it.
    const orvane::platform::LaunchIds launchIds = orvane::platform::LaunchIds::fromEnvironment();
    QApplication app(argc, argv);
    orvane::platform::LaunchIds::clearEnvironment();
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    // The desktop entry's name, which is also the Wayland app id.
    QApplication::setDesktopFileName(QStringLiteral("com.velcora.orvane"));
    orvane::platform::useLazyStandardIcons();

    orvane::platform::QtDialogs dialogs;
    orvane::platform::QtSettingsStore settings;
    orvane::platform::SystemStarter starter;
    orvane::platform::SystemAssociations associations;
    orvane::platform::QtDesktop desktop;
    orvane::platform::Services services{dialogs, settings, starter, associations, desktop};
    orvane::Globals globals(services);

    // One copy per user and store: a second start shows the first copy's
    // window, handing on its token or startup id, and ends.
    const QString lockFile = settings.path(orvane::kAppName) + QStringLiteral(".lock");
    orvane::platform::SingleCopy copy(lockFile, orvane::platform::SingleCopy::defaultSocket(lockFile));
    if (!copy.claim(launchIds)) {
        return 0;
    }
    desktop.setBeforeEnd([&copy] { copy.release(); });

    orvane::platform::HelpKey helpKey([&globals](int topic) { orvane::ShowHelpTopic(globals, topic); });
    QApplication::instance()->installEventFilter(&helpKey);

    orvane::MainForm form(globals);
    // Boxes and dialogs carry the program's icon and belong to its windows.
    QApplication::setWindowIcon(form.windowIcon());
    dialogs.setMainWindow(&form);
    form.Form_Load();
    form.show();
    copy.setWindow(&form);

    // From here on the catalogue is loaded, and every way the session ends
    // the program saves it first. The signals a session or a terminal sends
    // end it as File > Exit does, even while a box waits for an answer.
    const orvane::platform::EndSignals endSignals([&form](int) { form.EndSession(); });
    // Without a display nothing can be shown or asked: the catalogue is
    // saved before the window system ends the process.
    const orvane::platform::DisplayLoss displayLoss([&globals] { orvane::SaveTypes(globals); });
    // A checkpoint saves and the program goes on; at a logout the session
    // manager then tells the program to quit.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.Checkpoint(); });

    QApplication::exec();
    // Asked to quit (the session manager at a logout) without the main
    // window being closed: end as closing it would.
    form.Form_Unload();
}
