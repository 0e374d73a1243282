#include <QDir>
#include <QLineEdit>
#include <QTest>

#include "catalogue/catalogue.h"
#include "support/harness.h"

using namespace orvane;
using orvane::platform::Answer;
using orvane::platform::Buttons;
using orvane::platform::Icon;
using orvane::test::Harness;
using orvane::test::ShownBox;

namespace {

// "a|b|c" as a list.
QStringList split(const QString& names)
{
    return names.split(u'|');
}

// The items of a file list or a combo.
template <typename List> QStringList items(const List& list)
{
    QStringList out;
    for (int i = 0; i < list.listCount(); ++i) {
        out.append(list.item(i));
    }
    return out;
}

// A folder of mixed names: hidden files, names without a dot, several
// endings in both cases, and folders that look like files.
QString mixedFolder(Harness& h)
{
    const QString mixed = h.folder(QStringLiteral("Mixed"));
    const auto names =
        split(QStringLiteral("m.Txt|a.txt|B.TXT|b2.txt|c.doc|notes|README|txt|atxt|.hidden.txt|"
                             ".profile|x.tar.gz|Z.TAR.GZ|y.gz|w.tar.gz.bak"));
    for (const auto& name : names) {
        h.file(mixed, name, "data");
    }
    QDir().mkpath(mixed + QStringLiteral("sub.txt"));
    QDir().mkpath(mixed + QStringLiteral("folder"));
    return mixed;
}

const QStringList kTxt = split(QStringLiteral("a.txt|B.TXT|b2.txt|m.Txt"));
const QStringList kTarGz = split(QStringLiteral("x.tar.gz|Z.TAR.GZ"));

void checkPrompt(const ShownBox& box)
{
    QCOMPARE(box.kind, ShownBox::Kind::Message);
    QCOMPARE(box.message.text, QStringLiteral("The path for this type cannot be found.  If you deleted it or "
                                              "renamed it you will need to change the path in the "
                                              "preferences.\r\n\r\nGo there now?"));
    QCOMPARE(box.message.buttons, Buttons::YesNo);
    QCOMPARE(box.message.icon, Icon::None);
    QCOMPARE(box.message.title, QStringLiteral("Orvane"));
    QCOMPARE(box.message.helpFile, QStringLiteral("orvane.hlp"));
    QCOMPARE(box.message.helpNumber, 9);
}

// Both windows as a refill leaves them.
void checkRefilled(Harness& h, const QStringList& names)
{
    for (platform::ComboBox* combo : {&h.main().TypeCombo, &h.pref().TypeCombo}) {
        QCOMPARE(items(*combo), names);
        QCOMPARE(combo->listIndex(), -1);
        QCOMPARE(combo->text(), QString());
        QCOMPARE(combo->lineEdit()->text(), QString());
    }
    QCOMPARE(h.main().FileList.listCount(), 0);
    QCOMPARE(h.pref().PrefFile.listCount(), 0);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(h.pref().PrefButton.at(static_cast<std::size_t>(i)).isEnabled(), i == 1);
    }
}

} // namespace

class TestChoosing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refillLeavesNothingChosen()
    {
        Harness h(test::settingsFor({split(QStringLiteral("Texts|txt|/nowhere/|t|/bin/v")),
                                     split(QStringLiteral("Images|png|/nowhere/|i|/bin/v"))}));
        h.start();
        checkRefilled(h, split(QStringLiteral("Texts|Images")));

        const QString mixed = mixedFolder(h);
        h.g.Types[0].Path = mixed;
        h.main().TypeCombo.setListIndex(0);
        QCOMPARE(items(h.main().FileList), kTxt);
        QCOMPARE(items(h.pref().PrefFile), kTxt);
        QVERIFY(h.pref().PrefButton[5].isEnabled());

        h.addType(QStringLiteral("Archives"), QStringLiteral("tar.gz"), mixed);
        checkRefilled(h, split(QStringLiteral("Texts|Images|Archives")));
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void pickingATypeShowsItsFilesOnBothWindows()
    {
        Harness h;
        h.start();
        const QString mixed = mixedFolder(h);
        const QString other = h.folder(QStringLiteral("Other"));
        h.file(other, QStringLiteral("pic.png"));
        h.addType(QStringLiteral("Images"), QStringLiteral("png"), other, QStringLiteral("Pictures"));
        h.addType(QStringLiteral("Texts"), QStringLiteral("txt"), mixed, QStringLiteral("Plain text"));
        h.addType(QStringLiteral("Bare"), QString(), mixed, QStringLiteral("No ending"));
        h.addType(QStringLiteral("Archives"), QStringLiteral("tar.gz"), mixed, QStringLiteral("Packed"));
        h.addType(QStringLiteral("Texts"), QStringLiteral("doc"), mixed, QStringLiteral("Documents"));
        auto& main = h.main();
        auto& pref = h.pref();

        main.TypeCombo.setListIndex(1);
        QCOMPARE(items(main.FileList), kTxt);
        QCOMPARE(main.FileList.pattern(), QStringLiteral("*.txt"));
        QCOMPARE(main.FileList.folder(), mixed);
        QCOMPARE(main.DescLabel.text(), QStringLiteral("Plain text"));
        QCOMPARE(h.g.CurType, 1);
        QCOMPARE(pref.TypeCombo.text(), QStringLiteral("Texts"));
        QCOMPARE(pref.TypeCombo.listIndex(), 1);
        QCOMPARE(items(pref.PrefFile), kTxt);
        QCOMPARE(pref.DescLabel.text(), QStringLiteral("Plain text"));

        main.TypeCombo.setListIndex(2);
        QCOMPARE(items(main.FileList), split(QStringLiteral("atxt|notes|README|txt")));
        QCOMPARE(items(pref.PrefFile), split(QStringLiteral("atxt|notes|README|txt")));
        QCOMPARE(main.DescLabel.text(), QStringLiteral("No ending"));

        main.TypeCombo.setListIndex(3);
        QCOMPARE(items(main.FileList), kTarGz);
        QCOMPARE(items(pref.PrefFile), kTarGz);
        QCOMPARE(pref.DescLabel.text(), QStringLiteral("Packed"));

        // A second type of the same name: both windows stay on it.
        main.TypeCombo.setListIndex(4);
        QCOMPARE(h.g.CurType, 4);
        QCOMPARE(pref.TypeCombo.listIndex(), 4);
        QCOMPARE(items(main.FileList), QStringList{QStringLiteral("c.doc")});
        QCOMPARE(items(pref.PrefFile), QStringList{QStringLiteral("c.doc")});
        QCOMPARE(pref.DescLabel.text(), QStringLiteral("Documents"));

        main.TypeCombo.setListIndex(0);
        QCOMPARE(items(main.FileList), QStringList{QStringLiteral("pic.png")});
        QCOMPARE(main.FileList.folder(), other);
        QCOMPARE(main.DescLabel.text(), QStringLiteral("Pictures"));
        QCOMPARE(pref.TypeCombo.listIndex(), 0);
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void typingChangesThePreferencesOnly()
    {
        Harness h;
        h.start();
        const QString mixed = mixedFolder(h);
        h.addType(QStringLiteral("Texts"), QStringLiteral("txt"), mixed, QStringLiteral("Plain text"));
        h.addType(QStringLiteral("Archives"), QStringLiteral("tar.gz"), mixed, QStringLiteral("Packed"));
        auto& main = h.main();
        auto& pref = h.pref();
        main.TypeCombo.setListIndex(0);
        const auto mainUnchanged = [&] {
            QCOMPARE(items(main.FileList), kTxt);
            QCOMPARE(main.DescLabel.text(), QStringLiteral("Plain text"));
        };

        // The user types another type's name over the chosen one.
        main.TypeCombo.lineEdit()->selectAll();
        QTest::keyClicks(main.TypeCombo.lineEdit(), QStringLiteral("Archives"));
        QCOMPARE(main.TypeCombo.text(), QStringLiteral("Archives"));
        QCOMPARE(h.g.CurType, 1);
        QCOMPARE(pref.TypeCombo.text(), QStringLiteral("Archives"));
        QCOMPARE(pref.TypeCombo.listIndex(), 1);
        QCOMPARE(items(pref.PrefFile), kTarGz);
        QCOMPARE(pref.DescLabel.text(), QStringLiteral("Packed"));
        mainUnchanged();

        // Text that names no type changes no list or label.
        QTest::keyClicks(main.TypeCombo.lineEdit(), QStringLiteral("x"));
        QCOMPARE(h.g.CurType, -1);
        main.TypeCombo.setText(QStringLiteral("Nothing"));
        QCOMPARE(pref.TypeCombo.text(), QStringLiteral("Nothing"));
        QCOMPARE(pref.TypeCombo.listIndex(), -1);
        QCOMPARE(items(pref.PrefFile), kTarGz);
        QCOMPARE(pref.DescLabel.text(), QStringLiteral("Packed"));
        mainUnchanged();

        // Deleting the whole text empties the preferences' view only.
        main.TypeCombo.lineEdit()->selectAll();
        QTest::keyClick(main.TypeCombo.lineEdit(), Qt::Key_Backspace);
        QCOMPARE(main.TypeCombo.text(), QString());
        QCOMPARE(pref.TypeCombo.text(), QString());
        QCOMPARE(pref.PrefFile.listCount(), 0);
        QCOMPARE(pref.DescLabel.text(), QString());
        mainUnchanged();
        QCOMPARE(h.g.NumberOfTypes, 2);
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void missingFolderIsOfferedForChange()
    {
        // The second "Texts" has lost its folder; the first must not suffer.
        const auto setUp = [](Harness& h) {
            h.start();
            const QString mixed = mixedFolder(h);
            h.addType(QStringLiteral("Texts"), QStringLiteral("txt"), mixed, QStringLiteral("Plain text"));
            h.addType(QStringLiteral("Texts"), QStringLiteral("txt"), h.dir.path() + QStringLiteral("/Gone/"),
                      QStringLiteral("Went away"));
            h.addType(QStringLiteral("Archives"), QStringLiteral("tar.gz"), mixed);
            h.main().TypeCombo.setListIndex(0);
        };
        const auto checkRemoved = [](Harness& h) {
            QCOMPARE(h.names(), split(QStringLiteral("Texts|Archives")));
            QCOMPARE(h.g.Types[0].Desc, QStringLiteral("Plain text"));
            checkRefilled(h, split(QStringLiteral("Texts|Archives")));
        };

        { // No: the type goes without a question.
            Harness h;
            setUp(h);
            h.dialogs.answer(Answer::No);
            h.main().TypeCombo.setListIndex(1);
            QCOMPARE(h.dialogs.shown.size(), 1);
            checkPrompt(h.dialogs.shown[0]);
            checkRemoved(h);
            QCOMPARE(h.dialogs.pending(), 0);
        }
        { // Yes, then no file chosen: the type goes as well.
            Harness h;
            setUp(h);
            h.dialogs.answer(Answer::Yes).cancelFile();
            h.main().TypeCombo.setListIndex(1);
            QCOMPARE(h.dialogs.shown.size(), 2);
            checkPrompt(h.dialogs.shown[0]);
            QCOMPARE(h.dialogs.shown[1].kind, ShownBox::Kind::File);
            QCOMPARE(h.dialogs.shown[1].file.initialFolder, h.dir.path() + QStringLiteral("/Gone/"));
            checkRemoved(h);
            QCOMPARE(h.dialogs.pending(), 0);
        }
        { // Yes, and a file elsewhere: the type now looks there.
            Harness h;
            setUp(h);
            const QString moved = h.folder(QStringLiteral("Moved"));
            h.file(moved, QStringLiteral("k.txt"));
            h.file(moved, QStringLiteral("j.TXT"));
            h.dialogs.answer(Answer::Yes).choose(moved + QStringLiteral("k.txt"));
            h.main().TypeCombo.setListIndex(1);
            QCOMPARE(h.dialogs.shown.size(), 2);
            QCOMPARE(h.g.Types[1].Path, moved);
            QCOMPARE(h.g.Types[0].Path, h.dir.path() + QStringLiteral("/Mixed/"));
            QCOMPARE(h.names(), split(QStringLiteral("Texts|Texts|Archives")));
            QCOMPARE(h.g.CurType, 1);
            QCOMPARE(items(h.main().FileList), split(QStringLiteral("j.TXT|k.txt")));
            QCOMPARE(h.main().DescLabel.text(), QStringLiteral("Went away"));
            QCOMPARE(items(h.pref().PrefFile), split(QStringLiteral("j.TXT|k.txt")));
            QCOMPARE(h.pref().TypeCombo.listIndex(), 1);
            QCOMPARE(h.dialogs.pending(), 0);
        }
        { // A new folder that is missing too: asked again, then reported.
            Harness h;
            setUp(h);
            const QString alsoGone = h.dir.path() + QStringLiteral("/AlsoGone/f.txt");
            h.dialogs.answer(Answer::Yes)
                .choose(alsoGone)
                .answer(Answer::Yes)
                .choose(alsoGone)
                .answer(Answer::Ok);
            h.main().TypeCombo.setListIndex(1);
            QCOMPARE(h.dialogs.shown.size(), 5);
            checkPrompt(h.dialogs.shown[2]);
            const auto& report = h.dialogs.shown[4].message;
            QCOMPARE(report.text,
                     QStringLiteral("An error has occurred.  Please report the information below to "
                                    "Velcora Software so that it can be corrected.\r\n\r\n"
                                    "Description: Path not found\r\nNumber: 76\r\nCode: MFTCCk"));
            QCOMPARE(report.icon, Icon::Critical);
            QCOMPARE(report.helpNumber, 3);
            QCOMPARE(h.g.ErrorCount, 1);
            QCOMPARE(h.names(), split(QStringLiteral("Texts|Texts|Archives")));
            QCOMPARE(h.dialogs.pending(), 0);
        }
    }
};

QTEST_MAIN(TestChoosing)
#include "tst_choosing.moc"
