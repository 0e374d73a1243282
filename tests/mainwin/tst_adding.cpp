#include <QAbstractItemView>
#include <QSettings>
#include <QStringListModel>
#include <QTest>

#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;
using platform::Answer;

class TestAdding : public QObject {
    Q_OBJECT

    const QString sample = u"*.*|*.*"_s, name = u"Enter the name you would like to call this type of file."_s;
    const QString
        desc = u"Enter a description."_s,
        choose = u"No application is setup to handle this type of file.  Would you like to choose one?"_s;
    static QString head(const auto& box) { return box.title + u' ' + QString::number(box.helpNumber); }
    // The main window's type list and its chosen position, then the count of types.
    static QString lists(test::Harness& h)
    {
        const platform::ComboBox& c = h.main().TypeCombo;
        return u"%1@%2 %3"_s
            .arg(static_cast<QStringListModel*>(c.dropDown()->model())->stringList().join(u','))
            .arg(c.listIndex())
            .arg(h.g.NumberOfTypes);
    }

private Q_SLOTS:
    void addingTypes()
    {
        test::Harness h;
        h.start();
        const QString before = h.settingsText(), docs = h.folder(u"Docs"_s), odd = h.folder(u"Odd.dir"_s);
        h.addType(u"Texts"_s, u"txt"_s, docs, u"Plain"_s, u"/usr/bin/viewer"_s);
        h.main().TypeCombo.setListIndex(0);
        const auto add = [&] { return h.main().MnuAddType_Click(), lists(h); };
        // No sample chosen: the lists are refilled and a slot made all the same.
        h.dialogs.cancelFile();
        QCOMPARE(add(), u"Texts@-1 1"_s);
        QCOMPARE(h.g.Types.size(), std::size_t{2});
        // A sample without an ending, no name, or no program: stop, the choice kept.
        h.main().TypeCombo.setListIndex(0);
        h.dialogs.choose(h.file(odd, u"README"_s)).choose(h.file(odd, u"x.abc"_s)).type(QString());
        QCOMPARE(add() + add(), u"Texts@0 1Texts@0 1"_s);
        h.dialogs.choose(odd + u"x.abc"_s).type(u"Abc"_s).type(u"Half"_s).answer(Answer::No);
        QCOMPARE(add(), u"Texts@0 1"_s);
        // An association: its path up to a NUL; the half-filled slot is used again.
        h.associations.apps[u"tar.gz"_s] = u"/usr/bin/unpacker"_s + QChar(u'\0') + u"junk"_s;
        h.dialogs.choose(h.file(docs, u"Report.Tar.GZ"_s)).type(u"Reports"_s).type(u"Packed"_s);
        QCOMPARE(add(), u"Texts,Reports@-1 2"_s);
        const TypeRecord& r = h.g.Types[1];
        QCOMPARE(QStringList({r.Name, r.Ext, r.Path, r.Desc, r.App}).join(u'|'),
                 u"Reports|tar.gz|"_s + docs + u"|Packed|/usr/bin/unpacker"_s);
        // No association: the program chosen.
        h.dialogs.choose(odd + u"x.abc"_s).type(u"Abc"_s).type(u"d"_s).answer(Answer::Yes);
        h.dialogs.choose(u"/opt/A b"_s);
        QCOMPARE(add(), u"Texts,Reports,Abc@-1 3"_s);
        QCOMPARE(h.g.Types[2].App, u"/opt/A b"_s);
        h.dialogs.choose(odd + u"x.abc"_s).type(u"Leftover"_s).type(u"Left"_s).answer(Answer::No);
        add();
        QCOMPARE(h.dialogs.texts(),
                 QStringList({sample, sample, sample, name,   sample, name, desc,   choose,
                              sample, name,   desc,   sample, name,   desc, choose, u"Programs (*)|*"_s,
                              sample, name,   desc,   choose}));
        QCOMPARE(head(h.dialogs.shown[3].input) + u' ' + head(h.dialogs.shown[7].message),
                 u"Orvane 6 Orvane 6"_s);
        QCOMPARE(h.settingsText(), before);

        // Only whole types are saved.
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QSettings saved(h.settingsPath(), QSettings::IniFormat);
        QCOMPARE(saved.value(u"Types/Number Of Types"_s).toString(), u"3"_s);
        QVERIFY(!h.settingsText().contains(u"Left"_s));
    }

    void countAtItsLimitIsReported()
    {
        test::Harness h;
        h.start();
        h.g.Types.resize(32768);
        h.g.NumberOfTypes = 32767;
        h.associations.apps[u"txt"_s] = u"/usr/bin/viewer"_s;
        h.dialogs.choose(h.file(h.folder(u"D"_s), u"a.txt"_s)).type(u"M"_s).type(u"N"_s).answer(Answer::Ok);
        h.main().MnuAddType_Click();
        QCOMPARE(h.dialogs.texts(),
                 QStringList({sample, name, desc,
                              u"An error has occurred.  Please report the information below to "
                              u"Velcora Software so that it can be corrected.\r\n\r\n"
                              u"Description: Overflow\r\nNumber: 6\r\nCode: MFMATC"_s}));
        QCOMPARE(head(h.dialogs.shown[3].message), u"Orvane 3"_s);
        QCOMPARE(h.g.NumberOfTypes, 32767);
    }
};

QTEST_MAIN(TestAdding)
#include "tst_adding.moc"
