#include <QTest>
#include <QTimer>

#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;
using orvane::platform::Answer;
using L = QStringList;

// Every box must be scripted: an error report, or any box not expected, fails the test.
namespace {

using test::showing;

// Text, Images and Notes, each with a folder holding one file of its type; nothing chosen yet.
struct Fix : test::Harness {
    QString text = folder(u"text"_s), images = folder(u"images"_s), other = folder(u"Other Stuff"_s);
    PrefForm& p;

    Fix() : p((start(), pref()))
    {
        for (const auto& name :
             {u"text/a.txt"_s, u"images/p.png"_s, u"Other Stuff/x.png"_s, u"Other Stuff/z.txt"_s})
            file(dir.path() + u'/', name);
        addType(u"Text"_s, u"txt"_s, text, u"Plain text"_s, u"/usr/bin/editor"_s);
        addType(u"Images"_s, u"png"_s, images, u"Pictures"_s, u"/usr/bin/viewer"_s);
        addType(u"Notes"_s, u"txt"_s, other, u"My notes"_s);
    }
    ~Fix() { QCOMPARE(dialogs.pending(), 0); }
};

} // namespace

class TestPrefForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosingATypeLoadsItsViewOrOffersANewPathForIt()
    {
        Fix h;
        h.p.TypeCombo.setText(u"Images"_s); // typed while the main window has no type: nothing shown
        QCOMPARE(h.shown(), showing(u"-1 |1 Images|||||010000"_s));
        h.main().TypeCombo.setListIndex(1); // the preferences list follows the main window
        QCOMPARE(h.shown(), showing(u"1 Images|p.png|Pictures|111111"_s));
        h.p.TypeCombo.setListIndex(2); // chosen here, only this list moves
        QCOMPARE(h.shown(), showing(u"1 Images|2 Notes|p.png|z.txt|Pictures|My notes|111111"_s));
        h.p.TypeCombo.setText({});
        QCOMPARE(h.shown(), showing(u"1 Images|-1 |p.png||Pictures||010000"_s));
        h.p.TypeCombo.setText(u"Ima"_s); // typed: the main window's type is shown
        QCOMPARE(h.shown(), showing(u"1 Images|-1 Ima|p.png|p.png|Pictures|Pictures|111111"_s));

        // Opened twice from the menu, modally, "Done" returns each time to the same view; browsing
        // shows other files but never changes the type.
        h.p.PrefDir.setFolder(h.other);
        L seen;
        for (int round = 0; round < 2; ++round) {
            QTimer::singleShot(5000, &h.p, [&] {
                seen << u"hung"_s;
                h.p.hide();
            });
            QTimer::singleShot(0, &h.p, [&] {
                seen << u"open: shown %1, modal %2"_s.arg(int(h.p.isVisible())).arg(int(h.p.isModal()))
                     << h.shown();
                h.p.PrefButton_MouseMove(PrefForm::ChangePath);
                h.p.PrefButton[1].click();
            });
            h.main().MnuPreferences_Click();
            seen << u"closed: shown %1, hint \"%2\""_s.arg(int(h.p.isVisible())).arg(h.p.InstrLabel.text());
        }
        const L once = {u"open: shown 1, modal 1"_s,
                        showing(u"1 Images|-1 Ima|p.png|x.png|Pictures|Pictures|111111"_s),
                        u"closed: shown 0, hint \"\""_s};
        QCOMPARE(seen, once + once);
        QCOMPARE(h.g.Types[1].Path, h.images);

        // A second "Text" whose folder is gone: only it is changed or removed.
        const QString gone = h.dir.path() + u"/gone/"_s, fresh = h.folder(u"Fresh"_s),
                      filter = u"Text (*.md)|*.md"_s;
        h.addType(u"Text"_s, u"md"_s, gone, u"Lost"_s);
        h.dialogs.answer(Answer::Yes).choose(h.file(fresh, u"n.md"_s));
        h.main().TypeCombo.setListIndex(3);
        QCOMPARE(h.g.Types[3].Path + h.g.Types[0].Path, fresh + h.text);
        QCOMPARE(h.shown(), showing(u"3 Text|n.md|Lost|111111"_s));
        QCOMPARE(h.dialogs.shown.at(0).help(), u"Orvane orvane.hlp 9"_s);

        // Yes then Cancel, and No: removed without a question.
        h.g.Types[3].Path = gone;
        h.dialogs.answer(Answer::Yes).cancelFile();
        h.main().TypeCombo.setListIndex(3);
        h.addType(u"Text"_s, u"md"_s, gone);
        h.dialogs.answer(Answer::No);
        h.main().TypeCombo.setListIndex(3);
        QCOMPARE(h.dialogs.texts(),
                 L({test::kPathMissing, filter, test::kPathMissing, filter, test::kPathMissing}));
        QCOMPARE(h.names(), L({u"Text"_s, u"Images"_s, u"Notes"_s}));
        QCOMPARE(h.g.Types[0].Path + QString::number(h.g.PathMissing), h.text + u'0');
    }

    void theButtonsHintAndActOnTheChosenType()
    {
        Fix h;
        const L hints = u"Change the app with which to open this type.|Return to main.|"
                        "Change the name of this type.|Change the path which Orvane looks for this type.|"
                        "Change the description of this type.|Delete this type from Orvane."_s.split(u'|');
        L seen;
        for (const int index : {0, 1, 2, 3, 4, 5, 6, -1}) {
            h.p.PrefButton_MouseMove(index);
            seen << h.p.InstrLabel.text();
        }
        QCOMPARE(seen, hints + L(2, hints[5]));

        h.p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.p));
        QTest::mouseMove(&h.p.PrefButton[3]);
        QTRY_COMPARE(h.p.InstrLabel.text(), hints[3]);
        QTest::mouseMove(&h.p.TypeCombo.widget());
        QTest::qWait(20);
        QCOMPARE(h.p.InstrLabel.text(), hints[3]);
        QTest::mouseMove(&h.p, QPoint(3, h.p.height() - 3)); // the background
        QTRY_COMPARE(h.p.InstrLabel.text(), QString());

        // The commands act on the chosen type.
        h.main().TypeCombo.setListIndex(1);
        h.p.TypeCombo.setText(u"zzz"_s); // names no type: every command does nothing
        for (const int command : {0, 2, 3, 4, 5})
            h.p.PrefButton_Click(command);
        QCOMPARE(h.dialogs.shown.size(), 0);

        h.p.TypeCombo.setListIndex(1);
        const QString chosen = u"/opt/Some Tools/Paint Box"_s;
        h.dialogs.answer(Answer::No).answer(Answer::Yes).choose(chosen);
        h.p.PrefButton_Click(PrefForm::OpensWith);
        h.p.PrefButton_Click(PrefForm::OpensWith);
        QCOMPARE(h.shown(), showing(u"1 Images|p.png|Pictures|111111"_s));

        // Name, then description: cancelled, nothing is refilled; an answer is kept exactly and
        // both lists are refilled.
        h.dialogs.type({}).type(u"  My Pics "_s);
        h.p.PrefButton_Click(PrefForm::ChangeName);
        QCOMPARE(h.shown(), showing(u"1 Images|p.png|Pictures|111111"_s));
        h.p.PrefButton_Click(PrefForm::ChangeName);
        QCOMPARE(h.names(), L({u"Text"_s, u"  My Pics "_s, u"Notes"_s}));
        QCOMPARE(h.shown(), showing(u"-1 ||Pictures|010000"_s));
        h.main().TypeCombo.setListIndex(2);
        h.dialogs.type(u" Notes & more "_s);
        h.p.PrefButton_Click(PrefForm::ChangeDescription);
        QCOMPARE(h.g.Types[2].Desc, u" Notes & more "_s);
        QCOMPARE(h.shown(), showing(u"-1 |-1 |||My notes||010000"_s));
        const QString opens =
            u"Currently opens with\r\n/usr/bin/viewer\r\n\r\nWould you like to change this?"_s;
        const QString name = u"What would you like to call this?"_s;
        QCOMPARE(h.dialogs.shown[3].input.defaultText + h.dialogs.shown[5].input.defaultText,
                 u"ImagesMy notes"_s);

        // Path: the chosen file's folder, kept exactly; neither refilled nor reloaded.
        h.main().TypeCombo.setListIndex(0);
        h.dialogs.cancelFile().choose(h.other + u"Y.DOC"_s);
        h.p.PrefButton_Click(PrefForm::ChangePath);
        h.p.PrefButton_Click(PrefForm::ChangePath);
        const auto& file = h.dialogs.shown.last().file;
        QCOMPARE(file.filter + u'|' + file.initialFolder + file.fileName, u"Text (*.txt)|*.txt|"_s + h.text);
        QCOMPARE(h.g.Types[0].Path, h.other);
        QCOMPARE(h.shown(), showing(u"0 Text|a.txt|Plain text|111111"_s));

        // No keeps the type; Yes removes the first of three and moves the others down.
        h.dialogs.answer(Answer::No).answer(Answer::Yes);
        h.p.PrefButton_Click(PrefForm::RemoveType);
        h.p.PrefButton_Click(PrefForm::RemoveType);
        const QString remove = u"Are you sure you wish to remove the listing - Text?"_s,
                      path = u"Text (*.txt)|*.txt"_s;
        QCOMPARE(h.dialogs.texts(), L({opens, opens, u"Programs (*)|*"_s, name, name,
                                       u"New description for this type?"_s, path, path, remove, remove}));
        QCOMPARE(h.names(), L({u"  My Pics "_s, u"Notes"_s}));
        QCOMPARE(h.g.Types[0].App + h.g.Types[1].Path, chosen + h.other);
        QCOMPARE(h.shown(), showing(u"-1 ||Plain text|010000"_s));
    }
};

QTEST_MAIN(TestPrefForm)
#include "tst_prefform.moc"
