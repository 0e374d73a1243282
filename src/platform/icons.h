#pragma once

#include <QIcon>
#include <QProxyStyle>

namespace orvane::platform {

// The desktop's style, whose standard icons (the folders of the folder
// list, the menu bar's overflow arrow, the symbols of the message boxes)
// are looked up when they are first drawn or measured instead of when a
// control is given one. A lookup reads the icon theme and, for Qt's own
// pictures, loads every image-format plugin: done while the windows are
// built, it held back the main window. Icons asked for with a style option
// are looked up at once, since the option describes that moment only.
class LazyIconStyle final : public QProxyStyle {
    Q_OBJECT
public:
    // Without a base, the application's default style.
    LazyIconStyle() = default;
    // Takes the base style over.
    explicit LazyIconStyle(QStyle* base) : QProxyStyle(base) {}

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

// Makes LazyIconStyle the application's style; before any window is built.
void useLazyStandardIcons();

} // namespace orvane::platform
