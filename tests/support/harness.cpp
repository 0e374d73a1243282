#include "support/harness.h"

#include <QDir>

#include "catalogue/catalogue.h"

namespace orvane::test {

Harness::Harness(const QByteArray& settings)
{
    if (!settings.isEmpty()) {
        writeFile(settingsPath(), settings);
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
    for (int i = 0; i < g.NumberOfTypes; ++i) {
        out.append(g.Types[static_cast<std::size_t>(i)].Name);
    }
    return out;
}

} // namespace orvane::test
