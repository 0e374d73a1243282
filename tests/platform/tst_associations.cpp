// The desktop's file associations, asked of the real desktop libraries, and
// what the application then receives when the file is opened with the
// answer.
//
// The desktop libraries cache what they read, so every question runs in a
// fresh child process (this executable again, with --assoc-child FILE)
// whose desktop is a made-up one in a temporary folder: its own settings,
// one application, the system's MIME database and a PATH holding only the
// stub programs the entries name.

#include "platform/failure.h"
#include "platform/system_associations.h"
#include "platform/system_starter.h"
#include "support/scripted.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>

namespace {

constexpr char kChildFlag[] = "--assoc-child";
using orvane::test::writeFile;

// Asks for the file's application, prints the answer and opens the file
// with it, as a double-click on the file does.
int childMain(const QString& file)
{
    const auto app = orvane::platform::SystemAssociations().associatedApp(file);
    if (!app) {
        std::fputs("NONE", stdout);
        return 0;
    }
    std::fputs(qUtf8Printable(*app), stdout);
    try {
        orvane::platform::SystemStarter().start(*app, {file});
    } catch (const orvane::platform::Failure&) {
        std::fputs(" FAILED", stdout);
    }
    return 0;
}

} // namespace

class TestAssociations : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answerAndArguments_data()
    {
        // In `entry` and `received`, STUB stands for the stub program's path
        // (quoted in `entry`), FILE for the file's path and ENTRY for the
        // desktop entry's path; the desktop hands a local file to %u and %U
        // as its path. `answer` is PROGRAM (the stub),
        // ENTRY or NONE. `received` lists the arguments the first stub
        // started writes, split at "|"; empty when none is started.
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("contents");

        const QByteArray text("Some words.\nMore words.\n");
        const auto row = [&text](const char* name, const char* entry, const char* answer,
                                 const char* received, const char* fileName = "notes.txt",
                                 const QByteArray& contents = {}) {
            QTest::newRow(name) << QString::fromUtf8(entry) << QString::fromUtf8(answer)
                                << QString::fromUtf8(received) << QString::fromUtf8(fileName)
                                << (contents.isNull() ? text : contents);
        };
        row("plain program and file", "Exec=STUB %f", "PROGRAM", "FILE");
        row("program alone gets the file", "Exec=STUB", "PROGRAM", "FILE");
        row("deprecated codes expand to nothing", "Exec=STUB %d %f %m", "PROGRAM", "FILE");
        row("options", "Exec=STUB --new-window %U", "ENTRY", "--new-window|FILE");
        row("env wrapper", "Exec=env FOO=1 STUB %f", "ENTRY", "FILE");
        row("sh -c wrapper", "Exec=sh -c 'exec \"$0\" --from-shell \"$@\"' STUB %F", "ENTRY",
            "--from-shell|FILE");
        row("sandbox launcher",
            "Exec=flatpak run --branch=stable --arch=x86_64 --command=app "
            "--file-forwarding org.example.App @@u %U @@",
            "ENTRY",
            "run|--branch=stable|--arch=x86_64|--command=app|--file-forwarding|org.example.App|@@u|FILE|@@");
        row("terminal", "Exec=STUB %f\nTerminal=true", "ENTRY", "-e|STUB|FILE");
        row("two file codes", "Exec=STUB %f %u", "ENTRY", "FILE");
        row("icon, name and location codes", "Exec=STUB %i %c %k %f\nIcon=orvane-test", "ENTRY",
            "--icon|orvane-test|Test|ENTRY|FILE");
        row("program missing", "Exec=/nonexistent/orvane-app %f", "NONE", "");
        row("unknown type", "Exec=STUB %f", "NONE", "", "blob.zzqx", QByteArray("\0\1\2\xfe\xff", 5));
        row("type from content", "Exec=STUB %f", "PROGRAM", "FILE", "notes");
    }

    void answerAndArguments()
    {
        QFETCH(QString, entry);
        QFETCH(QString, answer);
        QFETCH(QString, received);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, contents);
        QVERIFY2(QFile::exists(QStringLiteral("/usr/share/mime/mime.cache")), "no system MIME database");

        // The stub's name holds a blank: the command line must be unquoted.
        QTemporaryDir dir;
        const auto path = [&dir](const char* relative) { return dir.filePath(QString::fromUtf8(relative)); };
        const QString stub = path("stub app");
        const QString file = path("files/") + fileName;
        const QString entryFile = path("data/applications/test.desktop");
        const QString out = path("out");
        entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Test\nMimeType=text/plain;\n") +
                entry + u'\n';
        const QString argstub = QStringLiteral(ORVANE_ARGSTUB);
        QVERIFY(
            QFile::copy(argstub, stub) && writeFile(file, contents) &&
            writeFile(path("config/mimeapps.list"), "[Default Applications]\ntext/plain=test.desktop\n") &&
            writeFile(entryFile, entry.replace(QStringLiteral("STUB"), u'"' + stub + u'"').toUtf8()) &&
            QFile::link(QStringLiteral("/usr/share/mime"), path("data/mime")));
        // The programs the entries name: stubs for the sandbox launcher and
        // the terminal, the system's own env and sh.
        QVERIFY(QDir().mkpath(path("bin")) && QFile::copy(argstub, path("bin/flatpak")) &&
                QFile::copy(argstub, path("bin/xterm")) &&
                QFile::link(QStringLiteral("/usr/bin/env"), path("bin/env")) &&
                QFile::link(QStringLiteral("/bin/sh"), path("bin/sh")));

        // Only these folders: with /usr/share among the data folders, the
        // applications installed on this machine would take part.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), path("none"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), path("none"));
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), path("data"));
        environment.insert(QStringLiteral("PATH"), path("bin"));
        environment.insert(QStringLiteral("ORVANE_ARGSTUB_OUT"), out);
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildFlag), file});
        QVERIFY(child.waitForFinished(30000));

        const QString expectedAnswer = answer == QStringLiteral("PROGRAM") ? stub
                                       : answer == QStringLiteral("ENTRY") ? entryFile
                                                                           : answer;
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), expectedAnswer);
        if (received.isEmpty()) {
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
        QStringList expected = received.split(u'|');
        for (QString& argument : expected) {
            argument.replace(QStringLiteral("STUB"), stub)
                .replace(QStringLiteral("FILE"), file)
                .replace(QStringLiteral("ENTRY"), entryFile);
        }
        QCOMPARE(orvane::test::stubArguments(out), expected);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0) {
        QCoreApplication app(argc, argv);
        return childMain(QFile::decodeName(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestAssociations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_associations.moc"
