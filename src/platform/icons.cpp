#include "platform/icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

namespace orvane::platform {

namespace {

// A standard icon of a style, looked up the first time it is needed and
// then answering as that icon does.
class DeferredIcon final : public QIconEngine {
public:
    DeferredIcon(QStyle* style, QStyle::StandardPixmap which, const QWidget* widget)
        // The widget is only handed back to the style, as const.
        : style_(style), which_(which), widget_(const_cast<QWidget*>(widget))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

    // Sizes here are in device pixels, as the icon's own engine takes them:
    // QIcon::actualSize would scale them by the screen's ratio once more.
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        if (icon().isNull()) {
            return {};
        }
        return icon().pixmap(size, 1.0, mode, state).size();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, 1.0, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }

    QString iconName() override { return icon().name(); }

    bool isNull() override { return icon().isNull(); }

    QIconEngine* clone() const override { return new DeferredIcon(*this); }

private:
    const QIcon& icon()
    {
        if (!resolved_) {
            resolved_ = true;
            if (style_) {
                icon_ = style_->standardIcon(which_, nullptr, widget_.data());
            }
        }
        return icon_;
    }

    QPointer<QStyle> style_;
    QStyle::StandardPixmap which_;
    QPointer<QWidget> widget_;
    bool resolved_ = false;
    QIcon icon_;
};

} // namespace

QIcon LazyIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                  const QWidget* widget) const
{
    if (option != nullptr) {
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    }
    // The icon owns its engine.
    return QIcon(new DeferredIcon(baseStyle(), standardIcon, widget));
}

void useLazyStandardIcons()
{
    // The application owns its style.
    QApplication::setStyle(new LazyIconStyle);
}

} // namespace orvane::platform
