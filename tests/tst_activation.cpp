// Started applications, and the running copy at a second start, come to the
// front: in-process on the real platform plugin (xcb on Xvfb, wayland on a
// headless sway that gives windows titled "Started" or "Running" no focus
// when they appear), from a real window of ours. The application started is
// this executable run as `--child TITLE FILE`.

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <csignal>
#include <utility>

#include <unistd.h>
#include <xcb/xcb.h>

#include "platform/activation.h"
#include "platform/session.h"
#include "platform/system_starter.h"
#include "support/processes.h"
#include "support/scripted.h"

using namespace orvane::platform;
using namespace Qt::StringLiterals;
using orvane::test::DisplayServer;

namespace {

// X11's startup-notification messages as they reach the root window.
struct StartupMessages final : QAbstractNativeEventFilter {
    bool nativeEventFilter(const QByteArray& /*type*/, void* message, qintptr* /*result*/) override
    {
        const auto* event = static_cast<xcb_client_message_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && event->format == 8) {
            pending += QByteArray(reinterpret_cast<const char*>(event->data.data8), 20);
            if (pending.contains('\0')) {
                texts << QString::fromUtf8(std::exchange(pending, {}).split('\0').constFirst());
            }
        }
        return false;
    }
    QStringList texts;
    QByteArray pending;
};

// Whether sway carries out the command; one with criteria fails when no
// window meets them.
bool sway(const QString& command)
{
    return QProcess::execute(u"swaymsg"_s, {u"-q"_s, command}) == 0;
}

// The started application: writes its process id and the token and startup
// id it was given, one a line, then shows a window that asks for the focus
// once the compositor shows it (Qt 6.4 presents the token only then).
int child(int argc, char** argv)
{
    // Before Qt takes the startup id (X11).
    orvane::test::writeFile(QString::fromLocal8Bit(argv[3]), QByteArray::number(::getpid()) + '\n' +
                                                                 qgetenv(kTokenVariable) + '\n' +
                                                                 qgetenv(kStartupIdVariable));
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    window.show();
    if (QTest::qWaitForWindowExposed(&window)) {
        QTest::qWait(200);
        window.activateWindow();
    }
    return QApplication::exec();
}

} // namespace

class TestActivation : public QObject {
    Q_OBJECT

public:
    TestActivation()
    {
        acting_.setWindowTitle(u"Acting"_s);
        QCoreApplication::instance()->installNativeEventFilter(&x11_);
    }

private:
    const bool wayland_ = QGuiApplication::platformName() == u"wayland"_s;
    QTemporaryDir dir_;
    SystemStarter starter_;
    StartupMessages x11_;
    QWidget acting_; // the window the user acts in
    QList<pid_t> children_;

    // Starts the child as a plain program or through a desktop entry, the
    // compositor stopped meanwhile if asked; the token and startup id it was
    // given, once it writes them.
    QList<QByteArray> start(bool entry, const QString& title, bool stalled = false)
    {
        const QString out = dir_.filePath(QString::number(children_.size()));
        QFile::remove(out);
        const QString self = QCoreApplication::applicationFilePath();
        orvane::test::writeFile(out + u".desktop"_s, "[Desktop Entry]\nType=Application\nName=Child\nExec=" +
                                                         (self + u" --child "_s + title).toUtf8() + " %f\n");
        DisplayServer::signalOwnServer(stalled ? SIGSTOP : SIGCONT);
        QElapsedTimer timer;
        timer.start();
        starter_.start(entry ? out + u".desktop"_s : self,
                       (entry ? QStringList() : QStringList{u"--child"_s, title}) << out);
        elapsed_ = timer.elapsed();
        DisplayServer::signalOwnServer(SIGCONT);
        QList<QByteArray> lines;
        for (QDeadlineTimer deadline(10000); lines.size() < 3 && !deadline.hasExpired(); QTest::qWait(20)) {
            lines = orvane::test::readFile(out).split('\n');
        }
        if (const pid_t pid = lines.value(0).toInt(); pid > 0) { // 0 would be our own group
            children_ << pid;
        }
        return lines.mid(1);
    }
    qint64 elapsed_ = 0; // the last start's

    void focusActing()
    {
        acting_.show();
        wayland_ ? (void)sway(u"[title=\"^Acting$\"] focus"_s) : acting_.activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), acting_.windowHandle());
    }

private Q_SLOTS:
    void cleanup()
    {
        for (const pid_t pid : std::exchange(children_, {})) {
            ::kill(pid, SIGKILL);
        }
        x11_.texts.clear();
        LaunchIds::clearEnvironment();
    }

    void startedApplicationsComeToTheFront_data()
    {
        QTest::addColumn<bool>("entry");
        QTest::addColumn<int>(
            "focus"); // 1: a window of ours has it; 0: none; -1: the compositor does not answer
        QTest::newRow("program") << false << 1;
        QTest::newRow("desktop entry") << true << 1;
        QTest::newRow("program, no window focused") << false << 0;
        QTest::newRow("entry, no window focused") << true << 0;
        QTest::newRow("program, no answer in time") << false << -1;
    }
    void startedApplicationsComeToTheFront()
    {
        QFETCH(bool, entry);
        QFETCH(int, focus);
        if (focus < 0 && !wayland_) {
            QSKIP("Wayland only");
        }
        // What this process was started with is spent and never handed on.
        qputenv(kTokenVariable, "spent");
        qputenv(kStartupIdVariable, "spent");
        focus != 0 ? focusActing() : acting_.hide();
        QTRY_COMPARE(QGuiApplication::focusWindow() != nullptr, focus != 0);
        const QList<QByteArray> ids = start(entry, u"Started"_s, focus < 0);
        QCOMPARE_LT(elapsed_, Activation::kTokenWaitMs + 700); // never long without a token
        if (wayland_) {
            QCOMPARE(!ids.at(0).isEmpty(), focus > 0);
            QVERIFY(focus <= 0 ||
                    QTest::qWaitFor([] { return sway(u"[con_id=__focused__ title=\"^Started$\"] nop"_s); }));
            return;
        }
        QCOMPARE(ids.at(0), QByteArray());
        const QString id = QString::fromUtf8(ids.at(1));
        // Announced before the child ran, whose window then ends the sequence.
        QTRY_COMPARE(x11_.texts.size(), 2);
        QVERIFY2(id.contains(QRegularExpression(u"_TIME[1-9][0-9]*$"_s)) &&
                     x11_.texts.at(0).startsWith(u"new: ID=\"%1\" NAME="_s.arg(id)),
                 qPrintable(x11_.texts.at(0)));
        QCOMPARE(x11_.texts.at(1), u"remove: ID="_s + id);
    }

    void aSecondStartBringsTheRunningCopyToTheFront()
    {
        // This process is the running copy, its window left without the
        // focus; the built program is started again with the desktop's
        // token or id while another program's window has the focus.
        orvane::test::ProgramRun second(nullptr);
        const QString lock = second.home.filePath(u"config/Orvane/Orvane.conf.lock"_s);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(second.home.filePath(u"runtime"_s)));
        SingleCopy copy(lock, SingleCopy::defaultSocket(lock));
        QVERIFY(copy.claim({}));
        QWidget running;
        running.setWindowTitle(u"Running"_s);
        running.show();
        copy.setWindow(&running);
        QVERIFY(QTest::qWaitForWindowExposed(&running));
        focusActing();
        const LaunchIds ids = Activation().announce({u"Orvane"_s, {}, {}, {}});
        start(false, u"Other"_s);
        QTRY_COMPARE(QGuiApplication::focusWindow(), nullptr);

        second.environment.insert(QString::fromLatin1(kTokenVariable), QString::fromUtf8(ids.token));
        second.environment.insert(QString::fromLatin1(kStartupIdVariable), QString::fromUtf8(ids.startupId));
        QVERIFY(second.start(QStringLiteral(ORVANE_PROGRAM), false));
        QTRY_COMPARE_WITH_TIMEOUT(second.process.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.process.exitCode(), 0);
        if (wayland_) {
            QTRY_VERIFY_WITH_TIMEOUT(sway(u"[con_id=__focused__ title=\"^Running$\"] nop"_s), 5000);
        } else {
            QTRY_VERIFY(x11_.texts.contains(u"remove: ID=\"%1\""_s.arg(QString::fromUtf8(ids.startupId))));
        }
    }
};

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0) {
        return child(argc, argv);
    }
    if (const int onServer = DisplayServer::runOnOwnServer(
            argc, argv, "focus_on_window_activation focus\nno_focus [title=\"^(Started|Running)$\"]");
        onServer >= 0) {
        return onServer;
    }
    QApplication app(argc, argv);
    TestActivation test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_activation.moc"
