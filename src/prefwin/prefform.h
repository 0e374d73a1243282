#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <array>

#include "platform/controls.h"
#include "platform/forms.h"
#include "shell/globals.h"
#include "shell/startup.h"

namespace orvane {

// The type chosen in the main window, which the preferences window follows:
// typing into its own list shows that type, whatever was typed.
class MainChoice {
public:
    virtual ~MainChoice() = default;
    // The main type list's position, -1 when nothing is chosen there.
    [[nodiscard]] virtual int chosenPosition() const = 0;
};

// The preferences window: one type at a time, with its description, folder
// and files, and six commands. Created hidden at start and kept for the
// whole run; closing it hides it.
class PrefForm : public QWidget, private TypeListView {
    Q_OBJECT
public:
    enum Button {
        OpensWith = 0,
        Done = 1,
        ChangeName = 2,
        ChangePath = 3,
        ChangeDescription = 4,
        RemoveType = 5
    };

    PrefForm(Globals& g, QWidget* owner, const MainChoice& mainChoice);
    ~PrefForm() override;
    PrefForm(const PrefForm&) = delete;
    PrefForm& operator=(const PrefForm&) = delete;

    platform::ComboBox TypeCombo;
    QLabel DescLabel;
    platform::DriveListBox PrefDrive;
    platform::DirListBox PrefDir;
    platform::FileListBox PrefFile;
    QLabel InstrLabel;
    std::array<QPushButton, 6> PrefButton;

    // Event handlers.
    void TypeCombo_Change();
    void TypeCombo_Click();
    void PrefDrive_Change();
    void PrefDir_Change();
    void PrefButton_Click(int index);
    void PrefButton_MouseMove(int index);
    void Form_MouseMove();
    void DescLabel_MouseMove();
    void PrefDir_MouseMove();
    void PrefFile_MouseMove();

    // This window and its controls that carry a help number.
    void giveHelpItems(HelpItems& items);

    // The hint shown for a button.
    static QString hint(int index);

    // Following the main window's choice. Each runs this window's own
    // handlers as a user's change would: the text raises Change, the
    // position raises Click.
    void followText(const QString& text);
    void followPosition(int position);
    // The files of a type (pattern first, then the folder, which may fail)
    // and its description.
    void showFiles(const QString& ext, const QString& folder);
    void showDescription(const QString& description);
    // No files and no description.
    void emptyView();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The catalogue's refill.
    void clearTypeList() override;
    void emptyFileList() override;
    void disableEditing() override;
    void listTypes(const QStringList& names) override;
    void chooseNoType() override;

    void layout();
    // Places the controls for the window's font and sizes the window.
    void placeControls();
    void connectHandlers();
    void loadView(int position);
    void missingFolderPrompt();
    void setEditingEnabled(bool enabled);

    void opensWith(int p);
    bool editField(int p, const QString& prompt, QString TypeRecord::*field);
    void changeName(int p);
    void changePath(int p);
    void changeDescription(int p);
    void removeType(int p);

    Globals& g_;
    const MainChoice& mainChoice_;
    bool iconGiven_ = false;
    platform::TwipsLayout layout_;
};

} // namespace orvane
