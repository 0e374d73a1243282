#include <QTest>

#include "platform/help.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/startup.h"
#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;
using platform::Answer;

class TestShell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aboutHelpAndTheSecondReportEndingTheProgramUnsaved()
    {
        test::Harness h;
        h.start();
        h.addType(u"Unsaved"_s, u"txt"_s, u"/x/"_s);
        h.dialogs.answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Ok).answer(Answer::Ok);
        h.main().MnuAbout_Click();
        // Help Contents starts the desktop's viewer on the contents page;
        // without a viewer a plain box says where the page is.
        h.main().MnuContents_Click();
        QCOMPARE(h.starter.started.value(0).program + u' ' + h.starter.started.value(0).arguments.join(u' '),
                 u"xdg-open "_s + platform::helpPage(0));
        h.starter.failing << u"xdg-open"_s;
        ShowHelpTopic(h.g, 9);
        QCOMPARE(h.g.ErrorCount, 0);

        // The first report is answered and the program goes on; the second ends it.
        QStringList done;
        reporting(
            h.g, Code::MFMATC,
            [&] {
                done << u"first"_s;
                throw platform::Failure(-2147024894, QString());
            });
        skipping([] { platform::fail(platform::Check::Overflow); }); // neither shown nor counted
        const int code = h.endingCode([&] {
            reporting(h.g, Code::PFPBC, [] { platform::fail(platform::Check::OutOfRange); });
            done << u"after"_s;
        });
        QCOMPARE(code, 3);
        QCOMPARE(done, QStringList{u"first"_s});
        QCOMPARE(h.dialogs.texts(),
                 QStringList({u"Version 1.02\r\nFor %1-Bit Linux\r\nCopyright 2026 Velcora Software\r\n\r\n"
                              "Visit the Velcora Software web site for the latest releases."_s.arg(
                                  QSysInfo::WordSize),
                              u"The help viewer xdg-open could not be started.\r\nThe help page is "_s +
                                  platform::helpPage(9),
                              test::kReport + u"\r\nNumber: -2147024894\r\nCode: MFMATC"_s,
                              test::kReport + u"Subscript out of range\r\nNumber: 9\r\nCode: PFPBC"_s}));
        QCOMPARE(h.dialogs.shown[0].help() + u' ' + h.dialogs.shown[1].help() + u' ' +
                     h.dialogs.shown[2].help(),
                 u"Orvane orvane.hlp 3 Orvane orvane.hlp 0 Orvane orvane.hlp 3"_s);
        const auto& report = h.dialogs.shown[2].message;
        QVERIFY(h.dialogs.shown[0].message.icon == platform::Icon::None &&
                report.icon == platform::Icon::Critical && report.buttons == platform::Buttons::Ok);
        QCOMPARE(h.settingsText(), QString()); // nothing saved

        // The pages lie beside the built program, or in the installed data folder.
        QCOMPARE(platform::helpPage(0), QCoreApplication::applicationDirPath() + u"/help/index.html"_s);
        const QString installed = h.file(h.folder(u"share/orvane/help"_s), u"topic-8.html"_s);
        QCOMPARE(platform::helpPage(8, h.folder(u"bin"_s)), installed);
    }

    void windowsAreCentredLargerThanTheScreenToo()
    {
        test::Harness h;
        for (const QSize size : {QSize(300, 200), QSize(1101, 901)}) {
            QWidget window;
            window.resize(size);
            CenterForm(h.g, window);
            const QPoint off = window.frameGeometry().center() - QPoint(512, 384);
            QVERIFY2(std::abs(off.x()) <= 1 && std::abs(off.y()) <= 1,
                     qPrintable(u"off by %1, %2"_s.arg(off.x()).arg(off.y())));
        }
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
