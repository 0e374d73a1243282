#include "support/harness.h"

#include <QDir>
#include <QFile>

#include "catalogue/catalogue.h"

namespace orvane::test {

namespace {

QString prepareIni(const QTemporaryDir& dir, const QString& settings)
{
    const QString path = dir.path() + QStringLiteral("/config/Orvane/Orvane.conf");
    QDir().mkpath(dir.path() + QStringLiteral("/config/Orvane"));
    if (!settings.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(settings.toUtf8());
        }
    }
    return path;
}

} // namespace

Harness::Harness(const QString& settings)
    : iniPath_(prepareIni(dir, settings)),
      settings(iniPath_), services{dialogs, this->settings, starter, associations, desktop}, g(services)
{
}

Harness::~Harness() = default;

MainForm& Harness::start()
{
    main_ = std::make_unique<MainForm>(g);
    main_->Form_Load();
    return *main_;
}

QString Harness::folder(const QString& name)
{
    const QString path = dir.path() + u'/' + name;
    QDir().mkpath(path);
    return path + u'/';
}

QString Harness::file(const QString& folder, const QString& name, const QByteArray& contents)
{
    const QString path = folder + name;
    QFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(contents);
    }
    return path;
}

QString Harness::settingsText() const
{
    QFile in(iniPath_);
    if (!in.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(in.readAll());
}

void Harness::addType(const QString& name, const QString& ext, const QString& path, const QString& desc,
                      const QString& app)
{
    const int slot = g.NumberOfTypes;
    MakeRoom(g, slot);
    g.Types[static_cast<std::size_t>(slot)] = {name, ext, path, desc, app};
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

QString settingsFor(const QList<QStringList>& types)
{
    QString text = QStringLiteral("[Types]\nNumber Of Types=%1\n").arg(types.size());
    const QStringList keys = {QStringLiteral("Type name "), QStringLiteral("Type ext "),
                              QStringLiteral("Type path "), QStringLiteral("Type desc "),
                              QStringLiteral("Type app ")};
    for (qsizetype n = 0; n < types.size(); ++n) {
        for (qsizetype k = 0; k < keys.size() && k < types[n].size(); ++k) {
            text += keys[k] + QString::number(n) + u'=' + types[n][k] + u'\n';
        }
    }
    return text;
}

} // namespace orvane::test
