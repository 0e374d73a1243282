#include <QApplication>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTest>

#include "platform/icons.h"

namespace {

// Fusion, counting the standard icons it is asked for.
class CountingStyle : public QProxyStyle {
public:
    CountingStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override
    {
        ++lookups;
        return QProxyStyle::standardIcon(which, option, widget);
    }
    mutable int lookups = 0;
};

} // namespace

class TestIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void iconsAreLookedUpWhenFirstDrawnAndDrawAsTheStyleDraws()
    {
        auto* counting = new CountingStyle; // the application owns its style, the style its base
        QApplication::setStyle(new orvane::platform::LazyIconStyle(counting));
        QMenuBar bar;
        bar.addMenu(QStringLiteral("&File"));
        bar.show();
        bar.grab();
        QCOMPARE(counting->lookups, 0);
        for (const auto which :
             {QStyle::SP_DirOpenIcon, QStyle::SP_DirClosedIcon, QStyle::SP_MessageBoxCritical,
              QStyle::SP_ToolBarHorizontalExtensionButton}) {
            const QIcon direct = counting->QProxyStyle::standardIcon(which, nullptr, nullptr);
            counting->lookups = 0;
            const QIcon lazy = QApplication::style()->standardIcon(which);
            QCOMPARE(counting->lookups, 0);
            for (const int side : {16, 32})
                for (const auto mode : {QIcon::Normal, QIcon::Disabled})
                    QCOMPARE(lazy.pixmap(side, mode).toImage(), direct.pixmap(side, mode).toImage());
            QCOMPARE(counting->lookups, 1);
        }
    }
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
