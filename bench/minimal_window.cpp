// The floor of Orvane's start-up: a window of the same kind as its main
// window (the three menus with their items, the two labels, an editable
// combo box and a list view, at the same sizes), shown, with the main
// window's title so that both are recognised the same way.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenuBar>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Orvane 1.02"));
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"));
    QMenu* edit = window.menuBar()->addMenu(QStringLiteral("E&dit"));
    edit->addAction(QStringLiteral("&Add New Type"));
    edit->addAction(QStringLiteral("&Preferences"));
    QMenu* help = window.menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Help Contents"));
    help->addAction(QStringLiteral("&About"));

    QWidget client;
    window.setCentralWidget(&client);
    QComboBox types(&client);
    types.setEditable(true);
    types.setGeometry(80, 16, 209, 21);
    QListView files(&client);
    files.setGeometry(8, 64, 297, 136);
    // The labels last, so that they are drawn over the box, as in the main window.
    QLabel typeLabel(QStringLiteral("Type to open:"), &client);
    typeLabel.setGeometry(8, 16, 73, 17);
    QLabel listLabel(QStringLiteral("List of this type:"), &client);
    listLabel.setGeometry(16, 48, 105, 17);

    window.resize(314, 263 + window.menuBar()->sizeHint().height());
    window.show();
    return QApplication::exec();
}
