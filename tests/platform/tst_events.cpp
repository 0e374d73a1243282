#include <QApplication>
#include <QTest>
#include <QTimer>

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/controls.h"
#include "platform/failure.h"

using namespace orvane::platform;

namespace {

struct Ended {
    int status = -1; // exit status, or -1 when the child did not exit
    QByteArray output;
};

// Runs a step in a child process whose standard error is caught, closing
// any box it shows, and tells how the child ended.
Ended inChild(const std::function<void()>& step)
{
    int ends[2];
    if (::pipe(ends) != 0) {
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(ends[1], STDERR_FILENO);
        ::close(ends[0]);
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                box->close();
            }
        });
        closer.start(10);
        step();
        ::_exit(0);
    }
    ::close(ends[1]);
    Ended ended;
    char buffer[512];
    ssize_t count = 0;
    while ((count = ::read(ends[0], buffer, sizeof buffer)) > 0) {
        ended.output.append(buffer, count);
    }
    ::close(ends[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return ended;
}

} // namespace

class TestEvents : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A failure that a handler lets escape never unwinds into Qt: the program
    // ends, and says which event of which control failed.
    void unreportedFailureEndsNamingTheEvent_data()
    {
        QTest::addColumn<QString>("event");
        QTest::newRow("typed text") << QStringLiteral("TypeCombo_Change");
        QTest::newRow("chosen item") << QStringLiteral("TypeCombo_Click");
        QTest::newRow("folder") << QStringLiteral("PrefDir_Change");
    }
    void unreportedFailureEndsNamingTheEvent()
    {
        QFETCH(QString, event);
        const Ended ended = inChild([&] {
            QWidget window;
            ComboBox combo(&window);
            combo.setObjectName(QStringLiteral("TypeCombo"));
            combo.addItem(QStringLiteral("Text"));
            DirListBox dir(&window);
            dir.setObjectName(QStringLiteral("PrefDir"));
            const Handler failing = [] { fail(Check::OutOfRange); };
            combo.setChangeHandler(failing);
            combo.setClickHandler(failing);
            dir.setChangeHandler(failing);
            if (event.endsWith(QStringLiteral("Change")) && event.startsWith(u'T')) {
                combo.setText(QStringLiteral("typed"));
            } else if (event.startsWith(u'T')) {
                combo.setListIndex(0);
            } else {
                dir.setFolder(QStringLiteral("/"));
            }
        });
        QCOMPARE(ended.status, kUnreportedFailureExit);
        const QString output = QString::fromUtf8(ended.output);
        QCOMPARE(output.mid(output.indexOf(QStringLiteral("Orvane must close"))).trimmed(),
                 QStringLiteral("Orvane must close: %1 failed without a report.\n\n"
                                "Subscript out of range (9)")
                     .arg(event));
    }
};

QTEST_MAIN(TestEvents)
#include "tst_events.moc"
