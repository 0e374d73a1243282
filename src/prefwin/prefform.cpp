#include "prefwin/prefform.h"

#include <QCloseEvent>
#include <QIcon>

#include "catalogue/catalogue.h"
#include "catalogue/paths.h"
#include "platform/failure.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "shell/dialogs.h"
#include "shell/errorreport.h"

namespace orvane {

namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

constexpr int kHelp = 9;
constexpr int kEditingButtons[] = {0, 2, 3, 4, 5};
const QString kCrLf = QStringLiteral("\r\n");

struct ButtonLayout {
    const char* caption;
    int top;
};

constexpr ButtonLayout kButtons[] = {
    {"Opens with...", 2280},      {"Done", 3000},        {"Change Name", 1200}, {"Change Path", 1920},
    {"Change Description", 1560}, {"Remove Type", 2640},
};

} // namespace

PrefForm::PrefForm(Globals& g, QWidget* owner, const MainChoice& mainChoice)
    : QWidget(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      g_(g), mainChoice_(mainChoice)
{
    platform::announceAsDialog(*this);
    layout();
    connectHandlers();
    g_.views.pref = this;
}

PrefForm::~PrefForm()
{
    g_.views.pref = nullptr;
}

void PrefForm::layout()
{
    setWindowTitle(QStringLiteral("Preferences"));
    const auto place = [this](QWidget& control, const QRect& twips, bool wholeLines = false) {
        control.setParent(this);
        layout_.add(control, twips, wholeLines);
    };
    TypeCombo.setObjectName(QStringLiteral("TypeCombo"));
    DescLabel.setObjectName(QStringLiteral("DescLabel"));
    PrefDrive.setObjectName(QStringLiteral("PrefDrive"));
    PrefDir.setObjectName(QStringLiteral("PrefDir"));
    PrefFile.setObjectName(QStringLiteral("PrefFile"));
    InstrLabel.setObjectName(QStringLiteral("InstrLabel"));
    for (auto& button : PrefButton) {
        button.setObjectName(QStringLiteral("PrefButton"));
    }
    place(TypeCombo.widget(), {120, 120, 5055, 315});
    place(DescLabel, {120, 480, 5055, 495}, true);
    place(PrefDrive, {2520, 7920, 2175, 315});
    place(PrefDir, {120, 1080, 2535, 1155});
    place(PrefFile, {120, 2520, 2535, 675});
    place(InstrLabel, {120, 3480, 5055, 255});
    for (std::size_t i = 0; i < PrefButton.size(); ++i) {
        auto& button = PrefButton.at(i);
        place(button, {2880, kButtons[i].top, 2295, 255});
        button.setText(QString::fromLatin1(kButtons[i].caption));
        button.setAutoDefault(false);
        button.setDefault(false);
    }
    DescLabel.setWordWrap(true);
    DescLabel.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    InstrLabel.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    TypeCombo.setAccessibleName(QStringLiteral("Type"));
    PrefDir.setAccessibleName(QStringLiteral("Folder"));
    PrefFile.setAccessibleName(QStringLiteral("Files"));
    PrefDrive.setAccessibleName(QStringLiteral("Drive"));
    // The drive list lies below the window's edge: the keyboard never stops there.
    PrefDrive.setFocusPolicy(Qt::NoFocus);

    setTabOrder(&TypeCombo.widget(), &PrefDrive);
    setTabOrder(&PrefDrive, &PrefDir);
    setTabOrder(&PrefDir, &PrefFile);
    setTabOrder(&PrefFile, &PrefButton[0]);
    for (std::size_t i = 1; i < PrefButton.size(); ++i) {
        setTabOrder(&PrefButton.at(i - 1), &PrefButton.at(i));
    }
    placeControls();
}

void PrefForm::placeControls()
{
    const platform::TwipsScale scale = layout_.apply(font());
    setFixedSize(scale.pixels(5310), scale.pixels(3900));
}

void PrefForm::changeEvent(QEvent* event)
{
    // A font set after start (by the desktop's theme) lays the window out anew.
    if (event->type() == QEvent::FontChange) {
        placeControls();
    }
    QWidget::changeEvent(event);
}

// The icon is given when the window is first shown, before it appears: the
// SVG needs Qt's SVG plugin, which the start need not wait for.
void PrefForm::showEvent(QShowEvent* event)
{
    if (!iconGiven_) {
        iconGiven_ = true;
        setWindowIcon(QIcon(QStringLiteral(":/icons/preferences.svg")));
    }
    QWidget::showEvent(event);
}

void PrefForm::connectHandlers()
{
    TypeCombo.setChangeHandler([this] { TypeCombo_Change(); });
    TypeCombo.setClickHandler([this] { TypeCombo_Click(); });
    PrefDrive.setChangeHandler([this] { PrefDrive_Change(); });
    PrefDir.setChangeHandler([this] { PrefDir_Change(); });
    for (std::size_t i = 0; i < PrefButton.size(); ++i) {
        const int index = static_cast<int>(i);
        connect(&PrefButton.at(i), &QPushButton::clicked, this, [this, index] { PrefButton_Click(index); });
        platform::onMouseMove(&PrefButton.at(i), [this, index] { PrefButton_MouseMove(index); });
    }
    platform::onMouseMove(this, [this] { Form_MouseMove(); });
    platform::onMouseMove(&DescLabel, [this] { DescLabel_MouseMove(); });
    platform::onMouseMove(&PrefDir, [this] { PrefDir_MouseMove(); });
    platform::onMouseMove(&PrefFile, [this] { PrefFile_MouseMove(); });
}

void PrefForm::giveHelpItems(HelpItems& items)
{
    items.prefForm = this;
    items.prefTypeCombo = &TypeCombo.widget();
    items.prefDir = &PrefDir;
    items.prefFile = &PrefFile;
    for (std::size_t i = 0; i < items.prefButton.size(); ++i) {
        items.prefButton.at(i) = &PrefButton.at(i);
    }
}

QString PrefForm::hint(int index)
{
    switch (index) {
    case OpensWith:
        return QStringLiteral("Change the app with which to open this type.");
    case Done:
        return QStringLiteral("Return to main.");
    case ChangeName:
        return QStringLiteral("Change the name of this type.");
    case ChangePath:
        return QStringLiteral("Change the path which Orvane looks for this type.");
    case ChangeDescription:
        return QStringLiteral("Change the description of this type.");
    case RemoveType:
        return QStringLiteral("Delete this type from Orvane.");
    default:
        return {};
    }
}

void PrefForm::setEditingEnabled(bool enabled)
{
    for (const int index : kEditingButtons) {
        PrefButton.at(static_cast<std::size_t>(index)).setEnabled(enabled);
    }
}

// ------------------------------------------------ following the main window

void PrefForm::followText(const QString& text)
{
    TypeCombo.setText(text);
}

void PrefForm::followPosition(int position)
{
    TypeCombo.setListIndex(position);
}

void PrefForm::showFiles(const QString& ext, const QString& folder)
{
    PrefFile.setPattern(QStringLiteral("*.") + ext);
    PrefFile.setFolder(folder);
}

void PrefForm::showDescription(const QString& description)
{
    DescLabel.setText(description);
}

void PrefForm::emptyView()
{
    PrefFile.setPattern(platform::kEmptyListPattern);
    DescLabel.clear();
}

// ------------------------------------------------------ the refill

void PrefForm::clearTypeList()
{
    TypeCombo.clearItems();
}

void PrefForm::emptyFileList()
{
    PrefFile.setPattern(platform::kEmptyListPattern);
}

void PrefForm::disableEditing()
{
    setEditingEnabled(false);
}

void PrefForm::listTypes(const QStringList& names)
{
    TypeCombo.addItems(names);
}

void PrefForm::chooseNoType()
{
    TypeCombo.clearSelection();
}

// ------------------------------------------------------ choosing a type

void PrefForm::TypeCombo_Change()
{
    reporting(g_, Code::PFTCC, [&] {
        if (TypeCombo.text().isEmpty()) {
            PrefFile.setPattern(platform::kEmptyListPattern);
            DescLabel.clear();
            setEditingEnabled(false);
            return;
        }
        // The main window's choice names the type, even where several
        // entries share its name: this list's position goes to that entry
        // so that the commands act on it.
        const int p = mainChoice_.chosenPosition();
        if (p == -1) {
            return;
        }
        TypeCombo.followTo(p);
        loadView(p);
    });
}

void PrefForm::TypeCombo_Click()
{
    reporting(g_, Code::PFTCC, [&] {
        if (TypeCombo.text().isEmpty()) {
            PrefFile.setPattern(platform::kEmptyListPattern);
            DescLabel.clear();
            setEditingEnabled(false);
            return;
        }
        const int p = TypeCombo.listIndex();
        if (p == -1) {
            return;
        }
        loadView(p);
    });
}

// Shows the type at position p. Up to the folder, a failure ends the
// handler with a report; from then on failing steps are skipped.
void PrefForm::loadView(int p)
{
    const TypeRecord e = TypeAt(g_, p);
    PrefFile.setPattern(QStringLiteral("*.") + e.Ext);

    bool folderFound = false;
    try {
        PrefFile.setFolder(e.Path);
        folderFound = true;
    } catch (const platform::Failure&) {
        skipping([&] { missingFolderPrompt(); });
    }
    if (!folderFound) {
        return;
    }
    skipping([&] { PrefDir.setFolder(e.Path); });
    skipping([&] { DescLabel.setText(e.Desc); });
    skipping([&] { setEditingEnabled(true); });
}

void PrefForm::missingFolderPrompt()
{
    struct PathMissingScope {
        explicit PathMissingScope(Globals& g) : g(g) { g.PathMissing = true; }
        ~PathMissingScope() { g.PathMissing = false; }
        PathMissingScope(const PathMissingScope&) = delete;
        PathMissingScope& operator=(const PathMissingScope&) = delete;
        Globals& g;
    } scope(g_);

    g_.MessageString =
        QStringLiteral("The path for this type cannot be found.  If you deleted it or renamed it "
                       "you will need to change the path in the preferences.") +
        kCrLf + kCrLf + QStringLiteral("Go there now?");
    if (MsgBox(g_, g_.MessageString, Buttons::YesNo, Icon::None, kHelp) == Answer::Yes) {
        PrefButton_Click(ChangePath);
    } else {
        PrefButton_Click(RemoveType);
    }
}

// ------------------------------------------------------------- browsing

void PrefForm::PrefDrive_Change()
{
    reporting(g_, Code::PFPDC, [&] { PrefDir.setFolder(PrefDrive.drive()); });
}

void PrefForm::PrefDir_Change()
{
    reporting(g_, Code::PFPDC, [&] { PrefFile.setFolder(PrefDir.folder()); });
}

// ---------------------------------------------------------------- hints

void PrefForm::PrefButton_MouseMove(int index)
{
    if (index >= 0 && index < static_cast<int>(PrefButton.size())) {
        InstrLabel.setText(hint(index));
    }
}

void PrefForm::Form_MouseMove()
{
    reporting(g_, Code::PFFMM, [&] { InstrLabel.clear(); });
}

void PrefForm::DescLabel_MouseMove()
{
    reporting(g_, Code::PFDLMM, [&] { InstrLabel.clear(); });
}

void PrefForm::PrefDir_MouseMove()
{
    InstrLabel.clear();
}

void PrefForm::PrefFile_MouseMove()
{
    reporting(g_, Code::PFPFMM, [&] { InstrLabel.clear(); });
}

// ------------------------------------------------------------- commands

void PrefForm::PrefButton_Click(int index)
{
    reporting(g_, Code::PFPBC, [&] {
        const int p = TypeCombo.listIndex();
        switch (index) {
        case OpensWith:
            opensWith(p);
            break;
        case Done:
            hide();
            InstrLabel.clear();
            break;
        case ChangeName:
            changeName(p);
            break;
        case ChangePath:
            changePath(p);
            break;
        case ChangeDescription:
            changeDescription(p);
            break;
        case RemoveType:
            removeType(p);
            break;
        default:
            break;
        }
    });
}

void PrefForm::opensWith(int p)
{
    if (p < 0) {
        return;
    }
    g_.MessageString = QStringLiteral("Currently opens with") + kCrLf + TypeAt(g_, p).App + kCrLf + kCrLf +
                       QStringLiteral("Would you like to change this?");
    if (MsgBox(g_, g_.MessageString, Buttons::YesNo, Icon::None, kHelp) == Answer::No) {
        return;
    }
    ChooseApp(g_, p);
}

// Asks for a new value of one field of the type at p; an empty answer,
// Cancel included, keeps the old one. Returns whether it changed.
bool PrefForm::editField(int p, const QString& prompt, QString TypeRecord::*field)
{
    g_.MessageString = prompt;
    const QString answer = InputBox(g_, g_.MessageString, TypeAt(g_, p).*field, kHelp);
    if (answer.isEmpty()) {
        return false;
    }
    TypeAt(g_, p).*field = answer;
    return true;
}

void PrefForm::changeName(int p)
{
    if (p >= 0 && editField(p, QStringLiteral("What would you like to call this?"), &TypeRecord::Name)) {
        FillTypeCombos(g_);
    }
}

void PrefForm::changePath(int p)
{
    if (p < 0) {
        return;
    }
    const TypeRecord& record = TypeAt(g_, p);
    g_.Dialog1.InitDir = record.Path;
    g_.Dialog1.FileName.clear();
    g_.Dialog1.Filter =
        record.Name + QStringLiteral(" (*.") + record.Ext + QStringLiteral(")|*.") + record.Ext;
    ShowOpen(g_);
    if (!g_.Dialog1.FileName.isEmpty()) {
        QString folder;
        GetExtension(g_, g_.Dialog1.FileName, folder);
        TypeAt(g_, p).Path = folder;
        return;
    }
    if (g_.PathMissing) {
        removeType(p);
    }
}

void PrefForm::changeDescription(int p)
{
    if (p >= 0 && editField(p, QStringLiteral("New description for this type?"), &TypeRecord::Desc)) {
        DescLabel.clear();
        FillTypeCombos(g_);
    }
}

void PrefForm::removeType(int p)
{
    if (p < 0) {
        return;
    }
    g_.MessageString = QStringLiteral("Are you sure you wish to remove the listing - ") + TypeAt(g_, p).Name +
                       QStringLiteral("?");
    if (!g_.PathMissing && MsgBox(g_, g_.MessageString, Buttons::YesNo, Icon::None, kHelp) == Answer::No) {
        return;
    }
    RemoveRecord(g_, p);
    FillTypeCombos(g_);
}

void PrefForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
    PrefButton_Click(Done);
}

} // namespace orvane
