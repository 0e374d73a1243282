#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "platform/help.h"
#include "platform/helpkey.h"
#include "platform/qt_services.h"
#include "shell/dialogs.h"
#include "support/harness.h"

using namespace orvane;
using orvane::test::Harness;

class TestHelp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void contentsOpensTheContentsPageAndEveryTopicHasOne()
    {
        Harness h;
        h.start();
        h.main().MnuContents_Click();
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.starter.started.size(), 1);
        QCOMPARE(h.starter.started[0].program, QStringLiteral("xdg-open"));
        QCOMPARE(h.starter.started[0].arguments, QStringList({platform::helpPage(0)}));
        QVERIFY(platform::helpPage(0).endsWith(QStringLiteral("/help/index.html")));

        // Without the viewer, a plain box says where the page is, and the
        // program goes on: it is no failure of the program's own.
        h.starter.failing.append(QStringLiteral("xdg-open"));
        h.dialogs.answer(platform::Answer::Ok).answer(platform::Answer::Ok);
        h.main().MnuContents_Click();
        ShowHelpTopic(h.g, 9);
        QCOMPARE(h.starter.started.size(), 1);
        QCOMPARE(h.dialogs.shown.size(), 2);
        const auto& box = h.dialogs.shown[0].message;
        QCOMPARE(box.text,
                 QStringLiteral("The help viewer xdg-open could not be started.\r\nThe help page is ") +
                     platform::helpPage(0));
        QCOMPARE(box.title + u'|' + box.helpFile + u'|' + QString::number(box.helpNumber),
                 QStringLiteral("Orvane|orvane.hlp|0"));
        QVERIFY(box.buttons == platform::Buttons::Ok && box.icon == platform::Icon::None);
        QVERIFY(h.dialogs.shown[1].message.text.endsWith(platform::helpPage(9)));
        QCOMPARE(h.g.ErrorCount, 0);
        QCOMPARE(h.main().windowTitle(), QStringLiteral("Orvane 1.02"));
        for (const int topic : {0, 2, 3, 6, 7, 8, 9}) {
            QVERIFY2(QFileInfo::exists(platform::helpPage(topic)), qPrintable(platform::helpPage(topic)));
        }
    }

    void f1AsksForTheTopicOfWhatHasTheFocus()
    {
        QList<int> asked;
        platform::HelpKey key([&](int topic) { asked.append(topic); });
        qApp->installEventFilter(&key);
        Harness h;
        auto& main = h.start();
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        main.Label1.setFocusPolicy(Qt::StrongFocus); // a label has no number: the window's
        const QList<QWidget*> focused = {&main.FileList, main.TypeCombo.lineEdit(), &main.Label1};
        for (QWidget* w : focused) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_F1);
        }
        QTimer::singleShot(0, [&] { // a highlighted menu item
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            menu->setActiveAction(main.MnuAddType);
            QTest::keyClick(menu, Qt::Key_F1);
            menu->close();
        });
        main.MnuEdit->exec(main.mapToGlobal(QPoint(0, 0)));
        h.pref().show();
        QVERIFY(QTest::qWaitForWindowActive(&h.pref()));
        h.pref().PrefButton[3].setFocus();
        QTest::keyClick(&h.pref().PrefButton[3], Qt::Key_F1);
        h.pref().hide();

        platform::QtDialogs dialogs; // in a real box, the box's own number
        QTimer::singleShot(0, [] {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
        QCOMPARE(
            dialogs.input(
                {QStringLiteral("Name?"), QStringLiteral("Orvane"), {}, QStringLiteral("orvane.hlp"), 6}),
            QString());
        QCOMPARE(asked, QList<int>({8, 7, 3, 6, 9, 6}));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
