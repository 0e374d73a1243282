#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>

#include "catalogue/catalogue.h"
#include "catalogue/paths.h"
#include "support/harness.h"

using namespace orvane;
using orvane::platform::Answer;
using orvane::test::Harness;
using orvane::test::strings;

namespace {

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
    void storeRoundTrips()
    {
        Harness saving;
        saving.start();
        const QStringList awkward =
            strings({"  blanks  ", "a, b,c", "semi;colon", "\"q\" 's'", "C:\\back\\", "a=b", "@ByteArray(x)",
                     "@at", "Grüße 日本", "", "#h ;s", "[Types]"});
        for (int i = 0; i < 40; ++i) { // positions 10 and up keep their order
            const QString v = i < awkward.size() ? awkward[i] : QString::number(i);
            saving.addType(v, v, v, v, v);
        }
        QCOMPARE(unload(saving), 0);
        Harness loading(saving.settingsText());
        loading.start();
        QCOMPARE(flat(loading.g), flat(saving.g));

        // Written by hand: a missing key is empty, keys beyond the count are
        // not loaded and are gone after the save.
        Harness h(
            QStringLiteral("[Types]\nNumber Of Types=2\nType name 0=Text\nType ext 0=txt\nType app 0=/bin/v\n"
                           "Type name 1=Images\nType name 2=Beyond\n"));
        h.start();
        QCOMPARE(flat(h.g), strings({"Text", "txt", "", "", "/bin/v", "Images", "", "", "", ""}));
        QCOMPARE(h.pref().TypeCombo.item(1), QStringLiteral("Images"));
        QCOMPARE(unload(h), 0);
        QVERIFY(h.settingsText().contains(QStringLiteral("Images")) &&
                !h.settingsText().contains(QStringLiteral("Beyond")));

        Harness empty; // an empty store saves exactly one key
        empty.start();
        QCOMPARE(unload(empty), 0);
        QSettings written(empty.settingsPath(), QSettings::IniFormat);
        QCOMPARE(written.allKeys(), strings({"Types/Number Of Types"}));
        QCOMPARE(written.value(QStringLiteral("Types/Number Of Types")).toString(), QStringLiteral("0"));
    }

    void badCountsReportOnceAndKeepTheOldStore_data()
    {
        QTest::addColumn<QString>("count");
        QTest::addColumn<int>("loaded"); // -1: refused, reported and backed up

        QTest::newRow("letters") << "abc" << -1;
        QTest::newRow("fraction") << "3.5" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("beyond 16 bits") << "32768" << -1;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << -1;
        QTest::newRow("two numbers") << "1 2" << -1;
        QTest::newRow("hexadecimal") << "0x10" << -1;
        QTest::newRow("blanks and sign") << " +7 " << 7;
    }

    void badCountsReportOnceAndKeepTheOldStore()
    {
        QFETCH(QString, count);
        QFETCH(int, loaded);
        const bool good = loaded >= 0;
        const QString original = QStringLiteral("[Types]\nNumber Of Types=%1\n").arg(count);
        Harness h(original);
        if (!good) {
            h.dialogs.answer(Answer::Ok);
        }
        h.start();
        QCOMPARE(h.g.NumberOfTypes, good ? loaded : 0);
        QCOMPARE(h.main().windowTitle(), QStringLiteral("Orvane 1.02")); // start-up went on
        QCOMPARE(unload(h), 0);
        QCOMPARE(QString::fromUtf8(test::readFile(h.settingsPath() + QStringLiteral(".bak"))),
                 good ? QString() : original);
        QCOMPARE(h.dialogs.texts().size(), good ? 0 : 1);
        if (!good) {
            QVERIFY(h.dialogs.texts().constFirst().endsWith(QStringLiteral("\r\nCode: GLFR")));
        }
    }

    void saveOutcomeIsJudgedByItself()
    {
        // Lines that are not keys do not make a good save look failed.
        Harness unparsable(QStringLiteral("[Types]\nNumber Of Types=1\nType name 0=Kept\n[broken\n\"=\n"));
        unparsable.start();
        unparsable.g.Types[0].Name = QStringLiteral("Renamed");
        QCOMPARE(unload(unparsable), 0);
        QCOMPARE(unparsable.dialogs.shown.size(), 0);
        QVERIFY(unparsable.settingsText().contains(QStringLiteral("Renamed")));

        Harness h;
        h.start();
        QDir().mkpath(h.settingsPath()); // a folder where the file should be
        h.dialogs.answer(Answer::Ok);
        QCOMPARE(unload(h), 1);
        QCOMPARE(h.dialogs.texts(),
                 QStringList{QStringLiteral("The types could not be saved to\r\n") + h.settingsPath()});
        QCOMPARE(h.g.ErrorCount, 0);
    }

    void removeTypeKeepsTheOthersInOrder()
    {
        Harness h;
        h.start();
        for (const char* name : {"A", "B", "C", "D"}) {
            h.addType(QString::fromLatin1(name), {}, {});
        }
        RemoveType(h.g, 0);
        RemoveType(h.g, 1);
        QCOMPARE(h.names(), strings({"B", "D"}));
        QCOMPARE(h.pref().TypeCombo.item(1), QStringLiteral("D"));
        h.dialogs.answer(Answer::Ok);
        RemoveType(h.g, 2); // outside the catalogue: reported, nothing removed
        QVERIFY(h.dialogs.texts().constFirst().endsWith(QStringLiteral("Code: GDTT")));
        RemoveType(h.g, 1);
        RemoveType(h.g, 0);
        QCOMPARE(h.g.NumberOfTypes, 0);
        QCOMPARE(h.main().TypeCombo.listCount(), 0);
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
        QString out = QStringLiteral("unset");
        QCOMPARE(GetExtension(h.g, path, out, keepCase ? FolderCase::Keep : FolderCase::Fold), extension);
        QCOMPARE(out, folder);
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
