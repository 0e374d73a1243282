#include <QAction>
#include <QMenu>
#include <QTest>

#include "platform/failure.h"
#include "platform/help.h"
#include "shell/errorreport.h"
#include "shell/startup.h"
#include "support/harness.h"

using namespace orvane;
using orvane::platform::Answer;
using orvane::test::Harness;

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportShowsFiveLinesAndTheSecondEndsTheProgram()
    {
        Harness h;
        h.start();
        h.addType(QStringLiteral("Unsaved"), QStringLiteral("txt"), QStringLiteral("/x/"));
        h.dialogs.answer(Answer::Ok).answer(Answer::Ok);
        QStringList done;
        reporting(h.g, Code::MFMATC, [&] {
            done.append(QStringLiteral("first"));
            throw platform::Failure(-2147024894, QString());
        });
        const QString expected =
            QStringLiteral("An error has occurred.  Please report the information below to "
                           "Velcora Software so that it can be corrected.\r\n\r\nDescription: "
                           "\r\nNumber: -2147024894\r\nCode: MFMATC");
        QCOMPARE(h.dialogs.texts(), QStringList({expected}));
        const auto& box = h.dialogs.shown.first().message;
        QVERIFY(box.icon == platform::Icon::Critical && box.buttons == platform::Buttons::Ok);
        QCOMPARE(box.title + u'|' + box.helpFile + u'|' + QString::number(box.helpNumber),
                 QStringLiteral("Orvane|orvane.hlp|3"));
        QCOMPARE(h.g.ErrorCount, 1);
        QCOMPARE(h.g.Err.Number, 0);
        skipping([] { platform::fail(platform::Check::Overflow); }); // not shown, not counted
        QCOMPARE(h.g.ErrorCount, 1);
        const int code = h.endingCode([&] {
            reporting(h.g, Code::PFPBC, [] { platform::fail(platform::Check::OutOfRange); });
            done.append(QStringLiteral("after"));
        });
        QCOMPARE(code, 3);
        QCOMPARE(done, QStringList({QStringLiteral("first")}));
        QVERIFY(h.dialogs.texts().last().endsWith(
            QStringLiteral("Description: Subscript out of range\r\nNumber: 9\r\nCode: PFPBC")));
        QCOMPARE(h.settingsText(), QString()); // nothing saved
    }

    void startUpSetsHelpNumbersVersionAndPlace()
    {
        Harness h;
        auto& main = h.start();
        QCOMPARE(main.windowTitle(), QStringLiteral("Orvane 1.02"));
        QCOMPARE(h.g.PlatformString, QStringLiteral("For %1-Bit Linux").arg(QSysInfo::WordSize));
        // Each control with its help topic, named so that a wrong one is read at once.
        struct Topic {
            const char* control;
            const QObject* item;
            int number;
        };
        const Topic topics[] = {{"main window", &main, 3},
                                {"main type list", &main.TypeCombo.widget(), 7},
                                {"main file list", &main.FileList, 8},
                                {"Add Type", main.MnuAddType, 6},
                                {"Exit", main.MnuExit, 2},
                                {"Preferences", main.MnuPreferences, 9},
                                {"Contents", main.MnuContents, 3},
                                {"About", main.MnuAbout, 3},
                                {"File menu", main.MnuFile, 2},
                                {"Edit menu", main.MnuEdit, 2},
                                {"Help menu", main.MnuHelp, 3},
                                {"preferences window", &h.pref(), 9},
                                {"preferences type list", &h.pref().TypeCombo.widget(), 9},
                                {"folder list", &h.pref().PrefDir, 9},
                                {"preferences file list", &h.pref().PrefFile, 9},
                                {"last button", &h.pref().PrefButton[5], 9},
                                {"label", &main.Label1, 0},
                                {"drive list", &h.pref().PrefDrive, 0}};
        QStringList seen;
        QStringList wanted;
        for (const Topic& topic : topics) {
            seen << QStringLiteral("%1: %2")
                        .arg(QLatin1String(topic.control))
                        .arg(platform::helpNumber(topic.item));
            wanted << QStringLiteral("%1: %2").arg(QLatin1String(topic.control)).arg(topic.number);
        }
        QCOMPARE(seen, wanted);
        QCOMPARE(main.x(), (1024 - main.frameGeometry().width()) / 2);
        QCOMPARE(h.desktop.eventPasses, 2);
    }

    void centreIsNotClampedAndAboutHasItsLines()
    {
        Harness h;
        QWidget big;
        big.setGeometry(0, 0, 801, 601);
        h.desktop.screenWidth = 400 * 15;
        h.desktop.screenHeight = 300 * 15;
        CenterForm(h.g, big);
        QCOMPARE(big.pos(), QPoint(-201, -151)); // (6000 - 12015) / 2 = -3007.5 twips

        h.start();
        h.dialogs.answer(Answer::Ok);
        h.main().MnuAbout_Click();
        const QStringList lines = h.dialogs.texts().constLast().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("Version 1.02"));
        QCOMPARE(lines[1], QStringLiteral("For %1-Bit Linux").arg(QSysInfo::WordSize));
        QVERIFY(lines[2].contains(QStringLiteral("2026")) &&
                lines[2].contains(QStringLiteral("Velcora Software")));
        QVERIFY(lines[3].isEmpty() && !lines[4].isEmpty());
        QCOMPARE(h.dialogs.shown.last().message.icon, platform::Icon::None);
        QVERIFY(!h.g.MessageString.contains(QStringLiteral("Version")));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
