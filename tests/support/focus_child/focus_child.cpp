// A type's application for the activation tests: writes its process id,
// then the XDG_ACTIVATION_TOKEN and DESKTOP_STARTUP_ID it was given, one a
// line, to the file its first argument names, and shows a window titled
// "Started" (or the title given before the file) that asks for the focus
// once shown, with the token if any.

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <unistd.h>

int main(int argc, char** argv)
{
    // Before Qt starts: on X11 it takes the startup id for the window.
    QFile out(QString::fromLocal8Bit(argv[argc - 1]));
    out.open(QIODevice::WriteOnly);
    out.write(QByteArray::number(::getpid()) + '\n' + qgetenv("XDG_ACTIVATION_TOKEN") + '\n' +
              qgetenv("DESKTOP_STARTUP_ID") + '\n');
    out.close();
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 2 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("Started"));
    window.show();
    // Qt 6.4 presents the token only when asked to activate the window, and
    // the compositor takes it only for a window it has mapped.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (window.windowHandle()->isExposed()) {
            poll.stop();
            QTimer::singleShot(200, &window, [&window] { window.activateWindow(); });
        }
    });
    poll.start(20);
    return QApplication::exec();
}
