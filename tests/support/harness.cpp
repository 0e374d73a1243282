#include "support/harness.h"

#include <QDir>
#include <QFile>

#include "catalogue/catalogue.h"

namespace orvane::test {

Harness::Harness(const QString& settings)
    : iniPath_(dir.path() + QStringLiteral("/config/Orvane/Orvane.conf")),
      settings(iniPath_), services{dialogs, this->settings, starter, associations, desktop}, g(services)
{
    QDir().mkpath(dir.path() + QStringLiteral("/config/Orvane"));
    if (!settings.isEmpty()) {
        writeFile(iniPath_, settings.toUtf8());
    }
}

MainForm& Harness::start()
{
    main_ = std::make_unique<MainForm>(g);
    main_->Form_Load();
    return *main_;
}

QString Harness::folder(const QString& name)
{
    QDir().mkpath(dir.path() + u'/' + name);
    return dir.path() + u'/' + name + u'/';
}

QString Harness::file(const QString& folder, const QString& name, const QByteArray& contents)
{
    writeFile(folder + name, contents);
    return folder + name;
}

QString Harness::settingsText() const
{
    return QString::fromUtf8(readFile(iniPath_));
}

void Harness::addType(const QString& name, const QString& ext, const QString& path, const QString& desc,
                      const QString& app)
{
    MakeRoom(g, g.NumberOfTypes);
    g.Types.back() = {name, ext, path, desc, app};
    ++g.NumberOfTypes;
    FillTypeCombos(g);
}

QStringList Harness::names() const
{
    QStringList out;
    for (int i = 0; i < g.NumberOfTypes; ++i) {
        out.append(g.Types[static_cast<std::size_t>(i)].Name);
    }
    return out;
}

} // namespace orvane::test
