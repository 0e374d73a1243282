#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QStringListModel>
#include <QTest>

#include "support/harness.h"

using namespace orvane;
using namespace Qt::StringLiterals;
using platform::Answer;

// What both windows show: the chosen position and text of each type list,
// each file list, each description, and which preferences buttons are on
// ("1" or "0" for each, in the buttons' order).
struct Shown {
    QString mainType;
    QString prefType;
    QString mainFiles;
    QString prefFiles;
    QString mainDesc;
    QString prefDesc;
    QString buttons;
    bool operator==(const Shown&) const = default;
};

// Both windows showing the same type.
Shown both(const QString& type, const QString& files, const QString& desc, const QString& buttons)
{
    return {type, type, files, files, desc, desc, buttons};
}

// How QCOMPARE prints one, each field named.
char* toString(const Shown& v)
{
    return QTest::toString(u"main type \"%1\", preferences type \"%2\", main files \"%3\", preferences "
                           u"files \"%4\", main description \"%5\", preferences description \"%6\", "
                           u"buttons %7"_s.arg(v.mainType, v.prefType, v.mainFiles, v.prefFiles, v.mainDesc,
                                               v.prefDesc, v.buttons));
}

class TestChoosing : public QObject {
    Q_OBJECT

    // The names a type list or file list shows.
    static QString items(const platform::ComboBox& w)
    {
        return static_cast<QStringListModel*>(w.dropDown()->model())->stringList().join(u',');
    }
    static QString items(const platform::FileListBox& w)
    {
        QStringList names;
        for (int i = 0; i < w.listCount(); ++i)
            names << w.item(i);
        return names.join(u',');
    }
    static QString head(const auto& box) { return box.title + u' ' + QString::number(box.helpNumber); }
    static QString chosen(const platform::ComboBox& c)
    {
        return QString::number(c.listIndex()) + u' ' + c.lineEdit()->text();
    }
    static Shown view(test::Harness& h)
    {
        PrefForm& p = h.pref();
        Shown v{chosen(h.main().TypeCombo),
                chosen(p.TypeCombo),
                items(h.main().FileList),
                items(p.PrefFile),
                h.main().DescLabel.text(),
                p.DescLabel.text(),
                {}};
        for (const auto& button : p.PrefButton)
            v.buttons += button.isEnabled() ? u'1' : u'0';
        return v;
    }

private Q_SLOTS:
    void choosingATypeShowsItsFiles()
    {
        test::Harness h;
        h.start();
        const QString mixed = h.folder(u"Mixed"_s);
        for (const auto& name : u"m.Txt a.txt B.TXT b2.txt c.doc notes txt .hidden.txt x.tar.gz Z.TAR.GZ "
                                "w.tar.gz.bak"_s.split(u' '))
            h.file(mixed, name);
        QDir().mkpath(mixed + u"sub.txt"_s);
        h.addType(u"Texts"_s, u"doc"_s, mixed, u"Documents"_s);
        h.addType(u"Texts"_s, u"txt"_s, mixed, u"Plain text"_s);
        h.addType(u"Packed"_s, u"tar.gz"_s, mixed, u"Archives"_s);
        h.addType(u"Bare"_s, QString(), mixed, u"No ending"_s);
        h.addType(u"Texts"_s, u"txt"_s, h.dir.path() + u"/Gone/"_s, u"Went away"_s);
        const QString texts = u"a.txt,B.TXT,b2.txt,m.Txt"_s;
        const auto pick = [&](int position) { return h.main().TypeCombo.setListIndex(position), view(h); };
        QCOMPARE(pick(1), both(u"1 Texts"_s, texts, u"Plain text"_s, u"111111"_s));
        // Text in the type box that names no type changes no list or description.
        h.main().TypeCombo.setText(u"Nothing"_s);
        QCOMPARE(view(h), both(u"-1 Nothing"_s, texts, u"Plain text"_s, u"111111"_s));
        QCOMPARE(pick(2), both(u"2 Packed"_s, u"x.tar.gz,Z.TAR.GZ"_s, u"Archives"_s, u"111111"_s));
        QCOMPARE(pick(3), both(u"3 Bare"_s, u"notes,txt"_s, u"No ending"_s, u"111111"_s));

        // The last "Texts" has lost its folder: answering No removes that one, not the first.
        h.dialogs.answer(Answer::No);
        Shown removed = both(u"-1 "_s, {}, {}, u"010000"_s);
        removed.mainDesc = u"No ending"_s;
        QCOMPARE(pick(4), removed);
        QCOMPARE(h.dialogs.texts(),
                 QStringList{u"The path for this type cannot be found.  If you deleted it or "
                             u"renamed it you will need to change the path in the "
                             u"preferences.\r\n\r\nGo there now?"_s});
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

        // A file deleted since the list was filled, or a folder without its "/": nothing opens.
        QVERIFY(QFile::remove(docs + u"my report.txt"_s));
        open(1);
        h.g.Types[0].Path = docs.chopped(1);
        open(0);
        h.g.Types[0].Path = docs;

        // The app fails to start: No, No changes nothing; Yes replaces the app; No, Yes removes the type.
        h.starter.failing << app << other;
        h.dialogs.answer(Answer::No).answer(Answer::No);
        open(0);
        QCOMPARE(h.names().join(u',') + u' ' + h.g.Types[0].App, u"Texts,Others "_s + app);
        const Shown kept = view(h);
        QCOMPARE(kept.mainType + u'/' + kept.prefType, u"0 Texts/0 Texts"_s);
        QCOMPARE(kept.mainFiles, u"empty.txt,my report.txt,"_s + odd);
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
        QCOMPARE(h.dialogs.texts(), QStringList({look, remove, look, u"Programs (*)|*"_s, look, remove}));
        QCOMPARE(head(h.dialogs.shown[0].message), u"Orvane 8"_s);
        QCOMPARE(h.starter.started.size(), 1);
        QCOMPARE(items(h.main().TypeCombo) + u' ' + items(h.pref().TypeCombo), u"Others Others"_s);
        const Shown after = view(h);
        QCOMPARE(after.mainType + u'/' + after.prefType, u"-1 /-1 "_s);
        QCOMPARE(after.mainFiles + after.prefFiles, QString());
        QCOMPARE(after.mainDesc, u"Plain text"_s);
    }
};

QTEST_MAIN(TestChoosing)
#include "tst_choosing.moc"
