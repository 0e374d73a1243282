#include <QTest>

#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;
using platform::Answer;

using namespace orvane::test;

const QString kSample = u"*.*|*.*"_s, kDesc = u"Enter a description."_s, kPrograms = u"Programs (*)|*"_s;
const QString kName = u"Enter the name you would like to call this type of file."_s;
const QString kChoose =
    u"No application is setup to handle this type of file.  Would you like to choose one?"_s;

class TestMainForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosingATypeShowsItsFiles()
    {
        test::Harness h;
        h.start();
        const QString mixed = h.folder(u"Mixed"_s);
        for (const auto& name :
             u"m.Txt a.txt B.TXT b2.txt c.doc notes txt .hidden.txt x.tar.gz Z.TAR.GZ w.tar.gz.bak"_s.split(
                 u' '))
            h.file(mixed, name);
        QDir().mkpath(mixed + u"sub.txt"_s);
        h.addType(u"Texts"_s, u"doc"_s, mixed, u"Documents"_s);
        h.addType(u"Texts"_s, u"txt"_s, mixed, u"Plain text"_s);
        h.addType(u"Packed"_s, u"tar.gz"_s, mixed, u"Archives"_s);
        h.addType(u"Bare"_s, QString(), mixed, u"No ending"_s);
        h.addType(u"Texts"_s, u"txt"_s, h.dir.filePath(u"Gone/"_s), u"Went away"_s);
        const auto pick = [&](int position) { return h.main().TypeCombo.setListIndex(position), h.shown(); };
        QCOMPARE(pick(1), showing(u"1 Texts|a.txt,B.TXT,b2.txt,m.Txt|Plain text|111111"_s));
        // Text in the type box that names no type changes no list or description.
        h.main().TypeCombo.setText(u"Nothing"_s);
        QCOMPARE(h.shown(), showing(u"-1 Nothing|a.txt,B.TXT,b2.txt,m.Txt|Plain text|111111"_s));
        QCOMPARE(pick(2), showing(u"2 Packed|x.tar.gz,Z.TAR.GZ|Archives|111111"_s));
        QCOMPARE(pick(3), showing(u"3 Bare|notes,txt|No ending|111111"_s));

        // The last "Texts" has lost its folder: answering No removes that one, not the first.
        h.dialogs.answer(Answer::No);
        QCOMPARE(pick(4), showing(u"-1 |-1 |||No ending||010000"_s));
        QCOMPARE(h.dialogs.texts(), QStringList{test::kPathMissing});
        QCOMPARE(items(h.main().TypeCombo) + u' ' + items(h.pref().TypeCombo),
                 u"Texts,Texts,Packed,Bare Texts,Texts,Packed,Bare"_s);
    }

    void openingAFile()
    {
        test::Harness h;
        h.start();
        const QString docs = h.folder(u"Docs"_s), app = u"/opt/My Apps/text viewer"_s;
        const QString odd = u"say \"hi\" it's $HOME;ls.txt"_s, other = u"/usr/local/bin/New Viewer"_s;
        for (const auto& name : {odd, u"my report.txt"_s, u"empty.txt"_s})
            h.file(docs, name);
        h.addType(u"Texts"_s, u"txt"_s, docs, u"Plain text"_s, app);
        h.addType(u"Others"_s, u"txt"_s, docs, u"Other text"_s, u"/usr/bin/other"_s);
        h.main().TypeCombo.setListIndex(0);
        const auto open = [&](int row) { h.main().FileList.setListIndex(row), h.main().FileList_DblClick(); };
        open(2);
        QCOMPARE(h.starter.started.value(0).program + u'|' + h.starter.started.value(0).arguments.join(u'|'),
                 app + u'|' + docs + odd);

        // A file deleted since the list was filled: nothing opens.
        QVERIFY(QFile::remove(docs + u"my report.txt"_s));
        open(1);

        // The app fails to start: No, No changes nothing; Yes replaces the app; No, Yes removes the type.
        h.starter.failing << app << other;
        h.dialogs.answer(Answer::No).answer(Answer::No);
        open(0);
        QCOMPARE(h.names().join(u',') + u' ' + h.g.Types[0].App, u"Texts,Others "_s + app);
        QCOMPARE(h.shown().section(u", main files"_s, 0, 0),
                 u"main type \"0 Texts\", preferences type \"0 Texts\""_s);
        h.dialogs.answer(Answer::Yes).choose(other);
        open(0);
        const auto& chooser = h.dialogs.shown[3].file;
        QCOMPARE(chooser.initialFolder + u'|' + chooser.fileName + u'|' + h.g.Types[0].App,
                 u"/opt/My Apps/|"_s + app + u'|' + other);
        h.dialogs.answer(Answer::No).answer(Answer::Yes);
        open(0);
        const QString look =
            u"No application was found to open this type with.  Would you like to look for it now?"_s;
        const QString remove = u"Would you like to delete this type?"_s;
        QCOMPARE(h.dialogs.texts(), QStringList({look, remove, look, kPrograms, look, remove}));
        QCOMPARE(h.dialogs.shown[0].help(), u"Orvane orvane.hlp 8"_s);
        QCOMPARE(h.starter.started.size(), 1);
        QCOMPARE(items(h.main().TypeCombo) + u' ' + items(h.pref().TypeCombo), u"Others Others"_s);
        QCOMPARE(h.shown(), showing(u"-1 ||Plain text|010000"_s));
    }

    void addingTypes()
    {
        test::Harness h;
        h.start();
        const QString docs = h.folder(u"Docs"_s), odd = h.folder(u"Odd.dir"_s);
        h.addType(u"Texts"_s, u"txt"_s, docs, u"Plain"_s, u"/usr/bin/viewer"_s);
        QStringList after; // each addition's type list, and the position chosen there
        const auto add = [&] {
            h.main().TypeCombo.setListIndex(0);
            h.main().MnuAddType_Click();
            after << items(h.main().TypeCombo) + u'@' + QString::number(h.main().TypeCombo.listIndex());
        };
        // No sample: the lists are refilled. No ending, no name, no program: stop, the choice kept.
        h.dialogs.cancelFile();
        h.dialogs.choose(h.file(odd, u"README"_s)).choose(h.file(odd, u"x.abc"_s)).type(QString());
        h.dialogs.choose(odd + u"x.abc"_s).type(u"Abc"_s).type(u"Half"_s).answer(Answer::No);
        h.dialogs.choose(odd + u"x.abc"_s).type(u"Abc"_s).type(u"Half"_s).answer(Answer::Yes).cancelFile();
        for (int i = 0; i < 5; ++i)
            add();
        // An association: its path up to a NUL.
        h.associations.apps[u"tar.gz"_s] = u"/usr/bin/unpacker"_s + QChar(u'\0') + u"junk"_s;
        h.dialogs.choose(h.file(docs, u"Report.Tar.GZ"_s)).type(u"Reports"_s).type(u"Packed"_s);
        add();
        const TypeRecord& r = h.g.Types[1];
        QCOMPARE(QStringList({r.Name, r.Ext, r.Path, r.Desc, r.App}),
                 QStringList({u"Reports"_s, u"tar.gz"_s, docs, u"Packed"_s, u"/usr/bin/unpacker"_s}));
        // No association: the program chosen, kept as chosen.
        h.dialogs.choose(odd + u"x.abc"_s).type(u"Abc"_s).type({}).answer(Answer::Yes).choose(u"/opt/A b"_s);
        add();
        QCOMPARE(after, QStringList({u"Texts@-1"_s, u"Texts@0"_s, u"Texts@0"_s, u"Texts@0"_s, u"Texts@0"_s,
                                     u"Texts,Reports@-1"_s, u"Texts,Reports,Abc@-1"_s}));
        QCOMPARE(h.g.Types[2].App + u'|' + h.g.Types[2].Path, u"/opt/A b|"_s + odd);
        QCOMPARE(h.dialogs.shown[3].help() + u' ' + h.dialogs.shown[7].help(),
                 u"Orvane orvane.hlp 6 Orvane orvane.hlp 6"_s);
        QCOMPARE(h.settingsText(), QString()); // nothing is stored until the end

        // At the count's limit the addition is reported once all is asked.
        h.g.Types.resize(32768);
        h.g.NumberOfTypes = 32767;
        h.dialogs.choose(docs + u"a.tar.gz"_s).type(u"M"_s).type(u"N"_s).answer(Answer::Ok);
        h.main().MnuAddType_Click();
        const QString full = test::kReport + u"Overflow\r\nNumber: 6\r\nCode: MFMATC"_s;
        QCOMPARE(h.dialogs.texts(),
                 QStringList({kSample, kSample, kSample,   kName,     kSample, kName, kDesc, kChoose, kSample,
                              kName,   kDesc,   kChoose,   kPrograms, kSample, kName, kDesc, kSample, kName,
                              kDesc,   kChoose, kPrograms, kSample,   kName,   kDesc, full}));
        QCOMPARE(h.g.NumberOfTypes, 32767);
    }

    // A checkpoint and the end signals save too: the process tests see them.
    void closingSavesAndClosingPreferencesOnlyHidesIt()
    {
        test::Harness h("[Types]\nNumber Of Types=1\nType name 0=Old\n");
        h.start();
        h.pref().show();
        h.pref().close();
        QVERIFY(!h.pref().isVisible());
        h.g.Types[0].Name = u"Closed"_s;
        QCOMPARE(h.endingCode([&] { h.main().close(); }), 0);
        QVERIFY(h.settingsText().contains(u"Type%20name%200=Closed\n"_s));
        QVERIFY(h.dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
