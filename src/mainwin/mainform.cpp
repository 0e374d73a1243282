#include "mainwin/mainform.h"

#include <QCloseEvent>
#include <QIcon>
#include <QImageReader>
#include <QMenuBar>
#include <QPixmap>

#include <cstdio>

#include "catalogue/catalogue.h"
#include "catalogue/paths.h"
#include "platform/failure.h"
#include "platform/forms.h"
#include "platform/help.h"
#include "platform/twips.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"
#include "shell/startup.h"

namespace orvane {

namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

constexpr int kHelpFileMenu = 2;
constexpr int kHelpAbout = 3;
constexpr int kHelpAdd = 6;
constexpr int kHelpOpen = 8;

QString beforeNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace

MainForm::MainForm(Globals& g)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint),
      g_(g)
{
    layout();
    buildMenu();
    placeControls();
    g_.views.main = this;
    TypeCombo.setClickHandler([this] { TypeCombo_Click(); });
    TypeCombo.setChangeHandler([this] { TypeCombo_Change(); });
    FileList.setDblClickHandler([this] { FileList_DblClick(); });
}

MainForm::~MainForm()
{
    pref_.reset();
    g_.views.main = nullptr;
}

void MainForm::layout()
{
    // Read as PNG without guessing: a guess tries every image plugin first.
    QIcon icon;
    for (const int size : {16, 32, 64, 128}) {
        QImageReader reader(QStringLiteral(":/icons/icons/%1x%1/orvane.png").arg(size), "png");
        reader.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(reader.read()));
    }
    setWindowIcon(icon);
    setCentralWidget(&client_);

    const auto place = [this](QWidget& control, const QRect& twips, bool wholeLines = false) {
        control.setParent(&client_);
        layout_.add(control, twips, wholeLines);
    };
    TypeCombo.setObjectName(QStringLiteral("TypeCombo"));
    FileList.setObjectName(QStringLiteral("FileList"));
    DescLabel.setObjectName(QStringLiteral("DescLabel"));
    Label2.setObjectName(QStringLiteral("Label2"));
    Label1.setObjectName(QStringLiteral("Label1"));
    place(TypeCombo.widget(), {1200, 240, 3135, 315});
    place(FileList, {120, 960, 4455, 2040});
    place(DescLabel, {120, 3360, 4455, 615}, true);
    place(Label2, {240, 720, 1575, 255});
    place(Label1, {120, 240, 1095, 255});
    Label1.setText(QStringLiteral("Type to open:"));
    Label2.setText(QStringLiteral("List of this type:"));
    DescLabel.setWordWrap(true);
    DescLabel.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TypeCombo.setLabel(Label1);
    Label2.setBuddy(&FileList);
    TypeCombo.setAccessibleName(Label1.text());
    FileList.setAccessibleName(Label2.text());

    setTabOrder(&FileList, &TypeCombo.widget());
    FileList.setFocus();
}

void MainForm::buildMenu()
{
    MnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    MnuExit = MnuFile->addAction(QStringLiteral("E&xit"));
    MnuEdit = menuBar()->addMenu(QStringLiteral("E&dit"));
    MnuAddType = MnuEdit->addAction(QStringLiteral("&Add New Type"));
    MnuPreferences = MnuEdit->addAction(QStringLiteral("&Preferences"));
    MnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    MnuContents = MnuHelp->addAction(QStringLiteral("Help Contents"));
    MnuAbout = MnuHelp->addAction(QStringLiteral("&About"));

    connect(MnuExit, &QAction::triggered, this, &MainForm::MnuExit_Click);
    connect(MnuAddType, &QAction::triggered, this, &MainForm::MnuAddType_Click);
    connect(MnuPreferences, &QAction::triggered, this, &MainForm::MnuPreferences_Click);
    connect(MnuContents, &QAction::triggered, this, &MainForm::MnuContents_Click);
    connect(MnuAbout, &QAction::triggered, this, &MainForm::MnuAbout_Click);
}

void MainForm::placeControls()
{
    const platform::TwipsScale scale = layout_.apply(font());
    platform::resizeForControls(*this,
                                {scale.pixels(4710), scale.pixels(3945) + menuBar()->sizeHint().height()});
}

void MainForm::changeEvent(QEvent* event)
{
    // A font set after start (by the desktop's theme) lays the window out anew.
    if (event->type() == QEvent::FontChange) {
        placeControls();
    }
    QMainWindow::changeEvent(event);
}

PrefForm& MainForm::prefForm()
{
    if (!pref_) {
        pref_ = std::make_unique<PrefForm>(g_, this, static_cast<const MainChoice&>(*this));
    }
    return *pref_;
}

void MainForm::clearTypeList()
{
    TypeCombo.clearItems();
}

void MainForm::emptyFileList()
{
    FileList.setPattern(platform::kEmptyListPattern);
}

void MainForm::disableEditing() {}

void MainForm::listTypes(const QStringList& names)
{
    TypeCombo.addItems(names);
}

void MainForm::chooseNoType()
{
    TypeCombo.clearSelection();
}

int MainForm::chosenPosition() const
{
    return TypeCombo.listIndex();
}

// ------------------------------------------------------ start and end

void MainForm::Form_Load()
{
    reporting(g_, Code::MFFL, [&] {
        g_.PathMissing = false;

        HelpItems items;
        items.mainForm = this;
        items.mainTypeCombo = &TypeCombo.widget();
        items.fileList = &FileList;
        items.mnuAddType = MnuAddType;
        items.mnuExit = MnuExit;
        items.mnuPreferences = MnuPreferences;
        items.mnuContents = MnuContents;
        items.mnuAbout = MnuAbout;
        items.mnuFile = MnuFile;
        items.mnuEdit = MnuEdit;
        items.mnuHelp = MnuHelp;
        PrefForm& pref = prefForm();
        pref.giveHelpItems(items);
        SetHelp(g_, items);

        g_.Types.assign(1, TypeRecord{});
        g_.NumberOfTypes = 0;

        CenterForm(g_, *this);
        CenterForm(g_, pref);
        LoadTypes(g_);
        PrepareVersion(g_, *this);
        FillTypeCombos(g_);
    });
}

void MainForm::Form_Unload()
{
    const bool saved = SaveTypes(g_);
    if (!saved) {
        MsgBox(g_,
               QStringLiteral("The types could not be saved to") + QStringLiteral("\r\n") +
                   g_.services.settings.location(),
               Buttons::Ok, Icon::Critical, kHelpFileMenu);
    }
    // A failed save ends with status 1, so that a session or a script sees it.
    g_.services.desktop.endNow(saved ? 0 : 1);
}

bool MainForm::Checkpoint()
{
    const bool saved = SaveTypes(g_);
    if (!saved) {
        std::fputs(qPrintable(QStringLiteral("The types could not be saved to ") +
                              g_.services.settings.location() + u'\n'),
                   stderr);
    }
    return saved;
}

void MainForm::EndSession()
{
    g_.services.desktop.endNow(Checkpoint() ? 0 : 1);
}

void MainForm::MnuExit_Click()
{
    close();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

// ------------------------------------------------------ choosing a type

void MainForm::TypeCombo_Click()
{
    reporting(g_, Code::MFTCCk, [&] {
        PrefForm& pref = prefForm();
        pref.followText(TypeCombo.text());
        pref.followPosition(TypeCombo.listIndex());
        if (!TypeCombo.text().isEmpty()) {
            g_.CurType = platform::to16(TypeCombo.listIndex());
            const TypeRecord record = TypeAt(g_, g_.CurType);
            FileList.setPattern(QStringLiteral("*.") + record.Ext);
            FileList.setFolder(record.Path);
            DescLabel.setText(record.Desc);
        } else {
            pref.emptyView();
        }
    });
}

void MainForm::TypeCombo_Change()
{
    reporting(g_, Code::MFTCC, [&] {
        PrefForm& pref = prefForm();
        pref.followText(TypeCombo.text());
        pref.followPosition(TypeCombo.listIndex());
        if (!TypeCombo.text().isEmpty()) {
            g_.CurType = platform::to16(TypeCombo.listIndex());
            if (g_.CurType == -1) {
                return;
            }
            const TypeRecord record = TypeAt(g_, g_.CurType);
            pref.showFiles(record.Ext, record.Path);
            pref.showDescription(record.Desc);
        } else {
            pref.emptyView();
        }
    });
}

// ------------------------------------------------------ opening a file

void MainForm::FileList_DblClick()
{
    reporting(g_, Code::MFFLDC, [&] {
        if (TypeCombo.listIndex() == -1 || FileList.listIndex() == -1) {
            return;
        }
        g_.CurType = platform::to16(TypeCombo.listIndex());
        const QString app = TypeAt(g_, g_.CurType).App;
        const QString fullPath = TypeAt(g_, g_.CurType).Path + FileList.item(FileList.listIndex());
        if (!FileExists(g_, fullPath)) {
            return;
        }
        try {
            g_.services.starter.start(app, {fullPath});
        } catch (const platform::Failure&) {
            skipping([&] { noApplication(); });
        }
    });
}

void MainForm::noApplication()
{
    g_.MessageString = QStringLiteral(
        "No application was found to open this type with.  Would you like to look for it now?");
    if (MsgBox(g_, g_.MessageString, Buttons::YesNo, Icon::None, kHelpOpen) == Answer::Yes) {
        ChooseApp(g_, TypeCombo.listIndex());
        return;
    }
    g_.MessageString = QStringLiteral("Would you like to delete this type?");
    if (MsgBox(g_, g_.MessageString, Buttons::YesNo, Icon::None, kHelpOpen) == Answer::Yes) {
        RemoveType(g_, TypeCombo.listIndex());
    }
}

// ------------------------------------------------------ adding a type

void MainForm::MnuAddType_Click()
{
    reporting(g_, Code::MFMATC, [&] {
        g_.Dialog1.FileName.clear();
        g_.Dialog1.Filter = QStringLiteral("*.*|*.*");
        ShowOpen(g_);
        const QString sample = g_.Dialog1.FileName;
        if (sample.isEmpty()) {
            FillTypeCombos(g_);
            return;
        }

        TypeRecord record;
        QString folder;
        record.Ext = GetExtension(g_, sample, folder);
        if (record.Ext.isEmpty()) {
            return;
        }

        g_.MessageString = QStringLiteral("Enter the name you would like to call this type of file.");
        record.Name = InputBox(g_, g_.MessageString, QString(), kHelpAdd);
        if (record.Name.isEmpty()) {
            return;
        }
        record.Path = folder;

        g_.MessageString = QStringLiteral("Enter a description.");
        record.Desc = InputBox(g_, g_.MessageString, QString(), kHelpAdd);

        QString app;
        if (GetAssociatedApp(g_, sample, app)) {
            record.App = beforeNul(app);
        } else {
            g_.MessageString = QStringLiteral(
                "No application is setup to handle this type of file.  Would you like to choose one?");
            if (MsgBox(g_, g_.MessageString, Buttons::YesNo, Icon::None, kHelpAdd) != Answer::Yes) {
                return;
            }
            g_.Dialog1.FileName.clear();
            g_.Dialog1.Filter = ExecutablesFilter();
            ShowOpen(g_);
            if (g_.Dialog1.FileName.isEmpty()) {
                return;
            }
            record.App = g_.Dialog1.FileName;
        }
        AddType(g_, record);
    });
}

// ------------------------------------------------------ other commands

void MainForm::MnuPreferences_Click()
{
    reporting(g_, Code::MFMPC, [&] {
        PrefForm& pref = prefForm();
        CenterForm(g_, pref);
        platform::showModal(pref);
    });
}

void MainForm::MnuContents_Click()
{
    ShowHelpTopic(g_, 0);
}

void MainForm::MnuAbout_Click()
{
    reporting(g_, Code::MFMAC, [&] {
        const QString text = AboutText(g_);
        MsgBox(g_, text, Buttons::Ok, Icon::None, kHelpAbout);
    });
}

} // namespace orvane
