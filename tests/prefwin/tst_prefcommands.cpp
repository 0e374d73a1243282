#include <QDir>
#include <QTest>

#include "catalogue/catalogue.h"
#include "support/harness.h"

using namespace orvane;
using orvane::platform::Answer;
using orvane::test::Harness;
using orvane::test::ShownBox;

// Every box must be scripted: an error report, or any box not expected,
// fails the test.
namespace {

QString buttonStates(const PrefForm& pref)
{
    QString out;
    for (const auto& button : pref.PrefButton) {
        out += button.isEnabled() ? u'1' : u'0';
    }
    return out;
}

// Positions in the preferences and main lists, and the buttons usable.
QString selection(Harness& h)
{
    return QStringLiteral("%1 %2 %3")
        .arg(h.pref().TypeCombo.listIndex())
        .arg(h.main().TypeCombo.listIndex())
        .arg(buttonStates(h.pref()));
}

QStringList record(const TypeRecord& r)
{
    return {r.Name, r.Ext, r.Path, r.Desc, r.App};
}

// The fixed fields of a box: title, help file, help number, and for a
// message whether it is a Yes/No box without icon.
QString fixedFields(const ShownBox& box)
{
    if (box.kind == ShownBox::Kind::Input) {
        return QStringLiteral("%1 %2 %3").arg(box.input.title, box.input.helpFile).arg(box.input.helpNumber);
    }
    const auto& m = box.message;
    return QStringLiteral("%1 %2 %3 %4")
        .arg(m.title, m.helpFile)
        .arg(m.helpNumber)
        .arg(m.buttons == platform::Buttons::YesNo && m.icon == platform::Icon::None);
}

// After a refill: both lists hold the names, nothing is chosen, no files
// are listed and only "Done" is usable. Returns what differs.
QString refillFault(Harness& h)
{
    auto& main = h.main();
    auto& pref = h.pref();
    QStringList items[2];
    for (int i = 0; i < main.TypeCombo.listCount(); ++i) {
        items[0] << main.TypeCombo.item(i);
    }
    for (int i = 0; i < pref.TypeCombo.listCount(); ++i) {
        items[1] << pref.TypeCombo.item(i);
    }
    const QString state =
        QStringLiteral("%1 %2 [%3%4] %5 %6 %7")
            .arg(main.TypeCombo.listIndex())
            .arg(pref.TypeCombo.listIndex())
            .arg(main.TypeCombo.text(), pref.TypeCombo.text())
            .arg(main.FileList.listCount() + pref.PrefFile.listCount())
            .arg(buttonStates(pref), items[0] == h.names() && items[1] == h.names()
                                         ? QStringLiteral("names")
                                         : items[0].join(u',') + u'/' + items[1].join(u','));
    return state == QStringLiteral("-1 -1 [] 0 010000 names") ? QString() : state;
}

} // namespace

class TestPrefCommands : public QObject {
    Q_OBJECT

private:
    QString text_, images_, other_, apps_;

    // Text, Images and Notes; "Images" chosen in the main window.
    void setUp(Harness& h)
    {
        h.start();
        text_ = h.folder(QStringLiteral("text"));
        images_ = h.folder(QStringLiteral("images"));
        other_ = h.folder(QStringLiteral("Other Stuff"));
        apps_ = h.folder(QStringLiteral("apps"));
        h.file(text_, QStringLiteral("a.txt"));
        h.file(images_, QStringLiteral("p.png"));
        h.file(other_, QStringLiteral("x.png"));
        h.file(other_, QStringLiteral("Y.DOC"));
        h.addType(QStringLiteral("Text"), QStringLiteral("txt"), text_, QStringLiteral("Plain text"),
                  apps_ + QStringLiteral("editor"));
        h.addType(QStringLiteral("Images"), QStringLiteral("png"), images_, QStringLiteral("Pictures"),
                  apps_ + QStringLiteral("viewer"));
        h.addType(QStringLiteral("Notes"), QStringLiteral("txt"), other_, QStringLiteral("My notes"),
                  QString());
        h.main().TypeCombo.setListIndex(1);
    }

private Q_SLOTS:
    void opensWithShowsTheAppAndOffersAnother()
    {
        Harness h;
        setUp(h);
        auto& pref = h.pref();
        const QString viewer = apps_ + QStringLiteral("viewer");
        const auto question = [](const QString& app) {
            return QStringLiteral("Currently opens with\r\n") + app +
                   QStringLiteral("\r\n\r\nWould you like to change this?");
        };

        h.dialogs.answer(Answer::No);
        pref.PrefButton[0].click();
        QCOMPARE(h.dialogs.texts(), QStringList({question(viewer)}));
        QCOMPARE(fixedFields(h.dialogs.shown.at(0)), QStringLiteral("Orvane orvane.hlp 9 1"));
        QCOMPARE(h.g.Types[1].App, viewer);

        // Yes, then Cancel: unchanged.
        h.dialogs.answer(Answer::Yes).cancelFile();
        pref.PrefButton_Click(PrefForm::OpensWith);
        QCOMPARE(h.dialogs.shown.size(), 3);
        const auto dialog = h.dialogs.shown.at(2).file;
        QCOMPARE(dialog.initialFolder + u'|' + dialog.fileName + u'|' + dialog.filter,
                 apps_ + u'|' + viewer + QStringLiteral("|Programs (*)|*"));
        QCOMPARE(h.g.Types[1].App, viewer);

        // Yes, and another program: taken exactly; nothing refilled.
        const QString chosen = QStringLiteral("/opt/Some Tools/Paint Box");
        h.dialogs.answer(Answer::Yes).choose(chosen).answer(Answer::No);
        pref.PrefButton_Click(PrefForm::OpensWith);
        QCOMPARE(h.g.Types[1].App, chosen);
        QCOMPARE(h.g.Types[0].App, apps_ + QStringLiteral("editor"));
        QCOMPARE(selection(h), QStringLiteral("1 1 111111"));
        QCOMPARE(pref.PrefFile.listCount(), 1);
        pref.PrefButton_Click(PrefForm::OpensWith); // shows the new program
        QCOMPARE(h.dialogs.shown.last().message.text, question(chosen));

        // A type without a program: an empty line, an empty dialog.
        h.main().TypeCombo.setListIndex(2);
        h.dialogs.shown.clear();
        h.dialogs.answer(Answer::Yes).choose(apps_ + QStringLiteral("editor"));
        pref.PrefButton_Click(PrefForm::OpensWith);
        QCOMPARE(h.dialogs.shown.size(), 2);
        QCOMPARE(h.dialogs.shown.at(0).message.text, question(QString()));
        QCOMPARE(h.dialogs.shown.at(1).file.initialFolder + h.dialogs.shown.at(1).file.fileName, QString());
        QCOMPARE(h.g.Types[2].App, apps_ + QStringLiteral("editor"));
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void doneAndCommandsWithoutAChosenType()
    {
        Harness h;
        setUp(h);
        auto& pref = h.pref();

        // The main window shows "Images" but the preferences list holds a
        // text that names no type: the commands are usable yet do nothing.
        pref.TypeCombo.setText(QStringLiteral("zzz"));
        QCOMPARE(pref.TypeCombo.listIndex(), -1);
        QCOMPARE(buttonStates(pref), QStringLiteral("111111"));
        const QList<QStringList> before = {record(h.g.Types[0]), record(h.g.Types[1]), record(h.g.Types[2])};
        for (const std::size_t command : {0, 2, 3, 4, 5}) {
            pref.PrefButton.at(command).click();
        }
        QCOMPARE((QList<QStringList>{record(h.g.Types[0]), record(h.g.Types[1]), record(h.g.Types[2])}),
                 before);

        // After a refill nothing is chosen either.
        FillTypeCombos(h.g);
        for (int command = -1; command <= 6; ++command) {
            pref.PrefButton_Click(command);
        }
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.g.NumberOfTypes, 3);

        // "Done" hides the window and clears the hint.
        pref.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pref));
        pref.PrefButton_MouseMove(PrefForm::RemoveType);
        QTest::mouseClick(&pref.PrefButton[1], Qt::LeftButton);
        QVERIFY(!pref.isVisible());
        QCOMPARE(pref.InstrLabel.text(), QString());
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void changeNameRenamesAndRefills()
    {
        Harness h;
        setUp(h);
        auto& pref = h.pref();

        // Cancelled: nothing changes, nothing is refilled.
        h.dialogs.type(QString());
        pref.PrefButton[2].click();
        QCOMPARE(h.dialogs.texts(), QStringList({QStringLiteral("What would you like to call this?")}));
        QCOMPARE(h.dialogs.shown.at(0).input.defaultText, QStringLiteral("Images"));
        QCOMPARE(fixedFields(h.dialogs.shown.at(0)), QStringLiteral("Orvane orvane.hlp 9"));
        QCOMPARE(h.g.Types[1].Name, QStringLiteral("Images"));
        QCOMPARE(selection(h), QStringLiteral("1 1 111111"));
        QCOMPARE(h.main().FileList.listCount(), 1);

        // A name with blanks is kept exactly; both lists show it, nothing
        // is chosen afterwards.
        h.dialogs.type(QStringLiteral("  My Pics "));
        pref.PrefButton_Click(PrefForm::ChangeName);
        QCOMPARE(record(h.g.Types[1]),
                 QStringList({QStringLiteral("  My Pics "), QStringLiteral("png"), images_,
                              QStringLiteral("Pictures"), apps_ + QStringLiteral("viewer")}));
        QCOMPARE(h.names(), QStringList({QStringLiteral("Text"), QStringLiteral("  My Pics "),
                                         QStringLiteral("Notes")}));
        QCOMPARE(refillFault(h), QString());

        // The name of another type is accepted too.
        h.main().TypeCombo.setListIndex(2);
        h.dialogs.type(QStringLiteral("Text"));
        pref.PrefButton_Click(PrefForm::ChangeName);
        QCOMPARE(h.dialogs.shown.last().input.defaultText, QStringLiteral("Notes"));
        QCOMPARE(h.names(),
                 QStringList({QStringLiteral("Text"), QStringLiteral("  My Pics "), QStringLiteral("Text")}));
        QCOMPARE(refillFault(h), QString());
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void changePathTakesTheChosenFilesFolder()
    {
        Harness h;
        setUp(h);
        auto& pref = h.pref();
        h.main().TypeCombo.setListIndex(0);
        const QString viewBefore = pref.PrefDir.folder() + u'|' + pref.PrefFile.folder();

        // Cancelled: nothing.
        h.dialogs.cancelFile();
        pref.PrefButton[3].click();
        QCOMPARE(h.dialogs.texts(), QStringList({QStringLiteral("Text (*.txt)|*.txt")}));
        QCOMPARE(h.dialogs.shown.at(0).file.initialFolder, text_);
        QCOMPARE(h.dialogs.shown.at(0).file.fileName, QString());
        QCOMPARE(h.g.Types[0].Path, text_);

        // A file of another type in a folder with capitals and a blank.
        h.dialogs.choose(other_ + QStringLiteral("Y.DOC"));
        pref.PrefButton_Click(PrefForm::ChangePath);
        QVERIFY(other_.endsWith(QStringLiteral("/Other Stuff/")));
        QCOMPARE(record(h.g.Types[0]),
                 QStringList({QStringLiteral("Text"), QStringLiteral("txt"), other_,
                              QStringLiteral("Plain text"), apps_ + QStringLiteral("editor")}));
        // The view stays where it was; nothing is refilled.
        QCOMPARE(pref.PrefDir.folder() + u'|' + pref.PrefFile.folder(), viewBefore);
        QCOMPARE(selection(h), QStringLiteral("0 0 111111"));
        QCOMPARE(pref.PrefFile.item(0), QStringLiteral("a.txt"));

        // The next dialog starts in the new folder with an empty name;
        // cancelling it keeps the new folder.
        h.dialogs.cancelFile();
        pref.PrefButton_Click(PrefForm::ChangePath);
        QCOMPARE(h.dialogs.shown.size(), 3);
        QCOMPARE(h.dialogs.shown.at(2).file.initialFolder, other_);
        QCOMPARE(h.dialogs.shown.at(2).file.fileName, QString());
        QCOMPARE(h.g.Types[0].Path, other_);
        QCOMPARE(h.g.NumberOfTypes, 3);

        // Choosing the type again shows the new folder.
        h.main().TypeCombo.setListIndex(0);
        QCOMPARE(pref.PrefDir.folder(), QDir::cleanPath(other_));
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void changeDescriptionReplacesItAndRefills()
    {
        Harness h;
        setUp(h);
        auto& pref = h.pref();

        h.dialogs.type(QString());
        pref.PrefButton[4].click();
        QCOMPARE(h.dialogs.texts(), QStringList({QStringLiteral("New description for this type?")}));
        QCOMPARE(h.dialogs.shown.at(0).input.defaultText, QStringLiteral("Pictures"));
        QCOMPARE(fixedFields(h.dialogs.shown.at(0)), QStringLiteral("Orvane orvane.hlp 9"));
        QCOMPARE(h.g.Types[1].Desc, QStringLiteral("Pictures"));
        QCOMPARE(selection(h), QStringLiteral("1 1 111111"));
        QCOMPARE(pref.DescLabel.text(), QStringLiteral("Pictures"));

        h.dialogs.type(QStringLiteral(" Photos & drawings "));
        pref.PrefButton_Click(PrefForm::ChangeDescription);
        QCOMPARE(record(h.g.Types[1]),
                 QStringList({QStringLiteral("Images"), QStringLiteral("png"), images_,
                              QStringLiteral(" Photos & drawings "), apps_ + QStringLiteral("viewer")}));
        QCOMPARE(h.g.Types[0].Desc, QStringLiteral("Plain text"));
        QCOMPARE(pref.DescLabel.text(), QString());
        QCOMPARE(refillFault(h), QString());

        // Shown when the type is chosen again.
        h.main().TypeCombo.setListIndex(1);
        QCOMPARE(pref.DescLabel.text(), QStringLiteral(" Photos & drawings "));
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void removeTypeAsksAndMovesTheRestDown()
    {
        Harness h;
        setUp(h);
        auto& pref = h.pref();
        const QStringList notes = record(h.g.Types[2]);
        const QStringList images = record(h.g.Types[1]);
        const auto question = [](const QString& name) {
            return QStringLiteral("Are you sure you wish to remove the listing - ") + name + u'?';
        };

        // No: kept.
        h.dialogs.answer(Answer::No);
        pref.PrefButton[5].click();
        QCOMPARE(h.dialogs.texts(), QStringList({question(QStringLiteral("Images"))}));
        QCOMPARE(fixedFields(h.dialogs.shown.at(0)), QStringLiteral("Orvane orvane.hlp 9 1"));
        QCOMPARE(h.g.NumberOfTypes, 3);
        QCOMPARE(selection(h), QStringLiteral("1 1 111111"));

        // The first of three.
        h.main().TypeCombo.setListIndex(0);
        h.dialogs.answer(Answer::Yes);
        pref.PrefButton_Click(PrefForm::RemoveType);
        QCOMPARE(h.dialogs.shown.last().message.text, question(QStringLiteral("Text")));
        QCOMPARE(h.g.NumberOfTypes, 2);
        QCOMPARE(record(h.g.Types[0]), images);
        QCOMPARE(record(h.g.Types[1]), notes);
        QCOMPARE(refillFault(h), QString());

        // The last of three.
        h.addType(QStringLiteral("Last"), QStringLiteral("log"), text_);
        h.main().TypeCombo.setListIndex(2);
        h.dialogs.answer(Answer::Yes);
        pref.PrefButton_Click(PrefForm::RemoveType);
        QCOMPARE(h.names(), QStringList({QStringLiteral("Images"), QStringLiteral("Notes")}));
        QCOMPARE(record(h.g.Types[1]), notes);
        QCOMPARE(refillFault(h), QString());

        // Down to the only one, then none.
        h.main().TypeCombo.setListIndex(1);
        h.dialogs.answer(Answer::Yes);
        pref.PrefButton_Click(PrefForm::RemoveType);
        QCOMPARE(h.names(), QStringList({QStringLiteral("Images")}));
        h.main().TypeCombo.setListIndex(0);
        h.dialogs.answer(Answer::Yes);
        pref.PrefButton_Click(PrefForm::RemoveType);
        QCOMPARE(h.g.NumberOfTypes, 0);
        QCOMPARE(h.main().TypeCombo.listCount() + pref.TypeCombo.listCount(), 0);
        QCOMPARE(refillFault(h), QString());
        QCOMPARE(h.dialogs.shown.size(), 5);
        QCOMPARE(h.dialogs.pending(), 0);
    }
};

QTEST_MAIN(TestPrefCommands)
#include "tst_prefcommands.moc"
