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
    void reportShowsFiveExactLines()
    {
        Harness h;
        h.dialogs.answer(Answer::Ok);
        reporting(h.g, Code::MFMATC, [] { throw platform::Failure(-2147024894, QString()); });
        QCOMPARE(h.dialogs.shown.size(), 1);
        const auto& box = h.dialogs.shown.first().message;
        const QString expected =
            QStringLiteral("An error has occurred.  Please report the information below to Velcora Software "
                           "so that it can be "
                           "corrected.\r\n\r\nDescription: \r\nNumber: -2147024894\r\nCode: MFMATC");
        QCOMPARE(box.text, expected);
        QCOMPARE(h.g.MessageString, expected);
        QCOMPARE(box.buttons, platform::Buttons::Ok);
        QCOMPARE(box.icon, platform::Icon::Critical);
        QCOMPARE(box.title, QStringLiteral("Orvane"));
        QCOMPARE(box.helpFile, QStringLiteral("orvane.hlp"));
        QCOMPARE(box.helpNumber, 3);
        QCOMPARE(h.g.ErrorCount, 1);
        QCOMPARE(h.g.Err.Number, 0);
        QCOMPARE(h.g.Err.Description, QString());
    }

    void stepsAfterAFailureDoNotRun()
    {
        Harness h;
        h.dialogs.answer(Answer::Ok);
        QStringList done;
        reporting(h.g, Code::GCA, [&] {
            done.append(QStringLiteral("first"));
            platform::fail(platform::Check::OutOfRange);
            done.append(QStringLiteral("second"));
        });
        QCOMPARE(done, QStringList({QStringLiteral("first")}));
        QVERIFY(h.dialogs.shown.first().message.text.endsWith(
            QStringLiteral("Description: Subscript out of range\r\nNumber: 9\r\nCode: GCA")));

        // A skipped failure shows nothing and is not counted.
        skipping([] { platform::fail(platform::Check::Overflow); });
        QCOMPARE(h.g.ErrorCount, 1);
        QCOMPARE(h.dialogs.shown.size(), 1);
    }

    void secondReportEndsTheProgramWithoutSaving()
    {
        Harness h;
        h.start();
        h.addType(QStringLiteral("Unsaved"), QStringLiteral("txt"), QStringLiteral("/x/"));
        h.dialogs.answer(Answer::Ok).answer(Answer::Ok);
        reporting(h.g, Code::GGE, [] { platform::fail(platform::Check::Overflow); });
        QCOMPARE(h.g.ErrorCount, 1);
        bool after = false;
        const int code = h.endingCode([&] {
            reporting(h.g, Code::PFPBC, [] { platform::fail(platform::Check::Overflow); });
            after = true;
        });
        QCOMPARE(code, 3);
        QVERIFY(!after);
        QCOMPARE(h.dialogs.shown.size(), 2);
        QVERIFY(h.dialogs.shown.last().message.text.endsWith(QStringLiteral("Code: PFPBC")));
        QCOMPARE(h.settingsText(), QString());
    }

    void startUpSetsHelpNumbersVersionAndPlace()
    {
        Harness h;
        auto& main = h.start();
        QCOMPARE(h.g.HelpFile, QStringLiteral("orvane.hlp"));
        QCOMPARE(h.g.VersionString, QStringLiteral("1.02"));
        QCOMPARE(h.g.TitleString, QStringLiteral("Orvane 1.02"));
        QCOMPARE(main.windowTitle(), QStringLiteral("Orvane 1.02"));
        QCOMPARE(h.g.PlatformString, QStringLiteral("For %1-Bit Linux").arg(QSysInfo::WordSize));
        const QList<std::pair<QObject*, int>> numbers = {
            {&main, 3},
            {&main.TypeCombo, 7},
            {&main.FileList, 8},
            {main.MnuAddType, 6},
            {main.MnuExit, 2},
            {main.MnuPreferences, 9},
            {main.MnuContents, 3},
            {main.MnuAbout, 3},
            {main.MnuFile, 2},
            {main.MnuEdit, 2},
            {main.MnuHelp, 3},
            {&h.pref(), 9},
            {&h.pref().TypeCombo, 9},
            {&h.pref().PrefDir, 9},
            {&h.pref().PrefFile, 9},
            {&h.pref().PrefButton[0], 9},
            {&h.pref().PrefButton[5], 9},
            {&main.Label1, 0},
            {&main.DescLabel, 0},
            {&h.pref().PrefDrive, 0},
            {&h.pref().InstrLabel, 0},
        };
        for (const auto& [item, number] : numbers) {
            QCOMPARE(platform::helpNumber(item), number);
        }
        // Centred on a 1024 x 768 screen.
        const QRect frame = main.frameGeometry();
        QCOMPARE(main.x(), (1024 - frame.width()) / 2);
        QCOMPARE(h.desktop.eventPasses, 2);
    }

    void setHelpStopsAtAFailure()
    {
        Harness h;
        QObject a;
        QObject b;
        HelpItems items;
        items.mainForm = &a;
        items.mainTypeCombo = &b; // the file list is missing
        h.dialogs.answer(Answer::Ok);
        SetHelp(h.g, items);
        QCOMPARE(platform::helpNumber(&a), 3);
        QCOMPARE(platform::helpNumber(&b), 7);
        QVERIFY(h.dialogs.shown.first().message.text.endsWith(QStringLiteral("Code: GSH")));
    }

    void centreIsNotClampedToTheScreen()
    {
        Harness h;
        QWidget big;
        big.setGeometry(0, 0, 801, 601);
        h.desktop.screenWidth = 400 * 15;
        h.desktop.screenHeight = 300 * 15;
        CenterForm(h.g, big);
        QCOMPARE(big.x(), -201); // (6000 - 12015) / 2 = -3007.5 twips
        QCOMPARE(big.y(), -151);
        QCOMPARE(h.dialogs.shown.size(), 0);
    }

    void aboutTextLines()
    {
        Harness h;
        h.start();
        const QStringList lines = AboutText(h.g).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("Version 1.02"));
        QCOMPARE(lines[1], QStringLiteral("For %1-Bit Linux").arg(QSysInfo::WordSize));
        QVERIFY(lines[2].contains(QStringLiteral("Velcora Software")));
        QVERIFY(lines[2].contains(QStringLiteral("2026")));
        QCOMPARE(lines[3], QString());
        QVERIFY(!lines[4].isEmpty());
        QVERIFY(!lines[2].contains(u'\n'));

        h.dialogs.answer(Answer::Ok);
        h.main().MnuAbout_Click();
        const auto& box = h.dialogs.shown.last().message;
        QCOMPARE(box.icon, platform::Icon::None);
        QCOMPARE(box.helpNumber, 3);
        QCOMPARE(box.text, AboutText(h.g));
        QVERIFY(!h.g.MessageString.contains(QStringLiteral("Version")));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
