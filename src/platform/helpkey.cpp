#include "platform/helpkey.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "platform/help.h"

namespace orvane::platform {

namespace {

int windowTopic(const QWidget* widget)
{
    const QWidget* window = widget->window();
    // A menu's window is the menu itself: its topic comes from the window
    // it belongs to.
    if (window->isWindowType() && qobject_cast<const QMenu*>(window) != nullptr && window->parentWidget()) {
        window = window->parentWidget()->window();
    }
    return helpNumber(window);
}

// The number of an item, or of the nearest enclosing control that has one
// (the text field inside a combo box has none of its own), else its window's.
int widgetTopic(const QWidget* widget)
{
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (const int number = helpNumber(w); number != 0) {
            return number;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return windowTopic(widget);
}

int menuTopic(const QMenu* menu)
{
    if (const QAction* action = menu->activeAction()) {
        if (const int number = helpNumber(action); number != 0) {
            return number;
        }
    }
    if (const int number = helpNumber(menu); number != 0) {
        return number;
    }
    return windowTopic(menu);
}

} // namespace

HelpKey::HelpKey(Show show, QObject* parent) : QObject(parent), show_(std::move(show)) {}

int HelpKey::currentTopic(const QWidget* receiver)
{
    if (const auto* popup = qobject_cast<const QMenu*>(QApplication::activePopupWidget())) {
        return menuTopic(popup);
    }
    if (const QWidget* modal = QApplication::activeModalWidget()) {
        if (const int number = helpNumber(modal); number != 0) {
            const QWidget* focus = QApplication::focusWidget();
            // Inside a box the box's number counts; inside a modal window its
            // controls' numbers do.
            if (focus == nullptr || focus->window() != modal || modal->inherits("QDialog")) {
                return number;
            }
        }
    }
    if (const QWidget* focus = receiver != nullptr ? receiver : QApplication::focusWidget()) {
        if (const auto* bar = qobject_cast<const QMenuBar*>(focus)) {
            if (const QAction* action = bar->activeAction(); action && action->menu()) {
                return menuTopic(action->menu());
            }
        }
        return widgetTopic(focus);
    }
    if (const QWidget* active = QApplication::activeWindow()) {
        return helpNumber(active);
    }
    return 0;
}

bool HelpKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
        watched->isWidgetType()) {
        show_(currentTopic(static_cast<QWidget*>(watched)));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace orvane::platform
