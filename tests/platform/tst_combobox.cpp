#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTest>

#include "platform/controls.h"
#include "platform/failure.h"

using orvane::platform::ComboBox;

class TestComboBox : public QObject {
    Q_OBJECT

private:
    // Records the events of a combo as "Change:<text>:<index>" and
    // "Click:<text>:<index>", as the handler sees the combo.
    struct Recorder {
        explicit Recorder(ComboBox& combo) : combo(combo)
        {
            combo.setChangeHandler([this] { log(QStringLiteral("Change")); });
            combo.setClickHandler([this] { log(QStringLiteral("Click")); });
        }
        void log(const QString& event)
        {
            events.append(QStringLiteral("%1:%2:%3").arg(event, combo.text()).arg(combo.listIndex()));
        }
        ComboBox& combo;
        QStringList events;
    };

    static void fill(ComboBox& combo)
    {
        combo.addItem(QStringLiteral("Text"));
        combo.addItem(QStringLiteral("Images"));
        combo.addItem(QStringLiteral("Text"));
    }

private Q_SLOTS:
    void programSettersRaiseTheirOwnEventOnly()
    {
        ComboBox combo;
        Recorder rec(combo);
        fill(combo);
        QVERIFY(rec.events.isEmpty());
        QCOMPARE(combo.text(), QString());
        QCOMPARE(combo.listIndex(), -1);

        combo.setText(QStringLiteral("Images"));
        combo.setText(QStringLiteral("Imag"));
        combo.setText(QStringLiteral("Text"));
        combo.setListIndex(1);
        combo.setListIndex(1);
        combo.setListIndex(-1);
        QCOMPARE(rec.events, QStringList({
                                 QStringLiteral("Change:Images:1"),
                                 QStringLiteral("Change:Imag:-1"),
                                 QStringLiteral("Change:Text:0"),
                                 QStringLiteral("Click:Images:1"),
                                 QStringLiteral("Click:Images:1"),
                                 QStringLiteral("Click:Images:-1"),
                             }));
        QCOMPARE(combo.lineEdit()->text(), QStringLiteral("Images"));

        // The position stays on its own item when that item has the text.
        combo.setListIndex(2);
        combo.setText(QStringLiteral("Text"));
        QCOMPARE(combo.listIndex(), 2);
        // ... and a position outside the list is a failure.
        QVERIFY_THROWS_EXCEPTION(orvane::platform::Failure, combo.setListIndex(3));
        QCOMPARE(combo.listIndex(), 2);
    }

    void clearingAndAddingAreSilentAndKeepTheText()
    {
        ComboBox combo;
        Recorder rec(combo);
        combo.setText(QStringLiteral("typed"));
        rec.events.clear();
        // Qt selects the first item added to an empty combo and shows its
        // text; the combo must not.
        combo.addItem(QStringLiteral("First"));
        QCOMPARE(combo.text(), QStringLiteral("typed"));
        QCOMPARE(combo.lineEdit()->text(), QStringLiteral("typed"));
        QCOMPARE(combo.listIndex(), -1);
        combo.clearItems();
        QCOMPARE(combo.text(), QStringLiteral("typed"));
        combo.clearSelection();
        QCOMPARE(combo.text(), QString());
        QCOMPARE(combo.lineEdit()->text(), QString());
        QVERIFY(rec.events.isEmpty());
    }

    void typingRaisesChangeOnEveryEditAndFollowsItems()
    {
        ComboBox combo;
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        Recorder rec(combo);
        fill(combo);
        combo.lineEdit()->setFocus();
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("Ima"));
        // No inline completion: the text is exactly what was typed.
        QCOMPARE(combo.lineEdit()->text(), QStringLiteral("Ima"));
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("ges"));
        QCOMPARE(rec.events.size(), 6);
        QCOMPARE(rec.events.first(), QStringLiteral("Change:I:-1"));
        QCOMPARE(rec.events.last(), QStringLiteral("Change:Images:1"));
        QVERIFY(!rec.events.join(u' ').contains(QStringLiteral("Click")));
        QCOMPARE(combo.listIndex(), 1);
        QTest::keyClick(combo.lineEdit(), Qt::Key_Backspace);
        QCOMPARE(combo.listIndex(), -1);
        QCOMPARE(rec.events.last(), QStringLiteral("Change:Image:-1"));
    }

    void returnAndFocusOutNeitherChooseNorInsert()
    {
        QWidget window;
        ComboBox combo(&window);
        QLineEdit other(&window);
        other.move(0, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Recorder rec(combo);
        fill(combo);
        combo.setListIndex(1);
        combo.lineEdit()->setFocus();
        combo.lineEdit()->selectAll();
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("Text"));
        rec.events.clear();

        QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
        QCOMPARE(combo.count(), 3);
        QCOMPARE(combo.listCount(), 3);
        other.setFocus();
        QTRY_VERIFY(other.hasFocus());
        QVERIFY2(rec.events.isEmpty(), qPrintable(rec.events.join(u' ')));
        QCOMPARE(combo.listIndex(), 0);

        // New typed text is not added as an item on Return either.
        combo.lineEdit()->setFocus();
        combo.lineEdit()->selectAll();
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("Brand new"));
        QTest::keyClick(combo.lineEdit(), Qt::Key_Return);
        QCOMPARE(combo.count(), 3);
        QCOMPARE(combo.text(), QStringLiteral("Brand new"));
    }

    void choosingFromTheListRaisesClickOnly()
    {
        ComboBox combo;
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        Recorder rec(combo);
        fill(combo);
        combo.setListIndex(0);
        rec.events.clear();
        combo.lineEdit()->setFocus();
        QTest::keyClick(combo.lineEdit(), Qt::Key_Down);
        QCOMPARE(rec.events, QStringList({QStringLiteral("Click:Images:1")}));
        QCOMPARE(combo.lineEdit()->text(), QStringLiteral("Images"));

        // From the drop-down list itself.
        rec.events.clear();
        combo.showPopup();
        auto* view = combo.view();
        QTRY_VERIFY(view->isVisible());
        const QRect rect = view->visualRect(view->model()->index(2, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(rec.events, QStringList({QStringLiteral("Click:Text:2")}));
        QCOMPARE(combo.listIndex(), 2);
    }

    void handlersNest()
    {
        // A Change handler that sets the position runs Click inside it.
        ComboBox combo;
        fill(combo);
        QStringList log;
        combo.setChangeHandler([&] {
            log.append(QStringLiteral("Change begins"));
            combo.setListIndex(1);
            log.append(QStringLiteral("Change ends"));
        });
        combo.setClickHandler([&] { log.append(QStringLiteral("Click %1").arg(combo.text())); });
        combo.setText(QStringLiteral("x"));
        QCOMPARE(log, QStringList({QStringLiteral("Change begins"), QStringLiteral("Click Images"),
                                   QStringLiteral("Change ends")}));
    }

    void followToNamesOneOfSeveralEqualItems()
    {
        ComboBox combo;
        Recorder rec(combo);
        fill(combo);
        combo.setText(QStringLiteral("Text"));
        QCOMPARE(combo.listIndex(), 0);
        combo.followTo(2);
        QCOMPARE(combo.listIndex(), 2);
        combo.followTo(1); // "Images" is not the text: nothing moves
        QCOMPARE(combo.listIndex(), 2);
        QCOMPARE(rec.events.size(), 1);
    }
};

QTEST_MAIN(TestComboBox)
#include "tst_combobox.moc"
