#include <QAbstractItemView>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <utility>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/controls.h"
#include "platform/failure.h"
#include "support/scripted.h"

using namespace orvane::platform;
using namespace Qt::StringLiterals;

namespace {

// Logs each event as "Change:<text>:<position>" as its handler sees the combo.
struct Recorder {
    explicit Recorder(ComboBox& combo) : combo(combo)
    {
        combo.setChangeHandler([this] { log(u"Change"_s); });
        combo.setClickHandler([this] { log(u"Click"_s); });
        combo.addItems({u"Text"_s, u"Images"_s, u"Text"_s});
    }
    void log(const QString& event)
    {
        events << u"%1:%2:%3"_s.arg(event, combo.text()).arg(combo.listIndex());
    }
    // The events logged since the last look, separated by " ".
    QString taken() { return std::exchange(events, {}).join(u' '); }
    ComboBox& combo;
    QStringList events;
};

} // namespace

// The controls' events, as the program's handlers see them.
class TestControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The program's setters raise their own event only; the user raises the same events.
    void theProgramAndTheUserRaiseTheirOwnEvents()
    {
        QWidget window;
        ComboBox combo(&window);
        QLineEdit other(&window);
        other.move(0, 40);
        combo.setText(u"typed"_s);
        Recorder rec(combo); // adding items is silent and keeps the text
        QCOMPARE(u"%1 %2"_s.arg(combo.lineEdit()->text()).arg(combo.listIndex()), u"typed -1"_s);
        // "=" sets the text, "#" the position; the last "=Text" stays on its own item.
        for (const QString& step : u"=Images =Imag =Text #1 #1 #-1 #2 =Text"_s.split(u' '))
            step[0] == u'=' ? combo.setText(step.mid(1)) : combo.setListIndex(step.mid(1).toInt());
        QCOMPARE(rec.taken(), u"Change:Images:1 Change:Imag:-1 Change:Text:0 Click:Images:1 Click:Images:1 "
                              "Click:Images:-1 Click:Text:2 Change:Text:2"_s);
        QVERIFY_THROWS_EXCEPTION(Failure, combo.setListIndex(3));
        // A handler that sets the item runs that item's handler inside its own.
        combo.setChangeHandler([&] {
            rec.log(u"Change"_s);
            combo.setListIndex(1);
            rec.log(u"ChangeEnd"_s);
        });
        combo.setText(u"x"_s);
        QCOMPARE(rec.taken(), u"Change:x:-1 Click:Images:1 ChangeEnd:Images:1"_s);
        combo.clearItems();
        QCOMPARE(combo.text(), u"Images"_s);
        combo.clearSelection();
        QCOMPARE(combo.lineEdit()->text() + rec.taken(), QString());

        // The user typing and choosing, with the items again.
        Recorder user(combo);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        combo.lineEdit()->setFocus();
        QTest::keyClicks(combo.lineEdit(), u"Images"_s);
        QCOMPARE(combo.lineEdit()->text(), u"Images"_s); // no inline completion
        // Return and focus-out neither choose an item nor add the typed text.
        QTest::keyClick(combo.lineEdit(), Qt::Key_Backspace);
        QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
        other.setFocus();
        QTRY_VERIFY(other.hasFocus());
        QCOMPARE(combo.dropDown()->model()->rowCount(), 3);
        QCOMPARE(user.taken(), u"Change:I:-1 Change:Im:-1 Change:Ima:-1 Change:Imag:-1 Change:Image:-1 "
                               "Change:Images:1 Change:Image:-1"_s);
        // Arrow keys and the drop-down raise Click only.
        combo.setListIndex(0);
        combo.lineEdit()->setFocus();
        QTest::keyClick(combo.lineEdit(), Qt::Key_Down);
        QTest::keyClick(combo.lineEdit(), Qt::Key_Down, Qt::AltModifier); // opens the drop-down
        QAbstractItemView* list = combo.dropDown();
        QTRY_VERIFY(list->isVisible());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(2, 0)).center());
        QTRY_COMPARE(user.events, QStringList({u"Click:Text:0"_s, u"Click:Images:1"_s, u"Click:Text:2"_s}));
        QCOMPARE(combo.lineEdit()->text(), u"Text"_s);
    }

    // A failure that a handler lets escape never unwinds into Qt: the program
    // ends, and says which event of which control failed.
    void anUnreportedFailureEndsTheProgramNamingTheEvent_data()
    {
        QTest::addColumn<QString>("event");
        QTest::newRow("typed text") << u"TypeCombo_Change"_s;
        QTest::newRow("chosen item") << u"TypeCombo_Click"_s;
    }
    void anUnreportedFailureEndsTheProgramNamingTheEvent()
    {
        QFETCH(QString, event);
        const QTemporaryDir dir;
        const QString said = dir.filePath(u"stderr"_s);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(::open(qPrintable(said), O_WRONLY | O_CREAT, 0600), STDERR_FILENO);
            QTimer closer; // closes the box that says so
            closer.callOnTimeout(&QApplication::closeAllWindows);
            closer.start(10);
            QWidget window;
            ComboBox combo(&window);
            combo.setObjectName(u"TypeCombo"_s);
            combo.addItem(u"Text"_s);
            const Handler failing = [] { fail(Check::OutOfRange); };
            combo.setChangeHandler(failing);
            combo.setClickHandler(failing);
            event.endsWith(u"Click") ? combo.setListIndex(0) : combo.setText(u"typed"_s);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        QCOMPARE(WEXITSTATUS(status), kUnreportedFailureExit);
        const QString text = QString::fromUtf8(orvane::test::readFile(said));
        QVERIFY2(
            text.contains(
                u"Orvane must close: %1 failed without a report.\n\nSubscript out of range (9)"_s.arg(event)),
            qPrintable(text));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
