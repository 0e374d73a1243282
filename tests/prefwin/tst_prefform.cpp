#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <functional>

#include "catalogue/catalogue.h"
#include "support/harness.h"

using namespace orvane;
using orvane::platform::Answer;
using orvane::test::Harness;

// Every box must be scripted: an error report, or any box not expected,
// fails the test.
namespace {

const QString kMissingPrompt = QStringLiteral(
    "The path for this type cannot be found.  If you deleted it or renamed it you will need to change the "
    "path in the preferences.\r\n\r\nGo there now?");

// "1" for every enabled command button, "0" for a disabled one.
QString buttonStates(const PrefForm& pref)
{
    QString out;
    for (const auto& button : pref.PrefButton) {
        out += button.isEnabled() ? u'1' : u'0';
    }
    return out;
}

QStringList files(const platform::FileListBox& list)
{
    QStringList out;
    for (int i = 0; i < list.listCount(); ++i) {
        out.append(list.item(i));
    }
    return out;
}

// The view in one line: description | file pattern | folder: files | buttons.
QString shows(const PrefForm& pref)
{
    return QStringLiteral("%1 | %2 | %3: %4 | %5")
        .arg(pref.DescLabel.text(), pref.PrefFile.pattern(), QFileInfo(pref.PrefDir.folder()).fileName(),
             files(pref.PrefFile).join(u','), buttonStates(pref));
}

// A catalogue of three types with folders and files.
struct Three {
    explicit Three(Harness& h)
        : text(h.folder(QStringLiteral("text"))), images(h.folder(QStringLiteral("Images"))),
          other(h.folder(QStringLiteral("other")))
    {
        h.folder(QStringLiteral("text/sub"));
        for (const auto& name : {u"b.txt", u"A.TXT", u"c.doc"}) {
            h.file(text, QString::fromUtf16(name));
        }
        for (const auto& name : {u"p.png", u"q.txt"}) {
            h.file(images, QString::fromUtf16(name));
        }
        for (const auto& name : {u"z.txt", u"y.png"}) {
            h.file(other, QString::fromUtf16(name));
        }
        h.addType(QStringLiteral("Text"), QStringLiteral("txt"), text, QStringLiteral("Plain text"));
        h.addType(QStringLiteral("Images"), QStringLiteral("png"), images, QStringLiteral("Pictures"));
        h.addType(QStringLiteral("Notes"), QStringLiteral("txt"), other, QStringLiteral("My notes"));
    }
    QString text, images, other;
};

} // namespace

class TestPrefForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosingATypeLoadsItsView()
    {
        Harness h;
        h.start();
        Three t(h);
        auto& pref = h.pref();
        QCOMPARE(buttonStates(pref), QStringLiteral("010000"));
        QCOMPARE(pref.PrefFile.listCount(), 0);

        // Chosen in the main window: the preferences list follows it.
        h.main().TypeCombo.setListIndex(1);
        QCOMPARE(pref.TypeCombo.text(), QStringLiteral("Images"));
        QCOMPARE(pref.TypeCombo.listIndex(), 1);
        QCOMPARE(shows(pref), QStringLiteral("Pictures | *.png | Images: p.png | 111111"));
        QCOMPARE(pref.PrefDir.folder(), QDir::cleanPath(t.images));
        h.main().TypeCombo.setListIndex(0);
        QCOMPARE(pref.TypeCombo.listIndex(), 0);
        QCOMPARE(shows(pref), QStringLiteral("Plain text | *.txt | text: A.TXT,b.txt | 111111"));

        // Chosen in the preferences list itself: only that window moves.
        pref.TypeCombo.setListIndex(2);
        QCOMPARE(shows(pref), QStringLiteral("My notes | *.txt | other: z.txt | 111111"));
        QCOMPARE(h.main().TypeCombo.listIndex(), 0);
        QCOMPARE(h.main().DescLabel.text(), QStringLiteral("Plain text"));

        // An empty text empties the view; "Done" stays usable.
        pref.TypeCombo.setText(QString());
        QCOMPARE(shows(pref), QStringLiteral(" | &.& | other:  | 010000"));

        // ... and so does emptying the main window's text.
        h.main().TypeCombo.setListIndex(1);
        QCOMPARE(buttonStates(pref), QStringLiteral("111111"));
        h.main().TypeCombo.setText(QString());
        QCOMPARE(pref.TypeCombo.text(), QString());
        QCOMPARE(shows(pref), QStringLiteral(" | &.& | Images:  | 010000"));
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void typingInThePreferencesListShowsTheMainWindowsType()
    {
        Harness h;
        h.start();
        Three t(h);
        auto& pref = h.pref();

        // Nothing chosen in the main window: typing changes nothing, even a
        // name in the list.
        pref.TypeCombo.setListIndex(0);
        pref.TypeCombo.setText(QStringLiteral("Images"));
        QCOMPARE(shows(pref), QStringLiteral("Plain text | *.txt | text: A.TXT,b.txt | 111111"));

        // With "Notes" chosen in the main window, real typing of another
        // name still shows "Notes".
        h.main().TypeCombo.setListIndex(2);
        pref.TypeCombo.setText(QString());
        QCOMPARE(buttonStates(pref), QStringLiteral("010000"));
        pref.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pref));
        pref.TypeCombo.lineEdit()->setFocus();
        QTest::keyClicks(pref.TypeCombo.lineEdit(), QStringLiteral("Ima"));
        QCOMPARE(pref.TypeCombo.text(), QStringLiteral("Ima"));
        QCOMPARE(pref.TypeCombo.listIndex(), -1);
        QCOMPARE(shows(pref), QStringLiteral("My notes | *.txt | other: z.txt | 111111"));

        // Erasing what was typed empties the view again.
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(pref.TypeCombo.lineEdit(), Qt::Key_Backspace);
        }
        QCOMPARE(pref.TypeCombo.text(), QString());
        QCOMPARE(shows(pref), QStringLiteral(" | &.& | other:  | 010000"));
        pref.hide();
        QCOMPARE(h.g.Types[2].Path, t.other);
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void openingTwiceShowsTheSameView()
    {
        Harness h;
        h.start();
        Three t(h);
        auto& pref = h.pref();
        h.main().TypeCombo.setListIndex(1);
        pref.PrefDir.setFolder(t.other); // browsed away before opening

        // Another screen since start: each opening centres the window.
        h.desktop.screenWidth = 1500 * 15;
        h.desktop.screenHeight = 900 * 15;
        pref.move(0, 0);
        QString seen[2];
        QPoint offCentre[2];
        for (int round = 0; round < 2; ++round) {
            // Hides the window whatever happens, so a fault cannot hang.
            QTimer safety;
            safety.setSingleShot(true);
            QObject::connect(&safety, &QTimer::timeout, &pref, [&] { pref.hide(); });
            safety.start(5000);
            QTimer::singleShot(0, &pref, [&, round] {
                seen[round] = QStringLiteral("%1 %2 %3 %4 | ")
                                  .arg(pref.isVisible())
                                  .arg(pref.isModal())
                                  .arg(pref.TypeCombo.text())
                                  .arg(pref.TypeCombo.listIndex()) +
                              shows(pref);
                // The frame may only be known once shown: allow for its margins.
                const QRect frame = pref.frameGeometry();
                const QSize margins = frame.size() - pref.size();
                offCentre[round] =
                    QPoint(qMax(0, qAbs(frame.x() * 2 + frame.width() - 1500) - margins.width()),
                           qMax(0, qAbs(frame.y() * 2 + frame.height() - 900) - margins.height()));
                pref.PrefButton_MouseMove(PrefForm::ChangePath);
                if (round == 0) {
                    pref.PrefButton[1].click();
                } else {
                    pref.close(); // closing its frame
                }
            });
            h.main().MnuPreferences_Click();
            QVERIFY(safety.isActive());
            QVERIFY(!pref.isVisible());
            QCOMPARE(pref.InstrLabel.text(), QString());
            QCOMPARE(offCentre[round], QPoint(0, 0));
            pref.move(10, 10);
        }
        QCOMPARE(seen[0], QStringLiteral("1 1 Images 1 | Pictures | *.png | other: y.png | 111111"));
        QCOMPARE(seen[1], seen[0]);
        QCOMPARE(h.g.Types[1].Path, t.images);
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void missingFolderPromptOffersANewPath()
    {
        Harness h;
        h.start();
        Three t(h);
        const QString gone = h.dir.path() + QStringLiteral("/gone/");
        const QString fresh = h.folder(QStringLiteral("Fresh"));
        h.file(fresh, QStringLiteral("n.txt"));
        h.addType(QStringLiteral("Lost"), QStringLiteral("txt"), gone, QStringLiteral("Lost one"));

        // Yes, and a file is chosen: the type gets that folder and is shown.
        h.dialogs.answer(Answer::Yes).choose(fresh + QStringLiteral("n.txt"));
        h.main().TypeCombo.setListIndex(3);
        QCOMPARE(h.dialogs.texts(), QStringList({kMissingPrompt, QStringLiteral("Lost (*.txt)|*.txt")}));
        const auto prompt = h.dialogs.shown.at(0).message;
        QCOMPARE(prompt.title + u' ' + prompt.helpFile + u' ' + QString::number(prompt.helpNumber),
                 QStringLiteral("Orvane orvane.hlp 9"));
        QVERIFY(prompt.buttons == platform::Buttons::YesNo && prompt.icon == platform::Icon::None);
        const auto file = h.dialogs.shown.at(1).file;
        QCOMPARE(file.initialFolder, gone);
        QCOMPARE(file.fileName, QString());
        QCOMPARE(h.g.Types[3].Path, fresh);
        QCOMPARE(h.g.PathMissing, false);
        QCOMPARE(h.pref().TypeCombo.listIndex(), 3);
        QCOMPARE(shows(h.pref()), QStringLiteral("Lost one | *.txt | Fresh: n.txt | 111111"));
        QCOMPARE(files(h.main().FileList), QStringList({QStringLiteral("n.txt")}));

        // Yes, then Cancel: the type goes without a question.
        h.dialogs.shown.clear();
        h.g.Types[3].Path = gone;
        h.dialogs.answer(Answer::Yes).cancelFile();
        h.main().TypeCombo.setListIndex(3);
        QCOMPARE(h.dialogs.shown.size(), 2);
        QCOMPARE(h.names(),
                 QStringList({QStringLiteral("Text"), QStringLiteral("Images"), QStringLiteral("Notes")}));
        QCOMPARE(h.pref().TypeCombo.listCount(), 3);
        QCOMPARE(buttonStates(h.pref()), QStringLiteral("010000"));
        QCOMPARE(h.g.PathMissing, false);

        // Yes, and a file in a folder that is not there either: asked again
        // when the preferences list takes the position; No then removes it.
        h.dialogs.shown.clear();
        h.addType(QStringLiteral("Lost"), QStringLiteral("txt"), gone);
        const QString alsoGone = h.dir.path() + QStringLiteral("/alsogone/");
        h.dialogs.answer(Answer::Yes).choose(alsoGone + QStringLiteral("x.txt")).answer(Answer::No);
        h.main().TypeCombo.setListIndex(3);
        QCOMPARE(h.dialogs.texts(),
                 QStringList({kMissingPrompt, QStringLiteral("Lost (*.txt)|*.txt"), kMissingPrompt}));
        QCOMPARE(h.names().size(), 3);
        QCOMPARE(h.g.PathMissing, false);

        // Once the prompt is over, cancelling "Change Path" removes nothing.
        h.main().TypeCombo.setListIndex(0);
        h.dialogs.cancelFile();
        h.pref().PrefButton_Click(PrefForm::ChangePath);
        QCOMPARE(h.dialogs.shown.size(), 4);
        QCOMPARE(h.names().size(), 3);
        QCOMPARE(h.g.Types[0].Path, t.text);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void missingFolderAnsweredNoRemovesThatType()
    {
        Harness h;
        h.start();
        const QString docs = h.folder(QStringLiteral("docs"));
        const QString gone = h.dir.path() + QStringLiteral("/gone/");
        h.addType(QStringLiteral("Docs"), QStringLiteral("txt"), docs, QStringLiteral("first"));
        h.addType(QStringLiteral("Docs"), QStringLiteral("md"), gone, QStringLiteral("second"));
        h.addType(QStringLiteral("Other"), QStringLiteral("png"), docs, QStringLiteral("third"));

        // Two types share a name: the second one, whose folder is gone, is
        // the one removed, without a question.
        h.dialogs.answer(Answer::No);
        h.main().TypeCombo.setListIndex(1);
        QCOMPARE(h.dialogs.texts(), QStringList({kMissingPrompt}));
        QCOMPARE(h.names(), QStringList({QStringLiteral("Docs"), QStringLiteral("Other")}));
        QCOMPARE(h.g.Types[0].Path, docs);
        QCOMPARE(h.g.Types[0].Desc, QStringLiteral("first"));
        QCOMPARE(h.g.Types[1].Desc, QStringLiteral("third"));
        QCOMPARE(h.g.PathMissing, false);
        QCOMPARE(h.main().TypeCombo.listIndex(), -1);
        QCOMPARE(h.pref().TypeCombo.listIndex(), -1);
        QCOMPARE(buttonStates(h.pref()), QStringLiteral("010000"));

        // Same names again, answered Yes: the new folder goes to the second.
        h.dialogs.shown.clear();
        h.addType(QStringLiteral("Docs"), QStringLiteral("md"), gone, QStringLiteral("fourth"));
        const QString fresh = h.folder(QStringLiteral("fresh"));
        h.dialogs.answer(Answer::Yes).choose(fresh + QStringLiteral("a.md"));
        h.main().TypeCombo.setListIndex(2);
        QCOMPARE(h.dialogs.texts(), QStringList({kMissingPrompt, QStringLiteral("Docs (*.md)|*.md")}));
        QCOMPARE(h.dialogs.shown.at(1).file.initialFolder, gone);
        QCOMPARE(h.g.Types[2].Path, fresh);
        QCOMPARE(h.g.Types[0].Path, docs);
        QCOMPARE(h.pref().DescLabel.text(), QStringLiteral("fourth"));

        // Chosen in the preferences list: asked once, No removes it.
        h.dialogs.shown.clear();
        h.g.Types[2].Path = gone;
        h.dialogs.answer(Answer::No);
        h.pref().TypeCombo.setListIndex(2);
        QCOMPARE(h.dialogs.texts(), QStringList({kMissingPrompt}));
        QCOMPARE(h.names(), QStringList({QStringLiteral("Docs"), QStringLiteral("Other")}));

        // Named by typing in the main window: asked once, No removes it.
        h.g.Types[1].Path = gone;
        h.dialogs.answer(Answer::No);
        h.main().TypeCombo.setText(QStringLiteral("Other"));
        QCOMPARE(h.dialogs.texts(), QStringList({kMissingPrompt, kMissingPrompt}));
        QCOMPARE(h.names(), QStringList({QStringLiteral("Docs")}));
        QCOMPARE(h.g.PathMissing, false);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void hintsFollowThePointer()
    {
        Harness h;
        h.start();
        Three t(h);
        auto& pref = h.pref();
        const QStringList hints = {
            QStringLiteral("Change the app with which to open this type."),
            QStringLiteral("Return to main."),
            QStringLiteral("Change the name of this type."),
            QStringLiteral("Change the path which Orvane looks for this type."),
            QStringLiteral("Change the description of this type."),
            QStringLiteral("Delete this type from Orvane."),
        };
        for (int i = 0; i < 6; ++i) {
            pref.PrefButton_MouseMove(i);
            QCOMPARE(pref.InstrLabel.text(), hints.at(i));
        }
        pref.PrefButton_MouseMove(6);
        pref.PrefButton_MouseMove(-1);
        QCOMPARE(pref.InstrLabel.text(), hints.at(5));
        const std::function<void()> clearing[] = {
            [&] { pref.Form_MouseMove(); }, [&] { pref.DescLabel_MouseMove(); },
            [&] { pref.PrefDir_MouseMove(); }, [&] { pref.PrefFile_MouseMove(); }};
        for (const auto& move : clearing) {
            pref.PrefButton_MouseMove(0);
            move();
            QCOMPARE(pref.InstrLabel.text(), QString());
        }

        // Real pointer moves over the shown window.
        h.main().TypeCombo.setListIndex(0);
        pref.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pref));
        QTest::mouseMove(&pref.PrefButton[5]);
        QTRY_COMPARE(pref.InstrLabel.text(), hints.at(5));
        const QPoint background(3, pref.height() - 3);
        QCOMPARE(pref.childAt(background), nullptr);
        QTest::mouseMove(&pref, background);
        QTRY_COMPARE(pref.InstrLabel.text(), QString());
        QTest::mouseMove(&pref.PrefButton[2]);
        QTRY_COMPARE(pref.InstrLabel.text(), hints.at(2));
        QTest::mouseMove(&pref.TypeCombo);
        QTest::qWait(20);
        QCOMPARE(pref.InstrLabel.text(), hints.at(2));
        // Moves sent straight to a control; one reaching the window at a
        // point covered by the type list changes nothing either.
        const auto moveTo = [&](QWidget* widget, QPoint at) {
            QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(widget, &move);
            return pref.InstrLabel.text();
        };
        QCOMPARE(moveTo(&pref, pref.TypeCombo.geometry().center()), hints.at(2));
        QCOMPARE(moveTo(pref.PrefFile.viewport(), QPoint(5, 5)), QString());
        QCOMPARE(moveTo(&pref.PrefButton[4], QPoint(3, 3)), hints.at(4));
        QCOMPARE(moveTo(&pref.DescLabel, QPoint(3, 3)), QString());
        QCOMPARE(moveTo(&pref.PrefButton[0], QPoint(3, 3)), hints.at(0));
        QCOMPARE(moveTo(pref.PrefDir.viewport(), QPoint(3, 3)), QString());
        pref.hide();
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void browsingNeverChangesTheTypesPath()
    {
        Harness h;
        h.start();
        Three t(h);
        auto& pref = h.pref();
        h.main().TypeCombo.setListIndex(0);

        pref.PrefDir.setFolder(t.other);
        QCOMPARE(shows(pref), QStringLiteral("Plain text | *.txt | other: z.txt | 111111"));
        QCOMPARE(files(h.main().FileList), QStringList({QStringLiteral("A.TXT"), QStringLiteral("b.txt")}));
        pref.PrefDir.setFolder(t.text + QStringLiteral("sub"));
        QCOMPARE(shows(pref), QStringLiteral("Plain text | *.txt | sub:  | 111111"));
        pref.PrefDir.setFolder(t.images);
        QCOMPARE(shows(pref), QStringLiteral("Plain text | *.txt | Images: q.txt | 111111"));
        QCOMPARE(h.g.Types[0].Path, t.text);

        // Choosing the type again shows its own folder.
        pref.TypeCombo.setListIndex(0);
        QCOMPARE(shows(pref), QStringLiteral("Plain text | *.txt | text: A.TXT,b.txt | 111111"));
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }
};

QTEST_MAIN(TestPrefForm)
#include "tst_prefform.moc"
