#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <array>

#include "platform/controls.h"
#include "shell/globals.h"

namespace orvane {

// The preferences window: one type at a time, with its description, folder
// and files, and six commands. Created hidden at start and kept for the
// whole run; closing it hides it.
class PrefForm : public QWidget {
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

    PrefForm(Globals& g, QWidget* owner);

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

    // The hint shown for a button.
    static QString hint(int index);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void layout();
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
    bool iconGiven_ = false;
};

} // namespace orvane
