// The desktop's file associations, asked of the real desktop libraries.
//
// The desktop libraries cache what they read, so every question runs in a
// fresh child process (this executable again, with --assoc-child FILE)
// whose desktop is a made-up one in a temporary folder: its own settings,
// one application and the system's MIME database only.

#include "platform/system_associations.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kChildFlag[] = "--assoc-child";

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(contents) == contents.size();
}

} // namespace

class TestAssociations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultApplication_data()
    {
        QTest::addColumn<QString>("entry"); // the lines that vary; STUB stands for the quoted stub path
        QTest::addColumn<bool>("found");    // the stub, or no application
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("contents");

        const QByteArray text("Some words.\nMore words.\n");
        QTest::newRow("default for the type") << "Exec=STUB %f" << true << "notes.txt" << text;
        QTest::newRow("unknown type")
            << "Exec=STUB %f" << false << "blob.zzqx" << QByteArray("\0\1\2\xfe\xff", 5);
        QTest::newRow("program missing") << "Exec=/nonexistent/orvane-app %f" << false << "notes.txt" << text;
        QTest::newRow("wrapper") << "Exec=env FOO=1 STUB %f" << false << "notes.txt" << text;
        QTest::newRow("type from content") << "Exec=STUB %f" << true << "notes" << text;
        QTest::newRow("terminal") << "Exec=STUB %f\nTerminal=true" << false << "notes.txt" << text;
    }

    void defaultApplication()
    {
        QFETCH(QString, entry);
        QFETCH(bool, found);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, contents);
        QVERIFY2(QFile::exists(QStringLiteral("/usr/share/mime/mime.cache")), "no system MIME database");

        // The stub's name holds a blank: the command line must be unquoted.
        QTemporaryDir dir;
        const auto path = [&dir](const char* relative) { return dir.filePath(QString::fromUtf8(relative)); };
        const QString stub = path("stub app");
        const QString file = path("files/") + fileName;
        entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Test\nMimeType=text/plain;\n") +
                entry + u'\n';
        QVERIFY(
            QFile::copy(QStringLiteral(ORVANE_ARGSTUB), stub) && writeFile(file, contents) &&
            writeFile(path("config/mimeapps.list"), "[Default Applications]\ntext/plain=test.desktop\n") &&
            writeFile(path("data/applications/test.desktop"),
                      entry.replace(QStringLiteral("STUB"), u'"' + stub + u'"').toUtf8()) &&
            QFile::link(QStringLiteral("/usr/share/mime"), path("data/mime")));

        // Only these folders: with /usr/share among the data folders, the
        // applications installed on this machine would take part.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), path("none"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), path("none"));
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), path("data"));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildFlag), file});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 found ? QStringLiteral("APP:") + stub : QStringLiteral("NONE"));
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0) {
        const auto app = orvane::platform::SystemAssociations().associatedApp(QFile::decodeName(argv[2]));
        std::fputs(app ? qUtf8Printable(QStringLiteral("APP:") + *app) : "NONE", stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestAssociations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_associations.moc"
