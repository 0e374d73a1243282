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

    void badCountsReportOnceAndKeepTheOldStore()
    {
        for (const char* count :
             {"abc", "3.5", "", "32768", "-1", "99999999999999999999", "1 2", "0x10", " +7 "}) {
            const QString original =
                QStringLiteral("[Types]\nNumber Of Types=%1\n").arg(QString::fromLatin1(count));
            Harness h(original);
            const bool good = QByteArray(count) == " +7 ";
            if (!good) {
                h.dialogs.answer(Answer::Ok);
            }
            h.start();
            QCOMPARE(h.g.NumberOfTypes, good ? 7 : 0);
            QCOMPARE(h.main().windowTitle(), QStringLiteral("Orvane 1.02")); // start-up went on
            QCOMPARE(unload(h), 0);
            QFile backup(h.settingsPath() + QStringLiteral(".bak"));
            QCOMPARE(backup.open(QIODevice::ReadOnly) ? QString::fromUtf8(backup.readAll()) : QString(),
                     good ? QString() : original);
            QVERIFY2(good || h.dialogs.texts().constFirst().endsWith(QStringLiteral("\r\nCode: GLFR")),
                     count);
        }
    }

    void saveOutcomeIsJudgedByItself()
    {
        // QSettings keeps reporting a format error after a save that went through.
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
        QCOMPARE(unload(h), 0);
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

    void getExtensionSplitsPaths()
    {
        Harness h;
        // path, folder, extension; all rows but the last fold the folder's case
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
        };
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const auto& [path, folder, ext] = rows[i];
            QString out = QStringLiteral("unset");
            const auto rule = i < rows.size() - 1 ? FolderCase::Fold : FolderCase::Keep;
            QCOMPARE(GetExtension(h.g, QString::fromUtf8(path), out, rule) + u'|' + out,
                     QString::fromUtf8(ext) + u'|' + QString::fromUtf8(folder));
        }
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
