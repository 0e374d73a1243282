#pragma once

#include <QLabel>
#include <QMainWindow>

#include <memory>

#include "platform/controls.h"
#include "platform/forms.h"
#include "prefwin/prefform.h"
#include "shell/globals.h"

class QAction;
class QMenu;

namespace orvane {

// The main window: choose a type, see its files, open one.
class MainForm : public QMainWindow, private TypeListView, private MainChoice {
    Q_OBJECT
public:
    explicit MainForm(Globals& g);
    ~MainForm() override;
    MainForm(const MainForm&) = delete;
    MainForm& operator=(const MainForm&) = delete;

private:
    QWidget client_; // before the controls: it is their parent

public:
    platform::ComboBox TypeCombo;
    platform::FileListBox FileList;
    QLabel DescLabel;
    QLabel Label2;
    QLabel Label1;

    QMenu* MnuFile = nullptr;
    QAction* MnuExit = nullptr;
    QMenu* MnuEdit = nullptr;
    QAction* MnuAddType = nullptr;
    QAction* MnuPreferences = nullptr;
    QMenu* MnuHelp = nullptr;
    QAction* MnuContents = nullptr;
    QAction* MnuAbout = nullptr;

    // The preferences window, created hidden on first use.
    PrefForm& prefForm();

    // Event handlers.
    void Form_Load();
    void Form_Unload();
    void MnuExit_Click();
    void TypeCombo_Click();
    void TypeCombo_Change();
    void FileList_DblClick();
    void MnuAddType_Click();
    void MnuPreferences_Click();
    void MnuContents_Click();
    void MnuAbout_Click();

    // The desktop session asks for the catalogue to be saved (a checkpoint):
    // it is saved and the program goes on. False when it could not be.
    bool Checkpoint();
    // The session ends the program (a signal, a logout): the catalogue is
    // saved and the program ends, without waiting for anyone. A failed save
    // is said on the standard error and ends with status 1.
    void EndSession();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The catalogue's refill.
    void clearTypeList() override;
    void emptyFileList() override;
    void disableEditing() override;
    void listTypes(const QStringList& names) override;
    void chooseNoType() override;
    // What the preferences window follows.
    [[nodiscard]] int chosenPosition() const override;

    void layout();
    void buildMenu();
    // Places the controls for the window's font and sizes the window.
    void placeControls();
    void noApplication();

    Globals& g_;
    std::unique_ptr<PrefForm> pref_;
    platform::TwipsLayout layout_;
};

} // namespace orvane
