#include <QTest>

#include "catalogue/catalogue.h"
#include "catalogue/paths.h"
#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;
using platform::Answer;
using test::Harness;

namespace {

// Every field of every type, in order.
QStringList flat(const Globals& g)
{
    QStringList out;
    for (int i = 0; i < g.NumberOfTypes; ++i) {
        const auto& r = g.Types[static_cast<std::size_t>(i)];
        out << r.Name << r.Ext << r.Path << r.Desc << r.App;
    }
    return out;
}

// A table of one column, "cells": each row split at "|", its first cell naming it.
void table(std::initializer_list<const char*> rows)
{
    QTest::addColumn<QStringList>("cells");
    for (const char* row : rows)
        QTest::newRow(QByteArray(row).split('|')[0].constData()) << QString::fromUtf8(row).split(u'|').mid(1);
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theStoreKeepsEveryTypeInItsPlace()
    {
        Harness saving;
        saving.start();
        for (int i = 0; i < 40; ++i) { // positions 10 and up keep their order
            const QString v = i == 9 ? QString() : u"  %1, \"q\" 's' C:\\b\\ a=b;c @at #h [Types] "_s.arg(i);
            saving.addType(v, v, v, v, v);
        }
        QCOMPARE(saving.endingCode([&] { saving.main().Form_Unload(); }), 0);
        Harness loading(saving.settingsText().toUtf8());
        loading.start();
        QCOMPARE(flat(loading.g), flat(saving.g));

        // Written by hand: a missing key is empty, keys beyond the count are
        // not loaded and are gone after the save.
        Harness h("[Types]\nNumber Of Types=2\nType name 0=Text\nType ext 0=txt\nType app 0=/bin/v\n"
                  "Type name 1=Images\nType name 2=Beyond\n");
        h.start();
        QCOMPARE(flat(h.g),
                 QStringList({u"Text"_s, u"txt"_s, {}, {}, u"/bin/v"_s, u"Images"_s, {}, {}, {}, {}}));
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QVERIFY(h.settingsText().contains(u"Images"_s) && !h.settingsText().contains(u"Beyond"_s));

        Harness empty; // no store: the save writes the one key
        empty.start();
        QCOMPARE(empty.endingCode([&] { empty.main().Form_Unload(); }), 0);
        QCOMPARE(empty.settingsText(), u"[Types]\nNumber%20Of%20Types=0\n"_s);
    }

    void aBadCountIsReportedOnceAndTheOldStoreKept_data()
    {
        // The count, then how many types are loaded; none: the count is
        // reported, nothing loaded, and the store kept as .bak.
        table({"letters|abc", "fraction|3.5", "empty|", "beyond 16 bits|32768", "negative|-1",
               "beyond 64 bits|99999999999999999999", "two numbers|1 2", "hexadecimal|0x10",
               "blanks and sign| +2 |2", "the most|32767|32767"});
    }

    void aBadCountIsReportedOnceAndTheOldStoreKept()
    {
        QFETCH(QStringList, cells);
        const bool bad = cells.size() == 1;
        const QByteArray original =
            "[Types]\nNumber Of Types=" + cells[0].toUtf8() + "\nType name 0=A\nType name 1=B\n";
        Harness h(original);
        h.dialogs.answer(Answer::Ok); // for the report, if one comes
        h.start();
        QCOMPARE(h.names().size(), cells.value(1, u"0"_s).toInt());
        QCOMPARE(h.main().windowTitle(), u"Orvane 1.02"_s); // start-up went on
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QCOMPARE(test::readFile(h.settingsPath() + u".bak"_s), bad ? original : QByteArray());
        QCOMPARE(h.dialogs.shown.size(), bad ? 1 : 0);
        QVERIFY(!bad || h.dialogs.texts().constFirst().endsWith(u"\r\nCode: GLFR"_s));
    }

    void aRemovalOutsideTheCatalogueIsReportedAndAFailedSaveSaid()
    {
        Harness h;
        h.start();
        h.addType(u"A"_s, {}, {});
        h.dialogs.answer(Answer::Ok).answer(Answer::Ok);
        RemoveType(h.g, 1);
        QVERIFY(h.dialogs.texts().constFirst().endsWith(u"Code: GDTT"_s));
        QCOMPARE(h.names(), QStringList{u"A"_s});
        // A failed save is said, not reported, and ends the program with 1.
        QDir().mkpath(h.settingsPath()); // a folder where the file should be
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 1);
        QCOMPARE(h.dialogs.texts().constLast(), u"The types could not be saved to\r\n"_s + h.settingsPath());
        QCOMPARE(h.dialogs.shown.constLast().help(), u"Orvane orvane.hlp 2"_s);
        QCOMPARE(h.g.ErrorCount, 1);
    }

    void getExtensionSplitsPaths_data()
    {
        // The path, its extension and its folder, whose case is folded but
        // in "case kept".
        table({"ending folded|C:\\Data\\Report.TXT|txt|c:\\data\\",
               "double ending|C:\\Data\\archive.tar.gz|tar.gz|c:\\data\\",
               "no ending|C:\\Data\\README||c:\\data\\",
               "dot in folder only|C:\\My.Files\\readme||c:\\my.files\\",
               "folder only|C:\\Data\\||c:\\data\\", "trailing dot|C:\\Data\\name.||c:\\data\\",
               "leading dot|C:\\Data\\.profile|profile|c:\\data\\", "no folder|Notes.Doc|doc|",
               "forward slashes|c:/Web/Index.HTML|html|c:/web/",
               "mixed slashes|C:\\Web/index.html|html|c:\\web/",
               "network share|\\\\Server\\Share\\a.b|b|\\\\server\\share\\", "empty|||",
               "case kept|/home/Ann/Docs/Report.Tar.GZ|tar.gz|/home/Ann/Docs/"});
    }

    void getExtensionSplitsPaths()
    {
        QFETCH(QStringList, cells);
        Harness h;
        QString folder = u"unset"_s;
        const auto folderCase =
            QTest::currentDataTag() == "case kept"_ba ? FolderCase::Keep : FolderCase::Fold;
        QCOMPARE((QStringList{GetExtension(h.g, cells[0], folder, folderCase), folder}), cells.mid(1));
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
