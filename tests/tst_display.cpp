// The program's windows on a real display, in-process: what only a real
// display shows. Run twice, on Xvfb with the xcb platform and on a headless
// sway with the wayland platform, which gives windows titled "Started" or
// "Running" no focus when they appear; the desktop's font comes from qt6ct.
// The application the tests start is this executable, run as
// `--child TITLE FILE`.

#include <QTest>
#include <QtWidgets>

#include <csignal>
#include <functional>

#include <unistd.h>
#include <xcb/xcb.h>

#include "catalogue/catalogue.h"
#include "platform/helpkey.h"
#include "platform/session.h"
#include "platform/system_starter.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "support/harness.h"
#include "support/processes.h"

using namespace orvane;
using namespace orvane::platform;
using namespace Qt::StringLiterals;

namespace {

constexpr double kDesktopPoints = 10.0; // the font qt6ct gives, set up in main()

// The whole program on Qt's real dialogs and the real display; starting
// programs and associations are the harness's. F1 asks the starter for help.
struct RealProgram {
    test::Harness h;
    QtDialogs real;
    Services services{real, h.settings, h.starter, h.associations, h.desktop};
    Globals g{services};
    MainForm main{g};
    HelpKey helpKey{[this](int topic) { ShowHelpTopic(g, topic); }};

    RealProgram()
    {
        real.setMainWindow(&main);
        qApp->installEventFilter(&helpKey);
        main.Form_Load();
        main.show();
        main.activateWindow();
        QTRY_VERIFY(main.isActiveWindow()); // on Wayland the compositor activates it
    }
    // A type whose folder holds two letters and a note.
    void letters()
    {
        const QString folder = h.folder(u"letters"_s);
        for (const QString& name : {u"dear.txt"_s, u"THANKS.TXT"_s, u"readme"_s})
            h.file(folder, name);
        AddType(g, {u"Letters"_s, u"txt"_s, folder, u"Letters to friends, family and the bank"_s,
                    u"/bin/true"_s});
    }
    // The heading of the help page last asked for.
    [[nodiscard]] QString helpShown() const
    {
        const QByteArray page = test::readFile(h.starter.started.last().arguments.value(0));
        return QRegularExpression(u"<h1>(.*)</h1>"_s).match(QString::fromUtf8(page)).captured(1);
    }
};

// The user at each window that comes up modally, in turn: one step per
// window, which answers it and says what it showed; each window's owner on
// the display (its transient parent) is kept too.
struct User : QTimer {
    using Step = std::function<QString(QWidget*)>;
    explicit User(QList<Step> steps) : todo(std::move(steps))
    {
        connect(this, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || modal == last || todo.isEmpty() || !modal->isVisible())
                return;
            last = modal;
            owners << modal->windowHandle()->transientParent();
            seen << todo.takeFirst()(modal);
        });
        start(20);
    }
    QList<Step> todo;
    QPointer<QWidget> last;
    QStringList seen;
    QList<const QWindow*> owners;
};

// A file dialog's filter and the names it lists, once it has read them all.
QString listed(QWidget* dialog)
{
    auto* view = dialog->findChild<QListView*>(u"listView"_s);
    QStringList names, before;
    for (int tries = 0; tries < 100 && (names.isEmpty() || names != before); ++tries) {
        QTest::qWait(50);
        before = std::exchange(names, {});
        for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
            names << view->model()->index(row, 0, view->rootIndex()).data().toString();
        names.sort();
    }
    return dialog->findChild<QComboBox*>(u"fileTypeCombo"_s)->currentText() + u": "_s + names.join(u' ');
}

// Captions cut, wrapping labels showing part of a line.
QStringList cutCaptions(const QWidget& window)
{
    QStringList out;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        const QFontMetrics metrics(w->font());
        const auto* label = qobject_cast<const QLabel*>(w);
        const auto* button = qobject_cast<const QPushButton*>(w);
        if ((label && w->isVisible() &&
             (label->wordWrap() ? label->height() % metrics.lineSpacing() != 0
                                : label->sizeHint().width() > label->width())) ||
            (button && metrics.horizontalAdvance(button->text()) > button->width() - 4))
            out << w->objectName() + (label ? label->text() : button->text());
    }
    return out;
}

// X11's startup-notification messages as they reach the root window.
struct StartupMessages final : QAbstractNativeEventFilter {
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override
    {
        const auto* event = static_cast<xcb_client_message_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && event->format == 8) {
            pending += QByteArray(reinterpret_cast<const char*>(event->data.data8), 20);
            if (pending.contains('\0'))
                texts << QString::fromUtf8(std::exchange(pending, {}).split('\0').constFirst());
        }
        return false;
    }
    QStringList texts;
    QByteArray pending;
};

// The started application: writes its process id and the token and startup
// id it was given, one a line, then shows a window that asks for the focus
// once the compositor shows it.
int child(int argc, char** argv)
{
    const QByteArray ids = qgetenv(kTokenVariable) + '\n' + qgetenv(kStartupIdVariable);
    test::writeFile(QString::fromLocal8Bit(argv[3]), QByteArray::number(::getpid()) + '\n' + ids);
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    window.show();
    if (QTest::qWaitForWindowExposed(&window)) {
        QTest::qWait(200);
        window.activateWindow();
    }
    return QApplication::exec();
}

} // namespace

class TestDisplay : public QObject {
    Q_OBJECT

    const bool wayland_ = QGuiApplication::platformName() == u"wayland"_s;
    QTemporaryDir dir_;
    SystemStarter starter_;
    StartupMessages x11_;
    QWidget acting_; // the window the user acts in
    QList<pid_t> children_;
    qint64 elapsed_ = 0; // the last start's

    // Whether sway carries out the command; one with criteria fails when no
    // window meets them.
    static bool sway(const QString& c) { return QProcess::execute(u"swaymsg"_s, {u"-q"_s, c}) == 0; }

    // Starts the child as a plain program or through a desktop entry, the
    // compositor stopped meanwhile if asked; the token and startup id it was
    // given, once it writes them.
    QList<QByteArray> start(bool entry, const QString& title, bool stalled = false)
    {
        const QString out = dir_.filePath(QUuid::createUuid().toString(QUuid::Id128));
        const QString self = QCoreApplication::applicationFilePath();
        test::writeFile(out + u".desktop"_s, "[Desktop Entry]\nType=Application\nName=Child\nExec=" +
                                                 (self + u" --child "_s + title).toUtf8() + " %f\n");
        test::DisplayServer::signalOwnServer(stalled ? SIGSTOP : SIGCONT);
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        starter_.start(entry ? out + u".desktop"_s : self,
                       (entry ? QStringList() : QStringList{u"--child"_s, title}) << out);
        elapsed_ = QDateTime::currentMSecsSinceEpoch() - before;
        test::DisplayServer::signalOwnServer(SIGCONT);
        QList<QByteArray> lines;
        for (QDeadlineTimer deadline(10000); lines.size() < 3 && !deadline.hasExpired(); QTest::qWait(20))
            lines = test::readFile(out).split('\n');
        if (const pid_t pid = lines.value(0).toInt(); pid > 0) // 0 would be our own group
            children_ << pid;
        return lines.mid(1);
    }

    void focusActing()
    {
        acting_.setWindowTitle(u"Acting"_s);
        acting_.show();
        wayland_ ? (void)sway(u"[title=\"^Acting$\"] focus"_s) : acting_.activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), acting_.windowHandle());
    }

private Q_SLOTS:
    void initTestCase() { qApp->installNativeEventFilter(&x11_); }
    void cleanup()
    {
        for (const pid_t pid : std::exchange(children_, {}))
            ::kill(pid, SIGKILL);
        x11_.texts.clear();
        LaunchIds::clearEnvironment();
    }

    void addingATypeThroughTheRealDialogs()
    {
        RealProgram p;
        const QString docs = p.h.folder(u"My Docs"_s), sample = p.h.file(docs, u"Report.Tar.GZ"_s);
        p.h.file(docs, u"Makefile"_s); // "*.*" is every name
        const QString tools = p.h.folder(u"tools"_s), program = p.h.file(tools, u"viewer"_s, "#!/bin/sh\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        p.h.file(tools, u"writer.desktop"_s, "[Desktop Entry]\n"); // offered too
        p.h.file(tools, u"readme.txt"_s, "words\n");               // not offered
        const auto open = [](const QString& folder, const QString& file) {
            return [folder, file](QWidget* w) {
                qobject_cast<QFileDialog*>(w)->setDirectory(folder);
                const QString shown = listed(w);
                auto* name = w->findChild<QLineEdit*>(u"fileNameEdit"_s);
                name->setText(file);
                QTest::keyClick(name, Qt::Key_Return);
                return shown;
            };
        };
        const auto answer = [](const QString& text) {
            return [text](QWidget* w) {
                auto* box = qobject_cast<QInputDialog*>(w);
                box->setTextValue(text);
                box->accept();
                return box->labelText();
            };
        };
        User user({open(docs, sample), answer(u"  Archives "_s), answer(u"Packed"_s),
                   [](QWidget* w) {
                       auto* box = qobject_cast<QMessageBox*>(w);
                       const bool yesFirst = box->defaultButton() == box->button(QMessageBox::Yes) &&
                                             box->escapeButton() == box->button(QMessageBox::No);
                       box->button(QMessageBox::Yes)->click();
                       return box->text() + (yesFirst ? u" [Yes]"_s : u""_s);
                   },
                   open(tools, program)});
        p.main.MnuAddType_Click();
        QCOMPARE(user.seen,
                 QStringList({u"*.*: Makefile Report.Tar.GZ"_s,
                              u"Enter the name you would like to call this type of file."_s,
                              u"Enter a description."_s,
                              u"No application is setup to handle this type of file.  Would you like "
                              "to choose one? [Yes]"_s,
                              u"Programs (*): viewer writer.desktop"_s}));
        QCOMPARE(user.owners, QList<const QWindow*>(5, p.main.windowHandle()));
        const TypeRecord& t = p.g.Types.at(0);
        QCOMPARE(QStringList({t.Name, t.Ext, t.Path, t.Desc, t.App}),
                 QStringList({u"  Archives "_s, u"tar.gz"_s, docs, u"Packed"_s, program}));
    }

    void boxesOverPreferencesBelongToItAndTheDesktopsFontSizesItsWindows()
    {
        RealProgram p;
        p.letters();
        p.main.TypeCombo.setListIndex(0);
        PrefForm& pref = p.main.prefForm();
        const auto press = [&pref](int button) {
            return [&pref, button](QWidget*) {
                QTimer::singleShot(
                    0, &pref, [&pref, button] { pref.PrefButton.at(button).click(); });
                return u"Preferences"_s;
            };
        };
        const auto cancel = [](bool names) { // the file dialog's filter, and the names it lists
            return [names](QWidget* w) {
                const QString shown =
                    names ? listed(w) : w->findChild<QComboBox*>(u"fileTypeCombo"_s)->currentText();
                qobject_cast<QDialog*>(w)->reject();
                return shown;
            };
        };
        User user({press(PrefForm::OpensWith),
                   [](QWidget* w) {
                       qobject_cast<QMessageBox*>(w)->button(QMessageBox::Yes)->click();
                       return u"box"_s;
                   },
                   cancel(false), press(PrefForm::ChangePath), cancel(true), press(PrefForm::Done)});
        p.main.MnuPreferences_Click();
        QCOMPARE(user.seen, QStringList({u"Preferences"_s, u"box"_s, u"Programs (*)"_s, u"Preferences"_s,
                                         u"Letters (*.txt): THANKS.TXT dear.txt"_s, u"Preferences"_s}));
        const QWindow *main = p.main.windowHandle(), *over = pref.windowHandle();
        QCOMPARE(user.owners, QList<const QWindow*>({main, over, over, main, over, main}));

        // The desktop's font: larger fonts give larger windows, every
        // caption whole; also when the desktop changes the font while the
        // program runs.
        if (QApplication::font().pointSizeF() != kDesktopPoints)
            QSKIP("qt6ct, the platform theme that gives the desktop's font, is not installed");
        pref.PrefButton_MouseMove(PrefForm::ChangeDescription);
        pref.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pref));
        QCOMPARE(cutCaptions(p.main) + cutCaptions(pref), QStringList());
        const int mainWidth = p.main.width(), prefWidth = pref.width();
        for (const double points : {7.5, 14.0}) {
            QFont font = QApplication::font();
            font.setPointSizeF(points);
            QApplication::setFont(font);
            QTRY_COMPARE(pref.font().pointSizeF(), points);
            if (points > kDesktopPoints)
                QTRY_VERIFY(p.main.width() > mainWidth && pref.width() > prefWidth);
            QTRY_COMPARE(cutCaptions(p.main) + cutCaptions(pref), QStringList());
        }
    }

    void theKeyboardAloneF1AndAScreenReaderReachEachControl()
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
        // The first Down chooses the first file; Enter and keypad Enter open the
        // framed file, chosen or not; Home, End, Page Up and Page Down choose:
        // the chosen file and the files opened after each key.
        QStringList seen;
        for (const QKeyCombination key : QList<QKeyCombination>{
                 Qt::Key_Down, Qt::Key_Down, Qt::ControlModifier | Qt::Key_Space, Qt::Key_Return,
                 Qt::Key_Home, Qt::Key_Enter, Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown}) {
            QTest::keyClick(&p.main.FileList, key.key(), key.keyboardModifiers());
            seen << u"%1 %2"_s.arg(p.main.FileList.listIndex()).arg(p.h.starter.started.size());
        }
        QCOMPARE(seen, QStringList({u"0 0"_s, u"1 0"_s, u"-1 0"_s, u"1 1"_s, u"0 1"_s, u"0 2"_s, u"1 2"_s,
                                    u"0 2"_s, u"1 2"_s}));
        QStringList opened;
        for (const test::FakeStarter::Start& start : p.h.starter.started)
            opened << QFileInfo(start.arguments.value(0)).fileName();
        QCOMPARE(opened, QStringList({u"THANKS.TXT"_s, u"dear.txt"_s}));
        // A double-click opens the file once.
        const QPoint first = p.main.FileList.visualRect(p.main.FileList.model()->index(0, 0)).center();
        QTest::mouseClick(p.main.FileList.viewport(), Qt::LeftButton, {}, first);
        QTest::mouseDClick(p.main.FileList.viewport(), Qt::LeftButton, {}, first);
        QTest::mouseRelease(p.main.FileList.viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(p.h.starter.started.size(), 3);

        // F1 opens the page of what has the focus: a control's, a label its
        // window's, a highlighted menu item's or an open menu's.
        PrefForm& pref = p.main.prefForm();
        p.main.Label1.setFocusPolicy(Qt::StrongFocus);
        QStringList pages;
        const auto f1 = [&](const QList<QWidget*>& widgets) {
            for (QWidget* w : widgets) {
                w->setFocus();
                QTest::keyClick(w, Qt::Key_F1);
                pages << p.helpShown();
            }
        };
        f1({&p.main.FileList, p.main.TypeCombo.lineEdit(), &p.main.Label1});
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
        f1({&pref.PrefButton[3], &pref.PrefDir, &pref.PrefFile, &pref.TypeCombo.widget()});
        const QString main = u"The main window"_s, menus = u"The File and Edit menus"_s,
                      adding = u"Adding a type"_s, prefs = u"The Preferences window"_s;
        QCOMPARE(pages, QStringList({u"Opening a file"_s, u"Choosing a type"_s, main, adding, menus, prefs,
                                     main, main, menus, main, prefs, prefs, prefs, prefs}));

        // A screen reader is told each control's role and name, and its label.
        QStringList heard;
        const QMetaEnum roles = QMetaEnum::fromType<QAccessible::Role>();
        for (QObject* o :
             QList<QObject*>{&p.main, &p.main.TypeCombo.widget(), &p.main.FileList, &p.main.DescLabel, &pref,
                             &pref.PrefButton[0], &pref.PrefButton[5]}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
            heard << QString::fromLatin1(roles.valueToKey(a->role())) + u" \""_s +
                         a->text(QAccessible::Name) + u'"';
            for (const auto& [label, relation] : a->relations(QAccessible::Label))
                heard.last() += u" labelled \""_s + label->text(QAccessible::Name) + u'"';
        }
        QCOMPARE(heard, QStringList({u"Window \"Orvane 1.02\""_s,
                                     u"ComboBox \"Letters\" labelled \"Type to open:\""_s,
                                     u"List \"List of this type:\""_s,
                                     u"StaticText \"Letters to friends, family and the bank\""_s,
                                     u"Dialog \"Preferences\""_s, u"Button \"Opens with...\""_s,
                                     u"Button \"Remove Type\""_s}));
        pref.hide();

        // In a box, F1 opens the box's page; the About box's text reaches
        // the reader; the error report carries the critical icon.
        const auto read = [](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QString text = box->icon() == QMessageBox::Critical ? u"critical: "_s : QString();
            for (QLabel* label : w->findChildren<QLabel*>())
                text += QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            box->accept();
            return text.section(u'\n', 0, 0) + u'|' + text.section(u'\n', -1);
        };
        User user({[&](QWidget* box) {
                       QTest::keyClick(box, Qt::Key_F1);
                       QTest::keyClick(box, Qt::Key_Escape);
                       return p.helpShown();
                   },
                   read, read});
        InputBox(p.g, u"Name?"_s, {}, 6);
        p.main.MnuAbout_Click();
        reporting(p.g, Code::MFMATC, [] { fail(Check::Overflow); });
        QCOMPARE(user.seen,
                 QStringList({adding,
                              u"Version 1.02|Visit the Velcora Software web site for the latest releases."_s,
                              u"critical: An error has occurred.  Please report the information below to "
                              "Velcora Software so that it can be corrected.|Code: MFMATC"_s}));
    }

    void startedApplicationsComeToTheFront_data()
    {
        QTest::addColumn<bool>("entry");
        // focus: 1, a window of ours has it; 0, none; -1, the compositor does not answer
        QTest::addColumn<int>("focus");
        QTest::newRow("program") << false << 1;
        QTest::newRow("desktop entry") << true << 1;
        QTest::newRow("program, no window focused") << false << 0;
        QTest::newRow("entry, no window focused") << true << 0;
        QTest::newRow("program, no answer in time") << false << -1;
    }
    void startedApplicationsComeToTheFront()
    {
        QFETCH(bool, entry);
        QFETCH(int, focus);
        if (focus < 0 && !wayland_)
            QSKIP("Wayland only");
        // What this process was started with is spent and never handed on.
        qputenv(kTokenVariable, "spent");
        qputenv(kStartupIdVariable, "spent");
        focus != 0 ? focusActing() : acting_.hide();
        QTRY_COMPARE(QGuiApplication::focusWindow() != nullptr, focus != 0);
        const QList<QByteArray> ids = start(entry, u"Started"_s, focus < 0);
        QCOMPARE_LT(elapsed_, Activation::kTokenWaitMs + 700); // never long without a token
        if (wayland_) {
            QCOMPARE(!ids.at(0).isEmpty(), focus > 0);
            QVERIFY(focus <= 0 ||
                    QTest::qWaitFor([] { return sway(u"[con_id=__focused__ title=\"^Started$\"] nop"_s); }));
            return;
        }
        QCOMPARE(ids.at(0), QByteArray());
        const QString id = QString::fromUtf8(ids.at(1));
        // Announced before the child ran, whose window then ends the sequence.
        QTRY_COMPARE(x11_.texts.size(), 2);
        QVERIFY2(id.contains(QRegularExpression(u"_TIME[1-9][0-9]*$"_s)) &&
                     x11_.texts.at(0).startsWith(u"new: ID=\"%1\" NAME="_s.arg(id)),
                 qPrintable(x11_.texts.at(0)));
        QCOMPARE(x11_.texts.at(1), u"remove: ID="_s + id);
    }

    void aSecondStartBringsTheRunningCopyToTheFront()
    {
        // This process is the running copy, its window left without the
        // focus; the built program is started again with the desktop's
        // token or id while another program's window has the focus.
        test::ProgramRun second(nullptr);
        const QString lock = second.storePath() + u".lock"_s;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(second.home.filePath(u"runtime"_s)));
        SingleCopy copy(lock, SingleCopy::defaultSocket(lock));
        QVERIFY(copy.claim({}));
        QWidget running;
        running.setWindowTitle(u"Running"_s);
        running.show();
        copy.setWindow(&running);
        QVERIFY(QTest::qWaitForWindowExposed(&running));
        focusActing();
        const LaunchIds ids = Activation().announce({u"Orvane"_s, {}, {}, {}});
        start(false, u"Other"_s);
        QTRY_COMPARE(QGuiApplication::focusWindow(), nullptr);

        second.environment.insert(QString::fromLatin1(kTokenVariable), QString::fromUtf8(ids.token));
        second.environment.insert(QString::fromLatin1(kStartupIdVariable), QString::fromUtf8(ids.startupId));
        QVERIFY(second.start(QStringLiteral(ORVANE_PROGRAM), false));
        QTRY_COMPARE_WITH_TIMEOUT(second.process.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.process.exitCode(), 0);
        if (wayland_)
            QTRY_VERIFY_WITH_TIMEOUT(sway(u"[con_id=__focused__ title=\"^Running$\"] nop"_s), 5000);
        else
            QTRY_VERIFY(x11_.texts.contains(u"remove: ID=\"%1\""_s.arg(QString::fromUtf8(ids.startupId))));
    }
};

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    if (const int onServer = test::DisplayServer::runOnOwnServer(
            argc, argv, "focus_on_window_activation focus\nno_focus [title=\"^(Started|Running)$\"]");
        onServer >= 0)
        return onServer;
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
