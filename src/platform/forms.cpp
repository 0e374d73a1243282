#include "platform/forms.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFont>
#include <QPointer>

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
    const int line = label.fontMetrics().lineSpacing();
    const int lines = std::max(1, label.height() / line);
    label.resize(label.width(), std::min(label.height(), lines * line));
}

void useDialogFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(7.5);
    QApplication::setFont(font);
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
