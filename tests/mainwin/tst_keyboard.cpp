#include <QApplication>
#include <QTest>

#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;

// The main window used with the keyboard alone: a type chosen and a file
// opened without the mouse.
class TestKeyboard : public QObject {
    Q_OBJECT

    // The file the application was given at each start.
    static QStringList opened(const test::Harness& h)
    {
        QStringList files;
        for (const auto& start : h.starter.started)
            files << start.arguments.value(0);
        return files;
    }

private Q_SLOTS:
    void aFileIsOpenedWithTheKeyboardAlone_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }

    void aFileIsOpenedWithTheKeyboardAlone()
    {
        QFETCH(int, key);
        test::Harness h;
        MainForm& main = h.start();
        const QString letters = h.folder(u"letters"_s);
        h.file(letters, u"dear.txt"_s);
        h.file(letters, u"thanks.txt"_s);
        h.addType(u"Letters"_s, u"txt"_s, letters, u"Letters to friends"_s, u"/usr/bin/true"_s);
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));

        // Choose the type in the type list, then Tab to the file list.
        main.TypeCombo.widget().setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(main.TypeCombo.listIndex(), 0);
        QCOMPARE(main.FileList.listCount(), 2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), &main.FileList);
        QCOMPARE(main.FileList.listIndex(), -1);

        // The first Down chooses the first file, not the second.
        QTest::keyClick(&main.FileList, Qt::Key_Down);
        QCOMPARE(main.FileList.listIndex(), 0);
        QTest::keyClick(&main.FileList, Qt::Key(key));
        const QString dear = letters + u"dear.txt"_s, thanks = letters + u"thanks.txt"_s;
        QCOMPARE(opened(h), QStringList{dear});

        QTest::keyClick(&main.FileList, Qt::Key_Down);
        QTest::keyClick(&main.FileList, Qt::Key(key));
        QCOMPARE(opened(h), QStringList({dear, thanks}));

        // A double-click opens the file once, as before.
        const QRect first = main.FileList.visualRect(main.FileList.model()->index(0, 0));
        QTest::mouseClick(main.FileList.viewport(), Qt::LeftButton, {}, first.center());
        QTest::mouseDClick(main.FileList.viewport(), Qt::LeftButton, {}, first.center());
        QTest::mouseRelease(main.FileList.viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(opened(h), QStringList({dear, thanks, dear}));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
