#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QStyleFactory>
#include <QTest>

#include "platform/icons.h"

using orvane::platform::LazyIconStyle;

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

QImage painted(const QIcon& icon, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    icon.paint(&painter, QRect(QPoint(0, 0), size));
    return image;
}

} // namespace

class TestIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        counting_ = new CountingStyle;
        // The application owns its style, and the style its base.
        QApplication::setStyle(new LazyIconStyle(counting_));
    }

    void aMenuBarLooksNothingUp()
    {
        counting_->lookups = 0;
        QWidget window;
        QMenuBar bar(&window);
        bar.addMenu(QStringLiteral("&File"));
        bar.addMenu(QStringLiteral("&Help"));
        window.show();
        window.grab();
        QCOMPARE(counting_->lookups, 0);
    }

    void drawsAsTheStyleDoesAndLooksUpOnce()
    {
        const auto which = {QStyle::SP_DirOpenIcon, QStyle::SP_DirClosedIcon,
                            QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_MessageBoxCritical};
        for (const QStyle::StandardPixmap sp : which) {
            const QIcon direct = counting_->QProxyStyle::standardIcon(sp, nullptr, nullptr);
            counting_->lookups = 0;
            const QIcon lazy = QApplication::style()->standardIcon(sp);
            QCOMPARE(counting_->lookups, 0);
            QVERIFY(!lazy.isNull());
            QCOMPARE(counting_->lookups, 1);
            for (const int side : {16, 32}) {
                const QSize size(side, side);
                QCOMPARE(lazy.actualSize(size), direct.actualSize(size));
                QCOMPARE(lazy.pixmap(size).toImage(), direct.pixmap(size).toImage());
                QCOMPARE(lazy.pixmap(size, QIcon::Disabled).toImage(),
                         direct.pixmap(size, QIcon::Disabled).toImage());
                QCOMPARE(painted(lazy, size), painted(direct, size));
            }
            QCOMPARE(counting_->lookups, 1);
        }
    }

private:
    CountingStyle* counting_ = nullptr; // owned by the application's style
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
