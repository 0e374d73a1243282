#include <QApplication>
#include <QTest>

#include <cstdio>

#include "support/processes.h"

class TestDisplay : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void placeholder()
    {
        QVERIFY(QGuiApplication::platformName() == qEnvironmentVariable("QT_QPA_PLATFORM"));
    }
};

int main(int argc, char** argv)
{
    const orvane::test::DisplayServer display(orvane::test::DisplayServer::kindFromEnvironment());
    if (!display.failure().isEmpty()) {
        std::printf("SKIP: %s\n", qPrintable(display.failure()));
        return 77;
    }
    display.applyToThisProcess();
    QApplication app(argc, argv);
    TestDisplay test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_display.moc"
