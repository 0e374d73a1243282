// Started applications, and the running copy at a second start, come to the
// front: in-process on the real platform plugin (xcb on Xvfb, wayland on a
// headless sway that gives windows titled "Started" or "Running" no focus
// when they appear), from a real window of ours.

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QWidget>

#include <csignal>
#include <cstdio>

#include <xcb/xcb.h>

#include "platform/activation.h"
#include "platform/session.h"
#include "platform/system_starter.h"
#include "support/processes.h"
#include "support/scripted.h"

using namespace orvane::platform;
using orvane::test::DisplayServer;
using namespace Qt::StringLiterals;

namespace {

// X11's startup-notification messages as they reach the root window.
class StartupMessages final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& /*type*/, void* message, qintptr* /*result*/) override
    {
        const auto* event = static_cast<xcb_client_message_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && event->format == 8) {
            QByteArray& text = pending_[event->window];
            text += QByteArray(reinterpret_cast<const char*>(event->data.data8), 20);
            if (text.contains('\0')) {
                messages << QString::fromUtf8(pending_.take(event->window).split('\0').constFirst());
            }
        }
        return false;
    }
    QStringList messages;

private:
    QHash<quint32, QByteArray> pending_;
};

// What a started focus_child was given.
struct Child {
    QByteArray token;
    QByteArray startupId;
};

} // namespace

class TestActivation : public QObject {
    Q_OBJECT

public:
    explicit TestActivation(const DisplayServer& display) : display_(display) {}

private:
    const DisplayServer& display_;
    const bool wayland_ = QGuiApplication::platformName() == u"wayland"_s;
    QTemporaryDir dir_;
    SystemStarter starter_;
    StartupMessages x11_;
    QWidget acting_; // the window the user acts in
    QList<qint64> children_;
    int started_ = 0;

    // Starts focus_child as a plain program or through a desktop entry.
    QString start(bool entry, const QStringList& title = {})
    {
        const QString out = dir_.filePath(QString::number(++started_));
        QString program = QStringLiteral(ORVANE_FOCUS_CHILD);
        if (entry) {
            program = dir_.filePath(u"child.desktop"_s);
            orvane::test::writeFile(
                program, "[Desktop Entry]\nType=Application\nName=Child\nExec=" ORVANE_FOCUS_CHILD " %f\n");
        }
        children_ << 0;
        starter_.start(program, title + QStringList{out});
        return out;
    }

    Child given(const QString& out)
    {
        QList<QByteArray> lines;
        for (QDeadlineTimer deadline(10000); lines.size() < 4 && !deadline.hasExpired(); QTest::qWait(20)) {
            QFile file(out);
            lines = file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>();
        }
        children_.last() = lines.value(0).toLongLong();
        return {lines.value(1), lines.value(2)};
    }

    void focusActing()
    {
        acting_.show();
        if (wayland_) {
            display_.swaymsg({u"[title=\"^Acting$\"]"_s, u"focus"_s});
        } else {
            acting_.activateWindow();
        }
        QTRY_COMPARE(QGuiApplication::focusWindow(), acting_.windowHandle());
    }

private Q_SLOTS:
    void initTestCase()
    {
        acting_.setWindowTitle(u"Acting"_s);
        acting_.resize(200, 100);
        QCoreApplication::instance()->installNativeEventFilter(&x11_);
    }

    void cleanup()
    {
        for (const qint64 pid : std::as_const(children_)) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
        children_.clear();
        x11_.messages.clear();
    }

    void startedApplicationsComeToTheFront_data()
    {
        QTest::addColumn<bool>("entry");
        QTest::newRow("program") << false;
        QTest::newRow("desktop entry") << true;
    }
    void startedApplicationsComeToTheFront()
    {
        QFETCH(bool, entry);
        focusActing();
        const Child child = given(start(entry));
        if (wayland_) {
            QVERIFY(!child.token.isEmpty());
            QTRY_COMPARE_WITH_TIMEOUT(display_.focusedTitle(), u"Started"_s, 5000);
            return;
        }
        QVERIFY2(
            QRegularExpression(u"_TIME[1-9][0-9]*$"_s).match(QString::fromUtf8(child.startupId)).hasMatch(),
            child.startupId.constData());
        // Announced before the child ran, whose window then ends the sequence.
        const QString id = QString::fromUtf8(child.startupId);
        QTRY_COMPARE(x11_.messages.size(), 2);
        QVERIFY2(x11_.messages.at(0).startsWith(u"new: ID=\"%1\" NAME="_s.arg(id)),
                 qPrintable(x11_.messages.at(0)));
        QCOMPARE(x11_.messages.at(1), u"remove: ID="_s + id);
    }

    void withoutATokenTheStartGoesOnAtOnce_data()
    {
        QTest::addColumn<bool>("entry");
        QTest::addColumn<bool>("stalled"); // the compositor does not answer
        QTest::newRow("program, no window focused") << false << false;
        QTest::newRow("entry, no window focused") << true << false;
        QTest::newRow("program, no answer in time") << false << true;
    }
    void withoutATokenTheStartGoesOnAtOnce()
    {
        QFETCH(bool, entry);
        QFETCH(bool, stalled);
        if (stalled && !wayland_) {
            QSKIP("Wayland only");
        }
        // What this process was started with is spent and never handed on.
        qputenv(kTokenVariable, "spent");
        qputenv(kStartupIdVariable, "spent");
        const auto restore = qScopeGuard([] { LaunchIds::clearEnvironment(); });
        if (stalled) {
            focusActing();
            display_.signal(SIGSTOP);
        } else {
            acting_.hide();
            QTRY_VERIFY(QGuiApplication::focusWindow() == nullptr);
        }
        QElapsedTimer timer;
        timer.start();
        const QString out = start(entry);
        const qint64 elapsed = timer.elapsed();
        display_.signal(SIGCONT);
        QCOMPARE_LT(elapsed, Activation::kTokenWaitMs + 700);
        const Child child = given(out);
        QCOMPARE(child.token, QByteArray());
        QVERIFY(wayland_ ? child.startupId.isEmpty() : child.startupId.contains("_TIME"));
    }

    void aSecondStartBringsTheRunningCopyToTheFront()
    {
        // This process is the running copy, its window left without the
        // focus; the built program is started again with the desktop's
        // token or id while another program's window has the focus.
        orvane::test::ProgramRun second(display_);
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
        Activation desktop;
        const LaunchIds ids = desktop.announce({u"Orvane"_s, {}, {}, {}});
        given(start(false, {u"Other"_s}));
        QTRY_COMPARE(QGuiApplication::focusWindow(), nullptr);
        x11_.messages.clear();

        second.environment.insert(QString::fromLatin1(kTokenVariable), QString::fromUtf8(ids.token));
        second.environment.insert(QString::fromLatin1(kStartupIdVariable), QString::fromUtf8(ids.startupId));
        QVERIFY(second.start(QStringLiteral(ORVANE_PROGRAM), false));
        QTRY_COMPARE_WITH_TIMEOUT(second.process.state(), QProcess::NotRunning, 10000);
        QCOMPARE(second.process.exitCode(), 0);
        if (wayland_) {
            QTRY_COMPARE_WITH_TIMEOUT(display_.focusedTitle(), u"Running"_s, 5000);
        } else {
            QTRY_VERIFY(x11_.messages.contains(u"remove: ID=\"%1\""_s.arg(QString::fromUtf8(ids.startupId))));
        }
    }
};

int main(int argc, char** argv)
{
    const DisplayServer display(
        DisplayServer::kindFromEnvironment(),
        u"focus_on_window_activation focus\nno_focus [title=\"^(Started|Running)$\"]"_s);
    if (!display.failure().isEmpty()) {
        std::printf("SKIP: %s\n", qPrintable(display.failure()));
        return 77;
    }
    display.applyToThisProcess();
    QApplication app(argc, argv);
    QApplication::setDesktopFileName(u"com.velcora.orvane"_s);
    TestActivation test(display);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_activation.moc"
