#include <QTest>

#include "catalogue/catalogue.h"
#include "support/harness.h"

using namespace orvane;
using orvane::test::Harness;

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyStoreStartsEmptyAndCentred()
    {
        Harness h;
        auto& main = h.start();
        QCOMPARE(main.windowTitle(), QStringLiteral("Orvane 1.02"));
        QCOMPARE(h.g.NumberOfTypes, 0);
        QCOMPARE(main.TypeCombo.listCount(), 0);
        QCOMPARE(h.pref().TypeCombo.listCount(), 0);
        QCOMPARE(main.FileList.listCount(), 0);
        QVERIFY(!h.pref().isVisible());
        QCOMPARE(h.dialogs.shown.size(), 0);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
