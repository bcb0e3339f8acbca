#include "shell/main_window.h"

#include "editors/byte_map_editor.h"
#include "editors/communication_dialog.h"
#include "editors/frame_list_editor.h"
#include "image/bank_files.h"
#include "image/image_builder.h"
#include "image/project_check.h"
#include "image/register_map.h"
#include "platform/common_look.h"
#include "platform/error_boundary.h"
#include "platform/file_names.h"
#include "platform/ini_profile.h"
#include "platform/platform.h"
#include "shell/about_box.h"
#include "shell/firmware_dialog.h"
#include "shell/link_label.h"
#include "shell/new_project_dialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace trelvant {
namespace {

constexpr int kClientWidth = 566;
constexpr int kClientHeight = 261;

QString SecondaryTextStyle()
{
    return QStringLiteral("color: rgb(%1, %1, %1); font-weight: bold;").arg(kSecondaryGray);
}

// An existing folder of that name in any case, or the name as given.
QString folderBeside(const QString& programFolder, const QString& name)
{
    return FromPath(ResolveFileName(ToPath(JoinPath(programFolder, name))));
}

}  // namespace

TFTrelvanteFirmWare::TFTrelvanteFirmWare(const QString& programFolder, Platform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform), programFolder_(QDir::toNativeSeparators(programFolder))
{
    setObjectName(QStringLiteral("TFTrelvanteFirmWare"));
    setWindowTitle(kTitle);
    ApplyCommonLook(this);
    MakeFixedToolWindow(this, kClientWidth, kClientHeight);
    buildLayout();
    FormCreate();

    fsaveproj_ = new TFsaveproj(project_, platform_.boxes, this);
    fabout_ = new TFAbout(platform_, this);
    fmodifyFileSx_ = new TFModifyFileSx(programFolder_, masterFolder_, platform_, this);
    fpargen_ = new TFpargen(platform_.boxes, this);
    setEditorOpener(findChild<QPushButton*>(QStringLiteral("btn_Prm_Gen")), [this] {
        fpargen_->setDocumentPath(project_.pargenPath);
        fpargen_->exec();
    });
    fpdoMB_ = new TFpdoMB(project_, platform_.boxes, this);
    finfopdoMB_ = new TFInfopdoMB(project_, platform_.boxes, this);
    ftpdo2MB_ = new TFTpdo2MB(project_, platform_.boxes, this);
    finfoTpdoMB_ = new TFInfoTpdoMB(project_, platform_.boxes, this);
    // The four J1939 editors: each stores its editor mode just before it shows, and its Import
    // opens the one file dialog of the main window.
    const auto j1939Editor = [this](const char* button, auto* editor, Direction mode) {
        editor->setFileChooser(platform_.files);
        setEditorOpener(findChild<QPushButton*>(QString::fromLatin1(button)), [editor, mode] {
            editor->setEditorMode(mode);
            editor->exec();
        });
    };
    j1939Editor("btn_RCOB", fpdoMB_, Direction::Receive);
    j1939Editor("btn_Info_RCOB", finfopdoMB_, Direction::Receive);
    j1939Editor("btn_TCOB", ftpdo2MB_, Direction::Transmit);
    j1939Editor("btn_Info_TCOB", finfoTpdoMB_, Direction::Transmit);
}

void TFTrelvanteFirmWare::FormCreate()
{
    while (programFolder_.size() > 1 && programFolder_.endsWith(QDir::separator())) programFolder_.chop(1);

    // Folders that cannot be made are not reported; start-up goes on.
    masterFolder_ = folderBeside(programFolder_, QStringLiteral("MASTER"));
    if (!QFileInfo::exists(masterFolder_)) QDir().mkdir(masterFolder_);
    projectsFolder_ = folderBeside(programFolder_, QStringLiteral("PROJECTS"));
    if (!QFileInfo::exists(projectsFolder_)) QDir().mkdir(projectsFolder_);

    project_.name.clear();
    const std::string stored = ReadProfileString(ToPath(settingsFile()), "lastproj", "projectname");
    // A value that is not UTF-8 (a settings file written in an 8-bit code page) cannot be held as
    // text here without loss: it goes back as the bytes it was until New or Open changes the name.
    if (QString::fromUtf8(stored).toStdString() != stored) restoredBytes_ = stored;
    const RestoredProject restored = RestoreProject(projectsFolder_, DecodeStoredName(stored));
    project_.name = restored.name;
    project_.folder = restored.folder;
    showTitle();

    openExcel_.initialFolder = project_.folder;
    BuildDocumentPaths(project_);
}

QString TFTrelvanteFirmWare::settingsFile() const
{
    return FromPath(ResolveFileName(ToPath(JoinPath(programFolder_, kSettingsFileName))));
}

void TFTrelvanteFirmWare::buildLayout()
{
    struct Row {
        const char* step;
        const char* leftName;
        const char* leftCaption;
        QStyle::StandardPixmap leftPicture;
        const char* rightName;
        const char* rightCaption;
        QStyle::StandardPixmap rightPicture;
        const char* rightDescription = nullptr;  // for the two buttons of one caption
    };
    const Row rows[] = {
        {"Step 1", "New", "New project", QStyle::SP_FileIcon, "open", "Open project", QStyle::SP_DirOpenIcon},
        {"Step 2", "btn_Prm_Gen", "Set Communication", QStyle::SP_ComputerIcon, nullptr, nullptr, {}},
        {"Step 3", "btn_RCOB", "Receive J1939", QStyle::SP_ArrowDown, "btn_Info_RCOB", "Define J1939",
         QStyle::SP_FileDialogDetailedView, "Byte map of the received J1939 frames"},
        {"Step 4", "btn_TCOB", "Transmit J1939", QStyle::SP_ArrowUp, "btn_Info_TCOB", "Define J1939",
         QStyle::SP_FileDialogDetailedView, "Byte map of the transmitted J1939 frames"},
        {"Step 5", "CreateBin", "Update Device", QStyle::SP_DriveHDIcon, nullptr, nullptr, {}},
    };

    const int labelX = 60, leftX = 140, rightX = 297, top = 32, pitch = 42;
    int y = top;
    int index = 1;
    for (const Row& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.step), this);
        label->setObjectName(QStringLiteral("LStep%1").arg(index++));
        label->setStyleSheet(SecondaryTextStyle());
        label->setGeometry(labelX, y, 70, 26);

        QPushButton* left = MakeFlatButton(this, row.leftName, QString::fromLatin1(row.leftCaption), row.leftPicture);
        left->setGeometry(leftX, y, 145, 26);
        if (row.rightName) {
            QPushButton* right =
                MakeFlatButton(this, row.rightName, QString::fromLatin1(row.rightCaption), row.rightPicture);
            right->setGeometry(rightX, y, 146, 26);
            if (row.rightDescription) {
                right->setAccessibleDescription(QString::fromLatin1(row.rightDescription));
                right->setToolTip(QString::fromLatin1(row.rightDescription));
            }
        }
        y += pitch;
    }

    // Made before About: the keyboard reaches it after the steps, before About.
    auto* registerMap =
        MakeFlatButton(this, "RegisterMap", QStringLiteral("Register map"), QStyle::SP_FileDialogContentsView);
    registerMap->setToolTip(
        QStringLiteral("Register map: what every Modbus register of the gateway holds, opened in the browser"));
    registerMap->setAccessibleName(QStringLiteral("Register map"));
    // The strip's height holds the picture only without the flat buttons' vertical padding.
    registerMap->setStyleSheet(QStringLiteral("padding: 0px 4px;"));
    // As wide as its caption needs in the font the system has, its right edge just left of About.
    registerMap->resize(registerMap->sizeHint().width(), 19);
    registerMap->move(kClientWidth - 50 - 6 - registerMap->width(), 4);

    auto* about = MakeFlatButton(this, "about", QString(), QStyle::SP_MessageBoxInformation);
    about->setGeometry(kClientWidth - 50, 4, 21, 19);
    about->setToolTip(QStringLiteral("About"));
    about->setAccessibleName(QStringLiteral("About"));
    about->setStyleSheet(QStringLiteral("padding: 0px;"));
    auto* close = MakeFlatButton(this, "LbButton1", QStringLiteral("X"), QStyle::SP_CustomBase);
    close->setIcon(QIcon());
    close->setGeometry(kClientWidth - 27, 4, 21, 19);
    close->setStyleSheet(QStringLiteral("padding: 0px; text-align: center; font-weight: bold;"));
    close->setToolTip(QStringLiteral("Close"));
    close->setAccessibleName(QStringLiteral("Close"));

    auto* web = new LinkLabel(kProductPageText, this);
    web->setObjectName(QStringLiteral("Label6"));
    web->setStyleSheet(SecondaryTextStyle());
    web->adjustSize();
    web->move(kClientWidth - 10 - web->width(), kClientHeight - 8 - web->height());

    connectHandler(findChild<QPushButton*>(QStringLiteral("New")), [this] { NewaClick(); });
    connectHandler(findChild<QPushButton*>(QStringLiteral("open")), [this] { OpenaClick(); });
    for (const char* name : {"btn_Prm_Gen", "btn_RCOB", "btn_Info_RCOB", "btn_TCOB", "btn_Info_TCOB"}) {
        auto* button = findChild<QPushButton*>(QString::fromLatin1(name));
        connectHandler(button, [this, button] { btn_str_lng1aClick(button); });
    }
    connectHandler(findChild<QPushButton*>(QStringLiteral("CreateBin")), [this] { CreateBinaClick(); });
    connectHandler(registerMap, [this] { RegisterMapClick(); });
    connectHandler(about, [this] { AboutClick(); });
    connectHandler(close, [this] { LbButton1Click(); });
    connect(web, &LinkLabel::clicked, this, [this] { RunHandler(platform_.boxes, this, [this] { Label6Click(); }); });
}

void TFTrelvanteFirmWare::connectHandler(QAbstractButton* button, std::function<void()> handler)
{
    connect(button, &QAbstractButton::clicked, this,
            [this, handler = std::move(handler)] { RunHandler(platform_.boxes, this, handler); });
}

void TFTrelvanteFirmWare::setEditorOpener(QAbstractButton* button, std::function<void()> opener)
{
    editorOpeners_.insert(button, std::move(opener));
}

bool TFTrelvanteFirmWare::hasProject() const
{
    return IsProjectOpen(project_.folder, projectsFolder_);
}

void TFTrelvanteFirmWare::showTitle()
{
    // The title names the project the buttons work on, and nothing when they refuse to work.
    setWindowTitle(hasProject() ? kTitlePrefix + project_.name : kTitle);
}

bool TFTrelvanteFirmWare::projectGuard()
{
    // With no project, or PROJECTS itself, the documents would land beside the projects.
    if (hasProject()) return true;
    platform_.boxes.plain(this, QStringLiteral("Project not valid"));
    return false;
}

void TFTrelvanteFirmWare::NewaClick()
{
    fsaveproj_->setDestinationFolder(projectsFolder_);
    // Cancelled, the project and the title stay as they were.
    if (fsaveproj_->exec() != QDialog::Accepted) return;
    restoredBytes_.reset();
    openExcel_.initialFolder = project_.folder;
    showTitle();
}

void TFTrelvanteFirmWare::OpenaClick()
{
    // A project whose folder has gone is no project any more, whatever the user picks next.
    if (!project_.folder.isEmpty() && !QFileInfo(project_.folder).isDir()) {
        project_.folder.clear();
        project_.name.clear();
        restoredBytes_.reset();
        openExcel_.initialFolder.clear();
        BuildDocumentPaths(project_);
        showTitle();
    }

    const auto chosen =
        platform_.folders.browse(this, projectsFolder_, QStringLiteral("Select directory of project"), project_.folder);
    if (!chosen) return;
    if (const auto refusal = OpenedFolderRefusal(*chosen, projectsFolder_)) {
        platform_.boxes.plain(this, *refusal);
        return;
    }

    project_.folder = QDir::toNativeSeparators(QDir::cleanPath(*chosen));
    project_.name = OpenedProjectName(project_.folder, projectsFolder_);
    restoredBytes_.reset();
    openExcel_.initialFolder = project_.folder;
    BuildDocumentPaths(project_);
    showTitle();
}

void TFTrelvanteFirmWare::btn_str_lng1aClick(QAbstractButton* sender)
{
    if (!projectGuard()) return;
    if (const auto opener = editorOpeners_.find(sender); opener != editorOpeners_.end()) (*opener)();
}

void TFTrelvanteFirmWare::CreateBinaClick()
{
    QCoreApplication::processEvents();
    // With no project the bank files would go to the file system's root or beside the projects.
    if (!projectGuard()) return;

    const std::filesystem::path folder = ToPath(project_.folder);
    // Errors of the project are asked about before anything is built; warnings alone are not.
    if (const auto question = UpdateDeviceQuestion(CheckProject(folder)))
        if (!platform_.boxes.question(this, QString::fromStdString(*question))) return;
    BuildConfigurationImage(*image_, folder, platform_.clock);
    WriteBankOutputs(*image_, folder);

    fmodifyFileSx_->setProjectFolder(project_.folder);
    fmodifyFileSx_->exec();
}

void TFTrelvanteFirmWare::RegisterMapClick()
{
    if (!projectGuard()) return;
    // Written first: a map that cannot be written opens nothing, not an older map.
    const std::filesystem::path written = WriteRegisterMapHtml(ToPath(project_.folder));
    if (!platform_.desktop.openUrl(QUrl::fromLocalFile(FromPath(written)).toString()))
        platform_.boxes.plain(this, QStringLiteral("The register map was written to %1.\n\nNo browser could be started "
                                                   "to show it: open the file in a browser.")
                                        .arg(QDir::toNativeSeparators(FromPath(written))));
}

void TFTrelvanteFirmWare::AboutClick()
{
    fabout_->exec();
}

void TFTrelvanteFirmWare::LbButton1Click()
{
    close();
}

void TFTrelvanteFirmWare::Label6Click()
{
    platform_.desktop.openUrl(kProductPage);
}

void TFTrelvanteFirmWare::FormClose()
{
    const std::string name = restoredBytes_ ? *restoredBytes_ : project_.name.toStdString();
    WriteProfileString(ToPath(settingsFile()), "lastproj", "projectname", name);
}

void TFTrelvanteFirmWare::keyPressEvent(QKeyEvent* event)
{
    // A push button outside a dialog takes only the space bar; here Return and Enter press the
    // focused button as well, as they do in the dialogs.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !event->isAutoRepeat()) {
        auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        if (button && button->isEnabled() && isAncestorOf(button)) {
            button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void TFTrelvanteFirmWare::closeEvent(QCloseEvent* event)
{
    // The last project is remembered once; when that fails the error is shown and the program
    // still closes.
    if (!closed_) {
        closed_ = true;
        RunHandler(platform_.boxes, this, [this] { FormClose(); });
    }
    QWidget::closeEvent(event);
}

}  // namespace trelvant
