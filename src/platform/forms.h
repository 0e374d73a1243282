#pragma once

#include <QFont>
#include <QPointer>
#include <QWidget>

#include <vector>

#include "platform/twips.h"

namespace orvane::platform {

// Shows a window modally and returns when it is hidden again.
void showModal(QWidget& form);

// Gives a window the size its controls were placed for. A Wayland
// compositor answers a program's own resize with the size it last chose,
// which would undo it: there the size is also the least the window takes.
void resizeForControls(QWidget& form, const QSize& size);

// Shortens a wrapping label to the whole lines that fit in its height, so
// that a text longer than the label ends on a full line, not half a one.
void showWholeLines(QWidget& label);
// The same for a font the label is about to have.
void showWholeLines(QWidget& label, const QFont& font);

// Makes a screen reader announce a plain widget window as a dialog with its
// title, as it does a QDialog. Call before the window is first shown.
void announceAsDialog(QWidget& form);

// A window's controls placed by their twips, and placed again in the same
// proportions whenever the window's font changes.
class TwipsLayout {
public:
    // A wrapping label given wholeLines shows only the lines that fit.
    void add(QWidget& control, const QRect& twips, bool wholeLines = false);
    // Places every control for the font and returns the scale used: the
    // font's own, enlarged until every caption fits its place.
    TwipsScale apply(const QFont& font);

private:
    struct Placed {
        QPointer<QWidget> control;
        QRect twips;
        bool wholeLines;
    };
    void place(const TwipsScale& scale, const QFont& font);
    [[nodiscard]] bool captionsFit(const QFont& font) const;

    std::vector<Placed> placed_;
};

// Whether a label's or a button's caption is shown whole in the font: every
// line of a wrapping label, the single line of any other.
bool captionFits(const QWidget& control, const QFont& font);

} // namespace orvane::platform
