#include "platform/forms.h"

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

} // namespace

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
