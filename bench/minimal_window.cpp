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

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(u"Orvane 1.02"_s);
    QMenu* file = window.menuBar()->addMenu(u"&File"_s);
    file->addAction(u"E&xit"_s);
    QMenu* edit = window.menuBar()->addMenu(u"E&dit"_s);
    edit->addAction(u"&Add New Type"_s);
    edit->addAction(u"&Preferences"_s);
    QMenu* help = window.menuBar()->addMenu(u"&Help"_s);
    help->addAction(u"Help Contents"_s);
    help->addAction(u"&About"_s);

    QWidget client;
    window.setCentralWidget(&client);
    QComboBox types(&client);
    types.setEditable(true);
    types.setGeometry(80, 16, 209, 21);
    QListView files(&client);
    files.setGeometry(8, 64, 297, 136);
    // The labels last, so that they are drawn over the box, as in the main window.
    QLabel typeLabel(u"Type to open:"_s, &client);
    typeLabel.setGeometry(8, 16, 73, 17);
    QLabel listLabel(u"List of this type:"_s, &client);
    listLabel.setGeometry(16, 48, 105, 17);

    window.resize(314, 263 + window.menuBar()->sizeHint().height());
    window.show();
    return QApplication::exec();
}
