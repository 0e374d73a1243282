// The built program in processes of its own, where a process is what is
// tested: the signals that end a session, a display that dies, the one
// running copy, a session manager's checkpoint and the installed program.

#include <QElapsedTimer>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <poll.h>

#include "support/processes.h"

using namespace orvane::test;
using namespace Qt::StringLiterals;
using Kind = DisplayServer::Kind;

namespace {

const QString kProgram = QStringLiteral(ORVANE_PROGRAM);
// Written by hand, with plain blanks: the program writes them as %20.
const QByteArray kStore = "[Types]\nNumber Of Types=1\nType name 0=Letters\nType ext 0=txt\n";

// The desktop's session manager, as small as XSMP lets one be: one client,
// on the local ICE transport, every save without interaction; whatever
// libSM hands over is freed.
struct SessionManager {
    SmsConn client = nullptr;
    IceConn connection = nullptr;
    int savesDone = 0;
    int listenerCount = 0;
    IceListenObj* listeners = nullptr;
    IceListenObj local = nullptr;
    QString address;

    SessionManager()
    {
        char error[256] = "";
        const auto localOnly = [](char* host) { return std::strncmp(host, "local/", 6) == 0 ? True : False; };
        SmsInitialize("Orvane tests", "1.0", newClient, this, localOnly, sizeof error, error);
        IceListenForConnections(&listenerCount, &listeners, sizeof error, error);
        for (int i = 0; i < listenerCount; ++i) {
            char* where = IceGetListenConnectionString(listeners[i]);
            local = localOnly(where) ? listeners[i] : local;
            std::free(where);
        }
        IceSetHostBasedAuthProc(local, localOnly);
        char* ids = IceComposeNetworkIdList(1, &local);
        address = QString::fromLocal8Bit(ids);
        std::free(ids);
    }
    ~SessionManager()
    {
        if (connection != nullptr)
            IceCloseConnection(connection);
        IceFreeListenObjs(listenerCount, listeners);
    }

    static Status newClient(SmsConn sms, SmPointer data, unsigned long* mask, SmsCallbacks* calls, char**)
    {
        static_cast<SessionManager*>(data)->client = sms;
        *calls = SmsCallbacks{};
        calls->register_client = {[](SmsConn c, SmPointer, char* previous) -> Status {
                                      std::free(previous);
                                      char* id = SmsGenerateClientID(c);
                                      SmsRegisterClientReply(c, id);
                                      std::free(id);
                                      // A new client saves once, locally.
                                      SmsSaveYourself(c, SmSaveLocal, False, SmInteractStyleNone, False);
                                      return 1;
                                  },
                                  data};
        calls->save_yourself_done = {
            [](SmsConn, SmPointer self, Bool) { ++static_cast<SessionManager*>(self)->savesDone; }, data};
        calls->close_connection = {
            [](SmsConn, SmPointer, int n, char** reasons) { SmFreeReasons(n, reasons); }, data};
        calls->set_properties = {[](SmsConn, SmPointer, int n, SmProp** properties) {
                                     std::for_each_n(properties, n, SmFreeProperty);
                                     std::free(properties);
                                 },
                                 data};
        calls->delete_properties = {[](SmsConn, SmPointer, int n, char** names) {
                                        std::for_each_n(names, n, [](char* name) { std::free(name); });
                                        std::free(names);
                                    },
                                    data};
        *mask = SmsRegisterClientProcMask | SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask |
                SmsSetPropertiesProcMask | SmsDeletePropertiesProcMask;
        return 1;
    }

    // Takes the client's connection and answers it until it has saved that
    // many times.
    bool saves(int count)
    {
        IceAcceptStatus status{};
        for (QDeadlineTimer deadline(15000); savesDone != count && !deadline.hasExpired();) {
            pollfd fd{connection != nullptr ? IceConnectionNumber(connection)
                                            : IceGetListenConnectionNumber(local),
                      POLLIN, 0};
            if (::poll(&fd, 1, 50) == 1 && connection == nullptr)
                connection = IceAcceptConnection(local, &status);
            else if (fd.revents != 0 &&
                     IceProcessMessages(connection, nullptr, nullptr) != IceProcessMessagesSuccess)
                break;
        }
        return savesDone == count;
    }
};

// What a tool said, or nothing when it failed.
QByteArray said(const QString& tool, const QStringList& arguments,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(tool, arguments);
    return process.waitForFinished(60000) && process.exitCode() == 0 ? process.readAll() : QByteArray();
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

    DisplayServer x11_{Kind::X11};

private Q_SLOTS:
    void initTestCase() { QVERIFY2(x11_.failure().isEmpty(), qPrintable(x11_.failure())); }

    void endSignalsSaveAndEndAndAKilledCopysLockIsTakenOver()
    {
        for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
            ProgramRun run(&x11_, kStore);
            QVERIFY(run.start(kProgram));
            QCOMPARE(run.endWith(signal), 0);
            QVERIFY2(run.saved(), strsignal(signal));
        }
        // A copy killed outright leaves a lock that the next start takes
        // over at once. A SIGINT ignored when the program started (a job in
        // the background) stays ignored.
        ProgramRun killed(&x11_, kStore);
        QVERIFY(killed.start(kProgram));
        killed.process.kill();
        QVERIFY(killed.process.waitForFinished());
        ProgramRun ignoring(&x11_);
        ignoring.environment = killed.environment;
        ignoring.process.setChildProcessModifier([] { std::signal(SIGINT, SIG_IGN); });
        QElapsedTimer took;
        took.start();
        QVERIFY(ignoring.start(kProgram));
        QCOMPARE_LT(took.elapsed(), 4000); // a copy that does not answer is waited for 5 s
        QCOMPARE(ignoring.endWith(SIGINT, 500), -1);
        QVERIFY(!killed.saved()); // the store of both
        QCOMPARE(ignoring.endWith(SIGTERM), 0);
        QVERIFY(killed.saved());
    }

    void aCheckpointSavesAndALogoutEnds()
    {
        SessionManager manager;
        ProgramRun run(&x11_, kStore);
        run.environment.insert(u"SESSION_MANAGER"_s, manager.address);
        QVERIFY(run.start(kProgram, false));
        QVERIFY(manager.saves(1)); // the local save it owes
        QVERIFY(run.ready());
        QVERIFY(!run.saved());
        SmsSaveYourself(manager.client, SmSaveBoth, False, SmInteractStyleNone, False);
        QVERIFY(manager.saves(2));
        SmsSaveComplete(manager.client);
        QVERIFY(run.saved());
        QVERIFY(!run.process.waitForFinished(500));

        QFile::remove(run.storePath());
        SmsSaveYourself(manager.client, SmSaveBoth, True, SmInteractStyleNone, False);
        QVERIFY(manager.saves(3));
        QVERIFY(run.saved());
        SmsDie(manager.client);
        IceFlush(manager.connection);
        QVERIFY(run.process.waitForFinished(10000));
        QCOMPARE(run.process.exitCode(), 0);
    }

    void theInstalledProgramIsTheDesktopEntrysAndSavesWhenItsDisplayIsLost_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("X11") << Kind::X11;
        QTest::newRow("Wayland") << Kind::Wayland;
    }
    void theInstalledProgramIsTheDesktopEntrysAndSavesWhenItsDisplayIsLost()
    {
        QFETCH(Kind, kind);
        DisplayServer display(kind);
        if (!display.failure().isEmpty())
            QSKIP(qPrintable(display.failure()));
        const QTemporaryDir prefix;
        QVERIFY(!said(u"cmake"_s,
                      {u"--install"_s, QStringLiteral(ORVANE_BINARY_DIR), u"--prefix"_s, prefix.path()})
                     .isEmpty());
        const QString entry = prefix.filePath(u"share/applications/com.velcora.orvane.desktop"_s);
        // The desktop knows the running window as its entry's.
        ProgramRun run(&display, kStore);
        QVERIFY(run.start(prefix.filePath(u"bin/orvane"_s)));
        if (kind == Kind::X11) {
            const QByteArray wmClass =
                said(u"xprop"_s, {u"-name"_s, u"Orvane 1.02"_s, u"WM_CLASS"_s}, run.environment).trimmed();
            const QString wanted =
                QSettings(entry, QSettings::IniFormat).value(u"Desktop Entry/StartupWMClass"_s).toString();
            QVERIFY2(wmClass.endsWith(QStringLiteral(", \"%1\"").arg(wanted).toUtf8()), wmClass.constData());
        } else {
            QVERIFY(said(u"swaymsg"_s, {u"-t"_s, u"get_tree"_s}, run.environment)
                        .contains("\"app_id\": \"" + QFileInfo(entry).completeBaseName().toUtf8() + '"'));
        }
        // Its display lost, it saves before it ends.
        display.kill();
        QVERIFY(run.process.waitForFinished(15000));
        QVERIFY(run.saved());
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
