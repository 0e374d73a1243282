#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

#include "catalogue/catalogue.h"
#include "catalogue/paths.h"
#include "support/harness.h"

using namespace orvane;
using orvane::platform::Answer;
using orvane::test::Harness;

namespace {

TypeRecord record(int n, const QString& tag = {})
{
    const QString s = QString::number(n) + tag;
    return {QStringLiteral("Name ") + s, QStringLiteral("e") + s, QStringLiteral("/f/") + s + u'/',
            QStringLiteral("Desc ") + s, QStringLiteral("/bin/app") + s};
}

void put(Harness& h, const QList<TypeRecord>& records)
{
    h.g.Types.assign(records.begin(), records.end());
    h.g.NumberOfTypes = static_cast<std::int16_t>(records.size());
}

QList<TypeRecord> loaded(Harness& h)
{
    return {h.g.Types.begin(), h.g.Types.begin() + h.g.NumberOfTypes};
}

bool same(const TypeRecord& a, const TypeRecord& b)
{
    return a.Name == b.Name && a.Ext == b.Ext && a.Path == b.Path && a.Desc == b.Desc && a.App == b.App;
}

// Saves through one program run and loads through a fresh one.
QList<TypeRecord> roundTrip(const QList<TypeRecord>& records)
{
    QTemporaryDir dir;
    const QString ini = dir.path() + QStringLiteral("/Orvane.conf");
    {
        Harness h;
        platform::QtSettingsStore store(ini);
        platform::Services services{h.dialogs, store, h.starter, h.associations, h.desktop};
        Globals g(services);
        g.Types.assign(records.begin(), records.end());
        g.NumberOfTypes = static_cast<std::int16_t>(records.size());
        if (!SaveTypes(g)) {
            return {};
        }
    }
    Harness h;
    platform::QtSettingsStore store(ini);
    platform::Services services{h.dialogs, store, h.starter, h.associations, h.desktop};
    Globals g(services);
    g.Types.assign(1, {});
    LoadTypes(g);
    return {g.Types.begin(), g.Types.begin() + g.NumberOfTypes};
}

const QString kReportStart = QStringLiteral("An error has occurred.");

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesComeBackExactly()
    {
        const QStringList awkward = {
            QStringLiteral("  blanks around  "), QStringLiteral("a, b,c"),
            QStringLiteral("semi;colon"),        QStringLiteral("\"quoted\" and 'single'"),
            QStringLiteral("C:\\back\\slash\\"), QStringLiteral("a=b"),
            QStringLiteral("@ByteArray(x)"),     QStringLiteral("@at"),
            QStringLiteral("Grüße 日本"),        QString(),
            QStringLiteral("#hash ;semi"),       QStringLiteral("[Types]"),
            QStringLiteral("tab\tin"),
        };
        QList<TypeRecord> records;
        for (int i = 0; i < awkward.size(); ++i) {
            const QString& v = awkward.at(i);
            records.append({v, v, v, v, v});
        }
        // 40 types: positions 10 and up load back in their order.
        for (int i = static_cast<int>(records.size()); i < 40; ++i) {
            records.append(record(i));
        }
        const auto back = roundTrip(records);
        QCOMPARE(back.size(), records.size());
        for (int i = 0; i < records.size(); ++i) {
            QVERIFY2(same(back.at(i), records.at(i)),
                     qPrintable(QStringLiteral("type %1: \"%2\" came back as \"%3\"")
                                    .arg(i)
                                    .arg(records.at(i).Name, back.at(i).Name)));
        }
    }

    void handWrittenStoreLoads()
    {
        Harness h(
            QStringLiteral("[Types]\nNumber Of Types=3\n"
                           "Type name 0=Text\nType ext 0=txt\nType path 0=/data/\n"
                           "Type desc 0=Plain text\nType app 0=/usr/bin/viewer\n"
                           "Type name 1=Images\nType ext 1=png\nType path 1=/pics/\nType app 1=/usr/bin/eog\n"
                           "Type name 2=Last\n"
                           "Type name 3=Beyond the count\n"));
        h.start();
        QCOMPARE(h.names(),
                 QStringList({QStringLiteral("Text"), QStringLiteral("Images"), QStringLiteral("Last")}));
        QCOMPARE(h.g.Types[0].Desc, QStringLiteral("Plain text"));
        QCOMPARE(h.g.Types[1].Desc, QString()); // missing key: empty, no report
        QCOMPARE(h.g.Types[2].App, QString());
        QCOMPARE(h.dialogs.shown.size(), 0);
        // Both lists in catalogue order, nothing chosen.
        QCOMPARE(h.main().TypeCombo.listCount(), 3);
        QCOMPARE(h.pref().TypeCombo.item(1), QStringLiteral("Images"));
        QCOMPARE(h.main().TypeCombo.listIndex(), -1);
        QCOMPARE(h.main().TypeCombo.text(), QString());
    }

    void saveWritesOnlyTheCatalogue()
    {
        // A count of 2 with keys for five positions: the extra keys go.
        QString text = QStringLiteral("[Types]\nNumber Of Types=2\n");
        for (int n = 0; n < 5; ++n) {
            text += QStringLiteral("Type name %1=T%1\nType ext %1=e\n").arg(n);
        }
        Harness h(text);
        h.start();
        QCOMPARE(h.g.NumberOfTypes, 2);
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        const QString saved = h.settingsText();
        QVERIFY2(saved.contains(QStringLiteral("T1")), qPrintable(saved));
        QVERIFY2(!saved.contains(QStringLiteral("T2")), qPrintable(saved));
        QVERIFY(!saved.contains(QStringLiteral("T4")));

        // An empty store saves exactly one key.
        Harness empty;
        empty.start();
        QCOMPARE(empty.endingCode([&] { empty.main().Form_Unload(); }), 0);
        QSettings written(empty.settingsPath(), QSettings::IniFormat);
        QCOMPARE(written.allKeys(), QStringList({QStringLiteral("Types/Number Of Types")}));
        QCOMPARE(written.value(QStringLiteral("Types/Number Of Types")).toString(), QStringLiteral("0"));
        QVERIFY(!QFile::exists(empty.settingsPath() + QStringLiteral(".bak")));
    }

    void badCountsReportOnceAndKeepTheOldStore()
    {
        const QStringList bad = {QStringLiteral("abc"), QStringLiteral("3.5"),
                                 QStringLiteral(""),    QStringLiteral("32768"),
                                 QStringLiteral("-1"),  QStringLiteral("99999999999999999999"),
                                 QStringLiteral("1 2"), QStringLiteral("0x10")};
        for (const auto& count : bad) {
            const QString original =
                QStringLiteral("[Types]\nNumber Of Types=%1\nType name 0=Keep me\nType ext 0=txt\n")
                    .arg(count);
            Harness h(original);
            h.dialogs.answer(Answer::Ok);
            h.start();
            QCOMPARE(h.dialogs.shown.size(), 1);
            const QString report = h.dialogs.shown.first().message.text;
            QVERIFY2(report.startsWith(kReportStart), qPrintable(count));
            QVERIFY2(report.endsWith(QStringLiteral("\r\nCode: GLFR")), qPrintable(report));
            QCOMPARE(h.g.ErrorCount, 1);
            QCOMPARE(h.g.NumberOfTypes, 0);
            QCOMPARE(h.main().TypeCombo.listCount(), 0);
            QCOMPARE(h.main().windowTitle(), QStringLiteral("Orvane 1.02")); // start-up went on

            QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
            QFile backup(h.settingsPath() + QStringLiteral(".bak"));
            QVERIFY2(backup.open(QIODevice::ReadOnly), qPrintable(count));
            QCOMPARE(QString::fromUtf8(backup.readAll()), original);
        }
        // Counts the program accepts though it never writes them so.
        for (const auto& [count, expected] :
             {std::pair{QStringLiteral(" 2 "), 2}, std::pair{QStringLiteral("+1"), 1},
              std::pair{QStringLiteral("007"), 7}}) {
            Harness h(QStringLiteral("[Types]\nNumber Of Types=%1\n").arg(count));
            h.start();
            QCOMPARE(h.g.NumberOfTypes, expected);
            QCOMPARE(h.dialogs.shown.size(), 0);
        }
    }

    void unwritableStoreSaysSoOnce()
    {
        Harness h;
        h.start();
        h.addType(QStringLiteral("Text"), QStringLiteral("txt"), QStringLiteral("/data/"));
        // A folder where the file should be: the save cannot be written.
        QDir().mkpath(h.settingsPath());
        h.dialogs.answer(Answer::Ok);
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QCOMPARE(h.dialogs.shown.size(), 1);
        const auto& box = h.dialogs.shown.first().message;
        QCOMPARE(box.title, QStringLiteral("Orvane"));
        QCOMPARE(box.text, QStringLiteral("The types could not be saved to\r\n") + h.settingsPath());
        QCOMPARE(h.g.ErrorCount, 0);
    }

    void unparsableStoreThatSavesFineSaysNothing()
    {
        // Lines QSettings cannot parse: it reports a format error from then
        // on, even after a save that went through.
        Harness h(QStringLiteral("[Types]\nNumber Of Types=1\nType name 0=Kept\n[broken\n\"=\n"));
        h.start();
        QCOMPARE(h.names(), QStringList({QStringLiteral("Kept")}));
        h.g.Types[0].Name = QStringLiteral("Renamed");
        QCOMPARE(h.endingCode([&] { h.main().Form_Unload(); }), 0);
        QCOMPARE(h.dialogs.shown.size(), 0);
        QSettings written(h.settingsPath(), QSettings::IniFormat);
        QCOMPARE(written.value(QStringLiteral("Types/Type name 0")).toString(), QStringLiteral("Renamed"));
    }

    void removeTypeKeepsTheOthersInOrder()
    {
        const QList<TypeRecord> three = {record(0), record(1), record(2)};
        struct Case {
            int position;
            QList<int> remaining;
        };
        for (const auto& c : {Case{0, {1, 2}}, Case{1, {0, 2}}, Case{2, {0, 1}}}) {
            Harness h;
            h.start();
            put(h, three);
            FillTypeCombos(h.g);
            RemoveType(h.g, c.position);
            const auto left = loaded(h);
            QCOMPARE(left.size(), 2);
            for (int i = 0; i < 2; ++i) {
                QVERIFY(same(left.at(i), three.at(c.remaining.at(i))));
            }
            QCOMPARE(h.main().TypeCombo.listCount(), 2);
            QCOMPARE(h.pref().TypeCombo.item(1), three.at(c.remaining.at(1)).Name);
            QCOMPARE(h.dialogs.shown.size(), 0);
        }
        Harness h;
        h.start();
        put(h, {record(0)});
        RemoveType(h.g, 0);
        QCOMPARE(h.g.NumberOfTypes, 0);
        QCOMPARE(h.main().TypeCombo.listCount(), 0);
        QCOMPARE(h.pref().TypeCombo.listCount(), 0);

        // A position outside the catalogue removes nothing and is reported.
        put(h, {record(0), record(1)});
        h.dialogs.answer(Answer::Ok);
        RemoveType(h.g, 2);
        QCOMPARE(h.g.NumberOfTypes, 2);
        QVERIFY(h.dialogs.shown.last().message.text.endsWith(QStringLiteral("Code: GDTT")));
    }

    void getExtensionSplitsPaths()
    {
        Harness h;
        struct Row {
            const char* path;
            const char* folder;
            const char* ext;
        };
        const Row folded[] = {
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
        };
        for (const auto& row : folded) {
            QString folder = QStringLiteral("unset");
            const QString ext = GetExtension(h.g, QString::fromUtf8(row.path), folder, FolderCase::Fold);
            QCOMPARE(folder, QString::fromUtf8(row.folder));
            QCOMPARE(ext, QString::fromUtf8(row.ext));
        }
        const Row kept[] = {
            {"/home/Ann/Docs/Report.Tar.GZ", "/home/Ann/Docs/", "tar.gz"},
            {"/home/Ann/My.Docs/README", "/home/Ann/My.Docs/", ""},
            {"/srv/Ä/Bild.JPG", "/srv/Ä/", "jpg"},
        };
        for (const auto& row : kept) {
            QString folder;
            const QString ext = GetExtension(h.g, QString::fromUtf8(row.path), folder, FolderCase::Keep);
            QCOMPARE(folder, QString::fromUtf8(row.folder));
            QCOMPARE(ext, QString::fromUtf8(row.ext));
        }
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
