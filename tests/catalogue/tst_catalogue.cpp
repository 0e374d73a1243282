#include <QDir>
#include <QSettings>
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

int unload(Harness& h)
{
    return h.endingCode([&] { h.main().Form_Unload(); });
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theStoreKeepsEveryTypeInItsPlace()
    {
        Harness saving;
        saving.start();
        const QStringList awkward = {u"  blanks  "_s, u"a, b,c"_s, u"semi;colon"_s,    u"\"q\" 's'"_s,
                                     u"C:\\back\\"_s, u"a=b"_s,    u"@ByteArray(x)"_s, u"@at"_s,
                                     u"Grüße 日本"_s, QString(),   u"#h ;s"_s,         u"[Types]"_s};
        for (int i = 0; i < 40; ++i) { // positions 10 and up keep their order
            const QString v = awkward.value(i, QString::number(i));
            saving.addType(v, v, v, v, v);
        }
        QCOMPARE(unload(saving), 0);
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
        QCOMPARE(h.pref().TypeCombo.item(1), u"Images"_s);
        QCOMPARE(unload(h), 0);
        QVERIFY(h.settingsText().contains(u"Images"_s) && !h.settingsText().contains(u"Beyond"_s));

        Harness empty; // no store: the save writes the one key
        empty.start();
        QCOMPARE(unload(empty), 0);
        QSettings written(empty.settingsPath(), QSettings::IniFormat);
        QCOMPARE(written.allKeys(), QStringList{u"Types/Number Of Types"_s});
        QCOMPARE(written.value(u"Types/Number Of Types"_s).toString(), u"0"_s);
    }

    void aBadCountIsReportedOnceAndTheOldStoreKept_data()
    {
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<int>("loaded"); // -1: reported, nothing loaded, the store kept as .bak

        QTest::newRow("letters") << QByteArray("abc") << -1;
        QTest::newRow("fraction") << QByteArray("3.5") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
        QTest::newRow("beyond 16 bits") << QByteArray("32768") << -1;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999") << -1;
        QTest::newRow("two numbers") << QByteArray("1 2") << -1;
        QTest::newRow("hexadecimal") << QByteArray("0x10") << -1;
        QTest::newRow("blanks and sign") << QByteArray(" +2 ") << 2;
        QTest::newRow("the most") << QByteArray("32767") << 32767;
    }

    void aBadCountIsReportedOnceAndTheOldStoreKept()
    {
        QFETCH(QByteArray, count);
        QFETCH(int, loaded);
        const QByteArray original = "[Types]\nNumber Of Types=" + count + "\nType name 0=A\nType name 1=B\n";
        Harness h(original);
        if (loaded < 0)
            h.dialogs.answer(Answer::Ok);
        h.start();
        QCOMPARE(h.names().size(), std::max(loaded, 0));
        QCOMPARE(h.main().windowTitle(), u"Orvane 1.02"_s); // start-up went on
        QCOMPARE(unload(h), 0);
        QCOMPARE(test::readFile(h.settingsPath() + u".bak"_s), loaded < 0 ? original : QByteArray());
        QCOMPARE(h.dialogs.shown.size(), loaded < 0 ? 1 : 0);
        if (loaded < 0)
            QVERIFY(h.dialogs.texts().constFirst().endsWith(u"\r\nCode: GLFR"_s));
    }

    void aFailedSaveIsSaidAndEndsWithOne()
    {
        Harness h;
        h.start();
        QDir().mkpath(h.settingsPath()); // a folder where the file should be
        h.dialogs.answer(Answer::Ok);
        QCOMPARE(unload(h), 1);
        QCOMPARE(h.dialogs.texts(), QStringList{u"The types could not be saved to\r\n"_s + h.settingsPath()});
        QCOMPARE(h.dialogs.shown[0].help(), u"Orvane orvane.hlp 2"_s);
        QCOMPARE(h.g.ErrorCount, 0);
    }

    void removingATypeKeepsTheOthersInOrder()
    {
        Harness h;
        h.start();
        for (const QString& name : {u"A"_s, u"B"_s, u"C"_s, u"D"_s})
            h.addType(name, {}, {});
        RemoveType(h.g, 0);
        RemoveType(h.g, 2);
        QCOMPARE(h.names(), QStringList({u"B"_s, u"C"_s}));
        QCOMPARE(h.pref().TypeCombo.item(1), u"C"_s);
        h.dialogs.answer(Answer::Ok);
        RemoveType(h.g, 2); // outside the catalogue: reported, nothing removed
        QVERIFY(h.dialogs.texts().constFirst().endsWith(u"Code: GDTT"_s));
        QCOMPARE(h.names(), QStringList({u"B"_s, u"C"_s}));
    }

    void getExtensionSplitsPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("keepCase"); // the folder's case is kept, not folded
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("extension");

        const auto row = [](const char* name, const char* path, bool keepCase, const char* folder,
                            const char* extension) {
            QTest::newRow(name) << QString::fromUtf8(path) << keepCase << QString::fromUtf8(folder)
                                << QString::fromUtf8(extension);
        };
        row("ending folded", "C:\\Data\\Report.TXT", false, "c:\\data\\", "txt");
        row("double ending", "C:\\Data\\archive.tar.gz", false, "c:\\data\\", "tar.gz");
        row("no ending", "C:\\Data\\README", false, "c:\\data\\", "");
        row("dot in folder only", "C:\\My.Files\\readme", false, "c:\\my.files\\", "");
        row("folder only", "C:\\Data\\", false, "c:\\data\\", "");
        row("trailing dot", "C:\\Data\\name.", false, "c:\\data\\", "");
        row("leading dot", "C:\\Data\\.profile", false, "c:\\data\\", "profile");
        row("no folder", "Notes.Doc", false, "", "doc");
        row("forward slashes", "c:/Web/Index.HTML", false, "c:/web/", "html");
        row("mixed slashes", "C:\\Web/index.html", false, "c:\\web/", "html");
        row("network share", "\\\\Server\\Share\\a.b", false, "\\\\server\\share\\", "b");
        row("empty", "", false, "", "");
        row("case kept", "/home/Ann/Docs/Report.Tar.GZ", true, "/home/Ann/Docs/", "tar.gz");
    }

    void getExtensionSplitsPaths()
    {
        QFETCH(QString, path);
        QFETCH(bool, keepCase);
        QFETCH(QString, folder);
        QFETCH(QString, extension);
        Harness h;
        QString out = u"unset"_s;
        QCOMPARE(GetExtension(h.g, path, out, keepCase ? FolderCase::Keep : FolderCase::Fold), extension);
        QCOMPARE(out, folder);
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
