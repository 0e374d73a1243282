// The program's windows on a real display, in-process: what only a real
// display shows. Run twice, on Xvfb with the xcb platform and on a headless
// sway with the wayland platform; the desktop's font comes from qt6ct.

#include <QAbstractProxyModel>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

#include "catalogue/catalogue.h"
#include "platform/failure.h"
#include "platform/forms.h"
#include "platform/helpkey.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "support/harness.h"
#include "support/processes.h"

using namespace orvane;
using namespace Qt::StringLiterals;

namespace {

constexpr double kDesktopPoints = 10.0; // the font qt6ct gives, set up in main()

// The whole program on Qt's real dialogs and the real display; starting
// programs and associations are the harness's. F1 asks the starter for help.
struct RealProgram {
    test::Harness h;
    platform::QtDialogs real;
    platform::Services services{real, h.settings, h.starter, h.associations, h.desktop};
    Globals g{services};
    MainForm main{g};
    platform::HelpKey helpKey{[this](int topic) { ShowHelpTopic(g, topic); }};

    RealProgram()
    {
        real.setMainWindow(&main);
        qApp->installEventFilter(&helpKey);
        main.Form_Load();
        main.show();
        main.activateWindow();
        // Wayland lets no program activate its windows: the compositor does.
        QTRY_VERIFY(main.isActiveWindow());
    }
    // A type whose folder holds two letters.
    void letters()
    {
        const QString folder = h.folder(u"letters"_s);
        for (const QString& name : {u"dear.txt"_s, u"THANKS.TXT"_s, u"readme"_s}) {
            h.file(folder, name);
        }
        AddType(g, {u"Letters"_s, u"txt"_s, folder, u"Letters to friends, family and the bank"_s,
                    u"/bin/true"_s});
    }
    // The heading of the help page last asked for.
    [[nodiscard]] QString helpShown() const
    {
        const QString page =
            h.starter.started.isEmpty() ? QString() : h.starter.started.last().arguments.value(0);
        const auto found =
            QRegularExpression(u"<h1>(.*)</h1>"_s).match(QString::fromUtf8(test::readFile(page)));
        return found.captured(1);
    }
};

// The user at each window that comes up modally, in turn: one step per
// window, which answers it and says what it showed; each window's owner on
// the display (its transient parent) is named by owner().
class User {
public:
    using Step = std::function<QString(QWidget*)>;
    User(QList<Step> steps, std::function<QString(const QWindow*)> owner)
        : steps_(std::move(steps)), owner_(std::move(owner))
    {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != nullptr && modal != last_ && !steps_.isEmpty() && modal->isVisible()) {
                last_ = modal;
                owners << owner_(modal->windowHandle()->transientParent());
                seen << steps_.takeFirst()(modal);
            }
        });
        timer_.start(20);
    }
    QStringList seen, owners;

private:
    QList<Step> steps_;
    std::function<QString(const QWindow*)> owner_;
    QPointer<QWidget> last_;
    QTimer timer_;
};

void typePath(QWidget* dialog, const QString& path)
{
    auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s);
    name->setText(path);
    QTest::keyClick(name, Qt::Key_Return);
}

// The names a file dialog lists in its folder, once it has read them.
QStringList listed(QFileDialog* dialog)
{
    auto* view = dialog->findChild<QListView*>(u"listView"_s);
    QStringList names, before;
    for (int tries = 0; tries < 100 && (names.isEmpty() || names != before); ++tries) {
        QTest::qWait(50);
        before = names;
        names.clear();
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
        }
        names.sort();
    }
    return names;
}

// Captions cut, wrapping labels showing part of a line.
QStringList cutCaptions(const QWidget& window)
{
    QStringList out;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        const QFontMetrics metrics(w->font());
        if (const auto* label = qobject_cast<const QLabel*>(w); label && w->isVisible()) {
            if (!label->wordWrap() ? label->sizeHint().width() > label->width()
                                   : label->height() % metrics.lineSpacing() != 0) {
                out << label->objectName() + u": "_s + label->text();
            }
        } else if (const auto* button = qobject_cast<const QPushButton*>(w);
                   button && metrics.horizontalAdvance(button->text()) > button->width() - 4) {
            out << button->text();
        }
    }
    return out;
}

} // namespace

class TestDisplay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addingATypeThroughTheRealDialogs()
    {
        RealProgram p;
        const QString docs = p.h.folder(u"My Docs"_s), sample = p.h.file(docs, u"Report.Tar.GZ"_s);
        p.h.file(docs, u"Makefile"_s); // "*.*" is every name
        const QString tools = p.h.folder(u"tools"_s), program = p.h.file(tools, u"viewer"_s, "#!/bin/sh\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        p.h.file(tools, u"writer.desktop"_s, "[Desktop Entry]\n"); // offered too
        p.h.file(tools, u"readme.txt"_s, "words\n");               // not offered
        const auto answer = [](QWidget* w, const QString& text) {
            auto* box = qobject_cast<QInputDialog*>(w);
            const QString prompt = box->labelText();
            box->setTextValue(text);
            box->accept();
            return prompt;
        };
        User user(
            {[&](QWidget* w) {
                 typePath(w, sample);
                 return qobject_cast<QFileDialog*>(w)->selectedNameFilter();
             },
             [&](QWidget* w) { return answer(w, u"  Archives "_s); },
             [&](QWidget* w) { return answer(w, u"Packed"_s); },
             [&](QWidget* w) {
                 auto* box = qobject_cast<QMessageBox*>(w);
                 const bool yesFirst = box->defaultButton() == box->button(QMessageBox::Yes) &&
                                       box->escapeButton() == box->button(QMessageBox::No);
                 box->button(QMessageBox::Yes)->click();
                 return box->text() + (yesFirst ? u" [Yes]"_s : u""_s);
             },
             [&](QWidget* w) {
                 auto* dialog = qobject_cast<QFileDialog*>(w);
                 dialog->setDirectory(tools);
                 const QString offered = listed(dialog).join(u' ');
                 typePath(w, program);
                 return offered;
             }},
            [&](const QWindow* owner) { return owner == p.main.windowHandle() ? u"main"_s : u"other"_s; });
        p.main.MnuAddType_Click();
        QCOMPARE(user.seen,
                 QStringList({u"*.*"_s, u"Enter the name you would like to call this type of file."_s,
                              u"Enter a description."_s,
                              u"No application is setup to handle this type of file.  Would you like "
                              "to choose one? [Yes]"_s,
                              u"viewer writer.desktop"_s}));
        QCOMPARE(user.owners, QStringList(5, u"main"_s));
        const TypeRecord& t = p.g.Types.at(0);
        QCOMPARE(QStringList({t.Name, t.Ext, t.Path, t.Desc, t.App}),
                 QStringList(
                     {u"  Archives "_s, u"tar.gz"_s, p.h.dir.filePath(u"My Docs/"_s), u"Packed"_s, program}));
    }

    void boxesOverPreferencesBelongToIt()
    {
        RealProgram p;
        p.letters();
        p.main.TypeCombo.setListIndex(0);
        PrefForm& pref = p.main.prefForm();
        const auto press = [&pref](int button) {
            return [&pref, button](QWidget*) {
                QTimer::singleShot(0, &pref, [&pref, button] { pref.PrefButton.at(button).click(); });
                return u"Preferences"_s;
            };
        };
        const auto cancel = [](bool names) { // the file dialog's filter, and the names it lists
            return [names](QWidget* w) {
                const QString shown = w->findChild<QComboBox*>(u"fileTypeCombo"_s)->currentText() + u": "_s +
                                      (names ? listed(qobject_cast<QFileDialog*>(w)).join(u' ') : QString());
                qobject_cast<QDialog*>(w)->reject();
                return shown;
            };
        };
        User user({press(PrefForm::OpensWith),
                   [](QWidget* w) {
                       qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
                       return u"QMessageBox"_s;
                   },
                   cancel(false), press(PrefForm::ChangePath), cancel(true), press(PrefForm::Done)},
                  [&](const QWindow* owner) {
                      return owner == pref.windowHandle()     ? u"over Preferences"_s
                             : owner == p.main.windowHandle() ? u"over main"_s
                                                              : u"over nothing"_s;
                  });
        pref.move(0, 0); // reopened, it is centred again
        p.main.MnuPreferences_Click();
        QCOMPARE(user.seen,
                 QStringList({u"Preferences"_s, u"QMessageBox"_s, u"Programs (*): "_s, u"Preferences"_s,
                              u"Letters (*.txt): THANKS.TXT dear.txt"_s, u"Preferences"_s}));
        QCOMPARE(user.owners, QStringList({u"over main"_s, u"over Preferences"_s, u"over Preferences"_s,
                                           u"over main"_s, u"over Preferences"_s, u"over main"_s}));
        if (QGuiApplication::platformName() == u"xcb"_s) { // only X11 lets a program place its windows
            const QPoint middle = QGuiApplication::primaryScreen()->geometry().center();
            QVERIFY((pref.frameGeometry().center() - middle).manhattanLength() <= 2);
            QVERIFY((p.main.frameGeometry().center() - middle).manhattanLength() <= 2);
        }
    }

    void theKeyboardAlone()
    {
        RealProgram p;
        p.letters();
        // Tab reaches the type list, arrows choose a type, Tab the file list.
        QTest::keyClick(&p.main, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), &p.main.TypeCombo.widget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(p.main.TypeCombo.listIndex(), 0);
        QCOMPARE(p.main.FileList.listCount(), 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), &p.main.FileList);
        // The first Down chooses the first file; Enter and keypad Enter open the chosen one.
        QStringList opened;
        for (const Qt::Key enter : {Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(&p.main.FileList, Qt::Key_Down);
            QTest::keyClick(&p.main.FileList, enter);
            opened << p.h.starter.started.last().arguments.value(0).section(u'/', -1);
        }
        QCOMPARE(opened, QStringList({u"dear.txt"_s, u"THANKS.TXT"_s}));
        // A double-click opens the file once.
        const QPoint first = p.main.FileList.visualRect(p.main.FileList.model()->index(0, 0)).center();
        QTest::mouseClick(p.main.FileList.viewport(), Qt::LeftButton, {}, first);
        QTest::mouseDClick(p.main.FileList.viewport(), Qt::LeftButton, {}, first);
        QTest::mouseRelease(p.main.FileList.viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(p.h.starter.started.size(), 3);
        QCOMPARE(p.h.starter.started.last().arguments.value(0).section(u'/', -1), u"dear.txt"_s);
    }

    void f1OpensThePageOfWhatHasTheFocus()
    {
        RealProgram p;
        PrefForm& pref = p.main.prefForm();
        p.main.Label1.setFocusPolicy(Qt::StrongFocus); // a label: its window's page
        QStringList pages;
        const auto f1 = [&](QWidget* w) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_F1);
            pages << p.helpShown();
        };
        for (QWidget* w : QList<QWidget*>{&p.main.FileList, p.main.TypeCombo.lineEdit(), &p.main.Label1}) {
            f1(w);
        }
        // A highlighted menu item, or an open menu.
        for (QAction* item : {p.main.MnuAddType, p.main.MnuExit, p.main.MnuPreferences, p.main.MnuContents,
                              p.main.MnuAbout, p.main.MnuFile->menuAction(), p.main.MnuHelp->menuAction()}) {
            QMenu* menu = item->menu() != nullptr ? item->menu() : qobject_cast<QMenu*>(item->parent());
            menu->popup(p.main.mapToGlobal(QPoint()));
            QTRY_COMPARE(QApplication::activePopupWidget(), menu);
            menu->setActiveAction(item->menu() != nullptr ? nullptr : item);
            QTest::keyClick(menu, Qt::Key_F1);
            pages << p.helpShown();
            menu->close();
        }
        pref.show();
        pref.activateWindow();
        QTRY_VERIFY(pref.isActiveWindow());
        for (QWidget* w :
             QList<QWidget*>{&pref.PrefButton[3], &pref.PrefDir, &pref.PrefFile, &pref.TypeCombo.widget()}) {
            f1(w);
        }
        pref.hide();
        User user({[&](QWidget* box) { // in a box, the box's page
                      QTest::keyClick(box, Qt::Key_F1);
                      QTest::keyClick(box, Qt::Key_Escape);
                      return p.helpShown();
                  }},
                  [](const QWindow*) { return QString(); });
        InputBox(p.g, u"Name?"_s, {}, 6);
        QCOMPARE(
            pages + user.seen,
            QStringList({u"Opening a file"_s, u"Choosing a type"_s, u"The main window"_s, u"Adding a type"_s,
                         u"The File and Edit menus"_s, u"The Preferences window"_s, u"The main window"_s,
                         u"The main window"_s, u"The File and Edit menus"_s, u"The main window"_s}) +
                QStringList(4, u"The Preferences window"_s) + QStringList{u"Adding a type"_s});
    }

    void aScreenReaderIsToldWhatEachControlIs()
    {
        RealProgram p;
        p.letters();
        p.main.TypeCombo.setListIndex(0);
        PrefForm& pref = p.main.prefForm();
        pref.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pref));
        const auto said = [](QObject* o) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
            QString text = u"%1 \"%2\""_s.arg(int(a->role())).arg(a->text(QAccessible::Name));
            for (const auto& [other, relation] : a->relations(QAccessible::Label)) {
                text += u" labelled \""_s + other->text(QAccessible::Name) + u'"';
            }
            return text;
        };
        QStringList heard;
        for (QObject* o :
             QList<QObject*>{&p.main, &p.main.TypeCombo.widget(), &p.main.FileList, &p.main.DescLabel, &pref,
                             &pref.PrefButton[0], &pref.PrefButton[5]}) {
            heard << said(o);
        }
        const auto role = [](QAccessible::Role r) { return QString::number(r) + u' '; };
        QCOMPARE(heard, QStringList(
                            {role(QAccessible::Window) + u"\"Orvane 1.02\""_s,
                             role(QAccessible::ComboBox) + u"\"Letters\" labelled \"Type to open:\""_s,
                             role(QAccessible::List) + u"\"List of this type:\""_s,
                             role(QAccessible::StaticText) + u"\"Letters to friends, family and the bank\""_s,
                             role(QAccessible::Dialog) + u"\"Preferences\""_s,
                             role(QAccessible::Button) + u"\"Opens with...\""_s,
                             role(QAccessible::Button) + u"\"Remove Type\""_s}));
        pref.hide();
        User user({[&](QWidget* w) {
                      QString text;
                      for (QObject* child : w->findChildren<QLabel*>()) {
                          text += QAccessible::queryAccessibleInterface(child)->text(QAccessible::Name);
                      }
                      qobject_cast<QMessageBox*>(w)->accept();
                      return text;
                  }},
                  [](const QWindow*) { return QString(); });
        p.main.MnuAbout_Click();
        QVERIFY(user.seen.value(0).startsWith(u"Version 1.02\n"_s));
        // The error report carries the critical icon.
        User report({[](QWidget* w) {
                        auto* box = qobject_cast<QMessageBox*>(w);
                        box->accept();
                        return box->icon() == QMessageBox::Critical ? box->text().section(u'\n', -1)
                                                                    : QString();
                    }},
                    [](const QWindow*) { return QString(); });
        reporting(p.g, Code::MFMATC, [] { platform::fail(platform::Check::Overflow); });
        QCOMPARE(report.seen, QStringList{u"Code: MFMATC"_s});
    }

    void theDesktopsFontSizesTheWindows()
    {
        if (QApplication::font().pointSizeF() != kDesktopPoints) {
            QSKIP("qt6ct, the platform theme that gives the desktop's font, is not installed");
        }
        RealProgram p;
        p.letters();
        p.main.TypeCombo.setListIndex(0);
        PrefForm& pref = p.main.prefForm();
        pref.PrefButton_MouseMove(PrefForm::ChangeDescription);
        pref.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pref));
        // Larger fonts give larger windows, every caption whole; also when
        // the desktop changes the font while the program runs.
        QCOMPARE(cutCaptions(p.main) + cutCaptions(pref), QStringList());
        const int mainWidth = p.main.width(), prefWidth = pref.width();
        for (const double points : {7.5, 14.0}) {
            QFont font = QApplication::font();
            font.setPointSizeF(points);
            QApplication::setFont(font);
            QTRY_COMPARE(pref.font().pointSizeF(), points);
            if (points > kDesktopPoints) {
                QTRY_VERIFY2(p.main.width() > mainWidth && pref.width() > prefWidth,
                             qPrintable(u"%1 %2"_s.arg(p.main.width()).arg(pref.width())));
            }
            QTRY_COMPARE(cutCaptions(p.main) + cutCaptions(pref), QStringList());
        }
    }
};

int main(int argc, char** argv)
{
    if (const int onServer = test::DisplayServer::runOnOwnServer(argc, argv); onServer >= 0) {
        return onServer;
    }
    // The desktop's font as a desktop sets it: through a platform theme.
    const QTemporaryDir config;
    test::writeFile(config.filePath(u"qt6ct/qt6ct.conf"_s),
                    "[Appearance]\nstyle=Fusion\nstandard_dialogs=default\n[Fonts]\n"
                    "general=\"DejaVu Sans,10,-1,5,400,0,0,0,0,0,0,0,0,0,0,1\"\n");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORMTHEME", "qt6ct");
    QApplication app(argc, argv);
    TestDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_display.moc"
