#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace orvane::platform {

// F1 anywhere in the program: asks for the help topic of the highlighted
// menu item, the open message or input box, or the focused control, in that
// order. An item whose number is 0 uses its window's number.
class HelpKey final : public QObject {
public:
    using Show = std::function<void(int topic)>;

    explicit HelpKey(Show show, QObject* parent = nullptr);

    // The topic F1 asks for now, pressed in the receiver (by default the
    // focused control).
    static int currentTopic(const QWidget* receiver = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Show show_;
};

} // namespace orvane::platform
