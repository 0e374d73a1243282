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
        QCOMPARE(box.title + box.helpFile + QString::number(box.helpNumber),
                 QStringLiteral("Orvaneorvane.hlp3"));
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
        const QList<QObject*> items = {&main,
                                       &main.TypeCombo.widget(),
                                       &main.FileList,
                                       main.MnuAddType,
                                       main.MnuExit,
                                       main.MnuPreferences,
                                       main.MnuContents,
                                       main.MnuAbout,
                                       main.MnuFile,
                                       main.MnuEdit,
                                       main.MnuHelp,
                                       &h.pref(),
                                       &h.pref().TypeCombo.widget(),
                                       &h.pref().PrefDir,
                                       &h.pref().PrefFile,
                                       &h.pref().PrefButton[5],
                                       &main.Label1,
                                       &h.pref().PrefDrive};
        QString numbers;
        for (const QObject* item : items) {
            numbers += QString::number(platform::helpNumber(item));
        }
        QCOMPARE(numbers, QStringLiteral("378629332239999900"));
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
        QCOMPARE(lines[0] + u'|' + lines[1],
                 QStringLiteral("Version 1.02|For %1-Bit Linux").arg(QSysInfo::WordSize));
        QVERIFY(lines[2].contains(QStringLiteral("2026")) &&
                lines[2].contains(QStringLiteral("Velcora Software")));
        QVERIFY(lines[3].isEmpty() && !lines[4].isEmpty());
        QCOMPARE(h.dialogs.shown.last().message.icon, platform::Icon::None);
        QVERIFY(!h.g.MessageString.contains(QStringLiteral("Version")));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
