// The desktop's file associations, asked of the real desktop libraries.
//
// Every question runs in a fresh child process (this executable started
// again with --assoc-child FILE) whose desktop is a made-up one in a
// temporary folder: its own settings, applications and defaults, and the
// system's MIME database only. The desktop libraries cache what they read,
// so a process answers for one desktop only.

#include "platform/failure.h"
#include "platform/system_associations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <cstring>

using orvane::platform::Failure;
using orvane::platform::SystemAssociations;

namespace {

constexpr char kChildFlag[] = "--assoc-child";

// In the child: prints the answer for one file.
int answerInChild(const QString& file)
{
    try {
        const std::optional<QString> app = SystemAssociations().associatedApp(file);
        const QByteArray answer = app ? QByteArrayLiteral("APP:") + app->toUtf8() : QByteArrayLiteral("NONE");
        std::fwrite(answer.constData(), 1, static_cast<std::size_t>(answer.size()), stdout);
        return 0;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 3;
    }
}

#ifndef Q_OS_WIN

// A program path quoted for a desktop entry's Exec key.
QString quotedForExec(const QString& path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        }
        quoted += c;
    }
    // The key file itself escapes backslashes once more.
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    return u'"' + quoted + u'"';
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// A desktop of our own in a temporary folder, with one application that is
// the default for plain text.
class MadeUpDesktop {
public:
    MadeUpDesktop()
    {
        const QString stubFolder = path(QStringLiteral("stub folder"));
        stub_ = stubFolder + QStringLiteral("/stub app");
        QDir().mkpath(stubFolder);
        valid_ = dir_.isValid() && QFile::copy(QString::fromUtf8(ORVANE_ARGSTUB), stub_) &&
                 QFile::setPermissions(stub_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
                 QFile::link(QStringLiteral("/usr/share/mime"), path(QStringLiteral("system/mime"))) &&
                 writeFile(path(QStringLiteral("config/mimeapps.list")),
                           "[Default Applications]\ntext/plain=orvane-test.desktop\n");
        for (const char* folder : {"home", "config-dirs", "data-home"}) {
            valid_ = valid_ && QDir().mkpath(path(QString::fromLatin1(folder)));
        }
    }

    [[nodiscard]] bool isValid() const { return valid_; }
    [[nodiscard]] const QString& stub() const { return stub_; }
    [[nodiscard]] QString path(const QString& relative) const
    {
        QDir().mkpath(QFileInfo(dir_.filePath(relative)).path());
        return dir_.filePath(relative);
    }

    bool writeApplication(const QString& exec, bool terminal)
    {
        const QString entry = QStringLiteral("[Desktop Entry]\n"
                                             "Type=Application\n"
                                             "Name=Orvane Test\n"
                                             "Exec=%1\n"
                                             "Terminal=%2\n"
                                             "MimeType=text/plain;\n")
                                  .arg(exec, terminal ? QStringLiteral("true") : QStringLiteral("false"));
        return writeFile(path(QStringLiteral("data/applications/orvane-test.desktop")), entry.toUtf8());
    }

    // Asks a fresh process for the application of `file`; "NONE" or
    // "APP:<path>", or a description of what went wrong.
    QString ask(const QString& file) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "XDG_DATA_HOME",
              "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "GIO_LAUNCHED_DESKTOP_FILE"}) {
            environment.remove(QString::fromLatin1(name));
        }
        environment.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CONFIG_DIRS"), path(QStringLiteral("config-dirs")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data-home")));
        // Not /usr/share itself: the applications installed on this machine
        // would then take part.
        environment.insert(QStringLiteral("XDG_DATA_DIRS"),
                           path(QStringLiteral("data")) + u':' + path(QStringLiteral("system")));
        environment.insert(QStringLiteral("PATH"),
                           QFileInfo(stub_).path() + u':' + environment.value(QStringLiteral("PATH")));

        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildFlag), file});
        if (!child.waitForFinished(30000)) {
            child.kill();
            child.waitForFinished();
            return QStringLiteral("<no answer>");
        }
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
            return QStringLiteral("<child failed: %1>").arg(QString::fromUtf8(child.readAllStandardError()));
        }
        return QString::fromUtf8(child.readAllStandardOutput());
    }

private:
    QTemporaryDir dir_;
    QString stub_;
    bool valid_ = false;
};

#endif

} // namespace

class TestAssociations : public QObject {
    Q_OBJECT

private Q_SLOTS:
#ifdef Q_OS_WIN
    void unknownTypeHasNoApplication();
#else
    void initTestCase();
    void defaultApplication_data();
    void defaultApplication();
#endif
};

#ifdef Q_OS_WIN

void TestAssociations::unknownTypeHasNoApplication()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("blob.zzqx"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("\x01\x02");
    out.close();
    QVERIFY(!SystemAssociations().associatedApp(file).has_value());
}

#else

void TestAssociations::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral("/usr/share/mime/mime.cache")),
             "the system MIME database (shared-mime-info) is missing");
}

void TestAssociations::defaultApplication_data()
{
    QTest::addColumn<QString>("exec"); // @STUB@ stands for the quoted stub path
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("found"); // the stub, or nothing

    const QString txt = QStringLiteral("notes.txt");
    const QByteArray text = QByteArrayLiteral("Some words.\nMore words.\n");
    const QByteArray binary = QByteArray("\x00\x01\x02\x03\xfe\xff\x00\x7f", 8);

    QTest::newRow("file code") << QStringLiteral("@STUB@ %f") << false << txt << text << true;
    QTest::newRow("url list code") << QStringLiteral("@STUB@ %U") << false << txt << text << true;
    QTest::newRow("no field code") << QStringLiteral("@STUB@") << false << txt << text << true;
    QTest::newRow("deprecated code") << QStringLiteral("@STUB@ %m %f") << false << txt << text << true;
    QTest::newRow("program from PATH") << QStringLiteral("\"stub app\" %f") << false << txt << text << true;
    QTest::newRow("text without extension")
        << QStringLiteral("@STUB@ %f") << false << QStringLiteral("notes") << text << true;
    QTest::newRow("text with unknown extension")
        << QStringLiteral("@STUB@ %f") << false << QStringLiteral("notes.zzqx") << text << true;
    QTest::newRow("unknown type") << QStringLiteral("@STUB@ %f") << false << QStringLiteral("blob.zzqx")
                                  << binary << false;
    QTest::newRow("env wrapper") << QStringLiteral("env FOO=1 @STUB@ %f") << false << txt << text << false;
    QTest::newRow("extra option") << QStringLiteral("@STUB@ --new-window %U") << false << txt << text
                                  << false;
    QTest::newRow("flatpak style") << QStringLiteral("@STUB@ run --branch=stable org.x.Y @@ %f @@") << false
                                   << txt << text << false;
    QTest::newRow("icon code") << QStringLiteral("@STUB@ %i %f") << false << txt << text << false;
    QTest::newRow("file twice") << QStringLiteral("@STUB@ %f %F") << false << txt << text << false;
    QTest::newRow("missing program") << QStringLiteral("/nonexistent/orvane-app %f") << false << txt << text
                                     << false;
    QTest::newRow("terminal application") << QStringLiteral("@STUB@ %f") << true << txt << text << false;
}

void TestAssociations::defaultApplication()
{
    QFETCH(QString, exec);
    QFETCH(bool, terminal);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, contents);
    QFETCH(bool, found);

    MadeUpDesktop desktop;
    QVERIFY(desktop.isValid());
    exec.replace(QStringLiteral("@STUB@"), quotedForExec(desktop.stub()));
    QVERIFY(desktop.writeApplication(exec, terminal));
    const QString file = desktop.path(QStringLiteral("files/") + fileName);
    QVERIFY(writeFile(file, contents));

    QCOMPARE(desktop.ask(file), found ? QStringLiteral("APP:") + desktop.stub() : QStringLiteral("NONE"));
}

#endif

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0) {
        return answerInChild(QFile::decodeName(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestAssociations test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_associations.moc"
