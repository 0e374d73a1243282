#include <QApplication>
#include <QStyleFactory>
#include <QTest>

#include "platform/icons.h"

// Looking the standard icons up only when they are first drawn is for the
// start-up, which the bench times; here, that they draw as the style draws.
class TestIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void iconsDrawAsTheStyleDraws()
    {
        QStyle* fusion =
            QStyleFactory::create(QStringLiteral("Fusion")); // owned by the proxy, it by the application
        QApplication::setStyle(new orvane::platform::LazyIconStyle(fusion));
        for (const auto which :
             {QStyle::SP_DirOpenIcon, QStyle::SP_DirClosedIcon, QStyle::SP_MessageBoxCritical,
              QStyle::SP_ToolBarHorizontalExtensionButton}) {
            const QIcon lazy = QApplication::style()->standardIcon(which),
                        direct = fusion->standardIcon(which);
            for (const int side : {16, 32})
                for (const auto mode : {QIcon::Normal, QIcon::Disabled})
                    QCOMPARE(lazy.pixmap(side, mode).toImage(), direct.pixmap(side, mode).toImage());
        }
    }
};

QTEST_MAIN(TestIcons)
#include "tst_icons.moc"
