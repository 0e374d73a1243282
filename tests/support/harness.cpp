#include "support/harness.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>

#include "catalogue/catalogue.h"

namespace orvane::test {

Harness::Harness(const QByteArray& settings)
{
    if (!settings.isEmpty())
        writeFile(settingsPath(), settings);
}

MainForm& Harness::start()
{
    main_ = std::make_unique<MainForm>(g);
    main_->Form_Load();
    return *main_;
}

QString Harness::folder(const QString& name)
{
    QDir().mkpath(dir.filePath(name));
    return dir.filePath(name) + u'/';
}

QString Harness::file(const QString& folder, const QString& name, const QByteArray& contents)
{
    writeFile(folder + name, contents);
    return folder + name;
}

void Harness::addType(const QString& name, const QString& ext, const QString& path, const QString& desc,
                      const QString& app)
{
    AddType(g, {name, ext, path, desc, app});
}

QStringList Harness::names() const
{
    QStringList out;
    for (int i = 0; i < g.NumberOfTypes; ++i)
        out.append(g.Types[static_cast<std::size_t>(i)].Name);
    return out;
}

Shown Harness::shown()
{
    const auto chosen = [](const platform::ComboBox& c) {
        return QString::number(c.listIndex()) + u' ' + c.lineEdit()->text();
    };
    PrefForm& p = pref();
    Shown v{chosen(main().TypeCombo),
            chosen(p.TypeCombo),
            items(main().FileList),
            items(p.PrefFile),
            main().DescLabel.text(),
            p.DescLabel.text(),
            {}};
    for (const auto& button : p.PrefButton)
        v.buttons += button.isEnabled() ? u'1' : u'0';
    return v;
}

char* toString(const Shown& v)
{
    return QTest::toString(
        QStringLiteral("main type \"%1\", preferences type \"%2\", main files \"%3\", "
                       "preferences files \"%4\", main description \"%5\", preferences "
                       "description \"%6\", buttons %7")
            .arg(v.mainType, v.prefType, v.mainFiles, v.prefFiles, v.mainDesc, v.prefDesc, v.buttons));
}

} // namespace orvane::test
