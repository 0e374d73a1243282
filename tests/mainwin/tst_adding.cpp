#include <QSettings>
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

const QString kNamePrompt = QStringLiteral("Enter the name you would like to call this type of file.");
const QString kDescPrompt = QStringLiteral("Enter a description.");
const QString kChooseApp =
    QStringLiteral("No application is setup to handle this type of file.  Would you like to choose one?");

// "a|b|c" as a list.
QStringList split(const QString& names)
{
    return names.split(u'|');
}

QStringList items(const platform::ComboBox& combo)
{
    QStringList out;
    for (int i = 0; i < combo.listCount(); ++i) {
        out.append(combo.item(i));
    }
    return out;
}

void checkInput(const ShownBox& box, const QString& prompt)
{
    QCOMPARE(box.kind, ShownBox::Kind::Input);
    QCOMPARE(box.input.prompt, prompt);
    QCOMPARE(box.input.title, QStringLiteral("Orvane"));
    QCOMPARE(box.input.defaultText, QString());
    QCOMPARE(box.input.helpFile, QStringLiteral("orvane.hlp"));
    QCOMPARE(box.input.helpNumber, 6);
}

void checkSampleDialog(const ShownBox& box, const QString& initialFolder)
{
    QCOMPARE(box.kind, ShownBox::Kind::File);
    QCOMPARE(box.file.initialFolder, initialFolder);
    QCOMPARE(box.file.fileName, QString());
    QCOMPARE(box.file.filter, QStringLiteral("*.*|*.*"));
}

void checkRefilled(Harness& h, const QStringList& names)
{
    for (platform::ComboBox* combo : {&h.main().TypeCombo, &h.pref().TypeCombo}) {
        QCOMPARE(items(*combo), names);
        QCOMPARE(combo->listIndex(), -1);
        QCOMPARE(combo->text(), QString());
    }
    QCOMPARE(h.main().FileList.listCount(), 0);
    QCOMPARE(h.pref().PrefFile.listCount(), 0);
}

// A record's name, ext, path, desc and app.
QStringList fields(const TypeRecord& r)
{
    return {r.Name, r.Ext, r.Path, r.Desc, r.App};
}

// One type "Texts" over a folder holding a.txt, chosen in the main window.
QString startWithTexts(Harness& h, const QString& app = QStringLiteral("/usr/bin/viewer"))
{
    h.start();
    const QString texts = h.folder(QStringLiteral("Texts"));
    h.file(texts, QStringLiteral("a.txt"));
    h.addType(QStringLiteral("Texts"), QStringLiteral("txt"), texts, QStringLiteral("Plain"), app);
    h.main().TypeCombo.setListIndex(0);
    return texts;
}

void checkStillChosen(Harness& h, int count)
{
    QCOMPARE(h.g.NumberOfTypes, count);
    QCOMPARE(static_cast<int>(h.g.Types.size()), count + 1);
    QCOMPARE(h.main().TypeCombo.listIndex(), 0);
    QCOMPARE(h.main().FileList.listCount(), 1);
}

} // namespace

class TestAdding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addedTypeComesLastAndIsNotSaved()
    {
        Harness h(test::settingsFor({split(QStringLiteral("Texts|txt|/nowhere/|Plain|/usr/bin/viewer"))}));
        h.start();
        const QString before = h.settingsText();
        QVERIFY(!before.isEmpty());
        h.g.Types[0].Path = h.folder(QStringLiteral("Texts"));
        h.file(h.g.Types[0].Path, QStringLiteral("a.txt"));
        h.main().TypeCombo.setListIndex(0);

        const QString sample = h.file(h.folder(QStringLiteral("Docs")), QStringLiteral("Report.Tar.GZ"));
        h.associations.apps[QStringLiteral("tar.gz")] = QStringLiteral("/usr/bin/unpacker");
        h.dialogs.choose(sample).type(QStringLiteral("Reports")).type(QStringLiteral("Packed reports"));
        h.main().MnuAddType_Click();

        QCOMPARE(h.dialogs.shown.size(), 3);
        checkSampleDialog(h.dialogs.shown[0], QString());
        checkInput(h.dialogs.shown[1], kNamePrompt);
        checkInput(h.dialogs.shown[2], kDescPrompt);
        QCOMPARE(h.associations.asked, QStringList{sample});
        QCOMPARE(h.g.NumberOfTypes, 2);
        QCOMPARE(h.g.Types.size(), std::size_t{2});
        QCOMPARE(fields(h.g.Types[1]),
                 QStringList({QStringLiteral("Reports"), QStringLiteral("tar.gz"),
                              h.dir.path() + QStringLiteral("/Docs/"), QStringLiteral("Packed reports"),
                              QStringLiteral("/usr/bin/unpacker")}));
        checkRefilled(h, split(QStringLiteral("Texts|Reports")));

        // The same name again; an empty description; the association's path
        // ends at its first NUL.
        const QString note = h.file(h.folder(QStringLiteral("Notes")), QStringLiteral("n.TXT"));
        h.associations.apps[QStringLiteral("txt")] =
            QStringLiteral("/usr/bin/viewer") + QChar(u'\0') + QStringLiteral("junk");
        h.dialogs.choose(note).type(QStringLiteral("Reports")).type(QString());
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.shown.size(), 6);
        QCOMPARE(h.g.NumberOfTypes, 3);
        QCOMPARE(fields(h.g.Types[2]), QStringList({QStringLiteral("Reports"), QStringLiteral("txt"),
                                                    h.dir.path() + QStringLiteral("/Notes/"), QString(),
                                                    QStringLiteral("/usr/bin/viewer")}));
        checkRefilled(h, split(QStringLiteral("Texts|Reports|Reports")));

        QCOMPARE(h.settingsText(), before);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void noAssociationAsksForAProgram()
    {
        Harness h;
        startWithTexts(h);
        const QString sample = h.file(h.folder(QStringLiteral("Odd")), QStringLiteral("x.abc"));

        const auto script = [&](Answer answer) {
            h.dialogs.choose(sample).type(QStringLiteral("Abc")).type(QStringLiteral("d")).answer(answer);
        };

        // No: the addition stops.
        script(Answer::No);
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.shown.size(), 4);
        const auto& question = h.dialogs.shown[3].message;
        QCOMPARE(question.text, kChooseApp);
        QCOMPARE(question.buttons, Buttons::YesNo);
        QCOMPARE(question.icon, Icon::None);
        QCOMPARE(question.title, QStringLiteral("Orvane"));
        QCOMPARE(question.helpNumber, 6);
        checkStillChosen(h, 1);

        // Yes, then no program chosen: stops as well.
        script(Answer::Yes);
        h.dialogs.cancelFile();
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.shown.size(), 9);
        const auto& programs = h.dialogs.shown[8];
        QCOMPARE(programs.kind, ShownBox::Kind::File);
        QCOMPARE(programs.file.fileName, QString());
        QCOMPARE(programs.file.filter, QStringLiteral("Programs (*)|*"));
        checkStillChosen(h, 1);

        // Yes, and a program: added with it.
        script(Answer::Yes);
        h.dialogs.choose(QStringLiteral("/opt/Abc Tool/abc"));
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.shown.size(), 14);
        QCOMPARE(h.g.NumberOfTypes, 2);
        QCOMPARE(h.g.Types[1].App, QStringLiteral("/opt/Abc Tool/abc"));
        QCOMPARE(h.g.Types[1].Ext, QStringLiteral("abc"));
        checkRefilled(h, split(QStringLiteral("Texts|Abc")));
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void abandonedAdditionsStopQuietly()
    {
        Harness h;
        const QString tool = QStringLiteral("/opt/Tools/View");
        h.starter.failing.append(tool);
        startWithTexts(h, tool);
        // Looking for a program leaves its folder as the dialog's start.
        h.dialogs.answer(Answer::Yes).cancelFile();
        h.main().FileList.setListIndex(0);
        h.main().FileList_DblClick();
        QCOMPARE(h.dialogs.shown.size(), 2);

        // Cancelled: the lists are refilled all the same.
        h.dialogs.cancelFile();
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.shown.size(), 3);
        checkSampleDialog(h.dialogs.shown[2], QStringLiteral("/opt/Tools/"));
        QCOMPARE(static_cast<int>(h.g.Types.size()), 2);
        QCOMPARE(h.g.NumberOfTypes, 1);
        checkRefilled(h, split(QStringLiteral("Texts")));

        // A sample without an ending, one ending in its only dot, and no
        // name: stop without a word, the choice kept.
        h.main().TypeCombo.setListIndex(0);
        const QString odd = h.folder(QStringLiteral("Odd.dir"));
        h.dialogs.choose(h.file(odd, QStringLiteral("README")));
        h.main().MnuAddType_Click();
        h.dialogs.choose(h.file(odd, QStringLiteral("trail.")));
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.shown.size(), 5);
        checkStillChosen(h, 1);
        h.dialogs.choose(h.file(odd, QStringLiteral("x.abc"))).type(QString());
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.shown.size(), 7);
        checkInput(h.dialogs.shown[6], kNamePrompt);
        checkStillChosen(h, 1);
        QVERIFY(h.associations.asked.isEmpty());
        QCOMPARE(h.starter.started.size(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void halfFilledSlotIsNeverSaved()
    {
        Harness h;
        h.start();
        const QString docs = h.folder(QStringLiteral("Docs"));
        h.associations.apps[QStringLiteral("txt")] = QStringLiteral("/usr/bin/viewer");
        const auto abandon = [&](const QString& file, const QString& name, const QString& desc) {
            h.dialogs.choose(h.file(docs, file)).type(name).type(desc).answer(Answer::No);
            h.main().MnuAddType_Click();
        };

        abandon(QStringLiteral("g.ghost"), QStringLiteral("Ghost"), QStringLiteral("Ghostly"));
        QCOMPARE(h.g.NumberOfTypes, 0);
        QCOMPARE(h.g.Types[0].Name, QStringLiteral("Ghost"));
        h.dialogs.choose(h.file(docs, QStringLiteral("a.txt"))).type(QStringLiteral("Texts")).type(QString());
        h.main().MnuAddType_Click();
        QCOMPARE(h.g.NumberOfTypes, 1);
        const QStringList expected{QStringLiteral("Texts"), QStringLiteral("txt"), docs, QString(),
                                   QStringLiteral("/usr/bin/viewer")};
        QCOMPARE(fields(h.g.Types[0]), expected);
        abandon(QStringLiteral("l.left"), QStringLiteral("Leftover"), QStringLiteral("Left behind"));
        QCOMPARE(h.g.Types.size(), std::size_t{2});
        QCOMPARE(h.main().TypeCombo.listCount(), 1);

        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QVERIFY(!h.settingsText().contains(QStringLiteral("Left")));
        QSettings saved(h.settingsPath(), QSettings::IniFormat);
        QCOMPARE(saved.value(QStringLiteral("Types/Number Of Types")).toString(), QStringLiteral("1"));
        QStringList stored;
        for (const QString& key : split(QStringLiteral("name|ext|path|desc|app"))) {
            stored.append(saved.value(QStringLiteral("Types/Type %1 0").arg(key)).toString());
        }
        QCOMPARE(stored, expected);
        QVERIFY(!saved.contains(QStringLiteral("Types/Type name 1")));
        QCOMPARE(h.dialogs.pending(), 0);
    }

    void countAtItsLimitIsReported()
    {
        Harness h;
        h.start();
        h.g.Types.resize(32768);
        h.g.NumberOfTypes = 32767;
        h.associations.apps[QStringLiteral("txt")] = QStringLiteral("/usr/bin/viewer");
        const QString sample = h.file(h.folder(QStringLiteral("Docs")), QStringLiteral("a.txt"));
        h.dialogs.choose(sample).type(QStringLiteral("Many")).type(QStringLiteral("More")).answer(Answer::Ok);
        h.main().MnuAddType_Click();

        QCOMPARE(h.dialogs.shown.size(), 4);
        const auto& report = h.dialogs.shown[3].message;
        QCOMPARE(report.text, QStringLiteral("An error has occurred.  Please report the information below to "
                                             "Velcora Software so that it can be corrected.\r\n\r\n"
                                             "Description: Overflow\r\nNumber: 6\r\nCode: MFMATC"));
        QCOMPARE(report.buttons, Buttons::Ok);
        QCOMPARE(report.icon, Icon::Critical);
        QCOMPARE(report.title, QStringLiteral("Orvane"));
        QCOMPARE(report.helpFile, QStringLiteral("orvane.hlp"));
        QCOMPARE(report.helpNumber, 3);
        QCOMPARE(h.g.NumberOfTypes, 32767);
        QCOMPARE(h.g.ErrorCount, 1);
        QCOMPARE(h.main().TypeCombo.listCount(), 0);
        QCOMPARE(h.dialogs.pending(), 0);
    }
};

QTEST_MAIN(TestAdding)
#include "tst_adding.moc"
