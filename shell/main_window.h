#pragma once

#include "image/configuration_image.h"
#include "project/project_state.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QLabel;
class QPushButton;

namespace trelvant {

struct Platform;
class TFAbout;
class TFModifyFileSx;
class TFpargen;
class TFInfopdoMB;
class TFInfoTpdoMB;
class TFpdoMB;
class TFTpdo2MB;
class TFsaveproj;

// The spreadsheet file-open dialog's settings, kept by the main window for the import.
struct OpenExcelSettings {
    QString initialFolder;
    QString filter = QStringLiteral("File EXCEL (*.xls)|*.xls");
};

// The main window: the five steps of the user's work, and the owner of the current project.
class TFTrelvanteFirmWare : public QWidget {
    Q_OBJECT
public:
    inline static const QString kTitle = QStringLiteral("Quilmar Trelvant Dolvik MODBUS RTU Slave TO J1939");
    inline static const QString kTitlePrefix = kTitle + QStringLiteral(" :");
    inline static const QString kSettingsFileName = QStringLiteral("Trelvant_CAN2MRTUs.ini");

    // Makes MASTER and PROJECTS beside the program when missing, restores the last project and
    // creates the dialogs, hidden.
    TFTrelvanteFirmWare(const QString& programFolder, Platform& platform, QWidget* parent = nullptr);

    const ProjectState& project() const { return project_; }
    // True when the project folder names a project, neither empty nor PROJECTS itself: the
    // buttons that work on a project refuse to work otherwise.
    bool hasProject() const;
    const QString& programFolder() const { return programFolder_; }
    const QString& masterFolder() const { return masterFolder_; }
    const QString& projectsFolder() const { return projectsFolder_; }
    QString settingsFile() const;
    const OpenExcelSettings& OpenExcel() const { return openExcel_; }
    // The configuration image, kept for the whole run: a build changes only what it writes.
    const ConfigurationImage& image() const { return *image_; }

    TFsaveproj* Fsaveproj() const { return fsaveproj_; }
    TFAbout* FAbout() const { return fabout_; }
    TFModifyFileSx* FModifyFileSx() const { return fmodifyFileSx_; }
    TFpargen* Fpargen() const { return fpargen_; }
    TFpdoMB* FpdoMB() const { return fpdoMB_; }
    TFTpdo2MB* FTpdo2MB() const { return ftpdo2MB_; }
    TFInfopdoMB* FInfopdoMB() const { return finfopdoMB_; }
    TFInfoTpdoMB* FInfoTpdoMB() const { return finfoTpdoMB_; }

    // What an editor button opens once the project guard lets it through; the opener stores the
    // editor mode into its editor and shows it modally.
    void setEditorOpener(QAbstractButton* button, std::function<void()> opener);

    void NewaClick();
    void OpenaClick();
    void btn_str_lng1aClick(QAbstractButton* sender);
    void CreateBinaClick();
    void RegisterMapClick();
    void AboutClick();
    void LbButton1Click();
    void Label6Click();
    void FormClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void buildLayout();
    void connectHandler(QAbstractButton* button, std::function<void()> handler);
    bool projectGuard();
    void showTitle();

    Platform& platform_;
    QString programFolder_;
    QString masterFolder_;
    QString projectsFolder_;
    ProjectState project_;
    // The settings file's bytes of the restored name, kept until New or Open changes the name:
    // a name in another encoding goes back as it came.
    std::optional<std::string> restoredBytes_;
    OpenExcelSettings openExcel_;
    std::unique_ptr<ConfigurationImage> image_ = std::make_unique<ConfigurationImage>();
    QHash<QAbstractButton*, std::function<void()>> editorOpeners_;
    bool closed_ = false;

    TFsaveproj* fsaveproj_ = nullptr;
    TFAbout* fabout_ = nullptr;
    TFModifyFileSx* fmodifyFileSx_ = nullptr;
    TFpargen* fpargen_ = nullptr;
    TFpdoMB* fpdoMB_ = nullptr;
    TFTpdo2MB* ftpdo2MB_ = nullptr;
    TFInfopdoMB* finfopdoMB_ = nullptr;
    TFInfoTpdoMB* finfoTpdoMB_ = nullptr;
};

}  // namespace trelvant
