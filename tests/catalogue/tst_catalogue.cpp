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

TypeRecord record(int n)
{
    const QString s = QString::number(n);
    return {QStringLiteral("Name ") + s, s, QStringLiteral("/f/") + s + u'/', QStringLiteral("D ") + s, s};
}

QStringList flat(const Globals& g)
{
    QStringList out;
    for (int i = 0; i < g.NumberOfTypes; ++i) {
        const auto& r = g.Types[static_cast<std::size_t>(i)];
        out << r.Name << r.Ext << r.Path << r.Desc << r.App;
    }
    return out;
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesComeBackExactly()
    {
        const QStringList awkward =
            strings({"  blanks  ", "a, b,c", "semi;colon", "\"quoted\" 'single'", "C:\\back\\", "a=b",
                     "@ByteArray(x)", "@at", "Grüße 日本", "", "#h ;s", "[Types]"});
        Harness saving;
        saving.start();
        for (const auto& v : awkward) {
            saving.g.Types.back() = {v, v, v, v, v};
            saving.g.Types.emplace_back();
            ++saving.g.NumberOfTypes;
        }
        while (saving.g.NumberOfTypes < 40) { // positions 10 and up keep their order
            saving.g.Types.back() = record(saving.g.NumberOfTypes++);
            saving.g.Types.emplace_back();
        }
        QCOMPARE(saving.endingCode([&] { saving.main().Form_Unload(); }), 0);
        Harness loading(saving.settingsText());
        loading.start();
        QCOMPARE(flat(loading.g), flat(saving.g));
        QCOMPARE(loading.main().TypeCombo.item(39), QStringLiteral("Name 39"));
    }

    void handWrittenStoreAndWhatSavingKeeps()
    {
        Harness h(
            QStringLiteral("[Types]\nNumber Of Types=2\nType name 0=Text\nType ext 0=txt\nType path 0=/d/\n"
                           "Type app 0=/bin/v\nType name 1=Images\nType name 2=Beyond\nType name 4=Far\n"));
        h.start();
        QCOMPARE(flat(h.g), strings({"Text", "txt", "/d/", "", "/bin/v", "Images", "", "", "", ""}));
        QCOMPARE(h.pref().TypeCombo.item(1), QStringLiteral("Images"));
        QCOMPARE(h.main().TypeCombo.listIndex(), -1);
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QVERIFY(h.settingsText().contains(QStringLiteral("Images")));
        QVERIFY(!h.settingsText().contains(QStringLiteral("Beyond")) &&
                !h.settingsText().contains(QStringLiteral("Far")));

        Harness empty; // an empty store saves exactly one key
        empty.start();
        QCOMPARE(empty.endingCode([&] { empty.main().Form_Unload(); }), 0);
        QSettings written(empty.settingsPath(), QSettings::IniFormat);
        QCOMPARE(written.allKeys(), strings({"Types/Number Of Types"}));
        QCOMPARE(written.value(QStringLiteral("Types/Number Of Types")).toString(), QStringLiteral("0"));
        QCOMPARE(empty.dialogs.shown.size(), 0);
    }

    void badCountsReportOnceAndKeepTheOldStore()
    {
        for (const char* count : {"abc", "3.5", "", "32768", "-1", "99999999999999999999", "1 2", "0x10"}) {
            const QString original =
                QStringLiteral("[Types]\nNumber Of Types=%1\nType name 0=Keep\n").arg(QString::fromLatin1(count));
            Harness h(original);
            h.dialogs.answer(Answer::Ok);
            h.start();
            QVERIFY2(h.dialogs.texts().constFirst().endsWith(QStringLiteral("\r\nCode: GLFR")), count);
            QCOMPARE(h.g.NumberOfTypes, 0);
            QCOMPARE(h.main().windowTitle(), QStringLiteral("Orvane 1.02")); // start-up went on
            QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
            QFile backup(h.settingsPath() + QStringLiteral(".bak"));
            QVERIFY2(backup.open(QIODevice::ReadOnly), count);
            QCOMPARE(QString::fromUtf8(backup.readAll()), original);
        }
        for (const auto& [count, expected] : {std::pair{" 2 ", 2}, std::pair{"+1", 1}, std::pair{"007", 7}}) {
            Harness h(QStringLiteral("[Types]\nNumber Of Types=%1\n").arg(QString::fromLatin1(count)));
            h.start();
            QCOMPARE(h.g.NumberOfTypes, expected);
        }
    }

    void saveOutcomeIsJudgedByItself()
    {
        // QSettings keeps reporting a format error after a save that went through.
        Harness unparsable(QStringLiteral("[Types]\nNumber Of Types=1\nType name 0=Kept\n[broken\n\"=\n"));
        unparsable.start();
        unparsable.g.Types[0].Name = QStringLiteral("Renamed");
        QCOMPARE(unparsable.endingCode([&] { unparsable.main().Form_Unload(); }), 0);
        QCOMPARE(unparsable.dialogs.shown.size(), 0);
        QVERIFY(unparsable.settingsText().contains(QStringLiteral("Renamed")));

        Harness h;
        h.start();
        QDir().mkpath(h.settingsPath()); // a folder where the file should be
        h.dialogs.answer(Answer::Ok);
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QCOMPARE(h.dialogs.texts(),
                 QStringList({QStringLiteral("The types could not be saved to\r\n") + h.settingsPath()}));
        QCOMPARE(h.g.ErrorCount, 0);
    }

    void removeTypeKeepsTheOthersInOrder()
    {
        for (const auto& [position, left] :
             {std::pair{0, "Name 1|Name 2"}, std::pair{1, "Name 0|Name 2"}, std::pair{2, "Name 0|Name 1"}}) {
            Harness h;
            h.start();
            for (int i = 0; i < 3; ++i) {
                h.addType(record(i).Name, {}, {});
            }
            RemoveType(h.g, position);
            QCOMPARE(h.names().join(u'|'), QString::fromLatin1(left));
            QCOMPARE(h.pref().TypeCombo.item(1), h.names().at(1));
            QCOMPARE(h.main().TypeCombo.listCount(), 2);
        }
        Harness h;
        h.start();
        h.addType(QStringLiteral("Only"), {}, {});
        h.dialogs.answer(Answer::Ok);
        RemoveType(h.g, 1); // outside the catalogue: reported, nothing removed
        QVERIFY(h.dialogs.texts().constFirst().endsWith(QStringLiteral("Code: GDTT")));
        RemoveType(h.g, 0);
        QCOMPARE(h.g.NumberOfTypes, 0);
        QCOMPARE(h.pref().TypeCombo.listCount(), 0);
    }

    void getExtensionSplitsPaths()
    {
        Harness h;
        // path, folder, extension; the first rows fold case, the last keep it
        const QList<std::tuple<const char*, const char*, const char*>> rows = {
            {"C:\\Data\\Report.TXT", "c:\\data\\", "txt"},
            {"C:\\Data\\archive.tar.gz", "c:\\data\\", "tar.gz"},
            {"C:\\Data\\README", "c:\\data\\", ""},
            {"C:\\My.Files\\readme", "c:\\my.files\\", ""},
            {"C:\\Data\\", "c:\\data\\", ""},
            {"C:\\Data\\name.", "c:\\data\\", ""},
            {"C:\\Data\\.profile", "c:\\data\\", "profile"},
            {"Notes.Doc", "", "doc"},
            {"c:/Web/Index.HTML", "c:/web/", "html"},
            {"C:\\Web/index.html", "c:\\web/", "html"},
            {"\\\\Server\\Share\\a.b", "\\\\server\\share\\", "b"},
            {"", "", ""},
            {"/home/Ann/Docs/Report.Tar.GZ", "/home/Ann/Docs/", "tar.gz"},
            {"/srv/Ä/Bild.JPG", "/srv/Ä/", "jpg"},
        };
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const auto& [path, folder, ext] = rows[i];
            QString out = QStringLiteral("unset");
            const auto rule = i < rows.size() - 2 ? FolderCase::Fold : FolderCase::Keep;
            QCOMPARE(GetExtension(h.g, QString::fromUtf8(path), out, rule), QString::fromUtf8(ext));
            QCOMPARE(out, QString::fromUtf8(folder));
        }
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
