#include <QApplication>
#include <QSessionManager>

#include "mainwin/mainform.h"
#include "platform/forms.h"
#include "platform/helpkey.h"
#include "platform/icons.h"
#include "platform/qt_services.h"
#include "platform/system_associations.h"
#include "platform/system_starter.h"
#include "shell/dialogs.h"
#include "shell/globals.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
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

    orvane::platform::HelpKey helpKey([&globals](int topic) { orvane::ShowHelpTopic(globals, topic); });
    QApplication::instance()->installEventFilter(&helpKey);

    orvane::MainForm form(globals);
    // Boxes and dialogs carry the program's icon and belong to its windows.
    QApplication::setWindowIcon(form.windowIcon());
    dialogs.setMainWindow(&form);
    form.Form_Load();
    form.show();

    // The desktop session ending closes the main window like any other close.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.Form_Unload(); });
    return QApplication::exec();
}
