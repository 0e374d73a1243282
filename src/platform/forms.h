#pragma once

#include <QWidget>

namespace orvane::platform {

// Shows a window modally and returns when it is hidden again.
void showModal(QWidget& form);

// Shortens a wrapping label to the whole lines that fit in its height, so
// that a text longer than the label ends on a full line, not half a one.
void showWholeLines(QWidget& label);

// Makes a screen reader announce a plain widget window as a dialog with its
// title, as it does a QDialog. Call before the window is first shown.
void announceAsDialog(QWidget& form);

// The windows are laid out for the classic small dialog font; the desktop's
// font family is kept at the size whose letters are as wide as that font's,
// so that every caption fits its place.
void useDialogFont();

} // namespace orvane::platform
