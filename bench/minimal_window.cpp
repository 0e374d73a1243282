// The least a Qt Widgets program does to show a window: the floor that
// Orvane's own start-up is measured against. The title is the main
// window's, so that both are recognised the same way.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Orvane 1.02"));
    window.resize(314, 305);
    window.show();
    return QApplication::exec();
}
