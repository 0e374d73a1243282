#include "platform/controls.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringListModel>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/failure.h"
#include "platform/filenames.h"

namespace orvane::platform {

void endOnUnreportedFailure(const QString& event, const Failure& failure)
{
    const QString text = QStringLiteral("Orvane must close: %1 failed without a report.\n\n%2 (%3)")
                             .arg(event, failure.description())
                             .arg(failure.number());
    std::fprintf(stderr, "%s\n", qPrintable(text));
    QMessageBox::critical(nullptr, QStringLiteral("Orvane"), text);
    std::_Exit(kUnreportedFailureExit);
}

namespace {

// Where every event of a control enters the program. The handlers report
// their own failures; one that escapes them would unwind through Qt's event
// dispatch, so it ends the program here, naming the event.
void raiseEvent(const QObject* control, const char* event, const Handler& handler)
{
    if (!handler) {
        return;
    }
    try {
        handler();
    } catch (const Failure& failure) {
        // A window's own events are its Form's.
        const auto* widget = qobject_cast<const QWidget*>(control);
        const QString name =
            widget != nullptr && widget->isWindow() ? QStringLiteral("Form") : control->objectName();
        endOnUnreportedFailure(name + u'_' + QLatin1StringView(event), failure);
    }
}

class MouseMoveFilter final : public QObject {
public:
    MouseMoveFilter(QObject* parent, Handler handler) : QObject(parent), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Only moves over the widget's own area count, not those that a
        // child passed on to it.
        if (event->type() == QEvent::MouseMove) {
            const auto* widget = qobject_cast<QWidget*>(watched);
            const auto* move = static_cast<QMouseEvent*>(event);
            if (widget != nullptr && widget->childAt(move->position().toPoint()) == nullptr) {
                raiseEvent(parent(), "MouseMove", handler_);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Handler handler_;
};

QString canonicalFolder(const QString& folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

} // namespace

// ---------------------------------------------------------------- ComboBox

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent), model_(new QStringListModel(this))
{
    QComboBox::setEditable(true);
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    setDuplicatesEnabled(true);
    setModel(model_);
    // Without this the combo measures every item for its size hint.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(4);
    // Qt's templates see only the public side, so the connections name the
    // combo as the receiver and call back through it.
    QComboBox* self = this;
    connect(lineEdit(), &QLineEdit::textEdited, self, [this](const QString& text) { userEdited(text); });
    connect(self, &QComboBox::activated, self, [this](int index) { userChose(index); });
}

QAbstractItemView* ComboBox::dropDown() const
{
    // Made when first needed: every start builds both type lists, and most
    // runs never drop them down. Items of one size, so that the first drop-down
    // does not measure 32,767 of them.
    if (dropDown_ == nullptr) {
        auto* self = const_cast<ComboBox*>(this);
        dropDown_ = new QListView(self);
        dropDown_->setUniformItemSizes(true);
        self->setView(dropDown_);
    }
    return QComboBox::view();
}

void ComboBox::showPopup()
{
    static_cast<void>(dropDown()); // the drop-down of uniform items, made now if not yet
    QComboBox::showPopup();
}

void ComboBox::setText(const QString& text)
{
    text_ = text;
    follow();
    syncView();
    raiseEvent(this, "Change", onChange_);
}

void ComboBox::setListIndex(int index)
{
    if (index < -1 || index >= listCount()) {
        fail(Check::InvalidValue);
    }
    index_ = index;
    if (index_ >= 0) {
        text_ = itemAt(index_);
    }
    syncView();
    raiseEvent(this, "Click", onClick_);
}

QString ComboBox::item(int index) const
{
    if (index < 0 || index >= listCount()) {
        fail(Check::InvalidValue);
    }
    return itemAt(index);
}

int ComboBox::listCount() const
{
    return model_->rowCount();
}

QString ComboBox::itemAt(int index) const
{
    return model_->stringList().at(index);
}

void ComboBox::clearItems()
{
    index_ = -1;
    model_->setStringList({});
    syncView();
}

void ComboBox::addItem(const QString& text)
{
    const int row = model_->rowCount();
    model_->insertRows(row, 1);
    model_->setData(model_->index(row), text);
    syncView();
}

void ComboBox::addItems(const QStringList& texts)
{
    model_->setStringList(model_->stringList() + texts); // one change of the list, not one per item
    syncView();
}

void ComboBox::clearSelection()
{
    index_ = -1;
    text_.clear();
    syncView();
}

void ComboBox::followTo(int index)
{
    if (index >= 0 && index < listCount() && itemAt(index) == text_) {
        index_ = index;
        syncView();
    }
}

void ComboBox::follow()
{
    if (index_ >= 0 && index_ < listCount() && itemAt(index_) == text_) {
        return;
    }
    index_ = static_cast<int>(model_->stringList().indexOf(text_));
}

// Shows our text and position in Qt's combo without raising anything. Qt's
// own position would clear the text for -1 and take the first item's text
// when the first item is added, so the text is put back afterwards.
void ComboBox::syncView()
{
    const QSignalBlocker quietCombo(this);
    const QSignalBlocker quietEdit(lineEdit());
    const int cursor = lineEdit()->cursorPosition();
    if (QComboBox::currentIndex() != index_) {
        QComboBox::setCurrentIndex(index_);
    }
    if (lineEdit()->text() != text_) {
        lineEdit()->setText(text_);
        lineEdit()->setCursorPosition(std::min<int>(cursor, static_cast<int>(text_.size())));
    }
}

void ComboBox::userEdited(const QString& text)
{
    text_ = text;
    follow();
    syncView();
    raiseEvent(this, "Change", onChange_);
}

void ComboBox::userChose(int index)
{
    if (index < 0 || index >= listCount()) {
        return;
    }
    index_ = index;
    text_ = itemAt(index);
    syncView();
    raiseEvent(this, "Click", onClick_);
}

// ------------------------------------------------------------- FileListBox

namespace {

// Draws the current item's focus as a solid frame in the highlight colour,
// plainly visible where the style's own dotted frame is faint.
class FocusedItemDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (option.state.testFlag(QStyle::State_HasFocus)) {
            painter->save();
            const bool selected = option.state.testFlag(QStyle::State_Selected);
            painter->setPen(
                QPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight), 1,
                     Qt::SolidLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }
};

} // namespace

namespace {

// The names as they are, shown readably: a name that is not valid UTF-8
// keeps its own bytes for opening (see filenames.h) and shows U+FFFD for
// each byte that is not text.
class FileNamesModel : public QStringListModel {
public:
    using QStringListModel::QStringListModel;

    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole) {
            return readableName(QStringListModel::data(index, Qt::EditRole).toString());
        }
        return QStringListModel::data(index, role);
    }
};

// A regular file, or a link to one, as the folder's entry says or else as
// the system says when asked.
bool isRegularFile(int folder, const dirent& entry)
{
    if (entry.d_type == DT_REG) {
        return true;
    }
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat status {};
    return ::fstatat(folder, entry.d_name, &status, 0) == 0 && S_ISREG(status.st_mode);
}

bool isFolder(const QString& path)
{
    struct stat status {};
    return statPath(path, status) && S_ISDIR(status.st_mode);
}

// The order of the names in a file list: ignoring case, then by case.
bool listedBefore(const QString& a, const QString& b)
{
    const int byName = a.compare(b, Qt::CaseInsensitive);
    return byName != 0 ? byName < 0 : a < b;
}

// The names of the folder's plain files that match the pattern, in the
// list's order: the folder's entries as the system gives them, whatever
// bytes their names hold; hidden files (a leading dot) are left out, as
// everywhere on the desktop. None when the folder cannot be read.
QStringList fileNames(const QString& folder, const FilePattern& pattern)
{
    QStringList names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(toNativeName(folder).constData()), &::closedir);
    if (!dir) {
        return names;
    }
    const int where = ::dirfd(dir.get());
    while (const dirent* entry = ::readdir(dir.get())) {
        if (entry->d_name[0] == '.' || !isRegularFile(where, *entry)) {
            continue;
        }
        const QString name = fromNativeName(entry->d_name);
        if (pattern.matches(name)) {
            names.append(name);
        }
    }
    std::sort(names.begin(), names.end(), listedBefore);
    return names;
}

// The row of a name in names, which are in the list's order; -1 when it is
// not there.
int rowOf(const QStringList& names, const QString& name)
{
    const auto at = std::lower_bound(names.begin(), names.end(), name, listedBefore);
    return at != names.end() && *at == name ? static_cast<int>(at - names.begin()) : -1;
}

} // namespace

FileListBox::FileListBox(QWidget* parent)
    : QListView(parent), model_(new FileNamesModel(this)), folder_(QDir::currentPath()),
      pattern_(kEmptyListPattern)
{
    setModel(model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A double-click and whatever else the style calls activating an item
    // open the file; Enter and keypad Enter come through keyPressEvent, so
    // that they open the framed file even when it is not chosen.
    connect(this, &QListView::activated, this,
            [this](const QModelIndex&) { raiseEvent(this, "DblClick", onDblClick_); });
    setItemDelegate(new FocusedItemDelegate(this));
}

void FileListBox::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    const int key = event->key();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    const auto choose = [this](const QModelIndex& index) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    };
    if (plain && key == Qt::Key_F5) {
        contents_.reread();
        event->accept();
        return;
    }
    // Enter opens the framed file, chosen or not, once: the handler reads
    // the chosen file, so the framed one is chosen first.
    if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter) && onDblClick_) {
        if (current.isValid()) {
            choose(current);
            raiseEvent(this, "DblClick", onDblClick_);
        }
        event->accept();
        return;
    }
    // Tabbing in makes the first file current without choosing it; the first
    // move down then chooses that file rather than skipping to the second.
    const bool moves =
        key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Space || key == Qt::Key_Select;
    if (moves && plain && current.isValid() && !selectionModel()->hasSelection()) {
        choose(current);
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
    // Qt moves the frame without choosing when it stays where it was (Home
    // on the first file, Page Up at the top).
    const bool lands =
        key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
    if (lands && plain && currentIndex().isValid()) {
        choose(currentIndex());
    }
}

void FileListBox::setPattern(const QString& pattern)
{
    pattern_ = pattern;
    contents_.changed();
}

void FileListBox::setFolder(const QString& folder)
{
    if (!isFolder(folder)) {
        fail(Check::FolderNotFound);
    }
    if (::access(toNativeName(folder).constData(), R_OK) != 0) {
        throw systemFailure(EACCES);
    }
    folder_ = folder;
    contents_.changed();
}

FolderContents::Source FileListBox::source() const
{
    const FilePattern pattern(pattern_);
    if (pattern.matchesNothing()) {
        return {QString(), [] { return QStringList(); }};
    }
    return {folder_, [folder = folder_, pattern] { return fileNames(folder, pattern); }};
}

// Read again after a change on disk, the list keeps by name the chosen file
// and the one with the focus frame, and stays scrolled where it was.
void FileListBox::showNames(const QStringList& names, bool fresh)
{
    if (fresh) {
        model_->setStringList(names);
        return;
    }
    if (names == model_->stringList()) {
        return;
    }
    const auto nameAt = [](const QModelIndex& index) {
        return index.isValid() ? index.data(Qt::EditRole).toString() : QString();
    };
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    const QString chosen = selected.isEmpty() ? QString() : nameAt(selected.first());
    const QString framed = nameAt(currentIndex());
    const int scrolled = verticalScrollBar()->value();
    model_->setStringList(names);
    if (const int row = rowOf(names, framed); row >= 0) {
        selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::NoUpdate);
    }
    if (const int row = rowOf(names, chosen); row >= 0) {
        selectionModel()->select(model_->index(row), QItemSelectionModel::ClearAndSelect);
    }
    verticalScrollBar()->setValue(scrolled);
}

void FileListBox::showEvent(QShowEvent* event)
{
    contents_.makeIfStale();
    QListView::showEvent(event);
}

int FileListBox::listCount() const
{
    contents_.makeIfStale();
    return model_->rowCount();
}

int FileListBox::listIndex() const
{
    contents_.makeIfStale();
    const auto selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void FileListBox::setListIndex(int index)
{
    if (index < -1 || index >= listCount()) {
        fail(Check::InvalidValue);
    }
    if (index == -1) {
        selectionModel()->clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(model_->index(index), QItemSelectionModel::ClearAndSelect);
}

QString FileListBox::item(int index) const
{
    if (index < 0 || index >= listCount()) {
        fail(Check::InvalidValue);
    }
    return model_->index(index).data(Qt::EditRole).toString();
}

// -------------------------------------------------------------- DirListBox

namespace {
constexpr int kPathRole = Qt::UserRole + 1;
}

DirListBox::DirListBox(QWidget* parent)
    : QListWidget(parent), folder_(canonicalFolder(QDir::currentPath())),
      contents_(
          this,
          [this] {
              return FolderContents::Source{folder_, [folder = folder_] {
                                                return QDir(folder).entryList(QDir::Dirs |
                                                                                  QDir::NoDotAndDotDot,
                                                                              QDir::Name | QDir::IgnoreCase);
                                            }};
          },
          [this](const QStringList& subfolders, bool fresh) { fill(subfolders, fresh); })
{
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemActivated, this, &DirListBox::opened);
}

void DirListBox::setFolder(const QString& folder)
{
    if (!isFolder(folder)) {
        fail(Check::FolderNotFound);
    }
    const QString canonical = canonicalFolder(folder);
    if (canonical == folder_) {
        return;
    }
    folder_ = canonical;
    contents_.changed();
    raiseEvent(this, "Change", onChange_);
}

void DirListBox::showEvent(QShowEvent* event)
{
    contents_.makeIfStale();
    QListWidget::showEvent(event);
}

void DirListBox::keyPressEvent(QKeyEvent* event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && event->key() == Qt::Key_F5) {
        contents_.reread();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

// Filled again after a change on disk, the list keeps the entry that has the
// focus frame and stays scrolled where it was.
void DirListBox::fill(const QStringList& subfolders, bool fresh)
{
    // A change among the folder's files alone leaves the list as it is.
    if (!fresh && subfolders == subfolders_) {
        return;
    }
    subfolders_ = subfolders;
    const QString kept =
        !fresh && currentItem() != nullptr ? currentItem()->data(kPathRole).toString() : QString();
    const int scrolled = verticalScrollBar()->value();
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QStringList chain;
    for (QDir dir(folder_);;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp()) {
            break;
        }
    }
    qsizetype depth = 0;
    for (const auto& path : chain) {
        const QString name = depth == 0 ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
        auto* entry = new QListWidgetItem(open, QString(depth * 2, u' ') + name, this);
        entry->setData(kPathRole, path);
        ++depth;
    }
    setCurrentRow(count() - 1);

    const QDir folder(folder_);
    for (const auto& name : subfolders) {
        auto* entry = new QListWidgetItem(closed, QString(depth * 2, u' ') + name, this);
        entry->setData(kPathRole, folder.absoluteFilePath(name));
    }
    if (fresh) {
        return;
    }
    for (int row = 0; row < count(); ++row) {
        if (item(row)->data(kPathRole).toString() == kept) {
            setCurrentRow(row);
        }
    }
    verticalScrollBar()->setValue(scrolled);
}

void DirListBox::opened(QListWidgetItem* item)
{
    if (item == nullptr) {
        return;
    }
    try {
        setFolder(item->data(kPathRole).toString());
    } catch (const Failure&) {
        // The folder went away since the list was filled: show what is there now.
        contents_.reread();
    }
}

// ------------------------------------------------------------ DriveListBox

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent)
{
    const auto drives = QDir::drives();
    for (const auto& drive : drives) {
        QComboBox::addItem(QDir::toNativeSeparators(drive.absolutePath()));
    }
    const QString current = QDir::toNativeSeparators(QDir(QDir::currentPath()).rootPath());
    const int at = findText(current, Qt::MatchFixedString);
    setCurrentIndex(at >= 0 ? at : 0);
    last_ = currentText();
    connect(this, &QComboBox::activated, this, [this](int) {
        if (currentText() != last_) {
            last_ = currentText();
            raiseEvent(this, "Change", onChange_);
        }
    });
}

// --------------------------------------------------------------- MouseMove

void onMouseMove(QWidget* widget, Handler handler)
{
    auto* filter = new MouseMoveFilter(widget, std::move(handler));
    widget->setMouseTracking(true);
    widget->installEventFilter(filter);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
        area->viewport()->setMouseTracking(true);
        area->viewport()->installEventFilter(filter);
    }
}

} // namespace orvane::platform
