#include "bench/measure.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <algorithm>
#include <atomic>
#include <chrono>

#include <fcntl.h>
#include <unistd.h>

namespace orvane::bench {

void check(bool condition, const QString& message)
{
    if (!condition) {
        throw CheckFailed(message);
    }
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values)
{
    check(!values.empty(), QStringLiteral("a median of no samples"));
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

QString Workspace::freshPath(const QString& stem) const
{
    static std::atomic<int> counter{0};
    QDir().mkpath(root + QStringLiteral("/copies"));
    return root + QStringLiteral("/copies/%1-%2-%3").arg(stem).arg(::getpid()).arg(counter++);
}

TypeRecord storedType(const Workspace& ws, int n)
{
    if (n == 0) {
        return {QStringLiteral("Big"), QStringLiteral("txt"), ws.bigFolder(),
                QStringLiteral("Text files of the big folder"), QStringLiteral(ORVANE_BENCH_APP)};
    }
    return {QStringLiteral("Type %1").arg(n, 5, 10, QLatin1Char('0')), QStringLiteral("e%1").arg(n),
            QStringLiteral("/home/user/Documents/project %1/").arg(n),
            QStringLiteral("The files of project %1, kept for the record").arg(n),
            QStringLiteral("/usr/bin/editor%1").arg(n % 17)};
}

QStringList fields(const TypeRecord& record)
{
    return {record.Name, record.Ext, record.Path, record.Desc, record.App};
}

namespace {

// The store, written by QSettings the way the program writes it.
void createStore(const Workspace& ws)
{
    QSettings store(ws.typesConf(), QSettings::IniFormat);
    store.beginGroup(QStringLiteral("Types"));
    store.setValue(QStringLiteral("Number Of Types"), QString::number(kTypeCount));
    for (int n = 0; n < kTypeCount; ++n) {
        const QStringList values = fields(storedType(ws, n));
        const QString suffix = QString::number(n);
        for (qsizetype k = 0; k < kFieldKeys.size(); ++k) {
            store.setValue(kFieldKeys[k] + suffix, values[k]);
        }
    }
    store.endGroup();
    store.sync();
    check(store.status() == QSettings::NoError, QStringLiteral("the store could not be written"));
}

void touch(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0, QStringLiteral("cannot create ") + path);
    ::close(fd);
}

// Names in mixed case and in no order, so that listing and sorting do real
// work; every other file is "*.txt" (as ".txt" or ".TXT").
QString bigFileName(int i)
{
    static const char* const stems[] = {"report", "Report", "NOTES", "notes",
                                        "Photo",  "photo",  "data",  "Data"};
    const int scrambled = static_cast<int>((static_cast<long long>(i) * 7919) % kFolderFiles);
    const char* ext = i % 2 == 1 ? ".dat" : (i % 4 == 0 ? ".txt" : ".TXT");
    return QStringLiteral("%1 %2%3")
        .arg(QLatin1StringView(stems[i % 8]))
        .arg(scrambled, 5, 10, QLatin1Char('0'))
        .arg(QLatin1StringView(ext));
}

} // namespace

void createWorkspace(const Workspace& ws)
{
    check(QDir().mkpath(ws.bigFolder()) && QDir().mkpath(ws.openFolder()),
          QStringLiteral("cannot create the workspace folders"));
    createStore(ws);
    for (int i = 0; i < kFolderFiles; ++i) {
        touch(ws.bigFolder() + bigFileName(i));
    }
    // A folder inside the big folder, which the file lists must leave out.
    QDir().mkpath(ws.bigFolder() + QStringLiteral("sub folder.txt"));
    touch(ws.openFolder() + QStringLiteral("letter.txt"));
}

QString freshStoreCopy(const Workspace& ws)
{
    const QString copy = ws.freshPath(QStringLiteral("store")) + QStringLiteral(".conf");
    check(QFile::copy(ws.typesConf(), copy), QStringLiteral("cannot copy the store to ") + copy);
    return copy;
}

QString cpuModel()
{
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = info.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (line.startsWith("model name")) {
                const qsizetype colon = line.indexOf(':');
                return QString::fromUtf8(line.mid(colon + 1).trimmed());
            }
        }
    }
    return QStringLiteral("unknown");
}

} // namespace orvane::bench
