#include <QApplication>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "platform/help.h"
#include "platform/helpkey.h"
#include "platform/qt_services.h"
#include "support/harness.h"

using namespace orvane;
using orvane::test::Harness;

class TestHelp : public QObject {
    Q_OBJECT

private:
    QList<int> asked_;
    std::unique_ptr<platform::HelpKey> key_;

private Q_SLOTS:
    void init()
    {
        asked_.clear();
        key_ = std::make_unique<platform::HelpKey>([this](int topic) { asked_.append(topic); });
        qApp->installEventFilter(key_.get());
    }

    void cleanup() { key_.reset(); }

    void contentsStartsTheViewerOnTheContentsPage()
    {
        Harness h;
        h.start();
        h.main().MnuContents_Click();
        QCOMPARE(h.starter.started.size(), 1);
        QCOMPARE(h.starter.started[0].program, QStringLiteral("xdg-open"));
        QCOMPARE(h.starter.started[0].arguments.size(), 1);
        const QString page = h.starter.started[0].arguments[0];
        QVERIFY2(page.endsWith(QStringLiteral("/help/index.html")) && QFileInfo::exists(page),
                 qPrintable(page));
        // A viewer that cannot start changes nothing and shows nothing.
        h.starter.failing.append(QStringLiteral("xdg-open"));
        h.main().MnuContents_Click();
        QCOMPARE(h.dialogs.shown.size(), 0);
    }

    void everyTopicHasAPage()
    {
        for (const int topic : {0, 2, 3, 6, 7, 8, 9}) {
            QVERIFY2(QFileInfo::exists(platform::helpPage(topic)), qPrintable(platform::helpPage(topic)));
        }
    }

    void f1AsksForTheTopicOfWhatHasTheFocus()
    {
        Harness h;
        auto& main = h.start();
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        main.FileList.setFocus();
        QTest::keyClick(&main.FileList, Qt::Key_F1);
        main.TypeCombo.setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
        main.Label1.setFocusPolicy(Qt::StrongFocus); // a label has no number: the window's
        main.Label1.setFocus();
        QTest::keyClick(&main.Label1, Qt::Key_F1);
        QCOMPARE(asked_, QList<int>({8, 7, 3}));

        // A highlighted menu item.
        asked_.clear();
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu != nullptr) {
                menu->setActiveAction(main.MnuAddType);
                QTest::keyClick(menu, Qt::Key_F1);
                menu->close();
            }
        });
        main.MnuEdit->exec(main.mapToGlobal(QPoint(0, 0)));
        QCOMPARE(asked_, QList<int>({6}));
    }

    void f1InThePreferencesWindowAndInBoxes()
    {
        Harness h;
        auto& main = h.start();
        main.show();
        auto& pref = h.pref();
        pref.show();
        QVERIFY(QTest::qWaitForWindowActive(&pref));
        for (auto& button : pref.PrefButton) {
            button.setFocus();
            QTest::keyClick(&button, Qt::Key_F1);
        }
        QCOMPARE(asked_, QList<int>(6, 9));
        pref.hide();

        // The real message box: F1 asks for its own number.
        asked_.clear();
        platform::QtDialogs dialogs;
        QTimer::singleShot(0, [] {
            QWidget* box = QApplication::activeModalWidget();
            QTest::keyClick(box, Qt::Key_F1);
            QTest::keyClick(box, Qt::Key_Return);
        });
        dialogs.message({QStringLiteral("report"), platform::Buttons::Ok, platform::Icon::Critical,
                         QStringLiteral("Orvane"), QStringLiteral("orvane.hlp"), 3});
        QTimer::singleShot(0, [] {
            QWidget* box = QApplication::activeModalWidget();
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box, Qt::Key_F1);
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box, Qt::Key_Escape);
        });
        const QString typed = dialogs.input({QStringLiteral("Name?"), QStringLiteral("Orvane"),
                                             QStringLiteral("x"), QStringLiteral("orvane.hlp"), 6});
        QCOMPARE(typed, QString());
        QCOMPARE(asked_, QList<int>({3, 6}));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
