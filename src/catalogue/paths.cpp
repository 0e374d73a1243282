#include "catalogue/paths.h"

#include "catalogue/catalogue.h"
#include "platform/failure.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"

namespace orvane {

QString ExecutablesFilter()
{
    return platform::kProgramsFilter;
}

QString GetExtension(Globals& g, const QString& path, QString& folder, FolderCase folderCase)
{
    QString result;
    reporting(g, Code::GGE, [&] {
        const QChar separator = path.contains(u'/') ? u'/' : u'\\';
        const qsizetype split = path.lastIndexOf(separator);
        const QString head = path.left(split + 1);
        folder = folderCase == FolderCase::Fold ? head.toLower() : head;
        const QString name = path.mid(split + 1);
        const qsizetype dot = name.indexOf(u'.');
        if (dot >= 0) {
            result = name.mid(dot + 1).toLower();
        }
    });
    return result;
}

bool GetAssociatedApp(Globals& g, const QString& file, QString& app)
{
    bool result = false;
    reporting(g, Code::GGA, [&] {
        const auto found = g.services.associations.associatedApp(file);
        if (found) {
            app = *found;
            result = true;
        }
    });
    return result;
}

bool FileExists(Globals& g, const QString& path)
{
    try {
        g.services.desktop.fileLength(path);
        return true;
    } catch (const platform::Failure&) {
        return false;
    }
}

void ChooseApp(Globals& g, int position)
{
    reporting(g, Code::GCA, [&] {
        const QString current = TypeAt(g, position).App;
        QString folder;
        GetExtension(g, current, folder);
        g.Dialog1.InitDir = folder;
        g.Dialog1.FileName = current;
        g.Dialog1.Filter = ExecutablesFilter();
        ShowOpen(g);
        if (!g.Dialog1.FileName.isEmpty()) {
            TypeAt(g, position).App = g.Dialog1.FileName;
        }
    });
}

} // namespace orvane
