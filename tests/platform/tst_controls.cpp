#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/controls.h"
#include "platform/failure.h"
#include "support/scripted.h"

using namespace orvane::platform;
using orvane::test::strings;
using namespace Qt::StringLiterals;

namespace {

// Logs each event as "Change:<text>:<position>" as its handler sees the combo.
struct Recorder {
    explicit Recorder(ComboBox& combo) : combo(combo)
    {
        combo.setChangeHandler([this] { log(u"Change"_s); });
        combo.setClickHandler([this] { log(u"Click"_s); });
        for (const char* item : {"Text", "Images", "Text"})
            combo.addItem(QString::fromLatin1(item));
    }
    void log(const QString& event)
    {
        events.append(u"%1:%2:%3"_s.arg(event, combo.text()).arg(combo.listIndex()));
    }
    ComboBox& combo;
    QStringList events;
};

} // namespace

// The controls' events, as the program's handlers see them.
class TestControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void programSettersRaiseTheirOwnEventOnly()
    {
        ComboBox combo;
        combo.setText(u"typed"_s);
        Recorder rec(combo); // adding items is silent and keeps the text
        QCOMPARE(combo.lineEdit()->text(), u"typed"_s);
        QCOMPARE(combo.listIndex(), -1);
        combo.setText(u"Images"_s);
        combo.setText(u"Imag"_s);
        combo.setText(u"Text"_s);
        combo.setListIndex(1);
        combo.setListIndex(1);
        combo.setListIndex(-1);
        combo.setListIndex(2);
        combo.setText(u"Text"_s); // stays on its own item
        QCOMPARE(rec.events, strings({"Change:Images:1", "Change:Imag:-1", "Change:Text:0", "Click:Images:1",
                                      "Click:Images:1", "Click:Images:-1", "Click:Text:2", "Change:Text:2"}));
        QVERIFY_THROWS_EXCEPTION(orvane::platform::Failure, combo.setListIndex(3));
        rec.events.clear();
        // A handler that sets the item runs that item's handler inside its own.
        combo.setChangeHandler([&] {
            rec.log(u"Change"_s);
            combo.setListIndex(1);
            rec.log(u"ChangeEnd"_s);
        });
        combo.setText(u"x"_s);
        QCOMPARE(rec.events, strings({"Change:x:-1", "Click:Images:1", "ChangeEnd:Images:1"}));
        rec.events.clear();
        combo.clearItems();
        QCOMPARE(combo.text(), u"Images"_s);
        combo.clearSelection();
        QCOMPARE(combo.lineEdit()->text(), QString());
        QVERIFY(rec.events.isEmpty());
    }

    void userTypingAndChoosing()
    {
        QWidget window;
        ComboBox combo(&window);
        QLineEdit other(&window);
        other.move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Recorder rec(combo);
        combo.lineEdit()->setFocus();
        QTest::keyClicks(combo.lineEdit(), u"Images"_s);
        QCOMPARE(combo.lineEdit()->text(), u"Images"_s); // no inline completion
        QCOMPARE(rec.events.size(), 6);
        QCOMPARE(rec.events.first(), u"Change:I:-1"_s);
        QCOMPARE(rec.events.last(), u"Change:Images:1"_s);
        // Return and focus-out neither choose an item nor add the typed text.
        QTest::keyClick(combo.lineEdit(), Qt::Key_Backspace);
        QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
        other.setFocus();
        QTRY_VERIFY(other.hasFocus());
        QCOMPARE(combo.dropDown()->model()->rowCount(), 3);
        QCOMPARE(rec.events.last(), u"Change:Image:-1"_s);
        // Arrow keys and the drop-down raise Click only.
        rec.events.clear();
        combo.setListIndex(0);
        combo.lineEdit()->setFocus();
        QTest::keyClick(combo.lineEdit(), Qt::Key_Down);
        QTest::keyClick(combo.lineEdit(), Qt::Key_Down, Qt::AltModifier); // opens the drop-down
        QAbstractItemView* list = combo.dropDown();
        QTRY_VERIFY(list->isVisible());
        const QRect third = list->visualRect(list->model()->index(2, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
        QTRY_COMPARE(rec.events, strings({"Click:Text:0", "Click:Images:1", "Click:Text:2"}));
        QCOMPARE(combo.lineEdit()->text(), u"Text"_s);
    }

    // A failure that a handler lets escape never unwinds into Qt: the program
    // ends, and says which event of which control failed.
    void anUnreportedFailureEndsTheProgramNamingTheEvent_data()
    {
        QTest::addColumn<QString>("event");
        QTest::newRow("typed text") << u"TypeCombo_Change"_s;
        QTest::newRow("chosen item") << u"TypeCombo_Click"_s;
        QTest::newRow("folder") << u"PrefDir_Change"_s;
    }
    void anUnreportedFailureEndsTheProgramNamingTheEvent()
    {
        QFETCH(QString, event);
        int said[2];
        QCOMPARE(::pipe(said), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(said[1], STDERR_FILENO);
            QTimer closer; // the box that says so
            QObject::connect(&closer, &QTimer::timeout, [] {
                if (QWidget* box = QApplication::activeModalWidget())
                    box->close();
            });
            closer.start(10);
            QWidget window;
            ComboBox combo(&window);
            combo.setObjectName(u"TypeCombo"_s);
            combo.addItem(u"Text"_s);
            DirListBox dir(&window);
            dir.setObjectName(u"PrefDir"_s);
            const Handler failing = [] { fail(Check::OutOfRange); };
            combo.setChangeHandler(failing);
            combo.setClickHandler(failing);
            dir.setChangeHandler(failing);
            event.endsWith(u"Click") ? combo.setListIndex(0)
            : event.startsWith(u'T') ? combo.setText(u"typed"_s)
                                     : dir.setFolder(u"/"_s);
            ::_exit(0);
        }
        ::close(said[1]);
        QFile out;
        QVERIFY(out.open(said[0], QIODevice::ReadOnly, QFile::AutoCloseHandle));
        const QString text = QString::fromUtf8(out.readAll());
        int status = 0;
        ::waitpid(child, &status, 0);
        QCOMPARE(WEXITSTATUS(status), kUnreportedFailureExit);
        QVERIFY2(
            text.contains(QStringLiteral("Orvane must close: %1 failed without a report.\n\nSubscript out of "
                                         "range (9)")
                              .arg(event)),
            qPrintable(text));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
