#pragma once

#include <QStringList>

namespace orvane {

// A window that lists the types: the main window and the preferences window
// each show the whole catalogue, item N being catalogue position N. The
// catalogue refills them through this, one step at a time across both, so
// that the order of the steps is the same whatever a window holds.
class TypeListView {
public:
    virtual ~TypeListView() = default;

    // Removes every item of the type list, silently.
    virtual void clearTypeList() = 0;
    // The file list shows nothing.
    virtual void emptyFileList() = 0;
    // The commands that change the chosen type are off until a type is
    // chosen again; a window without such commands does nothing.
    virtual void disableEditing() = 0;
    // Appends the names to the type list, silently, in one change.
    virtual void listTypes(const QStringList& names) = 0;
    // No item chosen and an empty text, silently.
    virtual void chooseNoType() = 0;
};

} // namespace orvane
