#include "platform/forms.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace orvane::platform {

namespace {

class HideWatcher final : public QObject {
public:
    explicit HideWatcher(QEventLoop& loop) : loop_(loop) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide) {
            loop_.quit();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QEventLoop& loop_;
};

constexpr char kAnnouncedAsDialog[] = "orvaneAnnouncedAsDialog";

QAccessibleInterface* dialogRole(const QString&, QObject* object)
{
    if (object == nullptr || !object->isWidgetType() || !object->property(kAnnouncedAsDialog).toBool()) {
        return nullptr;
    }
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
}

} // namespace

void announceAsDialog(QWidget& form)
{
    form.setProperty(kAnnouncedAsDialog, true);
    // Removing first keeps a single registration however many windows ask.
    QAccessible::removeFactory(dialogRole);
    QAccessible::installFactory(dialogRole);
}

void showWholeLines(QWidget& label)
{
    showWholeLines(label, label.font());
}

void showWholeLines(QWidget& label, const QFont& font)
{
    const int line = QFontMetrics(font).lineSpacing();
    const int lines = std::max(1, label.height() / line);
    label.resize(label.width(), std::min(label.height(), lines * line));
}

TwipsScale TwipsScale::forFont(const QFont& font)
{
    constexpr double kDialogFontPixels = 10.0; // 7.5 pt at 96 dpi
    constexpr double kPointsPerInch = 72.0;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    const double fontPixels =
        font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * dpi / kPointsPerInch;
    if (!(fontPixels > 0.0)) {
        return {};
    }
    return TwipsScale(kTwipsPerPixel * kDialogFontPixels / fontPixels);
}

void TwipsLayout::add(QWidget& control, const QRect& twips, bool wholeLines)
{
    placed_.push_back({&control, twips, wholeLines});
}

TwipsScale TwipsLayout::apply(const QFont& font)
{
    constexpr int kMostSteps = 40; // 0.95^40: up to seven times larger
    TwipsScale scale = TwipsScale::forFont(font);
    place(scale, font);
    for (int step = 0; step < kMostSteps && !captionsFit(font); ++step) {
        scale = scale.larger();
        place(scale, font);
    }
    return scale;
}

void TwipsLayout::place(const TwipsScale& scale, const QFont& font)
{
    for (const Placed& p : placed_) {
        if (p.control != nullptr) {
            p.control->setGeometry(scale.rect(p.twips));
            if (p.wholeLines) {
                showWholeLines(*p.control, font);
            }
        }
    }
}

bool TwipsLayout::captionsFit(const QFont& font) const
{
    return std::all_of(placed_.begin(), placed_.end(), [&font](const Placed& p) {
        return p.control == nullptr || captionFits(*p.control, font);
    });
}

bool captionFits(const QWidget& control, const QFont& font)
{
    const QFontMetrics metrics(font);
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        const QRect room = label->contentsRect();
        if (label->text().isEmpty()) {
            return true;
        }
        if (!label->wordWrap()) {
            return metrics.horizontalAdvance(label->text()) <= room.width() &&
                   metrics.height() <= room.height();
        }
        // A wrapping label needs room for one whole line and each word.
        const QStringList words =
            label->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        return metrics.lineSpacing() <= room.height() &&
               std::all_of(words.begin(), words.end(), [&](const QString& word) {
                   return metrics.horizontalAdvance(word) <= room.width();
               });
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control)) {
        const QStyle* style = button->style();
        const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        const QString text = QString(button->text()).remove(u'&');
        return metrics.horizontalAdvance(text) + margin <= button->width() &&
               metrics.height() <= button->height() - frame;
    }
    return true;
}

void resizeForControls(QWidget& form, const QSize& size)
{
    if (QGuiApplication::platformName() == QLatin1String("wayland")) {
        form.setMinimumSize(size);
    }
    form.resize(size);
}

void showModal(QWidget& form)
{
    QEventLoop loop;
    HideWatcher watcher(loop);
    form.installEventFilter(&watcher);
    form.setWindowModality(Qt::ApplicationModal);
    form.show();
    form.raise();
    form.activateWindow();
    if (form.isVisible()) {
        loop.exec(QEventLoop::DialogExec);
    }
    form.removeEventFilter(&watcher);
}

} // namespace orvane::platform
