#include <QFile>
#include <QTest>

#include "support/harness.h"

using namespace orvane;
using orvane::platform::Answer;
using orvane::platform::Buttons;
using orvane::platform::Icon;
using orvane::test::Harness;
using orvane::test::ShownBox;

namespace {

const QString kViewer = QStringLiteral("/opt/My Apps/text viewer");
const QString kLookFor =
    QStringLiteral("No application was found to open this type with.  Would you like to look for it now?");
const QString kDelete = QStringLiteral("Would you like to delete this type?");

// A folder "Docs" of text files, shown in the main window as type 0.
QString prepare(Harness& h, const QString& app = kViewer)
{
    h.start();
    const QString docs = h.folder(QStringLiteral("Docs"));
    h.file(docs, QStringLiteral("my report.txt"), "report");
    h.file(docs, QStringLiteral("say \"hi\" it's $HOME;ls `id`.txt"), "quoted");
    h.file(docs, QStringLiteral("empty.txt"));
    h.addType(QStringLiteral("Texts"), QStringLiteral("txt"), docs, QStringLiteral("Plain text"), app);
    h.addType(QStringLiteral("Others"), QStringLiteral("txt"), h.folder(QStringLiteral("Others")),
              QStringLiteral("Other text"), QStringLiteral("/usr/bin/other"));
    h.main().TypeCombo.setListIndex(0);
    return docs;
}

// Every start so far, as "program: argument" (arguments one a line).
QStringList starts(const Harness& h)
{
    QStringList out;
    for (const auto& start : h.starter.started) {
        out.append(start.program + QStringLiteral(": ") + start.arguments.join(u'\n'));
    }
    return out;
}

// Double-clicks a file of the main list by name.
void open(Harness& h, const QString& name)
{
    auto& list = h.main().FileList;
    for (int i = 0; i < list.listCount(); ++i) {
        if (list.item(i) == name) {
            list.setListIndex(i);
            h.main().FileList_DblClick();
            return;
        }
    }
    QFAIL(qPrintable(name));
}

void checkQuestion(const ShownBox& box, const QString& text)
{
    QCOMPARE(box.kind, ShownBox::Kind::Message);
    QCOMPARE(box.message.text, text);
    QCOMPARE(box.message.buttons, Buttons::YesNo);
    QCOMPARE(box.message.icon, Icon::None);
    QCOMPARE(box.message.title, QStringLiteral("Orvane"));
    QCOMPARE(box.message.helpFile, QStringLiteral("orvane.hlp"));
    QCOMPARE(box.message.helpNumber, 8);
}

} // namespace

class TestOpening : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fileIsHandedToTheAppUnchanged()
    {
        Harness h;
        const QString docs = prepare(h);
        QCOMPARE(h.main().FileList.listCount(), 3);

        open(h, QStringLiteral("my report.txt"));
        open(h, QStringLiteral("say \"hi\" it's $HOME;ls `id`.txt"));
        open(h, QStringLiteral("empty.txt"));
        const QString viewer = kViewer + QStringLiteral(": ") + docs;
        QCOMPARE(starts(h), QStringList({viewer + QStringLiteral("my report.txt"),
                                         viewer + QStringLiteral("say \"hi\" it's $HOME;ls `id`.txt"),
                                         viewer + QStringLiteral("empty.txt")}));

        // The user double-clicks an item: a click, then the double click.
        h.main().show();
        QVERIFY(QTest::qWaitForWindowExposed(&h.main()));
        auto& list = h.main().FileList;
        const QRect rect = list.visualRect(list.model()->index(2, 0));
        QVERIFY(rect.isValid());
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(h.starter.started.size(), 3);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(list.listIndex(), 2);
        QCOMPARE(starts(h).size(), 4);
        QCOMPARE(starts(h).last(), viewer + list.item(2));
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void nothingOpensWithoutAnExistingFile()
    {
        Harness h;
        const QString docs = prepare(h);
        auto& main = h.main();

        // No file chosen.
        main.FileList.setListIndex(-1);
        main.FileList_DblClick();
        // No type chosen, though the list still shows files.
        main.FileList.setListIndex(0);
        main.TypeCombo.setText(QStringLiteral("Text"));
        QCOMPARE(main.TypeCombo.listIndex(), -1);
        main.FileList_DblClick();
        main.TypeCombo.setListIndex(0);

        // A file deleted after the list was filled.
        QVERIFY(QFile::remove(docs + QStringLiteral("my report.txt")));
        QCOMPARE(main.FileList.item(1), QStringLiteral("my report.txt"));
        open(h, QStringLiteral("my report.txt"));

        // A folder stored without its separator: the name is joined as is.
        h.g.Types[0].Path = docs.chopped(1);
        open(h, QStringLiteral("empty.txt"));

        QCOMPARE(h.starter.started.size(), 0);
        QCOMPARE(h.dialogs.shown.size(), 0);
        QCOMPARE(h.g.NumberOfTypes, 2);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void theChosenTypeNamesFolderAndApp()
    {
        // The file list still shows the first type's files after the user
        // typed the second type's name: the second type's folder and app are
        // used with the chosen name.
        Harness h;
        prepare(h);
        const QString others = h.dir.path() + QStringLiteral("/Others/");
        h.file(others, QStringLiteral("empty.txt"));
        h.main().TypeCombo.setText(QStringLiteral("Others"));
        QCOMPARE(h.main().FileList.listCount(), 3);
        open(h, QStringLiteral("empty.txt"));
        QCOMPARE(starts(h),
                 QStringList{QStringLiteral("/usr/bin/other: ") + others + QStringLiteral("empty.txt")});
        QCOMPARE(h.g.CurType, 1);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void failedStartOffersToLookForTheApp()
    {
        { // Yes, and a program chosen: it becomes the app; nothing opens.
            Harness h;
            const QString lost = QStringLiteral("/opt/Lost Apps/Viewer");
            h.starter.failing.append(lost);
            prepare(h, lost);
            h.dialogs.answer(Answer::Yes).choose(QStringLiteral("/usr/local/bin/New Viewer"));
            open(h, QStringLiteral("my report.txt"));
            QCOMPARE(h.dialogs.shown.size(), 2);
            checkQuestion(h.dialogs.shown[0], kLookFor);
            const auto& dialog = h.dialogs.shown[1];
            QCOMPARE(dialog.kind, ShownBox::Kind::File);
            QCOMPARE(dialog.file.initialFolder, QStringLiteral("/opt/Lost Apps/"));
            QCOMPARE(dialog.file.fileName, lost);
            QCOMPARE(dialog.file.filter, QStringLiteral("Programs (*)|*"));
            QCOMPARE(h.g.Types[0].App, QStringLiteral("/usr/local/bin/New Viewer"));
            QCOMPARE(h.starter.started.size(), 0);
            QCOMPARE(h.main().TypeCombo.listIndex(), 0);
            QCOMPARE(h.main().FileList.listCount(), 3);
            QCOMPARE(h.dialogs.pending(), 0);
        }
        { // Yes, then cancelled: the app stays; an empty app fails too.
            Harness h;
            prepare(h, QString());
            h.dialogs.answer(Answer::Yes).cancelFile();
            open(h, QStringLiteral("empty.txt"));
            QCOMPARE(h.dialogs.shown.size(), 2);
            checkQuestion(h.dialogs.shown[0], kLookFor);
            QCOMPARE(h.dialogs.shown[1].file.initialFolder, QString());
            QCOMPARE(h.dialogs.shown[1].file.fileName, QString());
            QCOMPARE(h.g.Types[0].App, QString());
            QCOMPARE(h.g.NumberOfTypes, 2);
            QCOMPARE(h.starter.started.size(), 0);
            QCOMPARE(h.dialogs.pending(), 0);
        }
    }

    void declinedLookOffersToDeleteTheType()
    {
        { // No, No: nothing changes.
            Harness h;
            h.starter.failing.append(kViewer);
            prepare(h);
            h.dialogs.answer(Answer::No).answer(Answer::No);
            open(h, QStringLiteral("my report.txt"));
            QCOMPARE(h.dialogs.shown.size(), 2);
            checkQuestion(h.dialogs.shown[0], kLookFor);
            checkQuestion(h.dialogs.shown[1], kDelete);
            QCOMPARE(h.names(), QStringList({QStringLiteral("Texts"), QStringLiteral("Others")}));
            QCOMPARE(h.g.Types[0].App, kViewer);
            QCOMPARE(h.main().TypeCombo.listIndex(), 0);
            QCOMPARE(h.main().FileList.listCount(), 3);
            QCOMPARE(h.main().FileList.listIndex(), 1);
            QCOMPARE(h.starter.started.size(), 0);
            QCOMPARE(h.dialogs.pending(), 0);
        }
        { // No, Yes: the type goes and both lists are refilled.
            Harness h;
            h.starter.failing.append(kViewer);
            prepare(h);
            h.dialogs.answer(Answer::No).answer(Answer::Yes);
            open(h, QStringLiteral("empty.txt"));
            QCOMPARE(h.dialogs.shown.size(), 2);
            checkQuestion(h.dialogs.shown[1], kDelete);
            QCOMPARE(h.names(), QStringList{QStringLiteral("Others")});
            for (platform::ComboBox* combo : {&h.main().TypeCombo, &h.pref().TypeCombo}) {
                QCOMPARE(combo->listCount(), 1);
                QCOMPARE(combo->item(0), QStringLiteral("Others"));
                QCOMPARE(combo->listIndex(), -1);
                QCOMPARE(combo->text(), QString());
            }
            QCOMPARE(h.main().FileList.listCount(), 0);
            QCOMPARE(h.pref().PrefFile.listCount(), 0);
            QCOMPARE(h.main().DescLabel.text(), QStringLiteral("Plain text"));
            QCOMPARE(h.starter.started.size(), 0);
            QCOMPARE(h.dialogs.pending(), 0);
        }
    }
};

QTEST_MAIN(TestOpening)
#include "tst_opening.moc"
