#pragma once

// Controls with the program's event model. Every event that a program
// action raises runs its handler synchronously, to its end, before the
// setter returns, so handlers nest. User actions raise the same events.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "platform/folder_contents.h"
#include "platform/masks.h"

class QStringListModel;

namespace orvane::platform {

class Failure;

using Handler = std::function<void()>;

// The exit status when a failure escaped every handler.
constexpr int kUnreportedFailureExit = 4;

// A failure that no handler reported: tells the user which event failed
// ("TypeCombo_Change": the control's object name and the event) and ends the
// program at once.
[[noreturn]] void endOnUnreportedFailure(const QString& event, const Failure& failure);

// An editable drop-down list with a text field.
//  - setText() from the program raises Change (never Click); the user typing
//    raises Change on every edit.
//  - setListIndex() from the program raises Click (never Change), every
//    time, even when the position does not change, and for -1 too; the user
//    choosing an item from the drop-down (mouse, arrow keys, wheel) raises
//    Click only.
//  - When the text is exactly an item's text the position follows it: it
//    stays where it is if its own item has that text, else it goes to the
//    first such item; otherwise it is -1. Following raises nothing.
//  - clearItems(), addItem(), addItems() and clearSelection() raise nothing.
// Qt's combo box is inherited privately, so that nothing outside can change
// its items, position or text around these rules; it is one widget on
// screen, and to screen readers, as any combo box.
class ComboBox : private QComboBox {
    Q_OBJECT
public:
    explicit ComboBox(QWidget* parent = nullptr);

    // The box as a widget, for placing, focus and tab order.
    [[nodiscard]] QWidget& widget() { return *this; }
    [[nodiscard]] const QWidget& widget() const { return *this; }
    using QObject::objectName;
    using QObject::setObjectName;
    using QWidget::setAccessibleName;
    // Makes label the box's caption: its mnemonic moves to the box and a
    // screen reader reads the box as labelled by it.
    void setLabel(QLabel& label) { label.setBuddy(this); }
    // The field the user types in, and the drop-down list of items.
    [[nodiscard]] QLineEdit* lineEdit() const { return QComboBox::lineEdit(); }
    [[nodiscard]] QAbstractItemView* dropDown() const;

    void setChangeHandler(Handler handler) { onChange_ = std::move(handler); }
    void setClickHandler(Handler handler) { onClick_ = std::move(handler); }

    [[nodiscard]] QString text() const { return text_; }
    void setText(const QString& text);

    [[nodiscard]] int listIndex() const { return index_; }
    // Throws Failure for a position outside -1 .. listCount() - 1.
    void setListIndex(int index);

    [[nodiscard]] int listCount() const;
    // Throws Failure for a position outside the list.
    [[nodiscard]] QString item(int index) const;

    void clearItems();
    void addItem(const QString& text);
    // addItem() for each text, in one change of the list.
    void addItems(const QStringList& texts);
    // No item chosen and an empty text, silently.
    void clearSelection();
    // Moves the position, silently, to an item whose text is the list's
    // text: where several items share that text, this names which one.
    void followTo(int index);

private:
    void showPopup() override;
    void follow();
    void syncView();
    void userEdited(const QString& text);
    void userChose(int index);

    [[nodiscard]] QString itemAt(int index) const;

    QStringListModel* model_; // the items, shown as they are held
    mutable QListView* dropDown_ = nullptr;
    QString text_;
    int index_ = -1;
    Handler onChange_;
    Handler onClick_;
};

// A list of the names, without folder, of the plain files of one folder that
// match one pattern; sorted by name, ignoring case; single selection.
// Hidden files (names starting with ".") and folders are not listed. The
// list follows its folder (see FolderContents): a file created, removed or
// renamed there shows without a word and without raising anything, and the
// chosen file stays chosen, by name, while it is there. F5 reads the folder
// again.
//
// The keyboard: Enter and keypad Enter choose the file that carries the
// focus frame, then raise DblClick; Home, End, Page Up and Page Down choose
// the file they land on, as the arrows do.
class FileListBox : public QListView {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);

    void setDblClickHandler(Handler handler) { onDblClick_ = std::move(handler); }

    [[nodiscard]] QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern);

    [[nodiscard]] QString folder() const { return folder_; }
    // Throws Failure when the folder does not exist or cannot be read; the
    // list then keeps its previous folder and contents.
    void setFolder(const QString& folder);

    [[nodiscard]] int listCount() const;
    [[nodiscard]] int listIndex() const;
    void setListIndex(int index);
    [[nodiscard]] QString item(int index) const;

    // What tells the list that its folder changed.
    void setFolderWatch(std::unique_ptr<FolderWatch> watch) { contents_.setWatch(std::move(watch)); }
    [[nodiscard]] const FolderWatch& folderWatch() const { return contents_.watch(); }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    [[nodiscard]] FolderContents::Source source() const;
    void showNames(const QStringList& names, bool fresh);

    QStringListModel* model_; // the names shown
    QString folder_;
    QString pattern_;
    Handler onDblClick_;
    mutable FolderContents contents_{
        this, [this] { return source(); },
        [this](const QStringList& names, bool fresh) { showNames(names, fresh); }};
};

// A folder list: the current folder's ancestors, the folder itself and its
// subfolders. Opening a folder (double-click) makes it the current folder.
// Any change of folder, by the program or the user, raises Change. The list
// follows its folder's subfolders as a file list follows its files, raising
// nothing; F5 reads them again.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);

    void setChangeHandler(Handler handler) { onChange_ = std::move(handler); }

    [[nodiscard]] QString folder() const { return folder_; }
    // Throws Failure when the folder does not exist.
    void setFolder(const QString& folder);

    void setFolderWatch(std::unique_ptr<FolderWatch> watch) { contents_.setWatch(std::move(watch)); }
    [[nodiscard]] const FolderWatch& folderWatch() const { return contents_.watch(); }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(const QStringList& subfolders, bool fresh);
    void opened(QListWidgetItem* item);

    QString folder_;
    QStringList subfolders_; // as last shown
    Handler onChange_;
    // The entries are made when the list is shown after a change; until then
    // count() and item() show the previous folder's.
    FolderContents contents_;
};

// The roots the system has ("/" on Linux). A
// change of drive by the user raises Change.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    void setChangeHandler(Handler handler) { onChange_ = std::move(handler); }
    [[nodiscard]] QString drive() const { return currentText(); }

private:
    Handler onChange_;
    QString last_;
};

// Raises handler whenever the pointer moves over the widget (and over its
// viewport, for scrolling lists).
void onMouseMove(QWidget* widget, Handler handler);

} // namespace orvane::platform
